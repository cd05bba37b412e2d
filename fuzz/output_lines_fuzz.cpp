#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/output_lines.h"

// First byte: where the rest is cut in two. The lines must not depend on
// where the reads were cut.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::size_t cut = text.empty() ? 0 : data[0] % (text.size() + 1);

  auto split = [](const std::vector<std::string_view>& chunks) {
    dp::OutputLines splitter;
    std::vector<std::string> lines;
    for (std::string_view chunk : chunks) {
      for (std::string& line : splitter.Feed(chunk)) lines.push_back(std::move(line));
    }
    if (auto last = splitter.Finish()) lines.push_back(*last);
    return lines;
  };
  const std::vector<std::string> whole = split({text});
  if (split({text.substr(0, cut), text.substr(cut)}) != whole) __builtin_trap();
  for (const std::string& line : whole) {
    if (line.find_first_of("\r\n") != std::string::npos) __builtin_trap();
  }
  return 0;
}
