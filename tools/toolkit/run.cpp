#include "toolkit/run.h"

#include "util/text.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace dp::tools {
namespace {

std::vector<char*> ArgvPointers(const std::vector<std::string>& argv) {
  std::vector<char*> ptrs;
  ptrs.reserve(argv.size() + 1);
  for (const std::string& a : argv) ptrs.push_back(const_cast<char*>(a.c_str()));
  ptrs.push_back(nullptr);
  return ptrs;
}

int WaitFor(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return 127;
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return 127;
}

// Starts argv with its standard output on `stdout_fd` (or inherited when -1).
// The child is killed when the stand-in dies: a stand-in killed with its
// caller must not leave its ffmpeg running. A stand-in runs one thread, so
// the child may look the program up with execvp.
pid_t Spawn(const std::vector<std::string>& argv, int stdout_fd) {
  if (argv.empty()) return -1;
  std::vector<char*> ptrs = ArgvPointers(argv);
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (::getppid() != parent) ::_exit(127);  // the stand-in died before the line above
  if (stdout_fd >= 0 && ::dup2(stdout_fd, STDOUT_FILENO) < 0) ::_exit(127);
  ::execvp(ptrs[0], ptrs.data());
  ::_exit(127);
}

}  // namespace

int Run(const std::vector<std::string>& argv) {
  const pid_t pid = Spawn(argv, -1);
  return pid < 0 ? 127 : WaitFor(pid);
}

int RunLines(const std::vector<std::string>& argv, const std::function<void(std::string_view)>& on_line) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return 127;
  const pid_t pid = Spawn(argv, fds[1]);
  ::close(fds[1]);
  if (pid < 0) {
    ::close(fds[0]);
    return 127;
  }
  std::string pending;
  char buf[4096];
  for (;;) {
    const ssize_t n = ::read(fds[0], buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    pending.append(buf, static_cast<std::size_t>(n));
    std::size_t start = 0;
    for (std::size_t i = 0; i < pending.size(); ++i) {
      if (pending[i] == '\n' || pending[i] == '\r') {
        if (i > start) on_line(std::string_view(pending).substr(start, i - start));
        start = i + 1;
      }
    }
    pending.erase(0, start);
  }
  if (!pending.empty()) on_line(pending);
  ::close(fds[0]);
  return WaitFor(pid);
}

int RunCapture(const std::vector<std::string>& argv, std::string& out) {
  out.clear();
  return RunLines(argv, [&out](std::string_view line) {
    out.append(line);
    out.push_back('\n');
  });
}

void Exec(const std::vector<std::string>& argv) {
  if (argv.empty()) return;
  std::vector<char*> ptrs = ArgvPointers(argv);
  ::execvp(argv[0].c_str(), ptrs.data());
}

std::string FfmpegProgram() {
  const char* env = std::getenv("DP_FFMPEG");
  return env && *env ? env : "ffmpeg";
}

std::string FfprobeProgram() {
  const char* env = std::getenv("DP_FFPROBE");
  return env && *env ? env : "ffprobe";
}

std::vector<std::string> FfmpegCommand(const char* loglevel) {
  return {FfmpegProgram(), "-hide_banner", "-nostdin", "-nostats", "-loglevel", loglevel, "-y"};
}

std::vector<std::string> ProgressOptions() { return {"-progress", "pipe:1", "-stats_period", "0.2"}; }

bool ProgressSeconds(std::string_view line, double& seconds) {
  constexpr std::string_view kKey = "out_time_us=";
  if (!line.starts_with(kKey)) return false;
  seconds = static_cast<double>(LeadingInt64(line.substr(kKey.size()))) / 1e6;
  return true;
}

std::vector<std::string> Y4mOutput(const std::string& out) {
  return {"-f", "yuv4mpegpipe", "-pix_fmt", "yuv420p", "-strict", "-1", out == "-" ? "pipe:1" : out};
}

}  // namespace dp::tools
