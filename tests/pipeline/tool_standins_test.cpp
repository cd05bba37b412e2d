// The stand-ins for the outside tools, run as the pipeline runs them: by path
// below the build's tools folder, with the argv their command lines split
// into. Sample media are made with ffmpeg when the suite starts.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/media_gen.h"

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "util/text.h"

namespace dp {
namespace {

namespace fs = std::filesystem;

const std::string kTools = DP_TOOLS_BUILD_DIR;

using Result = test::ProgramResult;
inline Result RunTool(const std::vector<std::string>& argv) { return test::RunProgram(argv); }

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

using test::Ffmpeg;

// ffprobe's values of the chosen stream's entries, one per line. A transport
// stream lists its streams a second time under its program; those are skipped.
std::string ProbeField(const fs::path& file, const std::string& stream, const std::string& entries,
                       const std::vector<std::string>& extra = {}) {
  std::vector<std::string> argv = {"ffprobe", "-v", "error"};
  argv.insert(argv.end(), extra.begin(), extra.end());
  argv.insert(argv.end(), {"-select_streams", stream, "-show_entries", "stream=" + entries, "-of", "flat",
                           file.string()});
  const std::string out = RunTool(argv).out;
  std::string values;
  for (std::string_view line : Tokenize(out, "\n")) {
    if (!line.starts_with("streams.stream.")) continue;
    std::string_view v = line.substr(line.find('=') + 1);
    if (v.size() >= 2 && v.front() == '"') v = v.substr(1, v.size() - 2);
    values += (values.empty() ? "" : "\n") + std::string(v);
  }
  return values;
}

unsigned Be16At(const std::string& s, std::size_t i) {
  return (static_cast<unsigned char>(s[i]) << 8) | static_cast<unsigned char>(s[i + 1]);
}
std::size_t Be32At(const std::string& s, std::size_t i) {
  return (std::size_t{Be16At(s, i)} << 16) | Be16At(s, i + 2);
}

std::vector<std::string_view> Lines(std::string_view text) { return Tokenize(text, "\r\n"); }

class ToolStandins : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { media_ = std::make_unique<test::TempDir>(); }
  static void TearDownTestSuite() { media_.reset(); }

  // Sample media, made with ffmpeg the first time a test asks (ctest runs
  // each test in its own process):
  //   clip.m2ts  Blu-ray style: H.264 on PID 0x1011, AC-3 on 0x1100, 48 frames
  //   3d.m2ts    a second video on 0x1012, the dependent view's PID, 24 frames
  //   film.mkv   H.264, E-AC-3 muxed 120 ms late, SubRip text, two chapters
  static fs::path Media(const std::string& name) {
    const fs::path dir = media_->path();
    const fs::path file = dir / name;
    if (fs::exists(file)) return file;
    bool ok = false;
    if (name == "clip.m2ts") {
      ok = test::MakeBlurayClip(file, 2, "1920x1080");
    } else if (name == "3d.m2ts") {
      ok = Ffmpeg({"-f",
                   "lavfi",
                   "-i",
                   "testsrc2=size=320x240:rate=24",
                   "-f",
                   "lavfi",
                   "-i",
                   "testsrc=size=320x240:rate=24",
                   "-t",
                   "1",
                   "-map",
                   "0",
                   "-map",
                   "1",
                   "-c:v",
                   "libx264",
                   "-preset",
                   "ultrafast",
                   "-f",
                   "mpegts",
                   "-mpegts_m2ts_mode",
                   "1",
                   "-muxrate",
                   "4M",
                   "-streamid",
                   "0:0x1011",
                   "-streamid",
                   "1:0x1012",
                   file.string()});
    } else if (name == "film.mkv") {
      std::ofstream(dir / "subs.srt") << "1\n00:00:00,200 --> 00:00:00,800\nHello\n\n";
      std::ofstream(dir / "chapters.txt")
          << ";FFMETADATA1\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=500\ntitle=One\n"
             "[CHAPTER]\nTIMEBASE=1/1000\nSTART=500\nEND=1000\ntitle=Two\n";
      ok = Ffmpeg({"-f",
                   "lavfi",
                   "-i",
                   "testsrc2=size=640x360:rate=25",
                   "-itsoffset",
                   "0.12",
                   "-f",
                   "lavfi",
                   "-i",
                   "sine=sample_rate=48000",
                   "-i",
                   (dir / "subs.srt").string(),
                   "-i",
                   (dir / "chapters.txt").string(),
                   "-map",
                   "0:v",
                   "-map",
                   "1:a",
                   "-map",
                   "2:s",
                   "-map_chapters",
                   "3",
                   "-t",
                   "1",
                   "-c:v",
                   "libx264",
                   "-preset",
                   "ultrafast",
                   "-c:a",
                   "eac3",
                   "-c:s",
                   "srt",
                   "-metadata:s:a",
                   "language=eng",
                   "-metadata:s:s",
                   "language=spa",
                   file.string()});
    }
    if (!ok) ADD_FAILURE() << "ffmpeg could not make " << name;
    return file;
  }
  static std::string Tool(const std::string& rel) { return kTools + "/" + rel; }

