// discpress-cli's TMDb commands and the title dialog of `analyse`, against
// real TMDb answers replayed by a server on 127.0.0.1.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/cli.h"
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

TEST(CliScrape, SearchGetAndTheTitleDialog) {
  test::LocalHttpServer server;
  server.Reply("/3/search/multi", 200, Real("search-multi.json"));
  server.Reply("/3/movie/322484", 200, Real("movie-details.json"));
  server.Reply("/3/tv/1399", 200, Real("tv-details.json"));
  server.Reply("/3/tv/1399/season/1/episode/1", 200, Real("tv-episode-details.json"));
  const test::TempDir dir;
  // An empty .mkv: opened without eac3to, named after its file.
  const std::string film = (dir / "Game of Thrones.mkv").string();
  std::ofstream{film};
  const std::vector<std::string> env = {"XDG_CONFIG_HOME=" + (dir / "config").string(),
                                        "HOME=" + dir.path().string(), "TMPDIR=" + dir.path().string(),
                                        "DISCPRESS_TMDB_URL=" + server.base(), "DISCPRESS_TMDB_KEY=k"};
  // clang-format off
  const struct { std::vector<std::string> args; int code; std::vector<std::string> out; std::string err; } cases[] = {
    {{"scrape", "search", "game of thrones (2011)"}, 0,
     {"game of thrones\ntv/1399\tGame of Thrones (2011) [TV]\t1\nmovie/738562\tGame of Thrones: The Story So Far (2017)\t0\n",
      "\nmovie/607300\tPurge of Kingdoms (2019)\t0\n"}, ""},
    {{"scrape", "search", "nothing 1x02"}, 1, {"nothing\n"}, ""},
    {{"scrape", "get", "tv/1399/1/1"}, 0,
     {"local_title\tWinter Is Coming\noriginal_title\t\nyear_text\t2011\ntmdb_path\ttv/1399/season/1/episode/1\n"
      "show_name\tGame of Thrones\nepisode_text\t1x01\n"}, ""},
    {{"scrape", "get", "movie/1"}, 1, {"local_title\t\n"}, ""},
    {{"analyse", film, "--scrape", "3"}, 3, {"1\tGame of Thrones (2011) [TV]\n2\t", "13\tPurge of Kingdoms (2019)\n"}, ""},
    {{"analyse", film, "--scrape", "3", "--hit", "3"}, 0, {"/Fight Club (1999)\n"}, ""},
    {{"analyse", film, "--scrape", "3", "--hit", "14"}, 2, {}, "no hit 14"},
  };
  // clang-format on
  for (const auto& c : cases) {
    const test::CliResult r = test::Cli(c.args, env);
    EXPECT_EQ(r.code, c.code) << c.args[1] << " " << c.args[2] << "\n" << r.out << r.err;
    std::size_t at = 0;
    for (const std::string& text : c.out) {
      const std::size_t found = r.out.find(text, at);
      EXPECT_NE(found, npos) << text << " in:\n" << r.out;
      at = found == npos ? at : found;
    }
    EXPECT_NE(r.err.find(c.err), npos) << r.err;
  }

  // Without a key nothing is asked and the cleaned title names the output.
  server.ClearTargets();
  std::vector<std::string> no_key = env;
  no_key.back() = "DISCPRESS_TMDB_KEY=";
  const test::CliResult r = test::Cli({"analyse", film, "--scrape", "1"}, no_key);
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("/Game of Thrones\n"), npos) << r.out;
  EXPECT_TRUE(server.targets().empty());
}

}  // namespace
}  // namespace dp
