#include "BDSup2Sub/rescale.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <utility>

#include "toolkit/files.h"

namespace dp::tools {
namespace {

// Maximum payload of one segment.
constexpr std::size_t kMaxPayload = 65535;

struct Geometry {
  int src_w = 1920, src_h = 1080;
  int dst_w = 1920, dst_h = 1080;
  int crop = 0;
  double fx = 1, fy = 1;

  void Update(int w, int h, const RescaleRequest& r) {
    src_w = std::max(1, w);
    src_h = std::max(1, h);
    crop = std::clamp(r.crop_lines, 0, (src_h - 1) / 2);
    dst_w = r.width > 0 ? r.width : src_w;
    dst_h = r.height > 0 ? r.height : src_h - 2 * crop;
    fx = static_cast<double>(dst_w) / src_w;
    fy = static_cast<double>(dst_h) / (src_h - 2 * crop);
  }
  unsigned X(unsigned x) const {
    return static_cast<unsigned>(std::clamp<long>(std::lround(x * fx), 0, dst_w - 1));
  }
  unsigned Y(unsigned y) const {
    const double moved = (static_cast<double>(y) - crop) * fy;
    return static_cast<unsigned>(std::clamp<long>(std::lround(moved), 0, dst_h - 1));
  }
  unsigned W(unsigned w) const { return static_cast<unsigned>(std::max<long>(1, std::lround(w * fx))); }
  unsigned H(unsigned h) const { return static_cast<unsigned>(std::max<long>(1, std::lround(h * fy))); }
};

using ObjectSizes = std::map<unsigned, std::pair<unsigned, unsigned>>;  // object id -> source width, height

// Moves a scaled position back inside the frame so that a scaled box of the
// source size (w, h) fits: captions in a cropped band come to its edge.
unsigned FitX(const Geometry& g, unsigned x, unsigned w) {
  return std::min(g.X(x), static_cast<unsigned>(g.dst_w) - std::min(g.W(w), static_cast<unsigned>(g.dst_w)));
}
unsigned FitY(const Geometry& g, unsigned y, unsigned h) {
  return std::min(g.Y(y), static_cast<unsigned>(g.dst_h) - std::min(g.H(h), static_cast<unsigned>(g.dst_h)));
}

void RescaleComposition(std::vector<std::uint8_t>& p, Geometry& g, const RescaleRequest& r,
                        const ObjectSizes& sizes) {
  if (p.size() < 11) return;
  g.Update(static_cast<int>(Be16(&p[0])), static_cast<int>(Be16(&p[2])), r);
  SetBe16(&p[0], static_cast<unsigned>(g.dst_w));
  SetBe16(&p[2], static_cast<unsigned>(g.dst_h));
  std::size_t pos = 11;
  for (unsigned i = 0; i < p[10] && pos + 8 <= p.size(); ++i) {
    const bool cropped = (p[pos + 3] & 0x80) != 0;
    auto it = sizes.find(Be16(&p[pos]));
    const unsigned w = it == sizes.end() ? 1 : it->second.first;
    const unsigned h = it == sizes.end() ? 1 : it->second.second;
    SetBe16(&p[pos + 4], FitX(g, Be16(&p[pos + 4]), w));
    SetBe16(&p[pos + 6], FitY(g, Be16(&p[pos + 6]), h));
    pos += 8;
    if (cropped && pos + 8 <= p.size()) {
      SetBe16(&p[pos], static_cast<unsigned>(std::lround(Be16(&p[pos]) * g.fx)));
      SetBe16(&p[pos + 2], static_cast<unsigned>(std::lround(Be16(&p[pos + 2]) * g.fy)));
      SetBe16(&p[pos + 4], g.W(Be16(&p[pos + 4])));
      SetBe16(&p[pos + 6], g.H(Be16(&p[pos + 6])));
      pos += 8;
    }
  }
}

void RescaleWindows(std::vector<std::uint8_t>& p, const Geometry& g) {
  if (p.empty()) return;
  for (std::size_t i = 0, pos = 1; i < p[0] && pos + 9 <= p.size(); ++i, pos += 9) {
    const unsigned w = Be16(&p[pos + 5]);
    const unsigned h = Be16(&p[pos + 7]);
    SetBe16(&p[pos + 1], FitX(g, Be16(&p[pos + 1]), w));
    SetBe16(&p[pos + 3], FitY(g, Be16(&p[pos + 3]), h));
    SetBe16(&p[pos + 5], std::min(g.W(w), static_cast<unsigned>(g.dst_w)));
    SetBe16(&p[pos + 7], std::min(g.H(h), static_cast<unsigned>(g.dst_h)));
  }
}

// The object sizes each composition will show: those defined in its own
// display set (up to the end segment), else the last ones defined before.
std::vector<ObjectSizes> SizesPerSegment(const std::vector<PgsSegment>& in) {
  std::vector<ObjectSizes> out(in.size());
  ObjectSizes known;
  for (std::size_t i = 0; i < in.size(); ++i) {
    if (in[i].type != kPgsComposition) continue;
    for (std::size_t j = i + 1; j < in.size() && in[j].type != kPgsEnd; ++j) {
      const std::vector<std::uint8_t>& p = in[j].payload;
      if (in[j].type == kPgsObject && p.size() >= 11 && (p[3] & 0x80))
        known[Be16(&p[0])] = {Be16(&p[7]), Be16(&p[9])};
    }
    out[i] = known;
  }
  return out;
}

PgsBitmap ScaleBitmap(const PgsBitmap& in, int w, int h) {
  PgsBitmap out;
  out.width = w;
  out.height = h;
  out.pixels.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
  for (int y = 0; y < h; ++y) {
    const int sy = std::min(in.height - 1, static_cast<int>(static_cast<long long>(y) * in.height / h));
    for (int x = 0; x < w; ++x) {
      const int sx = std::min(in.width - 1, static_cast<int>(static_cast<long long>(x) * in.width / w));
      out.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x)] =
          in.pixels[static_cast<std::size_t>(sy) * static_cast<std::size_t>(in.width) +
                    static_cast<std::size_t>(sx)];
    }
  }
  return out;
}

