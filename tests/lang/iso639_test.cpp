#include "lang/iso639.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

namespace dp {
namespace {

// A code is found once, and every code the alpha-2 table yields has a name.
TEST(Iso639Tables, UniqueCodesAndEveryYieldedCodeHasAName) {
  std::set<std::string> names;
  for (const LanguageNameRow& row : LanguageNameTable())
    EXPECT_TRUE(names.insert(row.code).second) << row.code;
  for (const CodeRow& row : LanguageCodeTable())
    EXPECT_FALSE(LanguageNameOf(row.alpha3).empty()) << row.alpha2 << " -> " << row.alpha3;
}

TEST(Iso639Lookup, NamesAndAlpha3) {
  EXPECT_EQ(LanguageNameOf("ger"), "German");
  EXPECT_EQ(LanguageNameOf("vol"), "Volap\xC3\xBCk");
  EXPECT_EQ(Alpha3Of("en"), "eng");
  for (const char* code : {"ENG", "en", "xxx"}) EXPECT_TRUE(LanguageNameOf(code).empty()) << code;
  for (const char* code : {"EN", "eng", "xx"}) EXPECT_TRUE(Alpha3Of(code).empty()) << code;
}

// A miss leaves the buffer as it was; the two-letter conversion's buffers are
// driven by the stream test below.
TEST(Iso639Buffers, MissLeavesTheBuffer) {
  char name[32] = "kept";
  ISO639_2toIdioma("xx", name);
  EXPECT_STREQ(name, "kept");
  ISO639_2toIdioma("spa", name);
  EXPECT_STREQ(name, "Spanish");
}

TEST(Iso639Preferred, OneAndTwoCodeEntries) {
  std::map<std::string_view, std::string_view> values;
  for (const PreferredLanguage& p : PreferredLanguages()) values[p.label] = p.value;
  EXPECT_EQ(values["ger/deu (Deutsch)"], "ger/deu");
  EXPECT_EQ(values["cat (Catal\xC3\xA0)"], "cat");
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
