#include "queue/job_queue.h"

namespace dp {

JobQueue::JobQueue() { slots_.fill(EmptyJob()); }

JobSlots JobQueue::Snapshot() const {
  std::lock_guard lock(mutex_);
  return slots_;
}

JobRecord JobQueue::Get(int slot) const {
  std::lock_guard lock(mutex_);
  return ValidSlot(slot) ? slots_[slot] : EmptyJob();
}

void JobQueue::Put(int slot, const JobRecord& record) {
  if (!ValidSlot(slot)) return;
  std::lock_guard lock(mutex_);
  slots_[slot] = record;
}

std::int32_t JobQueue::Status(int slot) const {
  if (!ValidSlot(slot)) return kStatusEmpty;
  std::lock_guard lock(mutex_);
  return slots_[slot].status;
}

void JobQueue::SetStatus(int slot, std::int32_t status) {
  if (!ValidSlot(slot)) return;
  std::lock_guard lock(mutex_);
  slots_[slot].status = status;
}

JobQueue& Jobs() {
  static JobQueue queue;
  return queue;
}

bool ValidSlot(int slot) { return slot >= 0 && slot < kQueueSlots; }

}  // namespace dp
