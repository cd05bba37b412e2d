// The bitrate scan: a worker thread that reads the scan's files from first
// byte to last in large reads and counts packets per stream, then turns the
// counts into bitrates. Reading from the page cache is bound by the copy out
// of it, so on a machine with two CPUs each file is read by two threads
// taking consecutive chunks in turn: the device still sees one nearly
// sequential stream. The figures are exactly those of one reader. One scan at
// a time per scanner; starting a new scan stops the old worker and waits for
// it, and each scan counts into blocks of its own.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "scanner/scan_files.h"
#include "scanner/scan_result.h"
#include "scanner/ts_packet.h"

namespace dp {

// Bytes per read, and per chunk a reading thread takes: whole packets, a
// multiple of the page size, large enough for few system calls and large
// device requests, small enough that the counting pass after each read still
// finds the data in the CPU cache (larger buffers measured slower from the
// page cache). A stop request takes effect after the buffer in hand.
inline constexpr int kScanBufferSize = 192 * 8192;  // 1.5 MiB

// Told when a scan's worker ends. Called on the worker thread, so a window
// posts the result to its own thread; result.scan_id tells a late answer of
// an earlier scan from the current one. The observer must not start, stop or
// wait for a scan from inside the call.
class ScanObserver {
 public:
  virtual ~ScanObserver() = default;
  // result.finished is false when the worker gave up because a clip could
  // not be opened: scan_state then stays 0 and no bitrate was computed.
  virtual void ScanEnded(const ScanResult& result) = 0;
};

class TsScanner {
 public:
  TsScanner() = default;
  ~TsScanner();  // stops and waits for a running worker
  TsScanner(const TsScanner&) = delete;
  TsScanner& operator=(const TsScanner&) = delete;

  // Starts ScanBitratesProc over the prepared files; observer may be null and
  // must outlive the scan. Returns the new scan's id, or 0 when no scan
  // started: called from the worker thread itself (which cannot wait for
  // itself), or no thread could be made.
  std::uint64_t Start(PreparedScan scan, ScanObserver* observer);

  // Cancel and Close: scan_state becomes 1; the worker ends after the
  // buffers in hand and writes its own final value.
  void RequestStop();
  // Waits until the worker has ended (and the observer has been told).
  void Wait();

  int scan_state() const { return scan_state_.load(std::memory_order_acquire); }
  std::uint64_t scan_id() const;
  // Base name of the file being read.
  std::string scan_file_name() const;
  // The live counts as they stand (finished false) while the worker runs; the
  // final result once it has ended.
  ScanResult Progress() const;

 private:
  struct Run;
  friend int ScanBitratesProc(TsScanner& scanner, Run& run);

  void StopAndJoin();

  std::atomic<int> scan_state_{kScanEnded};
  std::mutex control_mutex_;  // serialises Start, Wait and the destructor (worker_)
  mutable std::mutex mutex_;  // guards run_ and next_id_; the worker never takes it
  std::shared_ptr<Run> run_;
  std::uint64_t next_id_ = 1;
  std::thread worker_;
};

// The worker procedure of one run; result 0.
int ScanBitratesProc(TsScanner& scanner, TsScanner::Run& run);

}  // namespace dp
