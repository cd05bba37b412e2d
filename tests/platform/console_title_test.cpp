#include "platform/console_title.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "support/files.h"
#include "util/text.h"

namespace dp {
namespace {

constexpr const char* kLaunch = "[X264 PROCESS] Do not close this window!!!";

std::string ReadFixture(const std::string& name) {
  return test::ReadText(std::string(DP_SOURCE_DIR) + "/tests/data/tools/" + name);
}

TEST(ConsoleTitle, TitleForOneLine) {
  const struct {
    TitleSource source;
    const char* line;
    const char* title;  // nullptr: the line sets none
  } cases[] = {
      {TitleSource::kX264, "[12.3%] 1234/5678 frames, 185.22 fps, 5207.82 kb/s, eta 0:00:02  ",
       "x264 [12.3%] 1234/5678 frames, 185.22 fps, 5207.82 kb/s, eta 0:00:02"},
      {TitleSource::kX264, "[7%] 1/2 frames", "x264 [7%] 1/2 frames"},
      {TitleSource::kX265, "62 frames: 187.51 fps, 5196.03 kb/s  ",
       "x265 62 frames: 187.51 fps, 5196.03 kb/s"},
      {TitleSource::kNone, "[12.3%] 59/480 frames", nullptr},
      {TitleSource::kMvcenc, "MVCenc [45.2%] 100/221 frames  ", "MVCenc [45.2%] 100/221 frames"},
      {TitleSource::kMvcenc, "MVCenc [45.2] 100/221", nullptr},
      {TitleSource::kMvcenc, "[45.2%] 100/221 frames", nullptr},
  };
  for (const auto& c : cases)
    EXPECT_EQ(TitleForLine(c.source, c.line), c.title ? std::optional<std::string>(c.title) : std::nullopt)
        << c.line;
  for (const char* line : {"", "x264 [info]: profile High, level 3.0, 4:2:0, 8-bit",
                           "encoded 250 frames, 30.56 fps, 16713.64 kb/s", "[12.%] 1/2 frames",
                           "[%] 1/2 frames", "62 frames:", "[12.3%]1/2 frames", "[12.3%] 1/ frames",
                           "62 frames, 1 fps", " [12.3%] 1/2 frames", "MVCenc [45.2%] 100 frames"})
    EXPECT_FALSE(IsEncoderProgressLine(line)) << line;
}

// Feeds a real capture in awkward chunks and compares the titles seen with
// what an independent reading of the same capture predicts.
TEST(ConsoleTitle, RealEncoderOutputs) {
  const std::regex progress(R"(^(\[[0-9]+(\.[0-9]+)?%\] [0-9]+/[0-9]+ frames.*|[0-9]+ frames: .*))");
  for (const auto& [fixture, source, name] : {std::tuple{"x264_crf.stderr", TitleSource::kX264, "x264"},
                                              {"x264_pass1.stderr", TitleSource::kX264, "x264"},
                                              {"x264_pass2.stderr", TitleSource::kX264, "x264"},
                                              {"x264_nototal.stderr", TitleSource::kX264, "x264"},
                                              {"x265_crf.stderr", TitleSource::kX265, "x265"},
                                              {"x265_nototal.stderr", TitleSource::kX265, "x265"}}) {
    const std::string text = ReadFixture(fixture);
    std::vector<std::string> expected = {kLaunch};
    std::string line;
    for (const char c : text) {
      if (c != '\r' && c != '\n') {
        line.push_back(c);
        continue;
      }
      const std::string trimmed(TrimRight(line));
      if (std::regex_match(trimmed, progress)) expected.push_back(std::string(name) + " " + trimmed);
      if (line.starts_with("encoded ")) expected.push_back(kLaunch);
      line.clear();
    }
    ASSERT_GT(expected.size(), 4u) << fixture;

    ConsoleTitleTracker tracker(source, kLaunch);
    std::vector<std::string> seen = {tracker.Text()};
    for (std::size_t at = 0; at < text.size(); at += 13) {
      tracker.Feed(std::string_view(text).substr(at, 13));
      if (tracker.Text() != seen.back()) seen.push_back(tracker.Text());
    }
    EXPECT_EQ(seen, expected) << fixture;
  }
}

}  // namespace
}  // namespace dp