  test::TempDir tmp_;
  static std::unique_ptr<test::TempDir> media_;
};

std::unique_ptr<test::TempDir> ToolStandins::media_;

// The demux log as the frame-count reader takes it: lines up to the first
// empty one, the first "Video track ... contains " line, halved for fields.
long FrameCountFromLog(const std::string& log) {
  std::size_t pos = 0;
  while (pos < log.size()) {
    std::size_t end = log.find('\n', pos);
    if (end == std::string::npos) end = log.size();
    std::string_view line = TrimRight(std::string_view(log).substr(pos, end - pos));
    if (line.empty()) break;
    const std::size_t at = line.find("contains ");
    if (line.starts_with("Video track") && at != npos) {
      const long n = LeadingInt(line.substr(at + 9));
      return line.find("fields") != npos ? n / 2 : n;
    }
    pos = end + 1;
  }
  return -1;
}

TEST_F(ToolStandins, Eac3toListsAndDemuxesAStreamFile) {
  const std::string log = (tmp_ / "log.txt").string();
  Result r = RunTool({Tool("eac3to/eac3to"), Media("clip.m2ts").string(), "-log=" + log});
  ASSERT_EQ(r.code, 0) << r.out;
  const std::string listing = ReadAll(log);
  // The log has Windows line ends, no empty line, and the listing after a header.
  EXPECT_NE(listing.find("\r\nM2TS, 1 video track, 1 audio track, 0:00:02, 24p /1.001\r\n"), npos) << listing;
  EXPECT_NE(listing.find("\r\n1: h264/AVC, 1080p24 /1.001 (16:9)\r\n"), npos) << listing;
  EXPECT_NE(listing.find("\r\n2: AC3, "), npos) << listing;
  EXPECT_EQ(listing.find("\r\n\r\n"), npos);
  EXPECT_EQ(listing.find("Chapters"), npos) << "a lone stream file has no chapter track";

  // The pipeline's demux form: tracks, a recode bitrate, progress numbers.
  const fs::path video = tmp_ / "Movie.job_3.h264";
  const fs::path audio = tmp_ / "Movie.job_3.ac3";
  r = RunTool({Tool("eac3to/eac3to"), Media("clip.m2ts").string(), "1:", video.string(), "2:", audio.string(),
               "-448", "-progressnumbers", "-log=" + log});
  ASSERT_EQ(r.code, 0) << r.out;
  EXPECT_EQ(ProbeField(video, "v:0", "codec_name"), "h264");
  EXPECT_EQ(ProbeField(video, "v:0", "nb_read_packets", {"-count_packets"}), "48");
  EXPECT_EQ(ProbeField(audio, "a:0", "bit_rate"), "448000");
  EXPECT_EQ(FrameCountFromLog(ReadAll(log)), 48);

  // Progress as the monitor reads it: "process:", a blank, a number, "%".
  int last = -1;
  for (std::string_view line : Lines(r.out)) {
    if (!line.starts_with("process: ")) continue;
    ASSERT_TRUE(line.ends_with("%")) << line;
    const int value = LeadingInt(line.substr(9));
    EXPECT_GE(value, last);
    last = value;
  }
  EXPECT_EQ(last, 100);
}

TEST_F(ToolStandins, Eac3toMarksTheDependentViewAndCopiesIt) {
  const std::string log = (tmp_ / "log.txt").string();
  const fs::path base = tmp_ / "x.avc.h264";
  const fs::path dependent = tmp_ / "x.mvc.h264";
  const Result r = RunTool({Tool("eac3to/eac3to"), Media("3d.m2ts").string(), "1:", base.string(),
                            "2:", dependent.string(), "-log=" + log});
  ASSERT_EQ(r.code, 0) << r.out;
  const std::string text = ReadAll(log);
  EXPECT_NE(IFind(text, "2: h264/MVC"), npos) << text;
  EXPECT_NE(IFind(text, "(right eye)"), npos);
  EXPECT_EQ(IFind(text.substr(0, text.find("2: ")), "(right eye)"), npos)
      << "only the second view is the right eye";
  EXPECT_GT(fs::file_size(base), 0u);
  EXPECT_GT(fs::file_size(dependent), 0u);
  EXPECT_EQ(FrameCountFromLog(text), 24);

  // On a disc the views come from the clip's stereo interleaved file, not its 2D stream file.
  const fs::path root = tmp_ / "DISC3D";
  fs::create_directories(root / "BDMV" / "PLAYLIST");
  fs::create_directories(root / "BDMV" / "STREAM" / "SSIF");
  fs::copy_file(fs::path(DP_TESTDATA_DIR) / "mpls/bdpl/disc1/PLAYLIST/00001.mpls",
                root / "BDMV" / "PLAYLIST" / "00001.mpls");
  fs::create_symlink(Media("clip.m2ts"), root / "BDMV" / "STREAM" / "00002.m2ts");
  fs::create_symlink(Media("3d.m2ts"), root / "BDMV" / "STREAM" / "SSIF" / "00002.ssif");
  const Result chapters =
      RunTool({Tool("eac3to/eac3to"), root.string(), "1)", "1:", (tmp_ / "cap.txt").string(), "-log=" + log});
  ASSERT_EQ(chapters.code, 0) << chapters.out;
  EXPECT_NE(IFind(ReadAll(log), "(right eye)"), npos);
  EXPECT_TRUE(fs::exists(tmp_ / "cap.txt"));
}

TEST_F(ToolStandins, Eac3toKeepsTheEac3DelayInTheNameAndRecodes) {
  const std::string log = (tmp_ / "log.txt").string();
  Result r = RunTool({Tool("eac3to/eac3to"), Media("film.mkv").string(), "-log=" + log});
  ASSERT_EQ(r.code, 0) << r.out;
  EXPECT_NE(r.out.find("MKV, 1 video track, 1 audio track, 1 subtitle track, 0:00:01, 25p"), npos) << r.out;
  EXPECT_NE(r.out.find("2: E-AC3, English, "), npos) << r.out;
  EXPECT_NE(r.out.find("3: Subtitle (SRT), Spanish"), npos) << r.out;

  const fs::path eac3 = tmp_ / "Film.job_0.eac3";
  const fs::path srt = tmp_ / "Film.job_0.srt";
  r = RunTool({Tool("eac3to/eac3to"), Media("film.mkv").string(), "2:", eac3.string(), "3:", srt.string(),
               "-progressnumbers", "-log=" + log});
  ASSERT_EQ(r.code, 0) << r.out;
  EXPECT_FALSE(fs::exists(eac3));
  // The audio was muxed 120 ms late; the encoder's frame grid decides the exact start.
  const long delay = std::lround(LeadingDouble(ProbeField(Media("film.mkv"), "a:0", "start_time")) * 1000 -
                                 LeadingDouble(ProbeField(Media("film.mkv"), "v:0", "start_time")) * 1000);
  EXPECT_NEAR(delay, 120, 10);
  const fs::path delayed = tmp_ / Format("Film.job_0 DELAY %ldms.eac3", delay);
  ASSERT_TRUE(fs::exists(delayed));
  EXPECT_EQ(ProbeField(delayed, "a:0", "codec_name"), "eac3");
  EXPECT_NE(ReadAll(srt).find("Hello"), npos);

  // A recode applies the delay itself and honours -down16 / -down6.
  const fs::path flac = tmp_ / "Film.job_0.flac";
  r = RunTool({Tool("eac3to/eac3to"), Media("film.mkv").string(), "2:", flac.string(), "-down16", "-down6",
               "-log=" + log});
  ASSERT_EQ(r.code, 0) << r.out;
  EXPECT_EQ(ProbeField(flac, "a:0", "codec_name,sample_fmt"), "flac\ns16");
}

TEST_F(ToolStandins, Eac3toReadsDiscTitlesAndChapters) {
  // A real disc's playlists over clips that all point at the sample stream.
  const fs::path root = tmp_ / "DISC";
  fs::create_directories(root / "BDMV" / "STREAM");
  fs::copy(fs::path(DP_TESTDATA_DIR) / "mpls/bdpl/disc1/PLAYLIST", root / "BDMV" / "PLAYLIST");
  for (int clip = 0; clip <= 18; ++clip)
    fs::create_symlink(Media("clip.m2ts"), root / "BDMV" / "STREAM" / Format("%05d.m2ts", clip));

  const std::string log = (tmp_ / "log.txt").string();
  Result r = RunTool({Tool("eac3to/eac3to"), root.string(), "-log=" + log});
  ASSERT_EQ(r.code, 0) << r.out;
  const std::string listing = ReadAll(log);
  // The longest title first; a title of several clips names them on the next line.
  const std::size_t first = listing.find("\n1) ");
  ASSERT_NE(first, npos) << listing;
  const std::string_view title_line = Lines(std::string_view(listing).substr(first + 1))[0];
  EXPECT_EQ(title_line, "1) 00002.mpls, 1:21:06");
  const std::string_view clips = Lines(std::string_view(listing).substr(first + 1))[1];
  ASSERT_GT(clips.size(), 4u);
  EXPECT_EQ(clips.substr(4, clips.find(']') - 4), "00007+00008+00009+00010");
  EXPECT_NE(listing.find("\n2) 00007.mpls, 00015.m2ts, 0:11:23\r\n"), npos) << listing;

  // A chapter run on title 1, with the folder written the Windows way.
  const fs::path cap = tmp_ / "cap.txt";
  std::string windows_root = root.string();
  r = RunTool({Tool("eac3to/eac3to"), windows_root + "\\BDMV\\PLAYLIST\\00002.mpls", "1)", "1:", cap.string(),
               "-log=" + log});
  ASSERT_EQ(r.code, 0) << r.out;
  const std::string chapters = ReadAll(cap);
  EXPECT_NE(ReadAll(log).find("1: Chapters, 17 chapters\r\n"), npos);
  int times = 0;
  for (std::string_view line : Tokenize(chapters, "\n")) {
    ASSERT_TRUE(line.ends_with("\r")) << "chapter lines end in CRLF";
    if (line.find("NAME=") == npos) {
      ++times;
      EXPECT_EQ(line.size(), std::string("CHAPTER01=00:00:00.000\r").size()) << line;
    }
  }
  EXPECT_EQ(times, 17);

  // Title 8 (00000.mpls) plays clips 00000 and 00001: both are joined.
  const fs::path joined = tmp_ / "Movie.job_7.h264";
  r = RunTool({Tool("eac3to/eac3to"), root.string(), "8)", "2:", joined.string(), "-log=" + log});
  ASSERT_EQ(r.code, 0) << r.out;
  EXPECT_EQ(FrameCountFromLog(ReadAll(log)), 96);
  EXPECT_TRUE(chapters.starts_with("CHAPTER01=00:00:00.000\r\nCHAPTER01NAME="));
}

TEST_F(ToolStandins, Eac3toRefusesBadRequestsWithoutLeavingFiles) {
  const std::string log = (tmp_ / "log.txt").string();
  Result r = RunTool({Tool("eac3to/eac3to"), (tmp_ / "missing.m2ts").string(), "-log=" + log});
  EXPECT_NE(r.code, 0);
  EXPECT_NE(ReadAll(log).find("<ERROR>"), npos);

  const fs::path wrong = tmp_ / "wrong.ac3";
  r = RunTool({Tool("eac3to/eac3to"), Media("clip.m2ts").string(), "1:", wrong.string(), "-log=" + log});
  EXPECT_NE(r.code, 0);
  EXPECT_NE(r.out.find("<ERROR>"), npos) << r.out;
  EXPECT_FALSE(fs::exists(wrong));

  r = RunTool(
      {Tool("eac3to/eac3to"), Media("clip.m2ts").string(), "7:", (tmp_ / "x.sup").string(), "-log=" + log});
  EXPECT_NE(r.code, 0);
  // A chapter run on a lone stream file: track 1 is the video, so no chapter file.
  r = RunTool(
      {Tool("eac3to/eac3to"), Media("clip.m2ts").string(), "1:", (tmp_ / "cap.txt").string(), "-log=" + log});
  EXPECT_NE(r.code, 0);
  EXPECT_FALSE(fs::exists(tmp_ / "cap.txt"));
}

TEST_F(ToolStandins, TsMuxerBuildsAnAvchdTreeTheDemuxerCanReadBack) {
  const fs::path meta = tmp_ / "tsmuxer.job_1.meta";
  std::ofstream(meta) << "MUXOPT --no-pcr-on-video-pid --new-audio-pes --avchd --vbr "
                         "--custom-chapters=00:00:00.000;00:00:01.000 --vbv-len=500\n"
                      << "V_MPEG4/ISO/AVC, \"" << Media("clip.m2ts").string()
                      << "\", track=4113, fps=23.976\n"
                      << "A_AC3, \"" << Media("clip.m2ts").string()
                      << "\", timeshift=40ms, track=4352, lang=fre\n";
  const fs::path out = tmp_ / "OUT";
  const Result r = RunTool({Tool("tsMuxeR/1.10.6/tsMuxeR"), meta.string(), out.string()});
  ASSERT_EQ(r.code, 0) << r.out;
  // Progress as the monitor reads it: after the first line, "N.N% complete" lines ended by CRLF.
  const std::vector<std::string_view> lines = Lines(r.out);
  ASSERT_GE(lines.size(), 2u);
  double last = -1;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    if (!lines[i].ends_with("% complete")) continue;
    EXPECT_GE(LeadingDouble(lines[i]), last);
    last = LeadingDouble(lines[i]);
  }
  EXPECT_EQ(last, 100.0) << r.out;
  EXPECT_NE(r.out.find("% complete\r\n"), npos);

