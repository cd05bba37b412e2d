#include "planning/job_create.h"

#include <gtest/gtest.h>

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

// A 1080p Blu-ray title with AC-3 audio and a PGS subtitle: BD-25 takes it unasked.
struct World {
  Settings settings{};
  SourceState source;
  SourceInventory inv{};
  TargetPanel panel;
  AdvancedOptions advanced;
  JobQueue queue;
  test::ScriptedPrompter prompter;
  EnvProbe probe;
  // clang-format off
  World() {
    source.panel.source_text = "/media/disc/BDMV/STREAM/00800.m2ts";
    source.panel.output_path = "/nonexistent/out/Movie  ";
    source.playlist_index = 2;
    CopyText(source.title_table[1].playlist, "00800.mpls");
    inv.video_count = inv.audio_count = inv.subtitle_count = 1;
    VideoStream& v = inv.video[0];
    std::tie(v.pid, v.width, v.height, v.frame_count) = std::tuple(4113, 1920, 1080, 172627.6);
    CopyText(v.frame_rate, "23.976"); CopyText(v.fps_fraction, "24000/1001"); CopyText(v.scan_type, "p"); CopyText(v.format, "AVC");
    AudioStream& a = inv.audio[0];
    std::tie(a.pid, a.bitrate_kbps, a.has_core, a.delay_ms) = std::tuple(4352, 640, 1, -20);
    CopyText(a.format, "AC-3"); CopyText(a.language_code, "eng");
    inv.subtitle[0].pid = 4608; CopyText(inv.subtitle[0].format, "PGS"); CopyText(inv.subtitle[0].language_code, "spa");
    CopyText(inv.chapters, "0:00:00.000\n0:05:00.000\n");
    panel.media = DefaultMediaItems(); panel.media_index = kMediaBd25; panel.bitrate = 20000; panel.preset = "slow";
    panel.audio = {{"AC3 640", 640}, {"untouched HD", 1}};
    panel.subtitle = {{"none", 0}, {"kept", 1}};
    probe.find_library = [](const std::vector<std::string>&) { return std::string("libavisynth.so.3.7.3"); };
  }
  // clang-format on
  AddResult Add() { return CallAddJob(settings, source, inv, panel, advanced, queue, prompter, probe); }
};

