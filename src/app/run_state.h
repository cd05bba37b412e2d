// The run state shared by the window and the worker thread.
#pragma once

#include <atomic>

namespace dp {

enum CancelRequest : int { kCancelNone = 0, kCancelStop = 1, kCancelCancel = 2 };

struct RunState {
  std::atomic<int> current_job{-1};  // slot of the running job, -1 idle
  std::atomic<int> cancel_request{kCancelNone};
  // Run-time toggles: start off at every launch, never stored.
  std::atomic<bool> shutdown_when_done{false};
  std::atomic<bool> sound_when_done{false};
  std::atomic<bool> debug_mode{false};
  bool is_64bit = false;  // the system is 64-bit: titles and tool variants
};

RunState& Run();

// True on a 64-bit system (the machine, not this build).
bool DetectSystem64Bit();

}  // namespace dp
