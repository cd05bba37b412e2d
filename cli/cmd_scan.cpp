#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

#include "command.h"
#include "popup_answers.h"
#include "scanner/scan_files.h"
#include "scanner/scan_inventory.h"
#include "scanner/scan_result.h"
#include "scanner/scan_texts.h"
#include "scanner/ts_scanner.h"
#include "source_session.h"
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

// Told by the worker when it ends; the ticks wait on it.
class EndWatch : public ScanObserver {
 public:
  void ScanEnded(const ScanResult&) override {
    const std::lock_guard lock(mutex_);
    ended_ = true;
    cv_.notify_all();
  }
  // Waits up to one tick; true once the worker has ended.
  bool WaitTick() {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, std::chrono::milliseconds(kScanTickMs), [this] { return ended_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool ended_ = false;
};

// The Scan Bitrates button without a window: the pop-up's progress line
// each second and once more when the worker ends, then the source lines.
int CmdScanSource(const Args& in) {
  Args args = in;
  bool missing = false;
  const std::vector<std::string> titles = TakeAll(args, "--title", missing);
  const std::vector<std::string> hits = TakeAll(args, "--hit", missing);
  if (missing || args.size() != 1 || args[0].starts_with("--")) return Usage("scan");
  OpenRequest request{args[0], {}, {}};
  for (const std::string& t : titles) {
    long long n = 0;
    if (!ParseInt(t, n) || n < 1 || n > kTitleTableSize)
      return Fail(kUsage, "--title takes a list item number");
    request.titles.push_back(static_cast<int>(n));
  }
  for (const std::string& h : hits) {
    long long n = 0;
    if (!ParseInt(h, n) || n < 1 || n > 1000000) return Fail(kUsage, "--hit takes a hit number from 1");
    request.hits.push_back(static_cast<int>(n));
  }
  Settings& settings = CurrentSettings();
  ReadSettingsQuietly(settings);
  static SourceState state;  // large; one per process, as the window's
  SourceInventory& inventory = source_inventory;
  const int code = OpenHeadless(request, settings, state, inventory);
  if (code != kOk) return code;

  PreparedScan scan;
  if (!PrepareSourceScan(state, inventory, scan))
    return Fail(kFailed, "a file of the scan could not be opened");
  EndWatch watch;
  TsScanner scanner;
  if (scanner.Start(std::move(scan), &watch) == 0) return Fail(kFailed, "the scan could not start");
  std::uint64_t previous = 0;
  for (bool ended = false; !ended;) {
    ended = watch.WaitTick();
    const ScanResult now = scanner.Progress();
    std::printf(
        "%s\n",
        ScanProgressLine(scanner.scan_file_name(), now.scanned_packets, now.total_packets, previous).c_str());
    std::fflush(stdout);
    previous = now.scanned_packets;
    // The live figures feed the sparse-track test, as the pop-up's tick does.
    ApplyScanResult(now, inventory);
  }
  const ScanResult r = scanner.Progress();
  if (!r.finished) return Fail(kFailed, "a file of the scan could not be opened");
  ApplyScanResult(r, inventory);
  PrintSourceLines(state, inventory, r.elapsed_ms);
  if (r.scan_state == kScanSyncError) {
    PrintPopup(kSyncWarningTitle, kSyncWarningText);
    return kFailed;
  }
  return kOk;
}

int CmdScan(const Args& in) {
  if (std::find(in.begin(), in.end(), "--duration-ms") == in.end()) return CmdScanSource(in);
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
                          "[--subtitle PID]... FILE...\n"
                          "  discpress-cli scan SOURCE [--title N] [--hit N]\n",
                          CmdScan);

}  // namespace
}  // namespace dp::cli
