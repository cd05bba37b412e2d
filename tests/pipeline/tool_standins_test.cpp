// The stand-ins for the outside tools, run as the pipeline runs them: by path
// below the build's tools folder, with the argv their command lines split
// into. Sample media are made with ffmpeg when a test first asks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "pipeline/video_steps.h"
#include "support/files.h"
#include "support/media_gen.h"
#include "support/temp_dir.h"
#include "util/text.h"

namespace dp {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;
using test::ProgramResult;
using test::ReadText;

// Runs the stand-in at `rel` below the build's tools folder.
ProgramResult Tool(const std::string& rel, Args args) {
  args.insert(args.begin(), std::string(DP_TOOLS_BUILD_DIR) + "/" + rel);
  return test::RunProgram(args);
}

// ffprobe's values of the chosen stream's entries, one per line. A transport
// stream lists its streams a second time under its program; those are skipped.
std::string Probe(const fs::path& file, const std::string& stream, const std::string& entries) {
  Args argv = {"ffprobe", "-v", "error"};
  if (entries.find("nb_read_packets") != npos) argv.push_back("-count_packets");
  argv.insert(argv.end(), {"-select_streams", stream, "-show_entries", "stream=" + entries, "-of", "flat",
                           file.string()});
  const std::string out = test::RunProgram(argv).out;
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

std::vector<std::string_view> Lines(std::string_view text) { return Tokenize(text, "\r\n"); }

// Progress as the monitor reads it: the number after `prefix` on each line
// that ends in `end`, never going back; the last one.
double LastProgress(const std::string& out, std::string_view prefix, std::string_view end) {
  double last = -1;
  for (std::string_view line : Lines(out)) {
    if (!line.starts_with(prefix) || !line.ends_with(end)) continue;
    EXPECT_GE(LeadingDouble(line.substr(prefix.size())), last) << line;
    last = LeadingDouble(line.substr(prefix.size()));
  }
  return last;
}

class ToolStandins : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { media_ = std::make_unique<test::TempDir>(); }
  static void TearDownTestSuite() { media_.reset(); }

  // Sample media (ctest runs each test in its own process):
  //   clip.m2ts  Blu-ray style: H.264 on PID 0x1011, AC-3 on 0x1100, 48 frames
  //   clip.h264  its video as a raw stream; 3d.m2ts: a second video on 0x1012
  //   film.mkv   H.264, E-AC-3 muxed 120 ms late, SubRip text, two chapters
  static std::string Media(const std::string& name) {
    const fs::path dir = media_->path();
    const fs::path file = dir / name;
    if (fs::exists(file)) return file.string();
    bool ok = false;
    if (name == "clip.m2ts") {
      ok = test::MakeBlurayClip(file, 2, "1920x1080");
    } else if (name == "clip.h264") {
      ok = test::Ffmpeg("-i", {Media("clip.m2ts"), "-map", "0:v", "-c", "copy", "-f", "h264", file.string()});
    } else if (name == "3d.m2ts") {
      ok = test::Ffmpeg(
          "-f lavfi -i testsrc2=size=320x240:rate=24 -f lavfi -i testsrc=size=320x240:rate=24 -t 1 "
          "-map 0 -map 1 -c:v libx264 -preset ultrafast -f mpegts -mpegts_m2ts_mode 1 -muxrate 4M "
          "-streamid 0:0x1011 -streamid 1:0x1012",
          {file.string()});
    } else if (name == "film.mkv") {
      std::ofstream(dir / "subs.srt") << "1\n00:00:00,200 --> 00:00:00,800\nHello\n\n";
      std::ofstream(dir / "chapters.txt")
          << ";FFMETADATA1\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=500\ntitle=One\n"
             "[CHAPTER]\nTIMEBASE=1/1000\nSTART=500\nEND=1000\ntitle=Two\n";
      // The folder's name has no blank.
      ok = test::Ffmpeg(
          "-f lavfi -i testsrc2=size=640x360:rate=25 -itsoffset 0.12 -f lavfi -i "
          "sine=sample_rate=48000 -i " +
              (dir / "subs.srt").string() + " -i " + (dir / "chapters.txt").string() +
              " -map 0:v -map 1:a -map 2:s -map_chapters 3 -t 1 -c:v libx264 -preset ultrafast "
              "-c:a eac3 -c:s srt -metadata:s:a language=eng -metadata:s:s language=spa",
          {file.string()});
    }
    if (!ok) ADD_FAILURE() << "ffmpeg could not make " << name;
    return file.string();
  }

  std::string Tmp(const std::string& name) const { return (tmp_ / name).string(); }
  std::string Log() const { return "-log=" + Tmp("log.txt"); }
  std::string LogText() const { return ReadText(Tmp("log.txt")); }
  std::int32_t Frames() const { return ReadEac3toFrameCount(Tmp("log.txt")).value_or(-1); }

  test::TempDir tmp_;
  static std::unique_ptr<test::TempDir> media_;
};

std::unique_ptr<test::TempDir> ToolStandins::media_;

// Stand-in runs as the pipeline makes them, in order (later runs read what
// earlier ones wrote). `said`: '|'-separated texts in the output or the log,
// '!' first: in neither. `probes`: "<file> <stream> <entries>=<ffprobe's
// values>" or a file that must be there. `frames`: the log's frame count.
// `progress`: "<prefix>|<suffix>" of the monitor's lines, rising to 100.
TEST_F(ToolStandins, RunsAsThePipelineRunsThem) {
  const fs::path disc = tmp_ / "DISC";
  // A real disc's playlists over clips that all point at the sample stream.
  fs::create_directories(disc / "BDMV" / "STREAM");
  fs::copy(fs::path(DP_TESTDATA_DIR) / "mpls/bdpl/disc1/PLAYLIST", disc / "BDMV" / "PLAYLIST");
  // The same playlists over a stream of two views make a 3D disc.
  const fs::path disc3d = tmp_ / "DISC3D";
  fs::create_directories(disc3d / "BDMV" / "STREAM");
  fs::copy(disc / "BDMV" / "PLAYLIST", disc3d / "BDMV" / "PLAYLIST");
  for (int n = 0; n <= 18; ++n) {
    fs::create_symlink(Media("clip.m2ts"), disc / "BDMV" / "STREAM" / Format("%05d.m2ts", n));
    fs::create_symlink(Media("3d.m2ts"), disc3d / "BDMV" / "STREAM" / Format("%05d.m2ts", n));
  }
  std::ofstream(Tmp("avchd.meta")) << "MUXOPT --no-pcr-on-video-pid --new-audio-pes --avchd --vbr "
                                      "--custom-chapters=00:00:00.000;00:00:01.000 --vbv-len=500\n"
                                   << "V_MPEG4/ISO/AVC, \"" << Media("clip.m2ts")
                                   << "\", track=4113, fps=23.976\n"
                                   << "A_AC3, \"" << Media("clip.m2ts")
                                   << "\", timeshift=40ms, track=4352, lang=fre\n";
  // Matroska track numbers count from 1; the E-AC-3 track is taken down to
  // AC-3 and the text subtitle is rendered to PGS.
  const std::string film = Media("film.mkv");
  std::ofstream(Tmp("mkv.meta"))
      << "MUXOPT --no-pcr-on-video-pid --new-audio-pes --avchd --vbr --auto-chapters=5 "
         "--cut-end=0.60s --vbv-len=500\n"
      << "V_MPEG4/ISO/AVC, \"" << film << "\", track=1, fps=25\n"
      << "A_AC3, \"" << film << "\", down-to-ac3, track=2, lang=eng\n"
      << "S_TEXT/UTF8, \"" << film << "\", font-name=\"Arial\", font-size=65, track=3, lang=spa\n";
  // clang-format off
  const struct {
    const char *what, *tool, *args, *said, *probes;
    int frames;
    const char* progress;
  } runs[] = {
      {"a stream file's listing: no chapter track", "eac3to/eac3to", "{clip} {log}",
       "\r\nM2TS, 1 video track, 1 audio track, 0:00:02, 24p /1.001\r\n|"
       "\r\n1: h264/AVC, 1080p24 /1.001 (16:9)\r\n|\r\n2: AC3, |!\r\n\r\n|!Chapters", "", -1, ""},
      {"the pipeline's demux form: tracks, a recode bitrate, progress numbers", "eac3to/eac3to",
       "{clip} 1: {T}/M.job_3.h264 2: {T}/M.job_3.ac3 -448 -progressnumbers {log}", "",
       "M.job_3.h264 v:0 nb_read_packets=48|M.job_3.ac3 a:0 bit_rate=448000", 48, "process: |%"},
      {"a real DTS-HD track: its layout and its core", "eac3to/eac3to", "{dts} {log}",
       "\r\n2: DTS Master Audio, English, 6.1 channels, 24 bits, 48kHz\r\n   (core: DTS, 6.1 channels, 1509kbps, 48kHz)\r\n",
       "", -1, ""},
      {"a 3D source: only the second view is the right eye", "eac3to/eac3to", "{3d} 1: {T}/x.avc.h264 2: {T}/x.mvc.h264 {log}",
       "\r\n1: h264/AVC, 240p24 (4:3)\r\n2: h264/MVC, 240p24 (4:3) (right eye)\r\n",
       "x.avc.h264 v:0 nb_read_packets=24|x.mvc.h264 v:0 nb_read_packets=24", 24, ""},
      {"a recode applies the delay itself and honours -down16 / -down6", "eac3to/eac3to",
       "{film} 2: {T}/Film.job_0.flac -down16 -down6 {log}", "", "Film.job_0.flac a:0 codec_name,sample_fmt=flac\ns16", -1, ""},
      {"a disc's titles: the longest first, one of several clips names them", "eac3to/eac3to", "{T}/DISC {log}",
       "\n1) 00002.mpls, 1:21:06\r\n   [7+8+9+10].m2ts\r\n|\n2) 00007.mpls, 00015.m2ts, 0:11:23\r\n", "", -1, ""},
      {"a chapter run on title 1, the folder written the Windows way", "eac3to/eac3to",
       "{T}/DISC\\BDMV\\PLAYLIST\\00002.mpls 1) 1: {T}/cap.txt {log}", "1: Chapters, 17 chapters\r\n", "", -1, ""},
      {"a 3D title's chapter run: the log names the right eye", "eac3to/eac3to", "{T}/DISC3D 2) 1: {T}/cap3d.txt {log}",
       "\r\n1: Chapters, |(right eye)\r\n", "cap3d.txt", -1, ""},
      {"title 8 (00000.mpls) plays clips 00000 and 00001: both are joined", "eac3to/eac3to",
       "{T}/DISC 8) 2: {T}/Movie.job_7.h264 {log}", "", "", 96, ""},
      {"an AVCHD tree", "tsMuxeR/1.10.6/tsMuxeR", "{T}/avchd.meta {T}/OUT", "% complete\r\n", "", -1, "|% complete"},
      {"Matroska tracks by number", "tsMuxeR/1.10.6/tsMuxeR", "{T}/mkv.meta {T}/MKVOUT", "",
       "MKVOUT/BDMV/STREAM/00000.m2ts v codec_name,id=h264\n0x1011|MKVOUT/BDMV/STREAM/00000.m2ts a codec_name,id=ac3\n0x1100|"
       "MKVOUT/BDMV/STREAM/00000.m2ts s codec_name,id=hdmv_pgs_subtitle\n0x1200", -1, ""},
  };
  // clang-format on
  const std::pair<std::string, std::string> names[] = {
      {"{T}", tmp_.path().string()},
      {"{log}", Log()},
      {"{clip}", Media("clip.m2ts")},
      {"{3d}", Media("3d.m2ts")},
      {"{dts}", DP_TESTDATA_DIR "/ts/mp-mediainfo/Test_H264_DTS2.m2ts"},
      {"{film}", film}};
  for (const auto& c : runs) {
    SCOPED_TRACE(c.what);
    Args args;
    for (std::string_view word : Tokenize(c.args, " ")) {
      std::string a(word);
      for (const auto& [name, value] : names)
        if (const auto at = a.find(name); at != npos) a.replace(at, name.size(), value);
      args.push_back(a);
    }
    fs::remove(Tmp("log.txt"));
    const ProgramResult r = Tool(c.tool, args);
    ASSERT_EQ(r.code, 0) << r.out;
    const std::string text = r.out + LogText();
    for (std::string_view t : Tokenize(c.said, "|"))
      EXPECT_EQ(text.find(t.substr(t.starts_with('!'))) == npos, t.starts_with('!')) << t << " in:\n" << text;
    for (std::string_view probe : Tokenize(c.probes, "|")) {
      const std::vector<std::string_view> w = Tokenize(probe, " ");
      const std::size_t eq = w.size() == 3 ? w[2].find('=') : npos;
      if (eq == npos)
        EXPECT_TRUE(fs::exists(tmp_ / std::string(probe))) << probe;
      else
        EXPECT_EQ(Probe(tmp_ / std::string(w[0]), std::string(w[1]), std::string(w[2].substr(0, eq))),
                  w[2].substr(eq + 1));
    }
    EXPECT_EQ(c.frames < 0 ? c.frames : Frames(), c.frames);
    const std::string_view progress = c.progress, prefix = progress.substr(0, progress.find('|'));
    EXPECT_EQ(progress.empty() ? 100 : LastProgress(r.out, prefix, progress.substr(prefix.size() + 1)), 100);
  }

  // 17 chapter times and 17 names; every line ends in CRLF.
  const std::string chapters = ReadText(Tmp("cap.txt"));
  EXPECT_TRUE(chapters.starts_with("CHAPTER01=00:00:00.000\r\nCHAPTER01NAME="));
  EXPECT_EQ(Lines(chapters).size(), 34u);
  EXPECT_EQ(std::count(chapters.begin(), chapters.end(), '\n'),
            std::count(chapters.begin(), chapters.end(), '\r'));
  // The cut keeps 0.6 s of the 1 s Matroska source: 15 frames at 25 fps; one
  // automatic chapter at the start of a title shorter than five minutes.
  EXPECT_NEAR(LeadingInt(Probe(tmp_ / "MKVOUT/BDMV/STREAM/00000.m2ts", "v:0", "nb_read_packets")), 15, 1);
  const std::string mpls = ReadText(Tmp("MKVOUT/BDMV/PLAYLIST/00000.mpls"));
  const std::size_t marks = (std::size_t{Be16At(mpls, 12)} << 16) | Be16At(mpls, 14);
  ASSERT_LT(marks + 6, mpls.size());
  EXPECT_EQ(Be16At(mpls, marks + 4), 1u);
}

// What each feeder writes, read back by ffprobe as width, height and frame count.
TEST_F(ToolStandins, FeedersWriteTheFramesTheScriptsDescribe) {
  const std::string video = Media("clip.h264"), dependent = Tmp("Movie.job_4.mvc.h264");
  fs::copy_file(video, dependent);
  const std::string captions =
      ".SupTitle(\"" + std::string(DP_TESTDATA_DIR) +
      "/sup/subtile/only_one.sup\", forcedOnly=true, swapCbCr=false, relocate=false)";
  const std::string cropped = "LoadPlugin(\"C:\\DiscPress\\MVCsource_x64.dll\")\n\nMVCsource(\"" + video +
                              "\", \"\", 6, 0)\nCrop(0,140,0,-140)\nBicubicResize(1280,534)\n";
  const std::string side_by_side =
      "LoadPlugin(\"MVCsource.dll\")\nLoadPlugin(\"SupTitle.dll\")\n\nInterleaved = MVCsource(\"" + video +
      "\", \"" + dependent + "\", 2, 2)\n\nRight = SelectOdd(Interleaved)" + captions +
      "\nLeft = SelectEven(Interleaved)" + captions +
      "\n\nreturn StackHorizontal(HorizontalReduceBy2(Left), HorizontalReduceBy2(Right))\n";
  const std::pair<std::string, const char*> scripts[] = {{cropped, "1280\n534\n6"},
                                                         {side_by_side, "1920\n1080\n2"}};
  for (const auto& [script, y4m] : scripts) {
    std::ofstream(Tmp("Movie.job_4.avs")) << script;
    const ProgramResult r = Tool("x265/avs2yuv", {Tmp("Movie.job_4.avs"), "-"});
    std::ofstream(Tmp("out.y4m"), std::ios::binary) << r.out;
    EXPECT_EQ(Probe(Tmp("out.y4m"), "v:0", "width,height,nb_read_packets"), y4m) << script;
  }
}

// Each event of a SubRip file (BOM, CRLF, out of order) becomes a picture on
// the disc's PGS stream from its start (within a frame of the video's clock),
// cleared at its end unless the next one follows at once.
TEST_F(ToolStandins, MuxerRendersTextSubtitlesToPgs) {
  std::ofstream(Tmp("s.srt"), std::ios::binary)
      << "\xEF\xBB\xBF"
         "2\r\n00:00:01,000 --> 00:00:01,500\r\n<i>Two</i>\r\nlines\r\n\r\n"
         "1\r\n00:00:00,250 --> 00:00:00,750\r\nOne\r\n\r\n3\r\n00:00:01,500 --> 00:00:01,900\r\nThree\r\n";
  std::ofstream(Tmp("s.meta")) << "MUXOPT --blu-ray\nV_MPEG4/ISO/AVC, \"" << Media("clip.h264")
                               << "\", fps=23.976\n"
                               << "S_TEXT/UTF8, \"" << Tmp("s.srt")
                               << "\", font-name=\"Arial\", font-size=48, font-color=0x00ffffff, "
                                  "bottom-offset=24, font-border=2, text-align=center, video-width=1920, "
                                  "video-height=1080, fps=23.976, lang=eng\n";
  const ProgramResult r = Tool("tsMuxeR/2.x/tsMuxeR", {Tmp("s.meta"), Tmp("OUT")});
  ASSERT_EQ(r.code, 0) << r.out;
  const fs::path m2ts = tmp_ / "OUT/BDMV/STREAM/00000.m2ts";
  const double origin = LeadingDouble(Probe(m2ts, "v", "start_time"));
  // ffprobe decodes every display set: "subtitle,<pts>,<seconds>,...,<pictures>".
  const std::string sets =
      test::RunProgram({"ffprobe", "-v", "error", "-select_streams", "s", "-show_frames", "-show_entries",
                        "frame=pts_time,num_rects", "-of", "csv=p=0", m2ts.string()})
          .out;
  const std::vector<std::string_view> got = Lines(sets);
  const std::pair<double, char> want[] = {{0.25, '1'}, {0.75, '0'}, {1.0, '1'}, {1.5, '1'}, {1.9, '0'}};
  ASSERT_EQ(got.size(), std::size(want)) << sets;
  for (std::size_t i = 0; i < got.size(); ++i) {
    EXPECT_NEAR(LeadingDouble(Tokenize(got[i], ",").at(2)) - origin, want[i].first, 1 / 24.0) << got[i];
    EXPECT_EQ(got[i].back(), want[i].second) << got[i];
  }
  EXPECT_EQ(std::count_if(fs::directory_iterator(tmp_.path()), {},
                          [](const auto& e) { return e.path().string().find(".standin-") != npos; }),
            0);
}

// Requests a stand-in cannot serve fail, with the words shown in its output or
// log, and leave no output behind.
TEST_F(ToolStandins, RequestsTheyCannotServeFail) {
  const std::string clip = Media("clip.m2ts");
  // clang-format off
  const struct {
    const char* tool;
    Args args;
    const char* said;    // in the output or the log
    const char* unmade;  // a file that must not appear
  } cases[] = {
      {"eac3to/eac3to", {Tmp("missing.m2ts"), Log()}, "<ERROR>", ""},
      {"eac3to/eac3to", {clip, "1:", Tmp("cap.txt"), Log()}, "Track 1 is not a chapter track. <ERROR>", "cap.txt"},
      {"eac3to/eac3to", {tmp_.path().string(), Log()}, "doesn't contain a Blu-ray structure. <ERROR>", ""},
      {"eac3to/eac3to", {Tmp("bad.srt.mpls"), Log()}, "can't be parsed. <ERROR>", ""},
      {"tsMuxeR/2.x/tsMuxeR", {Tmp("text.meta"), Tmp("TEXT")}, "Line 6: \"00:00:01 --> 00:00:02\" is not",
       "TEXT/BDMV/STREAM/00000.m2ts"},
  };
  // clang-format on
  std::ofstream(Tmp("bad.srt")) << "1\n00:00:00,500 --> 00:00:01,000\nOne\n\n2\n00:00:01 --> 00:00:02\nTwo\n";
  std::ofstream(Tmp("text.meta")) << "MUXOPT --avchd\nV_MPEG4/ISO/AVC, \"" << clip << "\", track=4113\n"
                                  << "S_TEXT/UTF8, \"" << Tmp("bad.srt") << "\", font-name=\"Arial\"\n";
  fs::copy_file(Tmp("bad.srt"), Tmp("bad.srt.mpls"));
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.tool) + " " + c.args.front());
    fs::remove(Tmp("log.txt"));
    const ProgramResult r = Tool(c.tool, c.args);
    EXPECT_NE(r.code, 0);
    EXPECT_NE((r.out + LogText()).find(c.said), npos) << r.out;
    EXPECT_FALSE(*c.unmade && fs::exists(Tmp(c.unmade))) << c.unmade;
  }
}

}  // namespace
}  // namespace dp
