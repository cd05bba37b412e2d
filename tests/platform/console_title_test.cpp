#include "platform/console_title.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "util/text.h"

namespace dp {
namespace {

constexpr const char* kLaunch = "[X264 PROCESS] Do not close this window!!!";

std::string ReadFixture(const std::string& name) {
  std::ifstream in(std::string(DP_SOURCE_DIR) + "/tests/data/tools/" + name, std::ios::binary);
  std::stringstream buf;
  buf << in.rdbuf();
  return buf.str();
}

TEST(ConsoleTitle, ProgressLineShapes) {
  for (const char* line : {"[12.3%] 1234/5678 frames, 185.22 fps, 5207.82 kb/s, eta 0:00:02",
                           "[100.0%] 300/300 frames, 421.13 fps, 49.33 kb/s, eta 0:00:00  ",
                           "[7%] 1/2 frames", "62 frames: 187.51 fps, 5196.03 kb/s"}) {
    EXPECT_TRUE(IsEncoderProgressLine(line)) << line;
  }
  for (const char* line :
       {"", "   ", "x264 [info]: profile High, level 3.0, 4:2:0, 8-bit",
        "encoded 250 frames, 30.56 fps, 16713.64 kb/s", "[12.3%] frames", "[12.%] 1/2 frames",
        "[%] 1/2 frames", "[12.3%]1/2 frames", "[12.3%] 1/ frames", "62 frames, 1 fps",
        "62 frames:", " [12.3%] 1/2 frames", "Progress: 45%", "MVCenc [45.2%] 100 frames"}) {
    EXPECT_FALSE(IsEncoderProgressLine(line)) << line;
  }
}

TEST(ConsoleTitle, TitleForOneLine) {
  EXPECT_EQ(TitleForLine(TitleSource::kX265, "62 frames: 187.51 fps, 5196.03 kb/s  "),
            "x265 62 frames: 187.51 fps, 5196.03 kb/s");
  EXPECT_EQ(TitleForLine(TitleSource::kNone, "[12.3%] 59/480 frames"), std::nullopt);
  EXPECT_EQ(TitleForLine(TitleSource::kMvcenc, "MVCenc [45.2%] 100/221 frames  "),
            "MVCenc [45.2%] 100/221 frames");
  EXPECT_EQ(TitleForLine(TitleSource::kMvcenc, "MVCenc [45.2] 100/221"), std::nullopt);
  EXPECT_EQ(TitleForLine(TitleSource::kMvcenc, "[45.2%] 100/221 frames"), std::nullopt);
}

// Feeds a real capture in awkward chunks and compares the titles seen with
// what an independent reading of the same capture predicts.
void CheckCapture(const std::string& fixture, TitleSource source, const std::string& name) {
  const std::string text = ReadFixture(fixture);
  ASSERT_FALSE(text.empty()) << fixture;

  const std::regex progress(R"(^(\[[0-9]+(\.[0-9]+)?%\] [0-9]+/[0-9]+ frames.*|[0-9]+ frames: .*))");
  std::vector<std::string> expected = {kLaunch};
  std::string line;
  auto take = [&](std::string l) {
    const std::string trimmed(TrimRight(l));
    if (std::regex_match(trimmed, progress)) expected.push_back(name + " " + trimmed);
    if (l.rfind("encoded ", 0) == 0) expected.push_back(kLaunch);
  };
  for (char c : text) {
    if (c == '\r' || c == '\n') {
      take(line);
      line.clear();
    } else {
      line.push_back(c);
    }
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

TEST(ConsoleTitle, RealEncoderOutputs) {
  CheckCapture("x264_crf.stderr", TitleSource::kX264, "x264");
  CheckCapture("x264_pass1.stderr", TitleSource::kX264, "x264");
  CheckCapture("x264_pass2.stderr", TitleSource::kX264, "x264");
  CheckCapture("x264_nototal.stderr", TitleSource::kX264, "x264");
  CheckCapture("x265_crf.stderr", TitleSource::kX265, "x265");
  CheckCapture("x265_nototal.stderr", TitleSource::kX265, "x265");
}

// The monitor reads the frame number two characters after the "]" up to the
// next "/", or, without a "]", two characters after the first "4" up to the
// next blank: the titles formed here must lead it to the frame count.
TEST(ConsoleTitle, TitlesCarryTheFrameNumberWhereTheMonitorLooks) {
  ConsoleTitleTracker tracker(TitleSource::kX264, kLaunch);
  tracker.Feed("[12.3%] 1234/5678 frames, 185.22 fps, 5207.82 kb/s, eta 0:00:02  \r");
  const std::string& t = tracker.Text();
  const std::size_t bracket = t.find(']');
  ASSERT_NE(bracket, std::string::npos);
  EXPECT_EQ(t.substr(bracket + 2, t.find('/', bracket) - bracket - 2), "1234");

  tracker.Feed("62 frames: 187.51 fps, 5196.03 kb/s  \r");
  const std::string& u = tracker.Text();
  ASSERT_EQ(u.find(']'), std::string::npos);
  const std::size_t four = u.find('4');
  EXPECT_EQ(u.substr(four + 2, u.find(' ', four + 2) - four - 2), "62");
}

TEST(ConsoleTitle, OnlyWholeProgressLinesCount) {
  ConsoleTitleTracker tracker(TitleSource::kX264, kLaunch);
  tracker.Feed(ReadFixture("mkvmerge.stdout"));
  EXPECT_EQ(tracker.Text(), kLaunch);
  tracker.Feed("[12.3%] 59/480 fra");
  EXPECT_EQ(tracker.Text(), kLaunch);
  tracker.Feed("mes, 1 fps\r");
  EXPECT_EQ(tracker.Text(), "x264 [12.3%] 59/480 frames, 1 fps");
}

}  // namespace
}  // namespace dp
