#include "eac3to/console.h"

namespace dp::tools {

Console::Console(const std::string& log_path) {
  if (!log_path.empty()) log_ = std::fopen(log_path.c_str(), "wb");
}

Console::~Console() {
  if (log_) std::fclose(log_);
}

void Console::LogOnly(std::string_view text) {
  if (!log_) return;
  std::fwrite(text.data(), 1, text.size(), log_);
  std::fputs("\r\n", log_);
  std::fflush(log_);
}

void Console::Line(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputs("\r\n", stdout);
  std::fflush(stdout);
  LogOnly(text);
}

void Console::Progress(int percent) {
  if (percent == last_percent_) return;
  last_percent_ = percent;
  std::printf("process: %d%%\r\n", percent);
  std::fflush(stdout);
}

void Console::Error(std::string_view text) {
  std::string line(text);
  line += " <ERROR>";
  Line(line);
}

}  // namespace dp::tools
