#include "toolkit/bd_clipinfo.h"

#include <cmath>

#include "toolkit/bd_extension.h"
#include "toolkit/files.h"

namespace dp::tools {
namespace {

// Every stream's attribute block has this length, zero-padded, so a player
// skips to the next stream the same way whatever the coding type.
constexpr std::uint8_t kAttrLength = 21;
// The system rate ceiling of a Blu-ray transport stream (48 Mbit/s), in
// bytes per second.
constexpr std::uint32_t kRecordingRate = 6000000;

void PutLength(std::vector<std::uint8_t>& b, std::size_t at) {
  SetBe32(&b[at], static_cast<std::uint32_t>(b.size() - at - 4));
}

void PutAttributes(std::vector<std::uint8_t>& b, const ClipStream& s) {
  b.push_back(kAttrLength);
  const std::size_t start = b.size();
  b.push_back(s.coding_type);
  const std::string lang = s.language.size() == 3 ? s.language : "und";
  switch (s.coding_type) {
    case 0x01:
    case 0x02:
    case 0x1B:
    case 0x20:
    case 0x24:
    case 0xEA:
      b.push_back(static_cast<std::uint8_t>((s.format << 4) | (s.rate & 0x0F)));
      b.push_back(static_cast<std::uint8_t>(s.aspect << 4));
      break;
    case 0x90:
    case 0x91:
      b.insert(b.end(), lang.begin(), lang.end());
      break;
    default:  // audio
      b.push_back(static_cast<std::uint8_t>((s.format << 4) | (s.rate & 0x0F)));
      b.insert(b.end(), lang.begin(), lang.end());
      break;
  }
  b.resize(start + kAttrLength, 0);
}

// The entry point map of the video: coarse entries for each change of the
// high PTS bits or of the packet number's high bits, and one fine entry per
// entry point holding the low bits.
std::vector<std::uint8_t> EntryPointMap(const ClipInfo& clip) {
  struct Coarse {
    std::uint32_t fine_id, pts, spn;
  };
  std::vector<Coarse> coarse;
  std::vector<std::uint32_t> fine;
  for (const EntryPoint& e : clip.entry_points) {
    const auto pts_high = static_cast<std::uint32_t>((e.pts >> 19) & 0x3FFF);
    if (coarse.empty() || coarse.back().pts != pts_high || (coarse.back().spn >> 17) != (e.spn >> 17))
      coarse.push_back({static_cast<std::uint32_t>(fine.size()), pts_high, e.spn});
    // Top bits: not an angle change point; the I picture's end offset is not measured.
    fine.push_back((1u << 28) | (static_cast<std::uint32_t>((e.pts >> 9) & 0x7FF) << 17) | (e.spn & 0x1FFFF));
  }
  std::vector<std::uint8_t> b;
  b.push_back(0);
  b.push_back(1);  // one stream: the video
  PutBe16(b, clip.video_pid);
  // 10 reserved bits, stream type 1 (video), coarse count (16), fine count (18).
  const std::uint64_t counts = (std::uint64_t{1} << 34) | (std::uint64_t{coarse.size()} << 18) | fine.size();
  for (int shift = 40; shift >= 0; shift -= 8) b.push_back(static_cast<std::uint8_t>(counts >> shift));
  PutBe32(b, static_cast<std::uint32_t>(b.size() + 4));  // the stream's table follows
  PutBe32(b, static_cast<std::uint32_t>(4 + 8 * coarse.size()));
  for (const Coarse& c : coarse) {
    PutBe32(b, (c.fine_id << 14) | c.pts);
    PutBe32(b, c.spn);
  }
  for (std::uint32_t f : fine) PutBe32(b, f);
  return b;
}

void AppendProgramInfo(std::vector<std::uint8_t>& b, const ClipInfo& clip) {
  const std::size_t start = b.size();
  PutBe32(b, 0);
  b.push_back(0);
  b.push_back(1);  // one program from packet 0
  PutBe32(b, 0);
  PutBe16(b, clip.pmt_pid);
  b.push_back(static_cast<std::uint8_t>(clip.streams.size()));
  b.push_back(0);
  for (const ClipStream& s : clip.streams) {
    PutBe16(b, s.pid);
    PutAttributes(b, s);
  }
  PutLength(b, start);
}

void AppendCpi(std::vector<std::uint8_t>& b, const ClipInfo& clip) {
  const std::size_t start = b.size();
  PutBe32(b, 0);
  PutBe16(b, 1);  // CPI type: EP map
  const std::vector<std::uint8_t> map = EntryPointMap(clip);
  b.insert(b.end(), map.begin(), map.end());
  PutLength(b, start);
}

}  // namespace

std::vector<std::uint8_t> BuildClipInfo(const ClipInfo& clip, const ClipInfo* dependent) {
  std::vector<std::uint8_t> b;
  for (char c : std::string("HDMV0200")) b.push_back(static_cast<std::uint8_t>(c));
  b.resize(40, 0);  // section addresses, filled in below

  const std::size_t info = b.size();
  PutBe32(b, 0);
  PutBe16(b, 0);
  b.push_back(1);  // clip stream type: AV stream
  b.push_back(clip.application_type);
  PutBe32(b, 0);  // no ATC delta
  PutBe32(b, kRecordingRate);
  PutBe32(b, clip.packets);
  b.resize(b.size() + 128, 0);
  PutBe16(b, 30);  // TS type info
  b.push_back(0x80);
  for (char c : std::string("HDMV")) b.push_back(static_cast<std::uint8_t>(c));
  b.resize(b.size() + 25, 0);
  PutLength(b, info);

  const std::size_t sequence = b.size();
  PutBe32(b, 0);
  b.push_back(0);
  b.push_back(1);  // one ATC sequence from packet 0
  PutBe32(b, 0);
  b.push_back(1);  // one STC sequence
  b.push_back(0);
  PutBe16(b, clip.pcr_pid);
  PutBe32(b, 0);
  PutBe32(b, static_cast<std::uint32_t>(clip.start_pts / 2));  // 45 kHz
  PutBe32(b, static_cast<std::uint32_t>(clip.end_pts / 2));
  PutLength(b, sequence);

  const std::size_t program = b.size();
  AppendProgramInfo(b, clip);
  const std::size_t cpi = b.size();
  AppendCpi(b, clip);

  const std::size_t marks = b.size();
  PutBe32(b, 0);  // no clip marks

  std::vector<ExtensionEntry> extensions;
  if (!clip.extent_starts.empty()) {
    ExtensionEntry e{2, 4, {}};
    PutBe32(e.data, static_cast<std::uint32_t>(4 + 4 * clip.extent_starts.size()));
    PutBe32(e.data, static_cast<std::uint32_t>(clip.extent_starts.size()));
    for (std::uint32_t spn : clip.extent_starts) PutBe32(e.data, spn);
    extensions.push_back(std::move(e));
  }
  if (dependent) {
    extensions.push_back({2, 5, {}});
    AppendProgramInfo(extensions.back().data, *dependent);
    extensions.push_back({2, 6, {}});
    AppendCpi(extensions.back().data, *dependent);
  }
  if (!extensions.empty()) SetBe32(&b[24], AppendExtensionData(b, extensions));

  SetBe32(&b[8], static_cast<std::uint32_t>(sequence));
  SetBe32(&b[12], static_cast<std::uint32_t>(program));
  SetBe32(&b[16], static_cast<std::uint32_t>(cpi));
  SetBe32(&b[20], static_cast<std::uint32_t>(marks));
  return b;
}

std::uint8_t VideoFormatCode(int height, bool interlaced) {
  if (height >= 1080) return interlaced ? 4 : 6;
  if (height >= 720) return 5;
  if (height >= 576) return interlaced ? 2 : 7;
  if (height >= 480) return interlaced ? 1 : 3;
  return 0;
}

std::uint8_t FrameRateCode(int num, int den) {
  if (num <= 0 || den <= 0) return 0;
  const double fps = static_cast<double>(num) / den;
  const struct {
    double fps;
    std::uint8_t code;
  } kRates[] = {{24000.0 / 1001, 1}, {24, 2}, {25, 3}, {30000.0 / 1001, 4}, {50, 6}, {60000.0 / 1001, 7}};
  for (const auto& r : kRates)
    if (std::fabs(fps - r.fps) < 0.01) return r.code;
  return 0;
}

std::uint8_t AudioFormatCode(int channels) {
  if (channels == 1) return 1;
  if (channels == 2) return 3;
  return channels > 2 ? 6 : 0;
}

std::uint8_t SampleRateCode(int hz) {
  switch (hz) {
    case 48000:
      return 1;
    case 96000:
      return 4;
    case 192000:
      return 5;
    default:
      return 0;
  }
}

}  // namespace dp::tools
