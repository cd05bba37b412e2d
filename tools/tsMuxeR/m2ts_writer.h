// Writes a Blu-ray transport stream: 192-byte source packets whose 4-byte
// header carries the arrival time (27 MHz, 30 bits), the PAT, PMT and SIT,
// PCR packets and the PES packets of the streams. Arrival times follow a
// schedule instead of a constant mux rate: each PES arrives a bounded lead
// ahead of its decoding time, no faster than the peak rate, so the file holds
// the streams and their headers and no padding.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/files.h"
#include "toolkit/m2ts_reader.h"
#include "tsMuxeR/ts_reader.h"

namespace dp::tools {

struct M2tsStream {
  unsigned pid = 0;
  std::uint8_t stream_type = 0;  // 0x1B AVC, 0x81 AC-3, 0x90 PGS, ...
  std::string language;          // ISO 639-2, for audio and subtitles
  bool video = false;
};

struct M2tsSettings {
  unsigned pcr_pid = 0x1001;
  double lead_seconds = 0.5;  // how long before its decoding time a PES may arrive
  double peak_rate = 48e6;    // bits per second the arrival schedule never exceeds
};

class M2tsWriter {
 public:
  M2tsWriter(std::vector<M2tsStream> streams, const M2tsSettings& settings);
  bool Open(const std::string& path);
  // Schedules and writes one PES of a stream given to the constructor.
  bool Write(const Pes& pes);
  // Flushes and closes; false when a write failed.
  bool Close();
  std::int64_t Packets() const { return packets_; }
  // After Close: what the clip information needs of the stream written
  // (collected packet by packet, so the file is not read back). False, with
  // the reason, when it lacks a program map, a video stream or an I picture.
  bool Describe(const std::string& name, M2tsInfo& out, std::string& error) {
    return collected_.Finish(static_cast<std::uint32_t>(packets_), name, out, error);
  }

 private:
  void Tables();
  void PcrPacket();
  void Packet(unsigned pid, const std::uint8_t* data, std::size_t size, bool start, bool random_access);
  void Emit(const std::uint8_t* ts);  // stamps and writes one packet at the current time
  void Section(unsigned pid, const std::vector<std::uint8_t>& section);

  FilePtr file_;
  std::vector<M2tsStream> streams_;
  M2tsSettings settings_;
  std::int64_t packet_time_ = 0;  // 27 MHz ticks one packet takes at the peak rate
  std::int64_t lead_ = 0;
  std::int64_t now_ = -1;  // arrival time of the next packet, 27 MHz; -1 before the first
  std::int64_t last_pcr_ = 0, last_tables_ = 0;
  std::int64_t packets_ = 0;
  unsigned cc_[0x2000] = {};
  M2tsCollector collected_;
  bool ok_ = true;
};

// CRC-32 of MPEG-2 sections.
std::uint32_t SectionCrc(const std::uint8_t* data, std::size_t size);

}  // namespace dp::tools
