// The console title of an encoder, formed from what it writes to its
// captured output. On Windows x264 and x265 title their console with their
// progress ("x264 [12.3%] 1234/5678 frames, ...") while stderr gets the same
// text without the name; the progress monitor reads the title. Here the
// title is rebuilt from the captured lines, so the monitor reads the same.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/output_lines.h"

namespace dp {

enum class TitleSource {
  kNone,    // the tool titles nothing: the launch title stays
  kX264,    // "x264 " + progress line
  kX265,    // "x265 " + progress line
  kMvcenc,  // a progress line that begins with "MVCenc" and holds "[…%]" is the title itself
};

// A progress line of x264 or x265: "[12.3%] 1234/5678 frames, ..." when the
// total is known, "62 frames: ..." when it is not.
bool IsEncoderProgressLine(std::string_view line);

// The title that `source` sets when it writes `line`, or nullopt when the
// line leaves the title as it is. The tools pad progress lines with blanks
// before the "\r"; the title has none.
std::optional<std::string> TitleForLine(TitleSource source, std::string_view line);

// The title of one run of a tool: the launch title until the tool sets its
// own, and the launch title again after the encoders' closing summary
// ("encoded N frames ..."), as they restore the title they found.
class ConsoleTitleTracker {
 public:
  ConsoleTitleTracker(TitleSource source, std::string launch_title);

  // Takes the next chunk of the tool's output.
  void Feed(std::string_view chunk);
  const std::string& Text() const { return text_; }

 private:
  void TakeLine(std::string_view line);

  TitleSource source_;
  std::string launch_title_;
  std::string text_;
  OutputLines lines_;
};

}  // namespace dp
