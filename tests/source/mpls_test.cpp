#include "source/mpls.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "source/playlist_image.h"
#include "source/start_mux_time.h"
#include "support/temp_dir.h"

namespace dp {
namespace {

using test::Bytes;
using test::PlaylistImage;
using test::Put32;
using test::WriteBytes;

const std::string kReal = std::string(DP_TESTDATA_DIR) + "/mpls/";

struct Info {
  int result = -9;
  double duration = -9;
  std::uint8_t video = 99, audio = 99, pg = 99;
  std::int32_t chapters = -9;
  std::string clip = "unset";
};

Info Read(const std::string& path) {
  Info i;
  i.result = GetMplsInfo(path, &i.duration, &i.video, &i.audio, &i.pg, &i.chapters, &i.clip);
  return i;
}

// The CLI table reads the other fields of real playlists.
TEST(GetMplsInfo, DurationAndChaptersOfTheFirstItem) {
  // The first of a real feature's four play items runs 188955000..259833307.
  EXPECT_DOUBLE_EQ(Read(kReal + "bdpl/disc1/PLAYLIST/00002.mpls").duration,
                   (259833307.0 - 188955000.0) / 45000.0);
  test::TempDir dir;
  PlaylistImage p;
  p.mark_types.assign(17, 1);
  p.mark_types.insert(p.mark_types.begin() + 5, 3, 2);
  Info i = Read(WriteBytes(dir / "a.mpls", p.Build()));
  EXPECT_EQ(i.result, 1);
  EXPECT_DOUBLE_EQ(i.duration, 6565.0);
  EXPECT_EQ(i.chapters, 17);

  // The span is a signed 32-bit difference (the CLI table has a negative
  // one): a clock that wrapped inside the item still gives the short span.
  p.out_time = 45000;
  p.in_time = 0xFFFFFFFFu - 44999u;
  EXPECT_DOUBLE_EQ(Read(WriteBytes(dir / "c.mpls", p.Build())).duration, 2.0);
}

TEST(GetMplsInfo, MarkTableOutsideTheBytesReadGivesTwo) {
  test::TempDir dir;
  PlaylistImage p;
  p.mark_types.assign(4, 1);
  const Bytes good = p.Build();
  const std::size_t m = p.MarkTable();
  Bytes b(good.begin(), good.end() - 3);
  Info i = Read(WriteBytes(dir / "cut.mpls", b));
  EXPECT_EQ(i.result, 2);
  EXPECT_EQ(i.chapters, 0);
  EXPECT_EQ(i.clip, "00021");  // the rest of the summary is still given

  // Offsets and lengths near 2^32 must not wrap round into the file.
  b = good;
  Put32(b, 12, 0xFFFFFFFCu);
  EXPECT_EQ(Read(WriteBytes(dir / "m.mpls", b)).result, 2);
  b = good;
  Put32(b, m, 0xFFFFFFFCu);
  EXPECT_EQ(Read(WriteBytes(dir / "len.mpls", b)).result, 2);

  // 65283 marks claimed, 4 present, entry-mark-like bytes after the table.
  b = good;
  b[m + 4] = 0xFF;
  b.resize(b.size() + 100, 1);
  EXPECT_EQ(Read(WriteBytes(dir / "many.mpls", b)).chapters, 4);

  // A file that ends inside the clip name: what lies past the end reads as 0.
  b.assign(good.begin(), good.begin() + 74);
  i = Read(WriteBytes(dir / "short.mpls", b));
  EXPECT_EQ(i.result, 2);
  EXPECT_EQ(i.clip, "0002");
  EXPECT_EQ(i.duration, 0);
}

TEST(GetMplsInfo, UnreadableFilesGiveZeroAndTouchNothing) {
  test::TempDir dir;
  WriteBytes(dir / "empty.mpls", {});
  for (const auto& path : {dir / "missing.mpls", dir / "empty.mpls"}) {
    const Info i = Read(path);
    EXPECT_EQ(i.result, 0) << path;
    EXPECT_EQ(i.duration, -9);
    EXPECT_EQ(i.clip, "unset");
  }
}

SubtitleStream Sub(std::int32_t pid) {
  SubtitleStream s{};
  s.pid = pid;
  s.plane = 7;
  return s;
}

TEST(GetMpls3DPlanes, AssignsPlanesByPid) {
  test::TempDir dir;
  PlaylistImage p;
  p.audio = 2;
  for (int k = 0; k < 40; ++k) p.pg_pids.push_back(static_cast<std::uint16_t>(0x1200 + k));
  p.pg_pids[3] = 0x1201;
  for (int k = 0; k < 40; ++k) p.planes.push_back(static_cast<std::uint8_t>(k + 1));
  std::vector<SubtitleStream> subs = {Sub(0x1202), Sub(0x1201), Sub(0x1300), Sub(0x1200 + 31),
                                      Sub(0x1200 + 32)};
  EXPECT_EQ(GetMpls3DPlanes(WriteBytes(dir / "a.mpls", p.Build()), subs), 1);
  EXPECT_EQ(subs[0].plane, 3);
  EXPECT_EQ(subs[1].plane, 2);   // the first stream with the PID wins
  EXPECT_EQ(subs[2].plane, -1);  // not a PG stream of the playlist
  EXPECT_EQ(subs[3].plane, 32);
  EXPECT_EQ(subs[4].plane, -1);  // only 32 PG streams are looked at

  // The first PG stream's plane byte is the file's byte 902, the second's
  // would be byte 904 of this 904-byte file.
  subs = {Sub(0x12A0), Sub(0x12A1)};
  EXPECT_EQ(GetMpls3DPlanes(kReal + "bdpl/disc5/PLAYLIST/00001.mpls", subs), 1);
  EXPECT_EQ(subs[0].plane, 1);
  EXPECT_EQ(subs[1].plane, -1);

  // An extension outside the bytes read changes nothing.
  p = PlaylistImage();
  p.pg_pids = {0x1200};
  p.planes = {3};
  const Bytes good = p.Build();
  subs = {Sub(0x1200)};
  Bytes b = good;
  Put32(b, 16, 0xFFFFFFFEu);
  EXPECT_EQ(GetMpls3DPlanes(WriteBytes(dir / "x.mpls", b), subs), 0);
  b = good;
  Put32(b, p.Extension(), 0xFFFFFFFDu);
  EXPECT_EQ(GetMpls3DPlanes(WriteBytes(dir / "len.mpls", b), subs), 0);
  // Without extension data (address 0) a playlist has no planes.
  EXPECT_EQ(GetMpls3DPlanes(kReal + "bdpl/disc1/PLAYLIST/00002.mpls", subs), 0);
  EXPECT_EQ(subs[0].plane, 7);
}

// One offset block at `at` (bytes 5.. are `fields`), past an "OFMX" decoy at
// 400. Bit 7 of b6, b8 and b10 is dropped; the value is kept to 32 bits (b5's
// third bit falls off), then halved toward zero; nothing found gives 0 and
// leaves the plane count.
TEST(GetStartMuxTime, ReadsTheFirstOffsetBlock) {
  test::TempDir dir;
  // clang-format off
  const struct { std::size_t at; Bytes fields; std::size_t size; bool planes_asked; std::int32_t time; int planes; } kCases[] = {
      {0, {0, 0, 1, 0, 0, 0x83}, kStartMuxReadSize, true, 16384, 3},
      {2037, {0, 0x80, 0, 0x81, 0x02, 0x82}, kStartMuxReadSize, true, 0x102 / 2, 2},  // last place inside the bytes read
      {0, {0x07, 0x7F, 0xFF, 0x7F, 0xFD, 0}, kStartMuxReadSize, false, -1, -5},
      {2038, {0, 0, 1}, kStartMuxReadSize, true, 0, -5},
      {0, {0, 0, 1, 0, 0, 3}, kStartMuxReadSize - 1, true, 0, -5},
  };
  // clang-format on
  for (const auto& c : kCases) {
    Bytes b(c.size, 0);
    std::memcpy(b.data() + 400, "OFMX\0\0\0\1", 8);
    std::memcpy(b.data() + c.at, "OFMD", 4);
    std::copy(c.fields.begin(), c.fields.end(), b.begin() + static_cast<long>(c.at) + 5);
    std::int8_t planes = -5;
    EXPECT_EQ(GetStartMuxTime(WriteBytes(dir / "m", b), c.planes_asked ? &planes : nullptr), c.time) << c.at;
    EXPECT_EQ(planes, c.planes) << c.at;
  }
}

}  // namespace
}  // namespace dp
