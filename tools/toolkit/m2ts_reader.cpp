#include "toolkit/m2ts_reader.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

#include "toolkit/bit_reader.h"
#include "toolkit/files.h"
#include "util/text.h"

namespace dp::tools {
namespace {

constexpr std::size_t kSourcePacket = 192;
// The start of a video PES is enough to tell its picture type: the slice
// header follows the parameter sets and SEI within a few kilobytes.
constexpr std::size_t kPictureProbe = 64 * 1024;

// Whether the picture that starts in `data` can be decoded on its own:
// for H.264 an IDR or an I/SI slice, for HEVC an IRAP picture. -1 when no
// slice was found.
int RandomAccessPicture(std::uint8_t stream_type, const std::vector<std::uint8_t>& data) {
  const bool hevc = stream_type == 0x24;
  for (std::size_t i = 0; i + 4 < data.size(); ++i) {
    if (data[i] != 0 || data[i + 1] != 0 || data[i + 2] != 1) continue;
    const std::uint8_t head = data[i + 3];
    if (hevc) {
      const unsigned type = (head >> 1) & 0x3F;
      if (type < 32) return type >= 16 && type <= 23 ? 1 : 0;
      continue;
    }
    const unsigned type = head & 0x1F;
    if (type == 5) return 1;
    if (type == 1) {
      BitReader bits(Unescape(&data[i + 4], std::min<std::size_t>(data.size() - i - 4, 32)));
      bits.Ue();  // first_mb_in_slice
      const unsigned slice_type = bits.Ue() % 5;
      return slice_type == 2 || slice_type == 4 ? 1 : 0;
    }
  }
  return -1;
}

// Collects PSI sections (PAT, PMT) that may span packets.
struct Section {
  std::vector<std::uint8_t> bytes;
  bool started = false;
  // Adds a packet's payload; true once a whole section is held.
  bool Add(const std::uint8_t* p, std::size_t n, bool unit_start) {
    if (unit_start) {
      if (n == 0 || p[0] + 1u > n) return false;
      bytes.assign(p + 1 + p[0], p + n);
      started = true;
    } else if (started) {
      bytes.insert(bytes.end(), p, p + n);
    }
    return started && bytes.size() >= 3 && bytes.size() >= 3 + (((bytes[1] & 0x0Fu) << 8) | bytes[2]);
  }
  std::size_t Length() const { return 3 + (((bytes[1] & 0x0Fu) << 8) | bytes[2]); }
};

struct VideoPes {
  bool open = false;
  bool has_pts = false;
  std::uint64_t pts = 0;
  std::uint32_t spn = 0;
  bool random_access_flag = false;
  std::vector<std::uint8_t> data;
};

// The PTS of a PES packet whose header starts `payload`, when it has one.
bool PesPts(const std::uint8_t* payload, std::size_t size, std::uint64_t& pts) {
  if (size < 14 || payload[0] != 0 || payload[1] != 0 || payload[2] != 1 || !(payload[7] & 0x80))
    return false;
  pts = static_cast<std::uint64_t>(PesTimestamp(payload + 9));
  return true;
}

// Where the last frame of a stream ends: one frame after its latest PTS, a
// frame lasting the smallest step between two of its PTS (sorted, as video
// pictures arrive out of presentation order).
std::uint64_t EndOfLastFrame(std::vector<std::uint64_t>& pts, std::uint64_t lone_frame) {
  std::sort(pts.begin(), pts.end());
  std::uint64_t frame = 0;
  for (std::size_t i = 1; i < pts.size(); ++i) {
    const std::uint64_t d = pts[i] - pts[i - 1];
    if (d > 0 && (frame == 0 || d < frame)) frame = d;
  }
  return pts.back() + (frame != 0 ? frame : lone_frame);
}

}  // namespace

std::int64_t PesTimestamp(const std::uint8_t* p) {
  return (std::int64_t{(p[0] >> 1) & 7} << 30) | (std::int64_t{p[1]} << 22) |
         (std::int64_t{p[2] >> 1} << 15) | (std::int64_t{p[3]} << 7) | (p[4] >> 1);
}

bool IsVideoStreamType(std::uint8_t type) {
  return type == 0x01 || type == 0x02 || type == 0x1B || type == 0x20 || type == 0x24 || type == 0xEA;
}

bool IsAudioStreamType(std::uint8_t type) {
  return type == 0x03 || type == 0x04 || type == 0x0F || type == 0x11 || (type >= 0x80 && type <= 0x86) ||
         type == 0xA1 || type == 0xA2;
}

bool ParseTransportPacket(const std::uint8_t* p, std::uint32_t spn, SourcePacket& sp) {
  sp = SourcePacket{};
  sp.spn = spn;
  sp.pid = ((p[1] & 0x1Fu) << 8) | p[2];
  sp.unit_start = (p[1] & 0x40) != 0;
  const unsigned control = (p[3] >> 4) & 3;
  std::size_t start = 4;
  if (control & 2) {
    sp.random_access = p[4] > 0 && (p[5] & 0x40) != 0;
    start = 5 + p[4];
  }
  if (!(control & 1) || start >= 188) return false;
  sp.payload = p + start;
  sp.size = 188 - start;
  return true;
}

bool ForEachSourcePacket(const std::string& path, const std::function<void(const SourcePacket&)>& visit,
                         std::uint32_t& packets, std::string& error) {
  packets = 0;
  FilePtr file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    error = "Can't read the stream \"" + path + "\".";
    return false;
  }
  std::vector<std::uint8_t> block(kSourcePacket * 2048);
  std::size_t got = 0;
  while ((got = std::fread(block.data(), 1, block.size(), file.get())) > 0) {
    if (got % kSourcePacket != 0) {
      error = Format("\"%s\" does not end on a whole 192-byte source packet.", path.c_str());
      return false;
    }
    for (std::size_t off = 0; off < got; off += kSourcePacket, ++packets) {
      const std::uint8_t* p = &block[off + 4];
      if (p[0] != 0x47) {
        error = Format("\"%s\" has no transport packet in source packet %u.", path.c_str(), packets);
        return false;
      }
      SourcePacket sp;
      if (ParseTransportPacket(p, packets, sp)) visit(sp);
    }
  }
  return true;
}

