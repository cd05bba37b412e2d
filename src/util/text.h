// Small text primitives shared by every parser: case-insensitive search,
// leading-number reading that stops at the first non-digit, a tokenizer that
// drops empty fields, and copying into fixed record buffers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dp {

inline constexpr std::size_t npos = std::string_view::npos;

char AsciiLower(char c);
char AsciiUpper(char c);
std::string AsciiLowerCopy(std::string_view s);

// Equality and search ignoring ASCII case (other bytes compare as they are).
bool IEquals(std::string_view a, std::string_view b);
std::size_t IFind(std::string_view haystack, std::string_view needle, std::size_t from = 0);
// The last case-insensitive occurrence of needle; npos when there is none.
std::size_t LastIFind(std::string_view haystack, std::string_view needle);
bool IStartsWith(std::string_view s, std::string_view prefix);
bool IEndsWith(std::string_view s, std::string_view suffix);

// atoi-like: skips leading blanks, takes an optional sign, then decimal digits
// up to the first non-digit. No digits gives 0. Saturates instead of
// overflowing.
std::int64_t LeadingInt64(std::string_view s);
int LeadingInt(std::string_view s);
// atof-like: the longest leading decimal number (sign, digits, one point,
// optional exponent); 0.0 when there is none. Always the C notation
// ("23.976"), whatever the process locale.
double LeadingDouble(std::string_view s);
// The decimal number at the start of s (no blanks before it): an optional
// sign, digits with at most one point, an optional exponent, read the C way
// whatever the process locale. Returns how many characters it took, 0 when s
// does not start with a number or the number does not fit a double.
std::size_t ReadDouble(std::string_view s, double& value);

// strtok-like: splits on any of the delimiter bytes and drops empty fields.
std::vector<std::string_view> Tokenize(std::string_view s, std::string_view delimiters);

std::string_view TrimRight(std::string_view s);
std::string_view Trim(std::string_view s);

// Length of the longest prefix of s, at most max_bytes, that does not end
// inside a UTF-8 sequence.
std::size_t Utf8SafePrefix(std::string_view s, std::size_t max_bytes);

// Copies src into a fixed NUL-terminated buffer of cap bytes, cut to fit at a
// UTF-8 boundary; the bytes after the terminator are zeroed.
void CopyText(char* dst, std::size_t cap, std::string_view src);
template <std::size_t N>
void CopyText(char (&dst)[N], std::string_view src) {
  CopyText(dst, N, src);
}

// The text held in a fixed buffer: up to its first NUL, or the whole buffer.
std::string_view FieldText(const char* buf, std::size_t cap);
template <std::size_t N>
std::string_view FieldText(const char (&buf)[N]) {
  return FieldText(buf, N);
}

// printf into a std::string, with C-locale numbers ("%.2f" gives "41.71"
// whatever the process locale).
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Decodes the UTF-8 character that starts at s[pos] (pos < s.size()) and
// moves pos past it.
// A byte that does not start a well-formed sequence (a stray continuation
// byte, an overlong form, a surrogate, a value past U+10FFFF, a sequence cut
// short) comes back alone as U+DC00 + byte, so AppendUtf8 restores it as is.
char32_t DecodeUtf8(std::string_view s, std::size_t& pos);
// Appends the UTF-8 form of c; U+DC80..U+DCFF give back the raw byte they
// stand for; other values that UTF-8 cannot carry become U+FFFD.
void AppendUtf8(std::string& out, char32_t c);

}  // namespace dp
