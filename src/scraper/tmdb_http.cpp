#include "scraper/tmdb_http.h"

#include <curl/curl.h>

#include <array>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "util/text.h"

#ifndef DP_TMDB_API_KEY
#define DP_TMDB_API_KEY ""
#endif
#ifndef DP_VERSION_TEXT
#define DP_VERSION_TEXT "3.3.0"
#endif

namespace dp {
namespace {

constexpr std::size_t kKeyLen = 32;

constexpr char KeyMask(std::size_t i) { return static_cast<char>(0x5A ^ (i * 37 + 11)); }

// The built-in key is only stored masked, so it does not show as plain text
// in the binary.
consteval std::array<char, kKeyLen> MaskKey(const char* key) {
  std::array<char, kKeyLen> out{};
  std::size_t n = 0;
  while (n < kKeyLen && key[n]) ++n;
  if (n != kKeyLen) return out;  // no usable key: all zero
  for (std::size_t i = 0; i < kKeyLen; ++i) out[i] = static_cast<char>(key[i] ^ KeyMask(i));
  return out;
}
constexpr std::array<char, kKeyLen> kMaskedKey = MaskKey(DP_TMDB_API_KEY);

void Debug(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void Debug(const char* fmt, ...) {
  if (!std::getenv("DISCPRESS_DEBUG")) return;
  va_list args;
  va_start(args, fmt);
  std::vfprintf(stderr, fmt, args);
  va_end(args);
}

std::string BaseAddress() {
  const char* env = std::getenv("DISCPRESS_TMDB_URL");
  std::string base = env && *env ? env : "https://api.themoviedb.org";
  while (!base.empty() && base.back() == '/') base.pop_back();
  return base;
}

// https anywhere; plain http only to the loop-back address (tests).
bool AllowedBase(const std::string& base) {
  if (base.find('@') != std::string::npos) return false;  // no "http://127.0.0.1:1@elsewhere"
  if (IStartsWith(base, "https://")) return true;
  constexpr std::string_view local = "http://127.0.0.1";
  return IStartsWith(base, local) &&
         (base.size() == local.size() || base[local.size()] == ':' || base[local.size()] == '/');
}

struct Body {
  std::string text;
  bool cut = false;
};

std::size_t Collect(char* data, std::size_t size, std::size_t count, void* user) {
  auto* body = static_cast<Body*>(user);
  const std::size_t n = size * count;
  if (body->text.size() + n + 1 > kTmdbBodyCap) {
    body->cut = true;
    return 0;  // ends the transfer; what came so far is kept
  }
  body->text.append(data, n);
  return n;
}

struct CurlDeleter {
  void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
struct SlistDeleter {
  void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

}  // namespace

const std::string& TmdbApiKey() {
  static const std::string key = [] {
    if (const char* env = std::getenv("DISCPRESS_TMDB_KEY")) return std::string(env);
    if (kMaskedKey[0] == 0) return std::string();
    std::string plain(kKeyLen, '\0');
    for (std::size_t i = 0; i < kKeyLen; ++i) plain[i] = static_cast<char>(kMaskedKey[i] ^ KeyMask(i));
    return plain;
  }();
  return key;
}

std::optional<std::string> TmdbGet(const std::string& path) {
  const std::string base = BaseAddress();
  if (!AllowedBase(base)) {
    Debug("TMDb: refused base address %s\n", base.c_str());
    return std::nullopt;
  }
  static const bool ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  std::unique_ptr<CURL, CurlDeleter> curl(ready ? curl_easy_init() : nullptr);
  if (!curl) {
    Debug("TMDb: curl_easy_init failed\n");
    return std::nullopt;
  }
  std::unique_ptr<curl_slist, SlistDeleter> headers(curl_slist_append(nullptr, "Accept: application/json"));
  const std::string url = base + path;
  Body body;
  CURL* c = curl.get();
  curl_easy_setopt(c, CURLOPT_URL, url.c_str());
  curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "https,http");
  curl_easy_setopt(c, CURLOPT_USERAGENT, "DiscPress/" DP_VERSION_TEXT);
  curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
  curl_easy_setopt(c, CURLOPT_HTTPGET, 1L);
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  // Name resolution 3 s plus connect 8 s; a stalled send or receive ends
  // after 5 s without a byte.
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, 11000L);
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, 5L);
  curl_easy_setopt(c, CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2));
  curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, Collect);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &body);

  const CURLcode rc = curl_easy_perform(c);
  if (rc != CURLE_OK && !(rc == CURLE_WRITE_ERROR && body.cut)) {
    Debug("TMDb: curl_easy_perform failed (error %d: %s)\n", static_cast<int>(rc), curl_easy_strerror(rc));
    return std::nullopt;
  }
  long status = 0;
  if (curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK) {
    Debug("TMDb: reading the status failed\n");
    return std::nullopt;
  }
  if (status == 401) {
    Debug("TMDb: HTTP status 401, check DP_TMDB_API_KEY\n");
    return std::nullopt;
  }
  if (status != 200) {
    Debug("TMDb: HTTP status %ld\n", status);
    return std::nullopt;
  }
  if (body.text.empty()) return std::nullopt;
  return std::move(body.text);
}

std::string TmdbLanguageOf(const std::string& locale_name) {
  // "ll_CC.charset@modifier" read as "ll-CC-modifier".
  std::string name = locale_name.substr(0, locale_name.find(':'));
  std::string modifier;
  if (const std::size_t at = name.find('@'); at != std::string::npos) {
    modifier = name.substr(at + 1);
    name.resize(at);
  }
  name = name.substr(0, name.find('.'));
  if (!modifier.empty()) name += '-' + modifier;
  for (char& ch : name) {
    if (ch == '_') ch = '-';
  }
  if (name.size() > 84) return "en-US";
  const std::size_t dash = name.find('-');
  const std::string primary = name.substr(0, dash);
  if (primary.size() < 2 || primary.size() > 3) return "en-US";
  for (char ch : primary) {
    if (!(ch >= 'a' && ch <= 'z') && !(ch >= 'A' && ch <= 'Z')) return "en-US";
  }
  if (dash != std::string::npos) {
    const std::string last = name.substr(name.rfind('-') + 1);
    if (last.size() == 2) return primary + '-' + last;
  }
  return primary;
}

std::string GetTmdbLanguage() {
  for (const char* var : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(var);
    if (value && *value) return TmdbLanguageOf(value);
  }
  return "en-US";
}

}  // namespace dp
