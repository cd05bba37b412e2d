#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "source/mpls.h"
#include "source/playlist_image.h"
#include "support/temp_dir.h"

namespace dp {
namespace {

using test::PlaylistImage;
using test::WriteBytes;

// A 6565 s title of each given layout (audio, PG streams) and chapter count;
// "00001.mpls" is one tick longer.
TEST(FindSimilarPlayLists, KeepsOnePlaylistPerStreamLayoutInNumberOrder) {
  test::TempDir dir;
  auto add = [&](const std::string& name, int audio, int pgs, const std::string& clip, int chapters = 17) {
    PlaylistImage p;
    p.audio = static_cast<std::uint8_t>(audio);
    p.pg_pids.assign(pgs, 0x1200);
    p.clip = clip;
    p.mark_types.assign(chapters, 1);
    p.out_time += name == "00001.mpls";
    return WriteBytes(dir / name, p.Build());
  };
  const std::string ref = add("00800.mpls", 2, 3, "00055");
  add("00020.mpls", 2, 3, "00056", 12);  // same layout, lower number: this one stays
  add("00100.MPLS", 1, 0, "00070", 4);   // the extension in any case
  add("00002.mpls", 3, 3, "00098");
  add("00001.mpls", 1, 1, "00099");
  add("00003.mpls.bak", 4, 0, "00097");
  std::filesystem::create_directory(dir / "00004.mpls");
  WriteBytes(dir / "00005.mpls", {});  // unreadable: neither similar nor in the way

  std::string text;
  ASSERT_EQ(FindSimilarPlayLists(ref, &text), 1);
  EXPECT_EQ(text,
            "00002.mpls, 1:49:25, 17 chapters, 00098.m2ts\n"
            "00020.mpls, 1:49:25, 12 chapters, 00056.m2ts\n"
            "00100.MPLS, 1:49:25, 4 chapters, 00070.m2ts\n");
}

}  // namespace
}  // namespace dp