// One object picture split over segments: the first carries the data length
// and size, each later one only the object id, version and sequence flags.
std::vector<PgsSegment> ObjectSegments(const PgsSegment& first, const PgsBitmap& bitmap) {
  const std::vector<std::uint8_t> rle = EncodePgsRle(bitmap);
  std::vector<PgsSegment> out;
  std::size_t done = 0;
  do {
    PgsSegment s;
    s.pts = first.pts;
    s.dts = first.dts;
    s.type = kPgsObject;
    s.payload.assign(first.payload.begin(), first.payload.begin() + 3);  // id, version
    s.payload.push_back(0);
    if (done == 0) {
      const std::uint32_t length = static_cast<std::uint32_t>(rle.size() + 4);
      s.payload.push_back(static_cast<std::uint8_t>(length >> 16));
      PutBe16(s.payload, length & 0xFFFFu);
      PutBe16(s.payload, static_cast<unsigned>(bitmap.width));
      PutBe16(s.payload, static_cast<unsigned>(bitmap.height));
      s.payload[3] |= 0x80;
    }
    const std::size_t room = kMaxPayload - s.payload.size();
    const std::size_t n = std::min(room, rle.size() - done);
    s.payload.insert(s.payload.end(), rle.begin() + static_cast<std::ptrdiff_t>(done),
                     rle.begin() + static_cast<std::ptrdiff_t>(done + n));
    done += n;
    if (done == rle.size()) s.payload[3] |= 0x40;
    out.push_back(std::move(s));
  } while (done < rle.size());
  return out;
}

}  // namespace

std::vector<PgsSegment> Rescale(const std::vector<PgsSegment>& in, const RescaleRequest& request) {
  std::vector<PgsSegment> out;
  Geometry g;
  g.Update(1920, 1080, request);
  const PgsSegment* first = nullptr;  // first fragment of the object being collected
  std::vector<std::uint8_t> rle;
  const std::vector<ObjectSizes> sizes = SizesPerSegment(in);
  for (std::size_t i = 0; i < in.size(); ++i) {
    const PgsSegment& seg = in[i];
    PgsSegment s = seg;
    if (s.type == kPgsComposition) {
      RescaleComposition(s.payload, g, request, sizes[i]);
    } else if (s.type == kPgsWindow) {
      RescaleWindows(s.payload, g);
    } else if (s.type == kPgsObject && s.payload.size() >= 4) {
      const std::uint8_t seq = s.payload[3];
      if (seq & 0x80) {
        if (s.payload.size() < 11) continue;
        first = &seg;
        rle.assign(s.payload.begin() + 11, s.payload.end());
      } else if (first) {
        rle.insert(rle.end(), s.payload.begin() + 4, s.payload.end());
      }
      if (!(seq & 0x40) || !first) continue;
      const int w = static_cast<int>(Be16(&first->payload[7]));
      const int h = static_cast<int>(Be16(&first->payload[9]));
      const PgsBitmap source = DecodePgsRle(rle.data(), rle.size(), w, h);
      const auto sw =
          static_cast<int>(std::min(g.W(static_cast<unsigned>(w)), static_cast<unsigned>(g.dst_w)));
      const auto sh =
          static_cast<int>(std::min(g.H(static_cast<unsigned>(h)), static_cast<unsigned>(g.dst_h)));
      const PgsBitmap scaled = source.width > 0 ? ScaleBitmap(source, sw, sh) : source;
      for (PgsSegment& part : ObjectSegments(*first, scaled)) out.push_back(std::move(part));
      first = nullptr;
      continue;
    }
    out.push_back(std::move(s));
  }
  return out;
}

}  // namespace dp::tools
