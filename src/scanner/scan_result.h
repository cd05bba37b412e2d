// What a scan measured, as a plain value that can be handed between threads:
// per-stream packet counts, measured bitrates and forced-caption counts, and
// the arithmetic that turns counts into bitrates.
#pragma once

#include <cstdint>
#include <span>

#include "source/inventory.h"

namespace dp {

class ScanCounts;

// scan_state values.
inline constexpr int kScanRunning = 0;
inline constexpr int kScanEnded = 1;  // ended normally or stopped
inline constexpr int kScanSyncError = 2;

// Bits per packet for the bitrate: the 184 payload bytes of a transport
// packet for video (and for every live figure), the whole 192-byte packet for
// audio and subtitles.
inline constexpr double kVideoBitsPerPacket = 1472.0;
inline constexpr double kWholePacketBits = 1536.0;

// Below this live rate, after more than this much of the title, a subtitle
// stream without counted forced captions is taken for a forced-only track.
inline constexpr double kSparseRateKbps = 4.0;
inline constexpr double kSparseMinElapsedMs = 600000.0;

struct StreamScan {
  std::int32_t pid = 0;
  std::uint32_t packet_count = 0;
  std::int32_t scanned_bitrate_kbps = 0;
  std::int32_t forced_count = 0;  // subtitles only
};

struct ScanResult {
  std::uint64_t scan_id = 0;
  int scan_state = kScanRunning;
  // The bitrates were computed. False while the scan runs and when the worker
  // ended early because a clip could not be opened.
  bool finished = false;
  std::uint64_t total_packets = 0;
  std::uint64_t scanned_packets = 0;
  double duration_ms = 0;
  double elapsed_ms = 0;
  int video_count = 0;
  int audio_count = 0;
  int subtitle_count = 0;
  StreamScan video[kMaxVideoStreams];
  StreamScan audio[kMaxAudioStreams];
  StreamScan subtitle[kMaxSubtitleStreams];
};

// The share of the title's playing time that the packets read so far stand
// for; 0 when there is nothing to measure (no packets, no duration).
double ElapsedMs(std::uint64_t scanned_packets, std::uint64_t total_packets, double duration_ms);

// Nearest integer, exact halves to the even one; clamped to the int32 range
// (a tiny elapsed time can make any rate huge), NaN gives 0.
std::int32_t RoundRealToNearestInteger(double value);

// packet_count x 1472 / elapsed_ms, the live figure for every stream kind;
// 0 when elapsed_ms is not positive.
double LiveRateKbps(std::uint32_t packet_count, double elapsed_ms);

// The sparse-track test: a stream with counted forced captions keeps its
// count; otherwise -1 when the live rate is below 4 kbit/s after more than ten
// minutes of the title, else 0.
std::int32_t ClassifySparseTrack(std::int32_t forced_count, double elapsed_ms, double live_rate_kbps);

// A copy of the counters as they stand, with stream PIDs and duration; of
// several blocks (one per reading thread, all of the same streams), their sum.
ScanResult SnapshotCounts(const ScanCounts& counts, std::uint64_t total_packets, double duration_ms);
ScanResult SnapshotCounts(std::span<const ScanCounts> blocks, std::uint64_t total_packets,
                          double duration_ms);

// Turns the counts of result into bitrates: elapsed_ms, then every stream's
// scanned_bitrate_kbps (video at 1472 bits per packet, audio and subtitles
// at 1536); all are 0 when elapsed_ms is 0. Sets finished.
void FinalScan(ScanResult& result);

}  // namespace dp