bool CopyPesPayloads(const std::string& path, unsigned pid,
                     const std::function<void(const std::uint8_t*, std::size_t)>& put, std::string& error) {
  // Header bytes still to skip; -1 until the first PES starts (what comes
  // before it is the tail of a unit the file does not hold).
  long long skip = -1;
  std::uint32_t packets = 0;
  return ForEachSourcePacket(
      path,
      [&](const SourcePacket& sp) {
        if (sp.pid != pid) return;
        if (sp.unit_start) {
          if (sp.size < 9 || sp.payload[0] != 0 || sp.payload[1] != 0 || sp.payload[2] != 1) return;
          skip = 9 + sp.payload[8];
        }
        if (skip < 0) return;
        const std::size_t at = std::min<std::size_t>(sp.size, static_cast<std::size_t>(skip));
        skip -= static_cast<long long>(at);
        if (at < sp.size) put(sp.payload + at, sp.size - at);
      },
      packets, error);
}

struct M2tsCollector::State {
  M2tsInfo out;
  Section pat, pmt;
  bool have_pmt = false;
  std::uint8_t video_type = 0;
  VideoPes pes;
  bool media_before = false;  // a PES packet precedes the current one
  std::vector<std::uint64_t> video_pts;
  std::vector<std::pair<unsigned, std::vector<std::uint64_t>>> audio_pts;  // by PID

  void ClosePes() {
    if (!pes.open) return;
    pes.open = false;
    if (!pes.has_pts) return;
    video_pts.push_back(pes.pts);
    int rap = video_type == 0x1B || video_type == 0x24 ? RandomAccessPicture(video_type, pes.data) : -1;
    if (rap < 0) rap = pes.random_access_flag ? 1 : 0;
    if (rap == 1) out.entry_points.push_back({pes.pts, pes.spn});
  }

