// Starting a child program that cannot outlive this one: the kernel sends it
// SIGKILL when the thread that started it ends, which a kill -9 of the
// program (or any crash) does to every thread at once. Used for the outside
// tools, their feeders and the keep-awake helper.
//
// The signal follows the starting thread, not the process: call Spawn only
// from a thread that lives as long as the child is meant to (the worker that
// waits for the tool, the user-interface thread), never from a short-lived
// helper thread.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "platform/result.h"

namespace dp {

struct SpawnRequest {
  std::vector<std::string> argv;  // argv[0] is a path, or a plain name looked up on PATH
  // The child's standard descriptors; -1 leaves one as this program has it.
  int in = -1;
  int out = -1;
  int err = -1;
  // 0: the child leads a new process group; otherwise the group to join.
  pid_t group = 0;
  std::string working_dir;  // empty: the caller's
  // SCHED_IDLE and nice 19, set in the child before the program starts, so
  // every thread the program creates has them.
  bool idle_priority = false;
};

// Starts the program and gives its pid, or fails with the strerror words of
// what failed (the lookup on PATH, the working folder, the exec); nothing runs
// then. The child gets default signal handling, an empty signal mask, and no
// descriptor of this program beyond the three standard ones.
Result<pid_t> Spawn(const SpawnRequest& request);

}  // namespace dp
