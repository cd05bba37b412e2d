// The queue view's items, as a pure function of the records. The window's
// tree and `discpress-cli queue view` both draw exactly these.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "queue/job_record.h"

namespace dp {

inline constexpr std::uint32_t kColorFinished = 0x008000;  // green
inline constexpr std::uint32_t kColorFailed = 0xFF0000;    // red

struct QueueViewItem {
  int slot = 0;  // every item of a job carries its slot as its value
  std::string label;
  std::optional<std::uint32_t> color;  // RGB; none = the tree's default
  std::vector<std::string> details;    // detail lines, in order
};

struct QueueView {
  std::vector<QueueViewItem> items;
  bool clear_enabled = false;   // some job is done
  bool cancel_enabled = false;  // some job is running
  bool go_enabled = false;      // some job is running or waiting
};

// The status text padded with blanks to 14 characters; empty for 0 and for
// codes no job can have.
std::string StatusLabel(std::int32_t status);

QueueViewItem BuildQueueItem(int slot, const JobRecord& job);
QueueView BuildQueueView(const JobSlots& jobs);

// The view as text: one line per job, its details below indented by two blanks.
std::string QueueViewText(const QueueView& view);

}  // namespace dp