  const fs::path stream = out / "BDMV" / "STREAM" / "00000.m2ts";
  ASSERT_TRUE(fs::exists(stream));
  EXPECT_EQ(ProbeField(stream, "v:0", "codec_name,id"), "h264\n0x1011");
  EXPECT_EQ(ProbeField(stream, "a:0", "codec_name,id"), "ac3\n0x1100");
  for (const char* file : {"BDMV/PLAYLIST/00000.mpls", "BDMV/CLIPINF/00000.clpi", "BDMV/index.bdmv",
                           "BDMV/MovieObject.bdmv", "BDMV/BACKUP/PLAYLIST/00000.mpls"})
    EXPECT_TRUE(fs::exists(out / file)) << file;

  // Fields the program's own playlist reader takes at fixed offsets.
  const std::string mpls = ReadAll(out / "BDMV" / "PLAYLIST" / "00000.mpls");
  ASSERT_GT(mpls.size(), 118u);
  EXPECT_EQ(mpls.substr(70, 5), "00000");
  EXPECT_EQ(mpls[106], 1);
  EXPECT_EQ(mpls[107], 1);
  EXPECT_EQ(mpls[108], 0);

  const std::string log = (tmp_ / "log.txt").string();
  const Result listing = RunTool({Tool("eac3to/eac3to"), out.string(), "-log=" + log});
  ASSERT_EQ(listing.code, 0);
  EXPECT_NE(listing.out.find("1) 00000.mpls, 00000.m2ts, 0:00:02\r\n   - Chapters, 2 chapters\r\n"), npos)
      << listing.out;
  EXPECT_NE(listing.out.find("AC3, French"), npos) << listing.out;
}

