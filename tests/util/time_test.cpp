#include "util/time.h"

#include <gtest/gtest.h>

#include <cmath>

namespace dp {
namespace {

TEST(SecondsToHms, TruncatesAndDoesNotLimitHours) {
  EXPECT_EQ(Seconds_To_HHMMSS(3725.9), "1:02:05");
  EXPECT_EQ(Seconds_To_HHMMSS(0), "0:00:00");
  EXPECT_EQ(Seconds_To_HHMMSS(59.999), "0:00:59");
  EXPECT_EQ(Seconds_To_HHMMSS(360000), "100:00:00");
  EXPECT_EQ(Seconds_To_HHMMSS(NAN), "0:00:00");
}

TEST(HmsToS, DropsEmptyFieldsAndReadsLeadingNumbers) {
  EXPECT_EQ(hms_to_s("1:02:05"), 3725);
  EXPECT_EQ(hms_to_s(":30"), 30 * 3600);    // empty field dropped: 30 hours
  EXPECT_EQ(hms_to_s("0:00:45.678"), 45);   // fraction ignored
  EXPECT_EQ(hms_to_s("2"), 7200);           // missing fields count 0
  EXPECT_EQ(hms_to_s("1::5"), 3600 + 300);  // "1::5" is "1:5"
  EXPECT_EQ(hms_to_s(""), 0);
  EXPECT_EQ(hms_to_s("abc:10:10"), 610);
}

TEST(HmsToS, ReadsOnlyThirtyOneCharacters) {
  // The seconds field begins at character 31 and is not read.
  const std::string text = "0:0:" + std::string(27, '0') + "59";
  EXPECT_EQ(hms_to_s(text), 0);
}

TEST(HmsToMs, IsTheWholeSecondSumTimesAThousand) {
  EXPECT_DOUBLE_EQ(hms_to_ms("1:02:05.900"), 3725000.0);
  EXPECT_DOUBLE_EQ(hms_to_ms("0:00:01"), 1000.0);
}

TEST(FractionToDouble, DividesAndFailsWithoutDivisor) {
  EXPECT_NEAR(fraction_to_double("24000/1001"), 23.976, 0.001);
  EXPECT_DOUBLE_EQ(fraction_to_double("25/1"), 25.0);
  EXPECT_FALSE(std::isfinite(fraction_to_double("25")));
  EXPECT_DOUBLE_EQ(fraction_to_double("/25"), INFINITY);  // "/25" tokenizes to "25"
}

}  // namespace
}  // namespace dp
