// Whole MKV jobs through the real queue control and pipeline worker, with the
// real encoders and mkvmerge and the demuxer stand-in, on sources made with
// ffmpeg; each output is read back with MediaInfo. (Disc targets run whole in
// the disc-target test.)
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <mutex>
#include <vector>

#include "pipeline/worker.h"
#include "platform/store.h"
#include "queue/queue_control.h"
#include "queue/queue_store.h"
#include "source/mediainfo.h"
#include "support/media_gen.h"
#include "support/run_doubles.h"
#include "support/temp_dir.h"
#include "util/text.h"

namespace dp {
namespace {

namespace fs = std::filesystem;
using K = MediaStreamKind;

struct LabelFrontend : QueueFrontend {
  std::mutex mutex;
  std::vector<std::string> labels;
  void QueueChanged() override {}
  void RunStateChanged(bool) override {}
  void ResetProgress() override {}
  void StepStarted(std::string_view label) override {
    std::lock_guard lock(mutex);
    if (!label.empty()) labels.emplace_back(label);
  }
};

class EndToEndTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    media_ = std::make_unique<test::TempDir>();
    ASSERT_TRUE(test::MakeBlurayClip(*media_ / "clip.m2ts", 2, "1920x1080"));
    ASSERT_TRUE(test::MakeMatroska(*media_ / "film.mkv", 2, "640x360"));
    ::setenv("DISCPRESS_TOOLS_DIR", DP_TOOLS_BUILD_DIR, 1);
  }
  static void TearDownTestSuite() { media_.reset(); }

  void SetUp() override {
    fs::create_directories(dir_ / "temp");
    CopyText(settings_.TempPath, (dir_ / "temp").string());
    CopyText(settings_.OutPath, dir_.path().string());
    run_state_.is_64bit = true;
    control_ =
        std::make_unique<QueueControl>(*store_, queue_, run_state_, settings_, frontend_, power_, prompter_);
    runner_ = std::make_unique<PipelineRunner>(*control_, queue_, run_state_, settings_, frontend_);
    control_->set_runner(runner_.get());
  }
  void TearDown() override { control_->Shutdown(); }

  static std::unique_ptr<test::TempDir> media_;
  test::TempDir dir_;
  std::unique_ptr<Store> store_ = Store::Open(dir_ / "store.db");
  JobQueue queue_;
  RunState run_state_;
  Settings settings_{};
  LabelFrontend frontend_;
  test::NoPower power_;
  test::YesPrompter prompter_;
  std::unique_ptr<QueueControl> control_;
  std::unique_ptr<PipelineRunner> runner_;
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
    const fs::path output = dir_ / Format("Job %d.mkv", slot);
    // A record as job creation fills it from the source's inventory; the
    // Matroska source's frame count is only an estimate.
    JobRecord j = EmptyJob();
    j.status = kStatusPending;
    j.target_media = kMediaMkvCrf;
    j.video_rate = c.rate;
    j.use_x265 = c.x265;
    j.video_untouched = c.remux ? 1 : 0;
    j.frame_count = c.from_mkv ? 49 : 48;
    j.video_track_id = c.from_mkv ? 1 : 4113;
    j.audio_track_id = c.from_mkv ? 2 : 4352;
    j.video_eac3to_track = 1;
    j.audio_eac3to_track = 2;
    j.source_is_mkv = c.from_mkv;
    j.output_width = c.from_mkv ? 640 : 1920;
    j.output_height = c.from_mkv ? 360 : 1080;
    CopyText(j.video_codec, "AVC");
    CopyText(j.output_name, Format("Job %d", slot));
    CopyText(j.output_path, output.string());
    CopyText(j.source_path, source.string());
    CopyText(j.fps_fraction, c.from_mkv ? "25/1" : "24000/1001");
    CopyText(j.fps_text, c.from_mkv ? "25.000" : "23.976");
    CopyText(j.audio_codec_id, "A_AC3");
    CopyText(j.audio_language, "eng");
    CopyText(j.audio_bitrate_text, "192");
    CopyText(j.x264_preset, "ultrafast");
    if (c.chapters) CopyText(j.chapters, "00:00:00.000;00:00:01.000");
    {
      std::lock_guard lock(frontend_.mutex);
      frontend_.labels.clear();
    }
    const int at = slot++;
    ASSERT_EQ(test::RunJobToEnd(*control_, queue_, at, j, dir_ / "temp" / "error_log.txt"), kStatusFinished);
    // A restart must not run a finished job again: the store drops it.
    JobQueue stored;
    LlegeixCuaRegistre(*store_, stored);
    EXPECT_EQ(stored.Status(at), kStatusEmpty);
    EXPECT_TRUE(fs::is_empty(dir_ / "temp"));
    {
      std::lock_guard lock(frontend_.mutex);
      ASSERT_EQ(frontend_.labels.size(), c.remux ? 2u : 3u);
      EXPECT_TRUE(frontend_.labels[1].starts_with(c.second_label)) << frontend_.labels[1];
    }
    // The encoder is told the demuxer's frame count.
    if (c.x265) {
      EXPECT_EQ(queue_.Get(at).frame_count, 50);
    }

    // One video stream of the source's size and one AC-3 stream, each as
    // long as the source within a few frames.
    std::string error;
    const auto out = MediaInfoFile::Open(output.string(), &error);
    const auto src = MediaInfoFile::Open(source.string(), &error);
    ASSERT_TRUE(out && src) << error;
    EXPECT_EQ(out->StreamCount(K::kVideo), 1);
    EXPECT_EQ(out->StreamCount(K::kAudio), 1);
    EXPECT_EQ(out->Get(K::kVideo, 0, "Format"), c.video_format);
    EXPECT_EQ(out->Get(K::kVideo, 0, "Width"), c.from_mkv ? "640" : "1920");
    EXPECT_EQ(out->Get(K::kAudio, 0, "Format"), "AC-3");
    EXPECT_EQ(out->Get(K::kAudio, 0, "Language/String3"), "eng");
    EXPECT_NEAR(Milliseconds(*out, K::kVideo), Milliseconds(*src, K::kVideo), 200);
    EXPECT_NEAR(Milliseconds(*out, K::kAudio), Milliseconds(*src, K::kAudio), 200);
    EXPECT_EQ(LeadingInt(out->Get(K::kMenu, 0, "Chapters_Pos_End")) -
                  LeadingInt(out->Get(K::kMenu, 0, "Chapters_Pos_Begin")),
              c.chapters);
  }
}

}  // namespace
}  // namespace dp
