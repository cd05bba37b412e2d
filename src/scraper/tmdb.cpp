#include "scraper/tmdb.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "scraper/json_scan.h"
#include "scraper/title_text.h"
#include "scraper/tmdb_http.h"
#include "util/text.h"

namespace dp {

int scrape_count = 0;
std::array<ScrapeHit, kMaxScrapeHits> scrape_hits;

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads min..max digits at s[pos] (no more may follow) into value.
bool Digits(std::string_view s, std::size_t& pos, std::size_t min, std::size_t max, int& value) {
  std::size_t n = 0;
  value = 0;
  while (pos + n < s.size() && IsDigit(s[pos + n])) value = value * 10 + (s[pos + n++] - '0');
  pos += n;
  return n >= min && n <= max;
}

// "s1e2" .. "s12e123" or "1x02" .. "12x123", ended by a space or the text's end.
bool EpisodeMarker(std::string_view s, int& season, int& episode) {
  std::size_t pos = 0;
  bool ok;
  if (!s.empty() && (s[0] == 's' || s[0] == 'S')) {
    pos = 1;
    ok = Digits(s, pos, 1, 2, season) && pos < s.size() && (s[pos] == 'e' || s[pos] == 'E') &&
         Digits(s, ++pos, 1, 3, episode);
  } else {
    ok = Digits(s, pos, 1, 2, season) && pos < s.size() && (s[pos] == 'x' || s[pos] == 'X') &&
         Digits(s, ++pos, 2, 3, episode);
  }
  return ok && (pos == s.size() || s[pos] == ' ');
}

std::string PercentEncode(std::string_view text) {
  constexpr std::size_t kLimit = 3068;
  std::string out;
  // Whole characters only, so a long query never ends in half a sequence.
  for (std::size_t pos = 0; pos < text.size() && out.size() < kLimit;) {
    const std::size_t start = pos;
    DecodeUtf8(text, pos);
    for (const unsigned char c : text.substr(start, pos - start)) {
      if ((std::isalnum(c) && c < 0x80) || c == '-' || c == '.' || c == '_' || c == '~') {
        out += static_cast<char>(c);
      } else {
        out += Format("%%%02X", c);
      }
    }
  }
  return out;
}

// A title is readable when fewer of its characters are '?' or outside ASCII
// than not.
bool Readable(std::string_view text) {
  std::size_t bad = 0;
  std::size_t good = 0;
  for (std::size_t pos = 0; pos < text.size();) {
    const char32_t c = DecodeUtf8(text, pos);
    (c == U'?' || c >= 0x80 ? bad : good)++;
  }
  return bad < good;
}

std::optional<std::string> Fetch(const char* fmt, long id, int season = 0, int episode = 0) {
  const std::string query =
      Format("?api_key=%s&language=%s", TmdbApiKey().c_str(), GetTmdbLanguage().c_str());
  return TmdbGet(Format(fmt, id, season, episode) + query);
}

}  // namespace

int ProcessListNew(const char* body, int year_given, const char* query_year) {
  const char* p = JsonFindMember(body, "results");
  if (!p) return -1;
  if (*p != '[') return 0;
  p = JsonSkipSpace(p + 1);
  const bool year_flag = (year_given & 0xFF) != 0;
  while (*p && *p != ']' && scrape_count < kMaxScrapeHits) {
    std::string type;
    if (!JsonGetString(p, "media_type", type, 16)) type = "tv";
    const char* id_text = JsonFindMember(p, "id");
    if ((type == "movie" || type == "tv") && id_text && (*id_text == '-' || IsDigit(*id_text))) {
      const long id = std::strtol(id_text, nullptr, 10);
      const bool movie = type == "movie";
      std::string name;
      std::string date;
      JsonGetString(p, movie ? "title" : "name", name, 512);
      JsonGetString(p, movie ? "release_date" : "first_air_date", date, 32);
      if (!name.empty()) {
        ScrapeHit& hit = scrape_hits[static_cast<std::size_t>(scrape_count++)];
        hit.tmdb_ref = Format("%s/%ld", type.c_str(), id);
        hit.hit_label = date.size() >= 4 ? Format("%s (%.4s)", name.c_str(), date.c_str()) : name;
        if (!movie) hit.hit_label += " [TV]";
        hit.year_match =
            year_flag && date.size() >= 4 && query_year && std::strncmp(date.c_str(), query_year, 4) == 0;
      }
    }
    p = JsonSkipValue(p);
    if (!p) break;
    p = JsonSkipSpace(p);
    if (*p != ',') break;
    p = JsonSkipSpace(p + 1);
  }
  return 0;
}

