// Reads an MPEG transport stream (188-byte packets, or 192-byte ones with an
// arrival stamp in front) back into its PES packets, whole, in the order
// their first packets appear.
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/files.h"
#include "toolkit/m2ts_reader.h"

namespace dp::tools {

struct Pes {
  unsigned pid = 0;
  std::int64_t pts = -1;            // 90 kHz, -1 when the header has none
  std::int64_t dts = -1;            // the PTS when the header carries no DTS
  bool random_access = false;       // the first packet said a decoder may start here
  std::vector<std::uint8_t> bytes;  // the PES packet, header included
};

class TsReader {
 public:
  // False, with a message, when the file can't be opened or is no transport
  // stream.
  bool Open(const std::string& path, std::string& error);
  // The next PES packet; false at the end of the file or on an error (then
  // `error` says what went wrong, else it stays empty).
  bool Next(Pes& out, std::string& error);
  // Bytes read so far and the file's size, for progress.
  std::int64_t Position() const { return position_; }
  std::int64_t Size() const { return size_; }

 private:
  struct Partial {
    std::int64_t order = 0;  // packet number of its first packet
    Pes pes;
  };
  bool ReadPacket(std::uint8_t* ts, std::string& error);
  void Finish(unsigned pid);

  FilePtr file_;
  int packet_size_ = 188;
  std::int64_t position_ = 0, size_ = 0, packets_ = 0;
  bool eof_ = false;
  std::map<unsigned, bool> psi_pids_;  // PAT-named PMT PIDs, not PES
  std::map<unsigned, Partial> open_;   // PES being collected, by PID
  std::map<std::int64_t, Pes> done_;   // complete PES by first packet number
};

}  // namespace dp::tools
