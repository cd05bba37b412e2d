// Numbers stay C numbers ("23.976", "41.71s") in the text and time helpers
// whatever the process locale, also where it writes a decimal comma (the CLI
// tests run discpress-cli under such a locale).
#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <string>

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

}  // namespace
}  // namespace dp
