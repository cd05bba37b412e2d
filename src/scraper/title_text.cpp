#include "scraper/title_text.h"

#include <cwctype>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "util/text.h"

namespace dp {
namespace {

// The byte at i, or the terminator for any position at or past the end.
char At(const std::string& text, std::size_t i) { return i < text.size() ? text[i] : '\0'; }

bool EndOrSpace(char c) { return c == '\0' || c == ' '; }

void CutAt(std::string& text, std::size_t p) {
  if (p < text.size()) text.resize(p);
}

// Cuts at the first occurrence of the first pattern that occurs at all.
void CutAtFirstOf(std::string& text, std::initializer_list<std::string_view> patterns) {
  for (std::string_view pattern : patterns) {
    const std::size_t p = IFind(text, pattern);
    if (p != npos) {
      text.resize(p);
      return;
    }
  }
}

bool IsLabelCode(char a, char b) {
  const bool disc_letter = a == 'C' || a == 'D' || a == 'F' || a == 'J' || a == 'P';
  return (disc_letter && b >= '1' && b <= '6') || (a == 'C' && b == 'E') || (a == 'U' && b == 'S');
}

bool IsYearLead(char c) { return c == '1' || c == '2'; }

// The pattern that matched starts at `found` and its parenthesis stands at
// `paren`: a year keeps "(" + four characters + ")", anything else is cut
// with the blanks before it.
void CutParenthesisedYear(std::string& text, std::size_t found, std::size_t paren) {
  if (IsYearLead(At(text, paren + 1)) && At(text, paren + 5) == ')')
    CutAt(text, paren + 6);
  else
    CutAt(text, found);
}

void ParenthesisedYear(std::string& text) {
  std::size_t p = IFind(text, "  (");
  if (p != npos) return CutParenthesisedYear(text, p, p + 2);
  p = IFind(text, " (");
  if (p != npos) return CutParenthesisedYear(text, p, p + 1);
  p = IFind(text, "(");
  if (p != npos) CutParenthesisedYear(text, p, p);
}

void BareYear(std::string& text) {
  const std::size_t n = text.size();
  if (n < 7) return;
  for (std::size_t i = 3; i + 4 <= n; ++i) {
    const bool century = (text[i] == '1' && text[i + 1] == '9') || (text[i] == '2' && text[i + 1] == '0');
    if (text[i - 1] == ' ' && century && EndOrSpace(At(text, i + 4))) {
      text = text.substr(0, i) + "(" + text.substr(i, 4) + ")";
      return;
    }
  }
}

bool IsRomanLetter(char32_t c) {
  return c == U'I' || c == U'V' || c == U'X' || c == U'i' || c == U'v' || c == U'x';
}

void Raise(std::vector<char32_t>& chars, std::size_t i) {
  if (i < chars.size()) chars[i] = Toupper(chars[i]);
}

void RaiseWordInitials(std::vector<char32_t>& t) {
  for (std::size_t k = 0; k + 3 <= t.size(); ++k) {
    const char32_t c = t[k];
    const char32_t n = t[k + 1];
    if ((c == U'.' || c == U'(') && n != U' ')
      Raise(t, k + 1);
    else if (c == U' ' && n != U' ' && t[k + 2] != U' ')
      Raise(t, k + 1);
  }
}

// A word of only I, V and X after a single space, ended by a space, ')', ','
// '.' or the end, is a numeral. The space that ends one numeral word does not
// open the next word, so "ii iv" raises only "ii".
void RaiseRomanNumerals(std::vector<char32_t>& t) {
  const std::size_t length = t.size();
  bool at_break = true;
  bool word_start = false;
  bool in_numeral = false;
  std::size_t start = 0;
  const auto raise_range = [&](std::size_t from, std::size_t to) {
    for (std::size_t j = from; j < to; ++j) Raise(t, j);
  };
  for (std::size_t i = 0; i < length; ++i) {
    const char32_t c = t[i];
    if (at_break && c == U' ') {
      at_break = false;
      word_start = true;
      continue;
    }
    if (!word_start) continue;
    if (IsRomanLetter(c)) {
      if (!in_numeral) {
        start = i;
        in_numeral = true;
      }
      if (i == length - 1) raise_range(start, length);
      continue;
    }
    if (in_numeral) {
      word_start = false;
      in_numeral = false;
      at_break = true;
      if (c == U' ' || c == U')' || c == U',' || c == U'.') raise_range(start, i);
      continue;
    }
    at_break = true;
    word_start = false;
  }
}

void RaiseAfterDashesAnd3D(std::vector<char32_t>& t) {
  const std::size_t length = t.size();
  for (std::size_t p = 3; p <= length; ++p) {
    if (t[p - 3] != U' ') continue;
    const char32_t here = p < length ? t[p] : U'\0';
    if (t[p - 2] == U'-' && t[p - 1] == U' ') {
      Raise(t, p);
    } else if (t[p - 2] == U'3' && t[p - 1] == U'd' &&
               (here == U'\0' || here == U' ' || here == U')' || here == U',' || here == U'.')) {
      t[p - 1] = U'D';
    }
  }
}

void RaiseAfterInvertedMarks(std::vector<char32_t>& t) {
  for (std::size_t i = 0; i < t.size(); ++i)
    if (t[i] == U'\u00A1' || t[i] == U'\u00BF') Raise(t, i + 1);
}

}  // namespace

void ParseTitle(std::string& text, int skip_year) {
  const std::size_t length = text.size();
  for (char& c : text)
    if (c == '-' || c == '.' || c == '_') c = ' ';

  for (std::size_t k = 0; k + 3 <= length; ++k) {
    if (text[k] == ' ' && IsLabelCode(text[k + 1], text[k + 2]) && EndOrSpace(At(text, k + 3))) {
      text.resize(k);
      break;
    }
  }

  CutAtFirstOf(text, {"  [", " [", "["});
  CutAtFirstOf(text, {" BD ", " Full Blu Ray", " Full BluRay", " FullBluRay", " Blu Ray", " BluRay",
                      " BDremux", " BDRIP", " BD50", " BD25", " AVCHD", " AVC"});
  CutAtFirstOf(text, {" 1080", "1080", " 720", "720"});
  for (std::string_view tag : {" x264", " mkv", " by "}) CutAtFirstOf(text, {tag});

  if ((skip_year & 0xFF) != 0) return;
  ParenthesisedYear(text);
  BareYear(text);
}

void TitleCase(std::string& text) {
  // The phases work on characters: a position is one character, and raising
  // one may change its length in bytes.
  std::vector<char32_t> chars;
  chars.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) chars.push_back(DecodeUtf8(text, pos));

