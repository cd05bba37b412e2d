// Loading and storing the queue: one REG_BINARY value "Job_%d" per slot.
#pragma once

#include <string>

#include "platform/store.h"
#include "queue/job_queue.h"

namespace dp {

std::string JobValueName(int slot);  // "Job_%d"

// Restores the 100 slots. A job that was running when the program ended
// comes back STOPPED; a value with an unknown status is removed; a value that
// is not exactly one record leaves its slot empty. Writes nothing else back.
void LlegeixCuaRegistre(Store& store, JobQueue& queue);

// Rewrites all 100 slots in one transaction: a value per pending, stopped,
// running or failed job; empty, finished and cancelled slots lose theirs.
// Returns false when the store refused (the queue in memory stays as it is).
bool EscriuCuaRegistre(Store& store, const JobQueue& queue);

}  // namespace dp
