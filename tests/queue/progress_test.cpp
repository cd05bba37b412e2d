#include "queue/progress.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "queue/job_record.h"
#include "util/text.h"

namespace dp {
namespace {

constexpr ProgressReader kEac3to = ProgressReader::kEac3toPipe;
constexpr ProgressReader kTsMuxer = ProgressReader::kTsMuxerPipe;
constexpr ProgressReader kMkvmerge = ProgressReader::kMkvmergePipe;
constexpr ProgressReader kEncoder = ProgressReader::kEncoderTitle;

ProgressShown At(int p, std::string text) { return ProgressShown{p, std::move(text)}; }

std::string Fixture(const std::string& name) {
  std::ifstream in(std::string(DP_SOURCE_DIR) + "/tests/data/tools/" + name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(ProgressRead, PipesAndTitles) {
  constexpr ProgressReader kMvcenc = ProgressReader::kMvcencTitle;
  const std::string x264 = "x264 [12.3%] 1234/5678 frames, 185.22 fps";
  const std::optional<ProgressShown> none;
  // clang-format off
  const struct {
    ProgressReader reader;
    std::string text;
    std::int32_t frames;
    std::optional<ProgressShown> shown;
  } cases[] = {
      {kEac3to, "process: 45%\r", 0, At(450, "Process: 45%")},
      {kEac3to, "junk\nPROCESS: 12.56%\n", 0, At(125, "PROCESS: 12.56%")},
      {kEac3to, "process: 150%\r", 0, At(1000, "Process: 150%")},
      // 0%, no terminator (the last byte read is never text), a NUL before the line.
      {kEac3to, "process: 0%\r", 0, none}, {kEac3to, "process: 45%", 0, none},
      {kEac3to, "nothing\r", 0, none}, {kEac3to, std::string("\0process: 45%\r", 14), 0, none},
      {kTsMuxer, "Muxing\r\n45.2% COMPLETE\r\n", 0, At(452, "45.2% COMPLETE")},
      // No line break, 0%, a line cut short, a cut right after the "t".
      {kTsMuxer, "45.2% complete\n", 0, none}, {kTsMuxer, "x\r\n0.0% complete\r\n", 0, none},
      {kTsMuxer, "x\r\n45.2% complet?", 0, none},
      {kMkvmerge, "Progress: 100%\r", 0, At(1000, "Progress: 100%")},
      {kMvcenc, "MVCenc [45.5%] f", 0, At(455, "MVCenc [45.5%] f")},
      {kMvcenc, "MVCenc starting", 0, At(0, "MVCenc starting")},
      {kMvcenc, "x264 [45%] 1/2 frames", 2, none},
      {kEncoder, x264, 5678, At(217, x264)},
      {ProgressReader::kNone, x264, 5678, none},
      {kEncoder, x264, 0, At(0, x264)},
      {kEncoder, x264, 617, At(1000, x264)},
      {kEncoder, "x264 62 frames: 187.51 fps", 250, At(248, "x264 62 frames: 187.51 fps")},
      {kEncoder, "x265 no digits", 250, At(0, "x265 no digits")},
      {kEncoder, "x264 [12.3%] ", 250, At(0, "x264 [12.3%] ")},
      {kEncoder, "x264 [12.3%]", 250, none},  // nothing two characters after "]"
      {kEncoder, "f [enc] [45.6%] x", 250, At(456, "f [enc] [45.6%] x")},
      {kEncoder, "l [45.6%] x", 250, At(0, "l [45.6%] x")},
      {kEncoder, "[X264 PROCESS] Do not close this window!!!", 250, none},
  };
  // clang-format on
  for (const auto& c : cases) EXPECT_EQ(ReadProgress(c.reader, c.text, c.frames).shown, c.shown) << c.text;

  const ProgressRead second = ReadProgress(kEac3to, "starting 2ND PASS\r\n", 0);
  EXPECT_TRUE(second.second_pass);
  EXPECT_FALSE(second.shown);
  EXPECT_FALSE(ReadProgress(kMkvmerge, "Starting 2nd pass\nProgress: 5%\r", 0).second_pass);
  // The title buffer holds 255 bytes; a UTF-8 letter across the limit goes whole.
  const std::string long_title = "x264 [1.0%] 1/2 frames " + std::string(231, 'a') + "\xC3\xA9tail";
  EXPECT_EQ(ReadProgress(kEncoder, long_title, 2).shown->text, long_title.substr(0, 254));
}

struct FakeSource : ProgressSource {
  bool found = true;
  int find_calls = 0;
  int slot = 4;
  ProgressReader reader = kMkvmerge;
  std::int32_t frames = 250;
  std::string pipe;
  std::string title;
  std::vector<std::size_t> read_sizes;

  bool ConsoleWindowFound() override { return found; }
  void FindConsoleWindow() override { ++find_calls; }
  int CurrentJob() override { return slot; }
  ProgressReader StepReader() override { return reader; }
  std::int32_t JobFrameCount(int) override { return frames; }
  std::string ReadPipe(std::size_t max_bytes) override {
    read_sizes.push_back(max_bytes);
    std::string chunk = pipe.substr(0, max_bytes);
    pipe.erase(0, chunk.size());
    return chunk;
  }
  std::string ConsoleTitle() override { return title; }
};

struct FakeDisplay : ProgressDisplay {
  std::vector<std::string> calls;
  std::string label = "[STEP 1/3 - EAC3TO] Extract video...";

  void SetBarValue(int v) override { calls.push_back("bar " + std::to_string(v)); }
  std::string BarLabel() override { return label; }
  void SetBarLabel(std::string_view l) override {
    label = l;
    calls.push_back("label " + label);
  }
  void SetStatusText(std::string_view t) override { calls.push_back("status " + std::string(t)); }
  void Reset() override { calls.push_back("reset"); }
};

using Calls = std::vector<std::string>;

// mkvmerge's real output, with a tick after every write it made: the bar
// follows its progress lines.
TEST(ProgressTick, RealMkvmergeOutputTickByTick) {
  FakeSource source;
  FakeDisplay display;
  const std::string output = Fixture("mkvmerge.stdout");
  ASSERT_FALSE(output.empty());
  std::size_t start = 0;
  for (std::size_t i = 0; i < output.size(); ++i) {
    if (output[i] != '\r' && output[i] != '\n') continue;
    source.pipe += output.substr(start, i + 1 - start);
    start = i + 1;
    ProgressTick(source, display);
  }
  EXPECT_EQ(display.calls, (Calls{"status Progress: 8%", "bar 80", "status Progress: 100%", "bar 1000",
                                  "status Progress: 100%", "bar 1000"}));
  for (std::size_t n : source.read_sizes) EXPECT_EQ(n, kProgressPipeChunk);

  // The whole output at once: one 500-byte tick without a progress line, and
  // the first progress line of the rest.
  FakeSource late;
  FakeDisplay late_display;
  late.pipe = output;
  ProgressTick(late, late_display);
  EXPECT_TRUE(late_display.calls.empty());
  ProgressTick(late, late_display);
  EXPECT_EQ(late_display.calls.front(), "status Progress: 8%");
}

TEST(ProgressTick, EndsEarlyAndSecondPass) {
  FakeSource source;
  FakeDisplay display;
  source.found = false;
  source.pipe = "Progress: 5%\r";
  ProgressTick(source, display);
  EXPECT_EQ(source.find_calls, 1);
  source.found = true;
  source.slot = -1;
  ProgressTick(source, display);
  source.slot = 4;
  source.reader = ProgressReader::kNone;  // between two tools
  ProgressTick(source, display);
  source.reader = kEncoder;  // the console is gone: empty title
  ProgressTick(source, display);
  EXPECT_TRUE(display.calls.empty());
  EXPECT_TRUE(source.read_sizes.empty());

  source.reader = kEac3to;
  source.pipe = "Starting 2nd pass\r\n";
  ProgressTick(source, display);
  source.pipe = "Starting 2nd pass\r\nprocess: 30%\r";
  ProgressTick(source, display);
  EXPECT_EQ(display.label, "[STEP 1/3 - EAC3TO] Extract video... (2nd pass)...");
  EXPECT_EQ(display.calls, (Calls{"label [STEP 1/3 - EAC3TO] Extract video... (2nd pass)...",
                                  "status Process: 30%", "bar 300"}));

  display.calls.clear();
  source.reader = kEncoder;
  source.title = "x264 [50.0%] 125/250 frames";
  ProgressTick(source, display);
  EXPECT_EQ(display.calls, (Calls{"status x264 [50.0%] 125/250 frames", "bar 500"}));
}

TEST(ProgressCli, PrintsWhatOneTickShows) {
  if (!std::filesystem::exists(DP_CLI_PATH)) GTEST_SKIP() << "discpress-cli not built";
  // `producer` is a shell command writing what the tick reads.
  auto run = [](const std::string& producer, const std::string& args) {
    const std::string cmd = producer + " | " + DP_CLI_PATH + " progress " + args;
    std::string out;
    if (FILE* p = ::popen(cmd.c_str(), "r")) {
      char buf[256];
      while (std::size_t n = std::fread(buf, 1, sizeof buf, p)) out.append(buf, n);
      ::pclose(p);
    }
    return out;
  };
  EXPECT_EQ(run("printf 'process: 45%%\\r'", "3"), "p=450 text=Process: 45%\n");
  EXPECT_EQ(run("echo 'x264 [12.3%] 1234/5678 frames'", "5 --frames 5678"),
            "p=217 text=x264 [12.3%] 1234/5678 frames\n");
}

}  // namespace
}  // namespace dp