TEST_F(ToolStandins, TsMuxerWritesAnIsoAndFailsOnBadControlFiles) {
  const fs::path video = tmp_ / "Movie.job_2.264";
  ASSERT_TRUE(
      Ffmpeg({"-i", Media("clip.m2ts").string(), "-map", "0:v", "-c", "copy", "-f", "h264", video.string()}));
  const fs::path meta = tmp_ / "tsmuxer.job_2.meta";
  std::ofstream(meta) << "MUXOPT --no-pcr-on-video-pid --new-audio-pes --blu-ray --label=\"My Film\" --vbr "
                         "--auto-chapters=5 --vbv-len=500 --right-eye --start-time=0\n"
                      << "V_MPEG4/ISO/MVC, \"" << video.string() << "\", forceSEI, contSPS, subTrack=1\n"
                      << "V_MPEG4/ISO/AVC, \"" << video.string() << "\", forceSEI, contSPS, subTrack=2\n";
  const fs::path iso = tmp_ / "out" / "MY FILM 2D+3D.ISO";
  fs::create_directories(iso.parent_path());
  Result r = RunTool({Tool("tsMuxeR/2.x/tsMuxeR"), meta.string(), iso.string()});
  if (r.code != 0 && RunTool({"sh", "-c", "command -v genisoimage"}).code != 0)
    GTEST_SKIP() << "genisoimage missing";
  ASSERT_EQ(r.code, 0) << r.out;
  const std::string image = ReadAll(iso);
  ASSERT_GT(image.size(), 32774u);
  EXPECT_EQ(image.substr(32769, 5), "CD001");
  EXPECT_NE(image.find("My Film"), npos);
  EXPECT_EQ(std::distance(fs::directory_iterator(iso.parent_path()), fs::directory_iterator()), 1)
      << "the staging tree is removed";

  // A missing input and a file without MUXOPT both fail with a message.
  std::ofstream(meta) << "MUXOPT --avchd\nV_MPEG4/ISO/AVC, \"" << (tmp_ / "none.264").string() << "\"\n";
  r = RunTool({Tool("tsMuxeR/1.10.6/tsMuxeR"), meta.string(), (tmp_ / "NOPE").string()});
  EXPECT_NE(r.code, 0);
  EXPECT_NE(r.out.find("none.264"), npos);
  std::ofstream(meta) << "V_MPEG4/ISO/AVC, \"" << video.string() << "\"\n";
  r = RunTool({Tool("tsMuxeR/1.10.6/tsMuxeR"), meta.string(), (tmp_ / "NOPE").string()});
  EXPECT_NE(r.code, 0);
  EXPECT_NE(r.out.find("MUXOPT"), npos);
}

