// Whole MKV jobs through the real worker with the real encoders, mkvmerge and
// the demuxer stand-in; each output is read back with MediaInfo.
#include "pipeline/worker_fixture.h"
#include "source/mediainfo.h"
#include "support/media_gen.h"

namespace dp {
namespace {

using K = MediaStreamKind;

// The worker's fixture with the real tools: the system's PATH and the built
// stand-ins.
class EndToEndTest : public WorkerTest {
 protected:
  static void SetUpTestSuite() {
    media_ = std::make_unique<test::TempDir>();
    ASSERT_TRUE(test::MakeBlurayClip(*media_ / "clip.m2ts", 2, "1920x1080"));
    ASSERT_TRUE(test::MakeMatroska(*media_ / "film.mkv", 2, "640x360"));
  }
  static void TearDownTestSuite() { media_.reset(); }
  void SetUp() override {
    WorkerTest::SetUp();
    ::setenv("PATH", saved_path_.c_str(), 1);
    ::setenv("DISCPRESS_TOOLS_DIR", DP_TOOLS_BUILD_DIR, 1);
  }

  static std::unique_ptr<test::TempDir> media_;
};
std::unique_ptr<test::TempDir> EndToEndTest::media_;

double Milliseconds(const MediaInfoFile& mi, K kind) { return LeadingDouble(mi.Get(kind, 0, "Duration")); }

TEST_F(EndToEndTest, MkvJobsKeepEveryStreamWholeAndLeaveNoTemporaries) {
  const struct {
    const char* name;
    bool from_mkv, x265, remux;
    std::int32_t rate;
    const char* video_format;
    const char* second_label;  // the step after the demux
    int chapters;
  } cases[] = {
      {"x264 CRF with chapters", false, false, false, 30, "AVC", "[STEP 2/3 - X264 CRF]", 2},
      {"x265 CRF from Matroska", true, true, false, 32, "HEVC", "[STEP 2/3 - X265 CRF]", 0},
      {"remux from Matroska", true, false, true, 1, "AVC", "[STEP 2/2 - MKVMERGE]", 0},
  };
  int slot = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path source = *media_ / (c.from_mkv ? "film.mkv" : "clip.m2ts");
    const fs::path output = root_ / Format("Job %d.mkv", slot);
    // A record as job creation fills it from the source's inventory; the
    // Matroska source's frame count is only an estimate.
    JobRecord j = test::TwoPassJob(source, output);
    j.target_media = kMediaMkvCrf;
    j.target_audio = 0;
    j.video_rate = c.rate;
    j.use_x265 = c.x265;
    j.video_untouched = c.remux ? 1 : 0;
    j.frame_count = c.from_mkv ? 49 : 48;
    if (c.from_mkv) j.video_track_id = 1, j.audio_track_id = 2;
    j.source_is_mkv = c.from_mkv;
    j.output_width = c.from_mkv ? 640 : 1920;
    j.output_height = c.from_mkv ? 360 : 1080;
    CopyText(j.output_name, Format("Job %d", slot));
    CopyText(j.fps_fraction, c.from_mkv ? "25/1" : "24000/1001");
    CopyText(j.fps_text, c.from_mkv ? "25.000" : "23.976");
    CopyText(j.audio_bitrate_text, "192");
    CopyText(j.x264_preset, "ultrafast");
    CopyText(j.extra_params, "");
    if (c.chapters) CopyText(j.chapters, "00:00:00.000;00:00:01.000");
    frontend_.Forget();
    const int at = slot++;
    ASSERT_EQ(test::RunJobToEnd(*control_, queue_, at, j, temp_ / "error_log.txt"), kStatusFinished);
    EXPECT_TRUE(fs::is_empty(temp_));
    ASSERT_EQ(frontend_.labels.size(), c.remux ? 2u : 3u);
    EXPECT_TRUE(frontend_.labels[1].starts_with(c.second_label)) << frontend_.labels[1];
    // The encoder is told the demuxer's frame count.
    if (c.x265) {
      EXPECT_EQ(queue_.Get(at).frame_count, 50);
    }

    // One video and one AC-3 stream, each as long as the source's within a few frames.
    std::string error;
    const auto out = MediaInfoFile::Open(output.string(), &error),
               src = MediaInfoFile::Open(source.string(), &error);
    ASSERT_TRUE(out && src) << error;
    EXPECT_EQ(out->StreamCount(K::kVideo), 1);
    EXPECT_EQ(out->StreamCount(K::kAudio), 1);
    EXPECT_EQ(out->Get(K::kVideo, 0, "Format"), c.video_format);
    EXPECT_EQ(out->Get(K::kAudio, 0, "Format"), "AC-3");
    EXPECT_NEAR(Milliseconds(*out, K::kVideo), Milliseconds(*src, K::kVideo), 200);
    EXPECT_NEAR(Milliseconds(*out, K::kAudio), Milliseconds(*src, K::kAudio), 200);
    EXPECT_EQ(LeadingInt(out->Get(K::kMenu, 0, "Chapters_Pos_End")) -
                  LeadingInt(out->Get(K::kMenu, 0, "Chapters_Pos_Begin")),
              c.chapters);
  }
}

}  // namespace
}  // namespace dp
