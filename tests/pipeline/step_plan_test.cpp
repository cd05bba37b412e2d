#include "pipeline/step_plan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "util/text.h"

namespace dp {
namespace {

// A 2D AVCHD BD5 job with the audio kept, normal PGS subtitles, nothing
// joined or resized: every tool reads the source directly.
JobRecord DirectJob() {
  JobRecord job = EmptyJob();
  job.status = kStatusPending;
  job.target_media = kMediaBd5;
  job.subtitle_mode = kSubtitleKept;
  CopyText(job.output_name, "Movie");
  CopyText(job.video_codec, "AVC");
  CopyText(job.audio_codec_id, "A_AC3");
  CopyText(job.subtitle_codec_id, "S_HDMV/PGS");
  return job;
}

// What the plan prepares besides the tools, as words.
std::string Preparations(const StepPlan& p) {
  const char* forced[] = {"", " export", " flag"};
  const std::string words =
      std::string(p.demux ? " demux" : "") + forced[static_cast<int>(p.forced_captions)] +
      (p.subtitle_rescale ? " rescale" : "") + (p.chapter_keyframes ? " keyframes" : "") +
      (p.frame_count_refresh ? " refresh" : "") + (p.avisynth_script ? " avs" : "");
  return words.empty() ? words : words.substr(1);
}

// One row per condition of the plan: demux, forced captions, rescale,
// chapter keyframes, frame count refresh and AviSynth script.
TEST(StepPlan, DemuxAndPreparations) {
  // clang-format off
  const struct {
    const char* what;
    void (*edit)(JobRecord&);
    const char* plan;
  } cases[] = {
      {"direct", [](JobRecord&) {}, ""},
      {"join", [](JobRecord& j) { j.join_playlist = 1; }, "demux refresh"},
      {"join, frames limited", [](JobRecord& j) { j.join_playlist = 1, j.limit_frames = true; }, "demux"},
      {"flag all forced", [](JobRecord& j) { j.subtitle_mode = kSubtitleKeptForced; }, "demux flag"},
      {"forced only", [](JobRecord& j) { j.subtitle_mode = kSubtitleForcedOnly; }, "demux export"},
      {"2D+3D flags forced", [](JobRecord& j) { j.subtitle_mode = kSubtitleKeptForced, j.mode_3d = kModeMvcRight; }, "demux flag refresh"},
      {"half pictures burn captions in", [](JobRecord& j) { j.subtitle_mode = kSubtitleKeptForced, j.mode_3d = kModeHalfSbsRight; }, "demux refresh avs"},
      {"MKV output", [](JobRecord& j) { j.target_media = kMediaMkvCrf; }, "demux"},
      {"MKV source", [](JobRecord& j) { j.source_is_mkv = true; }, "demux"},
      {"PGS rescale", [](JobRecord& j) { j.resize_720p = kResize720WithPgs; }, "demux rescale"},
      {"PGS rescale without subtitles", [](JobRecord& j) { j.resize_720p = kResize720WithPgs, j.subtitle_mode = kSubtitleNone; }, "demux"},
      {"720p resize only", [](JobRecord& j) { j.resize_720p = kResize720; }, ""},
      {"MKV cropped", [](JobRecord& j) { j.target_media = kMediaMkvCrf, j.crop_height = 800; }, "demux rescale"},
      {"MKV cropped, text subtitles",
       [](JobRecord& j) { j.target_media = kMediaMkvCrf, j.crop_height = 800, CopyText(j.subtitle_codec_id, "S_TEXT/UTF8"); }, "demux"},
      {"MKV x265", [](JobRecord& j) { j.target_media = kMediaMkvCrf, j.use_x265 = true; }, "demux refresh"},
      {"MKV x265 resized", [](JobRecord& j) { j.target_media = kMediaMkvCrf, j.use_x265 = true, j.resize_720p = kResize720; }, "demux rescale refresh avs"},
      {"interlaced AVC encoded", [](JobRecord& j) { j.interlaced_avc = true; }, "demux refresh"},
      {"interlaced AVC kept", [](JobRecord& j) { j.interlaced_avc = true, j.video_untouched = kVideoUntouched; }, ""},
      // The spare byte is read as interlaced AVC everywhere.
      {"spare byte set", [](JobRecord& j) { j.reserved_7470 = 1; }, "demux refresh"},
      {"chapter list", [](JobRecord& j) { CopyText(j.chapters, "0:00:00.000"); }, "keyframes"},
      {"ten characters are too few", [](JobRecord& j) { CopyText(j.chapters, "00:00:00.0"); }, ""},
  };
  // clang-format on
  for (const auto& c : cases) {
    JobRecord job = DirectJob();
    c.edit(job);
    EXPECT_EQ(Preparations(PlanSteps(job)), c.plan) << c.what;
    EXPECT_EQ(DemuxRuns(job), std::string_view(c.plan).starts_with("demux")) << c.what;
  }
}

// The demux label names what the arguments extract; 3D labels name both eyes
// and follow the job's subtitle choice, not the argument.
TEST(CalculaStepEac3to, Labels) {
  const std::string V = " 2: \"/t/m.h264\"", A = " 3: \"/t/m.ac3\"", S = " 4: \"/t/m.sup\"";
  const auto forced_ac3 = [](JobRecord& j) { j.subtitle_mode = kSubtitleForcedOnly, j.target_audio = 640; };
  const auto join_flac = [](JobRecord& j) {  // AVCHD CRF: three steps
    j.subtitle_mode = kSubtitleKeptForced, j.target_audio = kAudioFlac, j.join_playlist = 4;
    j.target_media = kMediaAvchdCrf;
  };
  const auto join_remux = [](JobRecord& j) { j.join_playlist = 4, j.video_untouched = kVideoUntouched; };
  const auto mvc = [](JobRecord& j) { j.mode_3d = kModeMvcLeft, j.subtitle_mode = kSubtitleNone; };
  const auto mvc_subs = [](JobRecord& j) { j.mode_3d = kModeMvcLeft; };
  // clang-format off
  const struct {
    void (*edit)(JobRecord&);
    std::string video, audio, subtitle;
    const char* label;
  } cases[] = {
      {[](JobRecord&) {}, "", "", "", ""},
      {[](JobRecord&) {}, V, "", S, "[STEP 1/4 - EAC3TO] Extract video and subtitles..."},
      {forced_ac3, "", "", S, "[STEP 1/4 - EAC3TO] Extract forced captions..."},
      {forced_ac3, "", A, S, "[STEP 1/4 - EAC3TO] Recode audio to AC3 640 and extract forced captions..."},
      {forced_ac3, V, A, S, "[STEP 1/4 - EAC3TO] Extract video, recode audio to AC3 640 and extract forced captions..."},
      {join_flac, V, "", "", "[STEP 1/3 - EAC3TO] Join m2ts parts..."},
      {join_flac, V, A, S, "[STEP 1/3 - EAC3TO] Join m2ts parts, recode audio to FLAC and extract forced captions..."},
      {join_remux, V, A, S, "[STEP 1/2 - EAC3TO] Join m2ts parts, extract audio and subtitles..."},
      {mvc, V, "", "", "[STEP 1/3 - EAC3TO] Extract left/right eye video..."},
      {mvc_subs, "", A, " 5: \"s\"", "[STEP 1/3 - EAC3TO] Extract left/right eye video, audio and subs..."},
  };
  // clang-format on
  for (const auto& c : cases) {
    JobRecord job = DirectJob();  // BD5: four steps
    c.edit(job);
    EXPECT_EQ(CalculaStepEac3to(job, c.video, c.audio, c.subtitle), c.label);
  }
}

}  // namespace
}  // namespace dp
