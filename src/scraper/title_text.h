// Clean-up of raw source names (folder names, volume labels, file names)
// into film titles, and the small text transforms that naming and requests
// need. Texts are UTF-8; every routine changes its argument in place and
// never fails.
#pragma once

#include <string>
#include <string_view>

namespace dp {

// Turns separators into spaces and cuts disc-label codes, bracketed parts,
// release tags and resolutions; unless the low byte of skip_year is set, also
// brings a year into the form "(1999)".
void ParseTitle(std::string& text, int skip_year);

// Raises word initials, Roman numerals and "3d" (never lowers anything);
// meant for text already in lower case. Upper case follows the LC_CTYPE
// locale.
void TitleCase(std::string& text);

// Replaces the characters that file names cannot hold and removes the dots
// that end the text.
void ReplaceInvalidChars(std::string& text);

// Escapes text for a URL query (space as '+'); a text of 1024 bytes or more
// is left as it is.
void UrlEncode(std::string& text);

// The LC_CTYPE locale's upper case of one character (itself when it has none).
char32_t Toupper(char32_t c);

// Upper or lower case of UTF-8 text by the LC_CTYPE locale, character by
// character; bytes that are no character stay as they are.
std::string Utf8Upper(std::string_view text);
std::string Utf8Lower(std::string_view text);

}  // namespace dp
