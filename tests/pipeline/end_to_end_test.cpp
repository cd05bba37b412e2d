// Whole jobs through the real queue control and pipeline worker, with the
// real encoders and mkvmerge and the stand-ins for eac3to and tsMuxeR, on
// sources made with ffmpeg. Each output is read back with MediaInfo.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "app/prompter.h"
#include "pipeline/worker.h"
#include "platform/store.h"
#include "queue/queue_control.h"
#include "queue/queue_store.h"
#include "source/mediainfo.h"
#include "support/files.h"
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

double Milliseconds(const MediaInfoFile& mi, K kind) { return LeadingDouble(mi.Get(kind, 0, "Duration")); }

class EndToEndTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    media_ = std::make_unique<test::TempDir>();
    ASSERT_TRUE(test::MakeBlurayClip(Clip(), 2, "1920x1080"));
    ASSERT_TRUE(test::MakeMatroska(Film(), 2, "640x360"));
    ::setenv("DISCPRESS_TOOLS_DIR", DP_TOOLS_BUILD_DIR, 1);
  }
  static void TearDownTestSuite() { media_.reset(); }
  static fs::path Clip() { return media_->path() / "clip.m2ts"; }
  static fs::path Film() { return media_->path() / "film.mkv"; }

  void SetUp() override {
    fs::create_directories(Temp());
    fs::create_directories(Out());
    CopyText(settings_.TempPath, Temp().string());
    CopyText(settings_.OutPath, Out().string());
    run_state_.is_64bit = true;
    control_ =
        std::make_unique<QueueControl>(*store_, queue_, run_state_, settings_, frontend_, power_, prompter_);
    runner_ = std::make_unique<PipelineRunner>(*control_, queue_, run_state_, settings_, frontend_);
    control_->set_runner(runner_.get());
  }
  void TearDown() override { control_->Shutdown(); }

  fs::path Temp() const { return dir_ / "temp"; }
  fs::path Out() const { return dir_ / "out"; }

  // A record as job creation fills it from the source's inventory.
  static JobRecord FromClip(std::int32_t target, const std::string& name) {
    JobRecord j = EmptyJob();
    j.status = kStatusPending;
    j.target_media = target;
    j.frame_count = 48;
    j.video_track_id = 4113;
    j.audio_track_id = 4352;
    j.video_eac3to_track = 1;
    j.audio_eac3to_track = 2;
    CopyText(j.video_codec, "AVC");
    CopyText(j.output_name, name);
    CopyText(j.source_path, Clip().string());
    CopyText(j.fps_fraction, "24000/1001");
    CopyText(j.fps_text, "23.976");
    CopyText(j.audio_codec_id, "A_AC3");
    CopyText(j.audio_language, "eng");
    CopyText(j.audio_bitrate_text, "192");
    CopyText(j.x264_preset, "ultrafast");
    CopyText(j.playlist_name, "00000.mpls");
    j.output_width = 1920;
    j.output_height = 1080;
    return j;
  }
  static JobRecord FromFilm(std::int32_t target, const std::string& name) {
    JobRecord j = FromClip(target, name);
    j.frame_count = 50;
    j.video_track_id = 1;
    j.audio_track_id = 2;
    j.source_is_mkv = true;
    CopyText(j.source_path, Film().string());
    CopyText(j.fps_fraction, "25/1");
    CopyText(j.fps_text, "25.000");
    j.output_width = 640;
    j.output_height = 360;
    return j;
  }

  // Runs the job in `slot` to its end; the error log tells why one failed.
  std::int32_t RunJob(int slot, const JobRecord& job) {
    const std::int32_t status = test::RunJobToEnd(*control_, queue_, slot, job, Temp() / "error_log.txt");
    // A restart must not run a finished job again: the store drops it.
    JobQueue stored;
    LlegeixCuaRegistre(*store_, stored);
    EXPECT_EQ(stored.Status(slot), status == kStatusFinished ? kStatusEmpty : status);
    return status;
  }

  std::vector<std::string> Labels() {
    std::lock_guard lock(frontend_.mutex);
    return frontend_.labels;
  }

  // Files of the job left in the temporary folder.
  std::vector<std::string> Leftovers(int slot) const {
    std::vector<std::string> left;
    const std::string tag = Format(".job_%d", slot);
    for (const auto& e : fs::directory_iterator(Temp()))
      if (e.path().filename().string().find(tag) != std::string::npos) left.push_back(e.path().filename());
    return left;
  }

  static std::unique_ptr<MediaInfoFile> Inspect(const fs::path& path) {
    std::string error;
    auto mi = MediaInfoFile::Open(path.string(), &error);
    EXPECT_TRUE(mi) << error;
    return mi;
  }

  // One video stream of `format` and one AC-3 stream, each as long as the
  // source within a few frames.
  static void ExpectStreams(const fs::path& output, const std::string& format, const fs::path& source) {
    auto out = Inspect(output);
    auto src = Inspect(source);
    ASSERT_TRUE(out && src);
    EXPECT_EQ(out->StreamCount(K::kVideo), 1);
    EXPECT_EQ(out->StreamCount(K::kAudio), 1);
    EXPECT_EQ(out->Get(K::kVideo, 0, "Format"), format);
    EXPECT_EQ(out->Get(K::kAudio, 0, "Format"), "AC-3");
    EXPECT_NEAR(Milliseconds(*out, K::kVideo), Milliseconds(*src, K::kVideo), 200);
    EXPECT_NEAR(Milliseconds(*out, K::kAudio), Milliseconds(*src, K::kAudio), 200);
  }

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

