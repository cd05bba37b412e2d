// `queue run|remove|up|down|clear`: queue control from the command line.
#pragma once

#include <string>

namespace dp::cli {

// verb is one of run, remove, up, down and clear; slot is the job of remove,
// up and down; run_all is run's --all.
int QueueControlCommand(const std::string& verb, int slot, bool run_all);

}  // namespace dp::cli
