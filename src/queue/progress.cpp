#include "queue/progress.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "queue/job_record.h"
#include "util/text.h"

namespace dp {
namespace {

int ClampPerMille(std::int64_t p) { return static_cast<int>(std::clamp<std::int64_t>(p, 0, kProgressMax)); }

// A value outside the bar's range (a negative percentage, more than 100%, a
// frame past the job's count) is shown at the nearest end rather than handed
// to a bar that would ignore it.
std::optional<ProgressShown> Shown(std::int64_t p, std::string text) {
  return ProgressShown{ClampPerMille(p), std::move(text)};
}

// "<key> 45%": the first "%" at or after two characters past the key's start
// ends the text; the number starts one character after the key.
std::optional<ProgressShown> ReadKeyPercent(std::string_view text, std::string_view key) {
  const std::size_t k = IFind(text, key);
  if (k == npos || k + 2 > text.size()) return std::nullopt;
  const std::size_t percent = text.find('%', k + 2);
  if (percent == npos) return std::nullopt;
  const std::size_t cut = percent + 1;
  const std::size_t value_start = k + key.size() + 1;
  if (value_start >= cut) return std::nullopt;
  const int p = PerMilleFromPercent(LeadingDouble(text.substr(value_start, cut - value_start)));
  if (p == 0) return std::nullopt;
  return Shown(p, std::string(text.substr(k, cut - k)));
}

// A bracketed percentage such as "12.3%": its last character (the "%") is
// dropped before the number is read.
int BracketPercent(std::string_view inside) {
  if (!inside.empty()) inside.remove_suffix(1);
  return PerMilleFromPercent(LeadingDouble(inside));
}

}  // namespace

bool ReadsPipe(ProgressReader reader) {
  return reader == ProgressReader::kEac3toPipe || reader == ProgressReader::kTsMuxerPipe ||
         reader == ProgressReader::kMkvmergePipe;
}

bool ReadsTitle(ProgressReader reader) {
  return reader == ProgressReader::kMvcencTitle || reader == ProgressReader::kEncoderTitle;
}

int PerMilleFromPercent(double percent) {
  const double v = std::trunc(percent * 10.0);
  if (!(v > std::numeric_limits<int>::min())) return std::numeric_limits<int>::min();
  if (!(v < std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
  return static_cast<int>(v);
}

std::string_view PipeChunkText(std::string_view bytes_read) {
  std::string_view text = bytes_read.substr(0, kProgressPipeChunk);
  if (!text.empty()) text.remove_suffix(1);
  const std::size_t nul = text.find('\0');
  return nul == npos ? text : text.substr(0, nul);
}

std::string_view ConsoleTitleText(std::string_view title) {
  const std::size_t nul = title.find('\0');
  if (nul != npos) title = title.substr(0, nul);
  return title.substr(0, Utf8SafePrefix(title, kConsoleTitleBuffer - 1));
}

ProgressRead ReadEac3toProgress(std::string_view text) {
  ProgressRead read;
  read.second_pass = IFind(text, "Starting 2nd pass") != npos;
  read.shown = ReadKeyPercent(text, "process:");
  if (read.shown) read.shown->text[0] = 'P';
  return read;
}

std::optional<ProgressShown> ReadTsMuxerProgress(std::string_view text) {
  const std::size_t line_break = text.find("\r\n");
  if (line_break == npos) return std::nullopt;
  const std::size_t start = line_break + 2;
  // Cut two characters after the first "t", so "45.2% complete" stays whole;
  // a line cut short by the chunk has no room for them and is left for later.
  const std::size_t t = IFind(text, "t", start);
  if (t == npos || t + 2 > text.size()) return std::nullopt;
  const std::string_view line = text.substr(start, t + 2 - start);
  const int p = PerMilleFromPercent(LeadingDouble(line));
  if (p == 0) return std::nullopt;
  return Shown(p, std::string(line));
}

std::optional<ProgressShown> ReadMkvmergeProgress(std::string_view text) {
  return ReadKeyPercent(text, "Progress:");
}

std::optional<ProgressShown> ReadMvcencTitle(std::string_view title) {
  if (title.empty() || title[0] != 'M') return std::nullopt;
  int p = 0;
  const std::size_t open = title.find('[');
  const std::size_t close = open == npos ? npos : title.find(']', open + 1);
  if (close != npos) p = BracketPercent(title.substr(open + 1, close - open - 1));
  return Shown(p, std::string(title));
}

std::optional<ProgressShown> ReadEncoderTitle(std::string_view title, std::int32_t frame_count) {
  if (title.empty()) return std::nullopt;
  const char first = title[0];
  std::int64_t p = 0;
  if (first == 'f' || first == 'l') {
    const std::size_t first_open = title.find('[');
    const std::size_t open = first_open == npos ? npos : title.find('[', first_open + 1);
    const std::size_t close = open == npos ? npos : title.find(']', open + 1);
    if (close != npos) p = BracketPercent(title.substr(open + 1, close - open - 1));
  } else if (first == 'x') {
    // "x264 [12.3%] 1234/5678 frames, ..." or, with no known total,
    // "x264 1234 frames: ...".
    std::size_t start = npos;
    char end_mark = '/';
    const std::size_t close = title.find(']');
    if (close != npos) {
      start = close + 2;
    } else if (const std::size_t four = title.find('4'); four != npos) {
      start = four + 2;
      end_mark = ' ';
    }
    if (start != npos && start > title.size()) return std::nullopt;
    const std::size_t end = start == npos ? npos : title.find(end_mark, start);
    if (end != npos && frame_count > 0) {
      const std::int64_t frame = LeadingInt(title.substr(start, end - start));
      p = frame * kProgressMax / frame_count;
    }
  } else {
    return std::nullopt;
  }
  return Shown(p, std::string(title));
}

ProgressRead ReadProgress(ProgressReader reader, std::string_view input, std::int32_t frame_count) {
  ProgressRead read;
  switch (reader) {
    case ProgressReader::kNone:
      break;
    case ProgressReader::kEac3toPipe:
      read = ReadEac3toProgress(PipeChunkText(input));
      break;
    case ProgressReader::kTsMuxerPipe:
      read.shown = ReadTsMuxerProgress(PipeChunkText(input));
      break;
    case ProgressReader::kMkvmergePipe:
      read.shown = ReadMkvmergeProgress(PipeChunkText(input));
      break;
    case ProgressReader::kMvcencTitle:
      read.shown = ReadMvcencTitle(ConsoleTitleText(input));
      break;
    case ProgressReader::kEncoderTitle:
      read.shown = ReadEncoderTitle(ConsoleTitleText(input), frame_count);
      break;
  }
  return read;
}

void ProgressTick(ProgressSource& source, ProgressDisplay& display) {
  if (!source.ConsoleWindowFound()) {
    source.FindConsoleWindow();
    return;
  }
  const int slot = source.CurrentJob();
  if (slot < 0 || slot >= kQueueSlots) return;
  const ProgressReader reader = source.StepReader();
  if (reader == ProgressReader::kNone) return;

  ProgressRead read;
  if (ReadsPipe(reader)) {
    const std::string bytes = source.ReadPipe(kProgressPipeChunk);
    if (bytes.empty()) return;
    read = ReadProgress(reader, bytes, 0);
  } else {
    const std::string title = source.ConsoleTitle();
    if (title.empty()) return;
    read = ReadProgress(reader, title, source.JobFrameCount(slot));
  }

  if (read.second_pass) {
    // Once per step: a second announcement must not grow the label again.
    const std::string label = display.BarLabel();
    if (!label.ends_with(kSecondPassLabel)) display.SetBarLabel(label + std::string(kSecondPassLabel));
  }
  if (!read.shown) return;
  display.SetStatusText(read.shown->text);
  display.SetBarValue(read.shown->p);
}

}  // namespace dp
