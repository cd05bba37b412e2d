// Running discpress-cli in a test: its exit code and both outputs. A run is
// limited to a minute by timeout(1), so a hang shows as exit code 124.
#pragma once

#include <string>
#include <vector>

#include "support/run_program.h"

namespace dp::test {

using CliResult = ProgramResult;

// `env` holds NAME=value entries added to the environment of this run.
inline CliResult Cli(std::vector<std::string> args, const std::vector<std::string>& env = {}) {
  args.insert(args.begin(), DP_CLI_PATH);
  args.insert(args.begin(), {"timeout", "60"});
  args.insert(args.begin(), env.begin(), env.end());
  args.insert(args.begin(), "env");
  return RunProgram(args, true);
}

}  // namespace dp::test
