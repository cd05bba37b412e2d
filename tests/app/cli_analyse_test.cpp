// discpress-cli analyse on a disc folder made of a real disc's playlists over
// a generated clip, with the built demuxer stand-in and the MediaInfo library.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "support/cli.h"
#include "support/media_gen.h"
#include "support/temp_dir.h"
#include "util/text.h"

namespace dp {
namespace {

namespace fs = std::filesystem;

TEST(CliAnalyse, OpensADiscAsTheWindowDoes) {
  const test::TempDir dir;
  const fs::path disc = dir / "Some Film (2010)";
  fs::create_directories(disc / "BDMV" / "STREAM");
  fs::create_directories(dir / "NOTADISC");
  fs::copy(fs::path(DP_TESTDATA_DIR) / "mpls/bdpl/disc1/PLAYLIST", disc / "BDMV" / "PLAYLIST");
  ASSERT_TRUE(test::MakeBlurayClip(dir / "clip.m2ts", 2, "640x360"));
  for (int n = 0; n <= 18; ++n)
    fs::create_symlink(dir / "clip.m2ts", disc / "BDMV" / "STREAM" / Format("%05d.m2ts", n));
  const std::vector<std::string> env = {"XDG_CONFIG_HOME=" + (dir / "config").string(),
                                        "TMPDIR=" + dir.path().string(), "HOME=" + dir.path().string(),
                                        "DISCPRESS_TOOLS_DIR=" DP_TOOLS_BUILD_DIR};
  // The JSON must parse and hold the members the panel is drawn from.
  const std::string check_json =
      "import json,sys; d=json.load(open(sys.argv[1])); "
      "print(d['title_table'][1]['clips'], d['playlist_index'], d['video'][0]['pid'], "
      "d['video'][0]['fps_fraction'],"
      " d['audio'][0]['bitrate_kbps'], len(d['chapters']), d['rings']['audio'][0][:6], "
      "d['source_is_playlist'])";
  // clang-format off
  const struct {
    std::vector<std::string> args;
    int code;
    std::vector<std::string> out;  // in the output, in order
  } cases[] = {
      // Title 1 joins four clips: the dialog, without a message.
      {{}, 3, {"1\t00002.mpls  (1:21:06)\t00007 + 00008 + 00009 + 00010\n2\t00007.mpls  (0:11:23)\t00015\n",
               "11\t00001.mpls  (0:00:01)\t00002\n"}},
      {{"--title", "2"}, 0, {"source\t" + (disc / "BDMV/STREAM/00015.m2ts").string() + "\nplaylist\t00007.mpls (0:11:23)\n",
                             "output\t" + (dir / "DiscPress/Some Film (2010)").string() + "\nvideo\t4113 :  00:00:01  AVC  ", "\naudio\t4352 :  ",
                             "\nchapter\t00:00:00.000\nchapter\t00:05:00.300\n"}},
      {{"--title", "2", "--json"}, 0, {"00015.m2ts 2 4113 24000/1001 192 5 4352 : 0\n"}},
      {{"--title", "99"}, 2, {}},
  };
  // clang-format on
  for (const auto& c : cases) {
    std::vector<std::string> args = {"analyse", disc.string(), "--scrape", "0"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    test::CliResult r = test::Cli(args, env);
    EXPECT_EQ(r.code, c.code) << r.err;
    if (std::find(c.args.begin(), c.args.end(), "--json") != c.args.end()) {
      std::ofstream(dir / "out.json") << r.out;
      r = test::RunProgram({"python3", "-c", check_json, (dir / "out.json").string()});
    }
    std::size_t at = 0;
    for (const std::string& text : c.out) {
      const std::size_t found = r.out.find(text, at);
      EXPECT_NE(found, npos) << text << " in:\n" << r.out;
      at = found == npos ? at : found;
    }
  }
  const test::CliResult bad = test::Cli({"analyse", (dir / "NOTADISC").string()}, env);
  EXPECT_EQ(bad.code, 1);
  EXPECT_NE(bad.err.find("Unable to read BD structure."), npos) << bad.err;
  // Nothing was stored.
  EXPECT_FALSE(fs::exists(dir / "config"));
}

}  // namespace
}  // namespace dp
