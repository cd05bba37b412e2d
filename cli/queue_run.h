// `queue run|remove|up|down|clear`: queue control from the command line.
#pragma once

#include <string>

#include "command.h"

namespace dp::cli {

int QueueControlCommand(const std::string& verb, Args args);

}  // namespace dp::cli
