// The TMDb title choice at the end of source opening, against real TMDb
// answers replayed by a server on 127.0.0.1. The sources are empty .mkv
// files: they need no eac3to, and their title is all the search looks at.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "app/prompter.h"
#include "app/settings.h"
#include "source/source_open.h"
#include "support/files.h"
#include "support/local_http_server.h"
#include "support/temp_dir.h"
#include "util/text.h"

namespace dp {
namespace {

namespace fs = std::filesystem;

std::string Real(const std::string& name) {
  return test::ReadText(fs::path(DP_TESTDATA_DIR) / "tmdb" / name);
}

struct View : SourceView {
  int answer = -1, waits = 0;
  std::string asked;  // "cleaned title|labels" of the title dialog
  SourcePanel panel;
  int ChoosePlaylist(const PlaylistDialog&, const SourceState&) override { return 0; }
  void ShowWait(bool shown) override { waits += shown ? 1 : -1; }
  void Select3DMode(SourceState&) override {}
  void ShowSource(const SourceState& state, const SourceInventory&) override { panel = state.panel; }
  void ApplyTargetSettings(bool) override {}
  int ChooseScrapeHit(const std::string&, const std::string& cleaned_title,
                      const std::vector<std::string>& labels) override {
    asked = cleaned_title + Format("|%zu|", labels.size()) + labels.front();
    return answer;
  }
};

struct Prompts : Prompter {
  Answer Ask(std::string_view, std::string_view, Buttons) override { return Answer::kOk; }
};

TEST(SourceScrape, NamesTheOutputAfterTheChosenHit) {
  test::LocalHttpServer server;
  ::setenv("DISCPRESS_TMDB_URL", server.base().c_str(), 1);
  ::setenv("DISCPRESS_TMDB_KEY", "k", 1);
  // Fight Club's details under a localized title, so that both titles show.
  std::string movie = Real("movie-details.json");
  movie.replace(movie.find("\"title\": \"Fight Club\""), 21, "\"title\": \"El club de la lucha\"");
  server.Reply("/3/search/multi", 200, Real("search-multi.json"));
  server.Reply("/3/search/tv", 200, Real("search-tv.json"));
  server.Reply("/3/movie/322484", 200, movie);
  server.Reply("/3/tv/1399", 200, Real("tv-details.json"));
  server.Reply("/3/tv/1399/season/1/episode/1", 200, Real("tv-episode-details.json"));
  const std::string multi_labels = "|13|Game of Thrones (2011) [TV]";

  // clang-format off
  const struct { const char* file; int style, answer; std::string search, asked, name, tmdb_path; } rows[] = {
    {"Game of Thrones", 1, 2, "multi?", "Game of Thrones" + multi_labels,
     "El club de la lucha (1999) - Fight Club", "movie/322484"},
    {"Game of Thrones", 2, 2, "multi?", "Game of Thrones" + multi_labels,
     "Fight Club (1999) - El club de la lucha", "movie/322484"},
    {"Game of Thrones", 3, 2, "multi?", "Game of Thrones" + multi_labels, "El club de la lucha (1999)", "movie/322484"},
    {"Game of Thrones", 4, 2, "multi?", "Game of Thrones" + multi_labels, "Fight Club (1999)", "movie/322484"},
    {"Game of Thrones", 5, 2, "multi?", "Game of Thrones" + multi_labels, "Fight Club", "movie/322484"},
    // One hit matches the year: chosen without asking; its original title
    // equals its title and is left out.
    {"Game of Thrones (2011)", 1, -1, "multi?", "", "Game of Thrones (2011)", "tv/1399"},
    // An episode is named by its series and number whatever the style.
    {"Game of Thrones s01e01", 2, 0, "tv?", "Game of Thrones s01e01|4|Game of Thrones (2011) [TV] 1x01",
     "Game of Thrones 1x01 - Winter Is Coming", "tv/1399/season/1/episode/1"},
    // Two hits of 2015: asked, and cancelled.
    {"Game of Thrones (2015)", 1, -1, "multi?", "Game of Thrones (2015)" + multi_labels,
     "Game of Thrones (2015)", ""},
    // Details that cannot be fetched leave the cleaned title, not the query.
    {"Game of Thrones", 3, 5, "multi?", "Game of Thrones" + multi_labels, "Game of Thrones", ""},
    {"Nothing Like It", 3, 0, "multi?", "", "Nothing Like It", ""},  // no hit
  };
  // clang-format on
  for (const auto& r : rows) {
    if (r.file[0] == 'N') server.Reply("/3/search/multi", 200, R"({"page":1,"results":[]})");
    test::TempDir t;
    const fs::path file = t / (std::string(r.file) + ".mkv");
    std::ofstream{file};
    Settings settings;
    settings.Scrape = r.style;
    CopyText(settings.OutPath, "/out");
    SourceState state{};
    SourceInventory inventory{};
    View view;
    view.answer = r.answer;
    Prompts prompts;
    server.ClearTargets();
    SourceOpener opener{settings, state, inventory, view, prompts};
    opener.OpenVideoFile(file.string());

    const bool scraped = !r.tmdb_path.empty();
    EXPECT_EQ(view.asked, r.asked) << r.file;
    EXPECT_EQ(view.panel.output_path, "/out/" + r.name) << r.file << " " << r.style;
    EXPECT_EQ(state.tmdb_path, r.tmdb_path) << r.file;
    EXPECT_EQ(state.title_scraped, scraped ? 1 : 0) << r.file;
    EXPECT_EQ(view.panel.imdb_visible, scraped) << r.file;
    EXPECT_EQ(view.panel.output_width, scraped ? 456 : 566) << r.file;
    EXPECT_TRUE(view.panel.add_enabled) << r.file;
    EXPECT_EQ(view.waits, 0) << r.file;
    // The search is given the lower-cased title without year or episode.
    const std::vector<std::string> targets = server.targets();
    ASSERT_FALSE(targets.empty()) << r.file;
    EXPECT_EQ(targets[0].find("/3/search/" + r.search), 0u) << targets[0];
    EXPECT_TRUE(
        targets[0].ends_with(r.file[0] == 'G' ? "&query=game%20of%20thrones" : "&query=nothing%20like%20it"))
        << targets[0];
  }
}

}  // namespace
}  // namespace dp
