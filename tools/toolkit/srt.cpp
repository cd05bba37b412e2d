#include "toolkit/srt.h"

#include <algorithm>
#include <cctype>

#include "util/text.h"

namespace dp::tools {
namespace {

bool AllDigits(std::string_view s) {
  return !s.empty() &&
         std::all_of(s.begin(), s.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

// "HH:MM:SS,mmm" (or ".mmm"); hours may have any number of digits.
bool ParseTime(std::string_view s, std::int64_t& ms) {
  s = Trim(s);
  const std::vector<std::string_view> parts = Tokenize(s, ":,.");
  if (parts.size() != 4 || std::count(s.begin(), s.end(), ':') != 2) return false;
  for (std::string_view p : parts)
    if (!AllDigits(p) || p.size() > 9) return false;
  const std::int64_t minutes = LeadingInt(parts[1]), seconds = LeadingInt(parts[2]);
  if (minutes > 59 || seconds > 59 || parts[3].size() > 3) return false;
  std::int64_t fraction = LeadingInt(parts[3]);
  for (std::size_t n = parts[3].size(); n < 3; ++n) fraction *= 10;
  ms = ((LeadingInt64(parts[0]) * 60 + minutes) * 60 + seconds) * 1000 + fraction;
  return true;
}

}  // namespace

bool ParseSrt(std::string_view text, std::vector<SrtEvent>& out, std::string& error) {
  out.clear();
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  // Lines with their numbers, blank ones kept: they end the blocks.
  std::vector<std::string_view> lines;
  for (std::size_t at = 0; at <= text.size();) {
    std::size_t end = text.find('\n', at);
    if (end == npos) end = text.size();
    std::string_view line = text.substr(at, end - at);
    if (line.ends_with('\r')) line.remove_suffix(1);
    lines.push_back(line);
    at = end + 1;
  }
  for (std::size_t i = 0; i < lines.size();) {
    if (Trim(lines[i]).empty()) {
      ++i;
      continue;
    }
    if (AllDigits(Trim(lines[i])) && i + 1 < lines.size()) ++i;
    const std::string_view timing = lines[i];
    const std::size_t arrow = timing.find("-->");
    SrtEvent event;
    // Positions after the end time ("X1:..") are ignored.
    const std::string_view end_part = arrow == npos ? "" : Trim(timing.substr(arrow + 3));
    if (arrow == npos || !ParseTime(timing.substr(0, arrow), event.start_ms) ||
        !ParseTime(end_part.substr(0, end_part.find(' ')), event.end_ms)) {
      error = Format("Line %zu: \"%s\" is not a subtitle's timing.", i + 1, std::string(timing).c_str());
      return false;
    }
    if (event.end_ms < event.start_ms) {
      error = Format("Line %zu: the subtitle ends before it starts.", i + 1);
      return false;
    }
    for (++i; i < lines.size() && !Trim(lines[i]).empty(); ++i)
      event.text += (event.text.empty() ? "" : "\n") + std::string(lines[i]);
    out.push_back(std::move(event));
  }
  if (out.empty()) {
    error = "The file holds no subtitle.";
    return false;
  }
  return true;
}

std::string SrtTime(std::int64_t ms) {
  return Format("%02lld:%02lld:%02lld,%03lld", static_cast<long long>(ms / 3600000),
                static_cast<long long>(ms / 60000 % 60), static_cast<long long>(ms / 1000 % 60),
                static_cast<long long>(ms % 1000));
}

}  // namespace dp::tools
