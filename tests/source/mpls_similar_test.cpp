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

struct Folder {
  test::TempDir dir;
  // A 6565 s title with the given audio and PG counts and chapter count.
  std::string Add(const std::string& name, int audio, int pgs, const std::string& clip, int chapters = 17,
                  std::uint32_t out_time = 322425000) {
    PlaylistImage p;
    p.audio = static_cast<std::uint8_t>(audio);
    p.pg_pids.assign(pgs, 0x1200);
    p.clip = clip;
    p.mark_types.assign(chapters, 1);
    p.out_time = out_time;
    return WriteBytes(dir / name, p.Build());
  }
};

TEST(FindSimilarPlayLists, KeepsOnePlaylistPerStreamLayoutInNumberOrder) {
  Folder f;
  const std::string ref = f.Add("00800.mpls", 2, 3, "00055");
  f.Add("00020.mpls", 2, 3, "00056", 12);  // same layout, lower number: this one stays
  f.Add("00100.MPLS", 1, 0, "00070", 4);   // the extension in any case
  f.Add("00002.mpls", 3, 3, "00098");
  f.Add("00001.mpls", 1, 1, "00099", 17, 322425001);  // one tick longer
  f.Add("00003.mpls.bak", 4, 0, "00097");
  std::filesystem::create_directory(f.dir / "00004.mpls");
  WriteBytes(f.dir / "00005.mpls", {});  // unreadable: neither similar nor in the way

  std::string text;
  ASSERT_EQ(FindSimilarPlayLists(ref, &text), 1);
  EXPECT_EQ(text,
            "00002.mpls, 1:49:25, 17 chapters, 00098.m2ts\n"
            "00020.mpls, 1:49:25, 12 chapters, 00056.m2ts\n"
            "00100.MPLS, 1:49:25, 4 chapters, 00070.m2ts\n");
}

}  // namespace
}  // namespace dp
