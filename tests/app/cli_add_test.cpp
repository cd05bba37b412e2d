// discpress-cli add on a generated 1080p clip with the built stand-ins: the
// panel it prints, its pop-ups answered or not, and two added jobs run to
// playable outputs by queue run with the real x264 and mkvmerge.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/cli.h"
#include "support/media_gen.h"
#include "support/temp_dir.h"
#include "util/text.h"

namespace dp {
namespace {

namespace fs = std::filesystem;

class CliAddTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(test::MakeBlurayClip(clip_, 2, "1920x1080"));
    ASSERT_EQ(Run({"settings", "set", "CustomMedia", "1"}).code, 0);
  }
  test::CliResult Run(std::vector<std::string> args) {
    if (args[0] == "add") args.insert(args.begin() + 1, clip_.string());
    return test::Cli(args, {"XDG_CONFIG_HOME=" + (dir_ / "config").string(), "TMPDIR=" + dir_.path().string(),
                            "HOME=" + dir_.path().string(), "DISCPRESS_TOOLS_DIR=" DP_TOOLS_BUILD_DIR});
  }
  std::string Probe(const fs::path& file) {
    return test::RunProgram({"ffprobe", "-v", "error", "-show_entries", "stream=codec_name,width", "-of",
                             "csv=p=0", file.string()})
        .out;
  }
  const test::TempDir dir_;
  const fs::path clip_ = dir_ / "clip.m2ts";
};

TEST_F(CliAddTest, PrintsThePanelAndAddsOnlyWhenEveryPopUpIsAnswered) {
  const std::string rings =
      "target_audio\tUntouched=0*\tAC3 640 Kbps=640\tAC3 448 Kbps=448\tAC3 384 Kbps=384\n"
      "target_subtitle\tNone=0*\tUntouched=1\tFlagged forced=2\n";
  // clang-format off
  const struct {
    std::vector<std::string> args;
    int code;
    std::string out, queue;  // queue: how `queue list` starts afterwards, "" for empty
  } cases[] = {
      // 1 MB for 1981 ms of 1920-wide video: 3576 kbps is regular-low, good after a 720p resize.
      {{"--media", "4", "--dry-run"}, 0, "rate\t3576\nrate_label\tVideo Bitrate\nverdict\tInfo: It's necessary to recode the video at 3576 Kbps. The quality is regular-low :(\nverdict_colour\t0x800000\nuntouched\t0\n" + rings, ""},
      {{"--media", "4", "--resize-720p", "--dry-run"}, 0, "rate\t3576\nrate_label\tVideo Bitrate\nverdict\tInfo: It's necessary to recode the video at 3576 Kbps. The quality is very good :))\nverdict_colour\t0x008000\nuntouched\t0\n" + rings, ""},
      {{"--media", "7", "--rate", "24", "--dry-run"}, 0, "rate\t24\nrate_label\t     CRF     \nverdict\tInfo: The video is recoded using a CRF 24. The quality is regular-low :(\nverdict_colour\t0x800000\nuntouched\t0\n" + rings, ""},
      {{"--media", "8", "--rate", "5", "--dry-run"}, 2, "", ""},  // the field is disabled
      {{"--media", "7", "--rate", "30"}, 3, "", ""},                // the high-CRF question unanswered
      {{"--media", "7", "--rate", "30", "--answer", "Maybe"}, 2, "", ""},
      {{"--media", "7", "--rate", "30", "--answer", "No"}, 1, "", ""},
      {{"--media", "7", "--rate", "52", "--answer", "Yes"}, 1, "", ""},  // "SORRY": above 51
      {{"--media", "7", "--rate", "30", "--answer", "Yes"}, 0, "slot\t0\n", "0\t1\t"},
  };
  // clang-format on
  int row = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(row++);
    std::vector<std::string> args = {"add"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const test::CliResult r = Run(args);
    EXPECT_EQ(r.code, c.code) << r.err;
    EXPECT_TRUE(r.out.ends_with(c.out)) << r.out;
    const std::string list = Run({"queue", "list"}).out;
    EXPECT_TRUE(c.queue.empty() ? list.empty() : list.starts_with(c.queue)) << list;
  }
}

TEST_F(CliAddTest, AddedJobsRunToPlayableOutputs) {
  if (std::system("command -v x264 >/dev/null && command -v mkvmerge >/dev/null") != 0)
    GTEST_SKIP() << "needs x264 and mkvmerge";
  // AVCHD at 3576 kbps asks about the low rate; MKV crf asks nothing.
  ASSERT_EQ(Run({"add", "--media", "4", "--preset", "ultrafast", "--output", (dir_ / "out/Disc").string(),
                 "--answer", "Yes"})
                .code,
            0);
  ASSERT_EQ(
      Run({"add", "--media", "7", "--preset", "ultrafast", "--output", (dir_ / "out/Film.mkv").string()})
          .code,
      0);
  const test::CliResult run = Run({"queue", "run"});
  ASSERT_EQ(run.code, 0) << run.out << run.err;
  for (const fs::path& file : {dir_ / "out/Film.mkv", dir_ / "out/Disc/BDMV/STREAM/00000.m2ts"}) {
    const std::string streams = Probe(file);
    EXPECT_NE(streams.find("h264,1920\nac3"), npos) << file << ": " << streams;
  }
  EXPECT_TRUE(fs::exists(dir_ / "out/Disc/BDMV/index.bdmv"));
  EXPECT_TRUE(fs::exists(dir_ / "out/Disc/BDMV/PLAYLIST/00000.mpls"));
}

}  // namespace
}  // namespace dp
