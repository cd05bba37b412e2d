// The disc tree of the muxer stand-in as players open it: libbluray (through
// its own tools and ffmpeg's "bluray:" input) reads the index, the movie
// object, the playlist and the clip information of a muxed clip.
#include <gtest/gtest.h>

#include "support/media_gen.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "toolkit/m2ts_reader.h"
#include "util/text.h"

namespace dp {
namespace {

namespace fs = std::filesystem;
using test::RunProgram;

// ffmpeg's "bluray:" input lists only playlists of three minutes or more.
constexpr double kSeconds = 181;

double ProbeNumber(const std::string& input, const std::string& entry, const std::string& select = "") {
  std::vector<std::string> argv = {"ffprobe", "-v", "error"};
  if (!select.empty()) argv.insert(argv.end(), {"-select_streams", select});
  argv.insert(argv.end(), {"-show_entries", entry, "-of", "csv=p=0", input});
  return LeadingDouble(Trim(RunProgram(argv).out));
}

class BdDisc : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new test::TempDir;
    clip_ = dir_->path() / "clip.m2ts";
    // One-second GOPs, as the Blu-ray-compatible encodes of a job have.
    ASSERT_TRUE(test::Ffmpeg({"-f",
                              "lavfi",
                              "-i",
                              "testsrc2=size=320x180:rate=24000/1001",
                              "-f",
                              "lavfi",
                              "-i",
                              "sine=sample_rate=48000",
                              "-t",
                              test::SecondsText(kSeconds),
                              "-c:v",
                              "libx264",
                              "-preset",
                              "ultrafast",
                              "-g",
                              "24",
                              "-c:a",
                              "ac3",
                              "-b:a",
                              "192k",
                              "-f",
                              "mpegts",
                              "-mpegts_m2ts_mode",
                              "1",
                              "-muxrate",
                              "1M",
                              "-streamid",
                              "0:0x1011",
                              "-streamid",
                              "1:0x1100",
                              clip_.string()}));
    const fs::path meta = dir_->path() / "job.meta";
    std::ofstream(meta) << "MUXOPT --no-pcr-on-video-pid --new-audio-pes --avchd --vbr "
                           "--custom-chapters=00:00:00.000;00:01:00.000 --vbv-len=500\n"
                        << "V_MPEG4/ISO/AVC, \"" << clip_.string() << "\", track=4113, fps=23.976\n"
                        << "A_AC3, \"" << clip_.string() << "\", track=4352, lang=fre\n";
    disc_ = dir_->path() / "DISC";
    const test::ProgramResult r = RunProgram(
        {std::string(DP_TOOLS_BUILD_DIR) + "/tsMuxeR/1.10.6/tsMuxeR", meta.string(), disc_.string()});
    ASSERT_EQ(r.code, 0) << r.out;
  }
  static void TearDownTestSuite() { delete dir_; }

  static test::TempDir* dir_;
  static fs::path clip_, disc_;
};

test::TempDir* BdDisc::dir_ = nullptr;
fs::path BdDisc::clip_, BdDisc::disc_;

TEST_F(BdDisc, LibblurayOpensPlaysSeeksAndFindsTheChapters) {
  const std::string bluray = "bluray:" + disc_.string();
  const std::string info = RunProgram({"bd_info", disc_.string()}).out;
  EXPECT_NE(info.find("First Play supported: yes"), npos) << info;
  EXPECT_NE(info.find("HDMV titles         : 1"), npos) << info;
  const std::string titles = RunProgram({"bd_list_titles", "-l", disc_.string()}).out;
  EXPECT_NE(
      titles.find("duration: 00:03:01 chapters:   2 angles:  1 clips:   1 (playlist: 00000.mpls) V:1 A:1"),
      npos)
      << titles;
  EXPECT_NE(titles.find("AUD: fre"), npos) << titles;

  EXPECT_NEAR(ProbeNumber(bluray, "format=duration"), kSeconds,
              0.5);  // the playlist spans the video as muxed
  const std::string streams = RunProgram({"ffprobe", "-v", "error", "-show_entries",
                                          "program_stream=id,codec_name", "-of", "csv=p=0", bluray})
                                  .out;
  EXPECT_NE(streams.find("h264,0x1011\nac3,0x1100"), npos) << streams;
  EXPECT_EQ(RunProgram({"ffmpeg", "-v", "error", "-xerror", "-i", bluray, "-f", "null", "-"}).code, 0);

  // The second chapter starts playback at the I picture at or before 1:00.
  const fs::path part = dir_->path() / "chapter2.m2ts";
  RunProgram({"bd_splice", "-p", "0", "-c", "2", disc_.string(), part.string()});
  const double start = ProbeNumber(clip_.string(), "stream=start_time", "v:0");
  EXPECT_NEAR(ProbeNumber(part.string(), "stream=start_time", "v:0"), start + 60 - 0.5, 0.55);
}

TEST_F(BdDisc, StreamReaderFindsTheKeyFramesAndRefusesWhatNoPlayerCouldStart) {
  tools::M2tsInfo ts;
  std::string error;
  ASSERT_TRUE(tools::ReadM2ts(clip_.string(), ts, error)) << error;
  const std::string keys = RunProgram({"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                                       "packet=pts,flags", "-of", "csv=p=0", clip_.string()})
                               .out;
  std::vector<std::uint64_t> expected;
  for (std::string_view line : Tokenize(keys, "\n"))
    if (line.find(",K") != npos) expected.push_back(static_cast<std::uint64_t>(LeadingInt64(line)));
  std::vector<std::uint64_t> found;
  for (const tools::EntryPoint& e : ts.entry_points) found.push_back(e.pts);
  EXPECT_EQ(found, expected);
  EXPECT_EQ(ts.video_pid, 0x1011u);

  const fs::path audio = dir_->path() / "audio.m2ts";
  ASSERT_TRUE(test::Ffmpeg({"-i", clip_.string(), "-map", "0:a", "-t", "1", "-c", "copy", "-f", "mpegts",
                            "-mpegts_m2ts_mode", "1", audio.string()}));
  const fs::path cut = dir_->path() / "cut.m2ts";
  std::vector<char> head(192 * 40 + 100);
  std::ifstream(clip_, std::ios::binary).read(head.data(), static_cast<std::streamsize>(head.size()));
  std::ofstream(cut, std::ios::binary).write(head.data(), static_cast<std::streamsize>(head.size()));
  const fs::path text = dir_->path() / "text.m2ts";
  std::ofstream(text) << std::string(192 * 4, 'x');
  const struct {
    fs::path file;
    const char* reason;
  } kCases[] = {{audio, "no video stream"}, {cut, "192-byte"}, {text, "no transport packet"}};
  for (const auto& c : kCases) {
    EXPECT_FALSE(tools::ReadM2ts(c.file.string(), ts, error)) << c.file;
    EXPECT_NE(error.find(c.reason), npos) << error;
  }
}

}  // namespace
}  // namespace dp
