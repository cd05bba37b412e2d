// Running the helper programs (ffmpeg, ffprobe, genisoimage) from a stand-in:
// argv only, never a shell; a helper is killed when the stand-in dies.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace dp::tools {

// Runs the program (looked up on PATH) with the stand-in's own standard
// streams and waits. Returns its exit code, 127 when it cannot be started and
// 128 + signal when a signal ended it.
int Run(const std::vector<std::string>& argv);

// As Run, collecting standard output into `out`.
int RunCapture(const std::vector<std::string>& argv, std::string& out);

// As Run, handing every line of standard output (split at "\n" and "\r") to
// `on_line` as it arrives.
int RunLines(const std::vector<std::string>& argv, const std::function<void(std::string_view)>& on_line);

// Replaces the stand-in by the program; returns only when exec failed.
void Exec(const std::vector<std::string>& argv);

// The ffmpeg and ffprobe programs: DP_FFMPEG / DP_FFPROBE when set, else the
// plain names on PATH.
std::string FfmpegProgram();
std::string FfprobeProgram();

// The start of every ffmpeg command line of the stand-ins: no banner, no
// keyboard, the given log level.
std::vector<std::string> FfmpegCommand(const char* loglevel = "error");

// ffmpeg options that report progress on standard output several times a
// second, and the position (seconds written so far) read from one of its lines.
std::vector<std::string> ProgressOptions();
bool ProgressSeconds(std::string_view line, double& seconds);

// ffmpeg's output options for raw 8-bit 4:2:0 frames in a YUV4MPEG stream to
// `out`, "-" meaning standard output (what the encoders read with --y4m).
std::vector<std::string> Y4mOutput(const std::string& out);

}  // namespace dp::tools
