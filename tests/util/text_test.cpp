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
}

// The CI runs these under a decimal-comma locale too: numbers stay C numbers.
TEST(Text, LeadingNumbersStopAtFirstNonDigit) {
  EXPECT_DOUBLE_EQ(LeadingDouble("23,976"), 23.0);  // a comma ends the number
  EXPECT_EQ(Format(" --cut-end=%.2fs %.17g", 1000 / 23.976, 5400.5), " --cut-end=41.71s 5400.5");
  EXPECT_EQ(LeadingInt("  -12abc"), -12);
  EXPECT_EQ(LeadingInt("99999999999999999999"), 2147483647);
  EXPECT_DOUBLE_EQ(LeadingDouble(" 12.5e1x"), 125.0);
}

TEST(Text, ReadDoubleTakesOnlyTheNumber) {
  // clang-format off
  const struct { const char* text; std::size_t taken; double value; } cases[] = {
      {"4500.0,", 6, 4500.0}, {"+2.5", 4, 2.5}, {"-.5x", 3, -0.5}, {"7.", 2, 7.0}, {"12e", 2, 12.0}, {"1e3}", 3, 1000.0},
      {"--5", 0, 0}, {"inf", 0, 0}, {".", 0, 0}, {"1e999", 0, 0}, {" 1", 0, 0}};
  // clang-format on
  for (const auto& c : cases) {
    double v = 0;
    EXPECT_EQ(ReadDouble(c.text, v), c.taken) << c.text;
    if (c.taken) {
      EXPECT_DOUBLE_EQ(v, c.value) << c.text;
    }
  }
}

TEST(Text, TokenizerDropsEmptyFields) {
  EXPECT_EQ(Tokenize(",,a, b,,c ", ", "), (std::vector<std::string_view>{"a", "b", "c"}));
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

TEST(Text, Utf8DecodeKeepsBadBytesRoundTrip) {
  const auto decode_all = [](std::string_view s) {
    std::u32string out;
    for (std::size_t pos = 0; pos < s.size();) out += DecodeUtf8(s, pos);
    return out;
  };
  EXPECT_EQ(decode_all("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xAC"), U"a\u00E9\u20AC\U0001F3AC");
  // Stray continuation, overlong "/", surrogate, past U+10FFFF, cut short.
  const std::string bad = "\x80\xC0\xAF\xED\xA0\x80\xF4\x90\x80\x80\xE2\x82";
  const std::u32string decoded = decode_all(bad);
  ASSERT_EQ(decoded.size(), bad.size());
  for (std::size_t i = 0; i < bad.size(); ++i)
    EXPECT_EQ(decoded[i], 0xDC00u + static_cast<unsigned char>(bad[i]));

  std::string back;
  for (char32_t c : decode_all("x\xC3\xA9" + bad)) AppendUtf8(back, c);
  EXPECT_EQ(back, "x\xC3\xA9" + bad);
}

}  // namespace
}  // namespace dp
