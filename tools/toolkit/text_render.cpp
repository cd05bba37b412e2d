#include "toolkit/text_render.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <unordered_map>

#include "toolkit/files.h"
#include "toolkit/mapped_file.h"
#include "toolkit/run.h"
#include "util/text.h"

namespace dp::tools {
namespace {

// A picture's pixels, 0xAARRGGBB, row by row.
struct Rgba {
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels;
};

// One frame of ffmpeg's Targa output (32-bit BGRA, run-length coded or not,
// top row first) starting at `pos`; `pos` moves past it and its footer.
bool DecodeTarga(const std::uint8_t* d, std::size_t size, std::size_t& pos, Rgba& out) {
  if (size - pos < 18) return false;
  const std::uint8_t* h = d + pos;
  const int type = h[2], width = h[12] | (h[13] << 8), height = h[14] | (h[15] << 8);
  if ((type != 2 && type != 10) || h[16] != 32 || !(h[17] & 0x20) || width == 0 || height == 0) return false;
  pos += 18 + h[0];
  out.width = width;
  out.height = height;
  out.pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
  auto pixel = [&](std::size_t at) {
    return (std::uint32_t{d[at + 3]} << 24) | (std::uint32_t{d[at + 2]} << 16) |
           (std::uint32_t{d[at + 1]} << 8) | d[at];
  };
  for (std::size_t n = 0; n < out.pixels.size();) {
    std::size_t count = 1;
    bool run = false;
    if (type == 10) {
      if (pos >= size) return false;
      run = d[pos] & 0x80;
      count = (d[pos] & 0x7F) + 1u;
      ++pos;
    }
    count = std::min(count, out.pixels.size() - n);
    const std::size_t bytes = run ? 4 : 4 * count;
    if (size - pos < bytes) return false;
    for (std::size_t i = 0; i < count; ++i) out.pixels[n + i] = pixel(pos + (run ? 0 : 4 * i));
    pos += bytes;
    n += count;
  }
  if (size - pos >= 26 && std::memcmp(d + pos + 8, "TRUEVISION-XFILE.", 17) == 0) pos += 26;
  return true;
}

// Limited-range Y, Cr, Cb as players convert them back: BT.709 above
// standard definition, BT.601 at and below it.
void ToYCrCb(std::uint32_t argb, bool hd, std::uint8_t* ycrcb) {
  const double kr = hd ? 0.2126 : 0.299, kb = hd ? 0.0722 : 0.114;
  const double r = (argb >> 16) & 0xFF, g = (argb >> 8) & 0xFF, b = argb & 0xFF;
  const double y = kr * r + (1 - kr - kb) * g + kb * b;
  auto clamp = [](double v) { return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L)); };
  ycrcb[0] = clamp(16 + y * 219 / 255);
  ycrcb[1] = clamp(128 + (r - y) / (2 * (1 - kr)) * 224 / 255);
  ycrcb[2] = clamp(128 + (b - y) / (2 * (1 - kb)) * 224 / 255);
}

int Distance(std::uint32_t a, std::uint32_t b) {
  int sum = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
    sum += d * d;
  }
  return sum;
}

// The visible box of `frame` (at least 8 x 8, inside the frame) as palette
// indexes: 0 transparent, the picture's colours from 1, at most 255 of them:
// the most frequent, the rest merged into their nearest.
bool Quantise(const Rgba& frame, PgsBitmap& bitmap, int& x0, int& y0, std::vector<std::uint32_t>& palette) {
  int left = frame.width, top = frame.height, right = -1, bottom = -1;
  for (int y = 0; y < frame.height; ++y)
    for (int x = 0; x < frame.width; ++x)
      if (frame.pixels[static_cast<std::size_t>(y) * frame.width + x] >> 24) {
        left = std::min(left, x), right = std::max(right, x);
        top = std::min(top, y), bottom = std::max(bottom, y);
      }
  if (right < 0) return false;
  auto widen = [](int& lo, int& hi, int limit) {
    while (hi - lo + 1 < 8 && (lo > 0 || hi + 1 < limit)) {
      if (hi + 1 < limit)
        ++hi;
      else
        --lo;
    }
  };
  widen(left, right, frame.width);
  widen(top, bottom, frame.height);
  x0 = left, y0 = top;
  bitmap.width = right - left + 1;
  bitmap.height = bottom - top + 1;
  std::unordered_map<std::uint32_t, std::size_t> counts;
  auto at = [&](int x, int y) {
    return frame.pixels[static_cast<std::size_t>(y + top) * frame.width + x + left];
  };
  for (int y = 0; y < bitmap.height; ++y)
    for (int x = 0; x < bitmap.width; ++x)
      if (at(x, y) >> 24) ++counts[at(x, y)];
  std::vector<std::pair<std::size_t, std::uint32_t>> by_count;
  for (const auto& [color, count] : counts) by_count.push_back({count, color});
  std::sort(by_count.rbegin(), by_count.rend());
  palette.assign(1, 0);
  std::unordered_map<std::uint32_t, std::uint8_t> index;
  for (std::size_t i = 0; i < by_count.size() && i < 255; ++i) {
    index[by_count[i].second] = static_cast<std::uint8_t>(i + 1);
    palette.push_back(by_count[i].second);
  }
  bitmap.pixels.assign(static_cast<std::size_t>(bitmap.width) * static_cast<std::size_t>(bitmap.height), 0);
  for (int y = 0; y < bitmap.height; ++y)
    for (int x = 0; x < bitmap.width; ++x) {
      const std::uint32_t c = at(x, y);
      if (!(c >> 24)) continue;
      auto found = index.find(c);
      if (found == index.end()) {
        std::size_t best = 1;
        for (std::size_t k = 2; k < palette.size(); ++k)
          if (Distance(palette[k], c) < Distance(palette[best], c)) best = k;
        found = index.emplace(c, static_cast<std::uint8_t>(best)).first;
      }
      bitmap.pixels[static_cast<std::size_t>(y) * bitmap.width + x] = found->second;
    }
  return true;
}

