// One run of an outside tool as a child process: started from argv (never
// through a shell) in a process group of its own, its output sent to a pipe,
// to a log file or left alone, and ended together with everything it
// started when the user stops or cancels the job. The tool and its feeder
// are killed by the kernel when this program dies, however it dies.
//
// Threads: the worker starts the tool and waits on it while the user
// interface reads its output and title and may kill it. Start must be called
// on the thread that waits (the worker): the kernel kills the tool when the
// thread that started it ends, so a tool started on a thread that ends
// sooner would die with that thread. Every other member may be called from
// any thread; share the object through std::shared_ptr so the reader never
// outlives it.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/console_title.h"
#include "platform/result.h"

namespace dp {

enum class OutputCapture {
  kNone,     // stdout and stderr left as they are (debug mode: nothing captured)
  kPipe,     // a pipe that the caller reads with ReadOutput
  kLogFile,  // a log file, created anew
};

// Standard input is empty (/dev/null) unless a feeder fills it: a tool in a
// process group of its own that read the terminal would be stopped.
struct ToolLaunch {
  std::vector<std::string> argv;  // argv[0] is a path, or a plain name looked up on PATH
  OutputCapture capture = OutputCapture::kNone;
  // With a capture: stderr goes where stdout goes; otherwise it is discarded.
  bool capture_stderr = true;
  std::string log_path;     // kLogFile
  std::string working_dir;  // empty: the caller's
  // Encoders run at SCHED_IDLE and nice 19 so that the machine stays usable.
  bool idle_priority = false;
  // Non-empty: "feeder | tool". The feeder runs first, in the same process
  // group, at normal priority, its stdout into the tool's stdin; its stderr
  // goes where the tool's output goes (never into the tool's input).
  std::vector<std::string> feeder_argv;
  // The title of the tool's console before the tool sets its own, and how
  // the tool titles its console from its output.
  std::string console_title;
  TitleSource title_source = TitleSource::kNone;
};

struct ToolExit {
  // The exit status; 128 + the signal number after a death by signal, but 0
  // when KillGroup had been asked (a stopped tool is not a failed one); -1
  // when it never started.
  int code = -1;
  int signal = 0;  // the signal that ended it; 0 after a normal exit
  bool kill_requested = false;
};

class ToolProcess {
 public:
  ToolProcess() = default;
  // Kills the group if the tool still runs, and reaps it: no child is left
  // running, no zombie behind.
  ~ToolProcess();
  ToolProcess(const ToolProcess&) = delete;
  ToolProcess& operator=(const ToolProcess&) = delete;

  // Starts the tool (and its feeder), on the thread that will wait for it,
  // and records its group when a group record is kept. Once per object.
  // Fails, naming the program and the cause, when it cannot start; nothing
  // runs then. After a KillGroup that came before the start, nothing is
  // started, the start succeeds and Wait reports a stopped tool.
  Status Start(const ToolLaunch& launch);

  // The tool's process id (its group id when it has no feeder); 0 before
  // the start.
  pid_t Pid() const;
  pid_t GroupId() const;

  // At most max_bytes of the output that waits, without blocking. Empty when
  // nothing waits, when the output is not captured, and after CloseOutput.
  // A log file is read from where the last call stopped.
  std::string ReadOutput(std::size_t max_bytes);

  // The title the tool's console would have now: the launch title until the
  // tool sets one. A log file is followed on each call; with a pipe, the
  // bytes handed out by ReadOutput are what the title sees. Empty after
  // CloseOutput, as a console that is gone.
  std::string ConsoleTitle();

  // SIGKILL to the whole process group: the tool, its feeder and whatever
  // they started. Harmless before the start and after the end.
  void KillGroup();

  // Blocks until the tool ends; then ends what is left of its group (the
  // feeder among them) and reaps. Later calls return the same result.
  ToolExit Wait();
  // The feeder's end, valid after Wait: its own exit when it had ended before
  // the tool; code 0 when Wait ended it, or when SIGPIPE ended it because
  // the tool had stopped reading. Code -1 without feeder.
  ToolExit FeederExit() const;

  // Closes the read side of the output (pipe or log file).
  void CloseOutput();

 private:
  ToolExit ExitFromStatus(int status) const;

  mutable std::mutex mutex_;
  std::mutex wait_mutex_;  // one waiter at a time; never held with mutex_ while blocking
  bool started_ = false;
  bool kill_requested_ = false;
  bool group_ended_ = false;  // Wait has killed the rest of the group: no kill may follow the reap
  bool waited_ = false;
  pid_t tool_pid_ = 0;
  pid_t feeder_pid_ = 0;
  pid_t group_ = 0;
  OutputCapture capture_ = OutputCapture::kNone;
  int output_fd_ = -1;  // pipe read end, or the log file opened for reading
  bool output_closed_ = false;
  off_t read_offset_ = 0;
  off_t title_offset_ = 0;
  std::optional<ConsoleTitleTracker> title_;
  ToolExit exit_;
  ToolExit feeder_exit_;
};

}  // namespace dp
