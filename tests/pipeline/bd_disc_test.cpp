// The disc tree of the muxer stand-in as players open it: libbluray (through
// its own tools and ffmpeg's "bluray:" input) reads the index, the movie
// object, the playlist and the clip information of a muxed clip.
#include <gtest/gtest.h>

#include "support/media_gen.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "toolkit/bd_playlist.h"
#include "toolkit/files.h"
#include "toolkit/m2ts_reader.h"
#include "util/text.h"

namespace dp {
namespace {

namespace fs = std::filesystem;
using test::RunProgram;

// ffmpeg's "bluray:" input lists only playlists of three minutes or more.
// The sound runs on half a second after the last picture.
constexpr double kSeconds = 181;
constexpr double kSoundSeconds = 181.5;
constexpr double kFrame = 1001.0 / 24000;
// Chapter marks on both sides of the EP map's coarse steps (2^19 ticks,
// 5.8 s) and of the one-second GOPs.
const double kChapters[] = {0, 10, 17, 40.3, 93.5, 106.9, 120, 150, 170, 179.5};

double ProbeNumber(const std::string& input, const std::string& entry, const std::string& select = "") {
  std::vector<std::string> argv = {"ffprobe", "-v", "error"};
  if (!select.empty()) argv.insert(argv.end(), {"-select_streams", select});
  argv.insert(argv.end(), {"-show_entries", entry, "-of", "csv=p=0", input});
  return LeadingDouble(Trim(RunProgram(argv).out));
}

// Seconds from the first PTS to the end of the last frame, over every packet
// of every stream — what actually plays, not ffprobe's estimate.
double PlayedSeconds(const std::string& input) {
  const std::string packets = RunProgram({"ffprobe", "-v", "error", "-show_entries",
                                          "packet=pts_time,duration_time", "-of", "csv=p=0", input})
                                  .out;
  double first = 1e18, end = 0;
  for (std::string_view line : Tokenize(packets, "\n")) {
    const std::vector<std::string_view> f = Tokenize(line, ",");
    if (f.size() < 2 || f[0] == "N/A") continue;
    const double pts = LeadingDouble(f[0]);
    first = std::min(first, pts);
    end = std::max(end, pts + LeadingDouble(f[1]));
  }
  return end - first;
}

// The checksum of each decoded picture (the first `frames` of them, or all)
// by its PTS in ffmpeg's output time base.
std::map<std::int64_t, std::string> FrameSums(const std::string& input, int frames = 0) {
  std::vector<std::string> argv = {"ffmpeg", "-v", "error", "-copyts", "-i", input, "-map", "0:v"};
  if (frames > 0) argv.insert(argv.end(), {"-frames:v", std::to_string(frames)});
  argv.insert(argv.end(), {"-f", "framemd5", "-"});
  std::map<std::int64_t, std::string> sums;
  const std::string out = RunProgram(argv).out;
  for (std::string_view line : Tokenize(out, "\n")) {
    const std::vector<std::string_view> f = Tokenize(line, ", ");
    if (f.size() == 6 && line[0] != '#') sums[LeadingInt64(f[2])] = std::string(f[5]);
  }
  return sums;
}

class BdDisc : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new test::TempDir;
    clip_ = dir_->path() / "clip.m2ts";
    // One-second GOPs, as the Blu-ray-compatible encodes of a job have.
    ASSERT_TRUE(test::Ffmpeg({"-f",
                              "lavfi",
                              "-t",
                              test::SecondsText(kSeconds),
                              "-i",
                              "testsrc2=size=320x180:rate=24000/1001",
                              "-f",
                              "lavfi",
                              "-t",
                              test::SecondsText(kSoundSeconds),
                              "-i",
                              "sine=sample_rate=48000",
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
    std::string marks;
    for (double t : kChapters) {
      const auto ms = static_cast<int>(std::lround(t * 1000));
      marks += Format("%s%02d:%02d:%02d.%03d", marks.empty() ? "" : ";", ms / 3600000, ms / 60000 % 60,
                      ms / 1000 % 60, ms % 1000);
    }
    std::ofstream(meta) << "MUXOPT --no-pcr-on-video-pid --new-audio-pes --avchd --vbr "
                           "--custom-chapters="
                        << marks << " --vbv-len=500\n"
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

TEST_F(BdDisc, LibblurayOpensAndPlaysTheWholeClip) {
  const std::string bluray = "bluray:" + disc_.string();
  const std::string info = RunProgram({"bd_info", disc_.string()}).out;
  EXPECT_NE(info.find("First Play supported: yes"), npos) << info;
  EXPECT_NE(info.find("HDMV titles         : 1"), npos) << info;
  const std::string titles = RunProgram({"bd_list_titles", "-l", disc_.string()}).out;
  EXPECT_NE(
      titles.find("duration: 00:03:01 chapters:  10 angles:  1 clips:   1 (playlist: 00000.mpls) V:1 A:1"),
      npos)
      << titles;
  EXPECT_NE(titles.find("AUD: fre"), npos) << titles;
  const std::string streams = RunProgram({"ffprobe", "-v", "error", "-show_entries",
                                          "program_stream=id,codec_name", "-of", "csv=p=0", bluray})
                                  .out;
  EXPECT_NE(streams.find("h264,0x1011\nac3,0x1100"), npos) << streams;
  EXPECT_EQ(RunProgram({"ffmpeg", "-v", "error", "-xerror", "-i", bluray, "-f", "null", "-"}).code, 0);

  // The play item lasts until the sound ends, and libbluray delivers all of
  // it. (ffprobe's "format=duration" of a bluray: input is an estimate from
  // the last 250 kB after a seek that libbluray moves back to an entry
  // point, short by up to a GOP on any disc.)
  const double source = PlayedSeconds(clip_.string());
  EXPECT_NEAR(source, kSoundSeconds, 0.05);
  std::vector<std::uint8_t> mpls;
  tools::Playlist playlist;
  ASSERT_TRUE(tools::ReadBytes((disc_ / "BDMV/PLAYLIST/00000.mpls").string(), mpls));
  ASSERT_TRUE(tools::ParsePlaylist(mpls, playlist));
  EXPECT_NEAR(playlist.Duration(), source, kFrame);
  EXPECT_NEAR(PlayedSeconds(bluray), source, kFrame);
}

// libbluray turns a chapter mark's time into a source packet through the EP
// map; the spliced chapter must open on the I picture at or before the mark,
// whole, and decode to the same picture as the stream file does there.
TEST_F(BdDisc, ChaptersStartOnTheIPictureBeforeTheirMark) {
  const std::string m2ts = (disc_ / "BDMV/STREAM/00000.m2ts").string();
  std::vector<std::int64_t> keys;
  const std::string packets = RunProgram({"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                                          "packet=pts,flags", "-of", "csv=p=0", m2ts})
                                  .out;
  for (std::string_view line : Tokenize(packets, "\n"))
    if (line.find(",K") != npos) keys.push_back(LeadingInt64(line));
  ASSERT_FALSE(keys.empty());
  const std::map<std::int64_t, std::string> pictures = FrameSums(m2ts);
  const fs::path part = dir_->path() / "chapter.m2ts";
  for (std::size_t c = 0; c < std::size(kChapters); ++c) {
    SCOPED_TRACE(kChapters[c]);
    fs::remove(part);
    RunProgram({"bd_splice", "-p", "0", "-c", std::to_string(c + 1), disc_.string(), part.string()});
    const auto mark = keys.front() + static_cast<std::int64_t>(std::llround(kChapters[c] * 90000));
    const std::int64_t key = *(std::upper_bound(keys.begin(), keys.end(), mark) - 1);
    EXPECT_EQ(static_cast<std::int64_t>(ProbeNumber(part.string(), "stream=start_time", "v:0") * 90000 + 0.5),
              key);
    const std::map<std::int64_t, std::string> first = FrameSums(part.string(), 1);
    ASSERT_EQ(first.size(), 1u);
    ASSERT_EQ(pictures.count(first.begin()->first), 1u);
    EXPECT_EQ(first.begin()->second, pictures.at(first.begin()->first));
  }
}

// The playlist's stream table gives each stream's own format and rate, as
// the clip information does: a 180-line 23.976 picture with mono sound and
// a 720p50 one with stereo.
TEST_F(BdDisc, StreamTableCarriesTheStreamsOwnFormatAndRate) {
  const fs::path hd = dir_->path() / "hd.m2ts";
  ASSERT_TRUE(test::Ffmpeg({"-f",
                            "lavfi",
                            "-i",
                            "testsrc2=size=1280x720:rate=50",
                            "-f",
                            "lavfi",
                            "-i",
                            "sine=sample_rate=48000",
                            "-t",
                            "2",
                            "-ac",
                            "2",
                            "-c:v",
                            "libx264",
                            "-preset",
                            "ultrafast",
                            "-c:a",
                            "ac3",
                            "-f",
                            "mpegts",
                            "-mpegts_m2ts_mode",
                            "1",
                            hd.string()}));
  const fs::path meta = dir_->path() / "hd.meta";
  std::ofstream(meta) << "MUXOPT --no-pcr-on-video-pid --new-audio-pes --blu-ray --vbr --vbv-len=500\n"
                      << "V_MPEG4/ISO/AVC, \"" << hd.string() << "\", track=4113, fps=50\n"
                      << "A_AC3, \"" << hd.string() << "\", track=4352\n";
  const fs::path hd_disc = dir_->path() / "HD";
  const test::ProgramResult r = RunProgram(
      {std::string(DP_TOOLS_BUILD_DIR) + "/tsMuxeR/1.10.6/tsMuxeR", meta.string(), hd_disc.string()});
  ASSERT_EQ(r.code, 0) << r.out;

  const struct {
    fs::path disc;
    int video_format, video_rate, audio_format, audio_rate;
  } kCases[] = {{disc_, 0, 1, 1, 1}, {hd_disc, 5, 6, 3, 1}};
  for (const auto& c : kCases) {
    std::vector<std::uint8_t> bytes;
    tools::Playlist playlist;
    ASSERT_TRUE(tools::ReadBytes((c.disc / "BDMV/PLAYLIST/00000.mpls").string(), bytes));
    ASSERT_TRUE(tools::ParsePlaylist(bytes, playlist));
    ASSERT_EQ(playlist.streams.size(), 2u) << c.disc;
    EXPECT_EQ(playlist.streams[0].kind, tools::PlaylistStream::kVideo);
    EXPECT_EQ(playlist.streams[0].pid, 0x1011u);
    EXPECT_EQ(std::pair(int{playlist.streams[0].format}, int{playlist.streams[0].rate}),
              std::pair(c.video_format, c.video_rate))
        << c.disc;
    EXPECT_EQ(playlist.streams[1].coding_type, 0x81);
    EXPECT_EQ(std::pair(int{playlist.streams[1].format}, int{playlist.streams[1].rate}),
              std::pair(c.audio_format, c.audio_rate))
        << c.disc;
  }
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
