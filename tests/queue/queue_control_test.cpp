#include "queue/queue_control.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "queue/queue_store.h"
#include "support/temp_dir.h"
#include "util/text.h"

namespace dp {
namespace {

struct Frontend : QueueFrontend {
  std::atomic<int> changes{0}, resets{0};
  std::atomic<bool> running{false};
  std::vector<std::string> opened;
  void QueueChanged() override { ++changes; }
  void RunStateChanged(bool r) override { running = r; }
  void ResetProgress() override { ++resets; }
  void OpenPath(const std::string& p) override { opened.push_back(p); }
};

struct Power : PowerControl {
  std::atomic<int> awake{0}, power_offs{0};
  void KeepAwake(bool on) override { awake = on ? 1 : 0; }
  bool PowerOff() override {
    ++power_offs;
    return true;
  }
};

struct Prompts : Prompter {
  std::deque<Answer> answers;
  std::vector<std::string> asked;
  Answer Ask(std::string_view title, std::string_view text, Buttons) override {
    asked.push_back(std::string(title) + "|" + std::string(text));
    if (answers.empty()) return Answer::kOk;
    Answer a = answers.front();
    answers.pop_front();
    return a;
  }
};

enum class Outcome { kFinish, kFail, kBlock };

// Stands for the pipeline: finishes, fails, or runs "a tool" until stopped.
struct Runner : JobRunner {
  QueueControl* control = nullptr;
  std::map<int, Outcome> outcome;  // by slot; default: finish
  std::vector<int> ran;
  std::vector<int> temporaries_deleted;
  std::atomic<bool> blocking{false};