TEST(JobCreate, QuestionsAndStops) {
  // Reply i: to a yes/no question "yes" (0) or "no" (1); to a pop-up of its
  // own buttons the button i, or a dismissal (2). One outcome per reply.
  constexpr AddOutcome kAdd = AddOutcome::kAdded, kStop = AddOutcome::kStopped,
                       kScan = AddOutcome::kScanRequested;
  // clang-format off
  struct Row { const char* name; std::function<void(World&)> set; const char* title;
               std::vector<AddOutcome> outcomes; std::vector<int> rates = {}; };
  const auto crf = [](int media, int c) { return [=](World& w) { w.panel.media_index = media; w.panel.bitrate = c; }; };
  const auto sbs = [](World& w) { w.inv.source_is_3d = 1; w.source.selected_mode_3d = kModeHalfSbsLeft; };
  const auto mvc = [](World& w) { w.inv.source_is_3d = 1; w.source.selected_mode_3d = kModeMvcLeft; };
  const auto subs = [](const char* format) { return [=](World& w) { w.inv.video[0].packet_count = 9;
      w.panel.subtitle_index = 1; CopyText(w.inv.subtitle[0].format, format); }; };
  test::TempDir dir;
  const std::string file = test::WriteBytes(dir / "Movie", {1});
  const Row rows[] = {
    {"crf low 3d", [&](World& w) { sbs(w); crf(kMediaAvchdCrf, 15)(w); }, "WARNING", {kAdd, kStop}},
    {"lossless", crf(kMediaAvchdCrf, 0), "WARNING", {kAdd, kAdd, kStop}, {1, 0}},
    {"mkv tip", [&](World& w) { w.inv.source_is_mkv = 1; crf(kMediaMkvCrf, 20)(w); }, "TIP", {kAdd, kAdd, kStop}, {1, 20}},
    {"crf low", crf(kMediaMkvCrf, 10), "WARNING", {kAdd, kStop}},
    {"crf 51", crf(kMediaMkvCrf, 51), "WARNING", {kAdd, kStop}},
    {"crf 52", crf(kMediaMkvCrf, 52), "SORRY", {kStop}},
    {"low bitrate", crf(kMediaBd5, 3400), "WARNING", {kAdd, kStop}},
    {"low bitrate 720p", [&](World& w) { crf(kMediaBd5, 3400)(w); w.advanced.resize_720p = 1; }, "", {kAdd}},
    {"odd width", [](World& w) { w.inv.video[0].width = 1000; }, "WARNING", {kAdd, kStop}},
    {"scan video", [](World& w) { w.source.video_untouched_choice = 1; }, "WARNING", {kScan, kAdd}},
    {"scan audio", [](World& w) { w.panel.audio_index = 1; }, "WARNING", {kScan, kAdd}},
    {"scan forced", [](World& w) { w.settings.ForcedSubtitle = 1; }, "WARNING", {kScan, kAdd}},
    {"scan subs", [](World& w) { w.panel.subtitle_index = 1; }, "WARNING", {kScan, kAdd}},
    {"sbs bd remux", [&](World& w) { sbs(w); w.panel.media_index = kMediaBdRemux; }, "SORRY", {kStop}},
    {"sbs mkv remux", [&](World& w) { sbs(w); crf(kMediaMkvRemux, 1)(w); }, "SORRY", {kStop}},
    {"mvc bd5", [&](World& w) { mvc(w); w.panel.media_index = kMediaBd5; }, "SORRY", {kStop}},
    {"mvc bd25", mvc, "", {kAdd}},
    {"ass to avchd", subs("ASS"), "WARNING", {kStop}},
    {"utf-8 to avchd", subs("UTF-8"), "", {kAdd}},
    {"ass to mkv", [&](World& w) { subs("ASS")(w); crf(kMediaMkvCrf, 20)(w); }, "", {kAdd}},
    {"full queue", [](World& w) { w.queue.SetStatus(99, kStatusFinished); }, "JOB CAN NOT BE ADDED", {kStop}},
    {"no output", [](World& w) { w.source.panel.output_path = "  "; }, "ERROR", {kStop}},
    {"no output name", [](World& w) { w.source.panel.output_path = "/out/"; }, "ERROR", {kStop}},
    {"no bitrate", [](World& w) { w.panel.has_value = false; }, "ERROR", {kStop}},
    {"file for a folder", [&](World& w) { w.source.panel.output_path = file; }, "ERROR", {kStop}},
    {"file for an mkv", [&](World& w) { w.source.panel.output_path = file; crf(kMediaMkvCrf, 20)(w); }, "", {kAdd}},
    {"quote in path", [](World& w) { w.source.panel.output_path = "/out/a\"b"; }, "ERROR", {kStop}},
    {"no audio, no subtitles", [](World& w) { w.inv.audio_count = w.inv.subtitle_count = 0; }, "", {kAdd}},
  };
  // clang-format on
  for (const Row& row : rows) {
    for (std::size_t i = 0; i < row.outcomes.size(); ++i) {
      auto w = std::make_unique<World>();
      row.set(*w);
      w->prompter.answers = {i == 0 ? Answer::kYes : Answer::kNo};
      w->prompter.choices = {i < 2 ? static_cast<int>(i) : -1};
      const AddResult r = w->Add();
      EXPECT_EQ(r.outcome, row.outcomes[i]) << row.name << " " << i;
      const std::string last = w->prompter.asked.empty() ? "" : w->prompter.asked.back();
      EXPECT_EQ(last.substr(0, last.find('|')), row.title) << row.name << " " << i;
      const bool added = r.outcome == AddOutcome::kAdded;
      EXPECT_EQ(w->queue.Status(std::max(r.slot, 0)), added ? kStatusPending : kStatusEmpty) << row.name;
      if (i >= row.rates.size()) continue;
      EXPECT_EQ(std::tuple(r.record.video_rate, r.record.video_untouched),
                std::tuple(row.rates[i], row.rates[i] == 1));
    }
  }
}