bool ScrapeSearch(std::string& query) {
  scrape_count = 0;
  scrape_hits.fill(ScrapeHit{});

  char year[5] = {};
  bool year_flag = false;
  for (std::size_t i = 0; i + 6 <= query.size(); ++i) {
    if (query[i] == '(' && query[i + 5] == ')') {
      std::memcpy(year, query.data() + i + 1, 4);
      query.resize(i > 0 && query[i - 1] == ' ' ? i - 1 : i);
      year_flag = true;
      break;
    }
  }

  int season = 0;
  int episode = 0;
  bool episode_flag = false;
  for (std::size_t i = 0; i < query.size(); ++i) {
    if ((i == 0 || query[i - 1] == ' ') &&
        EpisodeMarker(std::string_view(query).substr(i), season, episode)) {
      query.resize(i);
      while (!query.empty() && query.back() == ' ') query.pop_back();
      episode_flag = true;
      break;
    }
  }
  if (query.empty()) return false;
  if (TmdbApiKey().empty()) return false;

  const std::string path = Format("/3/search/%s?api_key=%s&language=%s&include_adult=false&query=%s",
                                  episode_flag ? "tv" : "multi", TmdbApiKey().c_str(),
                                  GetTmdbLanguage().c_str(), PercentEncode(query).c_str());
  if (const auto body = TmdbGet(path)) ProcessListNew(body->c_str(), year_flag, year);

  if (episode_flag) {
    for (int i = 0; i < scrape_count; ++i) {
      scrape_hits[static_cast<std::size_t>(i)].tmdb_ref += Format("/%d/%d", season, episode);
      scrape_hits[static_cast<std::size_t>(i)].hit_label += Format(" %dx%02d", season, episode);
    }
  }
  return scrape_count > 0;
}

int ScrapeGetData(const std::string& tmdb_ref, std::string& local_title, std::string& original_title_out,
                  std::string& year_text, std::string& tmdb_path, std::string& show_name,
                  std::string& episode_text) {
  local_title.clear();
  original_title_out.clear();
  year_text.clear();
  tmdb_path.clear();
  show_name.clear();
  episode_text.clear();
  if (TmdbApiKey().empty()) return 0;

  char kind[16] = {};
  long id = 0;
  int season = 0;
  int episode = 0;
  const int fields = std::sscanf(tmdb_ref.c_str(), "%15[a-z]/%ld/%d/%d", kind, &id, &season, &episode);
  if (fields < 2) return 0;

  std::string date;
  if (std::strcmp(kind, "movie") == 0) {
    if (const auto body = Fetch("/3/movie/%ld", id)) {
      JsonGetString(body->c_str(), "title", local_title, 1024);
      JsonGetString(body->c_str(), "original_title", original_title_out, 1024);
      JsonGetString(body->c_str(), "release_date", date, 32);
    }
    if (!local_title.empty()) tmdb_path = Format("movie/%ld", id);
  } else if (std::strcmp(kind, "tv") == 0) {
    if (const auto body = Fetch("/3/tv/%ld", id)) {
      JsonGetString(body->c_str(), "name", local_title, 1024);
      JsonGetString(body->c_str(), "original_name", original_title_out, 1024);
      JsonGetString(body->c_str(), "first_air_date", date, 32);
    }
    if (!local_title.empty()) tmdb_path = Format("tv/%ld", id);
    if (fields == 4 && !local_title.empty()) {
      std::string episode_title;
      if (const auto body = Fetch("/3/tv/%ld/season/%d/episode/%d", id, season, episode)) {
        JsonGetString(body->c_str(), "name", episode_title, 1024);
      }
      if (!episode_title.empty()) {
        show_name = local_title.substr(0, Utf8SafePrefix(local_title, 511));
        ReplaceInvalidChars(show_name);
        local_title = episode_title;
        original_title_out.clear();
        episode_text = Format("%dx%02d", season, episode);
        tmdb_path = Format("tv/%ld/season/%d/episode/%d", id, season, episode);
      }
    }
  }

  if (date.size() >= 4) year_text = Format("%d", LeadingInt(date));
  if (original_title_out == local_title || !Readable(original_title_out)) {
    original_title_out.clear();
  }
  if (!local_title.empty() && Readable(local_title)) {
    ReplaceInvalidChars(local_title);
    ReplaceInvalidChars(original_title_out);
    return 1;
  }
  tmdb_path.clear();
  return 0;
}

}  // namespace dp