PgsSegment Segment(std::uint8_t type, std::uint32_t pts, std::vector<std::uint8_t> payload) {
  PgsSegment s;
  s.type = type;
  s.pts = pts;
  s.payload = std::move(payload);
  return s;
}

// The display set that shows `bitmap` at (x, y) from `pts` on.
void ShowSet(const PgsBitmap& bitmap, int x, int y, const std::vector<std::uint32_t>& palette, int width,
             int height, unsigned number, std::uint32_t pts, std::vector<PgsSegment>& out) {
  std::vector<std::uint8_t> pcs;
  PutBe16(pcs, static_cast<unsigned>(width));
  PutBe16(pcs, static_cast<unsigned>(height));
  pcs.insert(pcs.end(), {0x10});
  PutBe16(pcs, number & 0xFFFF);
  pcs.insert(pcs.end(), {0x80, 0, 0, 1, 0, 0, 0, 0});  // epoch start, palette 0, object 0 in window 0
  PutBe16(pcs, static_cast<unsigned>(x));
  PutBe16(pcs, static_cast<unsigned>(y));
  out.push_back(Segment(kPgsComposition, pts, pcs));
  std::vector<std::uint8_t> wds = {1, 0};
  for (int v : {x, y, bitmap.width, bitmap.height}) PutBe16(wds, static_cast<unsigned>(v));
  out.push_back(Segment(kPgsWindow, pts, wds));
  std::vector<std::uint8_t> pds = {0, 0};
  for (std::size_t i = 0; i < palette.size(); ++i) {
    std::uint8_t ycrcb[3];
    ToYCrCb(palette[i], height > 576, ycrcb);
    pds.insert(pds.end(), {static_cast<std::uint8_t>(i), ycrcb[0], ycrcb[1], ycrcb[2],
                           static_cast<std::uint8_t>(palette[i] >> 24)});
  }
  out.push_back(Segment(kPgsPalette, pts, pds));
  // A segment holds at most 65535 bytes: a larger object goes on in more.
  const std::vector<std::uint8_t> rle = EncodePgsRle(bitmap);
  std::size_t done = 0;
  do {
    std::vector<std::uint8_t> ods = {0, 0, 0, 0};
    if (done == 0) {
      const std::size_t length = rle.size() + 4;
      ods.insert(ods.end(), {static_cast<std::uint8_t>(length >> 16), static_cast<std::uint8_t>(length >> 8),
                             static_cast<std::uint8_t>(length)});
      PutBe16(ods, static_cast<unsigned>(bitmap.width));
      PutBe16(ods, static_cast<unsigned>(bitmap.height));
    }
    const std::size_t take = std::min(rle.size() - done, 65535 - ods.size());
    ods[3] = static_cast<std::uint8_t>((done == 0 ? 0x80 : 0) | (done + take == rle.size() ? 0x40 : 0));
    ods.insert(ods.end(), rle.begin() + static_cast<std::ptrdiff_t>(done),
               rle.begin() + static_cast<std::ptrdiff_t>(done + take));
    out.push_back(Segment(kPgsObject, pts, ods));
    done += take;
  } while (done < rle.size());
  out.push_back(Segment(kPgsEnd, pts, {}));
}

// An option value of a filter inside a filter graph: escaped for the
// filter's own parser, then for the graph's.
std::string FilterValue(const std::string& value) {
  auto escape = [](const std::string& s, std::string_view special) {
    std::string out;
    for (char c : s) {
      if (special.find(c) != npos) out.push_back('\\');
      out.push_back(c);
    }
    return out;
  };
  return escape(escape(value, "\\':"), "\\',;[]");
}

}  // namespace

