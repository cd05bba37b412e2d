#include "queue/queue_store.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "support/temp_dir.h"
#include "util/text.h"

namespace dp {
namespace {

JobRecord MakeJob(std::int32_t status, const char* output) {
  JobRecord j = EmptyJob();
  j.status = status;
  j.video_rate = 4500;
  CopyText(j.output_path, output);
  return j;
}

void PutRaw(Store& store, int slot, const JobRecord& r) { store.SetBinary(JobValueName(slot), &r, sizeof r); }

class QueueStoreTest : public ::testing::Test {
 protected:
  test::TempDir dir;
  std::unique_ptr<Store> store = Store::Open(dir / "store.db");
  JobQueue queue;
};

// Each planted status: what the load makes of it, and whether the value is
// still stored after the load and after the next store. A job running when
// the program ended loads stopped, but is stored as such only at the next
// store; finished and cancelled jobs are never stored; unknown statuses go
// during the load, values of the wrong size at the next store.
TEST_F(QueueStoreTest, LoadAndStoreByStatus) {
  // clang-format off
  const struct { int slot; std::int32_t planted, loaded; bool after_load, after_store; } kCases[] = {
      {0, kStatusPending, kStatusPending, true, true}, {3, kStatusX264Crf, kStatusStopped, true, true},
      {4, kStatusFinished, kStatusFinished, true, false}, {6, kStatusFailed, kStatusFailed, true, true},
      {1, 0, kStatusEmpty, false, false}, {2, 14, kStatusEmpty, false, false}};
  // clang-format on
  for (const auto& c : kCases) PutRaw(*store, c.slot, MakeJob(c.planted, "/out/a"));
  std::vector<std::uint8_t> big(kJobRecordSize + 1, 0), small(100, 0);
  big[0] = small[0] = kStatusPending;
  store->SetBinary("Job_8", big.data(), big.size());
  store->SetBinary("Job_9", small.data(), small.size());

  LlegeixCuaRegistre(*store, queue);
  for (const auto& c : kCases) {
    EXPECT_EQ(queue.Status(c.slot), c.loaded) << c.slot;
    EXPECT_EQ(store->Get(JobValueName(c.slot)).has_value(), c.after_load) << c.slot;
  }
  EXPECT_EQ(store->Get("Job_3")->data[0], kStatusX264Crf);
  EXPECT_EQ(FieldText(queue.Get(3).output_path), "/out/a");
  EXPECT_EQ(queue.Status(8), kStatusEmpty);
  EXPECT_EQ(queue.Status(9), kStatusEmpty);
  EXPECT_TRUE(store->Get("Job_8"));

  ASSERT_TRUE(EscriuCuaRegistre(*store, queue));
  for (const auto& c : kCases)
    EXPECT_EQ(store->Get(JobValueName(c.slot)).has_value(), c.after_store) << c.slot;
  EXPECT_EQ(store->Get("Job_3")->data[0], kStatusStopped);
  EXPECT_FALSE(store->Get("Job_8") || store->Get("Job_9"));
}

// A child process rewrites the whole queue again and again, each time with a
// new generation number in every record, and is killed at a random moment.
// Whatever moment that was, the store must hold one whole generation.
TEST(QueueStoreCrash, KillDuringRewriteLeavesOneWholeQueue) {
  test::TempDir dir;
  const auto file = dir / "store.db";
  int rounds_with_data = 0;
  for (int round = 0; round < 8; ++round) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      auto store = Store::Open(file);
      JobQueue q;
      for (int gen = 1;; ++gen) {
        for (int i = 0; i < kQueueSlots; ++i) {
          JobRecord r = MakeJob(i % 2 ? kStatusPending : kStatusStopped, "/out");
          r.frame_count = gen;
          q.Put(i, r);
        }
        EscriuCuaRegistre(*store, q);
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(60 + 37 * round));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);

    auto store = Store::Open(file);
    ASSERT_TRUE(store->TakeNotice().empty());
    JobQueue q;
    LlegeixCuaRegistre(*store, q);
    const auto slots = q.Snapshot();
    const int gen = slots[0].frame_count;
    if (slots[0].status == kStatusEmpty) {  // killed before the first commit
      for (int i = 0; i < kQueueSlots; ++i) ASSERT_EQ(slots[i].status, kStatusEmpty);
      continue;
    }
    ++rounds_with_data;
    for (int i = 0; i < kQueueSlots; ++i) {
      ASSERT_NE(slots[i].status, kStatusEmpty) << "round " << round << " slot " << i;
      ASSERT_EQ(slots[i].frame_count, gen) << "round " << round << " slot " << i;
    }
  }
  EXPECT_GT(rounds_with_data, 0);
}

}  // namespace
}  // namespace dp
