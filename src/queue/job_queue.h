// The process-wide job queue: 100 records shared by the window and the
// worker thread. Every access goes through the queue's lock, so a record is
// never read while another thread writes it.
#pragma once

#include <cstdint>
#include <mutex>

#include "queue/job_record.h"

namespace dp {

class JobQueue {
 public:
  JobQueue();
  // Hold the returned lock while using records().
  [[nodiscard]] std::unique_lock<std::mutex> Lock() const { return std::unique_lock(mutex_); }
  JobSlots& records() { return slots_; }
  const JobSlots& records() const { return slots_; }

  JobSlots Snapshot() const;
  JobRecord Get(int slot) const;
  void Put(int slot, const JobRecord& record);
  std::int32_t Status(int slot) const;
  void SetStatus(int slot, std::int32_t status);

 private:
  mutable std::mutex mutex_;
  JobSlots slots_;
};

// The queue of this process.
JobQueue& Jobs();

bool ValidSlot(int slot);

}  // namespace dp
