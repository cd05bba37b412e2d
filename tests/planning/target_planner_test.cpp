#include "planning/target_planner.h"

#include <gtest/gtest.h>

#include <clocale>
#include <functional>
#include <string>

#include "app/settings.h"
#include "planning/bitrate_budget.h"
#include "planning/output_naming.h"
#include "planning/target_rings.h"
#include "util/text.h"

namespace dp {
namespace {

// A 2-hour 1920-wide title with one plain AC-3 640 track and one PGS track.
struct Plan {
  Settings settings{};
  SourceState source{};
  SourceInventory inv{};
  TargetPanel panel{};
  AdvancedOptions advanced{};
  Plan() {
    inv.video_count = inv.audio_count = inv.subtitle_count = 1;
    VideoStream& v = inv.video[0];
    v.width = 1920, v.bitrate_kbps = 30000, v.duration_ms = 7200000, v.frame_count = 172627;
    inv.audio[0].bitrate_kbps = 640;
    CopyText(inv.audio[0].format, "AC-3");
    CopyText(inv.subtitle[0].format, "PGS");
    panel.media = DefaultMediaItems();
    panel.subtitle = {{"None", 0}, {"Untouched", 1}, {"Flagged forced", 2}};
  }
};

TEST(TargetPlanner, BudgetAndVerdict) {
  using Setup = std::function<void(Plan&)>;
  auto hd = [](int full, int scanned, const char* profile) {
    return Setup([=](Plan& p) {
      p.panel.media_index = kMediaBd25;
      p.panel.audio = {{"Untouched", 1}};
      AudioStream& a = p.inv.audio[0];
      a.full_bitrate_kbps = full, a.scanned_bitrate_kbps = scanned, a.has_core = 1;
      CopyText(p.inv.audio[0].format_profile, profile);
    });
  };
  const std::string recode = "Info: It's necessary to recode the video at ";
  const std::string crf = "Info: The video is recoded using a CRF ";
  struct Row {
    Setup setup;
    int kbps;
    std::string verdict;
    std::uint32_t colour;
  };
  // clang-format off
  const Row rows[] = {
    {[](Plan&) {}, 4250, recode + "4250 Kbps. The quality is regular :|", kVerdictOrange},
    {[](Plan& p) { p.advanced.resize_720p = 1; }, 4250, recode + "4250 Kbps. The quality is very good :))", kVerdictGreen},
    {[](Plan& p) { p.panel.audio = {{"x", 768}}; }, 4112, recode + "4112 Kbps. The quality is regular :|", kVerdictOrange},
    {[](Plan& p) { p.panel.subtitle_index = 1; }, 4228, recode + "4228 Kbps. The quality is regular :|", kVerdictOrange},
    {[](Plan& p) { p.panel.subtitle_index = 1; p.inv.container[0].scanned_packets = 9; p.inv.subtitle[0].scanned_bitrate_kbps = 30; },
     4220, recode + "4220 Kbps. The quality is regular :|", kVerdictOrange},
    {[](Plan& p) { p.panel.subtitle_index = 1; p.source.selected_mode_3d = 1; }, 4250, recode + "4250 Kbps. The quality is regular :|", kVerdictOrange},
    {[](Plan& p) { p.inv.video[0].scanned_bitrate_kbps = 4254; }, 4250,
     "Info: source bitrate (~4254 Kbps) < target bitrate. Not need to recode video :)", kVerdictBlue},
    {[](Plan& p) { p.inv.video[0].scanned_bitrate_kbps = 4255; }, 4250, recode + "4250 Kbps. The quality is regular :|", kVerdictOrange},
    {[](Plan& p) { p.panel.media_index = kMediaCustom; p.panel.media[4].bytes = 10000e6; }, 9893, recode + "9893 Kbps. The quality is very good :))", kVerdictGreen},
    {hd(4000, 0, "MA"), 21865, recode + "21865 Kbps. The quality is very good :))", kVerdictGreen},
    {hd(0, 3000, "MA"), 23685, recode + "23685 Kbps. The quality is very good :))", kVerdictGreen},
    {hd(0, 0, "MA"), 22102, recode + "22102 Kbps. The quality is very good :))", kVerdictGreen},
    {hd(0, 0, "DD+"), 24828, recode + "24828 Kbps. The quality is very good :))", kVerdictGreen},
    {[](Plan& p) { p.inv.video[0].duration_ms = 0; }, 0, "", 0},
    {[](Plan& p) { p.panel.media_index = kMediaMkvCrf; p.settings.CRF = 22; }, 22, crf + "22. The quality is regular :|", kVerdictOrange},
    {[](Plan& p) { p.panel.media_index = kMediaMkvCrf; p.settings.CRF = 26; }, 26, crf + "26. The quality is low :((", kVerdictDarkRed},
    {[](Plan& p) { p.panel.media_index = kMediaAvchdCrf; p.settings.CRF = 23; }, 23, crf + "23. The quality is regular-low :(", kVerdictDarkRed},
    {[](Plan& p) { p.panel.media_index = kMediaMkvCrf; p.settings.CRF = 20; }, 20, crf + "20. The quality is good :)", kVerdictGreen},
    {[](Plan& p) { p.panel.media_index = kMediaMkvCrf; p.settings.CRF = 19; }, 19, crf + "19. The quality is very good :))", kVerdictGreen},
    {[](Plan& p) { p.panel.media_index = kMediaMkvCrf; p.settings.CRF = 0; }, 0, "Info: The video is recoded using lossless compression (CRF 0)", kVerdictBlue},
    {[](Plan& p) { p.panel.media_index = kMediaMkvRemux; }, 1, "Info: Not recode the video. Only remux the untouched video :)", kVerdictBlue},
    {[](Plan& p) { p.panel.media_index = kMediaMkvRemux; p.source.selected_mode_3d = 3; }, 1, crf + "1. The quality is very good :))", kVerdictGreen},
  };
  // clang-format on
  for (const Row& row : rows) {
    Plan p;
    row.setup(p);
    TargetPlanner planner(p.settings, p.source, p.inv, p.panel, p.advanced);
    planner.CalculaBitrate(false);
    EXPECT_EQ(p.panel.verdict, row.verdict);
    EXPECT_EQ(p.panel.verdict_colour, row.colour) << row.verdict;
    EXPECT_EQ(p.panel.has_value, !row.verdict.empty()) << row.verdict;
    if (p.panel.has_value) {
      EXPECT_EQ(p.panel.bitrate, row.kbps) << row.verdict;
    }
    EXPECT_EQ(p.source.video_untouched_choice, row.colour == kVerdictBlue && row.kbps != 0) << row.verdict;
  }
}

TEST(TargetPlanner, AudioOverheadNormalisesRates) {
  AudioStream dts{}, ac3{};
  CopyText(dts.format, "DTS");
  const int rows[][4] = {{768, 0, 754, 233}, {1536, 0, 1509, 214}, {448, 1, 448, 376},
                         {448, 0, 448, 172}, {1411, 0, 1235, 221}, {700, 0, 700, 216}};
  for (const auto& [rate, is_dts, kbps, k] : rows) {
    const AudioBudget b = AudioOverhead(rate, rate, is_dts ? dts : ac3);
    EXPECT_EQ(b.kbps, kbps) << rate;
    EXPECT_EQ(b.k, k) << rate;
  }
}

// "values with the default marked *", per target 0-8.
std::string RingText(const AudioRing& ring) {
  std::string out;
  const int chosen = RingIndexOf(ring.items, ring.default_value);
  for (int i = 0; i < static_cast<int>(ring.items.size()); ++i)
    out += (i ? " " : "") + std::to_string(ring.items[i].value) + (i == chosen ? "*" : "");
  return out;
}

TEST(TargetPlanner, TargetAudioRingPerStreamAndTarget) {
  struct Row {
    const char* format;
    int has_core, kbps, flac, mvc;
    const char* rings[9];
    const char* third_label;  // of the MKV crf ring
  };
  const char* plain = "0* 640 448 384";
  const char* hd_small = "1 0* 640 448 384";
  const char* hd_big = "1* 0 640 448 384";
  // clang-format off
  const Row rows[] = {
    {"DTS", 0, 1509, 1, 0, {"0 640* 448 384", plain, "0 640* 448 384", plain, plain, plain, plain, plain, plain}, "AC3 448 Kbps"},
    {"PCM", 0, 4608, 1, 0, {"0 640* 448 384", plain, "0 640* 448 384", plain, plain, plain, plain, "0 2* 640 448 384", "0 2* 640 448 384"}, "AC3 640 Kbps"},
    {"PCM", 0, 4608, 0, 0, {"0 640* 448 384", plain, "0 640* 448 384", plain, plain, plain, plain, "0* 2 640 448 384", "0* 2 640 448 384"}, "AC3 640 Kbps"},
    {"DTS", 1, 1509, 1, 0, {"0 640* 448 384", hd_small, "0 640* 448 384", hd_big, hd_big, hd_small, hd_big, "1 2* 0 640 448 384", "1 2* 0 640 448 384"}, "DTS Core"},
    {"DTS", 1, 1509, 0, 0, {"0 640* 448 384", hd_small, "0 640* 448 384", hd_big, hd_big, hd_small, hd_big, "1 2 0* 640 448 384", "1* 2 0 640 448 384"}, "DTS Core"},
    {"AC-3", 1, 640, 1, 0, {plain, hd_small, plain, hd_big, hd_big, hd_small, hd_big, "1 2* 0 640 448 384", "1 2* 0 640 448 384"}, "TrueHD Core"},
    {"E-AC-3", 1, 640, 0, 0, {"640* 448 384", "640* 448 384", "640* 448 384", "640* 448 384", "640* 448 384", "640* 448 384", "640* 448 384", "1* 2 0 640 448 384", "1* 2 0 640 448 384"}, "DD+ Core"},
    {"E-AC-3", 1, 640, 0, 1, {plain, hd_small, plain, hd_big, hd_big, hd_small, hd_big, "1* 2 0 640 448 384", "1* 2 0 640 448 384"}, "DD+ Core"},
  };
  // clang-format on
  for (const Row& row : rows) {
    AudioStream s{};
    s.bitrate_kbps = row.kbps, s.has_core = row.has_core;
    CopyText(s.format, row.format);
    for (int t = 0; t < kMediaCount; ++t)
      EXPECT_EQ(RingText(TargetAudioRing(s, t, row.mvc, row.flac)), row.rings[t])
          << row.format << " target " << t;
    const AudioRing mkv = TargetAudioRing(s, kMediaMkvCrf, row.mvc, row.flac);
    EXPECT_EQ(mkv.items[2].label, row.third_label) << row.format;
  }
}

TEST(TargetPlanner, SubtitleRingAndPreferredStreams) {
  SourceInventory inv{};
  const char* subs[][2] = {{"eng", "UTF-8"}, {"eng", "PGS"}, {"eng", "PGS"}, {"eng", "PGS"}, {"fre", "PGS"}};
  const int forced[] = {0, 0, kForcedTrack, 12, 0};
  for (int i = 0; i < 5; ++i) {
    CopyText(inv.subtitle[i].language_code, subs[i][0]);
    CopyText(inv.subtitle[i].format, subs[i][1]);
    inv.subtitle[i].forced_count = forced[i];
  }
  inv.subtitle_count = 5;
  struct SubRow {
    const char* lang;
    int forced_pref, mkv, stream, mode;  // mode: the treatment the chosen stream gets
  };
  for (const SubRow& r : {SubRow{"eng", 0, 0, 3, 1},
                          {"eng", 1, 0, 2, 2},
                          {"ger/eng", 0, 1, 0, 1},
                          {"fre", 1, 0, 4, 0},
                          {"ita", 0, 0, -1, 0}}) {
    inv.source_is_mkv = r.mkv;
    const int chosen = PreferredSubtitleStream(inv, r.lang, r.forced_pref);
    EXPECT_EQ(chosen, r.stream) << r.lang;
    const SubtitleStream& s = inv.subtitle[chosen < 0 ? 0 : chosen];
    EXPECT_EQ(PreferredSubtitleMode(s, r.lang, false, r.forced_pref), r.mode) << r.lang;
    EXPECT_EQ(PreferredSubtitleMode(s, r.lang, true, r.forced_pref), 0) << r.lang;
  }
  std::vector<RingItem> ring;
  for (const auto& [forced_now, size] : {std::pair{true, 4u}, {true, 4u}, {false, 3u}, {false, 3u}}) {
    AdjustSubtitleRing(ring, forced_now);
    EXPECT_EQ(ring.size(), size);
  }

  const char* audio[][3] = {
      {"fre", "AC-3", "640"}, {"eng", "DTS", "1509"}, {"eng", "AC-3", "448"}, {"ger", "AC-3", "640"}};
  for (int i = 0; i < 4; ++i) {
    CopyText(inv.audio[i].language_code, audio[i][0]);
    CopyText(inv.audio[i].format, audio[i][1]);
    inv.audio[i].bitrate_kbps = LeadingInt(audio[i][2]);
  }
  inv.audio[1].has_core = 1;
  inv.audio_count = 4;
  struct AudioRow {
    const char* lang;
    int target, stream;
  };
  for (const AudioRow& r : {AudioRow{"eng", kMediaBd25, 1},
                            {"eng", kMediaBd5, 1},
                            {"fre/eng", kMediaBd5, 0},
                            {"deu/ger", kMediaBd9, 3},
                            {"spa", kMediaBd9, -1}}) {
    EXPECT_EQ(PreferredAudioStream(inv, r.target, r.lang), r.stream) << r.lang << " " << r.target;
  }
  inv.audio[1].bitrate_kbps = 1000;  // no 1509 left: the HD core test alone picks it
  EXPECT_EQ(PreferredAudioStream(inv, kMediaBd25, "eng"), 1);
  EXPECT_EQ(PreferredAudioStream(inv, kMediaBd5, "eng"), 2);
}

TEST(TargetPlanner, OutputNaming) {
  const std::string old_locale = std::setlocale(LC_CTYPE, nullptr);
  if (!std::setlocale(LC_CTYPE, "C.UTF-8")) GTEST_SKIP() << "no C.UTF-8 locale";
  struct Row {
    const char* path;
    int target, mode, keep_case;
    const char* renamed;
  };
  // clang-format off
  for (const Row& r : {Row{"/out/My été", kMediaBd5, 0, 0, "/out/MY ÉTÉ"},
                       {"/out/MY FILM 3D-HSBS", kMediaBd25, 3, 0, "/out/MY FILM 3D-HTAB"},
                       {"/out/MY FILM 2D+3D.iso", kMediaMkvCrf, 0, 0, "/out/My Film.mkv"},
                       {"/out/Film 3D-HSBS.mkv", kMediaMkvRemux, 2, 0, "/out/Film 3D-HSBS.mkv"},
                       {"/out/Film.mkv", kMediaBd25, 10, 0, "/out/FILM 2D+3D.ISO"},
                       {"/out/x/McFly.MKV", kMediaMkvCrf, 11, 1, "/out/x/McFly.mkv"},
                       {"/out/Film", kMediaBd9, 7, 0, "/out/FILM"},
                       {"NoFolder", kMediaBd5, 1, 0, "NoFolder"}})
    EXPECT_EQ(RenamedOutput(r.path, r.target, r.mode, r.keep_case), r.renamed);
  // clang-format on
  std::setlocale(LC_CTYPE, old_locale.c_str());
}

}  // namespace
}  // namespace dp
