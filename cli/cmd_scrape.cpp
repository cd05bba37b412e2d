// discpress-cli scrape: the TMDb search and detail lookup as source opening
// calls them, for checking the client against a server from the outside.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>

#include "command.h"
#include "scraper/tmdb.h"

namespace dp::cli {
namespace {

int Search(std::string query) {
  const bool found = ScrapeSearch(query);
  std::printf("%s\n", query.c_str());
  for (int i = 0; i < scrape_count && i < kMaxScrapeHits; ++i) {
    const ScrapeHit& hit = scrape_hits[static_cast<std::size_t>(i)];
    std::printf("%s\t%s\t%d\n", hit.tmdb_ref.c_str(), hit.hit_label.c_str(), hit.year_match);
  }
  return found ? kOk : kFailed;
}

int Get(const std::string& ref) {
  std::string local_title, original_title, year_text, tmdb_path, show_name, episode_text;
  const int found =
      ScrapeGetData(ref, local_title, original_title, year_text, tmdb_path, show_name, episode_text);
  const std::pair<const char*, const std::string*> lines[] = {
      {"local_title", &local_title}, {"original_title", &original_title}, {"year_text", &year_text},
      {"tmdb_path", &tmdb_path},     {"show_name", &show_name},           {"episode_text", &episode_text}};
  for (const auto& [name, value] : lines) std::printf("%s\t%s\n", name, value->c_str());
  return found == 1 ? kOk : kFailed;
}

void Setup(CLI::App& group) {
  auto word = std::make_shared<std::string>();
  CLI::App* search = group.add_subcommand("search", "the hits for a title, as source opening asks for them");
  search->add_option("QUERY", *word, "a title, cleaned as a file name is")->required();
  OnRun(*search, [word] { return Search(*word); });
  CLI::App* get = group.add_subcommand("get", "the details of one hit");
  get->add_option("REF", *word, "a hit's tmdb_ref, or tv/ID/SEASON/EPISODE")->required();
  OnRun(*get, [word] { return Get(*word); });
}

const RegisterCommand reg("scrape", "TMDb lookups", Setup);

}  // namespace
}  // namespace dp::cli
