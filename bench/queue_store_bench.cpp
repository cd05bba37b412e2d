// Storing the whole queue: 100 occupied slots rewritten in one transaction.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

#include "queue/queue_store.h"
#include "util/text.h"

namespace {

// state.range(0): how many of the 100 records change between two stores
// (1: a job moved to its next step; 100: a queue loaded or rebuilt).
void BM_StoreFullQueue(benchmark::State& state) {
  char pattern[] = "/tmp/dpbench-XXXXXX";
  const std::filesystem::path dir = ::mkdtemp(pattern);
  auto store = dp::Store::Open(dir / "store.db");
  dp::JobQueue queue;
  for (int i = 0; i < dp::kQueueSlots; ++i) {
    dp::JobRecord j = dp::EmptyJob();
    j.status = dp::kStatusPending;
    dp::CopyText(j.output_path, dp::Format("/out/job %d", i));
    dp::CopyText(j.chapters, std::string(2900, 'c'));
    queue.Put(i, j);
  }
  const int changed = static_cast<int>(state.range(0));
  int round = 0;
  for (auto _ : state) {
    ++round;
    for (int i = 0; i < changed; ++i) {
      dp::JobRecord j = queue.Get(i);
      j.frame_count = round;
      queue.Put(i, j);
    }
    if (!dp::EscriuCuaRegistre(*store, queue)) state.SkipWithError("store refused");
  }
  store.reset();
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_StoreFullQueue)
    ->Arg(1)
    ->Arg(100)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(15)
    ->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
