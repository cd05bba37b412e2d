// Per-buffer counting of Blu-ray source packets: 192 bytes each, a 4-byte
// arrival-time header and a 188-byte transport packet. Only the sync byte,
// the PID and, for subtitle packets, five bytes of a presentation-composition
// segment are examined.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "source/inventory.h"

namespace dp {

inline constexpr int kSourcePacketSize = 192;
inline constexpr std::uint8_t kSyncByte = 0x47;
// Program tables, the clock reference and other system PIDs lie below this
// and are never counted.
inline constexpr int kFirstCountedPid = 0x1004;
inline constexpr int kPidCount = 0x2000;  // 13-bit PIDs

// Offsets inside one 192-byte packet.
inline constexpr int kSyncOffset = 4;
inline constexpr int kPesHeaderLengthOffset = 159;
inline constexpr int kPtsFirstByteOffset = 160;
inline constexpr int kSegmentTypeOffset = 170;
inline constexpr int kCompositionStateOffset = 180;
inline constexpr int kObjectFlagsOffset = 187;

// The PIDs a scan looks for, in the order of the inventory's tables.
struct ScanStreams {
  int video_count = 0;
  int audio_count = 0;
  int subtitle_count = 0;
  std::int32_t video_pid[kMaxVideoStreams] = {};
  std::int32_t audio_pid[kMaxAudioStreams] = {};
  std::int32_t subtitle_pid[kMaxSubtitleStreams] = {};
};

// A block of counters of one scan. Only one thread at a time writes a block
// (so a relaxed load and store is an exact increment); other threads may read
// it at any time. A scan that reads with several threads gives each its own
// block, and its figures are the sum of the blocks. A new scan always gets
// fresh blocks. Aligned so that two blocks side by side share no cache line.
class alignas(64) ScanCounts {
 public:
  // Counter slots: 0 is "not counted", then video, audio and subtitle
  // streams in table order.
  static constexpr int kFirstVideoSlot = 1;
  static constexpr int kFirstAudioSlot = kFirstVideoSlot + kMaxVideoStreams;
  static constexpr int kFirstSubtitleSlot = kFirstAudioSlot + kMaxAudioStreams;
  static constexpr int kSlots = kFirstSubtitleSlot + kMaxSubtitleStreams;

  // The counters as plain values: where a block stood at some moment.
  struct Tally {
    std::uint64_t scanned_packets = 0;
    std::uint32_t packets[kSlots] = {};
    std::uint32_t forced[kMaxSubtitleStreams] = {};
  };

  explicit ScanCounts(const ScanStreams& streams);
  ScanCounts(const ScanCounts&) = delete;
  ScanCounts& operator=(const ScanCounts&) = delete;

  Tally Mark() const;
  // Puts the counters back to a mark taken earlier; called while no other
  // thread writes the block.
  void Rewind(const Tally& mark);

  const ScanStreams& streams() const { return streams_; }
  std::uint64_t scanned_packets() const { return scanned_packets_.load(std::memory_order_relaxed); }
  std::uint32_t video_packets(int i) const { return Load(packets_[kFirstVideoSlot + i]); }
  std::uint32_t audio_packets(int i) const { return Load(packets_[kFirstAudioSlot + i]); }
  std::uint32_t subtitle_packets(int i) const { return Load(packets_[kFirstSubtitleSlot + i]); }
  std::uint32_t subtitle_forced(int i) const { return Load(forced_[i]); }

 private:
  friend int ProcesaPacket(ScanCounts& counts, const std::uint8_t* buffer, int length);

  static std::uint32_t Load(const std::atomic<std::uint32_t>& a) { return a.load(std::memory_order_relaxed); }
  static void Bump(std::atomic<std::uint32_t>& a) {
    a.store(a.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
  }

  ScanStreams streams_;
  // PID -> slot; a PID listed in several tables keeps the slot of the first.
  std::uint8_t slot_of_pid_[kPidCount] = {};
  std::atomic<std::uint64_t> scanned_packets_{0};
  std::atomic<std::uint32_t> packets_[kSlots] = {};
  std::atomic<std::uint32_t> forced_[kMaxSubtitleStreams] = {};
};

// Counts the whole packets of one read buffer into counts. Returns 0 when the
// buffer was processed, 1 on a missing sync byte: at the buffer's first
// packet nothing is counted; at a later one the packets before it stay
// counted and scanned_packets already includes the whole buffer. A buffer
// with no whole packet (the tail of a truncated file) has nothing to count
// and returns 0 without being read.
int ProcesaPacket(ScanCounts& counts, const std::uint8_t* buffer, int length);

}  // namespace dp
