#include "toolkit/bd_playlist.h"

#include <algorithm>
#include <cmath>

#include "toolkit/files.h"

namespace dp::tools {
namespace {

constexpr double kTicks = 45000.0;

bool Has(const std::vector<std::uint8_t>& b, std::size_t pos, std::size_t len) {
  return pos <= b.size() && len <= b.size() - pos;
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
  return !out.items.empty();
}

std::vector<std::uint8_t> BuildPlaylist(const std::string& clip, double duration,
                                        const std::vector<PlaylistStream>& streams,
                                        const std::vector<double>& chapters, bool right_eye_base,
                                        std::uint32_t in_time) {
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
      if (kind == PlaylistStream::kVideo) {
        stn.insert(stn.end(), {0x61, 0, 0, 0});  // 1080p, 23.976
      } else if (kind == PlaylistStream::kAudio) {
        stn.push_back(0x61);  // multi-channel, 48 kHz
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
  return b;
}

}  // namespace dp::tools
