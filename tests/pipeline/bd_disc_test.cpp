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

std::string Muxer() { return std::string(DP_TOOLS_BUILD_DIR) + "/tsMuxeR/2.x/tsMuxeR"; }

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
    ASSERT_TRUE(test::Ffmpeg(
        "-f lavfi -t " + test::SecondsText(kSeconds) +
            " -i testsrc2=size=320x180:rate=24000/1001 -f lavfi -t " + test::SecondsText(kSoundSeconds) +
            " -i sine=sample_rate=48000 -c:v libx264 -preset ultrafast -g 24 -c:a ac3 -b:a 192k "
            "-f mpegts -mpegts_m2ts_mode 1 -muxrate 1M -streamid 0:0x1011 -streamid 1:0x1100",
        {clip_.string()}));
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
    const test::ProgramResult r = RunProgram({Muxer(), meta.string(), disc_.string()});
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
  // Its stream table gives each stream's own format and rate, as the clip
  // information does: a 180-line 23.976 picture with mono sound.
  ASSERT_EQ(playlist.streams.size(), 2u);
  EXPECT_EQ(playlist.streams[0].kind, tools::PlaylistStream::kVideo);
  EXPECT_EQ(playlist.streams[0].pid, 0x1011u);
  EXPECT_EQ(std::pair(int{playlist.streams[0].format}, int{playlist.streams[0].rate}), std::pair(0, 1));
  EXPECT_EQ(playlist.streams[1].coding_type, 0x81);
  EXPECT_EQ(std::pair(int{playlist.streams[1].format}, int{playlist.streams[1].rate}), std::pair(1, 1));
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

// A 3D disc from the encoder's stream of both views: the dependent view in
// clip 00001 beside the base view's, both interleaved in the SSIF file, the
// playlist's 3D sub-path naming that clip, and libbluray still opening and
// playing the title.
TEST_F(BdDisc, TheDependentViewGetsItsOwnClipAndTheInterleavedFile) {
  const fs::path dir = dir_->path(), disc = dir / "3D", streams = disc / "BDMV/STREAM";
  const std::string plain = (dir / "plain.264").string(), both = (dir / "both.264").string();
  ASSERT_TRUE(test::Ffmpeg({"-i", clip_.string(), "-map", "0:v", "-c", "copy", "-f", "h264", plain}));
  ASSERT_EQ(RunProgram({std::string(DP_TOOLS_BUILD_DIR) + "/MVCenc", plain, plain, "4340", both, "300", "7",
                        "0", "0"})
                .code,
            0);
  std::ofstream(dir / "3d.meta")
      << "MUXOPT --no-pcr-on-video-pid --new-audio-pes --blu-ray --vbr --auto-chapters=5 "
         "--vbv-len=500 --right-eye\nV_MPEG4/ISO/MVC, \""
      << both << "\"\nV_MPEG4/ISO/AVC, \"" << both << "\", fps=23.976\nA_AC3, \"" << clip_.string()
      << "\", track=4352, lang=fre\n";
  const test::ProgramResult r = RunProgram({Muxer(), (dir / "3d.meta").string(), disc.string()});
  ASSERT_EQ(r.code, 0) << r.out;
  EXPECT_TRUE(fs::exists(disc / "BDMV/BACKUP/CLIPINF/00001.clpi"));
  EXPECT_EQ(fs::file_size(streams / "SSIF/00000.ssif"),
            fs::file_size(streams / "00000.m2ts") + fs::file_size(streams / "00001.m2ts"));
  std::vector<std::uint8_t> bytes;
  tools::Playlist playlist;
  ASSERT_TRUE(tools::ReadBytes((disc / "BDMV/PLAYLIST/00000.mpls").string(), bytes));
  ASSERT_TRUE(tools::ParsePlaylist(bytes, playlist));
  EXPECT_EQ(playlist.dependent_view_clips, std::vector<std::string>{"00001"});
  tools::M2tsInfo base_clip, view_clip;
  std::string error;
  ASSERT_TRUE(tools::ReadM2ts((streams / "00000.m2ts").string(), base_clip, error)) << error;
  ASSERT_TRUE(tools::ReadM2ts((streams / "00001.m2ts").string(), view_clip, error)) << error;
  EXPECT_EQ(view_clip.video_pid, 0x1012u);
  EXPECT_EQ(view_clip.entry_points.size(), base_clip.entry_points.size());

  // libbluray opens and plays the base view, and reads the 3D flags.
  const std::string info =
      RunProgram({"sh", "-c", "bd_info \"$0\"; bd_list_titles -l \"$0\"", disc.string()}).out;
  EXPECT_NE(info.find("3D content exists       : Yes"), npos) << info;
  EXPECT_NE(
      info.find("duration: 00:03:01 chapters:   1 angles:  1 clips:   1 (playlist: 00000.mpls) V:1 A:1"),
      npos)
      << info;
  EXPECT_EQ(Trim(RunProgram({"ffprobe", "-v", "error", "-show_entries", "program_stream=id,codec_name", "-of",
                             "csv=p=0", "bluray:" + disc.string()})
                     .out),
            "h264,0x1011\nac3,0x1100");
}

}  // namespace
}  // namespace dp