  Raise(chars, 0);
  RaiseWordInitials(chars);
  RaiseRomanNumerals(chars);
  RaiseAfterDashesAnd3D(chars);
  RaiseAfterInvertedMarks(chars);

  std::string out;
  out.reserve(text.size());
  for (char32_t c : chars) AppendUtf8(out, c);
  text = std::move(out);
}

void ReplaceInvalidChars(std::string& text) {
  for (char& c : text) {
    switch (c) {
      case '"':
        c = '\'';
        break;
      case '*':
      case '/':
      case '\\':
      case '|':
        c = '-';
        break;
      case ':':
        c = ',';
        break;
      case '<':
        c = '(';
        break;
      case '>':
        c = ')';
        break;
      case '?':
        c = '.';
        break;
      default:
        break;
    }
  }
  // Only the dots that end the text go, however many: a name may not end in
  // a dot, but "Vol. 2" keeps its dot and " 2".
  const std::size_t last = text.find_last_not_of('.');
  text.resize(last == std::string::npos ? 0 : last + 1);
}

void UrlEncode(std::string& text) {
  if (text.size() >= 1024) return;
  static constexpr std::string_view kReserved = "!#$%&'()*+,/:;=?[]@";
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size() * 3);
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == ' ') {
      out += '+';
    } else if (byte >= 0x80 || kReserved.find(c) != std::string_view::npos) {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 0x0F];
    } else {
      out += c;
    }
  }
  text = std::move(out);
}

char32_t Toupper(char32_t c) {
  if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return c;  // no character: raw bytes kept as they are
  const std::wint_t upper = std::towupper(static_cast<std::wint_t>(c));
  return upper > 0x10FFFF ? c : static_cast<char32_t>(upper);
}

namespace {

template <typename Map>
std::string MapCase(std::string_view text, Map map) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) {
    const char32_t c = DecodeUtf8(text, pos);
    // Stand-ins of stray bytes (U+DC80..U+DCFF) must come back unchanged.
    const bool raw = c >= 0xDC00 && c <= 0xDFFF;
    AppendUtf8(out, raw ? c : static_cast<char32_t>(map(static_cast<std::wint_t>(c))));
  }
  return out;
}

}  // namespace

std::string Utf8Upper(std::string_view text) {
  return MapCase(text, [](std::wint_t c) { return std::towupper(c); });
}
std::string Utf8Lower(std::string_view text) {
  return MapCase(text, [](std::wint_t c) { return std::towlower(c); });
}

}  // namespace dp
