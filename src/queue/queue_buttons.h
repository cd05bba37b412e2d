// Which queue buttons the selected job allows: Remove, Up and Down.
#pragma once

#include <optional>

#include "queue/job_record.h"

namespace dp {

// The job in slot s may move up: it is waiting or failed, and the slot above
// holds no running job (an empty slot above is fine).
bool CanMoveUp(const JobSlots& jobs, int s);
// The job may move down onto a job that is not running (never into an empty slot).
bool CanMoveDown(const JobSlots& jobs, int s);

struct QueueButtons {
  std::optional<bool> remove, up, down;  // none: leave the button as it is
};

// With the tree empty Remove is dimmed and Up and Down are left alone;
// otherwise each follows the selected slot (none selected: all dimmed).
QueueButtons ActualitzaBotonsCua(const JobSlots& jobs, int selected, bool tree_empty);

}  // namespace dp
