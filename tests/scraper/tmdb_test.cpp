#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "scraper/json_scan.h"
#include "scraper/tmdb.h"
#include "scraper/tmdb_http.h"
#include "support/local_http_server.h"

namespace dp {
namespace {

std::string Real(const std::string& name) {
  std::ifstream in(std::string(DP_TESTDATA_DIR) + "/tmdb/" + name, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

class TmdbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("DISCPRESS_TMDB_URL", server.base().c_str(), 1);
    setenv("DISCPRESS_TMDB_KEY", "k", 1);
    setenv("LANGUAGE", "es_ES.UTF-8", 1);
  }
  test::LocalHttpServer server;
};

TEST(JsonScan, Strings) {
  // clang-format off
  struct { const char* json; const char* key; int ok; std::string out; } rows[] = {
    {R"({"a":1,"b":"x"})", "b", 1, "x"},
    {R"( { "a" : {"b":"no"} , "c":[1,"]"] , "b" : "y" })", "b", 1, "y"},
    {R"({"a\"b":"v","b":"w"})", "b", 1, "w"},
    {R"({"B":"v"})", "b", 0, ""},
    {R"({"b":null})", "b", 0, ""},
    {R"({"a":1} "b":"v")", "b", 0, ""},
    {R"({"a":"unterminated)", "b", 0, ""},
    {R"({"b":"\b\f\n\r\t\/\\\"q"})", "b", 1, "\b\f\n\r\t/\\\"q"},
    {R"({"b":"\u00e9\u00C9\u20ac"})", "b", 1, "\xc3\xa9\xc3\x89\xe2\x82\xac"},
    {R"({"b":"\ud83c\udfac"})", "b", 1, "\xf0\x9f\x8e\xac"},
    {R"({"b":"\ud83cx\udfac"})", "b", 1, "\xef\xbf\xbdx\xef\xbf\xbd"},
    {R"({"b":"\u12g4"})", "b", 1, "?12g4"},
    {R"({"b":"ab\)", "b", 1, "ab"},
  };
  // clang-format on
  for (const auto& r : rows) {
    std::string out = "old";
    EXPECT_EQ(JsonGetString(r.json, r.key, out, 64), r.ok) << r.json;
    EXPECT_EQ(out, r.out) << r.json;
  }
  std::string out;
  JsonGetString(R"({"b":"\u00e9\u00e9"})", "b", out, 4);  // never half a character
  EXPECT_EQ(out, "\xc3\xa9");
}

TEST(TmdbLanguage, FromLocaleName) {
  // clang-format off
  const std::pair<const char*, const char*> rows[] = {
    {"es_ES.UTF-8", "es-ES"}, {"zh_CN", "zh-CN"}, {"ca_ES.UTF-8@valencia", "ca"},
    {"de", "de"}, {"fil_PH", "fil-PH"}, {"C.UTF-8", "en-US"}, {"POSIX", "en-US"},
    {"fr_FR:en", "fr-FR"}, {"sr_RS@latin", "sr"},
  };
  // clang-format on
  for (const auto& [name, tag] : rows) EXPECT_EQ(TmdbLanguageOf(name), tag) << name;
}

TEST_F(TmdbTest, SearchRequestsAndHits) {
  server.Reply("/3/search/multi", 200, Real("search-multi.json"));
  server.Reply("/3/search/tv", 200, Real("search-tv.json"));
  const std::string q = "?api_key=k&language=es-ES&include_adult=false&query=";
  // clang-format off
  struct { std::string query, left, target; int count, hit; std::string ref, label; int year_match; } rows[] = {
    {"game of thrones (2011)", "game of thrones", "/3/search/multi" + q + "game%20of%20thrones",
     13, 0, "tv/1399", "Game of Thrones (2011) [TV]", 1},
    {"game (2015)", "game", "/3/search/multi" + q + "game", 13, 2, "movie/322484",
     "Game of Thrones The IMAX Experience (2015)", 1},
    {"(2011)", "", "", 0, 0, "", "", 0},
    {"a&b/c\xc3\xa9", "a&b/c\xc3\xa9", "/3/search/multi" + q + "a%26b%2Fc%C3%A9", 13, 8,
     "movie/1020649", "Game of Thrones Live Concert Experience 2018", 0},
    {"show name s01e02", "show name", "/3/search/tv" + q + "show%20name", 4, 0, "tv/1399/1/2",
     "Game of Thrones (2011) [TV] 1x02", 0},
    {"show name  1X02 x", "show name", "/3/search/tv" + q + "show%20name", 4, 3, "tv/224372/1/2",
     "A Knight of the Seven Kingdoms: The Hedge Knight [TV] 1x02", 0},
    {"show 1x2", "show 1x2", "/3/search/multi" + q + "show%201x2", 13, 0, "tv/1399",
     "Game of Thrones (2011) [TV]", 0},
    {"show s001e01", "show s001e01", "/3/search/multi" + q + "show%20s001e01", 13, 0, "tv/1399",
     "Game of Thrones (2011) [TV]", 0},
  };
  // clang-format on
  for (auto& r : rows) {
    server.ClearTargets();
    std::string query = r.query;
    EXPECT_EQ(ScrapeSearch(query), r.count > 0) << r.query;
    EXPECT_EQ(query, r.left);
    EXPECT_EQ(server.targets(),
              r.target.empty() ? std::vector<std::string>{} : std::vector<std::string>{r.target});
    ASSERT_EQ(scrape_count, r.count) << r.query;
    if (r.count == 0) continue;
    EXPECT_EQ(scrape_hits[r.hit].tmdb_ref, r.ref);
    EXPECT_EQ(scrape_hits[r.hit].hit_label, r.label);
    EXPECT_EQ(scrape_hits[r.hit].year_match, r.year_match) << r.query;
  }
}

