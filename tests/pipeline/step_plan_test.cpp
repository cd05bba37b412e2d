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
  job.subtitle_mode = 1;
  CopyText(job.output_name, "Movie");
  CopyText(job.video_codec, "AVC");
  CopyText(job.audio_codec_id, "A_AC3");
  CopyText(job.subtitle_codec_id, "S_HDMV/PGS");
  return job;
}

// The plan's kinds and step numbers are checked row by row through the
// worker (worker_plan_test): labels, statuses and the tools run.

TEST(StepPlan, DemuxRunsWhenAToolCannotReadTheSource) {
  EXPECT_FALSE(DemuxRuns(DirectJob()));

  struct Case {
    const char* what;
    void (*edit)(JobRecord&);
    bool runs;
  };
  const Case cases[] = {
      {"join", [](JobRecord& j) { j.join_playlist = 1; }, true},
      {"audio recode", [](JobRecord& j) { j.target_audio = 2; }, true},
      {"flag all forced", [](JobRecord& j) { j.subtitle_mode = 2; }, true},
      {"no subtitles", [](JobRecord& j) { j.subtitle_mode = 0; }, false},
      {"MKV output", [](JobRecord& j) { j.target_media = kMediaMkvCrf; }, true},
      {"MKV source", [](JobRecord& j) { j.source_is_mkv = true; }, true},
      {"PGS rescale", [](JobRecord& j) { j.resize_720p = 2; }, true},
      {"720p resize only", [](JobRecord& j) { j.resize_720p = 1; }, false},
      {"3D", [](JobRecord& j) { j.mode_3d = 3; }, true},
      {"interlaced AVC encoded", [](JobRecord& j) { j.interlaced_avc = true; }, true},
      {"interlaced AVC kept", [](JobRecord& j) { j.interlaced_avc = true, j.video_untouched = 1; }, false},
      {"spare byte set", [](JobRecord& j) { j.reserved_7470 = 1; }, true},
  };
  for (const Case& c : cases) {
    JobRecord job = DirectJob();
    c.edit(job);
    EXPECT_EQ(DemuxRuns(job), c.runs) << c.what;
    EXPECT_EQ(PlanSteps(job).demux, c.runs) << c.what;
  }

  // The spare byte is read as interlaced AVC everywhere: the video then goes
  // through a demuxed file whose frame count is read back.
  JobRecord spare = DirectJob();
  spare.reserved_7470 = 1;
  EXPECT_TRUE(InterlacedAvc(spare));
  EXPECT_TRUE(PlanSteps(spare).frame_count_refresh);
}

TEST(StepPlan, SubTasksAndPreparations) {
  JobRecord job = DirectJob();
  job.subtitle_mode = 3;
  EXPECT_EQ(PlanSteps(job).forced_captions, ForcedCaptionTask::kExportForced);
  job.subtitle_mode = 2;
  job.mode_3d = 11;  // 2D+3D keeps a subtitle track
  EXPECT_EQ(PlanSteps(job).forced_captions, ForcedCaptionTask::kFlagAllForced);
  job.mode_3d = 2;  // half pictures burn the captions in
  EXPECT_EQ(PlanSteps(job).forced_captions, ForcedCaptionTask::kNone);

  // Rescale: a resized or cropped PGS track into MKV, or the PGS rescale
  // option whatever the target; never without a subtitle.
  JobRecord mkv = DirectJob();
  mkv.target_media = kMediaMkvCrf;
  mkv.crop_height = 800;
  EXPECT_TRUE(PlanSteps(mkv).subtitle_rescale);
  CopyText(mkv.subtitle_codec_id, "S_TEXT/UTF8");
  EXPECT_FALSE(PlanSteps(mkv).subtitle_rescale);
  JobRecord avchd = DirectJob();
  avchd.resize_720p = 1;
  EXPECT_FALSE(PlanSteps(avchd).subtitle_rescale);
  avchd.resize_720p = 2;
  EXPECT_TRUE(PlanSteps(avchd).subtitle_rescale);
  avchd.subtitle_mode = 0;
  EXPECT_FALSE(PlanSteps(avchd).subtitle_rescale);

  JobRecord enc = DirectJob();
  CopyText(enc.chapters, "0:00:00.000");  // 11 characters; 10 are too few
  EXPECT_TRUE(PlanSteps(enc).chapter_keyframes);
  CopyText(enc.chapters, "00:00:00.0");
  EXPECT_FALSE(PlanSteps(enc).chapter_keyframes);

  // The frame count is read back only when the video itself was demuxed.
  enc.target_audio = 640;
  EXPECT_FALSE(PlanSteps(enc).frame_count_refresh);
  enc.join_playlist = 2;
  EXPECT_TRUE(PlanSteps(enc).frame_count_refresh);
  enc.limit_frames = true;
  EXPECT_FALSE(PlanSteps(enc).frame_count_refresh);

  // AviSynth: half pictures, or 2D x265 with crop or resize.
  JobRecord avs = DirectJob();
  avs.target_media = kMediaMkvCrf;
  avs.use_x265 = true;
  EXPECT_FALSE(PlanSteps(avs).avisynth_script);
  avs.resize_720p = 1;
  EXPECT_TRUE(PlanSteps(avs).avisynth_script);
  avs.use_x265 = false;
  avs.mode_3d = 3;
  EXPECT_TRUE(PlanSteps(avs).avisynth_script);
  avs.mode_3d = 10;
  EXPECT_FALSE(PlanSteps(avs).avisynth_script);
}

