// The video encoding steps of a job: the files that feed the encoders (the
// chapter keyframes, the frame count read back from the demux log, the
// AviSynth scripts) and the MVCenc, x264 and x265 runs themselves. Every
// builder only describes its run; the worker launches it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "pipeline/step.h"
#include "queue/job_record.h"

namespace dp {

// x264's first pass writes no video.
inline constexpr std::string_view kNullDevice = "/dev/null";

// Executables and plug-ins, by the 64-bit and AviSynth+ rules.
std::string X264Program(const JobRecord& job, const StepContext& ctx);
std::string X265Program(const StepContext& ctx);
std::string Avs2yuvProgram(const StepContext& ctx);
std::string MvcdecProgram(const StepContext& ctx);
std::string MvcencProgram(const StepContext& ctx);
std::string MvcsourcePlugin(const StepContext& ctx);
std::string SupTitlePlugin(const StepContext& ctx);

// Base keyframe interval for the frame rate text: 24, 25, 30, 50 or 60.
int KeyintBase(std::string_view fps_text);

struct VbvPair {
  int bufsize;
  int maxrate;
};
// VBV of the Blu-ray-compatible x264 runs.
VbvPair BlurayVbv(const JobRecord& job);
// MVCenc's two trailing limits.
VbvPair MvcencLimits(const JobRecord& job);
// MVCenc's quality number for an x264 preset name (4 for unknown names).
int MvcencQuality(std::string_view preset);

// The 2D video file the demux step writes (by `video_codec`).
std::string DemuxedVideoFile(const JobRecord& job, const StepContext& ctx);

// Chapter keyframes (".qpfile"): one line per ";"-separated chapter time,
// "N K -1" for x264 or "N K" for x265. The file is due when the video is
// encoded and `chapters` is longer than 10 characters; it is kept when it
// exists already. Nothing when it is not due.
std::string ChapterKeyframes(const JobRecord& job);
std::optional<ControlFile> ChapterKeyframesFile(const JobRecord& job, const StepContext& ctx);

// The frame count of the first "Video track ... contains N frames" line of
// an eac3to log (half of N when the line counts fields); nothing when the
// log cannot be read or has no such line.
std::optional<std::int32_t> ReadEac3toFrameCount(const std::string& log_path);
// The demux extracted the video and the frames are not limited: the log's
// frame count replaces `frame_count`.
bool FrameCountRefreshDue(const JobRecord& job);
// When due, stores the log's frame count in the record (not persisted here).
// True when `frame_count` was replaced.
bool RefreshFrameCount(JobRecord& job, const StepContext& ctx);

// The AviSynth script (".avs") of a half side-by-side / top-and-bottom job
// (burning the subtitles into both eyes) or of a 2D x265 job that crops or
// resizes. Uses `frame_count`, so the frame count is refreshed first. The
// file is kept when it exists already; nothing when no script is due.
bool AvisynthScriptDue(const JobRecord& job);
std::string AvisynthScript(const JobRecord& job, const StepContext& ctx);
std::optional<ControlFile> AvisynthScriptFile(const JobRecord& job, const StepContext& ctx);

// The encoder runs. `step` and `total` number the label ("[STEP n/N ...]").
// Each carries the keyframes file and the script it reads as control files
// written only when absent, and is marked skip when an earlier run finished
// it: pass 1 when ".stats" exists, the others when their output exists
// without the lock file beside it.
PreparedStep BuildMvcencStep(const JobRecord& job, const StepContext& ctx, int step, int total);
PreparedStep BuildX264Pass1Step(const JobRecord& job, const StepContext& ctx, int step, int total);
// Pass 2 for the fixed-size targets, single-pass CRF for `target_media` 5
// and 7.
PreparedStep BuildX264SecondStep(const JobRecord& job, const StepContext& ctx, int step, int total);
// x265 reading raw frames from its feeder (avs2yuv on the script, or MVCdec
// on the demuxed video) in `feeder_command`.
PreparedStep BuildX265Step(const JobRecord& job, const StepContext& ctx, int step, int total);

}  // namespace dp
