#include "planning/job_create.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <memory>

#include "app/settings.h"
#include "planning/job_geometry.h"
#include "support/files.h"
#include "support/run_doubles.h"
#include "support/temp_dir.h"
#include "util/text.h"

namespace dp {
namespace {

using test::ScriptedPrompter;

// A 2-hour 1080p Blu-ray title with AC-3 audio and a PGS subtitle, ready for
// BD-25 at 20000 kbps without a question.
struct World {
  Settings settings{};
  SourceState source;
  SourceInventory inv{};
  TargetPanel panel;
  AdvancedOptions advanced;
  JobQueue queue;
  ScriptedPrompter prompter;
  EnvProbe probe;
  World() {
    source.panel.source_text = "/media/disc/BDMV/STREAM/00800.m2ts";
    source.panel.output_path = "/nonexistent/out/Movie  ";
    source.playlist_index = 2;
    CopyText(source.title_table[1].playlist, "00800.mpls");
    inv.video_count = inv.audio_count = inv.subtitle_count = 1;
    VideoStream& v = inv.video[0];
    std::tie(v.pid, v.width, v.height, v.frame_count) = std::tuple(4113, 1920, 1080, 172627.6);
    CopyText(inv.video[0].frame_rate, "23.976");
    CopyText(inv.video[0].fps_fraction, "24000/1001");
    CopyText(inv.video[0].scan_type, "p");
    CopyText(inv.video[0].format, "AVC");
    AudioStream& a = inv.audio[0];
    std::tie(a.pid, a.bitrate_kbps, a.has_core, a.delay_ms) = std::tuple(4352, 640, 1, -20);
    CopyText(inv.audio[0].format, "AC-3");
    CopyText(inv.audio[0].language_code, "eng");
    inv.subtitle[0].pid = 4608;
    CopyText(inv.subtitle[0].format, "PGS");
    CopyText(inv.subtitle[0].language_code, "spa");
    CopyText(inv.chapters, "0:00:00.000\n0:05:00.000\n");
    panel.media = DefaultMediaItems();
    panel.media_index = kMediaBd25;
    panel.bitrate = 20000;
    panel.audio = {{"AC3 640", 640}, {"untouched HD", 1}};
    panel.subtitle = {{"none", 0}, {"kept", 1}};
    panel.preset = "slow";
    probe.find_library = [](const std::vector<std::string>&) { return std::string("libavisynth.so.3.7.3"); };
  }
  AddResult Add() { return CallAddJob(settings, source, inv, panel, advanced, queue, prompter, probe); }
};

constexpr int kAny = INT_MIN;

TEST(JobCreate, QuestionsAndStops) {
  // clang-format off
  struct Row { const char* name; std::function<void(World&)> set; std::vector<Answer> answers; std::vector<int> choices;
               AddOutcome outcome; const char* last_title; int rate = kAny; int untouched = kAny; };
  const auto crf = [](int media, int c) { return [=](World& w) { w.panel.media_index = media; w.panel.bitrate = c; }; };
  const auto sbs = [](World& w) { w.inv.source_is_3d = 1; w.source.selected_mode_3d = kModeHalfSbsLeft; };
  const auto mkv_source = [](World& w) { w.inv.source_is_mkv = 1; w.panel.media_index = kMediaMkvCrf; w.panel.bitrate = 20; };
  const auto scanned = [](World& w) { w.inv.video[0].packet_count = 9; };
  test::TempDir dir;
  const std::string file = test::WriteBytes(dir / "Movie", {1});
  const Row rows[] = {
    {"crf low 3d yes", [&](World& w) { sbs(w); crf(kMediaAvchdCrf, 15)(w); }, {Answer::kYes}, {}, AddOutcome::kAdded, "WARNING"},
    {"crf low 3d no", [&](World& w) { sbs(w); crf(kMediaAvchdCrf, 15)(w); }, {Answer::kNo}, {}, AddOutcome::kStopped, "WARNING"},
    {"lossless remux", crf(kMediaAvchdCrf, 0), {}, {0}, AddOutcome::kAdded, "WARNING", 1, 1},
    {"lossless kept", crf(kMediaAvchdCrf, 0), {}, {1}, AddOutcome::kAdded, "WARNING", 0, 0},
    {"lossless dismissed", crf(kMediaAvchdCrf, 0), {}, {-1}, AddOutcome::kStopped, "WARNING"},
    {"mkv remux only", mkv_source, {}, {0}, AddOutcome::kAdded, "TIP", 1, 1},
    {"mkv full recode", mkv_source, {}, {1}, AddOutcome::kAdded, "TIP", 20, 0},
    {"mkv tip dismissed", mkv_source, {}, {-1}, AddOutcome::kStopped, "TIP"},
    {"crf low yes", crf(kMediaMkvCrf, 10), {Answer::kYes}, {}, AddOutcome::kAdded, "WARNING", 10},
    {"crf low no", crf(kMediaMkvCrf, 10), {Answer::kNo}, {}, AddOutcome::kStopped, "WARNING"},
    {"crf 51 yes", crf(kMediaMkvCrf, 51), {Answer::kYes}, {}, AddOutcome::kAdded, "WARNING", 51},
    {"crf 51 no", crf(kMediaMkvCrf, 51), {Answer::kNo}, {}, AddOutcome::kStopped, "WARNING"},
    {"crf 52", crf(kMediaMkvCrf, 52), {Answer::kYes}, {}, AddOutcome::kStopped, "SORRY"},
    {"low bitrate yes", crf(kMediaBd5, 3400), {Answer::kYes}, {}, AddOutcome::kAdded, "WARNING", 3400},
    {"low bitrate no", crf(kMediaBd5, 3400), {Answer::kNo}, {}, AddOutcome::kStopped, "WARNING"},
    {"low bitrate 720p", [&](World& w) { crf(kMediaBd5, 3400)(w); w.advanced.resize_720p = 1; w.panel.subtitle_index = 0; }, {}, {}, AddOutcome::kAdded, ""},
    {"odd width yes", [](World& w) { w.inv.video[0].width = 1000; }, {Answer::kYes}, {}, AddOutcome::kAdded, "WARNING"},
    {"odd width no", [](World& w) { w.inv.video[0].width = 1000; }, {Answer::kNo}, {}, AddOutcome::kStopped, "WARNING"},
    {"scan video yes", [](World& w) { w.source.video_untouched_choice = 1; }, {Answer::kYes}, {}, AddOutcome::kScanRequested, "WARNING"},
    {"scan video no", [](World& w) { w.source.video_untouched_choice = 1; }, {Answer::kNo}, {}, AddOutcome::kAdded, "WARNING", kAny, 1},
    {"scan audio yes", [](World& w) { w.panel.audio_index = 1; }, {Answer::kYes}, {}, AddOutcome::kScanRequested, "WARNING"},
    {"scan audio no", [](World& w) { w.panel.audio_index = 1; }, {Answer::kNo}, {}, AddOutcome::kAdded, "WARNING"},
    {"scan forced yes", [](World& w) { w.settings.ForcedSubtitle = 1; }, {Answer::kYes}, {}, AddOutcome::kScanRequested, "WARNING"},
    {"scan forced no", [](World& w) { w.settings.ForcedSubtitle = 1; }, {Answer::kNo}, {}, AddOutcome::kAdded, "WARNING"},
    {"scan subs yes", [](World& w) { w.panel.subtitle_index = 1; }, {Answer::kYes}, {}, AddOutcome::kScanRequested, "WARNING"},
    {"scan subs no", [](World& w) { w.panel.subtitle_index = 1; }, {Answer::kNo}, {}, AddOutcome::kAdded, "WARNING"},
    {"sbs bd remux", [&](World& w) { sbs(w); w.panel.media_index = kMediaBdRemux; }, {}, {}, AddOutcome::kStopped, "SORRY"},
    {"sbs mkv remux", [&](World& w) { sbs(w); crf(kMediaMkvRemux, 1)(w); }, {}, {}, AddOutcome::kStopped, "SORRY"},
    {"mvc bd5", [](World& w) { w.inv.source_is_3d = 1; w.source.selected_mode_3d = kModeMvcLeft; w.panel.media_index = kMediaBd5; }, {}, {}, AddOutcome::kStopped, "SORRY"},
    {"mvc bd25", [](World& w) { w.inv.source_is_3d = 1; w.source.selected_mode_3d = kModeMvcLeft; }, {}, {}, AddOutcome::kAdded, ""},
    {"ass to avchd", [&](World& w) { scanned(w); w.panel.subtitle_index = 1; CopyText(w.inv.subtitle[0].format, "ASS"); }, {}, {}, AddOutcome::kStopped, "WARNING"},
    {"utf-8 to avchd", [&](World& w) { scanned(w); w.panel.subtitle_index = 1; CopyText(w.inv.subtitle[0].format, "UTF-8"); }, {}, {}, AddOutcome::kAdded, ""},
    {"ass to mkv", [&](World& w) { crf(kMediaMkvCrf, 20)(w); w.panel.subtitle_index = 1; CopyText(w.inv.subtitle[0].format, "ASS"); }, {}, {}, AddOutcome::kAdded, ""},
    {"full queue", [](World& w) { w.queue.SetStatus(99, kStatusFinished); }, {}, {}, AddOutcome::kStopped, "JOB CAN NOT BE ADDED"},
    {"no output", [](World& w) { w.source.panel.output_path = "  "; }, {}, {}, AddOutcome::kStopped, "ERROR"},
    {"no bitrate", [](World& w) { w.panel.has_value = false; }, {}, {}, AddOutcome::kStopped, "ERROR"},
    {"file for a folder", [&](World& w) { w.source.panel.output_path = file; }, {}, {}, AddOutcome::kStopped, "ERROR"},
    {"file for an mkv", [&](World& w) { w.source.panel.output_path = file; crf(kMediaMkvCrf, 20)(w); }, {}, {}, AddOutcome::kAdded, ""},
    {"quote in path", [](World& w) { w.source.panel.output_path = "/out/a\"b"; }, {}, {}, AddOutcome::kStopped, "ERROR"},
    {"no audio, no subtitles", [](World& w) { w.inv.audio_count = w.inv.subtitle_count = 0; }, {}, {}, AddOutcome::kAdded, ""},
  };
  // clang-format on
  for (const Row& row : rows) {
    auto w = std::make_unique<World>();
    row.set(*w);
    w->prompter.answers.assign(row.answers.begin(), row.answers.end());
    w->prompter.choices.assign(row.choices.begin(), row.choices.end());
    const AddResult r = w->Add();
    EXPECT_EQ(r.outcome, row.outcome) << row.name;
    const std::string last = w->prompter.asked.empty() ? "" : w->prompter.asked.back();
    EXPECT_EQ(last.substr(0, last.find('|')), row.last_title) << row.name;
    const bool added = row.outcome == AddOutcome::kAdded;
    EXPECT_EQ(w->queue.Status(r.slot < 0 ? 0 : r.slot), added ? kStatusPending : kStatusEmpty) << row.name;
    EXPECT_TRUE(row.rate == kAny || r.record.video_rate == row.rate)
        << row.name << " " << r.record.video_rate;
    EXPECT_TRUE(row.untouched == kAny || r.record.video_untouched == row.untouched) << row.name;
  }
}

TEST(JobCreate, StoredRecord) {
  auto w = std::make_unique<World>();
  CopyText(w->inv.video[0].scan_type, "i");
  w->inv.video[0].packet_count = 9;
  w->panel.subtitle_index = 1;
  w->advanced.resize_720p = 1;
  const AddResult r = w->Add();
  ASSERT_EQ(r.outcome, AddOutcome::kAdded);
  const JobRecord& j = w->queue.Get(r.slot);
  EXPECT_EQ(
      std::tuple(j.status, j.video_rate, j.target_media, j.frame_count, j.output_width, j.output_height),
      std::tuple(kStatusPending, 20000, kMediaBd25, 172628, 1280, 720));
  EXPECT_EQ(std::tuple(j.video_eac3to_track, j.audio_eac3to_track, j.subtitle_eac3to_track),
            std::tuple(2, 3, 4));
  EXPECT_EQ(
      std::tuple(j.video_track_id, j.audio_track_id, j.audio_delay_ms, j.subtitle_track_id, j.playlist_index),
      std::tuple(4113, 4352, -20, 4608, 2));
  EXPECT_EQ(std::tuple(j.interlaced_avc, j.audio_core_only, j.target_audio, j.subtitle_mode, j.resize_720p),
            std::tuple(true, 1, 640, 1, kResize720WithPgs));
  const std::vector<std::string_view> texts{
      FieldText(j.output_name),       FieldText(j.source_root),    FieldText(j.output_path),
      FieldText(j.fps_fraction),      FieldText(j.fps_text),       FieldText(j.x264_interlace),
      FieldText(j.audio_codec_id),    FieldText(j.audio_language), FieldText(j.subtitle_codec_id),
      FieldText(j.subtitle_language), FieldText(j.chapters),       FieldText(j.x264_preset),
      FieldText(j.x264_tune),         FieldText(j.target_label),   FieldText(j.audio_bitrate_text),
      FieldText(j.video_filter),      FieldText(j.playlist_name),  FieldText(j.video_codec)};
  EXPECT_EQ(texts, (std::vector<std::string_view>{
                       "Movie", "/media/disc", "/nonexistent/out/Movie", "24000/1001", "23.976", " --tff",
                       "A_AC3", "eng", "S_HDMV/PGS", "spa", "0:00:00.000;0:05:00.000", "slow", "film",
                       "BD-25", "640", " --vf \"resize:1280,720\"", "00800.mpls", "AVC"}));
  EXPECT_TRUE(
      IStartsWith(w->prompter.asked.back(), "WARNING|This conversion requires Java"));  // none on PATH
}

TEST(JobCreate, RemuxRightEyeAndSlots) {
  auto w = std::make_unique<World>();
  w->source.panel.output_path = "/nonexistent/out/Movie.MKV";
  w->panel.media_index = kMediaMkvRemux;
  w->panel.bitrate = w->source.video_untouched_choice = 1;
  AddResult r = w->Add();
  EXPECT_EQ(std::tuple(r.record.target_media, r.record.video_rate, r.record.video_untouched),
            std::tuple(7, 1, 1));
  EXPECT_EQ(FieldText(r.record.output_name), "Movie");
  EXPECT_EQ(FieldText(r.record.target_label), "MKV Remux");

  w = std::make_unique<World>();
  w->inv.source_is_3d = 1;
  CopyText(w->inv.video[0].eye, "right");
  w->source.selected_mode_3d = kModeHalfSbsLeft;
  w->panel.bitrate = 3000;
  w->prompter.answers = {Answer::kNo, Answer::kYes};
  EXPECT_EQ(w->Add().outcome, AddOutcome::kStopped);
  r = w->Add();
  EXPECT_EQ(std::tuple(r.outcome, r.record.mode_3d, r.slot),
            std::tuple(AddOutcome::kAdded, kModeHalfSbsRight, 0));
  EXPECT_EQ(FieldText(r.record.target_label), "BD-25 3DSBS");

  JobSlots slots{};
  slots[3].status = slots[7].status = kStatusFinished;
  EXPECT_EQ(AddJob(slots), 8);  // the holes before slot 7 are not reused
}

TEST(JobCreate, Geometry) {
  // clang-format off
  struct Row { bool mkv; int w, h, crop; bool resize; const char* filter; int out_w, out_h; bool odd; };
  const Row rows[] = {
    {true, 1920, 1080, 0, true, " --vf \"resize:1280,,,fittobox=width\"", 1280, 720, false},
    {true, 1920, 1080, 816, true, " --vf \"crop:0,132,0,132/resize:1280,,,fittobox=width\"", 1280, 544, false},
    {true, 1920, 1080, 816, false, " --vf \"crop:0,132,0,132\"", 1920, 816, false},
    {true, 1440, 1080, 0, true, "", 1440, 1080, false},
    {false, 720, 576, 0, false, "", 720, 576, false},
    {false, 1280, 544, 0, false, " --vf \"pad:,,,,,720\"", 1280, 720, false},
    {false, 1920, 800, 0, false, " --vf \"pad:,,,,,1080\"", 1920, 1080, false},
    {false, 1920, 800, 0, true, " --vf \"pad:,,,,,1080/resize:1280,720\"", 1280, 720, false},
    {false, 1920, 1080, 816, true, " --vf \"resize:1280,720\"", 1280, 720, false},
    {false, 1440, 1088, 0, false, "", 1440, 1080, false},
    {false, 1000, 560, 0, false, "", 1000, 560, true},
  };
  // clang-format on
  for (const Row& r : rows) {
    const JobGeometry g = PlanGeometry(r.mkv, r.w, r.h, r.crop, r.resize);
    EXPECT_EQ(g.filter, r.filter) << r.w << "x" << r.h;
    EXPECT_EQ(std::tuple(g.width, g.height, g.odd_width), std::tuple(r.out_w, r.out_h, r.odd))
        << r.w << "x" << r.h;
  }
}

}  // namespace
}  // namespace dp
