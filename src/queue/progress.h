// The progress monitor: on every timer tick the user-interface thread looks
// at the running job's status, reads the running tool's progress from its
// output pipe or its console title, and shows it on the progress bar, the
// status line and the taskbar button.
//
// The readers are pure functions of what one tick read, so the Qt window,
// the CLI and the tests share them; the tick itself works through two small
// interfaces (where it reads from, where it shows).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dp {

// A pipe reader takes at most this many bytes per tick; the rest stays in the
// pipe for later ticks.
inline constexpr std::size_t kProgressPipeChunk = 500;
// Console titles are read into a buffer of this size (terminator included).
inline constexpr std::size_t kConsoleTitleBuffer = 256;
// The bar runs from 0 to this value (tenths of a percent).
inline constexpr int kProgressMax = 1000;
// Appended to the bar label when eac3to announces its second pass.
inline constexpr std::string_view kSecondPassLabel = " (2nd pass)...";
inline constexpr std::string_view kIdleLabel = "Idle";

enum class ProgressReader {
  kNone,          // not a running status: the tick ends
  kEac3toPipe,    // 3: "process:" on the output pipe
  kMvcencTitle,   // 4: console title beginning with "M"
  kEncoderTitle,  // 5..8: x264 / x265 console title beginning with "x", "f" or "l"
  kTsMuxerPipe,   // 9: percentage after the first line break
  kMkvmergePipe,  // 10: "Progress:" on the output pipe
};

ProgressReader ProgressReaderFor(std::int32_t status);
bool ReadsPipe(ProgressReader reader);
bool ReadsTitle(ProgressReader reader);

// What a tick shows when its reader did not end it.
struct ProgressShown {
  int p = 0;  // per-mille, 0..kProgressMax
  std::string text;

  bool operator==(const ProgressShown&) const = default;
};

struct ProgressRead {
  std::optional<ProgressShown> shown;  // empty: the display is left as it is
  // eac3to said "Starting 2nd pass": the bar label gets kSecondPassLabel,
  // whether or not this tick also shows a value.
  bool second_pass = false;
};

// trunc(percent * 10), saturated to the int range.
int PerMilleFromPercent(double percent);

// The text a pipe reader works on: of the bytes read (at most
// kProgressPipeChunk count), the last one is replaced by the end of the text;
// an embedded NUL ends it earlier.
std::string_view PipeChunkText(std::string_view bytes_read);
// The title as the 256-byte title buffer holds it (never cut inside a UTF-8
// sequence).
std::string_view ConsoleTitleText(std::string_view title);

// The readers. Pipe readers take the text of PipeChunkText, title readers the
// text of ConsoleTitleText.
ProgressRead ReadEac3toProgress(std::string_view text);
std::optional<ProgressShown> ReadTsMuxerProgress(std::string_view text);
std::optional<ProgressShown> ReadMkvmergeProgress(std::string_view text);
std::optional<ProgressShown> ReadMvcencTitle(std::string_view title);
std::optional<ProgressShown> ReadEncoderTitle(std::string_view title, std::int32_t frame_count);

// One tick's reading for a job in `status`: `input` is the bytes the pipe read
// gave (pipe readers) or the console title (title readers).
ProgressRead ReadProgress(std::int32_t status, std::string_view input, std::int32_t frame_count);

// Where the tick reads from: the run state published by the worker.
class ProgressSource {
 public:
  virtual ~ProgressSource() = default;
  // The running tool's console (title channel) has been found.
  virtual bool ConsoleWindowFound() = 0;
  // Looks for the running tool's console; a later tick uses it.
  virtual void FindConsoleWindow() = 0;
  virtual int CurrentJob() = 0;  // slot, -1 when idle
  virtual std::int32_t JobStatus(int slot) = 0;
  virtual std::int32_t JobFrameCount(int slot) = 0;
  // At most max_bytes of what waits in the tool's output pipe, without
  // blocking; empty when nothing waits or the pipe is closed.
  virtual std::string ReadPipe(std::size_t max_bytes) = 0;
  // The console title; empty when the console is gone.
  virtual std::string ConsoleTitle() = 0;
};

enum class TaskbarState { kNoProgress, kIndeterminate, kNormal };

// Where the tick shows: the bar, the status line and the taskbar button.
class ProgressDisplay {
 public:
  virtual ~ProgressDisplay() = default;
  virtual void SetBarValue(int per_mille) = 0;
  virtual std::string BarLabel() = 0;
  virtual void SetBarLabel(std::string_view label) = 0;
  virtual void SetStatusText(std::string_view text) = 0;
  // False where the desktop offers no taskbar progress.
  virtual bool HasTaskbar() = 0;
  virtual void SetTaskbarState(TaskbarState state) = 0;
  virtual void SetTaskbarValue(int completed, int total) = 0;
  // Set by the worker at each step start: the taskbar still shows the
  // step-start state until the first progress value arrives.
  virtual bool TaskbarProgressPending() = 0;
  virtual void SetTaskbarProgressPending(bool pending) = 0;
};

// One timer tick (`CallTimerStatus`).
void ProgressTick(ProgressSource& source, ProgressDisplay& display);
// Bar at 0 labelled "Idle", empty status line, no taskbar progress.
void ResetProgress(ProgressDisplay& display);

}  // namespace dp
