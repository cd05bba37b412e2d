#include "lang/iso639.h"

#include <gtest/gtest.h>

#include <string>

namespace dp {
namespace {

TEST(Iso639Tables, EveryCodeTheAlpha2TableYieldsHasAName) {
  for (const CodeRow& row : LanguageCodeTable())
    EXPECT_FALSE(LanguageNameOf(row.alpha3).empty()) << row.alpha2 << " -> " << row.alpha3;
}

TEST(Iso639Lookup, NamesAndAlpha3) {
  EXPECT_EQ(LanguageNameOf("vol"), "Volap\xC3\xBCk");
  for (const char* code : {"ENG", "en", "xxx"}) EXPECT_TRUE(LanguageNameOf(code).empty()) << code;
  for (const char* code : {"EN", "eng", "xx"}) EXPECT_TRUE(Alpha3Of(code).empty()) << code;
}

struct Stream {
  char language_code[8];
  char language_name[32];
};

struct OtherStream {
  int pid;
  char language_code[8];
  char language_name[32];
};

TEST(RevisaCodisIdioma, NormalisesCodesThenFillsEmptyNames) {
  Stream subs[] = {{"en", ""}, {"", ""}, {"xx", ""}, {"fil", ""}, {"fre", "Fran\xC3\xA7\x61is"}};
  OtherStream audio[] = {{4352, "de", ""}, {4353, "jpn", ""}};
  RevisaCodisIdioma(std::span<Stream>(subs), std::span<OtherStream>(audio));

  const char* expected[][2] = {
      {"eng", "English"}, {"und", "Undetermined"}, {"xx", ""}, {"fil", ""}, {"fre", "Fran\xC3\xA7\x61is"}};
  for (std::size_t i = 0; i < std::size(subs); ++i) {
    EXPECT_STREQ(subs[i].language_code, expected[i][0]) << i;
    EXPECT_STREQ(subs[i].language_name, expected[i][1]) << i;
  }
  EXPECT_STREQ(audio[0].language_code, "deu");
  EXPECT_STREQ(audio[0].language_name, "German");
  EXPECT_STREQ(audio[1].language_name, "Japanse");
  EXPECT_EQ(audio[1].pid, 4353);
}

}  // namespace
}  // namespace dp
