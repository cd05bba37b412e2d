// SubRip text subtitles (".srt"): numbered blocks of a timing line
// ("00:00:01,500 --> 00:00:03,000") and the lines of text shown meanwhile.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dp::tools {

struct SrtEvent {
  std::int64_t start_ms = 0;
  std::int64_t end_ms = 0;
  std::string text;  // lines joined by "\n", markup (<i>, <font ...>) kept
};

// Lenient on a byte order mark, CRLF line ends, a missing block number and
// "." before the milliseconds. False, with the line in `error`, when a block
// has no readable timing line or ends before it starts, or the file holds no
// subtitle at all.
bool ParseSrt(std::string_view text, std::vector<SrtEvent>& out, std::string& error);

// "01:02:03,004" for 3723004 ms.
std::string SrtTime(std::int64_t ms);

}  // namespace dp::tools
