// Running discpress-cli in a test: its exit code and both outputs. A run is
// limited to a minute by timeout(1), so a hang shows as exit code 124.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <string>
#include <vector>

#include "support/files.h"
#include "support/temp_dir.h"

extern char** environ;

namespace dp::test {

struct CliResult {
  int code = -1;
  std::string out, err;
};

// `env` holds NAME=value entries added to the environment of this run.
inline CliResult Cli(std::vector<std::string> args, const std::vector<std::string>& env = {}) {
  args.insert(args.begin(), DP_CLI_PATH);
  args.insert(args.begin(), {"timeout", "60"});
  args.insert(args.begin(), env.begin(), env.end());
  args.insert(args.begin(), "env");
  const TempDir dir;
  const std::string out = (dir / "out").string(), err = (dir / "err").string();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  CliResult r;
  pid_t pid = -1;
  int status = 0;
  const int rc = ::posix_spawnp(&pid, "env", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc == 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) r.code = WEXITSTATUS(status);
  r.out = ReadText(out);
  r.err = ReadText(err);
  return r;
}

}  // namespace dp::test
