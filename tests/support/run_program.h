// Running a program in a test and collecting what it said.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/files.h"
#include "support/temp_dir.h"

extern char** environ;

namespace dp::test {

struct ProgramResult {
  int code = -1;  // -1: it did not exit
  std::string out, err;
};

// Runs argv (argv[0] a path or a name on PATH) with standard input on
// /dev/null, waits for it and collects its standard output, and its standard
// error when `keep_err` (else that goes to the test log).
inline ProgramResult RunProgram(const std::vector<std::string>& argv, bool keep_err = false) {
  const TempDir dir;
  const std::string out = (dir / "out").string(), err = (dir / "err").string();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (keep_err)
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  std::vector<char*> ptrs;
  for (const std::string& a : argv) ptrs.push_back(const_cast<char*>(a.c_str()));
  ptrs.push_back(nullptr);
  ProgramResult r;
  pid_t pid = -1;
  int status = 0;
  const int rc = ::posix_spawnp(&pid, ptrs[0], &actions, nullptr, ptrs.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc == 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) r.code = WEXITSTATUS(status);
  r.out = ReadText(out);
  r.err = ReadText(err);
  return r;
}

}  // namespace dp::test
