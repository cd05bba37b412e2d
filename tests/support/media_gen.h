// Sample media made with ffmpeg at test time.
#pragma once

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "support/run_program.h"
#include "support/temp_dir.h"

namespace dp::test {

// A duration for ffmpeg's command line: a C number whatever the locale the
// test runs under (std::to_string would write "2,000000" under de_DE).
inline std::string SecondsText(double seconds) {
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, seconds, std::chars_format::fixed);
  return std::string(buf, r.ptr);
}

inline bool Ffmpeg(std::vector<std::string> args) {
  args.insert(args.begin(), {"ffmpeg", "-hide_banner", "-nostdin", "-loglevel", "error", "-y"});
  return RunProgram(args).code == 0;
}

// ffmpeg with `words` split at blanks, then `more` as they are.
inline bool Ffmpeg(const std::string& words, const std::vector<std::string>& more) {
  std::vector<std::string> args;
  for (std::size_t at = 0, end; at < words.size(); at = end + 1) {
    end = std::min(words.find(' ', at), words.size());
    if (end > at) args.push_back(words.substr(at, end - at));
  }
  args.insert(args.end(), more.begin(), more.end());
  return Ffmpeg(args);
}

// A Blu-ray clip: H.264 on PID 0x1011 and AC-3 on 0x1100 in 192-byte
// packets, 23.976 frames per second. The mux rate keeps the arrival stamps
// sane and force-cfr lets a reader see the frame rate.
inline bool MakeBlurayClip(const std::filesystem::path& file, double seconds, const std::string& size,
                           const std::string& muxrate = "20M") {
  return Ffmpeg("-f lavfi -i testsrc2=size=" + size + ":rate=24000/1001 -f lavfi -i sine=sample_rate=48000" +
                    " -t " + SecondsText(seconds) +
                    " -c:v libx264 -preset ultrafast -x264-params force-cfr=1 -c:a ac3 -b:a 192k" +
                    " -f mpegts -mpegts_m2ts_mode 1 -muxrate " + muxrate +
                    " -streamid 0:0x1011 -streamid 1:0x1100",
                {file.string()});
}

// A Matroska file: H.264 at 25 frames per second, English AC-3, and two
// chapters (at 0 and at half the length).
inline bool MakeMatroska(const std::filesystem::path& file, double seconds, const std::string& size) {
  const TempDir dir;  // a path without blanks, as the command is split at blanks
  const std::filesystem::path meta = dir / "chapters.txt";
  const int half_ms = static_cast<int>(seconds * 500);
  {
    FILE* f = std::fopen(meta.c_str(), "w");
    if (!f) return false;
    std::fprintf(f,
                 ";FFMETADATA1\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=%d\ntitle=One\n"
                 "[CHAPTER]\nTIMEBASE=1/1000\nSTART=%d\nEND=%d\ntitle=Two\n",
                 half_ms, half_ms, half_ms * 2);
    std::fclose(f);
  }
  return Ffmpeg("-f lavfi -i testsrc2=size=" + size + ":rate=25 -f lavfi -i sine=sample_rate=48000 -i " +
                    meta.string() + " -map 0:v -map 1:a -map_chapters 2 -t " + SecondsText(seconds) +
                    " -c:v libx264 -preset ultrafast -c:a ac3 -b:a 192k -metadata:s:a language=eng",
                {file.string()});
}

}  // namespace dp::test
