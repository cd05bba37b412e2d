#include "util/time.h"

#include <gtest/gtest.h>

#include <cmath>

namespace dp {
namespace {

TEST(Time, HmsTextsBothWaysAndFractions) {
  // Seconds are truncated and hours not limited.
  // clang-format off
  const struct { double seconds; const char* text; } kToText[] = {
      {3725.9, "1:02:05"}, {0, "0:00:00"}, {59.999, "0:00:59"}, {360000, "100:00:00"}, {NAN, "0:00:00"}};
  // Empty fields are dropped, each field is its leading number, missing
  // fields count 0, and only 31 characters are read.
  const struct { std::string text; int seconds; } kToSeconds[] = {
      {"1:02:05", 3725}, {":30", 30 * 3600}, {"0:00:45.678", 45}, {"2", 7200}, {"1::5", 3600 + 300},
      {"abc:10:10", 610}, {"0:0:" + std::string(27, '0') + "59", 0}};
  // clang-format on
  for (const auto& c : kToText) EXPECT_EQ(Seconds_To_HHMMSS(c.seconds), c.text) << c.seconds;
  for (const auto& c : kToSeconds) EXPECT_EQ(hms_to_s(c.text), c.seconds) << c.text;
  EXPECT_DOUBLE_EQ(hms_to_ms("1:02:05.900"), 3725000.0);  // the whole-second sum
  EXPECT_DOUBLE_EQ(fraction_to_double("25/1"), 25.0);
  EXPECT_FALSE(std::isfinite(fraction_to_double("25")));
}

}  // namespace
}  // namespace dp