TEST_F(TmdbTest, FailedAndDamagedAnswers) {
  const std::string multi = Real("search-multi.json");
  std::string many = R"({"results":[{"media_type":"person","id":1,"name":"P"},)"
                     R"({"media_type":"movie","id":"x","title":"Q"},{"id":7,"name":""},)";
  for (int i = 0; i < 150; ++i)
    many += R"({"media_type":"movie","id":)" + std::to_string(i) + R"(,"title":"M"},)";
  many += "{}]}";
  // clang-format off
  struct { int status; std::string body; int count; } rows[] = {
    {401, Real("invalid-api-key.json"), 0}, {404, "{}", 0}, {200, "", 0},
    {200, multi.substr(0, multi.find("\"House of the Dragon\"")), 10},
    {200, R"({"results":[{"id":1,"name":"A"} {"id":2,"name":"B"}]})", 1},
    {200, R"({"page":1,"results":{"id":1}})", 0},
    {200, many, 100},
  };
  // clang-format on
  for (const auto& r : rows) {
    server.Reply("/3/search/multi", r.status, r.body);
    std::string query = "x";
    EXPECT_EQ(ScrapeSearch(query), r.count > 0);
    EXPECT_EQ(scrape_count, r.count) << r.status << r.body.substr(0, 40);
  }
  EXPECT_EQ(scrape_hits[0].tmdb_ref, "movie/0");
  EXPECT_EQ(scrape_hits[99].tmdb_ref, "movie/99");
  EXPECT_EQ(ProcessListNew(R"({"page":1})", 0, ""), -1);
}

TEST_F(TmdbTest, Details) {
  server.Reply("/3/movie/550", 200, Real("movie-details.json"));
  server.Reply("/3/tv/1399", 200, Real("tv-details.json"));
  server.Reply("/3/tv/1399/season/1/episode/1", 200, Real("tv-episode-details.json"));
  server.Reply("/3/movie/7", 200, R"({"title":"\u041c\u0438\u0440","original_title":"Mir"})");
  server.Reply("/3/movie/8", 200,
               R"({"title":"Le: Film","original_title":"Der Film","release_date":"2001"})");
  // clang-format off
  struct { std::string ref; int ok; std::vector<std::string> out; int requests; } rows[] = {
    {"movie/550", 1, {"Fight Club", "", "1999", "movie/550", "", ""}, 1},
    {"movie/8", 1, {"Le, Film", "Der Film", "2001", "movie/8", "", ""}, 1},
    {"movie/7", 0, {"\xd0\x9c\xd0\xb8\xd1\x80", "Mir", "", "", "", ""}, 1},
    {"tv/1399", 1, {"Game of Thrones", "", "2011", "tv/1399", "", ""}, 1},
    {"tv/1399/1/1", 1, {"Winter Is Coming", "", "2011", "tv/1399/season/1/episode/1",
                        "Game of Thrones", "1x01"}, 2},
    {"person/5", 0, {"", "", "", "", "", ""}, 0},
    {"movie", 0, {"", "", "", "", "", ""}, 0},
    {"tv/1399/1/9", 1, {"Game of Thrones", "", "2011", "tv/1399", "", ""}, 2},
  };
  // clang-format on
  for (const auto& r : rows) {
    server.ClearTargets();
    std::vector<std::string> out(6, "old");
    EXPECT_EQ(ScrapeGetData(r.ref, out[0], out[1], out[2], out[3], out[4], out[5]), r.ok) << r.ref;
    EXPECT_EQ(out, r.out) << r.ref;
    EXPECT_EQ(server.targets().size(), static_cast<std::size_t>(r.requests)) << r.ref;
  }
  EXPECT_EQ(server.targets().back(), "/3/tv/1399/season/1/episode/9?api_key=k&language=es-ES");
}

}  // namespace
}  // namespace dp
