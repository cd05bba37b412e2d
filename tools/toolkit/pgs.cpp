#include "toolkit/pgs.h"

#include <algorithm>

#include "toolkit/files.h"

namespace dp::tools {

std::vector<PgsSegment> ReadPgs(const std::vector<std::uint8_t>& b) {
  std::vector<PgsSegment> out;
  std::size_t pos = 0;
  while (b.size() - pos >= 13 && b[pos] == 'P' && b[pos + 1] == 'G') {
    const std::size_t size = Be16(&b[pos + 11]);
    if (b.size() - pos - 13 < size) break;
    PgsSegment s;
    s.pts = Be32(&b[pos + 2]);
    s.dts = Be32(&b[pos + 6]);
    s.type = b[pos + 10];
    s.payload.assign(b.begin() + static_cast<std::ptrdiff_t>(pos + 13),
                     b.begin() + static_cast<std::ptrdiff_t>(pos + 13 + size));
    out.push_back(std::move(s));
    pos += 13 + size;
  }
  return out;
}

std::vector<std::uint8_t> WritePgs(const std::vector<PgsSegment>& segments) {
  std::vector<std::uint8_t> out;
  for (const PgsSegment& s : segments) {
    out.push_back('P');
    out.push_back('G');
    PutBe32(out, s.pts);
    PutBe32(out, s.dts);
    out.push_back(s.type);
    PutBe16(out, static_cast<unsigned>(s.payload.size()));
    out.insert(out.end(), s.payload.begin(), s.payload.end());
  }
  return out;
}

std::vector<PgsSegment> ForcedOnly(const std::vector<PgsSegment>& segments) {
  std::vector<PgsSegment> out;
  bool forced = false;
  for (const PgsSegment& s : segments) {
    if (s.type == kPgsComposition && s.payload.size() > 7 && s.payload[7] == 0x80)
      forced = s.payload.size() > 14 && (s.payload[14] & 0x40) != 0;
    if (forced) out.push_back(s);
  }
  return out;
}

PgsBitmap DecodePgsRle(const std::uint8_t* data, std::size_t size, int width, int height) {
  PgsBitmap bm;
  // No picture is larger than a UHD frame; a bigger size is damage, not a picture.
  constexpr long long kMaxPixels = 3840LL * 2160;
  if (width <= 0 || height <= 0 || static_cast<long long>(width) * height > kMaxPixels) return bm;
  bm.width = width;
  bm.height = height;
  bm.pixels.assign(static_cast<std::size_t>(bm.width) * static_cast<std::size_t>(bm.height), 0);
  int x = 0;
  int y = 0;
  std::size_t i = 0;
  auto put = [&](std::uint8_t color, int run) {
    for (; run > 0 && x < bm.width && y < bm.height; --run, ++x)
      bm.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(bm.width) +
                static_cast<std::size_t>(x)] = color;
  };
  while (i < size && y < bm.height) {
    const std::uint8_t b = data[i++];
    if (b != 0) {
      put(b, 1);
      continue;
    }
    if (i >= size) break;
    const std::uint8_t f = data[i++];
    if (f == 0) {  // end of row
      x = 0;
      ++y;
      continue;
    }
    int run = f & 0x3F;
    if (f & 0x40) {
      if (i >= size) break;
      run = (run << 8) | data[i++];
    }
    std::uint8_t color = 0;
    if (f & 0x80) {
      if (i >= size) break;
      color = data[i++];
    }
    put(color, run);
  }
  return bm;
}

std::vector<std::uint8_t> EncodePgsRle(const PgsBitmap& bm) {
  std::vector<std::uint8_t> out;
  for (int y = 0; y < bm.height; ++y) {
    const std::uint8_t* row =
        bm.pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(bm.width);
    int x = 0;
    while (x < bm.width) {
      const std::uint8_t color = row[x];
      int run = 1;
      while (x + run < bm.width && row[x + run] == color && run < 0x3FFF) ++run;
      x += run;
      if (color != 0 && run < 3) {
        out.insert(out.end(), static_cast<std::size_t>(run), color);
        continue;
      }
      out.push_back(0);
      const auto flags = static_cast<std::uint8_t>((color != 0 ? 0x80 : 0) | (run >= 64 ? 0x40 : 0));
      if (run >= 64) {
        out.push_back(static_cast<std::uint8_t>(flags | (run >> 8)));
        out.push_back(static_cast<std::uint8_t>(run & 0xFF));
      } else {
        out.push_back(static_cast<std::uint8_t>(flags | run));
      }
      if (color != 0) out.push_back(color);
    }
    out.push_back(0);
    out.push_back(0);
  }
  return out;
}

}  // namespace dp::tools
