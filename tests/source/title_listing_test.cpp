#include "source/title_listing.h"

#include <gtest/gtest.h>

#include "util/text.h"

namespace dp {
namespace {

std::string Titles(const std::string& d1, const std::string& d2) {
  return "eac3to v3.34\n1) 00800.mpls, 00055.m2ts, " + d1 + "\n2) 00801.mpls, 00056.m2ts, " + d2 + "\n";
}

TEST(DecideTitle, ChoosesBetweenTheFirstTitleAndTheDialog) {
  // clang-format off
  const struct { std::string listing; TitlePick pick; } rows[] = {
      {Titles("1:20:00", "0:40:00"), TitlePick::kFirstTitle},     // d1 4800, d2 2400
      {Titles("1:20:00", "0:40:01"), TitlePick::kMainPlaylists},  // d2 2401
      {Titles("1:19:59", "0:08:21"), TitlePick::kMainPlaylists},  // d1 4799, d2 501
      {Titles("1:19:59", "0:08:20"), TitlePick::kFirstTitle},     // d2 500
      {"1) 00800.mpls, 00055.m2ts, 1:42:57\n2) 00801.mpls, 2:00:00\n", TitlePick::kFirstTitle},
      {"\n1) 00800.mpls, 1:42:57\n   [461+462].m2ts\n", TitlePick::kJoinedTitle},
      {"\n1) 00800.mpls, 00001+00002.M2TS, 1:42:57\n", TitlePick::kJoinedTitle},
      {"M2TS, 1 video track, 1:45:49\n1: Chapters, 12 chapters\n", TitlePick::kNoTitle},
      {"\n1) 00800.mpls 00055.m2ts 1:42:57\n", TitlePick::kFailure},
      {"\n1) 00800.mpls, 00055.m2ts, 1:00:00\n2) 00801.m2ts 1:00:00\n", TitlePick::kFailure},
      {"\n1) 00800.mpls, 00055.m2ts, 1:42:57\n<ERROR> source\n", TitlePick::kFailure},
      {"", TitlePick::kFailure},
  };
  // clang-format on
  for (const auto& r : rows) EXPECT_EQ(DecideTitle(r.listing).pick, r.pick) << r.listing;
  const TitleDecision d = DecideTitle("1) 00800.mpls,  00055.m2ts, 1:42:57 \n");
  EXPECT_EQ(d.first.playlist + "|" + d.first.clip + "|" + d.first.duration, "00800.mpls|00055.m2ts|1:42:57 ");
}

TEST(Eac3toPlaylist, ListsTitlesWithTheirClipsAndAtMostFifteen) {
  SourceState state{};
  PlaylistDialog dialog;
  ASSERT_EQ(Eac3toPlaylist("\n1) 00800.mpls, 1:42:57 (x)\n   [461+462+465].m2ts\n"
                           "2) 00020.mpls, 00055.m2ts, 0:21:00\n3) 00030.m2ts, 0:01:00\n   [7]\n",
                           state, dialog),
            3);
  std::string items;
  for (const auto& i : dialog.items) items += i.text + "=" + std::to_string(i.value) + ";";
  EXPECT_EQ(items, "00800.mpls  (1:42:57)=1;00020.mpls  (0:21:00)=2;00030.m2ts  (0:01:00)=3;");
  EXPECT_EQ(Format("%s|%s|%s", state.title_table[0].clips, state.title_table[1].playlist,
                   state.title_table[2].playlist),
            "461+462+465|00020.mpls|");  // the third has no ".mpls"

  const TitleClips clips = ActualizaPlayList(state, 1);
  EXPECT_EQ(clips.m2ts_text, "00461 + 00462 + 00465");
  EXPECT_EQ(clips.files, (std::vector<std::string>{"00461.m2ts", "00462.m2ts", "00465.m2ts"}));
  EXPECT_FALSE(ActualizaPlayList(state, 9).changed);

  std::string twenty;
  for (int n = 1; n <= 20; ++n) twenty += Format("\n%d) %05d.mpls, %05d.m2ts, 0:10:00", n, n, n);
  EXPECT_EQ(Eac3toPlaylist(twenty + "\n", state, dialog), 15);
  EXPECT_EQ(dialog.items.back().text, "00015.mpls  (0:10:00)");
  // A title line without its clips, or a clips line without its end, ends the list.
  EXPECT_EQ(
      Eac3toPlaylist("\n1) 00001.mpls, 00001.m2ts, 0:10:00\n2) 00002.mpls\n3) 3.mpls, 3.m2ts, 0:01:00\n",
                     state, dialog),
      1);
  EXPECT_EQ(Eac3toPlaylist("\n1) 00001.mpls, 0:10:00\n   [1+2]", state, dialog), 0);
}

TEST(SimilarToPlaylist, TakesNameAndClipFromEachLine) {
  SourceState state{};
  PlaylistDialog dialog;
  EXPECT_EQ(SimilarToPlaylist("00002.mpls, 1:49:25, 17 chapters, 00098.m2ts\n"
                              "00020.mpls, 1:49:25, 12 chapters, 00056.m2ts\n",
                              state, dialog),
            2);
  EXPECT_EQ(dialog.items[1].text + std::to_string(dialog.items[1].value),
            "00020.mpls, 1:49:25, 12 chapters2");
  EXPECT_EQ(FieldText(state.title_table[1].playlist), "00020.mpls");
  EXPECT_EQ(FieldText(state.title_table[1].clips), "00056.m2ts");
}

TEST(ChooseClip, LargestClipAndHowTheTitleCounts) {
  constexpr std::int64_t G = 1000000000;
  // clang-format off
  const struct { std::vector<ClipFile> files; std::string path; bool joined, one_large; } rows[] = {
      {{{"a", 5 * G, true}, {"b", 40000000, true}}, "a", false, true},
      {{{"a", 5 * G, true}, {"b", 3 * G, true}}, "a", true, false},
      {{{"a", 2 * G, true}, {"b", 2 * G, true}}, "b", true, false},  // a later equal one wins
      {{{"a", 89999999, true}, {"b", 90000000, true}}, "b", false, true},
      {{{"a", 0, false}, {"b", 0, false}}, "b", false, false},  // nothing opened
      {{{"a", 5 * G, true}}, "a", false, false},
  };
  // clang-format on
  for (const auto& r : rows) {
    const ClipChoice c = ChooseClip(r.files);
    EXPECT_EQ(c.path + (c.joined ? " joined" : "") + (c.one_large ? " m2ts" : ""),
              r.path + (r.joined ? " joined" : "") + (r.one_large ? " m2ts" : ""));
  }
  EXPECT_EQ(TitleClipFiles("461+x2+0045"),
            (std::vector<std::string>{"00461.m2ts", "00000.m2ts", "00045.m2ts"}));
}

}  // namespace
}  // namespace dp
