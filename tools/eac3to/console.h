// Where the demuxer's messages go: standard output and, when "-log=" names a
// file, that log, line by line with Windows line ends as the readers expect.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace dp::tools {

class Console {
 public:
  explicit Console(const std::string& log_path);
  ~Console();
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;

  // A line for both the screen and the log.
  void Line(std::string_view text);
  // A line for the log alone (its header).
  void LogOnly(std::string_view text);
  // "process: N%" on standard output, once per new value.
  void Progress(int percent);
  // A failure: "<text> <ERROR>" on both.
  void Error(std::string_view text);

 private:
  std::FILE* log_ = nullptr;
  int last_percent_ = -1;
};

}  // namespace dp::tools
