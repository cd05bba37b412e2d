#include "scanner/scan_result.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "scanner/ts_packet.h"

namespace dp {

double ElapsedMs(std::uint64_t scanned_packets, std::uint64_t total_packets, double duration_ms) {
  if (total_packets == 0 || !std::isfinite(duration_ms) || duration_ms <= 0) return 0;
  return static_cast<double>(scanned_packets) / static_cast<double>(total_packets) * duration_ms;
}

std::int32_t RoundRealToNearestInteger(double value) {
  if (std::isnan(value)) return 0;
  constexpr double kMax = std::numeric_limits<std::int32_t>::max();
  constexpr double kMin = std::numeric_limits<std::int32_t>::min();
  if (value >= kMax) return std::numeric_limits<std::int32_t>::max();
  if (value <= kMin) return std::numeric_limits<std::int32_t>::min();
  double whole = std::floor(value);
  const double rest = value - whole;
  if (rest > 0.5 || (rest == 0.5 && std::fmod(whole, 2.0) != 0)) whole += 1;
  return static_cast<std::int32_t>(whole);
}

double LiveRateKbps(std::uint32_t packet_count, double elapsed_ms) {
  if (!(elapsed_ms > 0)) return 0;
  return packet_count * kVideoBitsPerPacket / elapsed_ms;
}

std::int32_t ClassifySparseTrack(std::int32_t forced_count, double elapsed_ms, double live_rate_kbps) {
  if (forced_count > 0) return forced_count;
  return live_rate_kbps < kSparseRateKbps && elapsed_ms > kSparseMinElapsedMs ? kForcedTrack : 0;
}

namespace {
constexpr std::uint32_t kMaxInt32 = std::numeric_limits<std::int32_t>::max();
}  // namespace

ScanResult SnapshotCounts(const ScanCounts& counts, std::uint64_t total_packets, double duration_ms) {
  return SnapshotCounts(std::span<const ScanCounts>(&counts, 1), total_packets, duration_ms);
}

ScanResult SnapshotCounts(std::span<const ScanCounts> blocks, std::uint64_t total_packets,
                          double duration_ms) {
  ScanResult r;
  r.total_packets = total_packets;
  r.duration_ms = duration_ms;
  if (blocks.empty()) return r;
  const ScanStreams& s = blocks.front().streams();
  r.video_count = std::clamp(s.video_count, 0, kMaxVideoStreams);
  r.audio_count = std::clamp(s.audio_count, 0, kMaxAudioStreams);
  r.subtitle_count = std::clamp(s.subtitle_count, 0, kMaxSubtitleStreams);
  for (int i = 0; i < r.video_count; ++i) r.video[i].pid = s.video_pid[i];
  for (int i = 0; i < r.audio_count; ++i) r.audio[i].pid = s.audio_pid[i];
  for (int i = 0; i < r.subtitle_count; ++i) r.subtitle[i].pid = s.subtitle_pid[i];
  // Unsigned 32-bit sums wrap as one block's counter would have wrapped.
  std::uint32_t forced[kMaxSubtitleStreams] = {};
  for (const ScanCounts& b : blocks) {
    r.scanned_packets += b.scanned_packets();
    for (int i = 0; i < r.video_count; ++i) r.video[i].packet_count += b.video_packets(i);
    for (int i = 0; i < r.audio_count; ++i) r.audio[i].packet_count += b.audio_packets(i);
    for (int i = 0; i < r.subtitle_count; ++i) {
      r.subtitle[i].packet_count += b.subtitle_packets(i);
      forced[i] += b.subtitle_forced(i);
    }
  }
  for (int i = 0; i < r.subtitle_count; ++i) {
    r.subtitle[i].forced_count = static_cast<std::int32_t>(std::min(forced[i], kMaxInt32));
  }
  r.elapsed_ms = ElapsedMs(r.scanned_packets, total_packets, duration_ms);
  return r;
}

namespace {

void Rates(StreamScan* streams, int count, double factor) {
  for (int i = 0; i < count; ++i) {
    streams[i].scanned_bitrate_kbps = RoundRealToNearestInteger(streams[i].packet_count * factor);
  }
}

}  // namespace

void FinalScan(ScanResult& result) {
  result.elapsed_ms = ElapsedMs(result.scanned_packets, result.total_packets, result.duration_ms);
  // The factor is computed once per table and multiplied by each count, so
  // exact halves come out the same for every stream.
  const bool measurable = result.elapsed_ms > 0;
  const double video_factor = measurable ? kVideoBitsPerPacket / result.elapsed_ms : 0;
  const double other_factor = measurable ? kWholePacketBits / result.elapsed_ms : 0;
  Rates(result.video, result.video_count, video_factor);
  Rates(result.audio, result.audio_count, other_factor);
  Rates(result.subtitle, result.subtitle_count, other_factor);
  result.finished = true;
}

}  // namespace dp
