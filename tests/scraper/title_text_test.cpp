#include "scraper/title_text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace dp {
namespace {

class TitleText : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr); }
  void TearDown() override { std::setlocale(LC_ALL, "C"); }
};

// The text after an edit in place.
template <auto kEdit, typename... Args>
std::string Edited(std::string text, Args... args) {
  kEdit(text, args...);
  return text;
}
std::string Parsed(std::string text, int skip_year) { return Edited<ParseTitle>(text, skip_year); }
constexpr auto Cased = Edited<TitleCase>, Safe = Edited<ReplaceInvalidChars>, Encoded = Edited<UrlEncode>;

// Label codes, brackets and tags go (year flag 1); a year is put in
// parentheses unless the flag's low byte says not to.
TEST_F(TitleText, ParseTitle) {
  const struct {
    const char* in;
    int skip_year;
    const char* out;
  } cases[] = {
      {"The_Movie.2012.1080p.BluRay.x264", 1, "The Movie 2012"},
      {"MOVIE_TITLE_D1", 1, "MOVIE TITLE"},
      {"MOVIE_TITLE_D7", 1, "MOVIE TITLE D7"},
      {"FILM_CE_EXTRA", 1, "FILM"},
      {"MOVIE_P6X", 1, "MOVIE P6X"},  // the code must stand alone
      {"movie d1", 1, "movie d1"},    // codes are capitals only
      {"Film [Director's Cut]", 1, "Film"},
      {"A [b]  [c]", 1, "A [b]"},  // two blanks before a bracket win over one
      {"film bluray remux", 1, "film"},
      {"Movie AVC BluRay", 1, "Movie AVC"},  // " BluRay" is tried before " AVC"
      {"Making of by Someone x264 extra", 1, "Making of"},
      {"The_Movie.2012.1080p.BluRay.x264", 0, "The Movie (2012)"},
      {"Film (1999) extended", 0, "Film (1999)"},
      {"Film (Remastered)", 0, "Film"},
      {"Film (19", 0, "Film"},  // the closing parenthesis would lie past the end
      {"Film 1999 Remaster", 0, "Film (1999)"},
      {"Film 2012x", 0, "Film 2012x"},
      {"Ab 1999", 0, "Ab (1999)"},
      {"A 1999", 0, "A 1999"},  // shorter than seven characters
      {"1999 Film", 0, "1999 Film"},
      {"Film 2012", 0x100, "Film (2012)"},  // only the low byte of the flag counts
  };
  for (const auto& c : cases) EXPECT_EQ(Parsed(c.in, c.skip_year), c.out) << c.in;
}

TEST_F(TitleText, TitleCaseRaisesInitialsNumeralsAnd3D) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"the lord of the rings - the return of the king", "The Lord Of The Rings - The Return Of The King"},
      {"rocky ii", "Rocky II"},
      {"avatar 3d", "Avatar 3D"},
      {"rocky ii iii", "Rocky II Iii"},  // the blank ending a numeral opens no word
      {"saw  iv", "Saw  Iv"},            // nor does a second blank
      {"vix", "Vix"},                    // a numeral must follow a blank
      {"e.t. the extra-terrestrial", "E.T. The Extra-terrestrial"},
      {"up 3dx", "Up 3dx"},
      // Characters, not bytes.
      {"\xC3\xA9lan vital", "\xC3\x89lan Vital"},
      {"\xC2\xBFqu\xC3\xA9 pasa?", "\xC2\xBFQu\xC3\xA9 Pasa?"},
      {"x \xC3\xA9 b", "X \xC3\xA9 b"},  // a one-letter word
      {"x \xC9\x90"
       "b",
       "X \xE2\xB1\xAF"
       "b"},                         // ɐ grows to Ɐ
      {"caf\xE9 ok", "Caf\xE9 Ok"},  // a stray byte stays
  };
  for (const auto& c : cases) EXPECT_EQ(Cased(c.in), c.out) << c.in;
}

TEST_F(TitleText, UpperCaseIsTheLocales) {
  EXPECT_EQ(Toupper(U'\u00DF'), U'\u00DF');  // no single-character upper case
  EXPECT_EQ(Toupper(0xDCE9), 0xDCE9u);

  // Upper case is the locale's: the C locale knows only ASCII letters.
  std::setlocale(LC_ALL, "C");
  EXPECT_EQ(Cased("\xC3\xA9lan ab"), "\xC3\xA9lan Ab");
}

TEST_F(TitleText, FileNamesAndUrls) {
  const struct {
    std::string (*edit)(std::string);
    std::string in, out;
  } cases[] = {
      {Safe, "AC/DC: Live", "AC-DC, Live"},
      {Safe, "a\"b*c/d:e<f>g?h\\i|j", "a'b-c-d,e(f)g.h-i-j"},
      {Safe, "Vol. 2.", "Vol. 2"},
      {Safe, "What...?", "What"},
      {Safe, "...", ""},
      {Safe, "Am\xC3\xA9lie: \xE2\x80\x9CSi\xE2\x80\x9D", "Am\xC3\xA9lie, \xE2\x80\x9CSi\xE2\x80\x9D"},
      {Encoded, "Tom & Jerry", "Tom+%26+Jerry"},
      {Encoded, "a-b_c.d~", "a-b_c.d~"},
      {Encoded, "!#$%&'()*+,/:;=?[]@", "%21%23%24%25%26%27%28%29%2A%2B%2C%2F%3A%3B%3D%3F%5B%5D%40"},
      {Encoded, "\"<>\\^{|}`\t", "\"<>\\^{|}`\t"},
      {Encoded, "Am\xC3\xA9lie", "Am%C3%A9lie"},
      // A text of 1024 bytes or more is left as it is.
      {Encoded, std::string(1024, '&'), std::string(1024, '&')},
      {Encoded, std::string(2, '&') + std::string(1021, 'a'), "%26%26" + std::string(1021, 'a')},
  };
  for (const auto& c : cases) EXPECT_EQ(c.edit(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace dp
