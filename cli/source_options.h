// The options of the commands that open a source (analyse, add, scan): the
// answers to the dialogs the opening may show, and the Scrape setting.
#pragma once

#include <CLI/CLI.hpp>
#include <optional>

#include "source_session.h"

namespace dp::cli {

// --title N and --hit N, each repeatable, one value each time, into request.
void AddDialogAnswers(CLI::App& command, OpenRequest& request);

// --scrape FORMAT, 0 to 5: the Scrape setting for this run.
void AddScrapeFormat(CLI::App& command, std::optional<int>& scrape);

}  // namespace dp::cli