  void Add(const SourcePacket& sp) {
    const unsigned pid = sp.pid;
    const bool unit_start = sp.unit_start;
    const std::uint8_t* payload = sp.payload;
    const std::size_t size = sp.size;

    if (pid == 0 && out.pmt_pid == 0 && pat.Add(payload, size, unit_start)) {
      const std::vector<std::uint8_t>& s = pat.bytes;
      for (std::size_t i = 8; i + 4 <= pat.Length() - 4; i += 4)
        if (((s[i] << 8) | s[i + 1]) != 0) {
          out.pmt_pid = ((s[i + 2] & 0x1Fu) << 8) | s[i + 3];
          break;
        }
      return;
    }
    if (!have_pmt && out.pmt_pid != 0 && pid == out.pmt_pid && pmt.Add(payload, size, unit_start)) {
      ReadProgramMap();
      return;
    }
    if (have_pmt && unit_start && pid != out.video_pid) {
      std::uint64_t pts = 0;
      for (auto& [audio_pid, list] : audio_pts)
        if (audio_pid == pid && PesPts(payload, size, pts)) list.push_back(pts);
    }
    if (!have_pmt || pid != out.video_pid) {
      media_before = media_before || (have_pmt && pid != out.pmt_pid && pid != 0x1F && pid != 0x1FFF);
      return;
    }
    if (unit_start) {
      ClosePes();
      pes = VideoPes{};
      pes.open = true;
      // Playback from the first picture starts at packet 0 when only the
      // tables come before it: a player needs them first.
      pes.spn = out.entry_points.empty() && !media_before ? 0 : sp.spn;
      media_before = true;
      pes.random_access_flag = sp.random_access;
      pes.has_pts = PesPts(payload, size, pes.pts);
      const std::size_t header = size >= 9 ? 9u + payload[8] : size;
      if (header < size) pes.data.assign(payload + header, payload + size);
    } else if (pes.open && pes.data.size() < kPictureProbe) {
      pes.data.insert(pes.data.end(), payload, payload + size);
    }
  }

  void ReadProgramMap() {
    const std::vector<std::uint8_t>& s = pmt.bytes;
    const std::size_t end = pmt.Length() - 4;  // before the CRC
    if (s[0] != 2 || end < 12) return;
    out.pcr_pid = ((s[8] & 0x1Fu) << 8) | s[9];
    std::size_t i = 12 + (((s[10] & 0x0Fu) << 8) | s[11]);
    while (i + 5 <= end) {
      MappedStream st;
      st.stream_type = s[i];
      st.pid = ((s[i + 1] & 0x1Fu) << 8) | s[i + 2];
      const std::size_t info_end = i + 5 + (((s[i + 3] & 0x0Fu) << 8) | s[i + 4]);
      for (std::size_t d = i + 5; d + 2 <= info_end && d + 2 + s[d + 1] <= end; d += 2 + s[d + 1])
        if (s[d] == 0x0A && s[d + 1] >= 3) st.language.assign(reinterpret_cast<const char*>(&s[d + 2]), 3);
      out.streams.push_back(st);
      if (IsAudioStreamType(st.stream_type)) audio_pts.push_back({st.pid, {}});
      // The base view before a dependent view; a dependent view's own
      // clip has only that.
      if (IsVideoStreamType(st.stream_type) && (out.video_pid == 0 || video_type == 0x20) &&
          st.stream_type != video_type) {
        out.video_pid = st.pid;
        video_type = st.stream_type;
      }
      i = info_end;
    }
    have_pmt = true;
  }
};

M2tsCollector::M2tsCollector() : s_(std::make_unique<State>()) {}
M2tsCollector::~M2tsCollector() = default;

void M2tsCollector::Add(const SourcePacket& packet) { s_->Add(packet); }

bool M2tsCollector::Finish(std::uint32_t packets, const std::string& name, M2tsInfo& out,
                           std::string& error) {
  State& s = *s_;
  s.ClosePes();
  s.out.packets = packets;
  if (!s.have_pmt) {
    error = Format("\"%s\" has no program map.", name.c_str());
    return false;
  }
  if (s.out.video_pid == 0 || s.video_pts.empty()) {
    error = Format("\"%s\" has no video stream.", name.c_str());
    return false;
  }
  if (s.out.entry_points.empty()) {
    error = Format("\"%s\" has no I picture to start playback from.", name.c_str());
    return false;
  }
  s.out.start_pts = *std::min_element(s.video_pts.begin(), s.video_pts.end());
  s.out.end_pts = EndOfLastFrame(s.video_pts, 3754);  // a lone picture: one frame at 23.976
  for (auto& [audio_pid, list] : s.audio_pts)
    if (!list.empty()) s.out.end_pts = std::max(s.out.end_pts, EndOfLastFrame(list, 0));
  out = std::move(s.out);
  return true;
}

bool ReadM2ts(const std::string& path, M2tsInfo& out, std::string& error) {
  out = M2tsInfo{};
  M2tsCollector collector;
  std::uint32_t packets = 0;
  if (!ForEachSourcePacket(
          path, [&](const SourcePacket& sp) { collector.Add(sp); }, packets, error))
    return false;
  return collector.Finish(packets, path, out, error);
}

}  // namespace dp::tools
