// Short runs of a program beside the outside tools of a job: a check that
// waits for its answer within a time limit, and a start that nobody waits
// for (a sound). Both go through Spawn: the child gets no descriptor of ours,
// default signals, a process group of its own, and dies with this program.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "platform/result.h"

namespace dp {

// Runs argv (argv[0] a path, or a plain name looked up on PATH) with its
// standard descriptors on /dev/null and waits for its exit code. At the time
// limit its whole process group is killed; whatever the program left running
// in its group also ends when it does. Fails when it cannot start, does not
// end in time, or is ended by a signal.
Result<int> RunQuietly(const std::vector<std::string>& argv, std::chrono::milliseconds time_limit);

// Starts argv, with its input on /dev/null and its output where ours goes,
// and returns once it runs; a thread of its own reaps it, so no zombie stays
// behind. Fails when it cannot start.
Status StartDetached(std::vector<std::string> argv);

}  // namespace dp
