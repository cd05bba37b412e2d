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
template <int kSkipYear>
std::string Parsed(std::string text) {
  return Edited<ParseTitle>(text, kSkipYear);
}
// Label codes, brackets and tags go (year flag 1); a year is put in
// parentheses unless the flag's low byte says not to.
constexpr auto Parse1 = Parsed<1>, Parse0 = Parsed<0>, Parse256 = Parsed<0x100>;
constexpr auto Cased = Edited<TitleCase>, Safe = Edited<ReplaceInvalidChars>, Encoded = Edited<UrlEncode>;

TEST_F(TitleText, EditsOfTitlesFileNamesAndUrls) {
  // clang-format off
  const struct { std::string (*edit)(std::string); std::string in, out; } cases[] = {
      {Parse1, "The_Movie.2012.1080p.BluRay.x264", "The Movie 2012"},
      {Parse1, "MOVIE_TITLE_D1", "MOVIE TITLE"},
      {Parse1, "MOVIE_TITLE_D7", "MOVIE TITLE D7"},
      {Parse1, "FILM_CE_EXTRA", "FILM"},
      {Parse1, "MOVIE_P6X", "MOVIE P6X"},  // the code must stand alone
      {Parse1, "movie d1", "movie d1"},    // codes are capitals only
      {Parse1, "Film [Director's Cut]", "Film"},
      {Parse1, "A [b]  [c]", "A [b]"},  // two blanks before a bracket win over one
      {Parse1, "film bluray remux", "film"},
      {Parse1, "Movie AVC BluRay", "Movie AVC"},  // " BluRay" is tried before " AVC"
      {Parse1, "Making of by Someone x264 extra", "Making of"},
      {Parse0, "Film (1999) extended", "Film (1999)"},
      {Parse0, "Film (Remastered)", "Film"},
      {Parse0, "Film (19", "Film"},  // the closing parenthesis would lie past the end
      {Parse0, "Film 1999 Remaster", "Film (1999)"},
      {Parse0, "Film 2012x", "Film 2012x"},
      {Parse0, "Ab 1999", "Ab (1999)"},
      {Parse0, "A 1999", "A 1999"},  // shorter than seven characters
      {Parse0, "1999 Film", "1999 Film"},
      {Parse256, "Film 2012", "Film (2012)"},  // only the low byte of the flag counts
      {Cased, "the lord of the rings - the return of the king", "The Lord Of The Rings - The Return Of The King"},
      {Cased, "avatar 3d", "Avatar 3D"},
      {Cased, "rocky ii iii", "Rocky II Iii"},  // the blank ending a numeral opens no word
      {Cased, "saw  iv", "Saw  Iv"},            // nor does a second blank
      {Cased, "vix", "Vix"},                    // a numeral must follow a blank
      {Cased, "e.t. the extra-terrestrial", "E.T. The Extra-terrestrial"},
      {Cased, "up 3dx", "Up 3dx"},
      // Characters, not bytes.
      {Cased, "\xC2\xBFqu\xC3\xA9 pasa?", "\xC2\xBFQu\xC3\xA9 Pasa?"},
      {Cased, "x \xC3\xA9 b", "X \xC3\xA9 b"},  // a one-letter word
      {Cased, "x \xC9\x90" "b", "X \xE2\xB1\xAF" "b"},  // ɐ grows to Ɐ
      {Cased, "caf\xE9 ok", "Caf\xE9 Ok"},  // a stray byte stays
      {Safe, "a\"b*c/d:e<f>g?h\\i|j", "a'b-c-d,e(f)g.h-i-j"},
      {Safe, "What...?", "What"},
      {Safe, "...", ""},
      {Encoded, "Tom & Jerry", "Tom+%26+Jerry"},
      {Encoded, "!#$%&'()*+,/:;=?[]@", "%21%23%24%25%26%27%28%29%2A%2B%2C%2F%3A%3B%3D%3F%5B%5D%40"},
      {Encoded, "\"<>\\^{|}`\t", "\"<>\\^{|}`\t"},
      {Encoded, "Am\xC3\xA9lie", "Am%C3%A9lie"},
      // A text of 1024 bytes or more is left as it is.
      {Encoded, std::string(1024, '&'), std::string(1024, '&')},
      {Encoded, std::string(2, '&') + std::string(1021, 'a'), "%26%26" + std::string(1021, 'a')},
  };
  // clang-format on
  for (const auto& c : cases) EXPECT_EQ(c.edit(c.in), c.out) << c.in;
}

TEST_F(TitleText, UpperCaseIsTheLocales) {
  EXPECT_EQ(Toupper(U'\u00DF'), U'\u00DF');  // no single-character upper case
  EXPECT_EQ(Toupper(0xDCE9), 0xDCE9u);

  // Upper case is the locale's: the C locale knows only ASCII letters.
  std::setlocale(LC_ALL, "C");
  EXPECT_EQ(Cased("\xC3\xA9lan ab"), "\xC3\xA9lan Ab");
}

}  // namespace
}  // namespace dp
