// The HTTPS layer under the TMDb client: one blocking GET per call, the API
// key and the language tag that every request carries.
#pragma once

#include <optional>
#include <string>

namespace dp {

// Bodies are cut off below this size, the terminating zero included.
inline constexpr std::size_t kTmdbBodyCap = 1048576;

// GET of base + path (path begins with "/3/"); the body when the answer is
// status 200 with a non-empty body, else nothing. The base is
// DISCPRESS_TMDB_URL or https://api.themoviedb.org; plain http:// is allowed
// to 127.0.0.1 only. Diagnostics go to stderr when DISCPRESS_DEBUG is set.
std::optional<std::string> TmdbGet(const std::string& path);

// The API key: DISCPRESS_TMDB_KEY when set, else the one built in (possibly
// empty: then no request is made).
const std::string& TmdbApiKey();

// The "language" query value from LANGUAGE, LC_ALL, LC_MESSAGES or LANG
// ("es_ES.UTF-8" gives "es-ES"); "en-US" when none gives a usable name.
std::string GetTmdbLanguage();

// The tag of one locale name: "zh_CN" gives "zh-CN", "ca_ES.UTF-8@valencia"
// gives "ca", an unusable name gives "en-US".
std::string TmdbLanguageOf(const std::string& locale_name);

}  // namespace dp
