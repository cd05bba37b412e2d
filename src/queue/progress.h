// The progress monitor: on every timer tick the user-interface thread asks
// the running step which reader its tool's progress goes through, reads that
// progress from the tool's output pipe or its console title, and shows it on
// the progress bar and the status line.
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

// How a running tool's progress is read; each step names its tool's reader.
enum class ProgressReader {
  kNone,          // no progress to read: the tick ends
  kEac3toPipe,    // "process:" on the output pipe
  kMvcencTitle,   // console title beginning with "M"
  kEncoderTitle,  // x264 / x265 console title beginning with "x", "f" or "l"
  kTsMuxerPipe,   // percentage after the first line break
  kMkvmergePipe,  // "Progress:" on the output pipe
};

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

// One tick's reading through `reader`: `input` is the bytes the pipe read
// gave (pipe readers) or the console title (title readers).
ProgressRead ReadProgress(ProgressReader reader, std::string_view input, std::int32_t frame_count);

// Where the tick reads from: the run state published by the worker.
class ProgressSource {
 public:
  virtual ~ProgressSource() = default;
  // The running tool's console (title channel) has been found.
  virtual bool ConsoleWindowFound() = 0;
  // Looks for the running tool's console; a later tick uses it.
  virtual void FindConsoleWindow() = 0;
  virtual int CurrentJob() = 0;  // slot, -1 when idle
  // The reader the running step named for its tool; kNone between tools.
  virtual ProgressReader StepReader() = 0;
  virtual std::int32_t JobFrameCount(int slot) = 0;
  // At most max_bytes of what waits in the tool's output pipe, without
  // blocking; empty when nothing waits or the pipe is closed.
  virtual std::string ReadPipe(std::size_t max_bytes) = 0;
  // The console title; empty when the console is gone.
  virtual std::string ConsoleTitle() = 0;
};

// Where the tick shows: the bar with its label, and the status line.
class ProgressDisplay {
 public:
  virtual ~ProgressDisplay() = default;
  virtual void SetBarValue(int per_mille) = 0;
  virtual std::string BarLabel() = 0;
  virtual void SetBarLabel(std::string_view label) = 0;
  virtual void SetStatusText(std::string_view text) = 0;
  // Bar at 0 labelled kIdleLabel, empty status line, no progress elsewhere.
  virtual void Reset() = 0;
};

// One timer tick (`CallTimerStatus`).
void ProgressTick(ProgressSource& source, ProgressDisplay& display);

}  // namespace dp
