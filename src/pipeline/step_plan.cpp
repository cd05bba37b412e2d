#include "pipeline/step_plan.h"

#include "pipeline/step_support.h"
#include "pipeline/temp_files.h"
#include "util/text.h"

namespace dp {
namespace {

int VideoStepCount(VideoKind kind) {
  switch (kind) {
    case VideoKind::kNone:
      return 0;
    case VideoKind::kX264TwoPass:
      return 2;
    case VideoKind::kMvcenc:
    case VideoKind::kX264Crf:
    case VideoKind::kX265:
      return 1;
  }
  return 0;
}

}  // namespace

bool InterlacedAvc(const JobRecord& job) { return job.interlaced_avc || job.reserved_7470 != 0; }

bool DemuxRuns(const JobRecord& job) {
  const bool direct = job.join_playlist == 0 && !RecodesAudio(job) && !HasForcedSubtitleWork(job) &&
                      job.target_media != kMediaMkvCrf && !job.source_is_mkv &&
                      job.resize_720p != kResize720WithPgs && job.mode_3d == kMode2d &&
                      (!InterlacedAvc(job) || CopiesVideo(job));
  return !direct;
}

StepPlan PlanSteps(const JobRecord& job) {
  StepPlan plan;
  plan.demux = DemuxRuns(job);

  // Side-by-side and top-bottom 3D burn their subtitles into the picture
  // instead, so only 2D and 2D+3D jobs get the forced-caption stream.
  if (job.mode_3d == kMode2d || IsMvc(job)) {
    if (job.subtitle_mode == kSubtitleForcedOnly) plan.forced_captions = ForcedCaptionTask::kExportForced;
    if (job.subtitle_mode == kSubtitleKeptForced) plan.forced_captions = ForcedCaptionTask::kFlagAllForced;
  }
  plan.subtitle_rescale =
      job.subtitle_mode != kSubtitleNone && (((job.resize_720p != kResizeNone || job.crop_height != 0) &&
                                              job.target_media == kMediaMkvCrf && IsPgs(job)) ||
                                             job.resize_720p == kResize720WithPgs);

  plan.chapter_keyframes = !CopiesVideo(job) && HasChapterList(job);

  const bool video_demuxed = job.join_playlist != 0 || job.mode_3d != kMode2d || job.use_x265 ||
                             (InterlacedAvc(job) && !CopiesVideo(job));
  plan.frame_count_refresh = video_demuxed && !job.limit_frames;

  // The script only ever feeds an encoder.
  plan.avisynth_script =
      !CopiesVideo(job) && (IsHalf3d(job) || (job.mode_3d == kMode2d && job.use_x265 &&
                                              (job.crop_height != 0 || job.resize_720p != kResizeNone)));

  if (CopiesVideo(job))
    plan.video = VideoKind::kNone;
  else if (IsMvc(job))
    plan.video = VideoKind::kMvcenc;
  else if (!IsCrfTarget(job))
    plan.video = VideoKind::kX264TwoPass;
  else if (job.target_media == kMediaMkvCrf && job.use_x265)
    plan.video = VideoKind::kX265;
  else
    plan.video = VideoKind::kX264Crf;

  if (job.target_media == kMediaMkvCrf)
    plan.mux = MuxKind::kMkvmerge;
  else if (IsMvc(job))
    plan.mux = MuxKind::kTsMuxerIso;
  else
    plan.mux = MuxKind::kTsMuxerAvchd;

  int n = 0;
  if (plan.demux) plan.demux_step = ++n;
  const int video_steps = VideoStepCount(plan.video);
  if (video_steps >= 1) plan.video_step = ++n;
  if (video_steps == 2) plan.pass2_step = ++n;
  plan.mux_step = ++n;
  plan.total_steps = n;
  return plan;
}

std::string CalculaStepEac3to(const JobRecord& job, std::string_view video_arg, std::string_view audio_arg,
                              std::string_view subtitle_arg) {
  // The demux step's own count; it agrees with PlanSteps whenever eac3to runs.
  const int total = CopiesVideo(job) ? 2 : (IsCrfTarget(job) || IsMvc(job)) ? 3 : 4;
  const bool video = !video_arg.empty();
  const bool audio = !audio_arg.empty();
  const bool subtitle = !subtitle_arg.empty();

  std::string what;
  if (job.mode_3d != kMode2d) {
    // Both eyes are always named; the subtitle part follows the job's
    // subtitle choice.
    what = "Extract left/right eye video";
    const bool subs = job.subtitle_mode != kSubtitleNone;
    if (subs && audio)
      what += ", audio and subs";
    else if (subs)
      what += " and subs";
    else if (audio)
      what += " and audio";
  } else {
    const std::string subs = HasForcedSubtitleWork(job) ? "forced captions" : "subtitles";
    const bool recode = RecodesAudio(job);
    const std::string audio_name =
        job.target_audio == kAudioFlac ? "FLAC" : Format("AC3 %d", job.target_audio);
    const std::string recode_text = "recode audio to " + audio_name;
    const bool join = job.join_playlist != 0;
    const std::string video_text = join ? "Join m2ts parts" : "Extract video";

    if (!video && !audio && !subtitle) return {};
    if (!video && !audio) {
      what = "Extract " + subs;
    } else if (!video) {
      what = recode ? "Recode audio to " + audio_name : "Extract audio";
      if (subtitle) what += (recode ? " and extract " : " and ") + subs;
    } else if (!audio) {
      what = video_text;
      if (subtitle) what += (join ? " and extract " : " and ") + subs;
    } else if (!subtitle) {
      what = video_text + " and " + (recode ? recode_text : join ? "extract audio" : "audio");
    } else {
      what = video_text + ", " +
             (recode ? recode_text + " and extract "
              : join ? "extract audio and "
                     : "audio and ") +
             subs;
    }
  }
  return Format("[STEP 1/%d - EAC3TO] ", total) + what + "...";
}

}  // namespace dp