TEST(JobCreate, StoredRecord) {
  auto w = std::make_unique<World>();
  CopyText(w->inv.video[0].scan_type, "i");
  w->inv.video[0].packet_count = 9;  // scanned: no question
  w->panel.subtitle_index = w->advanced.resize_720p = 1;
  const AddResult r = w->Add();
  ASSERT_EQ(r.outcome, AddOutcome::kAdded);
  const JobRecord& j = w->queue.Get(r.slot);
  std::string texts;
  // clang-format off
  for (const std::string_view f : {FieldText(j.output_name), FieldText(j.source_root), FieldText(j.output_path),
       FieldText(j.fps_fraction), FieldText(j.fps_text), FieldText(j.x264_interlace), FieldText(j.audio_codec_id),
       FieldText(j.audio_language), FieldText(j.subtitle_codec_id), FieldText(j.subtitle_language),
       FieldText(j.chapters), FieldText(j.x264_preset), FieldText(j.x264_tune), FieldText(j.target_label),
       FieldText(j.audio_bitrate_text), FieldText(j.video_filter), FieldText(j.playlist_name), FieldText(j.video_codec)})
    texts += std::string(f) + "|";
  EXPECT_EQ(texts, "Movie|/media/disc|/nonexistent/out/Movie|24000/1001|23.976| --tff|A_AC3|eng|S_HDMV/PGS|spa|"
                   "0:00:00.000;0:05:00.000|slow|film|BD-25|640| --vf \"resize:1280,720\"|00800.mpls|AVC|");
  EXPECT_EQ(std::tuple(j.status, j.video_rate, j.target_media, j.frame_count, j.output_width, j.output_height),
            std::tuple(kStatusPending, 20000, kMediaBd25, 172628, 1280, 720));
  EXPECT_EQ(std::tuple(j.video_eac3to_track, j.audio_eac3to_track, j.subtitle_eac3to_track), std::tuple(2, 3, 4));
  EXPECT_EQ(std::tuple(j.video_track_id, j.audio_track_id, j.audio_delay_ms, j.subtitle_track_id, j.playlist_index),
            std::tuple(4113, 4352, -20, 4608, 2));
  EXPECT_EQ(std::tuple(j.interlaced_avc, j.audio_core_only, j.target_audio, j.subtitle_mode, j.resize_720p),
            std::tuple(true, 1, 640, 1, kResize720WithPgs));
  // clang-format on
  EXPECT_TRUE(IStartsWith(w->prompter.asked.back(), "WARNING|This conversion requires Java"));  // no PATH
}

TEST(JobCreate, RemuxRightEyeAndSlots) {
  auto w = std::make_unique<World>();
  w->source.panel.output_path = "/nonexistent/out/Movie.MKV";
  w->panel.media_index = kMediaMkvRemux;
  w->panel.bitrate = w->source.video_untouched_choice = 1;
  AddResult r = w->Add();
  EXPECT_EQ(std::tuple(r.record.target_media, r.record.video_rate, r.record.video_untouched),
            std::tuple(7, 1, 1));
  EXPECT_EQ(std::string(FieldText(r.record.output_name)).append("|").append(FieldText(r.record.target_label)),
            "Movie|MKV Remux");
  w = std::make_unique<World>();
  w->inv.source_is_3d = 1;
  CopyText(w->inv.video[0].eye, "right");
  w->source.selected_mode_3d = kModeHalfSbsLeft;
  w->panel.bitrate = 3000;
  w->prompter.answers = {Answer::kNo, Answer::kYes};
  EXPECT_EQ(w->Add().outcome, AddOutcome::kStopped);
  r = w->Add();
  EXPECT_EQ(std::tuple(r.outcome, r.record.mode_3d, r.slot, std::string(FieldText(r.record.target_label))),
            std::tuple(AddOutcome::kAdded, kModeHalfSbsRight, 0, "BD-25 3DSBS"));
  JobSlots slots{};
  slots[3].status = slots[7].status = kStatusFinished;
  EXPECT_EQ(AddJob(slots), 8);  // the holes before slot 7 are not reused
}

TEST(JobCreate, Geometry) {
  // clang-format off
  struct Row { bool mkv; int w, h, crop; bool resize; const char* filter; int out_w, out_h; };
  const Row rows[] = {
    {true, 1920, 1080, 0, true, " --vf \"resize:1280,,,fittobox=width\"", 1280, 720},
    {true, 1920, 1080, 816, true, " --vf \"crop:0,132,0,132/resize:1280,,,fittobox=width\"", 1280, 544},
    {true, 1920, 1080, 816, false, " --vf \"crop:0,132,0,132\"", 1920, 816},
    {true, 1440, 1080, 0, true, "", 1440, 1080},
    {false, 720, 576, 0, false, "", 720, 576},
    {false, 1280, 544, 0, false, " --vf \"pad:,,,,,720\"", 1280, 720},
    {false, 1920, 800, 0, false, " --vf \"pad:,,,,,1080\"", 1920, 1080},
    {false, 1920, 800, 0, true, " --vf \"pad:,,,,,1080/resize:1280,720\"", 1280, 720},
    {false, 1920, 1080, 816, true, " --vf \"resize:1280,720\"", 1280, 720},
    {false, 1440, 1088, 0, false, "", 1440, 1080},
    {false, 1000, 560, 0, false, "", 1000, 560},
  };
  // clang-format on
  for (const Row& r : rows) {
    const JobGeometry g = PlanGeometry(r.mkv, r.w, r.h, r.crop, r.resize);
    EXPECT_EQ(g.filter, r.filter) << r.w << "x" << r.h;
    EXPECT_EQ(std::tuple(g.width, g.height, g.odd_width), std::tuple(r.out_w, r.out_h, r.w == 1000)) << r.w;
  }
}

}  // namespace
}  // namespace dp
