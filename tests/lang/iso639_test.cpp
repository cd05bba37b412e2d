#include "lang/iso639.h"

#include <gtest/gtest.h>

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

TEST(Iso639Buffers, MissLeavesBufferAndConversionWorksInPlace) {
  char name[32] = "kept";
  ISO639_2toIdioma("xx", name);
  EXPECT_STREQ(name, "kept");
  ISO639_2toIdioma("spa", name);
  EXPECT_STREQ(name, "Spanish");

  char code[8] = "de";
  ISO639_2Alpha2toAlpha3(FieldText(code), code);
  EXPECT_STREQ(code, "deu");
  ISO639_2Alpha2toAlpha3(FieldText(code), code);  // a three-letter code has no row
  EXPECT_STREQ(code, "deu");
}

TEST(Iso639Preferred, LabelsAndValues) {
  std::set<std::string_view> labels;
  for (const PreferredLanguage& p : PreferredLanguages()) {
    labels.insert(p.label);
    EXPECT_TRUE(p.value.size() == 3 || (p.value.size() == 7 && p.value[3] == '/')) << p.label;
    EXPECT_EQ(p.label.substr(0, p.value.size() + 1), std::string(p.value) + " ");
  }
  for (const char* label : {"may/zlm (Malay)", "ger/deu (Deutsch)", "cat (Catal\xC3\xA0)", "bel (Belarusan)"})
    EXPECT_EQ(labels.count(label), 1u) << label;
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