// The demux label names what the arguments given extract; 3D labels name
// both eyes and follow the job's subtitle choice, not the argument.
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
  const struct {
    void (*edit)(JobRecord&);
    std::string video, audio, subtitle;
    const char* label;
  } cases[] = {
      {[](JobRecord&) {}, "", "", "", ""},
      {[](JobRecord&) {}, "", A, "", "[STEP 1/4 - EAC3TO] Extract audio..."},
      {[](JobRecord&) {}, "", A, S, "[STEP 1/4 - EAC3TO] Extract audio and subtitles..."},
      {[](JobRecord&) {}, V, "", S, "[STEP 1/4 - EAC3TO] Extract video and subtitles..."},
      {[](JobRecord&) {}, V, A, "", "[STEP 1/4 - EAC3TO] Extract video and audio..."},
      {[](JobRecord&) {}, V, A, S, "[STEP 1/4 - EAC3TO] Extract video, audio and subtitles..."},
      {forced_ac3, "", "", S, "[STEP 1/4 - EAC3TO] Extract forced captions..."},
      {forced_ac3, "", A, "", "[STEP 1/4 - EAC3TO] Recode audio to AC3 640..."},
      {forced_ac3, "", A, S, "[STEP 1/4 - EAC3TO] Recode audio to AC3 640 and extract forced captions..."},
      {forced_ac3, V, A, "", "[STEP 1/4 - EAC3TO] Extract video and recode audio to AC3 640..."},
      {forced_ac3, V, A, S,
       "[STEP 1/4 - EAC3TO] Extract video, recode audio to AC3 640 and extract forced captions..."},
      {join_flac, V, "", "", "[STEP 1/3 - EAC3TO] Join m2ts parts..."},
      {join_flac, V, "", S, "[STEP 1/3 - EAC3TO] Join m2ts parts and extract forced captions..."},
      {join_flac, V, A, "", "[STEP 1/3 - EAC3TO] Join m2ts parts and recode audio to FLAC..."},
      {join_flac, V, A, S,
       "[STEP 1/3 - EAC3TO] Join m2ts parts, recode audio to FLAC and extract forced captions..."},
      {join_remux, V, A, "", "[STEP 1/2 - EAC3TO] Join m2ts parts and extract audio..."},
      {join_remux, V, A, S, "[STEP 1/2 - EAC3TO] Join m2ts parts, extract audio and subtitles..."},
      {mvc, V, "", "", "[STEP 1/3 - EAC3TO] Extract left/right eye video..."},
      {mvc, V, A, "", "[STEP 1/3 - EAC3TO] Extract left/right eye video and audio..."},
      {mvc_subs, V, "", "", "[STEP 1/3 - EAC3TO] Extract left/right eye video and subs..."},
      {mvc_subs, "", A, " 5: \"s\"", "[STEP 1/3 - EAC3TO] Extract left/right eye video, audio and subs..."},
      {[](JobRecord& j) { j.mode_3d = kModeHalfSbsLeft, j.target_media = kMediaBd9; }, V, "", "",
       "[STEP 1/4 - EAC3TO] Extract left/right eye video and subs..."},
      {[](JobRecord& j) { j.mode_3d = kModeMvcRight, j.video_untouched = kVideoUntouched; }, V, A, "",
       "[STEP 1/2 - EAC3TO] Extract left/right eye video, audio and subs..."},
  };
  for (const auto& c : cases) {
    JobRecord job = DirectJob();  // BD5: four steps
    c.edit(job);
    EXPECT_EQ(CalculaStepEac3to(job, c.video, c.audio, c.subtitle), c.label);
  }
}

}  // namespace
}  // namespace dp
