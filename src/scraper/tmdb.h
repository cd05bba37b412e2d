// The TMDb search and detail lookup behind title scraping: the search fills
// one global hit list that the title chooser reads; the lookup fetches the
// chosen hit's titles and year.
#pragma once

#include <array>
#include <string>

namespace dp {

struct ScrapeHit {
  int year_match = 0;     // the hit's date begins with the query's year
  std::string tmdb_ref;   // "movie/603", "tv/1399", "tv/1399/1/2"
  std::string hit_label;  // "Title (2011) [TV] 1x02"
};

inline constexpr int kMaxScrapeHits = 100;
extern int scrape_count;
extern std::array<ScrapeHit, kMaxScrapeHits> scrape_hits;

// Searches TMDb for query (UTF-8, lower case). A "(yyyy)" year and an
// episode marker ("s01e02", "1x02") are cut from query in place and steer the
// search. True when at least one hit was found.
bool ScrapeSearch(std::string& query);

// Fills the hit list from a search answer; -1 when it has no "results".
int ProcessListNew(const char* body, int year_given, const char* query_year);

// Fetches the details of one hit. Returns 1 when a readable title was found;
// all outputs are cleared first.
int ScrapeGetData(const std::string& tmdb_ref, std::string& local_title, std::string& original_title_out,
                  std::string& year_text, std::string& tmdb_path, std::string& show_name,
                  std::string& episode_text);

}  // namespace dp
