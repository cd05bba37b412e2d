#include "platform/spawn.h"

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/paths.h"

extern char** environ;

namespace dp {

namespace {

// What the child needs, prepared in the parent.
struct ChildPlan {
  const char* path;
  char* const* argv;
  int fds[3];
  pid_t group;
  const char* working_dir;  // nullptr: the caller's
  bool idle;
  pid_t parent;
  int report;  // close-on-exec pipe end: an error number is written to it when the start fails
  int max_fd;  // for closing descriptors where close_range is missing
};

[[noreturn]] void ChildFail(int report, int err) {
  ssize_t r;
  do {
    r = ::write(report, &err, sizeof err);
  } while (r < 0 && errno == EINTR);
  ::_exit(127);
}

// Closes first..last; close_range is missing on old kernels.
void CloseRange(unsigned first, unsigned last, int max_fd) {
  if (first > last) return;
  if (::close_range(first, last, 0) == 0) return;
  for (unsigned fd = first; fd <= last && fd <= static_cast<unsigned>(max_fd); ++fd)
    ::close(static_cast<int>(fd));
}

// Runs in the child: async-signal-safe calls only.
[[noreturn]] void RunChild(const ChildPlan& plan) {
  int report = plan.report;
  if (report < 3) {
    report = ::fcntl(report, F_DUPFD_CLOEXEC, 3);
    if (report < 0) ::_exit(127);
  }
  // This program's handlers must not run here, nor be ignored in the tool:
  // every signal back to its default, while all are still blocked.
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  sigemptyset(&dfl.sa_mask);
  for (int s = 1; s < NSIG; ++s) {
    if (s != SIGKILL && s != SIGSTOP) ::sigaction(s, &dfl, nullptr);
  }
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  // The parent may have died before the line above: nobody would kill us.
  if (::getppid() != plan.parent) ::_exit(127);
  if (::setpgid(0, plan.group) != 0) ChildFail(report, errno);
  if (plan.idle) {
    const sched_param param{};
    (void)::sched_setscheduler(0, SCHED_IDLE, &param);
    (void)::setpriority(PRIO_PROCESS, 0, 19);
  }
  // Sources below 3 are moved up first, so that no dup2 overwrites a source
  // that a later one still needs.
  int fds[3] = {plan.fds[0], plan.fds[1], plan.fds[2]};
  for (int& fd : fds) {
    if (fd >= 0 && fd < 3) {
      fd = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
      if (fd < 0) ChildFail(report, errno);
    }
  }
  for (int i = 0; i < 3; ++i) {
    if (fds[i] >= 0 && ::dup2(fds[i], i) < 0) ChildFail(report, errno);
  }
  // Descriptors that some other part of the program opened without
  // close-on-exec must not reach the tool: an inherited pipe end would keep
  // a reader from ever seeing the end of its pipe.
  CloseRange(3, static_cast<unsigned>(report) - 1, plan.max_fd);
  CloseRange(static_cast<unsigned>(report) + 1, ~0U, plan.max_fd);
  if (plan.working_dir && ::chdir(plan.working_dir) != 0) ChildFail(report, errno);
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  ::execve(plan.path, plan.argv, environ);
  ChildFail(report, errno);
}

int MaxFd() {
  rlimit lim{};
  if (::getrlimit(RLIMIT_NOFILE, &lim) != 0 || lim.rlim_cur == RLIM_INFINITY || lim.rlim_cur > 65536)
    return 65535;
  return static_cast<int>(lim.rlim_cur) - 1;
}

}  // namespace

Result<pid_t> Spawn(const SpawnRequest& request) {
  if (request.argv.empty() || request.argv[0].empty()) return ErrnoFailure(ENOENT);
  // Searched before the fork: between fork and exec the child may only make
  // async-signal-safe calls, and a search allocates.
  const Result<std::string> found = FindProgram(request.argv[0], ProgramSearchPath());
  if (!found) return Failure{found.error()};
  const std::string& path = *found;
  std::vector<char*> argv;
  argv.reserve(request.argv.size() + 1);
  for (const std::string& a : request.argv) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) return ErrnoFailure(errno);
  const ChildPlan plan{path.c_str(),
                       argv.data(),
                       {request.in, request.out, request.err},
                       request.group,
                       request.working_dir.empty() ? nullptr : request.working_dir.c_str(),
                       request.idle_priority,
                       ::getpid(),
                       report[1],
                       MaxFd()};
  // All signals stay blocked across the fork, so that none of this program's
  // handlers runs in the child before it has put them back to default.
  sigset_t all;
  sigset_t old;
  sigfillset(&all);
  ::pthread_sigmask(SIG_SETMASK, &all, &old);
  const pid_t child = ::fork();
  if (child == 0) RunChild(plan);
  const int fork_err = errno;
  ::pthread_sigmask(SIG_SETMASK, &old, nullptr);
  ::close(report[1]);
  if (child < 0) {
    ::close(report[0]);
    return ErrnoFailure(fork_err);
  }
  // The pipe ends at the exec (close-on-exec) or carries the error number.
  int err = 0;
  ssize_t got;
  do {
    got = ::read(report[0], &err, sizeof err);
  } while (got < 0 && errno == EINTR);
  ::close(report[0]);
  if (got != 0) {
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return ErrnoFailure(got == sizeof err && err != 0 ? err : ECHILD);
  }
  return child;
}

}  // namespace dp
