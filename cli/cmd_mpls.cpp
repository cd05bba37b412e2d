#include <charconv>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "args.h"
#include "command.h"
#include "json_text.h"
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

struct Input {
  std::string file;
  bool json = false;
};

int Info(const Input& in) {
  double duration = 0;
  std::uint8_t video = 0, audio = 0, pg = 0;
  std::int32_t chapters = 0;
  std::string clip;
  const int result = GetMplsInfo(in.file, &duration, &video, &audio, &pg, &chapters, &clip);
  if (result == kMplsUnreadable) return Unreadable(in.file);
  if (in.json) {
    const Json info = {{"result", result}, {"duration", duration}, {"video", video}, {"audio", audio},
                       {"pg", pg},         {"chapters", chapters}, {"clip", clip}};
    std::printf("%s\n", JsonText(info).c_str());
  } else {
    std::printf("result=%d duration=%s video=%d audio=%d pg=%d chapters=%d clip=%s\n", result,
                ShortestDouble(duration).c_str(), video, audio, pg, chapters, Printable(clip).c_str());
  }
  return kOk;
}

int Similar(const std::string& file) {
  if (GetMplsInfo(file) == kMplsUnreadable) return Unreadable(file);
  std::string text;
  if (!FindSimilarPlayLists(file, &text)) return Fail(kFailed, "fewer than two distinct similar playlists");
  std::fputs(text.c_str(), stdout);
  return kOk;
}

int StartTime(const std::string& file) {
  // GetStartMuxTime answers 0 for a missing file too; tell that case apart.
  FilePrefix probe;
  if (!probe.Read(file, 1)) return Unreadable(file);
  std::int8_t planes = 0;
  const std::int32_t start = GetStartMuxTime(file, &planes);
  std::printf("start_time=%d plane_count=%d\n", start, planes);
  return kOk;
}

void Setup(CLI::App& group) {
  auto in = std::make_shared<Input>();
  CLI::App* info = group.add_subcommand("info", "what the playlist holds: duration, streams, chapters, clip");
  info->add_flag("--json", in->json, "one JSON object");
  CLI::App* similar = group.add_subcommand("similar", "the playlists of the disc that look like this one");
  CLI::App* start = group.add_subcommand("start-time", "the start time and the plane count");
  for (CLI::App* command : {info, similar, start})
    command->add_option("FILE", in->file, "a .mpls playlist")->required();
  OnRun(*info, [in] { return Info(*in); });
  OnRun(*similar, [in] { return Similar(in->file); });
  OnRun(*start, [in] { return StartTime(in->file); });
}

const RegisterCommand reg("mpls", "Blu-ray playlist files", Setup);

}  // namespace
}  // namespace dp::cli
