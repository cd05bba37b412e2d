#include "scanner/ts_scanner.h"

#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <utility>

namespace dp {
namespace {

constexpr int kMaxReadThreads = 2;

}  // namespace

struct TsScanner::Run {
  Run(PreparedScan prepared, ScanObserver* obs, std::uint64_t scan_id)
      : scan(std::move(prepared)),
        counts{ScanCounts(scan.streams), ScanCounts(scan.streams)},
        observer(obs),
        id(scan_id) {}

  PreparedScan scan;
  // One block per reading thread; the figures are their sum.
  ScanCounts counts[kMaxReadThreads];
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

int ReadThreads(int wanted) {
  if (wanted == 1 || wanted == kMaxReadThreads) return wanted;
  cpu_set_t cpus;
  CPU_ZERO(&cpus);
  const int available = ::sched_getaffinity(0, sizeof cpus, &cpus) == 0
                            ? CPU_COUNT(&cpus)
                            : static_cast<int>(std::thread::hardware_concurrency());
  return available >= 2 ? kMaxReadThreads : 1;
}

// Fills the buffer from the byte at offset, or from the file position when
// offset is negative, unless the file ends first. A read error ends the file
// as its end would.
std::size_t ReadFull(int fd, std::uint8_t* buffer, std::size_t size, off_t offset) {
  std::size_t got = 0;
  while (got < size) {
    const ssize_t n = offset < 0 ? ::read(fd, buffer + got, size - got)
                                 : ::pread(fd, buffer + got, size - got, offset + static_cast<off_t>(got));
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

// What the threads reading one file share. Chunk i is the file's i-th run of
// kScanBufferSize bytes: exactly the i-th buffer a single reader would have
// had.
struct FileReading {
  FileReading(int descriptor, bool at_offsets) : fd(descriptor), positional(at_offsets) {}
  const int fd;
  // Reads at the chunk's offset; otherwise (a pipe) one thread reads on from
  // the file position.
  const bool positional;
  std::atomic<std::uint64_t> next_chunk{0};
  // The end of the file, a read error or a sync error was met: no thread
  // takes a further chunk.
  std::atomic<bool> ended{false};
  std::atomic<bool> sync_error{false};
};

// The reading loop of one thread: takes chunks in turn and counts each into
// its own block until the file ends, a sync error, or a stop request.
void ScanChunks(const TsScanner& scanner, FileReading& file, ScanCounts& block, std::uint8_t* buffer) {
  while (!file.ended.load(std::memory_order_relaxed)) {
    const std::uint64_t chunk = file.next_chunk.fetch_add(1, std::memory_order_relaxed);
    const off_t offset = file.positional ? static_cast<off_t>(chunk * kScanBufferSize) : -1;
    const std::size_t n = ReadFull(file.fd, buffer, kScanBufferSize, offset);
    if (n < static_cast<std::size_t>(kScanBufferSize)) file.ended.store(true, std::memory_order_relaxed);
    if (ProcesaPacket(block, buffer, static_cast<int>(n)) == 1) {
      file.sync_error.store(true, std::memory_order_relaxed);
      file.ended.store(true, std::memory_order_relaxed);
      return;
    }
    if (scanner.scan_state() != kScanRunning) return;
  }
}

// Counts one open file into the blocks, with one reading thread per buffer
// given (one or two). True when the file ended at a sync error.
bool CountFile(const TsScanner& scanner, int fd, ScanCounts (&blocks)[kMaxReadThreads],
               std::uint8_t* const (&buffers)[kMaxReadThreads]) {
  struct stat st;
  const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  FileReading file(fd, regular);
  const ScanCounts::Tally before[] = {blocks[0].Mark(), blocks[1].Mark()};
  std::thread helper;
  if (regular && buffers[1] != nullptr) {
    try {
      helper = std::thread([&] { ScanChunks(scanner, file, blocks[1], buffers[1]); });
    } catch (const std::system_error&) {
      // No second thread to be had: this one reads the whole file.
    }
  }
  ScanChunks(scanner, file, blocks[0], buffers[0]);
  if (!helper.joinable()) return file.sync_error.load(std::memory_order_relaxed);
  helper.join();
  if (!file.sync_error.load(std::memory_order_relaxed)) return false;
  // The scan of a file ends at its first bad packet with the counts of the
  // packets before it, but the other thread may have counted chunks beyond
  // it, or met a later bad packet first. Damaged files are rare, so the
  // file's counts are dropped and one thread reads it again from its start.
  blocks[0].Rewind(before[0]);
  blocks[1].Rewind(before[1]);
  FileReading again(fd, true);
  ScanChunks(scanner, again, blocks[0], buffers[0]);
  return again.sync_error.load(std::memory_order_relaxed);
}

}  // namespace

int ScanBitratesProc(TsScanner& scanner, TsScanner::Run& run) {
  worker_of = &scanner;
  // One buffer per reading thread, each its own, for the whole scan; nothing
  // is allocated per buffer or per packet.
  const int threads = ReadThreads(run.scan.read_threads);
  std::unique_ptr<std::uint8_t[]> storage[kMaxReadThreads];
  std::uint8_t* buffers[kMaxReadThreads] = {};
  for (int t = 0; t < threads; ++t) {
    storage[t] = std::make_unique_for_overwrite<std::uint8_t[]>(kScanBufferSize);
    buffers[t] = storage[t].get();
  }
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
    // A sync error ends only the file in hand.
    if (CountFile(scanner, file.get(), run.counts, buffers)) sync_error = true;
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