TEST_F(ToolStandins, TsMuxerReadsMkvTracksByNumberAndConvertsAudio) {
  // Matroska track numbers count from 1; the E-AC-3 track is taken down to AC-3
  // and the text subtitle, which the stand-in can't render, is left out.
  const std::string mkv = Media("film.mkv").string();
  const fs::path meta = tmp_ / "tsmuxer.job_8.meta";
  std::ofstream(meta) << "MUXOPT --no-pcr-on-video-pid --new-audio-pes --avchd --vbr --auto-chapters=5 "
                         "--cut-end=0.60s --vbv-len=500\n"
                      << "V_MPEG4/ISO/AVC, \"" << mkv << "\", track=1, fps=25\n"
                      << "A_AC3, \"" << mkv << "\", down-to-ac3, track=2, lang=eng\n"
                      << "S_TEXT/UTF8, \"" << mkv
                      << "\", font-name=\"Arial\", font-size=65, track=3, lang=spa\n";
  const fs::path out = tmp_ / "MKVOUT";
  const Result r = RunTool({Tool("tsMuxeR/1.10.6/tsMuxeR"), meta.string(), out.string()});
  ASSERT_EQ(r.code, 0) << r.out;
  const fs::path stream = out / "BDMV" / "STREAM" / "00000.m2ts";
  EXPECT_EQ(ProbeField(stream, "v", "codec_name,id"), "h264\n0x1011");
  EXPECT_EQ(ProbeField(stream, "a", "codec_name,id"), "ac3\n0x1100");
  EXPECT_EQ(ProbeField(stream, "s", "codec_name"), "");
  // The cut keeps 0.6 s of the 1 s source: 15 frames at 25 fps.
  EXPECT_NEAR(LeadingInt(ProbeField(stream, "v:0", "nb_read_packets", {"-count_packets"})), 15, 1);
  // One automatic chapter at the start of a title shorter than five minutes.
  const std::string mpls = ReadAll(out / "BDMV" / "PLAYLIST" / "00000.mpls");
  const std::size_t marks = Be32At(mpls, 12);
  ASSERT_LT(marks + 6, mpls.size());
  EXPECT_EQ(Be16At(mpls, marks + 4), 1u);

  // A track number the file doesn't have fails the run.
  std::ofstream(meta, std::ios::trunc) << "MUXOPT --avchd\nV_MPEG4/ISO/AVC, \"" << mkv << "\", track=9\n";
  EXPECT_NE(RunTool({Tool("tsMuxeR/1.10.6/tsMuxeR"), meta.string(), (tmp_ / "BAD").string()}).code, 0);
}

