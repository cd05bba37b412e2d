#include "scanner/ts_packet.h"

namespace dp {
namespace {

void AssignSlots(std::uint8_t (&slot_of_pid)[kPidCount], const std::int32_t* pids, int count, int max,
                 int first_slot) {
  if (count > max) count = max;
  for (int i = 0; i < count; ++i) {
    const std::int32_t pid = pids[i];
    // A PID outside 13 bits never occurs in a packet; a system PID is never
    // counted even when a table lists it.
    if (pid < kFirstCountedPid || pid >= kPidCount) continue;
    if (slot_of_pid[pid] == 0) slot_of_pid[pid] = static_cast<std::uint8_t>(first_slot + i);
  }
}

// A presentation-composition segment that starts an epoch and whose first
// composition object is forced, laid out as Blu-ray PGS streams lay it out:
// PES with PTS and DTS, one object, no cropping, ending at the packet's end.
bool IsForcedComposition(const std::uint8_t* packet) {
  return packet[kPesHeaderLengthOffset] == 0x0A && packet[kPtsFirstByteOffset] == 0x31 &&
         packet[kSegmentTypeOffset] == 0x16 && packet[kCompositionStateOffset] == 0x80 &&
         (packet[kObjectFlagsOffset] & 0x40) != 0;
}

}  // namespace

ScanCounts::ScanCounts(const ScanStreams& streams) : streams_(streams) {
  // Video first, then audio, then subtitles: the first table wins.
  AssignSlots(slot_of_pid_, streams_.video_pid, streams_.video_count, kMaxVideoStreams, kFirstVideoSlot);
  AssignSlots(slot_of_pid_, streams_.audio_pid, streams_.audio_count, kMaxAudioStreams, kFirstAudioSlot);
  AssignSlots(slot_of_pid_, streams_.subtitle_pid, streams_.subtitle_count, kMaxSubtitleStreams,
              kFirstSubtitleSlot);
}

ScanCounts::Tally ScanCounts::Mark() const {
  Tally t;
  t.scanned_packets = scanned_packets();
  for (int i = 0; i < kSlots; ++i) t.packets[i] = Load(packets_[i]);
  for (int i = 0; i < kMaxSubtitleStreams; ++i) t.forced[i] = Load(forced_[i]);
  return t;
}

void ScanCounts::Rewind(const Tally& mark) {
  scanned_packets_.store(mark.scanned_packets, std::memory_order_relaxed);
  for (int i = 0; i < kSlots; ++i) packets_[i].store(mark.packets[i], std::memory_order_relaxed);
  for (int i = 0; i < kMaxSubtitleStreams; ++i) forced_[i].store(mark.forced[i], std::memory_order_relaxed);
}

int ProcesaPacket(ScanCounts& counts, const std::uint8_t* buffer, int length) {
  if (buffer == nullptr || length < kSourcePacketSize) return 0;
  if (buffer[kSyncOffset] != kSyncByte) return 1;
  const int packets = length / kSourcePacketSize;
  counts.scanned_packets_.store(counts.scanned_packets_.load(std::memory_order_relaxed) + packets,
                                std::memory_order_relaxed);
  const std::uint8_t* packet = buffer;
  for (int i = 0; i < packets; ++i, packet += kSourcePacketSize) {
    if (packet[kSyncOffset] != kSyncByte) return 1;
    const int pid = (packet[5] & 0x1F) << 8 | packet[6];
    const int slot = counts.slot_of_pid_[pid];
    if (slot == 0) continue;
    ScanCounts::Bump(counts.packets_[slot]);
    if (slot >= ScanCounts::kFirstSubtitleSlot && IsForcedComposition(packet)) {
      ScanCounts::Bump(counts.forced_[slot - ScanCounts::kFirstSubtitleSlot]);
    }
  }
  return 0;
}

}  // namespace dp
