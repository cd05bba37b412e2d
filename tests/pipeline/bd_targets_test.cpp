// Disc targets through whole jobs: the real worker with Debian's x264 and the
// muxer stand-in, each tree then opened as players open it, with libbluray
// (its own tools and ffmpeg's "bluray:" input). Remuxes of one 1080p source
// carrying every audio codec a disc takes and a real PGS stream, and an
// encoded AVCHD of a 720p50 source.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/prompter.h"
#include "pipeline/worker.h"
#include "platform/store.h"
#include "queue/queue_control.h"
#include "support/files.h"
#include "support/media_gen.h"
#include "support/run_doubles.h"
#include "support/temp_dir.h"
#include "util/text.h"

namespace dp {
namespace {

namespace fs = std::filesystem;
using test::RunProgram;

// ffmpeg's "bluray:" input lists only playlists of three minutes or more.
constexpr double kSeconds = 181;

struct QuietFrontend : QueueFrontend {
  void QueueChanged() override {}
  void RunStateChanged(bool) override {}
  void ResetProgress() override {}
  void StepStarted(std::string_view) override {}
};

std::vector<std::string> Words(std::string_view text) {
  std::vector<std::string> words;
  for (std::string_view w : Tokenize(text, " ")) words.emplace_back(w);
  return words;
}

// A source of kSeconds: two seconds of encoded picture repeated (cheap to
// make and to decode), with the `audio` options (inputs, maps, codecs) after
// the video. One-second GOPs, as Blu-ray encodes have.
bool MakeSource(const fs::path& file, const std::string& picture, const std::string& audio) {
  const fs::path segment = file.string() + ".segment.ts";
  if (!test::Ffmpeg(Words("-f lavfi -i " + picture +
                          " -t 2 -c:v libx264 -preset ultrafast -crf 51 -g 25 -f mpegts " +
                          segment.string())))
    return false;
  const bool ok = test::Ffmpeg(
      Words("-stream_loop 90 -i " + segment.string() + " " + audio + " -t " + test::SecondsText(kSeconds) +
            " -c:v copy -f mpegts -mpegts_m2ts_mode 1 -streamid 0:0x1011 " + file.string()));
  std::error_code ec;
  fs::remove(segment, ec);
  return ok;
}

struct Case {
  const char* name;
  bool hd;  // the 1080p source (remux), else the 720p50 one (encoded)
  std::int32_t target;
  int audio_pid;
  const char* audio_codec_id;
  bool pgs;
  const char* streams;  // as ffprobe lists the playlist's program: codec, PID
};

class BdTargets : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    media_ = std::make_unique<test::TempDir>();
    const std::string sup = std::string(DP_TESTDATA_DIR) + "/sup/pgs4net/sintel-en.sup";
    // H.264 1080p23.976 on 0x1011, AC-3, E-AC-3, DTS and LPCM on 0x1100 to
    // 0x1103, and the captions of a real PGS stream on 0x1200.
    ASSERT_TRUE(
        MakeSource(Hd(), "testsrc2=size=1920x1080:rate=24000/1001",
                   "-f lavfi -i sine=sample_rate=48000 -i " + sup +
                       " -map 0:v -map 1:a -map 1:a -map 1:a -map 1:a -map 2:s -c:a:0 ac3 -b:a:0 192k "
                       "-c:a:1 eac3 -b:a:1 192k -c:a:2 dca -strict -2 -b:a:2 768k -c:a:3 pcm_bluray -c:s "
                       "copy -streamid 1:0x1100 -streamid 2:0x1101 -streamid 3:0x1102 -streamid 4:0x1103 "
                       "-streamid 5:0x1200"));
    ASSERT_TRUE(
        MakeSource(Sd(), "testsrc2=size=1280x720:rate=50",
                   "-f lavfi -i sine=sample_rate=48000 -map 0:v -map 1:a -c:a ac3 -b:a 192k -streamid "
                   "1:0x1100"));
    ::setenv("DISCPRESS_TOOLS_DIR", DP_TOOLS_BUILD_DIR, 1);
  }
  static void TearDownTestSuite() { media_.reset(); }
  static fs::path Hd() { return media_->path() / "hd.m2ts"; }
  static fs::path Sd() { return media_->path() / "sd.m2ts"; }

