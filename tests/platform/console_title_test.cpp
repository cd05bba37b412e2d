#include "platform/console_title.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dp {
namespace {

constexpr const char* kLaunch = "[X264 PROCESS] Do not close this window!!!";

TEST(ConsoleTitle, TitleForOneLine) {
  const struct {
    TitleSource source;
    const char* line;
    const char* title;  // nullptr: the line sets none
  } cases[] = {
      {TitleSource::kX264, "[12.3%] 1234/5678 frames, 185.22 fps, 5207.82 kb/s, eta 0:00:02  ",
       "x264 [12.3%] 1234/5678 frames, 185.22 fps, 5207.82 kb/s, eta 0:00:02"},
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
  for (const char* line : {"[%] 1/2 frames", "[12.%] 1/2 frames", "62 frames:", "[12.3%]1/2 frames",
                           "[12.3%] 1/ frames", "MVCenc [45.2%] 100 frames"})
    EXPECT_FALSE(IsEncoderProgressLine(line)) << line;
}

// Lines split across chunks and ended by "\r" alone, and the launch title
// back once the encoder sums up.
TEST(ConsoleTitle, TrackerFollowsTheOutput) {
  ConsoleTitleTracker tracker(TitleSource::kX264, kLaunch);
  std::vector<std::string> seen = {tracker.Text()};
  for (const char* chunk : {"x264 [info]: profile High\n[1.5%] 1/2 fr", "ames, 9 fps  \r",
                            "\n[50.0%] 2/2 frames\r", "\nencoded 2 frames, 1 fps\n"}) {
    tracker.Feed(chunk);
    seen.push_back(tracker.Text());
  }
  EXPECT_EQ(seen, (std::vector<std::string>{kLaunch, kLaunch, "x264 [1.5%] 1/2 frames, 9 fps",
                                            "x264 [50.0%] 2/2 frames", kLaunch}));
}

}  // namespace
}  // namespace dp
