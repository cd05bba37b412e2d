#include <charconv>
#include <cstdint>
#include <cstdio>
#include <string>

#include "command.h"
#include "json_writer.h"
#include "source/file_prefix.h"
#include "source/mpls.h"
#include "source/start_mux_time.h"

namespace dp::cli {
namespace {

// Shortest text that reads back as the same double.
std::string ShortestDouble(double value) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, r.ptr);
}

// The clip name of a damaged file can hold any byte; keep the line one line.
std::string Printable(std::string text) {
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  return text;
}

// The readers answer only "unreadable"; a second look says why.
int Unreadable(const std::string& path) {
  FilePrefix probe;
  std::string why;
  probe.Read(path, 1, &why);
  return Fail(kFailed, "cannot read " + (why.empty() ? path : why));
}

int Info(Args& args) {
  const bool json = TakeFlag(args, "--json");
  if (args.size() != 1) return Usage("mpls");
  double duration = 0;
  std::uint8_t video = 0, audio = 0, pg = 0;
  std::int32_t chapters = 0;
  std::string clip;
  const int result = GetMplsInfo(args[0], &duration, &video, &audio, &pg, &chapters, &clip);
  if (result == kMplsUnreadable) return Unreadable(args[0]);
  if (json) {
    JsonWriter w;
    w.BeginObject()
        .Field("result", result)
        .Field("duration", duration)
        .Field("video", int{video})
        .Field("audio", int{audio})
        .Field("pg", int{pg})
        .Field("chapters", int{chapters})
        .Field("clip", clip)
        .EndObject();
    std::printf("%s\n", w.str().c_str());
  } else {
    std::printf("result=%d duration=%s video=%d audio=%d pg=%d chapters=%d clip=%s\n", result,
                ShortestDouble(duration).c_str(), video, audio, pg, chapters, Printable(clip).c_str());
  }
  return kOk;
}

int Similar(const Args& args) {
  if (args.size() != 1) return Usage("mpls");
  if (GetMplsInfo(args[0]) == kMplsUnreadable) return Unreadable(args[0]);
  std::string text;
  if (!FindSimilarPlayLists(args[0], &text))
    return Fail(kFailed, "fewer than two distinct similar playlists");
  std::fputs(text.c_str(), stdout);
  return kOk;
}

int StartTime(const Args& args) {
  if (args.size() != 1) return Usage("mpls");
  // GetStartMuxTime answers 0 for a missing file too; tell that case apart.
  FilePrefix probe;
  if (!probe.Read(args[0], 1)) return Unreadable(args[0]);
  std::int8_t planes = 0;
  const std::int32_t start = GetStartMuxTime(args[0], &planes);
  std::printf("start_time=%d plane_count=%d\n", start, planes);
  return kOk;
}

int CmdMpls(const Args& all) {
  if (all.empty()) return Usage("mpls");
  const std::string verb = all[0];
  Args args(all.begin() + 1, all.end());
  if (verb == "info") return Info(args);
  if (verb == "similar") return Similar(args);
  if (verb == "start-time") return StartTime(args);
  return Usage("mpls");
}

const RegisterCommand reg("mpls",
                          "  discpress-cli mpls info FILE [--json]\n"
                          "  discpress-cli mpls similar FILE\n"
                          "  discpress-cli mpls start-time FILE\n",
                          CmdMpls);
}  // namespace
}  // namespace dp::cli
