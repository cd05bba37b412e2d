#include "platform/output_lines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dp {
namespace {

using Lines = std::vector<std::string>;

// Every line of `chunks` fed one after the other, the unfinished tail included.
Lines FeedAll(const std::vector<std::string>& chunks) {
  OutputLines splitter;
  Lines all;
  for (const std::string& chunk : chunks) {
    for (std::string& line : splitter.Feed(chunk)) all.push_back(std::move(line));
  }
  if (auto last = splitter.Finish()) all.push_back(*last);
  return all;
}

TEST(OutputLines, EachTerminatorEndsOneLineAcrossChunks) {
  const std::pair<std::vector<std::string>, Lines> cases[] = {
      {{"a\nb\rc\r\nd"}, {"a", "b", "c", "d"}},
      {{"\r\r\n\n"}, {"", "", ""}},
      {{"a\n\rb"}, {"a", "", "b"}},
      {{""}, {}},
      // "\r" closing one chunk and "\n" opening the next are one terminator.
      {{"45.2% com", "plete\r", "\n46", ".0% complete\r"}, {"45.2% complete", "46.0% complete"}},
      {{"a\r", "", "\nb"}, {"a", "b"}},
      {{"a\r", "\r", "\n"}, {"a", ""}},
      {{"a\n", "\n"}, {"a", ""}},
  };
  for (const auto& [chunks, lines] : cases) EXPECT_EQ(FeedAll(chunks), lines) << chunks[0];

  OutputLines splitter;
  EXPECT_EQ(splitter.Feed("5%\rProg"), (Lines{"5%"}));
  EXPECT_EQ(splitter.Pending(), "Prog");
  EXPECT_EQ(splitter.Finish(), "Prog");
  // An endless line is handed out in pieces.
  const Lines pieces = splitter.Feed(std::string(OutputLines::kMaxLine + 10, 'x'));
  ASSERT_EQ(pieces.size(), 1u);
  EXPECT_EQ(pieces[0].size(), OutputLines::kMaxLine);
  EXPECT_EQ(splitter.Pending().size(), 10u);
}

}  // namespace
}  // namespace dp
