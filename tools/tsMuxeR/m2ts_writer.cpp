#include "tsMuxeR/m2ts_writer.h"

#include <algorithm>
#include <cstring>

namespace dp::tools {

namespace {

constexpr std::int64_t kClock = 27'000'000;
// A player's clock needs a reference at least every 100 ms; the tables come
// often enough for a reader that starts anywhere to find the streams soon.
constexpr std::int64_t kPcrInterval = kClock * 9 / 100;
constexpr std::int64_t kTableInterval = kClock / 2;
constexpr unsigned kPmtPid = 0x0100, kSitPid = 0x001F;

void Put16(std::vector<std::uint8_t>& s, unsigned v) {
  s.push_back(static_cast<std::uint8_t>(v >> 8));
  s.push_back(static_cast<std::uint8_t>(v));
}

// Fills in the section length and appends the CRC.
void EndSection(std::vector<std::uint8_t>& s) {
  const std::size_t length = s.size() - 3 + 4;
  s[1] = static_cast<std::uint8_t>((s[1] & 0xF0) | (length >> 8));
  s[2] = static_cast<std::uint8_t>(length);
  const std::uint32_t crc = SectionCrc(s.data(), s.size());
  for (int shift = 24; shift >= 0; shift -= 8) s.push_back(static_cast<std::uint8_t>(crc >> shift));
}

}  // namespace

std::uint32_t SectionCrc(const std::uint8_t* data, std::size_t size) {
  std::uint32_t crc = 0xFFFFFFFF;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= std::uint32_t{data[i]} << 24;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x80000000) ? (crc << 1) ^ 0x04C11DB7 : crc << 1;
  }
  return crc;
}

M2tsWriter::M2tsWriter(std::vector<M2tsStream> streams, const M2tsSettings& settings)
    : streams_(std::move(streams)), settings_(settings) {
  packet_time_ = std::max<std::int64_t>(1, static_cast<std::int64_t>(188 * 8 * kClock / settings_.peak_rate));
  lead_ = static_cast<std::int64_t>(settings_.lead_seconds * kClock);
}

bool M2tsWriter::Open(const std::string& path) {
  file_.reset(std::fopen(path.c_str(), "wb"));
  return file_ != nullptr;
}

bool M2tsWriter::Close() {
  if (!file_) return false;
  // Players read a clip in aligned units of 32 source packets (6144 bytes):
  // the last one is completed with null packets.
  std::uint8_t null_packet[188];
  std::memset(null_packet, 0xFF, sizeof null_packet);
  const std::uint8_t null_header[] = {0x47, 0x1F, 0xFF, 0x10};
  std::memcpy(null_packet, null_header, sizeof null_header);
  while (packets_ % 32 != 0) Emit(null_packet);
  ok_ = std::fflush(file_.get()) == 0 && ok_;
  ok_ = std::fclose(file_.release()) == 0 && ok_;
  return ok_;
}

void M2tsWriter::Emit(const std::uint8_t* ts) {
  const std::uint32_t ats = static_cast<std::uint32_t>(now_) & 0x3FFFFFFF;
  const std::uint8_t header[4] = {static_cast<std::uint8_t>(ats >> 24), static_cast<std::uint8_t>(ats >> 16),
                                  static_cast<std::uint8_t>(ats >> 8), static_cast<std::uint8_t>(ats)};
  ok_ = ok_ && std::fwrite(header, 1, 4, file_.get()) == 4 && std::fwrite(ts, 1, 188, file_.get()) == 188;
  SourcePacket packet;
  if (ParseTransportPacket(ts, static_cast<std::uint32_t>(packets_), packet)) collected_.Add(packet);
  now_ += packet_time_;
  ++packets_;
}

void M2tsWriter::Section(unsigned pid, const std::vector<std::uint8_t>& section) {
  std::uint8_t ts[188];
  std::memset(ts, 0xFF, sizeof ts);
  ts[0] = 0x47;
  ts[1] = static_cast<std::uint8_t>(0x40 | (pid >> 8));
  ts[2] = static_cast<std::uint8_t>(pid);
  ts[3] = static_cast<std::uint8_t>(0x10 | (cc_[pid]++ & 0x0F));
  ts[4] = 0;  // pointer field: the section starts right away
  std::memcpy(ts + 5, section.data(), std::min<std::size_t>(section.size(), 183));
  Emit(ts);
}

