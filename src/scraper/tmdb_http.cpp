#include "scraper/tmdb_http.h"

#include <array>
#include <cstdlib>

#include "net/http_get.h"

#ifndef DP_TMDB_API_KEY
#define DP_TMDB_API_KEY ""
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

std::string BaseAddress() {
  const char* env = std::getenv("DISCPRESS_TMDB_URL");
  std::string base = env && *env ? env : "https://api.themoviedb.org";
  while (!base.empty() && base.back() == '/') base.pop_back();
  return base;
}

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
  // HttpGet itself refuses a base that is not https:// (or the loop-back
  // address) or that carries user information.
  HttpGetOptions options;
  options.accept = "application/json";
  options.body_cap = kTmdbBodyCap;
  options.log_name = "TMDb";
  std::optional<HttpReply> reply = HttpGet(BaseAddress() + path, options);
  if (!reply) return std::nullopt;
  if (reply->status == 401) {
    NetDebug("TMDb: HTTP status 401, check DP_TMDB_API_KEY\n");
    return std::nullopt;
  }
  if (reply->status != 200) {
    NetDebug("TMDb: HTTP status %ld\n", reply->status);
    return std::nullopt;
  }
  if (reply->body.empty()) return std::nullopt;
  return std::move(reply->body);
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
