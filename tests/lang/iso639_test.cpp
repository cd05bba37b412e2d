#include "lang/iso639.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace dp {
namespace {

TEST(Iso639Tables, SizesUniqueCodesAndEveryYieldedCodeHasAName) {
  EXPECT_EQ(LanguageNameTable().size(), 211u);
  EXPECT_EQ(LanguageCodeTable().size(), 184u);
  EXPECT_EQ(PreferredLanguages().size(), 50u);

  std::set<std::string> names;
  for (const LanguageNameRow& row : LanguageNameTable()) {
    const std::string code = row.code;
    EXPECT_EQ(code.size(), 3u) << code;
    EXPECT_TRUE(names.insert(code).second) << "duplicate " << code;
    EXPECT_FALSE(std::string(row.name).empty()) << code;
  }
  std::set<std::string> alpha2;
  std::set<std::string> yielded;
  for (const CodeRow& row : LanguageCodeTable()) {
    EXPECT_EQ(std::string(row.alpha2).size(), 2u) << row.alpha2;
    EXPECT_TRUE(alpha2.insert(row.alpha2).second) << "duplicate " << row.alpha2;
    yielded.insert(row.alpha3);
    EXPECT_FALSE(LanguageNameOf(row.alpha3).empty()) << row.alpha2 << " -> " << row.alpha3;
  }
  EXPECT_EQ(yielded.size(), 184u);
}

TEST(Iso639Lookup, NamesAndAlpha3) {
  const struct {
    std::string_view (*lookup)(std::string_view);
    const char *code, *answer;
  } kCases[] = {
      {LanguageNameOf, "ger", "German"},
      {LanguageNameOf, "deu", "German"},
      {LanguageNameOf, "hye", "Armenian"},
      {LanguageNameOf, "vol", "Volap\xC3\xBCk"},
      {Alpha3Of, "en", "eng"},
  };
  for (const auto& c : kCases) EXPECT_EQ(c.lookup(c.code), c.answer) << c.code;
  for (const char* code : {"ENG", "eng ", "en", "engl", "", "xxx", "\xC3\xA9ng"})
    EXPECT_TRUE(LanguageNameOf(code).empty()) << '"' << code << '"';
  for (const char* code : {"EN", "en ", "e", "eng", "", "xx"})
    EXPECT_TRUE(Alpha3Of(code).empty()) << '"' << code << '"';
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

  // A short buffer gets a whole character, never half of one.
  char small[16] = "";
  ISO639_2toIdioma("nob", small);
  EXPECT_STREQ(small, "Norwegian Bokm");
}

TEST(Iso639Preferred, LabelsValuesAndOrder) {
  const auto list = PreferredLanguages();
  EXPECT_EQ(list.front().label, "eng (English)");
  EXPECT_EQ(list.back().label, "vie (Vietnamese)");
  std::set<std::string_view> labels;
  int two_code = 0;
  for (const PreferredLanguage& p : list) {
    labels.insert(p.label);
    EXPECT_TRUE(p.value.size() == 3 || (p.value.size() == 7 && p.value[3] == '/')) << p.label;
    EXPECT_EQ(p.label.substr(0, p.value.size() + 1), std::string(p.value) + " ");
    two_code += p.value.size() == 7;
  }
  EXPECT_EQ(two_code, 11);
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
  Stream subs[] = {
      {"en", ""}, {"", ""}, {"hy", ""}, {"xx", ""}, {"fil", ""}, {"fre", "Fran\xC3\xA7\x61is"}, {"EN", ""},
  };
  OtherStream audio[] = {{4352, "de", ""}, {4353, "jpn", ""}};
  RevisaCodisIdioma(std::span<Stream>(subs), std::span<OtherStream>(audio));

  const char* expected[][2] = {
      {"eng", "English"}, {"und", "Undetermined"},       {"arm", "Armenian"}, {"xx", ""},
      {"fil", ""},        {"fre", "Fran\xC3\xA7\x61is"}, {"EN", ""}};
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
