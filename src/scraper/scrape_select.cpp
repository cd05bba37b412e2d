#include "scraper/scrape_select.h"

#include "scraper/tmdb.h"
#include "util/text.h"

namespace dp {

int ScrapeAutoSelect() {
  int chosen = -1;
  for (int i = 0; i < scrape_count && i < kMaxScrapeHits; ++i) {
    if (!scrape_hits[static_cast<std::size_t>(i)].year_match) continue;
    if (chosen >= 0) return -1;
    chosen = i;
  }
  return chosen;
}

std::string ScrapedName(const ScrapeDetails& d, int style, const std::string& cleaned_title) {
  const char* title = d.local_title.c_str();
  const char* year = d.year_text.c_str();
  const bool has_original = !d.original_title.empty();
  const char* original_or_title = has_original ? d.original_title.c_str() : title;
  if (!d.show_name.empty()) return Format("%s %s - %s", d.show_name.c_str(), d.episode_text.c_str(), title);
  switch (style) {
    case 1:
      return has_original ? Format("%s (%s) - %s", title, year, d.original_title.c_str())
                          : Format("%s (%s)", title, year);
    case 2:
      return has_original ? Format("%s (%s) - %s", d.original_title.c_str(), year, title)
                          : Format("%s (%s)", title, year);
    case 3:
      return Format("%s (%s)", title, year);
    case 4:
      return Format("%s (%s)", original_or_title, year);
    case 5:
      return original_or_title;
    default:
      return cleaned_title;
  }
}

}  // namespace dp