void M2tsWriter::Tables() {
  last_tables_ = now_;
  std::vector<std::uint8_t> pat = {0x00, 0xB0, 0, 0x00, 0x00, 0xC1, 0x00, 0x00};
  Put16(pat, 1);
  Put16(pat, 0xE000 | kPmtPid);
  EndSection(pat);
  Section(0, pat);

  std::vector<std::uint8_t> pmt = {0x02, 0xB0, 0, 0x00, 0x01, 0xC1, 0x00, 0x00};
  Put16(pmt, 0xE000 | settings_.pcr_pid);
  Put16(pmt, 0xF000 | 6);
  pmt.insert(pmt.end(), {0x05, 0x04, 'H', 'D', 'M', 'V'});
  for (const M2tsStream& s : streams_) {
    pmt.push_back(s.stream_type);
    Put16(pmt, 0xE000 | s.pid);
    std::vector<std::uint8_t> info = {0x05, 0x04, 'H', 'D', 'M', 'V'};
    if (!s.video && s.language.size() == 3)
      info.insert(info.end(),
                  {0x0A, 0x04, static_cast<std::uint8_t>(s.language[0]),
                   static_cast<std::uint8_t>(s.language[1]), static_cast<std::uint8_t>(s.language[2]), 0});
    Put16(pmt, 0xF000 | static_cast<unsigned>(info.size()));
    pmt.insert(pmt.end(), info.begin(), info.end());
  }
  EndSection(pmt);
  Section(kPmtPid, pmt);

  // Selection information: a partial transport stream of one service, with
  // its peak rate in units of 400 bit/s and the smoothing values left open.
  const std::uint32_t peak = static_cast<std::uint32_t>(settings_.peak_rate / 400) & 0x3FFFFF;
  std::vector<std::uint8_t> sit = {0x7F, 0xF0, 0, 0xFF, 0xFF, 0xC1, 0x00, 0x00, 0xF0, 0x0A, 0x63, 0x08};
  sit.insert(sit.end(), {static_cast<std::uint8_t>(0xC0 | (peak >> 16)), static_cast<std::uint8_t>(peak >> 8),
                         static_cast<std::uint8_t>(peak), 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
  sit.insert(sit.end(), {0x00, 0x01, 0x80, 0x00});  // service 1, running status undefined, no descriptors
  EndSection(sit);
  Section(kSitPid, sit);
}

void M2tsWriter::PcrPacket() {
  last_pcr_ = now_;
  const unsigned pid = settings_.pcr_pid;
  std::uint8_t ts[188];
  std::memset(ts, 0xFF, sizeof ts);
  ts[0] = 0x47;
  ts[1] = static_cast<std::uint8_t>(pid >> 8);
  ts[2] = static_cast<std::uint8_t>(pid);
  // Adaptation field only: the counter stays at the stream's last value.
  ts[3] = static_cast<std::uint8_t>(0x20 | ((cc_[pid] - 1) & 0x0F));
  ts[4] = 183;
  ts[5] = 0x10;
  const std::int64_t base = (now_ / 300) & ((std::int64_t{1} << 33) - 1);
  const unsigned ext = static_cast<unsigned>(now_ % 300);
  ts[6] = static_cast<std::uint8_t>(base >> 25);
  ts[7] = static_cast<std::uint8_t>(base >> 17);
  ts[8] = static_cast<std::uint8_t>(base >> 9);
  ts[9] = static_cast<std::uint8_t>(base >> 1);
  ts[10] = static_cast<std::uint8_t>(((base & 1) << 7) | 0x7E | (ext >> 8));
  ts[11] = static_cast<std::uint8_t>(ext);
  Emit(ts);
}

void M2tsWriter::Packet(unsigned pid, const std::uint8_t* data, std::size_t size, bool start,
                        bool random_access) {
  std::uint8_t ts[188];
  ts[0] = 0x47;
  ts[1] = static_cast<std::uint8_t>((start ? 0x40 : 0) | (pid >> 8));
  ts[2] = static_cast<std::uint8_t>(pid);
  std::size_t offset = 4;
  if (size < 184 || random_access) {
    // The adaptation field carries the random access flag, or stuffs the
    // last packet of a PES up to 188 bytes.
    ts[3] = static_cast<std::uint8_t>(0x30 | (cc_[pid]++ & 0x0F));
    const std::size_t field = 183 - size;
    ts[4] = static_cast<std::uint8_t>(field);
    if (field > 0) {
      ts[5] = random_access ? 0x40 : 0x00;
      std::memset(ts + 6, 0xFF, field - 1);
    }
    offset = 5 + field;
  } else {
    ts[3] = static_cast<std::uint8_t>(0x10 | (cc_[pid]++ & 0x0F));
  }
  std::memcpy(ts + offset, data, size);
  Emit(ts);
}

bool M2tsWriter::Write(const Pes& pes) {
  const M2tsStream* stream = nullptr;
  for (const M2tsStream& s : streams_)
    if (s.pid == pes.pid) stream = &s;
  if (!stream || !file_) return false;
  const std::int64_t due = pes.dts * 300 - lead_;
  if (now_ < 0) {
    now_ = std::max<std::int64_t>(0, due - 4 * packet_time_);
    Tables();
    PcrPacket();
  }
  // Nothing to send until the PES is due: the clock references go on.
  while (due - last_pcr_ > kPcrInterval) {
    now_ = std::max(now_, last_pcr_ + kPcrInterval);
    PcrPacket();
  }
  now_ = std::max(now_, due);
  if (now_ - last_tables_ >= kTableInterval) Tables();
  const bool random_access = stream->video && pes.random_access;
  for (std::size_t done = 0; done < pes.bytes.size();) {
    if (now_ - last_pcr_ >= kPcrInterval) PcrPacket();
    const std::size_t room = done == 0 && random_access ? 182 : 184;
    const std::size_t size = std::min(room, pes.bytes.size() - done);
    Packet(stream->pid, pes.bytes.data() + done, size, done == 0, done == 0 && random_access);
    done += size;
  }
  return ok_;
}

}  // namespace dp::tools