  void Run(RunControl& run) override {
    ran.push_back(run.slot());
    const Outcome o = outcome.count(run.slot()) ? outcome[run.slot()] : Outcome::kFinish;
    if (!control->SetRunStatus(run, kStatusX264Crf)) return;
    if (o == Outcome::kBlock) {
      blocking = true;
      while (run.cancel_request() == kCancelNone) std::this_thread::sleep_for(std::chrono::milliseconds(2));
      blocking = false;
      return;  // stopped: no status of its own, nothing handed on
    }
    control->SetRunStatus(run, o == Outcome::kFail ? kStatusFailed : kStatusFinished);
    control->ActivaJob(StartAll::kNo, &run);
  }
  void DeleteTemporaries(const JobRecord&, int slot, bool force) override {
    EXPECT_TRUE(force);
    temporaries_deleted.push_back(slot);
  }
  std::vector<std::string> swaps;  // "<first's output> <from>><to>, <second's output>"
  void SwapTemporaries(const JobRecord& first, int first_slot, const JobRecord& second, int second_slot,
                       const std::function<void()>& store_order) override {
    swaps.push_back(Format("%s %d>%d, %s", std::string(FieldText(first.output_path)).c_str(), first_slot,
                           second_slot, std::string(FieldText(second.output_path)).c_str()));
    store_order();
  }
};

class QueueControlTest : public ::testing::Test {
 protected:
  test::TempDir dir;
  std::unique_ptr<Store> store = Store::Open(dir / "store.db");
  JobQueue queue;
  RunState run;
  Settings settings{};
  Frontend frontend;
  Power power;
  Prompts prompts;
  Runner runner;
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

TEST(NextJob, LowestRunnableSlotFailedOnlyOnAUserStart) {
  JobSlots jobs;
  jobs.fill(EmptyJob());
  EXPECT_EQ(NextRunnableSlot(jobs, StartAll::kYes), -1);
  jobs[3].status = kStatusFailed;
  jobs[7].status = kStatusStopped;
  jobs[9].status = kStatusPending;
  EXPECT_EQ(NextRunnableSlot(jobs, StartAll::kYes), 3);
  EXPECT_EQ(NextRunnableSlot(jobs, StartAll::kNo), 7);
}

TEST_F(QueueControlTest, RunGoesThroughTheQueueInSlotOrderAndSkipsFailures) {
  Put(2, kStatusPending);
  Put(4, kStatusFailed);
  Put(6, kStatusStopped);
  runner.outcome[2] = Outcome::kFail;
  control->CallGo();
  control->WaitIdle();
  // The failure of slot 2 does not stop the run; the run that goes on skips
  // failed jobs, so slot 4 waits for the user's next Start.
  EXPECT_EQ(runner.ran, (std::vector<int>{2, 6}));
  EXPECT_EQ(queue.Status(2), kStatusFailed);
  EXPECT_EQ(queue.Status(4), kStatusFailed);
  EXPECT_EQ(queue.Status(6), kStatusFinished);
  EXPECT_EQ(run.current_job, -1);
  EXPECT_FALSE(frontend.running);
  EXPECT_EQ(power.awake, 0);
  EXPECT_EQ(power.power_offs, 0);
  // Failed jobs are stored, done ones are not.
  EXPECT_TRUE(store->Get("Job_2"));
  EXPECT_FALSE(store->Get("Job_6"));

  // Start retries the lowest failed job; the run then skips the other.
  runner.ran.clear();
  runner.outcome[2] = Outcome::kFinish;
  control->CallGo();
  control->WaitIdle();
  EXPECT_EQ(runner.ran, (std::vector<int>{2}));
  control->CallGo();
  control->WaitIdle();
  EXPECT_EQ(runner.ran, (std::vector<int>{2, 4}));
  EXPECT_EQ(queue.Status(4), kStatusFinished);
}

TEST_F(QueueControlTest, StopKeepsTheJobStoppedAndStartsNothingElse) {
  Put(1, kStatusPending);
  Put(2, kStatusPending);
  runner.outcome[1] = Outcome::kBlock;
  control->CallGo();
  WaitBlocking();
  EXPECT_TRUE(frontend.running);
  EXPECT_EQ(power.awake, 1);
  EXPECT_EQ(run.current_job, 1);
  prompts.answers = {Answer::kNo};
  control->CallGo();  // running: asks first
  EXPECT_EQ(run.current_job, 1);
  prompts.answers = {Answer::kYes};
  control->CallGo();
  control->WaitIdle();
  EXPECT_EQ(queue.Status(1), kStatusStopped);
  EXPECT_EQ(queue.Status(2), kStatusPending);
  EXPECT_EQ(runner.ran, (std::vector<int>{1}));
  EXPECT_EQ(run.current_job, -1);
  EXPECT_EQ(run.cancel_request, kCancelStop);
  EXPECT_FALSE(frontend.running);
  EXPECT_EQ(power.awake, 0);
  auto stored = store->Get("Job_1");
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->data[0], kStatusStopped);
}

TEST_F(QueueControlTest, CancelMarksTheJobCanceledAndDropsItFromTheStore) {
  Put(0, kStatusPending);
  runner.outcome[0] = Outcome::kBlock;
  control->CallGo();
  WaitBlocking();
  prompts.answers = {Answer::kYes};
  control->CallCancelJob();
  control->WaitIdle();
  EXPECT_EQ(queue.Status(0), kStatusCanceled);
  EXPECT_FALSE(store->Get("Job_0"));
  EXPECT_EQ(prompts.asked.back(), std::string("CONFIRM|Are you sure?"));
}

TEST_F(QueueControlTest, NothingRunnableWithShutdownPowersOffAtOnce) {
  run.shutdown_when_done = true;
  Put(0, kStatusFinished);
  control->CallGo();
  control->WaitIdle();
  EXPECT_EQ(power.power_offs, 1);
  EXPECT_TRUE(runner.ran.empty());
}

TEST_F(QueueControlTest, RemoveAsksOnlyFromTheButtonAndKeepsDoneJobsFiles) {
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
  EXPECT_EQ(runner.temporaries_deleted, (std::vector<int>{0, 2}));
  EXPECT_TRUE(store->List().empty());
}

TEST_F(QueueControlTest, TheRunningJobCannotBeRemovedOrMoved) {
  Put(3, kStatusPending);
  Put(4, kStatusPending);
  runner.outcome[3] = Outcome::kBlock;
  control->CallGo();
  WaitBlocking();
  control->DeleteJob(3, false);
  EXPECT_EQ(queue.Status(3), kStatusX264Crf);
  EXPECT_FALSE(control->UpJob(4));  // would swap with the running job
  EXPECT_FALSE(control->DownJob(3));
  control->StopJob();
  control->WaitIdle();
}

TEST_F(QueueControlTest, MovesSwapWholeRecordsAndAreStored) {
  Put(1, kStatusPending);
  Put(3, kStatusStopped);
  Put(4, kStatusFinished);
  EXPECT_TRUE(control->UpJob(1));  // into the empty slot 0
  EXPECT_EQ(queue.Status(0), kStatusPending);
  EXPECT_EQ(FieldText(queue.Get(0).output_path), "/out/job1");
  EXPECT_FALSE(control->DownJob(0));  // never into an empty slot
  EXPECT_TRUE(control->DownJob(3));   // onto a finished job
  EXPECT_EQ(queue.Status(4), kStatusStopped);
  EXPECT_FALSE(control->UpJob(0));
  EXPECT_FALSE(control->DownJob(99));
  EXPECT_TRUE(store->Get("Job_0"));
  EXPECT_TRUE(store->Get("Job_4"));
  EXPECT_FALSE(store->Get("Job_1"));
  // The files follow each move, the store on the way.
  EXPECT_EQ(runner.swaps, (std::vector<std::string>{"/out/job1 1>0, ", "/out/job3 3>4, /out/job4"}));
}

TEST_F(QueueControlTest, ClearEmptiesDoneJobsWithoutStoring) {
  Put(0, kStatusFinished);
  Put(1, kStatusCanceled);
  Put(2, kStatusFailed);
  control->Persist();
  control->CallClear();
  EXPECT_EQ(queue.Status(0), kStatusEmpty);
  EXPECT_EQ(queue.Status(1), kStatusEmpty);
  EXPECT_EQ(queue.Status(2), kStatusFailed);
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

TEST_F(QueueControlTest, FoldersOpenedFromTheContextMenu) {
  JobRecord j = EmptyJob();
  j.status = kStatusFinished;
  j.source_is_mkv = true;
  CopyText(j.source_path, "/media/films/Film.mkv");
  CopyText(j.output_path, "/out/Film/Film.mkv");
  queue.Put(0, j);
  CopyText(settings.TempPath, "/tmp/DiscPress");
  control->OpenSourceFolder(0);
  control->OpenOutputFolder(0);
  control->ViewErrorLog();
  EXPECT_EQ(frontend.opened,
            (std::vector<std::string>{"/media/films", "/out/Film", "/tmp/DiscPress/error_log.txt"}));
}

}  // namespace
}  // namespace dp
