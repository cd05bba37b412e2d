#include "source/source_open.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "app/prompter.h"
#include "app/settings.h"
#include "support/files.h"
#include "support/temp_dir.h"
#include "util/text.h"

namespace dp {
namespace {

namespace fs = std::filesystem;
constexpr std::int64_t G = 1000000000;

// eac3to as a script: it records its arguments and writes the scripted log
// (a listing of <source> from "listing_<name of source>", else "listing"; a
// chapter run's from "chapter_log") and the chapter file, with CRLF lines.
// clang-format off
constexpr char kFakeEac3to[] = R"sh(#!/bin/bash
d="$(dirname "$0")"
printf '%s|' "$@" >> "$d/argv"; echo >> "$d/argv"
for a in "$@"; do case "$a" in -log=*) log="${a#-log=}";; */cap.txt) cap="$a";; esac; done
if [ -n "$cap" ]; then
  [ -f "$d/cap" ] && cp "$d/cap" "$cap"; [ -f "$d/chapter_log" ] && cp "$d/chapter_log" "$log"
else
  f="$d/listing_$(basename "$1")"; [ -f "$f" ] || f="$d/listing"; [ -f "$f" ] && cp "$f" "$log"
fi
exit 3
)sh";
// clang-format on

struct View : SourceView {
  int answer = 0, waits = 0;
  std::string dialog;
  SourcePanel panel;
  int ChoosePlaylist(const PlaylistDialog& d, const SourceState& state) override {
    dialog = d.info + "|" + ActualizaPlayList(state, answer).m2ts_text;
    for (const auto& item : d.items) dialog += "|" + item.text;
    return answer;
  }
  void ShowWait(bool shown) override { waits += shown ? 1 : -1; }
  void Select3DMode(SourceState& state) override { state.selected_mode_3d = 10; }
  void ShowSource(const SourceState& state, const SourceInventory&) override { panel = state.panel; }
  void ApplyTargetSettings(bool) override {}
  int ChooseScrapeHit(const std::string&, const std::string&, const std::vector<std::string>&) override {
    return -1;
  }
};

struct Prompts : Prompter {
  std::string asked;
  Answer Ask(std::string_view title, std::string_view text, Buttons) override {
    asked += std::string(title) + "|" + std::string(text) + ";";
    return Answer::kOk;
  }
};

void Write(const fs::path& file, std::string text, bool crlf = true) {
  if (crlf)
    for (std::size_t at = 0; (at = text.find('\n', at)) != npos; at += 2) text.insert(at, "\r");
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << text;
}

// A disc folder, the fake tool, and an opener over them.
struct Bench {
  test::TempDir t;
  fs::path fake = t / "tools/eac3to", disc = t / "disc";
  Settings settings;
  SourceState state{};
  SourceInventory inventory{};
  View view;
  Prompts prompts;
  SourceOpener opener{settings, state, inventory, view, prompts};

  Bench() {
    Write(fake / "eac3to", kFakeEac3to, false);
    fs::permissions(fake / "eac3to", fs::perms::owner_all);
    fs::create_directories(disc / "BDMV/PLAYLIST");
    ::setenv("DISCPRESS_TOOLS_DIR", (t / "tools").c_str(), 1);
    CopyText(settings.TempPath, (t / "tmp").string());
    CopyText(settings.OutPath, "/out");
  }
  void Clip(const std::string& name, std::int64_t size) {
    Write(disc / "BDMV/STREAM" / name, "", false);
    fs::resize_file(disc / "BDMV/STREAM" / name, static_cast<std::uintmax_t>(size));
  }
  std::string Local(std::string text) const {
    for (std::size_t at; (at = text.find(t.path().string())) != npos;)
      text.erase(at, t.path().string().size());
    return text;
  }
  std::string Summary() const {
    const SourcePanel& p = view.panel;
    return Local(Format("%s dialog=%s source=%s (%s) sel=%d/%d m2ts=%d 3d=%d/%d max=%d add=%d focus=%d",
                        prompts.asked.c_str(), view.dialog.c_str(), p.source_text.c_str(),
                        p.playlist_text.c_str(), state.playlist_index, state.join_playlist,
                        inventory.source_is_m2ts, inventory.source_is_3d, state.selected_mode_3d,
                        p.bitrate_max, p.add_enabled, static_cast<int>(p.focus)));
  }
};

