#include "util/text.h"

#include <gtest/gtest.h>

#include <cstring>

namespace dp {
namespace {

TEST(Text, CaseInsensitiveFind) {
  EXPECT_EQ(IFind("eac3to Process: 45%", "process:"), 7u);
  EXPECT_EQ(IFind("abc", "ABCD"), npos);
  EXPECT_EQ(IFind("aXbxc", "x", 2), 3u);
  EXPECT_EQ(IFind("abc", "", 5), npos);
  EXPECT_TRUE(IStartsWith("Video track 1", "VIDEO"));
  EXPECT_TRUE(IEndsWith("movie.MKV", ".mkv"));
}

TEST(Text, LeadingNumbersStopAtFirstNonDigit) {
  EXPECT_EQ(LeadingInt("45.678"), 45);
  EXPECT_EQ(LeadingInt("  -12abc"), -12);
  EXPECT_EQ(LeadingInt("abc"), 0);
  EXPECT_EQ(LeadingInt("99999999999999999999"), 2147483647);
  EXPECT_DOUBLE_EQ(LeadingDouble("45.2% complete"), 45.2);
  EXPECT_DOUBLE_EQ(LeadingDouble(" 12.5e1x"), 125.0);
  EXPECT_DOUBLE_EQ(LeadingDouble("x1"), 0.0);
}

TEST(Text, TokenizerDropsEmptyFields) {
  auto t = Tokenize(",,a, b,,c ", ", ");
  ASSERT_EQ(t.size(), 3u);
  EXPECT_EQ(t[0], "a");
  EXPECT_EQ(t[1], "b");
  EXPECT_EQ(t[2], "c");
  EXPECT_TRUE(Tokenize("::", ":").empty());
}

TEST(Text, CopyTextNeverSplitsUtf8AndZeroFills) {
  char buf[6];
  std::memset(buf, 'x', sizeof buf);
  CopyText(buf, "abcd\xC3\xA9");  // "abcdé" needs 7 bytes with the NUL
  EXPECT_EQ(FieldText(buf), "abcd");
  EXPECT_EQ(buf[4], 0);
  EXPECT_EQ(buf[5], 0);
  CopyText(buf, "ab\xE2\x82\xAC");  // "ab€" fits exactly
  EXPECT_EQ(FieldText(buf), "ab\xE2\x82\xAC");
  char full[3] = {'a', 'b', 'c'};
  EXPECT_EQ(FieldText(full), "abc");  // unterminated buffer stays bounded
}

}  // namespace
}  // namespace dp