TEST_F(EndToEndTest, MkvCrfWithX264KeepsTheChapterMarks) {
  JobRecord job = FromClip(kMediaMkvCrf, "Clip x264");
  job.video_rate = 30;
  CopyText(job.chapters, "00:00:00.000;00:00:01.000");
  const fs::path output = Out() / "Clip x264.mkv";
  CopyText(job.output_path, output.string());

  ASSERT_EQ(RunJob(0, job), kStatusFinished);
  ExpectStreams(output, "AVC", Clip());
  auto mi = Inspect(output);
  ASSERT_TRUE(mi);
  EXPECT_EQ(mi->Get(K::kVideo, 0, "Width"), "1920");
  EXPECT_EQ(LeadingInt(mi->Get(K::kMenu, 0, "Chapters_Pos_End")) -
                LeadingInt(mi->Get(K::kMenu, 0, "Chapters_Pos_Begin")),
            2);
  const auto labels = Labels();
  ASSERT_EQ(labels.size(), 3u);
  EXPECT_TRUE(labels[1].starts_with("[STEP 2/3 - X264 CRF]")) << labels[1];
  EXPECT_TRUE(labels[2].starts_with("[STEP 3/3 - MKVMERGE]")) << labels[2];
  EXPECT_EQ(Leftovers(0), std::vector<std::string>{});
}

TEST_F(EndToEndTest, MkvCrfWithX265FromMatroska) {
  JobRecord job = FromFilm(kMediaMkvCrf, "Film x265");
  job.video_rate = 32;
  job.use_x265 = true;
  const fs::path output = Out() / "Film x265.mkv";
  CopyText(job.output_path, output.string());

  ASSERT_EQ(RunJob(4, job), kStatusFinished);
  ExpectStreams(output, "HEVC", Film());
  const auto labels = Labels();
  ASSERT_EQ(labels.size(), 3u);
  EXPECT_TRUE(labels[1].starts_with("[STEP 2/3 - X265 CRF]")) << labels[1];
  // The demuxer's frame count reached the record.
  EXPECT_EQ(queue_.Get(4).frame_count, 50);
  EXPECT_EQ(Leftovers(4), std::vector<std::string>{});
}

TEST_F(EndToEndTest, MkvRemuxCopiesTheStreams) {
  JobRecord job = FromFilm(kMediaMkvCrf, "Film remux");
  job.video_rate = 1;
  job.video_untouched = 1;
  const fs::path output = Out() / "Film remux.mkv";
  CopyText(job.output_path, output.string());

  ASSERT_EQ(RunJob(7, job), kStatusFinished);
  ExpectStreams(output, "AVC", Film());
  auto mi = Inspect(output);
  ASSERT_TRUE(mi);
  EXPECT_EQ(mi->Get(K::kVideo, 0, "FrameCount"), "50");
  EXPECT_EQ(mi->Get(K::kAudio, 0, "Language/String3"), "eng");
  EXPECT_EQ(Labels().size(), 2u);
  EXPECT_EQ(Leftovers(7), std::vector<std::string>{});
}

TEST_F(EndToEndTest, AvchdCrfBuildsTheDiscTree) {
  JobRecord job = FromClip(kMediaAvchdCrf, "Clip AVCHD");
  job.video_rate = 30;
  const fs::path output = Out() / "Clip AVCHD";
  CopyText(job.output_path, output.string());

  ASSERT_EQ(RunJob(2, job), kStatusFinished);
  const fs::path stream = output / "BDMV" / "STREAM" / "00000.m2ts";
  ASSERT_TRUE(fs::exists(stream));
  ExpectStreams(stream, "AVC", Clip());
  auto mi = Inspect(stream);
  ASSERT_TRUE(mi);
  EXPECT_EQ(mi->Get(K::kVideo, 0, "ID/String"), "4113 (0x1011)");
  EXPECT_EQ(mi->Get(K::kVideo, 0, "Height"), "1080");
  // No demux: the encoder and the muxer read the clip themselves.
  const auto labels = Labels();
  ASSERT_EQ(labels.size(), 2u);
  EXPECT_TRUE(labels[0].starts_with("[STEP 1/2 - X264 CRF]")) << labels[0];
  EXPECT_TRUE(labels[1].starts_with("[STEP 2/2 - TSMUXER]")) << labels[1];
  EXPECT_EQ(Leftovers(2), std::vector<std::string>{});
}

TEST_F(EndToEndTest, Bd5TwoPassWithRecodedAudio) {
  JobRecord job = FromClip(kMediaBd5, "Clip BD5");
  job.video_rate = 8000;
  job.target_audio = 640;
  const fs::path output = Out() / "Clip BD5";
  CopyText(job.output_path, output.string());

  ASSERT_EQ(RunJob(5, job), kStatusFinished);
  const fs::path stream = output / "BDMV" / "STREAM" / "00000.m2ts";
  ASSERT_TRUE(fs::exists(stream));
  ExpectStreams(stream, "AVC", Clip());
  auto mi = Inspect(stream);
  ASSERT_TRUE(mi);
  EXPECT_EQ(LeadingInt(mi->Get(K::kAudio, 0, "BitRate")), 640000);
  const auto labels = Labels();
  ASSERT_EQ(labels.size(), 4u);
  EXPECT_TRUE(labels[0].starts_with("[STEP 1/4 - EAC3TO] Recode audio to AC3 640")) << labels[0];
  EXPECT_TRUE(labels[2].starts_with("[STEP 3/4 - X264 PASS 2]")) << labels[2];
  EXPECT_EQ(Leftovers(5), std::vector<std::string>{});
}

}  // namespace
}  // namespace dp
