#include "platform/power.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <vector>

extern char** environ;

namespace dp {

namespace {

// Starts argv in a process group of its own, with stdin, stdout and stderr
// on /dev/null; 0 when it cannot.
pid_t SpawnQuiet(std::vector<const char*> argv) {
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  for (int fd : {0, 1, 2})
    posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attr, 0);
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, argv[0], &actions, &attr, const_cast<char* const*>(argv.data()), environ);
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? pid : 0;
}

}  // namespace

LogindPower::~LogindPower() { KeepAwake(false); }

void LogindPower::KeepAwake(bool on) {
  std::lock_guard lock(mutex_);
  if (on) {
    if (inhibitor_ > 0 && waitpid(inhibitor_, nullptr, WNOHANG) == 0) return;  // still held
    inhibitor_ = SpawnQuiet({"systemd-inhibit", "--what=sleep:idle", "--who=DiscPress",
                             "--why=Converting the job queue", "--mode=block", "sleep", "infinity"});
    return;
  }
  if (inhibitor_ > 0) {
    kill(-inhibitor_, SIGTERM);  // the inhibitor and the command it holds the lock for
    waitpid(inhibitor_, nullptr, 0);
    inhibitor_ = 0;
  }
}

bool LogindPower::PowerOff() {
  const pid_t pid = SpawnQuiet({"busctl", "call", "org.freedesktop.login1", "/org/freedesktop/login1",
                                "org.freedesktop.login1.Manager", "PowerOff", "b", "false"});
  if (pid <= 0) return false;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace dp
