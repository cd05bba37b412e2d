// Cuts a tool's output, read in chunks of any size, into lines. Progress
// lines of the encoders and of mkvmerge end with "\r", others with "\n" or
// "\r\n"; a line cut in two by the reads is put back together.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dp {

class OutputLines {
 public:
  // A tool that never ends its line cannot make the carried text grow past
  // this: the text so far is handed out as a line.
  static constexpr std::size_t kMaxLine = 64 * 1024;

  // The lines that this chunk completes, without their terminators. "\r",
  // "\n" and "\r\n" each end one line, also when "\r" and "\n" arrive in
  // different chunks.
  std::vector<std::string> Feed(std::string_view chunk);
  // The text after the last terminator, carried to the next chunk.
  std::string_view Pending() const { return pending_; }
  // At the end of the output: the unfinished last line, if any.
  std::optional<std::string> Finish();

 private:
  std::string pending_;
  bool after_cr_ = false;  // the last byte seen was "\r"
};

}  // namespace dp
