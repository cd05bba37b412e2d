#include "scanner/scan_inventory.h"

#include <algorithm>
#include <limits>

namespace dp {
namespace {

std::uint32_t Saturate32(std::uint64_t v) {
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(v, std::numeric_limits<std::uint32_t>::max()));
}

int Kept(std::int32_t inventory_count, int scanned_count, int max) {
  return std::clamp(std::min<int>(inventory_count, scanned_count), 0, max);
}

}  // namespace

void ResetPackets(SourceInventory& inventory) {
  for (ContainerRecord& c : inventory.container) {
    c.total_packets = 0;
    c.scanned_packets = 0;
  }
  for (VideoStream& v : inventory.video) {
    v.packet_count = 0;
    v.scanned_bitrate_kbps = 0;
  }
  for (AudioStream& a : inventory.audio) {
    a.packet_count = 0;
    a.scanned_bitrate_kbps = 0;
  }
  for (SubtitleStream& s : inventory.subtitle) {
    s.packet_count = 0;
    s.scanned_bitrate_kbps = 0;
    s.forced_count = 0;
  }
}

void ApplyScanResult(const ScanResult& result, SourceInventory& inventory) {
  inventory.container[0].total_packets = Saturate32(result.total_packets);
  inventory.container[0].scanned_packets = Saturate32(result.scanned_packets);

  for (int i = 0; i < Kept(inventory.video_count, result.video_count, kMaxVideoStreams); ++i) {
    VideoStream& v = inventory.video[i];
    if (v.pid != result.video[i].pid) continue;
    v.packet_count = result.video[i].packet_count;
    if (result.finished) v.scanned_bitrate_kbps = result.video[i].scanned_bitrate_kbps;
  }
  for (int i = 0; i < Kept(inventory.audio_count, result.audio_count, kMaxAudioStreams); ++i) {
    AudioStream& a = inventory.audio[i];
    if (a.pid != result.audio[i].pid) continue;
    a.packet_count = result.audio[i].packet_count;
    if (result.finished) a.scanned_bitrate_kbps = result.audio[i].scanned_bitrate_kbps;
  }
  for (int i = 0; i < Kept(inventory.subtitle_count, result.subtitle_count, kMaxSubtitleStreams); ++i) {
    SubtitleStream& s = inventory.subtitle[i];
    const StreamScan& scanned = result.subtitle[i];
    if (s.pid != scanned.pid) continue;
    s.packet_count = scanned.packet_count;
    if (result.finished) s.scanned_bitrate_kbps = scanned.scanned_bitrate_kbps;
    s.forced_count = ClassifySparseTrack(scanned.forced_count, result.elapsed_ms,
                                         LiveRateKbps(scanned.packet_count, result.elapsed_ms));
  }
}

}  // namespace dp
