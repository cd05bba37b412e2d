// discpress-cli scan SOURCE on a generated clip, whole and damaged, with the
// built demuxer stand-in and the MediaInfo library.
#include <gtest/gtest.h>

#include <fstream>

#include "support/cli.h"
#include "support/media_gen.h"
#include "support/temp_dir.h"

namespace dp {
namespace {

TEST(CliScan, ScansTheOpenedSource) {
  const test::TempDir dir;
  const std::string clip = (dir / "clip.m2ts").string(), bad = (dir / "bad.m2ts").string();
  ASSERT_TRUE(test::MakeBlurayClip(clip, 3, "320x240"));
  std::filesystem::copy_file(clip, bad);
  std::fstream(bad, std::ios::in | std::ios::out | std::ios::binary).seekp(192 * 9000 + 4).put(0);
  const std::vector<std::string> env = {"XDG_CONFIG_HOME=" + (dir / "config").string(),
                                        "TMPDIR=" + dir.path().string(), "HOME=" + dir.path().string(),
                                        "DISCPRESS_TOOLS_DIR=" DP_TOOLS_BUILD_DIR};
  // clang-format off
  const struct { std::string file; int code; std::string out, err; } cases[] = {
      {clip, 0, "Scanning clip.m2ts ", ""},
      {bad, 1, "Scanning bad.m2ts ", "WARNING: Sync byte missing!"},
  };
  // clang-format on
  for (const auto& c : cases) {
    const test::CliResult r = test::Cli({"scan", c.file}, env);
    EXPECT_EQ(r.code, c.code) << r.err;
    EXPECT_TRUE(r.out.starts_with(c.out)) << r.out;
    EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    // After the progress lines, the source lines with the scanned video rate.
    const std::string analysed = test::Cli({"analyse", c.file}, env).out;
    const std::size_t at = r.out.find("\nsource\t");
    ASSERT_NE(at, std::string::npos) << r.out;
    EXPECT_NE(r.out.substr(at + 1), analysed);
    EXPECT_EQ(r.out.substr(at + 1, analysed.find("\nvideo")), analysed.substr(0, analysed.find("\nvideo")));
  }
}

}  // namespace
}  // namespace dp
