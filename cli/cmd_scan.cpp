#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "args.h"
#include "command.h"
#include "popup_answers.h"
#include "scanner/scan_files.h"
#include "scanner/scan_inventory.h"
#include "scanner/scan_result.h"
#include "scanner/scan_texts.h"
#include "scanner/ts_scanner.h"
#include "source_options.h"
#include "source_session.h"
#include "util/text.h"

namespace dp::cli {
namespace {

// A transform for a PID, decimal or hexadecimal with "0x", within 13 bits;
// hands it on in decimal.
CLI::Validator Pid() {
  return CLI::Validator(
      [](std::string& text) -> std::string {
        long long v = -1;
        if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
          errno = 0;
          char* end = nullptr;
          v = std::strtoll(text.c_str() + 2, &end, 16);
          if (errno != 0 || end != text.c_str() + text.size()) v = -1;
        } else if (!ParseInt(text, v)) {
          v = -1;
        }
        if (v < 0 || v > 0x1FFF) return "'" + text + "' is not a PID from 0 to 8191 (0x1FFF)";
        text = std::to_string(v);
        return {};
      },
      "");
}

bool ParseDuration(const std::string& text, double& ms) {
  return !text.empty() && ReadDouble(text, ms) == text.size() && std::isfinite(ms) && ms >= 0;
}

bool FillPids(const std::vector<std::int32_t>& given, int max, std::int32_t* pids, int& count) {
  if (static_cast<int>(given.size()) > max) return false;
  count = static_cast<int>(given.size());
  std::copy(given.begin(), given.end(), pids);
  return true;
}

struct Input {
  std::vector<std::string> files;  // the SOURCE, or the files of a scan by PIDs
  OpenRequest request;
  std::string duration_text;
  CLI::Option* duration = nullptr;
  std::vector<std::int32_t> video, audio, subtitle;
};

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
int ScanOpenedSource(Input& in) {
  if (in.files.size() != 1)
    return Fail(kUsage, "SOURCE: one source to open; scanning files needs --duration-ms");
  OpenRequest& request = in.request;
  request.source = in.files.front();
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

// The scanner alone over the files, with a stream table of the given PIDs.
int ScanFiles(const Input& in) {
  PreparedScan scan;
  ParseDuration(in.duration_text, scan.duration_ms);
  ScanStreams& s = scan.streams;
  if (!FillPids(in.video, kMaxVideoStreams, s.video_pid, s.video_count) ||
      !FillPids(in.audio, kMaxAudioStreams, s.audio_pid, s.audio_count) ||
      !FillPids(in.subtitle, kMaxSubtitleStreams, s.subtitle_pid, s.subtitle_count)) {
    return Fail(kUsage, "at most 4 video, 20 audio and 35 subtitle streams");
  }

  ScanSource source;
  for (const std::string& path : in.files) {
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

void Setup(CLI::App& command) {
  auto in = std::make_shared<Input>();
  command
      .add_option("SOURCE", in->files,
                  "the source to open and scan; with --duration-ms, the files to scan in order")
      ->required();
  AddDialogAnswers(command, in->request);
  in->duration =
      command
          .add_option("--duration-ms", in->duration_text,
                      "scan the files alone, as MS milliseconds of source")
          ->type_name("MS")
          ->check(CLI::Validator(
              [](std::string& text) -> std::string {
                double ms = 0;
                return ParseDuration(text, ms) ? "" : "'" + text + "' is not a number of milliseconds";
              },
              ""));
  for (const char* name : {"--title", "--hit"}) command.get_option(name)->excludes(in->duration);
  const struct {
    const char* name;
    std::vector<std::int32_t>& pids;
  } kinds[] = {{"--video", in->video}, {"--audio", in->audio}, {"--subtitle", in->subtitle}};
  for (const auto& k : kinds)
    command.add_option(k.name, k.pids, "a stream of the table, decimal or 0x hexadecimal")
        ->type_name("PID")
        ->allow_extra_args(false)
        ->transform(Pid())
        ->needs(in->duration);
  OnRun(command, [in] { return in->duration->count() ? ScanFiles(*in) : ScanOpenedSource(*in); });
}

const RegisterCommand reg("scan", "run the bitrate scan on a source, or the scanner on files", Setup);

}  // namespace
}  // namespace dp::cli
