// Numbers stay C numbers ("23.976", "41.71s") where the user's locale writes a
// decimal comma: in the text and time helpers whatever the process locale, and
// in what discpress-cli reads and writes.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/media_gen.h"
#include "support/temp_dir.h"
#include "util/text.h"
#include "util/time.h"

namespace dp {
namespace {

constexpr const char* kCommaLocale = "de_DE.UTF-8";

class DecimalComma : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, kCommaLocale))
      GTEST_SKIP() << kCommaLocale << " is not installed (scripts/install-deps.sh makes it)";
    ASSERT_EQ(CLibraryText(1.5), "1,5");  // the checks below can fail
  }
  void TearDown() override { std::setlocale(LC_ALL, saved_.c_str()); }
  static std::string CLibraryText(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f", v);
    return buf;
  }
  std::string saved_;
};

TEST_F(DecimalComma, HelpersReadAndWriteCNumbers) {
  EXPECT_DOUBLE_EQ(LeadingDouble("23.976"), 23.976);
  EXPECT_DOUBLE_EQ(LeadingDouble("41.71s"), 41.71);
  EXPECT_DOUBLE_EQ(LeadingDouble("23,976"), 23.0);  // a comma ends the number
  EXPECT_NEAR(fraction_to_double("24000/1001"), 23.976, 0.001);
  EXPECT_EQ(Seconds_To_HHMMSS(3725.9), "1:02:05");
  EXPECT_EQ(Format(" --cut-end=%.2fs", 1000 / 23.976), " --cut-end=41.71s");
  EXPECT_EQ(Format("%.17g", 5400.5), "5400.5");
  EXPECT_EQ(CLibraryText(2.5), "2,5");  // the caller's locale is back
}

TEST_F(DecimalComma, CliReadsAndWritesCNumbers) {
  if (!std::filesystem::exists(DP_CLI_PATH)) GTEST_SKIP() << "discpress-cli is not built";
  test::TempDir dir;
  // The CLI takes its locale from the environment; the store lives in dir.
  const char* old_lc_all = std::getenv("LC_ALL");
  const std::string restore = old_lc_all ? old_lc_all : "";
  setenv("LC_ALL", kCommaLocale, 1);
  for (const char* name : {"XDG_CONFIG_HOME", "HOME", "TMPDIR"}) setenv(name, dir.path().c_str(), 1);
  const std::string job = (dir / "job.json").string();
  std::ofstream(job) << "{\"status\":1,\"video_rate\":4500.0,\"output_path\":\"/out/a\"}";
  const std::string playlist = std::string(DP_TESTDATA_DIR) + "/mpls/domyd-mpls/multi-angle.mpls";
  const std::string clip = std::string(DP_TESTDATA_DIR) + "/ts/mp-mediainfo/Test_H264_AC3.m2ts";

  struct Case {
    std::vector<std::string> args;
    std::string output_holds;
  };
  const Case cases[] = {
      {{"time", "fraction", "24000/1001"}, "23.976023976023978\n"},
      {{"mpls", "info", "--json", playlist}, "\"duration\":37.12"},
      {{"job", "put", "3", "--json", job}, ""},
      {{"job", "show", "3", "--json"}, "\"video_rate\":4500"},
      {{"scan", "--duration-ms", "3000.5", "--video", "0x1011", clip}, "video\t4113\t"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> argv = c.args;
    argv.insert(argv.begin(), DP_CLI_PATH);
    const test::ProgramResult r = test::RunProgram(argv);
    EXPECT_EQ(r.code, 0) << c.args[0] << " " << c.args[1];
    EXPECT_NE(r.out.find(c.output_holds), std::string::npos) << r.out;
  }
  if (old_lc_all)
    setenv("LC_ALL", restore.c_str(), 1);
  else
    unsetenv("LC_ALL");
}

}  // namespace
}  // namespace dp
