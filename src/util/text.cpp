#include "util/text.h"

#include <locale.h>

#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdio>
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

std::size_t LastIFind(std::string_view haystack, std::string_view needle) {
  std::size_t found = npos;
  for (std::size_t at = IFind(haystack, needle); at != npos; at = IFind(haystack, needle, at + 1)) found = at;
  return found;
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

std::size_t ReadDouble(std::string_view s, double& value) {
  std::size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  // from_chars takes no "+", would take a second "-", and reads "inf" and
  // "nan", none of which begins a number here.
  if (i >= s.size() || !((s[i] >= '0' && s[i] <= '9') || s[i] == '.')) return 0;
  double v = 0;
  const auto r = std::from_chars(s.data() + i, s.data() + s.size(), v, std::chars_format::general);
  if (r.ec != std::errc()) return 0;
  value = negative ? -v : v;
  return static_cast<std::size_t>(r.ptr - s.data());
}

double LeadingDouble(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && IsBlank(s[i])) ++i;
  double v = 0;
  return ReadDouble(s.substr(i), v) > 0 && std::isfinite(v) ? v : 0.0;
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
  if (n) std::memcpy(dst, src.data(), n);  // an empty view may have no data at all
  std::memset(dst + n, 0, cap - n);
}

std::string_view FieldText(const char* buf, std::size_t cap) {
  const void* nul = std::memchr(buf, 0, cap);
  return std::string_view(buf, nul ? static_cast<const char*>(nul) - buf : cap);
}

namespace {

// printf writes the decimal mark of the thread's locale; numbers in files,
// command lines and JSON are C numbers, so Format formats under "C" for the
// call only. uselocale is per thread: other threads are not disturbed.
class CLocaleScope {
 public:
  CLocaleScope() : previous_(CLocale() ? ::uselocale(CLocale()) : nullptr) {}
  ~CLocaleScope() {
    if (previous_) ::uselocale(previous_);
  }
  CLocaleScope(const CLocaleScope&) = delete;
  CLocaleScope& operator=(const CLocaleScope&) = delete;

 private:
  static locale_t CLocale() {
    static const locale_t c = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return c;
  }
  locale_t previous_;
};

}  // namespace

std::string Format(const char* fmt, ...) {
  const CLocaleScope c_numbers;
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

char32_t DecodeUtf8(std::string_view s, std::size_t& pos) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char lead = byte(pos);
  const auto raw = [&]() {
    ++pos;
    return static_cast<char32_t>(0xDC00 + lead);
  };
  if (lead < 0x80) {
    ++pos;
    return lead;
  }
  std::size_t len = 0;
  char32_t c = 0;
  char32_t min = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    len = 2, c = lead & 0x1F, min = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    len = 3, c = lead & 0x0F, min = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    len = 4, c = lead & 0x07, min = 0x10000;
  } else {
    return raw();
  }
  if (s.size() - pos < len) return raw();
  for (std::size_t i = 1; i < len; ++i) {
    if ((byte(pos + i) & 0xC0) != 0x80) return raw();
    c = (c << 6) | (byte(pos + i) & 0x3F);
  }
  if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return raw();
  pos += len;
  return c;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c >= 0xDC80 && c <= 0xDCFF) {
    out += static_cast<char>(c - 0xDC00);
    return;
  }
  if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;  // not encodable
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace dp
