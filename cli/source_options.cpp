#include "source_options.h"

#include "args.h"

namespace dp::cli {

void AddDialogAnswers(CLI::App& command, OpenRequest& request) {
  // One value per --title, so a word after it is never taken as a second
  // answer.
  command.add_option("--title", request.titles, "answer the Playlist Selection dialog with list item N")
      ->type_name("N")
      ->allow_extra_args(false)
      ->transform(WholeNumber(1, kTitleTableSize));
  command.add_option("--hit", request.hits, "answer the TMDb title dialog with hit N, from 1")
      ->type_name("N")
      ->allow_extra_args(false)
      ->transform(WholeNumber(1, 1000000));
}

void AddScrapeFormat(CLI::App& command, std::optional<int>& scrape) {
  command.add_option("--scrape", scrape, "the Scrape setting for this run, 0 to 5")
      ->type_name("FORMAT")
      ->transform(WholeNumber(0, 5));
}

}  // namespace dp::cli
