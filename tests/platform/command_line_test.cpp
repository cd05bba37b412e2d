#include "platform/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dp {
namespace {

using Args = std::vector<std::string>;

TEST(SplitCommandLine, BlanksQuotesAndBackslashes) {
  const struct {
    const char* text;
    Args args;
  } cases[] = {
      {"", {}},
      {"  p   a\tb  ", {"p", "a", "b"}},
      {"p \"a b\" c", {"p", "a b", "c"}},
      {"p a\"b c\"d", {"p", "ab cd"}},
      {"p a\nb", {"p", "a\nb"}},      // only space and tab separate
      {"p \"a b  ", {"p", "a b  "}},  // an unterminated quoted run lasts to the end
      // Empty quoted pairs are arguments of their own, or nothing inside one.
      {"p a \"\" b", {"p", "a", "", "b"}},
      // Backslashes not before a quote are literal, however many.
      {R"(p a\\b "a\b c")", {"p", R"(a\\b)", R"(a\b c)"}},
      // 2n+1 backslashes and a quote: n backslashes and a literal quote.
      {R"(p a\\\"b c d)", {"p", R"(a\"b)", "c", "d"}},
      // 2n backslashes and a quote: n backslashes, the quote toggles.
      {R"(p a\\"b c" d e)", {"p", R"(a\b c)", "d", "e"}},
      // A folder ending in a backslash swallows the closing quote and the
      // rest of the line.
      {R"(p "C:\dir\" x)", {"p", R"(C:\dir" x)"}},
      // A doubled quote inside a quoted run is a literal quote.
      {R"(p "a""b")", {"p", R"(a"b)"}},
      {R"(p "a\\""b")", {"p", R"(a\"b)"}},
      // The program name has no escapes.
      {R"("/opt/my tools/x264" a)", {"/opt/my tools/x264", "a"}},
      {R"("C:\x\" a)", {R"(C:\x\)", "a"}},
      {R"("/t/mkvmerge" --output "/o/A; rm -rf ~ & $(x) `y` |z.mkv" --title "")",
       {"/t/mkvmerge", "--output", "/o/A; rm -rf ~ & $(x) `y` |z.mkv", "--title", ""}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitCommandLine(c.text), c.args) << "[" << c.text << "]";
}

TEST(CheckTemplatePath, AcceptedPathsSplitBackUnchanged) {
  for (const std::string path : {"/data/ünïcödé 東京/a.264", "/x/it's 100% $HOME;`id`&|*?~!#.mkv",
                                 "  /leading and trailing blanks  ", ""}) {
    EXPECT_EQ(CheckTemplatePath(path), "") << path;
    const std::string line = "\"/t/tool\" -o \"" + path + "\" \"" + path + "\"";
    EXPECT_EQ(SplitCommandLine(line), (Args{"/t/tool", "-o", path, path})) << line;
  }
  const std::pair<std::string, const char*> refused[] = {
      {"/tmp/say \"hi\".mkv", "contains a double quote"},
      {"/tmp/a\nb.mkv", "control character (code 10 at position 7)"},
      {std::string("/tmp/a\x7f", 7), "control character (code 127"},
      {"/tmp/dir\\", "contains a backslash"},
  };
  for (const auto& [path, reason] : refused) {
    EXPECT_NE(CheckTemplatePath(path).find(reason), std::string::npos) << "[" << path << "]";
    // Such a path would indeed be misread inside a template.
    const bool quote_or_backslash = path.find_first_of("\"\\") != std::string::npos;
    EXPECT_EQ(SplitCommandLine("\"/t/tool\" \"" + path + "\" next") != Args({"/t/tool", path, "next"}),
              quote_or_backslash)
        << path;
  }
}

}  // namespace
}  // namespace dp
