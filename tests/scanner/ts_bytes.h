// Transport-stream bytes made in tests: packets, PGS compositions, stream
// tables, files.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "scanner/scan_files.h"
#include "scanner/scan_result.h"
#include "scanner/ts_packet.h"
#include "support/files.h"
#include "support/temp_dir.h"
#include "util/text.h"

namespace dp {
namespace {

using Bytes = std::vector<std::uint8_t>;

// One 192-byte source packet of a PID: transport header and stuffing.
inline void AddPacket(Bytes& out, int pid) {
  const std::size_t at = out.size();
  out.resize(at + kSourcePacketSize, 0xFF);
  std::uint8_t* p = out.data() + at;
  p[4] = kSyncByte;
  p[5] = static_cast<std::uint8_t>(pid >> 8 & 0x1F);
  p[6] = static_cast<std::uint8_t>(pid);
  p[7] = 0x10;  // payload only
}

// A PGS presentation-composition segment with one composition object as a
// Blu-ray stream carries it: adaptation-field stuffing, then a PES with PTS
// and DTS whose payload ends at the packet's last byte.
inline void AddComposition(Bytes& out, int pid, std::uint8_t state, std::uint8_t object_flags) {
  const std::size_t at = out.size();
  AddPacket(out, pid);
  std::uint8_t* p = out.data() + at;
  p[5] |= 0x40;  // payload unit start
  p[7] = 0x30;   // adaptation field and payload
  p[8] = 142;    // adaptation field runs to byte 150
  p[9] = 0x00;
  std::memset(p + 10, 0xFF, 141);
  const std::uint8_t pes[] = {0x00, 0x00, 0x01, 0xBD, 0x00, 0x23, 0x81, 0xC0, 0x0A, 0x31,
                              0x00, 0x01, 0x00, 0x01, 0x11, 0x00, 0x01, 0x00, 0x01};
  std::memcpy(p + 151, pes, sizeof pes);         // header-data length at 159, PTS at 160
  const std::uint8_t pcs[] = {0x16, 0x00, 0x13,  // type, length 19
                              0x07, 0x80, 0x04, 0x38, 0x10,         0x00, 0x05, state, 0x00, 0x00,
                              0x01, 0x00, 0x00, 0x00, object_flags, 0x02, 0x00, 0x03,  0x00};
  std::memcpy(p + 170, pcs, sizeof pcs);
}

inline ScanStreams Streams(std::vector<int> video, std::vector<int> audio, std::vector<int> subtitle) {
  ScanStreams s;
  auto fill = [](const std::vector<int>& pids, std::int32_t* out, int& count) {
    count = static_cast<int>(pids.size());
    std::copy(pids.begin(), pids.end(), out);
  };
  fill(video, s.video_pid, s.video_count);
  fill(audio, s.audio_pid, s.audio_count);
  fill(subtitle, s.subtitle_pid, s.subtitle_count);
  return s;
}

using test::WriteBytes;

}  // namespace
}  // namespace dp