// The frame count and picture size of a YUV4MPEG stream.
struct Y4m {
  int width = 0, height = 0, frames = 0;
};
Y4m ReadY4m(const std::string& data) {
  Y4m y;
  const std::string header = data.substr(0, data.find('\n'));
  if (!header.starts_with("YUV4MPEG2")) return y;
  for (std::string_view tok : Tokenize(header, " ")) {
    if (tok[0] == 'W') y.width = LeadingInt(tok.substr(1));
    if (tok[0] == 'H') y.height = LeadingInt(tok.substr(1));
  }
  const std::size_t frame = static_cast<std::size_t>(y.width) * static_cast<std::size_t>(y.height) * 3 / 2;
  for (std::size_t pos = header.size() + 1; data.compare(pos, 5, "FRAME") == 0;) {
    ++y.frames;
    pos = data.find('\n', pos) + 1 + frame;
  }
  return y;
}

TEST_F(ToolStandins, FeedersWriteTheFramesTheScriptsDescribe) {
  const fs::path video = tmp_ / "Movie.job_4.h264";
  ASSERT_TRUE(
      Ffmpeg({"-i", Media("clip.m2ts").string(), "-map", "0:v", "-c", "copy", "-f", "h264", video.string()}));
  // The x265 crop-and-resize script: 140 lines off the top and bottom, then 1280 wide.
  const fs::path avs = tmp_ / "Movie.job_4.avs";
  std::ofstream(avs) << "LoadPlugin(\"C:\\DiscPress\\MVCsource_x64.dll\")\n\nMVCsource(\"" << video.string()
                     << "\", \"\", 6, 0)\nCrop(0,140,0,-140)\nBicubicResize(1280,534)\n";
  Result r = RunTool({Tool("x265/avs2yuv"), avs.string(), "-"});
  ASSERT_EQ(r.code, 0);
  Y4m y = ReadY4m(r.out);
  EXPECT_EQ(y.width, 1280);
  EXPECT_EQ(y.height, 534);
  EXPECT_EQ(y.frames, 6);

  // Half top-and-bottom 3D: the picture keeps its size, both eyes stacked.
  const fs::path dependent = tmp_ / "Movie.job_4.mvc.h264";
  fs::copy_file(video, dependent);
  std::ofstream(avs, std::ios::trunc)
      << "LoadPlugin(\"MVCsource.dll\")\n\nInterleaved = MVCsource(\"" << video.string() << "\", \""
      << dependent.string()
      << "\", 4, -2)\n\nRight = SelectOdd(Interleaved)\nLeft = SelectEven(Interleaved)\n\n"
      << "return StackVertical(VerticalReduceBy2(Left), VerticalReduceBy2(Right))\n";
  r = RunTool({Tool("x265/avs2yuv_x64"), avs.string(), "-"});
  ASSERT_EQ(r.code, 0);
  y = ReadY4m(r.out);
  EXPECT_EQ(y.width, 1920);
  EXPECT_EQ(y.height, 1080);
  EXPECT_EQ(y.frames, 4);

  // Side by side with burned-in forced captions (the stream is filtered first).
  const fs::path sup = fs::path(DP_TESTDATA_DIR) / "sup/subtile/only_one.sup";
  std::ofstream(avs, std::ios::trunc)
      << "LoadPlugin(\"MVCsource.dll\")\nLoadPlugin(\"SupTitle.dll\")\n\nInterleaved = MVCsource(\""
      << video.string() << "\", \"" << dependent.string()
      << "\", 2, 2)\n\nRight = SelectOdd(Interleaved).SupTitle(\"" << sup.string()
      << "\", forcedOnly=true, swapCbCr=false, relocate=false)\nLeft = SelectEven(Interleaved)"
      << ".SupTitle(\"" << sup.string() << "\", forcedOnly=true, swapCbCr=false, relocate=false)\n\n"
      << "return StackHorizontal(HorizontalReduceBy2(Left), HorizontalReduceBy2(Right))\n";
  r = RunTool({Tool("x265/avs2yuv"), avs.string(), "-"});
  ASSERT_EQ(r.code, 0);
  y = ReadY4m(r.out);
  EXPECT_EQ(y.width, 1920);
  EXPECT_EQ(y.frames, 2);

  r = RunTool({Tool("MVCdec"), video.string(), "", "5", "0", "-"});
  ASSERT_EQ(r.code, 0);
  y = ReadY4m(r.out);
  EXPECT_EQ(y.frames, 5);
  EXPECT_EQ(y.width, 1920);

  EXPECT_NE(RunTool({Tool("MVCdec_x64"), (tmp_ / "none.h264").string(), "", "5", "0", "-"}).code, 0);
  std::ofstream(avs, std::ios::trunc) << "BlankClip()\n";
  EXPECT_NE(RunTool({Tool("x265/avs2yuv"), avs.string(), "-"}).code, 0);
}

