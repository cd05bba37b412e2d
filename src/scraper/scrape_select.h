// What becomes of the TMDb hits once a search has filled them: the choice
// made without asking, and the output name built from the chosen title's
// details by the naming style the user picked.
#pragma once

#include <string>

namespace dp {

// What ScrapeGetData returns for the chosen hit.
struct ScrapeDetails {
  std::string local_title;
  std::string original_title;  // empty when it adds nothing to local_title
  std::string year_text;
  std::string show_name;     // set for a TV episode only
  std::string episode_text;  // "1x02"
};

// The index of the only hit whose date matches the query's year; -1 when no
// hit or several do.
int ScrapeAutoSelect();

// The output name for naming style `style` (the Scrape setting): an episode
// is "Show 1x02 - Episode" whatever the style; a style outside 1..5 keeps
// cleaned_title.
std::string ScrapedName(const ScrapeDetails& details, int style, const std::string& cleaned_title);

}  // namespace dp
