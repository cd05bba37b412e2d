// Arbitrary bytes through the packet counter, one 192-byte step at a time and
// as one buffer of any length, then through the bitrate arithmetic.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "scanner/scan_result.h"
#include "scanner/ts_packet.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The first bytes choose the stream tables, so that duplicates, system
  // PIDs and out-of-range PIDs all occur.
  dp::ScanStreams streams;
  std::size_t used = 0;
  auto take16 = [&]() -> std::int32_t {
    if (used + 2 > size) return 0x1011;
    const std::int32_t v = data[used] << 8 | data[used + 1];
    used += 2;
    return v;
  };
  streams.video_count = 2;
  streams.audio_count = 3;
  streams.subtitle_count = 3;
  for (int i = 0; i < streams.video_count; ++i) streams.video_pid[i] = take16();
  for (int i = 0; i < streams.audio_count; ++i) streams.audio_pid[i] = take16();
  for (int i = 0; i < streams.subtitle_count; ++i) streams.subtitle_pid[i] = take16();
  data += used;
  size -= used;

  dp::ScanCounts counts(streams);
  // Each step in a buffer of exactly its own size, so any read past the end
  // is caught.
  for (std::size_t at = 0; at < size; at += dp::kSourcePacketSize) {
    const std::size_t n = size - at < dp::kSourcePacketSize ? size - at : dp::kSourcePacketSize;
    std::vector<std::uint8_t> step(data + at, data + at + n);
    dp::ProcesaPacket(counts, step.data(), static_cast<int>(step.size()));
  }
  std::vector<std::uint8_t> whole(data, data + size);
  dp::ProcesaPacket(counts, whole.data(), static_cast<int>(whole.size()));

  dp::ScanResult r = dp::SnapshotCounts(counts, size / 7, static_cast<double>(size) * 3.7);
  dp::FinalScan(r);
  for (int i = 0; i < r.subtitle_count; ++i) {
    dp::ClassifySparseTrack(r.subtitle[i].forced_count, r.elapsed_ms,
                            dp::LiveRateKbps(r.subtitle[i].packet_count, r.elapsed_ms));
  }
  return 0;
}
