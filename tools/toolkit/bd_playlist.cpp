#include "toolkit/bd_playlist.h"

#include <algorithm>
#include <cmath>

#include "toolkit/bd_extension.h"
#include "toolkit/files.h"

namespace dp::tools {
namespace {

constexpr double kTicks = 45000.0;

bool Has(const std::vector<std::uint8_t>& b, std::size_t pos, std::size_t len) {
  return pos <= b.size() && len <= b.size() - pos;
}

// The video, audio and subtitle entries of the stream table of the play item
// at [item, end).
bool ParseStreamTable(const std::vector<std::uint8_t>& b, std::size_t item, std::size_t end,
                      std::vector<PlaylistStream>& out) {
  std::size_t pos = item + 32;  // clip, times, masks and still mode
  if (!Has(b, item, 32) || pos > end) return false;
  if (b[item + 10] & 0x10) {  // multi-angle: the other angles' clips come first
    if (!Has(b, pos, 2)) return false;
    pos += 2 + 10 * (b[pos] > 0 ? b[pos] - 1u : 0u);
  }
  if (!Has(b, pos, 16) || pos + 2 + Be16(&b[pos]) > end) return false;
  const unsigned counts[] = {b[pos + 4], b[pos + 5], b[pos + 6]};
  pos += 16;
  for (PlaylistStream::Kind kind :
       {PlaylistStream::kVideo, PlaylistStream::kAudio, PlaylistStream::kSubtitle}) {
    for (unsigned k = 0; k < counts[kind]; ++k) {
      if (!Has(b, pos, 1) || !Has(b, pos + 1 + b[pos], 1)) return false;
      const std::size_t attr = pos + 1 + b[pos];
      if (!Has(b, attr + 1, b[attr]) || b[attr] < 1) return false;
      PlaylistStream s;
      s.kind = kind;
      if (b[pos] >= 3 && b[pos + 1] == 1) s.pid = Be16(&b[pos + 2]);  // a stream of the clip itself
      s.coding_type = b[attr + 1];
      const std::uint8_t* a = &b[attr + 2];
      const unsigned size = b[attr] - 1u;  // attribute bytes after the coding type
      if (kind != PlaylistStream::kSubtitle && size >= 1) {
        s.format = a[0] >> 4;
        s.rate = a[0] & 0x0F;
      }
      const std::size_t lang = kind == PlaylistStream::kAudio ? 1 : 0;
      if (kind != PlaylistStream::kVideo && size >= lang + 3)
        s.language.assign(reinterpret_cast<const char*>(a + lang), 3);
      out.push_back(s);
      pos = attr + 1 + b[attr];
    }
  }
  return true;
}

// The clips of the 3D sub-paths in the extension data at `ext`.
void ParseDependentViewClips(const std::vector<std::uint8_t>& b, std::size_t ext,
                             std::vector<std::string>& out) {
  if (ext == 0 || !Has(b, ext, 12)) return;
  for (unsigned k = 0; k < b[ext + 11] && Has(b, ext + 12 + 12 * k, 12); ++k) {
    const std::uint8_t* e = &b[ext + 12 + 12 * k];
    std::size_t pos = ext + Be32(e + 4);
    if (Be16(e) != 2 || Be16(e + 2) != 2 || !Has(b, pos, 6)) continue;
    const unsigned paths = Be16(&b[pos + 4]);
    pos += 6;
    for (unsigned p = 0; p < paths && Has(b, pos, 10); ++p) {
      const std::size_t next = pos + 4 + Be32(&b[pos]);
      std::size_t item = pos + 10;
      for (unsigned i = 0; b[pos + 5] == 8 && i < b[pos + 9] && Has(b, item, 7); ++i) {
        out.emplace_back(reinterpret_cast<const char*>(&b[item + 2]), 5);
        item += 2 + Be16(&b[item]);
      }
      pos = next;
    }
  }
}

// The extension data of a 3D playlist of one play item from `in_time` to
// `out_time`: sub-path 0 plays the dependent view's clip in sync with it,
// and the stereoscopic stream table finds the view there.
std::vector<ExtensionEntry> StereoExtensions(const PlaylistStream& dependent, const std::string& clip,
                                             std::uint32_t in_time, std::uint32_t out_time,
                                             const std::vector<PlaylistStream>& streams) {
  std::vector<std::uint8_t> stn;
  PutBe16(stn, 0);                      // no fixed offset during pop-ups
  stn.insert(stn.end(), {9, 2, 0, 0});  // entry of sub-path 0, sub-clip 0
  PutBe16(stn, dependent.pid);
  stn.insert(stn.end(), 4, 0);
  stn.insert(stn.end(),
             {5, dependent.coding_type,
              static_cast<std::uint8_t>((dependent.format << 4) | (dependent.rate & 0x0F)), 0, 0, 0});
  PutBe16(stn, 0);  // no offset sequences
  for (const PlaylistStream& s : streams)
    if (s.kind == PlaylistStream::kSubtitle) stn.insert(stn.end(), {0xFF, 0});  // flat captions
  std::vector<std::uint8_t> table;
  PutBe16(table, static_cast<unsigned>(stn.size()));
  table.insert(table.end(), stn.begin(), stn.end());

  std::vector<std::uint8_t> item;
  item.insert(item.end(), clip.begin(), clip.end());
  item.resize(5, '0');
  for (char c : std::string("M2TS")) item.push_back(static_cast<std::uint8_t>(c));
  item.insert(item.end(), {0, 0, 0, 0x02, 0});  // connection condition 1, one clip; STC 0
  PutBe32(item, in_time);
  PutBe32(item, out_time);
  PutBe16(item, 0);                                     // in sync with play item 0 ...
  PutBe32(item, in_time);                               // ... from its start
  std::vector<std::uint8_t> path = {0, 8, 0, 0, 0, 1};  // type 8: the dependent view, not repeated; one item
  PutBe16(path, static_cast<unsigned>(item.size()));
  path.insert(path.end(), item.begin(), item.end());
  std::vector<std::uint8_t> paths;
  PutBe32(paths, static_cast<std::uint32_t>(2 + 4 + path.size()));
  PutBe16(paths, 1);
  PutBe32(paths, static_cast<std::uint32_t>(path.size()));
  paths.insert(paths.end(), path.begin(), path.end());
  return {{2, 1, table}, {2, 2, paths}};
}

}  // namespace

double Playlist::Duration() const {
  double total = 0;
  for (const PlayItem& item : items)
    total += static_cast<std::int32_t>(item.out_time - item.in_time) / kTicks;
  return total;
}

bool ParsePlaylist(const std::vector<std::uint8_t>& b, Playlist& out) {
  out = Playlist{};
  if (!Has(b, 0, 20) || b[0] != 'M' || b[1] != 'P' || b[2] != 'L' || b[3] != 'S') return false;
  const std::size_t list = Be32(&b[8]);
  const std::size_t marks = Be32(&b[12]);
  if (!Has(b, list, 10)) return false;
  const unsigned item_count = Be16(&b[list + 6]);
  std::size_t pos = list + 10;
  std::vector<double> item_start;
  double elapsed = 0;
  for (unsigned i = 0; i < item_count; ++i) {
    if (!Has(b, pos, 2)) return false;
    const std::size_t len = Be16(&b[pos]);
    if (len < 20 || !Has(b, pos + 2, len)) return false;
    PlayItem item;
    item.clip.assign(reinterpret_cast<const char*>(&b[pos + 2]), 5);
    item.in_time = Be32(&b[pos + 14]);
    item.out_time = Be32(&b[pos + 18]);
    item_start.push_back(elapsed);
    elapsed += static_cast<std::int32_t>(item.out_time - item.in_time) / kTicks;
    // A stream table this reader can't follow leaves the streams unknown,
    // not the playlist unread.
    if (out.items.empty() && !ParseStreamTable(b, pos + 2, pos + 2 + len, out.streams)) out.streams.clear();
    out.items.push_back(item);
    pos += 2 + len;
  }
  if (marks != 0 && Has(b, marks, 6)) {
    const unsigned mark_count = Be16(&b[marks + 4]);
    for (unsigned k = 0; k < mark_count && Has(b, marks + 6 + 14 * k, 14); ++k) {
      const std::uint8_t* m = &b[marks + 6 + 14 * k];
      const unsigned item = Be16(m + 2);
      if (m[1] != 1 || item >= out.items.size()) continue;
      const double offset = static_cast<std::int32_t>(Be32(m + 4) - out.items[item].in_time) / kTicks;
      out.chapters.push_back(item_start[item] + std::max(0.0, offset));
    }
  }
  ParseDependentViewClips(b, Be32(&b[16]), out.dependent_view_clips);
  return !out.items.empty();
}

std::vector<std::uint8_t> BuildPlaylist(const std::string& clip, double duration,
                                        const std::vector<PlaylistStream>& streams,
                                        const std::vector<double>& chapters, bool right_eye_base,
                                        std::uint32_t in_time, const PlaylistStream* dependent,
                                        const std::string& dependent_clip) {
  std::vector<std::uint8_t> stn;  // stream table after its length field
  auto count = [&streams](PlaylistStream::Kind k) {
    return static_cast<std::uint8_t>(
        std::count_if(streams.begin(), streams.end(), [k](const PlaylistStream& s) { return s.kind == k; }));
  };
  PutBe16(stn, 0);
  stn.push_back(count(PlaylistStream::kVideo));
  stn.push_back(count(PlaylistStream::kAudio));
  stn.push_back(count(PlaylistStream::kSubtitle));
  stn.insert(stn.end(), 9, 0);
  for (PlaylistStream::Kind kind :
       {PlaylistStream::kVideo, PlaylistStream::kAudio, PlaylistStream::kSubtitle}) {
    for (const PlaylistStream& s : streams) {
      if (s.kind != kind) continue;
      stn.insert(stn.end(), {9, 1});  // entry of a stream of the clip itself
      PutBe16(stn, s.pid);
      stn.insert(stn.end(), 6, 0);
      stn.push_back(5);
      stn.push_back(s.coding_type);
      std::string lang = s.language.size() == 3 ? s.language : "und";
      const auto format_rate = static_cast<std::uint8_t>((s.format << 4) | (s.rate & 0x0F));
      if (kind == PlaylistStream::kVideo) {
        stn.insert(stn.end(), {format_rate, 0, 0, 0});
      } else if (kind == PlaylistStream::kAudio) {
        stn.push_back(format_rate);
        stn.insert(stn.end(), lang.begin(), lang.end());
      } else {
        stn.insert(stn.end(), lang.begin(), lang.end());
        stn.push_back(0);
      }
    }
  }
  const auto out_time = in_time + static_cast<std::uint32_t>(std::llround(duration * kTicks));

  std::vector<std::uint8_t> item;  // play item after its length field
  item.insert(item.end(), clip.begin(), clip.end());
  item.resize(5, '0');
  for (char c : std::string("M2TS")) item.push_back(static_cast<std::uint8_t>(c));
  PutBe16(item, 1);  // connection condition 1, single angle
  item.push_back(0);
  PutBe32(item, in_time);
  PutBe32(item, out_time);
  item.insert(item.end(), 8 + 4, 0);  // user-operation mask, random access, still mode and time
  PutBe16(item, static_cast<unsigned>(stn.size()));
  item.insert(item.end(), stn.begin(), stn.end());

  std::vector<std::uint8_t> b;
  for (char c : std::string("MPLS0200")) b.push_back(static_cast<std::uint8_t>(c));
  b.resize(40, 0);
  PutBe32(b, 14);  // AppInfoPlayList
  b.insert(b.end(), {0, 1, 0, 0});
  b.insert(b.end(), 8, 0);
  b.push_back(right_eye_base ? 0x50 : 0x40);  // random-access flag, base view eye
  b.push_back(0);
  const std::size_t list = b.size();
  PutBe32(b, static_cast<std::uint32_t>(6 + 2 + item.size()));
  PutBe16(b, 0);
  PutBe16(b, 1);  // one play item
  PutBe16(b, 0);  // no sub-path
  PutBe16(b, static_cast<unsigned>(item.size()));
  b.insert(b.end(), item.begin(), item.end());
  const std::size_t marks = b.size();
  PutBe32(b, static_cast<std::uint32_t>(2 + 14 * chapters.size()));
  PutBe16(b, static_cast<unsigned>(chapters.size()));
  for (double t : chapters) {
    b.push_back(0);
    b.push_back(1);
    PutBe16(b, 0);
    PutBe32(b, in_time + static_cast<std::uint32_t>(std::llround(std::max(0.0, t) * kTicks)));
    PutBe16(b, 0xFFFF);
    PutBe32(b, 0);
  }
  SetBe32(&b[8], static_cast<std::uint32_t>(list));
  SetBe32(&b[12], static_cast<std::uint32_t>(marks));
  if (dependent)
    SetBe32(&b[16],
            AppendExtensionData(b, StereoExtensions(*dependent, dependent_clip, in_time, out_time, streams)));
  return b;
}

}  // namespace dp::tools
