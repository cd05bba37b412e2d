// The TMDb web site's page of the chosen title ("View on TMDB").
#pragma once

#include <string>
#include <string_view>

namespace dp::ui {

inline constexpr std::string_view kTmdbSite = "https://www.themoviedb.org/";

// The page whose path is `tmdb_path` ("movie/603"); empty when no title
// was chosen.
inline std::string TmdbPageUrl(std::string_view tmdb_path) {
  while (!tmdb_path.empty() && tmdb_path.front() == '/') tmdb_path.remove_prefix(1);
  if (tmdb_path.empty()) return {};
  std::string url(kTmdbSite);
  url += tmdb_path;
  return url;
}

}  // namespace dp::ui
