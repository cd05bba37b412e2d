#include "platform/run_program.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <future>
#include <thread>
#include <utility>

#include "platform/process_groups.h"
#include "platform/spawn.h"
#include "util/text.h"

namespace dp {

namespace {

Failure CannotStart(const std::vector<std::string>& argv, const std::string& why) {
  return Failure{Format("Cannot start \"%s\": %s", argv.empty() ? "" : argv[0].c_str(), why.c_str())};
}

int Reap(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return status;
}

}  // namespace

Result<int> RunQuietly(const std::vector<std::string>& argv, std::chrono::milliseconds time_limit) {
  const int null_fd = ::open("/dev/null", O_RDWR | O_CLOEXEC);
  if (null_fd < 0) return CannotStart(argv, ErrnoFailure(errno).why);
  SpawnRequest request;
  request.argv = argv;
  request.in = request.out = request.err = null_fd;
  const Result<pid_t> pid = Spawn(request);
  ::close(null_fd);
  if (!pid) return CannotStart(argv, pid.error());
  RecordGroup(*pid);

  // The child stays unreaped until its group is killed: while it is a zombie
  // its group id cannot pass to a stranger.
  const auto deadline = std::chrono::steady_clock::now() + time_limit;
  auto nap = std::chrono::milliseconds(1);
  siginfo_t info{};
  bool ended = false;
  for (;;) {
    info.si_pid = 0;
    const int r = ::waitid(P_PID, static_cast<id_t>(*pid), &info, WEXITED | WNOHANG | WNOWAIT);
    if (r == 0 && info.si_pid == *pid) {
      ended = true;
      break;
    }
    if ((r < 0 && errno != EINTR) || std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(nap);
    nap = std::min(nap * 2, std::chrono::milliseconds(20));
  }
  ::kill(-*pid, SIGKILL);
  const int status = Reap(*pid);
  ForgetGroup(*pid);
  if (!ended) return Failure{Format("\"%s\" did not end in time", argv[0].c_str())};
  if (WIFSIGNALED(status))
    return Failure{Format("\"%s\" was ended by signal %d", argv[0].c_str(), WTERMSIG(status))};
  return WEXITSTATUS(status);
}

Status StartDetached(std::vector<std::string> argv) {
  std::promise<Status> started;
  std::future<Status> result = started.get_future();
  // Spawn on the thread that waits: the child dies with the thread that
  // started it, so that thread lives as long as the child does.
  std::thread([argv = std::move(argv), started = std::move(started)]() mutable {
    const int null_fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (null_fd < 0) {
      started.set_value(CannotStart(argv, ErrnoFailure(errno).why));
      return;
    }
    SpawnRequest request;
    request.argv = std::move(argv);
    request.in = null_fd;
    const Result<pid_t> pid = Spawn(request);
    ::close(null_fd);
    if (!pid) {
      started.set_value(CannotStart(request.argv, pid.error()));
      return;
    }
    started.set_value(Status());
    Reap(*pid);
  }).detach();
  return result.get();
}

}  // namespace dp