  void SetUp() override {
    fs::create_directories(dir_.path() / "temp");
    CopyText(settings_.TempPath, (dir_.path() / "temp").string());
    CopyText(settings_.OutPath, dir_.path().string());
    run_state_.is_64bit = true;
    control_ =
        std::make_unique<QueueControl>(*store_, queue_, run_state_, settings_, frontend_, power_, prompter_);
    runner_ = std::make_unique<PipelineRunner>(*control_, queue_, run_state_, settings_, frontend_);
    control_->set_runner(runner_.get());
  }
  void TearDown() override { control_->Shutdown(); }

  // A record as job creation fills it for the case's source and streams.
  JobRecord Job(const Case& c, int slot) const {
    JobRecord j = EmptyJob();
    j.status = kStatusPending;
    j.target_media = c.target;
    j.video_track_id = 0x1011;
    j.video_eac3to_track = 1;
    j.audio_track_id = c.audio_pid;
    j.audio_eac3to_track = static_cast<std::int8_t>(c.audio_pid - 0x1100 + 2);
    CopyText(j.video_codec, "AVC");
    CopyText(j.audio_codec_id, c.audio_codec_id);
    CopyText(j.audio_language, "eng");
    CopyText(j.x264_preset, "ultrafast");
    CopyText(j.playlist_name, "00000.mpls");
    CopyText(j.chapters, "00:00:00.000;00:01:00.000");
    CopyText(j.output_name, Format("Disc %d", slot));
    CopyText(j.output_path, Output(slot).string());
    if (c.hd) {
      j.video_untouched = 1;
      j.video_rate = 1;
      j.frame_count = 4340;
      CopyText(j.source_path, Hd().string());
      CopyText(j.fps_fraction, "24000/1001");
      CopyText(j.fps_text, "23.976");
      j.output_width = 1920;
      j.output_height = 1080;
    } else {
      // A small picture keeps the encode quick.
      j.video_rate = 30;
      j.frame_count = 9050;
      CopyText(j.source_path, Sd().string());
      CopyText(j.fps_fraction, "50/1");
      CopyText(j.fps_text, "50.000");
      CopyText(j.video_filter, " --vf \"resize:640,360\"");
      j.output_width = 640;
      j.output_height = 360;
    }
    if (c.pgs) {
      j.subtitle_mode = 1;
      j.subtitle_track_id = 0x1200;
      j.subtitle_eac3to_track = 7;
      CopyText(j.subtitle_codec_id, "S_HDMV/PGS");
      CopyText(j.subtitle_language, "fre");
    }
    return j;
  }
  fs::path Output(int slot) const { return dir_.path() / Format("DISC %d", slot); }

  // Runs the job in `slot` to its end; the error log tells why one failed.
  std::int32_t RunJob(int slot, const JobRecord& job) {
    return test::RunJobToEnd(*control_, queue_, slot, job, dir_.path() / "temp" / "error_log.txt");
  }

  static std::unique_ptr<test::TempDir> media_;
  test::TempDir dir_;
  std::unique_ptr<Store> store_ = Store::Open(dir_.path() / "store.db");
  JobQueue queue_;
  RunState run_state_;
  Settings settings_{};
  QuietFrontend frontend_;
  test::NoPower power_;
  test::YesPrompter prompter_;
  std::unique_ptr<QueueControl> control_;
  std::unique_ptr<PipelineRunner> runner_;
};
std::unique_ptr<test::TempDir> BdTargets::media_;

