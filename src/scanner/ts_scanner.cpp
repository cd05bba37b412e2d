#include "scanner/ts_scanner.h"

#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <utility>

namespace dp {

struct TsScanner::Run {
  Run(PreparedScan prepared, ScanObserver* obs, std::uint64_t scan_id)
      : scan(std::move(prepared)), counts(scan.streams), observer(obs), id(scan_id) {}

  PreparedScan scan;
  ScanCounts counts;
  ScanObserver* observer;
  const std::uint64_t id;

  mutable std::mutex name_mutex;
  std::string file_name;

  // The worker writes result, then sets done.
  std::atomic<bool> done{false};
  ScanResult result;
};

namespace {

// Set on a scanner's worker thread, so that calls which would wait for the
// worker itself can refuse.
thread_local const TsScanner* worker_of = nullptr;

// Fills the buffer unless the file ends first. A read error ends the file
// as its end would.
std::size_t ReadFull(int fd, std::uint8_t* buffer, std::size_t size) {
  std::size_t got = 0;
  while (got < size) {
    const ssize_t n = ::read(fd, buffer + got, size - got);
    if (n > 0) {
      got += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      break;
    }
  }
  return got;
}

}  // namespace

int ScanBitratesProc(TsScanner& scanner, TsScanner::Run& run) {
  worker_of = &scanner;
  // One buffer per scan; nothing is allocated per buffer or per packet.
  const auto buffer = std::make_unique_for_overwrite<std::uint8_t[]>(kScanBufferSize);
  const std::vector<ScanFile>& files = run.scan.source.files;
  bool sync_error = false;
  bool clip_missing = false;
  for (std::size_t i = 0; i < files.size(); ++i) {
    // A stop request ends the whole scan: no further clip is opened.
    if (i > 0 && scanner.scan_state() != kScanRunning) break;
    {
      std::lock_guard lock(run.name_mutex);
      run.file_name = files[i].name;
    }
    FileHandle file =
        i == 0 && run.scan.first_file.valid() ? std::move(run.scan.first_file) : OpenScanFile(files[i].path);
    if (!file.valid()) {
      clip_missing = true;
      break;
    }
    bool stopped = false;
    for (;;) {
      const std::size_t n = ReadFull(file.get(), buffer.get(), kScanBufferSize);
      if (n == 0) break;
      // A sync error ends only the file in hand.
      if (ProcesaPacket(run.counts, buffer.get(), static_cast<int>(n)) == 1) {
        sync_error = true;
        break;
      }
      if (scanner.scan_state() != kScanRunning) {
        stopped = true;
        break;
      }
    }
    if (stopped) break;
  }

  ScanResult result = SnapshotCounts(run.counts, run.scan.total_packets, run.scan.duration_ms);
  result.scan_id = run.id;
  if (clip_missing) {
    // The scan is left without a final state and without bitrates.
    result.scan_state = scanner.scan_state();
    run.result = result;
    run.done.store(true, std::memory_order_release);
  } else {
    result.scan_state = sync_error ? kScanSyncError : kScanEnded;
    FinalScan(result);
    run.result = result;
    run.done.store(true, std::memory_order_release);
    // The final value overwrites a stop request.
    scanner.scan_state_.store(result.scan_state, std::memory_order_release);
  }
  if (run.observer) run.observer->ScanEnded(result);
  worker_of = nullptr;
  return 0;
}

TsScanner::~TsScanner() {
  std::lock_guard control(control_mutex_);
  StopAndJoin();
}

void TsScanner::StopAndJoin() {
  if (!worker_.joinable()) return;
  RequestStop();
  worker_.join();
}

std::uint64_t TsScanner::Start(PreparedScan scan, ScanObserver* observer) {
  if (worker_of == this) return 0;
  std::lock_guard control(control_mutex_);
  // The old worker ends after its current buffer; only then does the new
  // scan begin, so two workers never run side by side.
  StopAndJoin();
  std::shared_ptr<Run> run;
  {
    std::lock_guard lock(mutex_);
    run = std::make_shared<Run>(std::move(scan), observer, next_id_++);
    if (!run->scan.source.files.empty()) run->file_name = run->scan.source.files.front().name;
    run_ = run;
  }
  scan_state_.store(kScanRunning, std::memory_order_release);
  try {
    worker_ = std::thread([this, run] { ScanBitratesProc(*this, *run); });
  } catch (const std::system_error&) {
    // No thread to be had: no scan, as when a file cannot be opened.
    scan_state_.store(kScanEnded, std::memory_order_release);
    return 0;
  }
  return run->id;
}

void TsScanner::RequestStop() {
  // Only a running scan is stopped; the final value of a scan that has
  // already ended (a sync error) is kept.
  int expected = kScanRunning;
  scan_state_.compare_exchange_strong(expected, kScanEnded, std::memory_order_acq_rel);
}

void TsScanner::Wait() {
  if (worker_of == this) return;
  std::lock_guard control(control_mutex_);
  if (worker_.joinable()) worker_.join();
}

std::uint64_t TsScanner::scan_id() const {
  std::lock_guard lock(mutex_);
  return run_ ? run_->id : 0;
}

std::string TsScanner::scan_file_name() const {
  std::shared_ptr<Run> run;
  {
    std::lock_guard lock(mutex_);
    run = run_;
  }
  if (!run) return {};
  std::lock_guard lock(run->name_mutex);
  return run->file_name;
}

ScanResult TsScanner::Progress() const {
  std::shared_ptr<Run> run;
  {
    std::lock_guard lock(mutex_);
    run = run_;
  }
  if (!run) return ScanResult{};
  if (run->done.load(std::memory_order_acquire)) {
    ScanResult r = run->result;
    // A worker that gave up leaves the state to the stop request.
    if (!r.finished) r.scan_state = scan_state();
    return r;
  }
  ScanResult r = SnapshotCounts(run->counts, run->scan.total_packets, run->scan.duration_ms);
  r.scan_id = run->id;
  r.scan_state = scan_state();
  return r;
}

}  // namespace dp