TEST_F(ToolStandins, MvcEncoderWritesTheStreamAndTitleProgress) {
  const fs::path base = tmp_ / "Movie.job_5.avc.h264";
  ASSERT_TRUE(
      Ffmpeg({"-i", Media("clip.m2ts").string(), "-map", "0:v", "-c", "copy", "-f", "h264", base.string()}));
  const fs::path dependent = tmp_ / "Movie.job_5.mvc.h264";
  fs::copy_file(base, dependent);
  const fs::path out = tmp_ / "Movie.job_5.264";
  Result r = RunTool(
      {Tool("MVCenc"), base.string(), dependent.string(), "12", out.string(), "8000", "7", "25000", "25000"});
  ASSERT_EQ(r.code, 0);
  EXPECT_EQ(ProbeField(out, "v:0", "nb_read_packets", {"-count_packets"}), "12");
  // Lines that make a console title the monitor reads: "M", then "[N.N%]".
  const std::vector<std::string_view> lines = Lines(r.out);
  ASSERT_FALSE(lines.empty());
  const std::string_view last = lines.back();
  EXPECT_TRUE(last.starts_with("MVCenc [100.0%]")) << last;

  fs::remove(dependent);
  r = RunTool({Tool("MVCenc_x64"), base.string(), dependent.string(), "12", (tmp_ / "x.264").string(), "8000",
               "4", "60000", "30000"});
  EXPECT_NE(r.code, 0);
  EXPECT_FALSE(fs::exists(tmp_ / "x.264"));
}

