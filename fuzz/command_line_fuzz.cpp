#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/command_line.h"

// The input is split as a command line; and as a path: one that is accepted
// for a template must come back unchanged from the split of a template line.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> args = dp::SplitCommandLine(text);
  for (const std::string& arg : args) {
    if (arg.size() > text.size()) __builtin_trap();
  }
  if (!dp::CheckTemplatePath(text).empty()) return 0;
  const std::string path(text);
  const std::vector<std::string> back =
      dp::SplitCommandLine("\"/t/tool\" -o \"" + path + "\" \"" + path + "\" x");
  if (back != std::vector<std::string>{"/t/tool", "-o", path, path, "x"}) __builtin_trap();
  return 0;
}
