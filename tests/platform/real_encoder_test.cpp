// The launch layer with a real encoder of this machine: x265 titled from its
// log, fed through a pipe and stopped mid-run (it ignores SIGINT; only the
// group kill ends it).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "platform/command_line.h"
#include "platform/run_program.h"
#include "platform/tool_process.h"
#include "support/temp_dir.h"

namespace dp {
namespace {

using namespace std::chrono_literals;

// The exit code of a command line, run quietly; -1 when it has none.
int RunLine(const std::string& command_line) {
  const Result<int> code = RunQuietly(SplitCommandLine(command_line), 120s);
  return code ? *code : -1;
}

class RealEncoder : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* tool : {"ffmpeg -version", "x264 --version", "x265 --version"}) {
      if (RunLine(tool) != 0) GTEST_SKIP() << "cannot run " << tool;
    }
    ASSERT_EQ(
        RunLine("ffmpeg -v error -f lavfi -i \"testsrc2=size=640x360:rate=25,noise=alls=30:allf=t\" -t 2 "
                "-pix_fmt yuv420p \"" +
                clip_ + "\""),
        0);
  }

  test::TempDir dir_;
  std::string clip_ = dir_ / "clip.y4m";
};

TEST_F(RealEncoder, X265FedThroughAPipeStopsOnGroupKill) {
  ToolLaunch launch;
  launch.feeder_argv = {"cat", clip_};
  launch.argv =
      SplitCommandLine("x265 --y4m --frames 50 --crf 20 --preset \"veryslow\" --input \"-\" --output \"" +
                       (dir_ / "out.265").string() + "\"");
  launch.capture = OutputCapture::kLogFile;
  launch.log_path = dir_ / "out.x265_log.txt";
  launch.title_source = TitleSource::kX265;
  launch.idle_priority = true;
  ToolProcess tool;
  const Status started = tool.Start(launch);
  ASSERT_TRUE(started) << started.error();
  const auto limit = std::chrono::steady_clock::now() + 120s;
  while (!tool.ConsoleTitle().starts_with("x265 [") && std::chrono::steady_clock::now() < limit) {
    std::this_thread::sleep_for(2ms);
  }
  EXPECT_NE(tool.ConsoleTitle().find("/50 frames, "), std::string::npos) << tool.ConsoleTitle();
  const auto before = std::chrono::steady_clock::now();
  tool.KillGroup();
  const ToolExit exit = tool.Wait();
  EXPECT_LT(std::chrono::steady_clock::now() - before, 5s);
  EXPECT_EQ(exit.code, 0);
  EXPECT_TRUE(exit.kill_requested);
  EXPECT_EQ(tool.FeederExit().code, 0);
}

}  // namespace
}  // namespace dp
