#include "platform/power.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/process_groups.h"
#include "platform/spawn.h"

namespace dp {

namespace {

// Starts argv in a process group of its own, with stdin, stdout and stderr
// on /dev/null; 0 when it cannot. Like the tools, the child dies with the
// thread that starts it: KeepAwake runs on the user-interface thread or on
// the queue's worker, both of which last as long as the program.
pid_t SpawnQuiet(std::vector<std::string> argv) {
  const int null_fd = ::open("/dev/null", O_RDWR | O_CLOEXEC);
  if (null_fd < 0) return 0;
  SpawnRequest request;
  request.argv = std::move(argv);
  request.in = request.out = request.err = null_fd;
  const Result<pid_t> pid = Spawn(request);
  ::close(null_fd);
  return pid ? *pid : 0;
}

}  // namespace

LogindPower::~LogindPower() { KeepAwake(false); }

void LogindPower::KeepAwake(bool on) {
  std::lock_guard lock(mutex_);
  if (inhibitor_ > 0) {
    const pid_t ended = waitpid(inhibitor_, nullptr, WNOHANG);
    if (ended == 0 && on) return;  // still held
    if (ended == 0) {
      kill(-inhibitor_, SIGTERM);  // the inhibitor and the command it holds the lock for
      waitpid(inhibitor_, nullptr, 0);
    }
    ForgetGroup(inhibitor_);
    inhibitor_ = 0;
  }
  if (!on) return;
  inhibitor_ = SpawnQuiet({"systemd-inhibit", "--what=sleep:idle", "--who=DiscPress",
                           "--why=Converting the job queue", "--mode=block", "sleep", "infinity"});
  RecordGroup(inhibitor_);
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
