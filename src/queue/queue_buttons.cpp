#include "queue/queue_buttons.h"

namespace dp {

bool CanMoveUp(const JobSlots& jobs, int s) {
  if (s <= 0 || s >= kQueueSlots || !IsWaitingStatus(jobs[s].status)) return false;
  const std::int32_t above = jobs[s - 1].status;
  return above == kStatusEmpty || IsDeletableStatus(above);
}

bool CanMoveDown(const JobSlots& jobs, int s) {
  if (s < 0 || s + 1 >= kQueueSlots || !IsWaitingStatus(jobs[s].status)) return false;
  return IsDeletableStatus(jobs[s + 1].status);
}

QueueButtons ActualitzaBotonsCua(const JobSlots& jobs, int selected, bool tree_empty) {
  QueueButtons b;
  if (tree_empty) {
    b.remove = false;
    return b;
  }
  const bool valid = selected >= 0 && selected < kQueueSlots;
  b.remove = valid && IsDeletableStatus(jobs[selected].status);
  b.up = valid && CanMoveUp(jobs, selected);
  b.down = valid && CanMoveDown(jobs, selected);
  return b;
}

}  // namespace dp
