#include "platform/output_lines.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace dp {
namespace {

using Lines = std::vector<std::string>;

// Feeds `chunks` one after the other and gathers every line, the unfinished
// tail included.
Lines FeedAll(const std::vector<std::string>& chunks) {
  OutputLines splitter;
  Lines all;
  for (const std::string& chunk : chunks) {
    for (std::string& line : splitter.Feed(chunk)) all.push_back(std::move(line));
  }
  if (auto last = splitter.Finish()) all.push_back(*last);
  return all;
}

std::string ReadFixture(const char* name) {
  std::ifstream in(std::string(DP_SOURCE_DIR) + "/tests/data/tools/" + name, std::ios::binary);
  std::stringstream buf;
  buf << in.rdbuf();
  return buf.str();
}

TEST(OutputLines, EachTerminatorEndsOneLine) {
  EXPECT_EQ(FeedAll({"a\nb\rc\r\nd"}), (Lines{"a", "b", "c", "d"}));
  EXPECT_EQ(FeedAll({"\r\r\n\n"}), (Lines{"", "", ""}));
  EXPECT_EQ(FeedAll({"a\n\rb"}), (Lines{"a", "", "b"}));
  EXPECT_EQ(FeedAll({"x\r\r\ny"}), (Lines{"x", "", "y"}));
  EXPECT_EQ(FeedAll({""}), Lines{});
  EXPECT_EQ(FeedAll({"no end"}), (Lines{"no end"}));
}

TEST(OutputLines, LinesSurviveChunkBoundaries) {
  // "\r" closing one chunk and "\n" opening the next are one terminator.
  EXPECT_EQ(FeedAll({"45.2% com", "plete\r", "\n46", ".0% complete\r"}),
            (Lines{"45.2% complete", "46.0% complete"}));
  EXPECT_EQ(FeedAll({"a\r", "", "\nb"}), (Lines{"a", "b"}));
  EXPECT_EQ(FeedAll({"a\r", "\r", "\n"}), (Lines{"a", ""}));
  EXPECT_EQ(FeedAll({"a\n", "\n"}), (Lines{"a", ""}));

  OutputLines splitter;
  EXPECT_EQ(splitter.Feed("Progress: 4"), Lines{});
  EXPECT_EQ(splitter.Pending(), "Progress: 4");
  EXPECT_EQ(splitter.Feed("5%\rProg"), (Lines{"Progress: 45%"}));
  EXPECT_EQ(splitter.Pending(), "Prog");
  EXPECT_EQ(splitter.Finish(), "Prog");
  EXPECT_EQ(splitter.Finish(), std::nullopt);
  EXPECT_EQ(splitter.Pending(), "");
}

TEST(OutputLines, RealOutputSplitsAlikeInAnyChunking) {
  for (const char* name : {"x264_crf.stderr", "x265_crf.stderr", "mkvmerge.stdout"}) {
    const std::string text = ReadFixture(name);
    ASSERT_FALSE(text.empty()) << name;
    // The same text cut by hand: every "\r\n", "\r" and "\n" ends a line.
    Lines expected;
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\r' || text[i] == '\n') {
        expected.push_back(line);
        line.clear();
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      } else {
        line.push_back(text[i]);
      }
    }
    if (!line.empty()) expected.push_back(line);

    for (std::size_t size : {1u, 2u, 3u, 7u, 64u, 500u, 100000u}) {
      std::vector<std::string> chunks;
      for (std::size_t at = 0; at < text.size(); at += size) chunks.push_back(text.substr(at, size));
      EXPECT_EQ(FeedAll(chunks), expected) << name << " in chunks of " << size;
    }
  }
}

TEST(OutputLines, EndlessLineIsHandedOutInPieces) {
  OutputLines splitter;
  const std::string big(OutputLines::kMaxLine + 10, 'x');
  const Lines lines = splitter.Feed(big);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].size(), OutputLines::kMaxLine);
  EXPECT_EQ(splitter.Pending().size(), 10u);
}

}  // namespace
}  // namespace dp