constexpr char kTwoTitles[] =
    "eac3to\n1) 00800.mpls, 00055.m2ts, 1:42:57\n2) 00801.mpls, 00056.m2ts, 0:05:00\n";
constexpr char kJoined[] = "\n1) 00800.mpls, 1:42:57\n   [461+462].m2ts\n";
constexpr char kUnable[] =
    "ERROR|Unable to read BD structure.; dialog= source= () sel=0/0 m2ts=0 3d=0/0 max=40000 add=0 focus=2";

TEST(SourceOpener, OpensTheDiscFolderAsTheListingAndTheUserSay) {
  // clang-format off
  const struct { const char* open; std::string listing, chapter_log; std::vector<std::pair<const char*, std::int64_t>> clips;
                 int answer; std::string summary; } rows[] = {
      {"disc", kTwoTitles, "", {}, 0,
       " dialog= source=/disc/BDMV/STREAM/00055.m2ts (00800.mpls (1:42:57)) sel=0/0 m2ts=0 3d=0/0 max=40000 add=1 focus=0"},
      {"disc/BDMV", kTwoTitles, "2: h264/MVC, 1080p24 (right eye)\n", {}, 0,
       " dialog= source=/disc/BDMV/STREAM/00055.m2ts (00800.mpls (1:42:57)) sel=0/0 m2ts=0 3d=1/10 max=60000 add=1 focus=0"},
      {"disc", kJoined, "", {{"00461.m2ts", 5 * G}, {"00462.m2ts", 40000000}}, 1,
       " dialog=|00461 + 00462|00800.mpls  (1:42:57) source=/disc/BDMV/STREAM/00461.m2ts (00800.mpls (1:42:57)) sel=1/0 m2ts=1 3d=0/0 max=40000 add=1 focus=0"},
      {"disc", kJoined, "", {{"00461.m2ts", 5 * G}, {"00462.m2ts", 3 * G}}, 1,
       " dialog=|00461 + 00462|00800.mpls  (1:42:57) source=/disc/BDMV/STREAM/00461.m2ts (00800.mpls (1:42:57)) sel=0/1 m2ts=0 3d=0/0 max=40000 add=1 focus=0"},
      {"disc", "\n1) 00800.mpls, 00055.m2ts, 1:20:00\n2) 00801.mpls, 00056.m2ts, 0:40:01\n", "", {}, 0,
       " dialog=This Blu-Ray seems to contain two or more main playlists.|00055|00800.mpls  (1:20:00)|00801.mpls  (0:40:01)"
       " source= () sel=0/0 m2ts=0 3d=0/0 max=40000 add=0 focus=2"},
      {"disc", "1) 00800.mpls, 00055.m2ts, 1:42:57\n<ERROR> something\n", "", {}, 0, kUnable},
      {"disc", "", "", {}, 0, kUnable},
      {"nobdmv", "", "", {}, 0, kUnable},
      {"disc", "M2TS, 1 video track, 1:45:49\n1: Chapters, 12 chapters\n", "", {}, 0, kUnable},
      {"disc", "\n1) 00800.mpls 00055.m2ts\n", "", {}, 1, kUnable},
      {"di\"sc", kTwoTitles, "", {}, 0, "ERROR|Cannot analyse the source: the source '/di\"sc' cannot be used: "},
  };
  // clang-format on
  for (const auto& r : rows) {
    Bench b;
    Write(b.fake / "listing", r.listing);
    Write(b.fake / "chapter_log", r.chapter_log);
    Write(b.fake / "cap", "CHAPTER01=00:00:00.000\nCHAPTER01NAME=Chapter 01\nCHAPTER02=00:05:00.000\n");
    for (const auto& [name, size] : r.clips) b.Clip(name, size);
    b.view.answer = r.answer;
    b.opener.OpenBDMVfolder((b.t / r.open).string());
    EXPECT_EQ(b.Summary().substr(0, r.summary.size()), r.summary) << r.open << "\n" << r.listing;
    EXPECT_EQ(b.view.waits, 0);
    EXPECT_FALSE(fs::exists(b.t / "tmp/cap.txt") || fs::exists(b.t / "tmp/eac3to_log.txt"));
    if (r.summary.find("add=1") != npos) {
      EXPECT_STREQ(b.inventory.chapters, "00:00:00.000\n00:05:00.000\n");
    }
  }
  Bench unset;
  CopyText(unset.settings.TempPath, "");
  unset.opener.OpenBDMVfolder(unset.disc.string());
  EXPECT_EQ(unset.prompts.asked,
            "ERROR|Cannot analyse the source: the temporary folder is not set (Options > Settings...).;");
  EXPECT_FALSE(fs::exists(unset.fake / "argv"));
  CopyText(unset.settings.TempPath, (unset.t / "tmp").string());
  fs::remove(unset.fake / "eac3to");
  unset.opener.OpenBDMVfolder(unset.disc.string());
  EXPECT_NE(unset.prompts.asked.find(";ERROR|Cannot analyse the source: Cannot start"), npos)
      << unset.prompts.asked;
}

