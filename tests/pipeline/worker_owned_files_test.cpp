// What a run may and may not take: the user's files in the output folder, a
// moved job's work, half-written captions, a job cancelled while no tool runs.

#include <sys/resource.h>

#include <csignal>

#include "pipeline/pgs_forced.h"
#include "pipeline/subtitle_tasks.h"
#include "pipeline/worker_fixture.h"

namespace dp {
namespace {

TEST_F(WorkerTest, FailedMuxTakesOnlyWhatItMadeFromTheOutputFolder) {
  // The output field names a folder that already holds the user's files.
  const fs::path videos = root_ / "out" / "Videos";
  fs::create_directories(videos / "Holiday");
  std::ofstream(videos / "mine.mkv") << "user";
  std::ofstream(videos / "Holiday" / "a.jpg") << "user";
  JobRecord job = Job();
  CopyText(job.output_path, videos.string());
  fakes_.Fail("tsMuxeR-1");
  Plant(0, job);
  RunQueue();
  EXPECT_EQ(queue_.Status(0), kStatusFailed);
  EXPECT_EQ(test::ReadText(videos / "mine.mkv"), "user");
  EXPECT_EQ(test::ReadText(videos / "Holiday" / "a.jpg"), "user");
  EXPECT_FALSE(fs::exists(videos / "BDMV"));
  EXPECT_FALSE(fs::exists(videos / "CERTIFICATE"));

  // The output folder setting itself, new: its tree goes, the folder is
  // refused and that is said once.
  fakes_.ClearRecord();
  frontend_.Forget();
  const fs::path setting = root_ / "out" / "Discs";
  CopyText(settings_.OutPath, setting.string());
  CopyText(job.output_path, setting.string());
  Plant(0, job);
  RunQueue();
  EXPECT_TRUE(fs::exists(setting));
  EXPECT_TRUE(fs::is_empty(setting));
  const auto said = std::count_if(frontend_.texts.begin(), frontend_.texts.end(), [](const std::string& t) {
    return t.find("The unfinished output was not deleted") != std::string::npos;
  });
  EXPECT_EQ(said, 1) << ::testing::PrintToString(frontend_.texts);
}

TEST_F(WorkerTest, MovedJobsTakeTheirFinishedWorkAlong) {
  // Two jobs of the same name, both failed at the mux with all their
  // intermediates; the second is moved above the first.
  JobRecord recoded = Job();
  recoded.target_audio = 640;  // ".ac3"
  JobRecord flac = Job();
  flac.target_audio = 2;  // ".flac"
  fakes_.Fail("tsMuxeR-1");
  Plant(0, recoded);
  Plant(1, flac);
  RunQueue();
  ASSERT_EQ(queue_.Status(0), kStatusFailed);
  ASSERT_EQ(queue_.Status(1), kStatusFailed);
  ASSERT_TRUE(fs::exists(T(1, ".flac")));

  // Were the files left behind, the moved jobs would demux again.
  ASSERT_TRUE(control_->UpJob(1));
  fakes_.Release();
  fakes_.ClearRecord();
  RunQueue();
  RunQueue();  // a run that goes on skips failed jobs: Start again for the second
  EXPECT_EQ(queue_.Status(0), kStatusFinished);
  EXPECT_EQ(queue_.Status(1), kStatusFinished);
  // Nothing demuxed or encoded again, and each mux found its own audio.
  EXPECT_EQ(fakes_.Sequence(), (Strings{"tsMuxeR-1", "tsMuxeR-1"}));
  const std::string meta = test::ReadText(root_ / "record" / "meta_tsMuxeR-1");
  EXPECT_NE(meta.find(T(1, ".ac3")), std::string::npos) << meta;
  EXPECT_EQ(TempListing(), std::set<std::string>{"error_log.txt"});
}

TEST_F(WorkerTest, ForcedCaptionsCutShortAreMadeAgainAndAFailedExportFailsTheJob) {
  JobRecord job = Job();
  job.subtitle_mode = 3;  // forced captions only
  fs::create_directories(temp_);
  // The demux is done: a real stream, every caption forced, far past 4 KiB.
  const std::string sup = std::string(DP_TESTDATA_DIR) + "/sup/pgs4net/sintel-en.sup";
  ASSERT_EQ(SubtitleFlagAllForced(sup, T(0, ".sup")).result, 1);
  const std::string full = test::ReadText(T(0, ".sup"));
  // What a killed export leaves: its lock and the start of the file.
  std::ofstream(T(0, ".forced.sup.lock")) << "";
  std::ofstream(T(0, ".forced.sup"), std::ios::binary) << full.substr(0, 100);
  fakes_.Fail("tsMuxeR-1");  // keeps the temporaries for a look
  Plant(0, job);
  RunQueue();
  EXPECT_EQ(fakes_.Sequence(), (Strings{"x264", "x264", "tsMuxeR-1"}));
  EXPECT_EQ(test::ReadText(T(0, ".forced.sup")), full);
  EXPECT_FALSE(fs::exists(T(0, ".forced.sup.lock")));

  // Files may not grow past 4 KiB while the export runs: it fails part way.
  fakes_.ClearRecord();
  fs::remove(temp_ / "error_log.txt");
  fs::remove(T(0, ".forced.sup"));
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto* old_handler = std::signal(SIGXFSZ, SIG_IGN);
  frontend_.on_event = [&](std::string_view what) {
    rlimit small = saved;
    small.rlim_cur = 4096;
    if (what == kExportForcedStatus) ::setrlimit(RLIMIT_FSIZE, &small);
    if (what.empty()) ::setrlimit(RLIMIT_FSIZE, &saved);
  };
  Plant(0, job);
  RunQueue();
  frontend_.on_event = nullptr;
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, old_handler);
  EXPECT_EQ(queue_.Status(0), kStatusFailed);
  EXPECT_TRUE(fakes_.Calls().empty());
  EXPECT_FALSE(fs::exists(T(0, ".forced.sup")));
  EXPECT_FALSE(fs::exists(T(0, ".forced.sup.lock")));
  const std::string log = ErrorLog();
  EXPECT_NE(log.find("LAST CMD LINE => <forced captions"), std::string::npos) << log;
  EXPECT_EQ(log.find("LAST CMD LINE", log.find("LAST CMD LINE") + 1), std::string::npos) << "one record only";
}

// A cancel while no tool runs (the forced captions are made in process)
// still takes the job's files.
TEST_F(WorkerTest, CancelDuringTheForcedCaptionExportRemovesTheJobsFiles) {
  JobRecord job = Job();
  job.subtitle_mode = 3;
  job.target_audio = 640;
  frontend_.on_event = [&](std::string_view what) {
    if (what == kExportForcedStatus) control_->CancelJob();
  };
  Plant(0, job);
  RunQueue();
  frontend_.on_event = nullptr;
  EXPECT_EQ(queue_.Status(0), kStatusCanceled);
  EXPECT_EQ(TempListing(), std::set<std::string>{});
  EXPECT_TRUE(fakes_.Calls("x264").empty());
}

}  // namespace
}  // namespace dp
