#include "tsMuxeR/ts_reader.h"

#include <cstring>
#include <filesystem>

#include "util/text.h"

namespace dp::tools {

bool TsReader::Open(const std::string& path, std::string& error) {
  file_.reset(std::fopen(path.c_str(), "rb"));
  std::error_code ec;
  size_ = static_cast<std::int64_t>(std::filesystem::file_size(path, ec));
  std::uint8_t head[200] = {};
  if (!file_ || ec || std::fread(head, 1, sizeof head, file_.get()) != sizeof head) {
    error = "Can't read the transport stream \"" + path + "\".";
    return false;
  }
  if (head[0] == 0x47 && head[188] == 0x47)
    packet_size_ = 188;
  else if (head[4] == 0x47 && head[196] == 0x47)
    packet_size_ = 192;
  else {
    error = "\"" + path + "\" is no transport stream.";
    return false;
  }
  std::rewind(file_.get());
  return true;
}

bool TsReader::ReadPacket(std::uint8_t* ts, std::string& error) {
  std::uint8_t buf[192];
  const std::size_t n = std::fread(buf, 1, static_cast<std::size_t>(packet_size_), file_.get());
  if (n == 0) return false;
  position_ += static_cast<std::int64_t>(n);
  const std::uint8_t* p = buf + (packet_size_ - 188);
  if (n != static_cast<std::size_t>(packet_size_) || p[0] != 0x47) {
    error =
        Format("The transport stream lost its packet sync at byte %lld.", static_cast<long long>(position_));
    return false;
  }
  std::memcpy(ts, p, 188);
  return true;
}

void TsReader::Finish(unsigned pid) {
  auto it = open_.find(pid);
  if (it == open_.end()) return;
  Pes& pes = it->second.pes;
  const std::vector<std::uint8_t>& b = pes.bytes;
  if (b.size() >= 9 && b[0] == 0 && b[1] == 0 && b[2] == 1) {
    const unsigned length = (unsigned{b[4]} << 8) | b[5];
    if (length != 0 && length + 6 < b.size()) pes.bytes.resize(length + 6);
    const unsigned flags = b[7] >> 6;
    if ((flags & 2) && b.size() >= 14) pes.pts = pes.dts = PesTimestamp(&b[9]);
    if (flags == 3 && b.size() >= 19) pes.dts = PesTimestamp(&b[14]);
  }
  done_.emplace(it->second.order, std::move(pes));
  open_.erase(it);
}

bool TsReader::Next(Pes& out, std::string& error) {
  error.clear();
  for (;;) {
    // A PES goes out once no PES that started before it is still open.
    if (!done_.empty() && (open_.empty() || done_.begin()->first < [&] {
          std::int64_t first = INT64_MAX;
          for (const auto& [pid, partial] : open_) first = std::min(first, partial.order);
          return first;
        }())) {
      out = std::move(done_.begin()->second);
      done_.erase(done_.begin());
      if (out.pts < 0) {
        error = Format("The stream on PID 0x%04x carries no timestamps.", out.pid);
        return false;
      }
      return true;
    }
    if (eof_) return false;
    std::uint8_t ts[188];
    if (!ReadPacket(ts, error)) {
      if (!error.empty()) return false;
      eof_ = true;
      while (!open_.empty()) Finish(open_.begin()->first);
      continue;
    }
    const std::int64_t number = packets_++;
    const unsigned pid = ((ts[1] & 0x1F) << 8) | ts[2];
    const bool start = ts[1] & 0x40;
    const unsigned control = (ts[3] >> 4) & 3;
    std::size_t offset = 4;
    bool random_access = false;
    if (control & 2) {
      random_access = ts[4] > 0 && (ts[5] & 0x40);
      offset += 1 + ts[4];
    }
    if (!(control & 1) || offset >= 188) continue;
    if (pid == 0 && start) {
      // The PAT names the PMT PIDs, whose sections are no PES.
      const std::size_t s = offset + 1 + ts[offset];
      if (s + 8 > 188) continue;
      const std::size_t end = std::min<std::size_t>(188, s + 3 + (((ts[s + 1] & 0x0F) << 8) | ts[s + 2]) - 4);
      for (std::size_t i = s + 8; i + 4 <= end; i += 4)
        psi_pids_[((ts[i + 2] & 0x1F) << 8) | ts[i + 3]] = true;
      continue;
    }
    if (pid < 0x20 || pid == 0x1FFF || psi_pids_.count(pid)) continue;
    if (start) {
      Finish(pid);
      Partial& partial = open_[pid];
      partial.order = number;
      partial.pes.pid = pid;
      partial.pes.random_access = random_access;
    }
    auto it = open_.find(pid);
    if (it == open_.end()) continue;  // the stream began before the file did
    it->second.pes.bytes.insert(it->second.pes.bytes.end(), ts + offset, ts + 188);
  }
}

}  // namespace dp::tools