// A real disc's playlists: 00005 and 00006 last as long and carry the same
// streams; 00011, a copy of 00005 with a second audio stream, makes them two.
TEST(SourceOpener, SimilarPlaylistsAreAskedForUnlessAPlaylistWasOpened) {
  for (int step = 0; step < 3; ++step) {
    Bench b;
    fs::copy(fs::path(DP_TESTDATA_DIR) / "mpls/bdpl/disc1/PLAYLIST", b.disc / "BDMV/PLAYLIST");
    if (step > 0) {
      std::string mpls = test::ReadText(b.disc / "BDMV/PLAYLIST/00005.mpls");
      mpls[107] = 2;
      Write(b.disc / "BDMV/PLAYLIST/00011.mpls", mpls, false);
    }
    Write(b.fake / "listing", "1) 00005.mpls, 00013.m2ts, 0:02:00\n");
    Write(b.fake / "listing_00011.mpls", "M2TS, 1 video track, 1 audio track, 0:02:00\n");
    b.view.answer = 2;
    if (step == 2)
      b.opener.OpenVideoFile((b.disc / "BDMV/PLAYLIST/00011.mpls").string());
    else
      b.opener.OpenBDMVfolder(b.disc.string());
    const char* chosen = step == 0 ? "00005" : "00011";
    EXPECT_EQ(b.Summary(),
              Format(" dialog=%s source=/disc/BDMV/STREAM/00013.m2ts (%s.mpls (0:02:00)) sel=0/0 m2ts=0 "
                     "3d=0/0 max=40000 add=1 focus=0",
                     step == 1 ? "This Blu-Ray seems to contain two or more similar playlists.|00013"
                                 "|00005.mpls, 0:02:00, 2 chapters|00011.mpls, 0:02:00, 2 chapters"
                               : "",
                     chosen));
    const std::string source = step == 2 ? "/disc/BDMV/PLAYLIST/00011.mpls" : "/disc";
    const std::string chapters = step == 0 ? "/disc|1)" : Format("/disc/BDMV/PLAYLIST/%s.mpls|1)", chosen);
    EXPECT_EQ(b.Local(test::ReadText(b.fake / "argv")),
              (step == 1 ? "/disc|-log=/tmp/eac3to_log.txt|\n/disc/BDMV/PLAYLIST/00011.mpls" : source) +
                  "|-log=/tmp/eac3to_log.txt|\n" + chapters + "|1:|/tmp/cap.txt|-log=/tmp/eac3to_log.txt|\n");
  }
}

TEST(SourceOpener, OpensStreamFilesAndDrops) {
  Bench b;
  b.Clip("00055.m2ts", 1000);
  EXPECT_TRUE(SourceOpener::IsOpenableDrop(b.disc.string()));
  EXPECT_FALSE(SourceOpener::IsOpenableDrop((b.t / "tools/eac3to/eac3to").string()));
  b.opener.OpenDropped((b.disc / "BDMV/STREAM/00055.m2ts").string());
  EXPECT_EQ(b.Local(test::ReadText(b.fake / "argv")),
            "/disc/BDMV/STREAM/00055.m2ts|1:|/tmp/cap.txt|-log=/tmp/eac3to_log.txt|\n");
  EXPECT_EQ(b.view.panel.title, "disc");
  EXPECT_EQ(b.view.panel.output_path, "/out/disc");
  EXPECT_EQ(b.inventory.source_is_m2ts, 1);
  b.opener.OpenVideoFile("");
  EXPECT_EQ(b.view.panel.focus, SourceFocus::kOpenVideo);
}

}  // namespace
}  // namespace dp
