#include "queue/queue_control.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "queue/queue_store.h"
#include "support/run_doubles.h"
#include "support/temp_dir.h"
#include "util/text.h"

namespace dp {
namespace {

struct Frontend : QueueFrontend {
  void QueueChanged() override {}
  void RunStateChanged(bool) override {}
  void ResetProgress() override {}
  void OpenPath(const std::string&) override {}
  void QueueEnded(int finished, int failed) override { ended.emplace_back(finished, failed); }
  std::vector<std::pair<int, int>> ended;
};

class QueueControlTest : public ::testing::Test {
 protected:
  test::TempDir dir;
  std::unique_ptr<Store> store = Store::Open(dir / "store.db");
  JobQueue queue;
  RunState run;
  Settings settings{};
  Frontend frontend;
  test::CountingPower power;
  test::ScriptedPrompter prompts;
  test::ScriptedRunner runner;
  std::unique_ptr<QueueControl> control;

  void SetUp() override {
    control = std::make_unique<QueueControl>(*store, queue, run, settings, frontend, power, prompts);
    runner.control = control.get();
    control->set_runner(&runner);
  }
  void Put(int slot, std::int32_t status) {
    JobRecord j = EmptyJob();
    j.status = status;
    CopyText(j.output_path, Format("/out/job%d", slot));
    queue.Put(slot, j);
  }
  void WaitBlocking() {
    for (int i = 0; i < 2000 && !runner.blocking; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(runner.blocking);
  }
};

TEST_F(QueueControlTest, RunGoesThroughTheQueueInSlotOrderAndSkipsFailures) {
  Put(2, kStatusPending);
  Put(4, kStatusFailed);
  Put(6, kStatusStopped);
  runner.outcome[2] = test::Outcome::kFail;
  control->CallGo();
  control->WaitIdle();
  // The failure of slot 2 does not stop the run; the run that goes on skips
  // failed jobs, so slot 4 waits for the user's next Start.
  EXPECT_EQ(runner.ran, (std::vector<int>{2, 6}));
  EXPECT_EQ(queue.Status(2), kStatusFailed);
  EXPECT_EQ(queue.Status(6), kStatusFinished);
  // The run's end is reported once, with its outcomes.
  EXPECT_EQ(frontend.ended, (std::vector<std::pair<int, int>>{{1, 1}}));
  // Failed jobs are stored, done ones are not.
  EXPECT_TRUE(store->Get("Job_2"));
  EXPECT_FALSE(store->Get("Job_6"));

  // Start retries the lowest failed job; the run then skips the other.
  runner.ran.clear();
  runner.outcome[2] = test::Outcome::kFinish;
  control->CallGo();
  control->WaitIdle();
  EXPECT_EQ(runner.ran, (std::vector<int>{2}));
  control->CallGo();
  control->WaitIdle();
  EXPECT_EQ(runner.ran, (std::vector<int>{2, 4}));

  // Nothing runnable with shutdown asked: the machine goes off at once.
  run.shutdown_when_done = true;
  control->CallGo();
  control->WaitIdle();
  EXPECT_EQ(power.power_offs, 1);
  EXPECT_EQ(runner.ran, (std::vector<int>{2, 4}));
  // A start with nothing to run is no run ending.
  EXPECT_EQ(frontend.ended, (std::vector<std::pair<int, int>>{{1, 1}, {1, 0}, {1, 0}}));
}

TEST_F(QueueControlTest, TheRunningJobStaysUntilStoppedThenStartsNothingElse) {
  Put(1, kStatusPending);
  Put(2, kStatusPending);
  runner.outcome[1] = test::Outcome::kBlock;
  control->CallGo();
  WaitBlocking();
  EXPECT_EQ(power.awake, 1);
  EXPECT_EQ(run.current_job, 1);
  control->DeleteJob(1, false);
  EXPECT_EQ(queue.Status(1), kStatusX264Crf);
  EXPECT_FALSE(control->UpJob(2));  // would swap with the running job
  EXPECT_FALSE(control->DownJob(1));
  prompts.answers = {Answer::kNo};
  control->CallGo();  // running: asks first
  EXPECT_EQ(run.current_job, 1);
  prompts.answers = {Answer::kYes};
  control->CallGo();
  control->WaitIdle();
  EXPECT_EQ(queue.Status(1), kStatusStopped);
  EXPECT_EQ(queue.Status(2), kStatusPending);
  EXPECT_EQ(runner.ran, (std::vector<int>{1}));
  EXPECT_EQ(run.cancel_request, kCancelStop);
  EXPECT_EQ(power.awake, 0);
  EXPECT_EQ(store->Get("Job_1").value().data[0], kStatusStopped);

  // Cancel marks the job cancelled and drops it from the store.
  control->CallGo();
  WaitBlocking();
  prompts.answers = {Answer::kYes};
  control->CallCancelJob();
  control->WaitIdle();
  EXPECT_EQ(queue.Status(1), kStatusCanceled);
  EXPECT_FALSE(store->Get("Job_1"));
  EXPECT_EQ(prompts.asked.back(), std::string("CONFIRM|Are you sure?"));
  EXPECT_TRUE(frontend.ended.empty());  // stopped by the user: no report
}

TEST_F(QueueControlTest, RemoveAsksOnlyFromTheButtonKeepsDoneJobsFilesAndClearKeepsFailures) {
  Put(0, kStatusPending);
  Put(1, kStatusFinished);
  Put(2, kStatusFailed);
  prompts.answers = {Answer::kNo};
  control->DeleteJob(0, true);
  EXPECT_EQ(queue.Status(0), kStatusPending);
  prompts.answers = {Answer::kYes};
  control->DeleteJob(0, true);
  EXPECT_EQ(queue.Status(0), kStatusEmpty);
  control->DeleteJob(2, false);  // the context menu's Remove: no question
  control->DeleteJob(1, true);   // a finished job: no question, files kept
  EXPECT_EQ(prompts.asked.size(), 2u);
  EXPECT_EQ(prompts.asked[0], std::string("CONFIRM|") + kRemoveQuestion);
  EXPECT_EQ(runner.deleted, (std::vector<int>{0, 2}));
  EXPECT_TRUE(runner.unforced.empty());
  EXPECT_TRUE(store->List().empty());
  // Clear empties finished and cancelled jobs only.
  Put(0, kStatusFinished);
  Put(1, kStatusCanceled);
  Put(2, kStatusFailed);
  control->CallClear();
  EXPECT_EQ(queue.Status(0), kStatusEmpty);
  EXPECT_EQ(queue.Status(1), kStatusEmpty);
  EXPECT_EQ(queue.Status(2), kStatusFailed);
}

TEST_F(QueueControlTest, MovesSwapWholeRecordsAndAreStored) {
  Put(1, kStatusPending);
  Put(3, kStatusStopped);
  Put(4, kStatusFinished);
  EXPECT_TRUE(control->UpJob(1));  // into the empty slot 0
  EXPECT_EQ(queue.Status(0), kStatusPending);
  EXPECT_FALSE(control->DownJob(0));  // never into an empty slot
  EXPECT_TRUE(control->DownJob(3));   // onto a finished job
  EXPECT_EQ(queue.Status(4), kStatusStopped);
  EXPECT_FALSE(control->UpJob(0) || control->DownJob(99));
  EXPECT_TRUE(store->Get("Job_0") && store->Get("Job_4"));
  EXPECT_FALSE(store->Get("Job_1"));
  // The files follow each move, the store on the way.
  EXPECT_EQ(runner.swaps, (std::vector<std::string>{"/out/job1 1>0, ", "/out/job3 3>4, /out/job4"}));
}

TEST_F(QueueControlTest, RemoveAndDeleteSourceAsksAndRefusesDangerousPaths) {
  const auto disc = dir / "Disc Folder";
  std::filesystem::create_directories(disc / "BDMV");
  std::ofstream(disc / "BDMV" / "index.bdmv") << "x";
  JobRecord j = EmptyJob();
  j.status = kStatusFinished;
  CopyText(j.source_root, disc.string());
  queue.Put(0, j);
  prompts.answers = {Answer::kNo};
  control->RemoveAndDeleteSource(0);
  EXPECT_TRUE(std::filesystem::exists(disc));
  EXPECT_EQ(queue.Status(0), kStatusFinished);
  EXPECT_NE(prompts.asked.back().find(disc.string()), std::string::npos);
  prompts.answers = {Answer::kYes};
  control->RemoveAndDeleteSource(0);
  EXPECT_FALSE(std::filesystem::exists(disc));
  EXPECT_EQ(queue.Status(0), kStatusEmpty);

  CopyText(j.source_root, "/");
  j.source_is_mkv = false;
  queue.Put(1, j);
  prompts.answers = {Answer::kYes};
  control->RemoveAndDeleteSource(1);  // "/" is too short: nothing asked or deleted, job removed
  EXPECT_EQ(queue.Status(1), kStatusEmpty);
  CopyText(j.source_root, "/../");
  queue.Put(2, j);
  prompts.answers = {Answer::kYes};
  control->RemoveAndDeleteSource(2);
  EXPECT_EQ(prompts.asked.back().rfind("SORRY|", 0), 0u);
  EXPECT_TRUE(std::filesystem::exists("/tmp"));
}

}  // namespace
}  // namespace dp
