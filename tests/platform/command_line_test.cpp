#include "platform/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dp {
namespace {

using Args = std::vector<std::string>;

struct SplitCase {
  const char* text;
  Args args;
};

void ExpectSplits(const std::vector<SplitCase>& cases) {
  for (const SplitCase& c : cases) {
    EXPECT_EQ(SplitCommandLine(c.text), c.args) << "command line: [" << c.text << "]";
  }
}

TEST(SplitCommandLine, BlanksSeparateAndQuotesGroup) {
  ExpectSplits({
      {"", {}},
      {" \t  ", {}},
      {"p", {"p"}},
      {"  p   a  b  ", {"p", "a", "b"}},
      {"p\ta\t\tb", {"p", "a", "b"}},
      {"p \"a b\" c", {"p", "a b", "c"}},
      {"p \"a\tb\"", {"p", "a\tb"}},
      {"p a\"b c\"d", {"p", "ab cd"}},
      {"p \"abc\" d e", {"p", "abc", "d", "e"}},
      {"p d\"e f\"g h", {"p", "de fg", "h"}},
      // Only space and tab separate.
      {"p a\nb", {"p", "a\nb"}},
      // An unterminated quoted run lasts to the end.
      {"p \"a b", {"p", "a b"}},
      {"p \"a b  ", {"p", "a b  "}},
  });
}

TEST(SplitCommandLine, EmptyQuotedPairsAreArguments) {
  ExpectSplits({
      {"p \"\"", {"p", ""}},
      {"p \"\" \"\"", {"p", "", ""}},
      {"p a \"\" b", {"p", "a", "", "b"}},
      {"p \"\"a", {"p", "a"}},
      {"p a\"\"b", {"p", "ab"}},
  });
}

TEST(SplitCommandLine, BackslashesBeforeQuotes) {
  ExpectSplits({
      // Not before a quote: literal, however many.
      {R"(p a\b)", {"p", R"(a\b)"}},
      {R"(p a\\b)", {"p", R"(a\\b)"}},
      {R"(p a\)", {"p", R"(a\)"}},
      {R"(p "a\b c")", {"p", R"(a\b c)"}},
      // 2n+1 backslashes and a quote: n backslashes and a literal quote.
      {R"(p a\"b c d)", {"p", R"(a"b)", "c", "d"}},
      {R"(p a\\\"b c d)", {"p", R"(a\"b)", "c", "d"}},
      {R"(p a\\\\\"b)", {"p", R"(a\\"b)"}},
      // 2n backslashes and a quote: n backslashes, the quote toggles.
      {R"(p a\\"b c" d e)", {"p", R"(a\b c)", "d", "e"}},
      {R"(p a\\\\"b c" d)", {"p", R"(a\\b c)", "d"}},
      {R"(p "a\\")", {"p", R"(a\)"}},
      // The classic trap: a folder ending in a backslash swallows the
      // closing quote and the rest of the line.
      {R"(p "C:\dir\" x)", {"p", R"(C:\dir" x)"}},
      {R"(p "C:\dir\\" x)", {"p", R"(C:\dir\)", "x"}},
  });
}

TEST(SplitCommandLine, DoubledQuoteInsideQuotedRunIsLiteral) {
  ExpectSplits({
      {R"(p "a""b")", {"p", R"(a"b)"}},
      {R"(p a"b"" c d)", {"p", R"(ab" c d)"}},
      {R"(p """)", {"p", R"(")"}},
      {R"(p """")", {"p", R"(")"}},
      {R"(p """ a")", {"p", R"(" a)"}},
      {R"(p "a\\""b")", {"p", R"(a\"b)"}},
  });
}

TEST(SplitCommandLine, ProgramNameHasNoEscapes) {
  ExpectSplits({
      {R"("/usr/bin/x264" a)", {"/usr/bin/x264", "a"}},
      {R"("/opt/my tools/x264" a)", {"/opt/my tools/x264", "a"}},
      {R"(C:\x\y.exe a)", {R"(C:\x\y.exe)", "a"}},
      {R"("C:\x\" a)", {R"(C:\x\)", "a"}},
      {R"("a\"b c)", {R"(a\b)", "c"}},
      {R"("/a b/x"y z)", {"/a b/xy", "z"}},
      {R"("" a)", {"", "a"}},
      {"  \"p\"", {"p"}},
  });
}

TEST(SplitCommandLine, TemplateShapedLines) {
  ExpectSplits({
      {R"("/t/x264" --preset "slow" --crf 20 --index "/tmp/My Movie.job_3.index" -o "/tmp/My Movie.job_3.264" "/tmp/My Movie.job_3.h264")",
       {"/t/x264", "--preset", "slow", "--crf", "20", "--index", "/tmp/My Movie.job_3.index", "-o",
        "/tmp/My Movie.job_3.264", "/tmp/My Movie.job_3.h264"}},
      {R"("/t/mkvmerge" --output "/o/A; rm -rf ~ & $(x) `y` |z.mkv" --title "")",
       {"/t/mkvmerge", "--output", "/o/A; rm -rf ~ & $(x) `y` |z.mkv", "--title", ""}},
      {R"("/t/x265" --input "-" --output "/o/a.265")", {"/t/x265", "--input", "-", "--output", "/o/a.265"}},
  });
}

TEST(CheckTemplatePath, AcceptedPathsComeBackUnchanged) {
  const std::vector<std::string> paths = {
      "/tmp/movie.mkv",
      "/home/u/My Films/Le Film (2003) [1080p]/out.mkv",
      "/data/ünïcödé 東京/a.264",
      "/x/it's 100% $HOME;`id`&|*?~!#.mkv",
      "relative/name",
      "/ends/with/slash/",
      "  /leading and trailing blanks  ",
      "",
  };
  for (const std::string& path : paths) {
    EXPECT_EQ(CheckTemplatePath(path), "") << path;
    const std::string line = "\"/t/tool\" -o \"" + path + "\" \"" + path + "\"";
    EXPECT_EQ(SplitCommandLine(line), (Args{"/t/tool", "-o", path, path})) << line;
  }
}

TEST(CheckTemplatePath, RefusedPathsNameTheReason) {
  const std::pair<std::string, const char*> refused[] = {
      {"/tmp/say \"hi\".mkv", "contains a double quote"},
      {"/tmp/a\nb.mkv", "control character (code 10 at position 7)"},
      {"/tmp/a\tb.mkv", "control character (code 9 at position 7)"},
      {std::string("/tmp/a\x7f", 7), "control character (code 127"},
      {std::string("/tmp/a\0b", 8), "control character (code 0"},
      {"/tmp/dir\\", "contains a backslash"},
      {"C:\\films\\a.mkv", "contains a backslash"},
  };
  for (const auto& [path, reason] : refused) {
    EXPECT_NE(CheckTemplatePath(path).find(reason), std::string::npos) << "[" << path << "]";
  }
  // Quotes and backslashes would indeed be misread inside a template.
  for (const std::string path : {"/tmp/dir\\", "/tmp/a\"b", "/tmp/a\\\"b", "/t/x\\\\"}) {
    EXPECT_NE(SplitCommandLine("\"/t/tool\" \"" + path + "\" next"), (Args{"/t/tool", path, "next"})) << path;
  }
}

}  // namespace
}  // namespace dp
