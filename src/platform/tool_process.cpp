#include "platform/tool_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/process_groups.h"
#include "platform/spawn.h"
#include "util/text.h"

namespace dp {

namespace {

// A file descriptor closed when it goes out of scope.
class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() { Reset(); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }
  void Reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }

 private:
  int fd_ = -1;
};

int WaitPidRetrying(pid_t pid, int& status) {
  int r;
  do {
    r = ::waitpid(pid, &status, 0);
  } while (r == -1 && errno == EINTR);
  return r;
}

Failure StartError(const std::vector<std::string>& argv, const std::string& working_dir,
                   const std::string& why) {
  std::string text = Format("Cannot start \"%s\": %s", argv[0].c_str(), why.c_str());
  if (!working_dir.empty()) text += Format(" (working folder \"%s\")", working_dir.c_str());
  return Failure{std::move(text)};
}

Failure Cannot(const std::string& what, int err) { return Failure{what + ": " + ErrnoFailure(err).why}; }

}  // namespace

ToolProcess::~ToolProcess() {
  bool running;
  {
    std::lock_guard lock(mutex_);
    running = started_ && tool_pid_ > 0 && !waited_;
  }
  if (running) {
    KillGroup();
    Wait();
  }
  CloseOutput();
}

Status ToolProcess::Start(const ToolLaunch& launch) {
  std::lock_guard lock(mutex_);
  if (started_) return Failure{"The tool process was already started."};
  started_ = true;
  if (launch.argv.empty() || launch.argv[0].empty())
    return Failure{"Cannot start a tool: the command line is empty."};
  const bool with_feeder = !launch.feeder_argv.empty();
  if (with_feeder && launch.feeder_argv[0].empty())
    return Failure{"Cannot start a tool: the feeder's command line is empty."};
  if (kill_requested_) return {};

  Fd null_fd(::open("/dev/null", O_RDWR | O_CLOEXEC));
  if (null_fd.get() < 0) return Cannot("Cannot open /dev/null", errno);

  Fd out_read;   // kept: what the caller reads
  Fd out_write;  // the child's stdout (and stderr)
  if (launch.capture == OutputCapture::kPipe) {
    int p[2];
    if (::pipe2(p, O_CLOEXEC) != 0) return Cannot("Cannot create a pipe for the tool's output", errno);
    out_read.Reset(p[0]);
    out_write.Reset(p[1]);
    ::fcntl(out_read.get(), F_SETFL, ::fcntl(out_read.get(), F_GETFL) | O_NONBLOCK);
  } else if (launch.capture == OutputCapture::kLogFile) {
    out_write.Reset(::open(launch.log_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (out_write.get() < 0)
      return Cannot(Format("Cannot create the log file \"%s\"", launch.log_path.c_str()), errno);
    out_read.Reset(::open(launch.log_path.c_str(), O_RDONLY | O_CLOEXEC));
    if (out_read.get() < 0)
      return Cannot(Format("Cannot read the log file \"%s\"", launch.log_path.c_str()), errno);
  }
  const bool captured = launch.capture != OutputCapture::kNone;
  const int tool_out = captured ? out_write.get() : -1;
  const int tool_err = !captured ? -1 : launch.capture_stderr ? out_write.get() : null_fd.get();

  Fd feed_read;
  Fd feed_write;
  if (with_feeder) {
    int p[2];
    if (::pipe2(p, O_CLOEXEC) != 0) return Cannot("Cannot create the pipe between feeder and tool", errno);
    feed_read.Reset(p[0]);
    feed_write.Reset(p[1]);
    const SpawnRequest feeder{.argv = launch.feeder_argv,
                              .in = null_fd.get(),
                              .out = feed_write.get(),
                              .err = tool_out < 0 ? -1 : out_write.get(),
                              .working_dir = launch.working_dir};
    const Result<pid_t> pid = Spawn(feeder);
    if (!pid) return StartError(launch.feeder_argv, launch.working_dir, pid.error());
    feeder_pid_ = *pid;
    group_ = *pid;
    feed_write.Reset();
  }

  const SpawnRequest tool{.argv = launch.argv,
                          .in = with_feeder ? feed_read.get() : null_fd.get(),
                          .out = tool_out,
                          .err = tool_err,
                          .group = group_,
                          .working_dir = launch.working_dir,
                          .idle_priority = launch.idle_priority};
  const Result<pid_t> pid = Spawn(tool);
  if (!pid) {
    if (feeder_pid_ > 0) {
      ::kill(-group_, SIGKILL);
      int status = 0;
      WaitPidRetrying(feeder_pid_, status);
      feeder_pid_ = 0;
      group_ = 0;
    }
    return StartError(launch.argv, launch.working_dir, pid.error());
  }
  tool_pid_ = *pid;
  if (group_ == 0) group_ = *pid;
  RecordGroup(group_);

  capture_ = launch.capture;
  output_fd_ = out_read.release();
  title_.emplace(launch.title_source, launch.console_title);
  return {};
}

pid_t ToolProcess::Pid() const {
  std::lock_guard lock(mutex_);
  return tool_pid_;
}

pid_t ToolProcess::GroupId() const {
  std::lock_guard lock(mutex_);
  return group_;
}

std::string ToolProcess::ReadOutput(std::size_t max_bytes) {
  std::lock_guard lock(mutex_);
  if (output_fd_ < 0 || max_bytes == 0) return {};
  std::string data(max_bytes, '\0');
  ssize_t got;
  if (capture_ == OutputCapture::kPipe) {
    do {
      got = ::read(output_fd_, data.data(), max_bytes);
    } while (got < 0 && errno == EINTR);
  } else {
    got = ::pread(output_fd_, data.data(), max_bytes, read_offset_);
    if (got > 0) read_offset_ += got;
  }
  if (got <= 0) return {};
  data.resize(static_cast<std::size_t>(got));
  if (capture_ == OutputCapture::kPipe && title_) title_->Feed(data);
  return data;
}

std::string ToolProcess::ConsoleTitle() {
  std::lock_guard lock(mutex_);
  if (!title_ || output_closed_) return {};
  if (capture_ == OutputCapture::kLogFile) {
    // A log only grows while the tool runs; a bounded read per call keeps a
    // tick short even when the tool has written much since the last one.
    char buf[16384];
    for (int i = 0; i < 64; ++i) {
      const ssize_t got = ::pread(output_fd_, buf, sizeof buf, title_offset_);
      if (got <= 0) break;
      title_offset_ += got;
      title_->Feed(std::string_view(buf, static_cast<std::size_t>(got)));
    }
  }
  return title_->Text();
}

void ToolProcess::KillGroup() {
  std::lock_guard lock(mutex_);
  kill_requested_ = true;
  // Until Wait has reaped the group's leader its id cannot be reused, so the
  // signal reaches this tool's group and no other.
  if (group_ > 0 && !group_ended_) ::kill(-group_, SIGKILL);
}

ToolExit ToolProcess::ExitFromStatus(int status) const {
  ToolExit e;
  e.kill_requested = kill_requested_;
  if (WIFEXITED(status)) {
    e.code = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    e.signal = WTERMSIG(status);
    e.code = kill_requested_ ? 0 : 128 + e.signal;
  }
  return e;
}

ToolExit ToolProcess::Wait() {
  std::lock_guard wait_lock(wait_mutex_);
  pid_t tool;
  pid_t feeder;
  {
    std::lock_guard lock(mutex_);
    if (waited_) return exit_;
    if (tool_pid_ <= 0) {
      waited_ = true;
      exit_ = ToolExit{};
      exit_.kill_requested = kill_requested_;
      if (started_ && kill_requested_) exit_.code = 0;
      return exit_;
    }
    tool = tool_pid_;
    feeder = feeder_pid_;
  }

  // Wait for the end but leave the tool unreaped: while it (or the feeder,
  // which leads the group when there is one) is a zombie, the group id
  // stays reserved and the kill below cannot hit a stranger.
  siginfo_t info{};
  int r;
  do {
    r = ::waitid(P_PID, static_cast<id_t>(tool), &info, WEXITED | WNOWAIT);
  } while (r == -1 && errno == EINTR);

  bool feeder_ended_first = false;
  {
    std::lock_guard lock(mutex_);
    if (feeder > 0) {
      siginfo_t finfo{};
      if (::waitid(P_PID, static_cast<id_t>(feeder), &finfo, WEXITED | WNOHANG | WNOWAIT) == 0) {
        feeder_ended_first = finfo.si_pid == feeder;
      }
    }
    // Whatever is left of the group (the feeder, helpers the tool started)
    // ends with the tool.
    if (r == 0 || feeder > 0) ::kill(-group_, SIGKILL);
    group_ended_ = true;
  }

  int status = 0;
  const bool reaped = WaitPidRetrying(tool, status) == tool;
  int feeder_status = 0;
  const bool feeder_reaped = feeder > 0 && WaitPidRetrying(feeder, feeder_status) == feeder;

  std::lock_guard lock(mutex_);
  ForgetGroup(group_);
  exit_ = reaped ? ExitFromStatus(status) : ToolExit{-1, 0, kill_requested_};
  if (feeder > 0) {
    if (!feeder_reaped) {
      feeder_exit_ = ToolExit{-1, 0, kill_requested_};
    } else if (feeder_ended_first && !(WIFSIGNALED(feeder_status) && WTERMSIG(feeder_status) == SIGPIPE)) {
      feeder_exit_ = ExitFromStatus(feeder_status);
    } else {
      // Still running, or killed by SIGPIPE because the tool had stopped
      // reading: either way the feeder did not fail.
      feeder_exit_ = ToolExit{0, feeder_ended_first ? SIGPIPE : SIGKILL, kill_requested_};
    }
  }
  waited_ = true;
  return exit_;
}

ToolExit ToolProcess::FeederExit() const {
  std::lock_guard lock(mutex_);
  return feeder_exit_;
}

void ToolProcess::CloseOutput() {
  std::lock_guard lock(mutex_);
  if (output_fd_ >= 0) ::close(output_fd_);
  output_fd_ = -1;
  output_closed_ = true;
}

}  // namespace dp
