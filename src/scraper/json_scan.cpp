#include "scraper/json_scan.h"

#include <cstring>

#include "util/text.h"

namespace dp {

const char* JsonSkipSpace(const char* p) {
  while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r') ++p;
  return p;
}

namespace {

// p at the opening quote; returns the position after the closing one.
const char* SkipString(const char* p) {
  for (++p; *p; ++p) {
    if (*p == '\\') {
      if (!*++p) return nullptr;
    } else if (*p == '"') {
      return p + 1;
    }
  }
  return nullptr;
}

}  // namespace

const char* JsonSkipValue(const char* p) {
  if (*p == '"') return SkipString(p);
  if (*p == '{' || *p == '[') {
    int depth = 0;
    while (*p) {
      if (*p == '"') {
        p = SkipString(p);
        if (!p) return nullptr;
        continue;
      }
      if (*p == '{' || *p == '[') ++depth;
      if (*p == '}' || *p == ']') {
        if (--depth == 0) return p + 1;
      }
      ++p;
    }
    return nullptr;
  }
  while (*p && !std::strchr(" \t\n\r,]}", *p)) ++p;
  return p;
}

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The four hexadecimal digits at p, or -1.
long Hex4(const char* p) {
  long v = 0;
  for (int i = 0; i < 4; ++i) {
    int d = HexValue(p[i]);
    if (d < 0) return -1;
    v = v * 16 + d;
  }
  return v;
}

}  // namespace

const char* JsonFindMember(const char* text, const char* key) {
  if (!text || !key) return nullptr;
  const std::size_t key_len = std::strlen(key);
  const char* p = JsonSkipSpace(text);
  if (*p != '{') return nullptr;
  p = JsonSkipSpace(p + 1);
  while (*p == '"') {
    const char* end = SkipString(p);
    if (!end) return nullptr;
    const bool match =
        static_cast<std::size_t>(end - p - 2) == key_len && std::memcmp(p + 1, key, key_len) == 0;
    p = JsonSkipSpace(end);
    if (*p != ':') return nullptr;
    p = JsonSkipSpace(p + 1);
    if (match) return p;
    p = JsonSkipValue(p);
    if (!p) return nullptr;
    p = JsonSkipSpace(p);
    if (*p != ',') return nullptr;
    p = JsonSkipSpace(p + 1);
  }
  return nullptr;
}

int JsonGetString(const char* text, const char* key, std::string& out, std::size_t out_size) {
  out.clear();
  const char* p = JsonFindMember(text, key);
  if (!p || *p != '"') return 0;
  // The decoded text is held to what one 2 KiB work buffer allows.
  constexpr std::size_t kWorkLimit = 2043;
  std::string utf8;
  for (++p; *p && *p != '"' && utf8.size() < kWorkLimit; ++p) {
    if (*p != '\\') {
      utf8 += *p;
      continue;
    }
    const char c = *++p;
    if (!c) break;
    switch (c) {
      case 'b':
        utf8 += '\b';
        break;
      case 'f':
        utf8 += '\f';
        break;
      case 'n':
        utf8 += '\n';
        break;
      case 'r':
        utf8 += '\r';
        break;
      case 't':
        utf8 += '\t';
        break;
      case 'u': {
        long cp = Hex4(p + 1);
        if (cp < 0) {
          utf8 += '?';  // the scan resumes right after "\u"
          break;
        }
        p += 4;
        if (cp >= 0xD800 && cp <= 0xDBFF && p[1] == '\\' && p[2] == 'u') {
          const long low = Hex4(p + 3);
          if (low >= 0xDC00 && low <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
            p += 6;
          }
        }
        if (cp >= 0xD800 && cp <= 0xDFFF) cp = 0xFFFD;
        AppendUtf8(utf8, static_cast<char32_t>(cp));
        break;
      }
      default:
        utf8 += c;
    }
  }
  if (out_size > 0) out.assign(utf8, 0, Utf8SafePrefix(utf8, out_size - 1));
  return 1;
}

}  // namespace dp
