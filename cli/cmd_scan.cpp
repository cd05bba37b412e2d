#include <cerrno>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "command.h"
#include "scanner/scan_files.h"
#include "scanner/scan_result.h"
#include "scanner/ts_scanner.h"
#include "util/text.h"

namespace dp::cli {
namespace {

bool ParseDuration(const std::string& text, double& ms) {
  return !text.empty() && ReadDouble(text, ms) == text.size() && std::isfinite(ms) && ms >= 0;
}

// Decimal, or hexadecimal with "0x", within 13 bits.
bool ParsePid(const std::string& text, std::int32_t& pid) {
  long long v = 0;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    errno = 0;
    char* end = nullptr;
    v = std::strtoll(text.c_str() + 2, &end, 16);
    if (errno != 0 || end != text.c_str() + text.size()) return false;
  } else if (!ParseInt(text, v)) {
    return false;
  }
  if (v < 0 || v > 0x1FFF) return false;
  pid = static_cast<std::int32_t>(v);
  return true;
}

bool FillPids(const std::vector<std::string>& texts, int max, std::int32_t* pids, int& count) {
  if (static_cast<int>(texts.size()) > max) return false;
  count = static_cast<int>(texts.size());
  for (int i = 0; i < count; ++i) {
    if (!ParsePid(texts[static_cast<std::size_t>(i)], pids[i])) return false;
  }
  return true;
}

int CmdScan(const Args& in) {
  Args args = in;
  bool missing = false;
  std::string duration_text;
  const bool has_duration = TakeOption(args, "--duration-ms", duration_text, missing);
  const std::vector<std::string> video = TakeAll(args, "--video", missing);
  const std::vector<std::string> audio = TakeAll(args, "--audio", missing);
  const std::vector<std::string> subtitle = TakeAll(args, "--subtitle", missing);
  if (missing || !has_duration || args.empty()) return Usage("scan");
  for (const std::string& a : args) {
    if (a.size() > 2 && a.compare(0, 2, "--") == 0) return Usage("scan");
  }

  PreparedScan scan;
  if (!ParseDuration(duration_text, scan.duration_ms))
    return Fail(kUsage, "--duration-ms needs a number of milliseconds");
  ScanStreams& s = scan.streams;
  if (!FillPids(video, kMaxVideoStreams, s.video_pid, s.video_count) ||
      !FillPids(audio, kMaxAudioStreams, s.audio_pid, s.audio_count) ||
      !FillPids(subtitle, kMaxSubtitleStreams, s.subtitle_pid, s.subtitle_count)) {
    return Fail(kUsage, "a PID is 0-8191; at most 4 video, 20 audio and 35 subtitle streams");
  }

  ScanSource source;
  for (const std::string& path : args) {
    const std::size_t slash = path.rfind('/');
    source.files.push_back({path, slash == std::string::npos ? path : path.substr(slash + 1)});
  }
  source.clip_list = source.files.size() > 1;
  std::string error;
  if (!OpenScanSource(std::move(source), scan, &error)) return Fail(kFailed, error);

  TsScanner scanner;
  scanner.Start(std::move(scan), nullptr);
  scanner.Wait();
  const ScanResult r = scanner.Progress();

  auto print = [](const char* kind, const StreamScan& st) {
    std::printf("%s\t%d\t%" PRIu32 "\t%d", kind, st.pid, st.packet_count, st.scanned_bitrate_kbps);
  };
  for (int i = 0; i < r.video_count; ++i) {
    print("video", r.video[i]);
    std::printf("\n");
  }
  for (int i = 0; i < r.audio_count; ++i) {
    print("audio", r.audio[i]);
    std::printf("\n");
  }
  for (int i = 0; i < r.subtitle_count; ++i) {
    print("subtitle", r.subtitle[i]);
    // The figure the scan leaves for the stream: counted forced captions, or
    // -1 for a sparse track taken as forced-only.
    const std::int32_t forced = ClassifySparseTrack(r.subtitle[i].forced_count, r.elapsed_ms,
                                                    LiveRateKbps(r.subtitle[i].packet_count, r.elapsed_ms));
    std::printf("\t%d\n", forced);
  }
  std::printf("total_packets\t%" PRIu64 "\nscanned_packets\t%" PRIu64 "\nscan_state\t%d\n", r.total_packets,
              r.scanned_packets, r.scan_state);
  if (!r.finished) return Fail(kFailed, "a file of the scan could not be opened");
  return kOk;
}

const RegisterCommand reg("scan",
                          "  discpress-cli scan --duration-ms MS [--video PID]... [--audio PID]... "
                          "[--subtitle PID]... FILE...\n",
                          CmdScan);

}  // namespace
}  // namespace dp::cli