std::string Probe(const std::vector<std::string>& options, const std::string& input) {
  std::vector<std::string> argv = {"ffprobe", "-v", "error"};
  argv.insert(argv.end(), options.begin(), options.end());
  argv.insert(argv.end(), {"-of", "csv=p=0", input});
  return std::string(Trim(RunProgram(argv).out));
}

TEST_F(BdTargets, EveryCodecAndTargetMakesATreeThatLibblurayOpensAndPlays) {
  const Case kCases[] = {
      {"BD remux, AC-3", true, kMediaBdRemux, 0x1100, "A_AC3", false, "h264,0x1011\nac3,0x1100"},
      {"BD remux, E-AC-3", true, kMediaBdRemux, 0x1101, "A_EAC3", false, "h264,0x1011\neac3,0x1100"},
      {"BD remux, DTS", true, kMediaBdRemux, 0x1102, "A_DTS", false, "h264,0x1011\ndts,0x1100"},
      {"BD remux, LPCM", true, kMediaBdRemux, 0x1103, "A_LPCM", false, "h264,0x1011\npcm_bluray,0x1100"},
      {"BD remux, AC-3 and PGS", true, kMediaBdRemux, 0x1100, "A_AC3", true,
       "h264,0x1011\nac3,0x1100\nhdmv_pgs_subtitle,0x1200"},
      {"AVCHD CRF, x264 from 720p50", false, kMediaAvchdCrf, 0x1100, "A_AC3", false,
       "h264,0x1011\nac3,0x1100"},
  };
  int next = 0;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const int slot = next++;
    if (RunJob(slot, Job(c, slot)) != kStatusFinished) continue;
    const fs::path disc = Output(slot);
    const std::string bluray = "bluray:" + disc.string();

    const std::string info = RunProgram({"bd_info", disc.string()}).out;
    EXPECT_NE(info.find("First Play supported: yes"), npos) << info;
    EXPECT_NE(info.find("HDMV titles         : 1"), npos) << info;
    // The job's two chapter marks and its streams with their languages.
    const std::string titles = RunProgram({"bd_list_titles", "-l", disc.string()}).out;
    EXPECT_NE(titles.find(Format("chapters:   2 angles:  1 clips:   1 (playlist: 00000.mpls) V:1 A:1  PG:%d",
                                 c.pgs ? 1 : 0)),
              npos)
        << titles;
    EXPECT_NE(titles.find("AUD: eng"), npos) << titles;
    if (c.pgs) {
      EXPECT_NE(titles.find("PG : fre"), npos) << titles;
    }

    EXPECT_EQ(Probe({"-show_entries", "program_stream=codec_name,id"}, bluray), c.streams);
    // The video keeps the source's rate, or the encode's picture.
    EXPECT_EQ(Probe({"-select_streams", "v:0", "-show_entries", "program_stream=width,height,r_frame_rate"},
                    bluray),
              c.hd ? "1920,1080,24000/1001" : "640,360,50/1");
    // Every caption of the source is on the disc.
    if (c.pgs) {
      EXPECT_EQ(
          Probe({"-select_streams", "s", "-count_packets", "-show_entries", "program_stream=nb_read_packets"},
                bluray),
          Probe({"-select_streams", "s", "-count_packets", "-show_entries", "program_stream=nb_read_packets"},
                Hd().string()));
    }
    // Decoding the playlist reports nothing.
    const test::ProgramResult decoded =
        RunProgram({"sh", "-c", "ffmpeg -nostdin -v error -i \"$0\" -f null - 2>&1", bluray});
    EXPECT_EQ(decoded.code, 0);
    EXPECT_EQ(decoded.out, "");
  }
}

