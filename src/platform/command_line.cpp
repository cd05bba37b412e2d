#include "platform/command_line.h"

#include "util/text.h"

namespace dp {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view text) {
  std::vector<std::string> args;
  std::size_t i = 0;
  const std::size_t n = text.size();

  while (i < n && IsBlank(text[i])) ++i;
  if (i == n) return args;

  // The program name: a file name cannot hold a quote, so quotes only
  // toggle and a backslash is an ordinary character.
  std::string program;
  bool in_quotes = false;
  for (; i < n; ++i) {
    const char c = text[i];
    if (c == '"') {
      in_quotes = !in_quotes;
    } else if (!in_quotes && IsBlank(c)) {
      break;
    } else {
      program.push_back(c);
    }
  }
  args.push_back(std::move(program));

  in_quotes = false;
  for (;;) {
    while (i < n && IsBlank(text[i])) ++i;
    if (i == n) break;
    std::string arg;
    while (i < n) {
      std::size_t backslashes = 0;
      while (i < n && text[i] == '\\') {
        ++backslashes;
        ++i;
      }
      if (i < n && text[i] == '"') {
        arg.append(backslashes / 2, '\\');
        if (backslashes % 2 == 1) {
          arg.push_back('"');
        } else if (in_quotes && i + 1 < n && text[i + 1] == '"') {
          arg.push_back('"');
          ++i;
        } else {
          in_quotes = !in_quotes;
        }
        ++i;
        continue;
      }
      arg.append(backslashes, '\\');
      if (i == n || (!in_quotes && IsBlank(text[i]))) break;
      arg.push_back(text[i]);
      ++i;
    }
    args.push_back(std::move(arg));
  }
  return args;
}

std::string CheckTemplatePath(std::string_view path) {
  for (std::size_t i = 0; i < path.size(); ++i) {
    const auto c = static_cast<unsigned char>(path[i]);
    if (c == '"') {
      return Format("The path \"%.*s\" contains a double quote, which a tool's command line cannot carry.",
                    static_cast<int>(path.size()), path.data());
    }
    if (c < 0x20 || c == 0x7f) {
      return Format(
          "The path contains a control character (code %u at position %zu), which a tool's command line "
          "cannot carry.",
          static_cast<unsigned>(c), i + 1);
    }
    if (c == '\\') {
      return Format(
          "The path \"%.*s\" contains a backslash, which a tool's command line would misread next to a "
          "quote.",
          static_cast<int>(path.size()), path.data());
    }
  }
  return {};
}

}  // namespace dp
