#include "util/text.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace dp {

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string AsciiLowerCopy(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = AsciiLower(c);
  return out;
}

bool IEquals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

std::size_t IFind(std::string_view haystack, std::string_view needle, std::size_t from) {
  if (from > haystack.size()) return npos;
  if (needle.empty()) return from;
  if (needle.size() > haystack.size()) return npos;
  const char first = AsciiLower(needle[0]);
  for (std::size_t i = from; i + needle.size() <= haystack.size(); ++i) {
    if (AsciiLower(haystack[i]) != first) continue;
    if (IEquals(haystack.substr(i, needle.size()), needle)) return i;
  }
  return npos;
}

bool IStartsWith(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && IEquals(s.substr(0, prefix.size()), prefix);
}

bool IEndsWith(std::string_view s, std::string_view suffix) {
  return s.size() >= suffix.size() && IEquals(s.substr(s.size() - suffix.size()), suffix);
}

static bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

std::int64_t LeadingInt64(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && IsBlank(s[i])) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  std::int64_t value = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
    const int digit = s[i] - '0';
    if (value > (kMax - digit) / 10) {
      value = kMax;
      while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
      break;
    }
    value = value * 10 + digit;
  }
  return negative ? -value : value;
}

int LeadingInt(std::string_view s) {
  const std::int64_t v = LeadingInt64(s);
  if (v > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
  if (v < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
  return static_cast<int>(v);
}

double LeadingDouble(std::string_view s) {
  // strtod needs a terminated buffer; the number part is short, so copy a
  // bounded prefix made only of characters a number may contain.
  std::size_t i = 0;
  while (i < s.size() && IsBlank(s[i])) ++i;
  char buf[64];
  std::size_t n = 0;
  for (; i < s.size() && n + 1 < sizeof buf; ++i) {
    const char c = s[i];
    if ((c >= '0' && c <= '9') || c == '.' || c == '+' || c == '-' || c == 'e' || c == 'E')
      buf[n++] = c;
    else
      break;
  }
  buf[n] = '\0';
  char* end = nullptr;
  const double v = std::strtod(buf, &end);
  return std::isfinite(v) ? v : 0.0;
}

std::vector<std::string_view> Tokenize(std::string_view s, std::string_view delimiters) {
  std::vector<std::string_view> out;
  std::size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && delimiters.find(s[i]) != npos) ++i;
    if (i >= s.size()) break;
    std::size_t j = i;
    while (j < s.size() && delimiters.find(s[j]) == npos) ++j;
    out.push_back(s.substr(i, j - i));
    i = j;
  }
  return out;
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  return TrimRight(s);
}

std::size_t Utf8SafePrefix(std::string_view s, std::size_t max_bytes) {
  if (s.size() <= max_bytes) return s.size();
  std::size_t n = max_bytes;
  // Step back over continuation bytes to the lead byte of the cut sequence.
  std::size_t lead = n;
  while (lead > 0 && (static_cast<unsigned char>(s[lead]) & 0xC0) == 0x80) --lead;
  return lead;
}

void CopyText(char* dst, std::size_t cap, std::string_view src) {
  if (cap == 0) return;
  const std::size_t n = Utf8SafePrefix(src, cap - 1);
  std::memcpy(dst, src.data(), n);
  std::memset(dst + n, 0, cap - n);
}

std::string_view FieldText(const char* buf, std::size_t cap) {
  const void* nul = std::memchr(buf, 0, cap);
  return std::string_view(buf, nul ? static_cast<const char*>(nul) - buf : cap);
}

std::string Format(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  va_list ap2;
  va_copy(ap2, ap);
  const int n = std::vsnprintf(nullptr, 0, fmt, ap);
  va_end(ap);
  std::string out;
  if (n > 0) {
    out.resize(static_cast<std::size_t>(n));
    std::vsnprintf(out.data(), out.size() + 1, fmt, ap2);
  }
  va_end(ap2);
  return out;
}

}  // namespace dp