// The 1080p source with its video again on 0x1012, where a 3D disc carries
// the dependent view: that is plain H.264, no MVC view, so the muxer fails
// the MVC job rather than make a 2D disc labelled 3D.
TEST_F(BdTargets, AnMvcSourceWithoutADependentViewFailsTheJob) {
  const fs::path mvc = dir_.path() / "mvc.m2ts";
  ASSERT_TRUE(
      test::Ffmpeg(Words("-i " + Hd().string() +
                         " -map 0:v -map 0:v -map 0:a:0 -c copy -streamid 0:0x1011 -streamid 1:0x1012 "
                         "-streamid 2:0x1100 -f mpegts -mpegts_m2ts_mode 1 " +
                         mvc.string())));
  JobRecord j = Job({"MVC remux", true, kMediaBd25, 0x1100, "A_AC3", false, ""}, 0);
  j.mode_3d = 11;
  j.audio_eac3to_track = 3;  // after the two views
  CopyText(j.source_path, mvc.string());
  const fs::path iso = dir_.path() / "Disc 0.iso";
  CopyText(j.output_path, iso.string());
  queue_.Put(0, j);
  control_->ActivaJob(StartAll::kNo);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while (!control_->Idle() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(queue_.Status(0), kStatusFailed);
  EXPECT_FALSE(fs::exists(iso));
  const std::string log = test::ReadText(dir_.path() / "temp" / "error_log.txt");
  EXPECT_NE(log.find("tsmuxer.job_0.meta"), npos) << "the muxer failed it: " << log;
}

// A 3D disc as the encoder and muxer stand-ins make it (its dependent view
// only MVC units, listed before the base view in the interleaved file),
// remuxed from its folder: the demuxer splits the views, and the image is
// 3D again.
TEST_F(BdTargets, AnMvcRemuxOfA3dDiscMakesA3dImage) {
  const fs::path d = dir_.path(), disc = d / "3D", iso = d / "Disc 0.iso";
  const std::string base = (d / "base.h264").string(), both = (d / "both.264").string();
  const std::string ac3 = (d / "a.ac3").string(), tools = DP_TOOLS_BUILD_DIR;
  ASSERT_TRUE(
      test::Ffmpeg(Words("-f lavfi -t 10 -i testsrc2=size=640x360:rate=24000/1001 -f lavfi -t 10 -i "
                         "sine=sample_rate=48000 -map 0:v -c:v libx264 -preset ultrafast -g 24 "
                         "-f h264 " +
                         base + " -map 1:a -c:a ac3 -f ac3 " + ac3)));
  ASSERT_EQ(RunProgram({tools + "/MVCenc", base, base, "240", both, "2000", "7", "0", "0"}).code, 0);
  std::ofstream(d / "3d.meta")
      << "MUXOPT --no-pcr-on-video-pid --new-audio-pes --blu-ray --vbr --vbv-len=500\nV_MPEG4/ISO/MVC, \""
      << both << "\", subTrack=1\nV_MPEG4/ISO/AVC, \"" << both << "\", subTrack=2\nA_AC3, \"" << ac3
      << "\"\n";
  ASSERT_EQ(RunProgram({tools + "/tsMuxeR/2.x/tsMuxeR", (d / "3d.meta").string(), disc.string()}).code, 0);

  JobRecord j = Job({"MVC remux", true, kMediaBd25, 0x1100, "A_AC3", false, ""}, 0);
  j.mode_3d = 11;
  j.video_eac3to_track = 2;  // after the title's chapters
  j.audio_eac3to_track = 4;  // after the two views
  j.frame_count = 240;
  CopyText(j.source_root, disc.string());
  CopyText(j.source_path, (disc / "BDMV/STREAM/00000.m2ts").string());
  CopyText(j.output_path, iso.string());
  ASSERT_EQ(RunJob(0, j), kStatusFinished);
  EXPECT_NE(RunProgram({"bd_info", iso.string()}).out.find("3D content exists       : Yes"), npos);
  // The dependent view came through the demuxer whole: its clip is the source disc's, byte for byte.
  const std::string clip = RunProgram({"isoinfo", "-i", iso.string(), "-x", "/BDMV/STREAM/00001.M2TS;1"}).out;
  EXPECT_TRUE(clip == test::ReadText(disc / "BDMV/STREAM/00001.m2ts"));
}

}  // namespace
}  // namespace dp