bool RenderTextToPgs(std::vector<SrtEvent> events, const TextStyle& style, int width, int height,
                     const std::string& scratch, std::vector<PgsSegment>& out, std::string& error) {
  out.clear();
  std::stable_sort(events.begin(), events.end(),
                   [](const SrtEvent& a, const SrtEvent& b) { return a.start_ms < b.start_ms; });
  if (width < 8 || height < 8 || width > 4096 || height > 4096) {
    error = Format("Can't render subtitles for a %dx%d picture.", width, height);
    return false;
  }
  // Event n is drawn alone, shown from second n to n + 1 of a canvas
  // running at one frame a second: one ffmpeg run makes every picture.
  const std::string srt = scratch + ".srt", frames = scratch + ".tga";
  struct Remove {
    std::vector<std::string> files;
    ~Remove() {
      for (const auto& f : files) std::remove(f.c_str());
    }
  } remove{{srt, frames}};
  std::string script;
  for (std::size_t n = 0; n < events.size(); ++n)
    script += Format("%zu\n%s --> %s\n%s\n\n", n + 1, SrtTime(static_cast<std::int64_t>(n) * 1000).c_str(),
                     SrtTime(static_cast<std::int64_t>(n + 1) * 1000).c_str(),
                     events[n].text.empty() ? " " : events[n].text.c_str());
  if (!WriteBytes(srt, std::vector<std::uint8_t>(script.begin(), script.end()))) {
    error = "Can't write \"" + srt + "\".";
    return false;
  }
  // libass sizes are in units of the script's 288-line height.
  const double unit = 288.0 / height;
  std::string font;
  for (char c : style.font)
    if (std::string_view("'\\,:;[]=").find(c) == npos) font.push_back(c);
  const std::uint32_t c = style.color;
  const std::string force = Format(
      "FontName=%s,FontSize=%.2f,PrimaryColour=&H%02X%02X%02X%02X,OutlineColour=&H00000000,BorderStyle=1,"
      "Outline=%.2f,Shadow=0,MarginV=%ld,Alignment=%d",
      font.c_str(), style.size * unit, (c >> 24) & 0xFF, c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF,
      style.border * unit, std::lround(style.bottom_offset * unit), style.align);
  std::vector<std::string> cmd = FfmpegCommand();
  cmd.insert(cmd.end(),
             {"-f", "lavfi", "-i",
              Format("color=c=black@0:s=%dx%d:r=1:d=%zu,format=rgba", width, height, events.size()), "-vf",
              "subtitles=f=" + FilterValue(srt) +
                  Format(":alpha=1:original_size=%dx%d:force_style='", width, height) + force + "'",
              "-c:v", "targa", "-f", "image2pipe", frames});
  const int rc = Run(cmd);
  MappedFile tga;
  if (rc != 0 || !tga.Open(frames)) {
    error = Format("Can't render the subtitles (ffmpeg exit code %d).", rc);
    return false;
  }
  std::size_t pos = 0;
  unsigned number = 0;
  Rgba frame;
  for (std::size_t n = 0; n < events.size(); ++n) {
    if (!DecodeTarga(tga.data(), tga.size(), pos, frame) || frame.width != width || frame.height != height) {
      error = Format("Can't read the picture of subtitle %zu.", n + 1);
      return false;
    }
    PgsBitmap bitmap;
    std::vector<std::uint32_t> palette;
    int x = 0, y = 0;
    if (!Quantise(frame, bitmap, x, y, palette)) continue;  // nothing to see
    const SrtEvent& e = events[n];
    ShowSet(bitmap, x, y, palette, width, height, number++, static_cast<std::uint32_t>(e.start_ms * 90), out);
    // The next event's set replaces this picture when it comes first.
    if (n + 1 < events.size() && events[n + 1].start_ms <= e.end_ms) continue;
    std::vector<std::uint8_t> pcs;
    PutBe16(pcs, static_cast<unsigned>(width));
    PutBe16(pcs, static_cast<unsigned>(height));
    pcs.push_back(0x10);
    PutBe16(pcs, number++ & 0xFFFF);
    pcs.insert(pcs.end(), {0, 0, 0, 0});  // a normal composition of no object
    const auto end = static_cast<std::uint32_t>(e.end_ms * 90);
    out.push_back(Segment(kPgsComposition, end, pcs));
    out.push_back(Segment(kPgsEnd, end, {}));
  }
  if (out.empty()) {
    error = "The subtitles show nothing.";
    return false;
  }
  return true;
}

}  // namespace dp::tools
