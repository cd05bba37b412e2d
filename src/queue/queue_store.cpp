#include "queue/queue_store.h"

#include "util/text.h"

namespace dp {

std::string JobValueName(int slot) { return Format("Job_%d", slot); }

void LlegeixCuaRegistre(Store& store, JobQueue& queue) {
  JobSlots loaded;
  for (int i = 0; i < kQueueSlots; ++i) {
    JobRecord& slot = loaded[i];
    slot = EmptyJob();
    RegValue value;
    const std::string name = JobValueName(i);
    if (store.Read(name, kJobRecordSize, value) != ReadResult::kOk) continue;
    // A shorter value is no record at all: treat it as unreadable rather than
    // run a job made of zeros and leftovers.
    if (value.data.size() != kJobRecordSize) continue;
    JobRecord record = JobFromImage(value.data.data());
    if (record.status < kStatusPending || record.status > kStatusFailed) {
      store.Delete(name);
      continue;
    }
    if (IsRunningStatus(record.status)) record.status = kStatusStopped;
    slot = record;
  }
  auto lock = queue.Lock();
  queue.records() = loaded;
}

bool EscriuCuaRegistre(Store& store, const JobQueue& queue) {
  // Two threads may store at once; the later snapshot must land last.
  static std::mutex order;
  std::lock_guard order_lock(order);
  const JobSlots snapshot = queue.Snapshot();
  const Status stored = store.Transaction([&] {
    for (int i = 0; i < kQueueSlots; ++i) {
      const JobRecord& r = snapshot[i];
      const std::string name = JobValueName(i);
      const bool drop = r.status == kStatusEmpty || IsDoneStatus(r.status);
      if (Status set = drop ? store.Delete(name) : store.SetBinary(name, &r, kJobRecordSize); !set)
        return set;
    }
    return Status();
  });
  return stored.ok();
}

}  // namespace dp