// PGS segments: type and payload.
struct Segment {
  std::uint8_t type;
  std::string payload;
};
std::vector<Segment> ReadSegments(const std::string& b) {
  std::vector<Segment> out;
  for (std::size_t pos = 0; pos + 13 <= b.size() && b[pos] == 'P' && b[pos + 1] == 'G';) {
    const std::size_t size =
        (static_cast<unsigned char>(b[pos + 11]) << 8) | static_cast<unsigned char>(b[pos + 12]);
    out.push_back({static_cast<std::uint8_t>(b[pos + 10]), b.substr(pos + 13, size)});
    pos += 13 + size;
  }
  return out;
}

TEST_F(ToolStandins, BdSup2SubCropsAndRescalesIntoTheNewFrame) {
  const fs::path input = fs::path(DP_TESTDATA_DIR) / "sup/pgs4net/sintel-en.sup";
  const fs::path out = tmp_ / "Movie.job_6.resized.sup";
  // The Java form of the command line (a leading "-jar" pair) and the direct form both work.
  Result r =
      RunTool({Tool("BDSup2Sub/BDSup2Sub"), "-jar", "C:\\DiscPress\\BDSup2Sub\\BDSup2Sub.jar", "-T", "keep",
               "-c", "140", "-r", "720p", "-f", "lanczos3", "-o", out.string(), input.string()});
  ASSERT_EQ(r.code, 0);
  const std::vector<Segment> before = ReadSegments(ReadAll(input));
  const std::vector<Segment> after = ReadSegments(ReadAll(out));
  auto count = [](const std::vector<Segment>& v, std::uint8_t type) {
    return std::count_if(v.begin(), v.end(), [type](const Segment& s) { return s.type == type; });
  };
  ASSERT_GT(count(before, 0x16), 0);
  EXPECT_EQ(count(after, 0x16), count(before, 0x16));
  EXPECT_EQ(count(after, 0x80), count(before, 0x80));
  for (const Segment& s : after) {
    if (s.type == 0x16) {
      EXPECT_EQ(Be16At(s.payload, 0), 1280u);
      EXPECT_EQ(Be16At(s.payload, 2), 720u);
    } else if (s.type == 0x17) {
      for (std::size_t w = 0, pos = 1; w < static_cast<unsigned char>(s.payload[0]); ++w, pos += 9) {
        EXPECT_LE(Be16At(s.payload, pos + 1) + Be16At(s.payload, pos + 5), 1280u);
        EXPECT_LE(Be16At(s.payload, pos + 3) + Be16At(s.payload, pos + 7), 720u);
      }
    } else if (s.type == 0x15 && (s.payload[3] & 0x80)) {
      EXPECT_LE(Be16At(s.payload, 7), 1280u);
      EXPECT_LE(Be16At(s.payload, 9), 720u);
    }
  }
  // An independent decoder renders every caption inside the new frame.
  EXPECT_TRUE(Ffmpeg({"-i", out.string(), "-c:s", "dvdsub", "-f", "null", "-"}));

  // Cropping alone keeps the width and takes the band from the height.
  const fs::path cropped = tmp_ / "cropped.sup";
  r = RunTool(
      {Tool("BDSup2Sub/BDSup2Sub"), "-T", "keep", "-c", "140", "-o", cropped.string(), input.string()});
  ASSERT_EQ(r.code, 0);
  for (const Segment& s : ReadSegments(ReadAll(cropped))) {
    if (s.type != 0x16) continue;
    EXPECT_EQ(Be16At(s.payload, 0), 1920u);
    EXPECT_EQ(Be16At(s.payload, 2), 800u);
  }

  r = RunTool({Tool("BDSup2Sub/BDSup2Sub"), "-T", "keep", "-o", (tmp_ / "x.sup").string(),
               (tmp_ / "missing.sup").string()});
  EXPECT_NE(r.code, 0);
  EXPECT_FALSE(fs::exists(tmp_ / "x.sup"));
}

}  // namespace
}  // namespace dp
