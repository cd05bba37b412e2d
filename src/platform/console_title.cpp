#include "platform/console_title.h"

#include "util/text.h"

namespace dp {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Skips the digits at `pos`; false when there is none.
bool SkipDigits(std::string_view s, std::size_t& pos) {
  const std::size_t start = pos;
  while (pos < s.size() && IsDigit(s[pos])) ++pos;
  return pos > start;
}

bool SkipText(std::string_view s, std::size_t& pos, std::string_view text) {
  if (s.substr(pos, text.size()) != text) return false;
  pos += text.size();
  return true;
}

std::string_view EncoderName(TitleSource source) { return source == TitleSource::kX265 ? "x265 " : "x264 "; }

}  // namespace

bool IsEncoderProgressLine(std::string_view line) {
  std::size_t pos = 0;
  if (SkipText(line, pos, "[")) {
    if (!SkipDigits(line, pos)) return false;
    if (SkipText(line, pos, ".") && !SkipDigits(line, pos)) return false;
    return SkipText(line, pos, "%] ") && SkipDigits(line, pos) && SkipText(line, pos, "/") &&
           SkipDigits(line, pos) && SkipText(line, pos, " frames");
  }
  return SkipDigits(line, pos) && SkipText(line, pos, " frames: ");
}

std::optional<std::string> TitleForLine(TitleSource source, std::string_view line) {
  line = TrimRight(line);
  switch (source) {
    case TitleSource::kNone:
      return std::nullopt;
    case TitleSource::kX264:
    case TitleSource::kX265:
      if (!IsEncoderProgressLine(line)) return std::nullopt;
      return std::string(EncoderName(source)) + std::string(line);
    case TitleSource::kMvcenc: {
      if (!line.starts_with("MVCenc")) return std::nullopt;
      const std::size_t open = line.find('[');
      if (open == npos || line.find("%]", open) == npos) return std::nullopt;
      return std::string(line);
    }
  }
  return std::nullopt;
}

ConsoleTitleTracker::ConsoleTitleTracker(TitleSource source, std::string launch_title)
    : source_(source), launch_title_(std::move(launch_title)), text_(launch_title_) {}

void ConsoleTitleTracker::Feed(std::string_view chunk) {
  if (source_ == TitleSource::kNone) return;
  for (const std::string& line : lines_.Feed(chunk)) TakeLine(line);
}

void ConsoleTitleTracker::TakeLine(std::string_view line) {
  if (std::optional<std::string> title = TitleForLine(source_, line)) {
    text_ = std::move(*title);
  } else if ((source_ == TitleSource::kX264 || source_ == TitleSource::kX265) &&
             line.starts_with("encoded ")) {
    text_ = launch_title_;
  }
}

}  // namespace dp
