#include "queue/queue_view.h"

#include "util/text.h"

namespace dp {

std::string StatusLabel(std::int32_t status) {
  static const char* const kLabels[] = {
      "",
      "[PENDING]",
      "[STOPPED]",
      "[EAC3TO]",
      "[MVC ENCODER]",
      "[X264 PASS 1]",
      "[X264 PASS 2]",
      "[X264 CRF]",
      "[X265 CRF]",
      "[TSMUXER]",
      "[MKVMERGE]",
      "[FINISHED]",
      "[CANCELED]",
      "[FAILED]",
  };
  if (status <= kStatusEmpty || status > kStatusFailed) return "";
  return Format("%-14s", kLabels[status]);
}

namespace {

std::string RateText(const JobRecord& j) {
  return IsCrfTarget(j) ? Format("CRF %d", j.video_rate) : Format("%d Kbps", j.video_rate);
}

template <std::size_t N>
std::string Str(const char (&buf)[N]) {
  return std::string(FieldText(buf));
}

std::string EyeText(const JobRecord& j) {
  if (IsLeftEyeBase(j)) return " / 3D MVC  (left->AVC, right->MVC)";
  if (IsRightEyeBase(j)) return " / 3D MVC  (left->MVC, right->AVC)";
  return "";
}

std::string PictureText(const JobRecord& j) {
  if (j.resize_720p != kResizeNone)
    return j.crop_height != 0 ? Format(" / crop %d + resize 720p", j.crop_height) : " / resize 720p";
  return j.crop_height != 0 ? Format(" / crop %d", j.crop_height) : "";
}

std::string ThreeDText(const JobRecord& j) {
  if (IsHalfSbs(j)) return " / 3D-HSBS";
  if (IsHalf3d(j)) return " / 3D-HTAB";
  if (IsMvc(j)) return " / 3D MVC";
  return "";
}

std::string TargetVideoLine(const JobRecord& j) {
  const std::string target = Str(j.target_label);
  if (j.video_untouched == kVideoUntouched) return "Target video: untouched / " + target;
  const char* codec = (j.use_x265 && j.target_media == kMediaMkvCrf) ? "HEVC" : "AVC";
  const std::string tune =
      (!j.use_x265 && !IsMvc(j)) ? Format(" / tune %s", Str(j.x264_tune).c_str()) : std::string();
  const std::string noise = j.noise_reduction != 0 ? Format(" / noise reduction %d", j.noise_reduction) : "";
  const std::string params = Str(j.extra_params);
  return Format("Target video: %s / %s / %s%s%s / preset %s%s%s%s", codec, target.c_str(),
                RateText(j).c_str(), tune.c_str(), noise.c_str(), Str(j.x264_preset).c_str(),
                params.empty() ? "" : (" / " + params).c_str(), PictureText(j).c_str(),
                ThreeDText(j).c_str());
}

std::string TargetAudioLine(const JobRecord& j) {
  const std::string rate = Str(j.audio_bitrate_text);
  if (j.target_audio == kAudioFlac) return "Target audio: recode to FLAC (lossless)";
  if (j.target_audio != kAudioCopy) return Format("Target audio: recode to AC3 %d Kbps", j.target_audio);
  if (j.audio_untouched_hd)
    return LeadingInt(rate) != 0 ? "Target audio: untouched HD track ~" + rate + " Kbps"
                                 : "Target audio: untouched HD track";
  if (j.audio_core_only) return "Target audio: downconvert to Core " + rate + " Kbps";
  return "Target audio: untouched " + rate + " Kbps";
}

std::string SubtitleLine(const JobRecord& j) {
  std::string plane;
  if (IsMvc(j))
    plane = j.subtitle_3d_plane == kSubtitlePlaneUndefined ? " / 3D-plane undefined"
                                                           : Format(" / 3D-plane %d", j.subtitle_3d_plane);
  static const char* const kTail[] = {"", "", " / flagged forced", " / extract only forced captions"};
  if (j.subtitle_mode < kSubtitleKept || j.subtitle_mode > kSubtitleForcedOnly) return "Subtitle: none";
  return Format("Subtitle: %s / track %d / %s%s%s", Str(j.subtitle_codec_id).c_str(), j.subtitle_track_id,
                Str(j.subtitle_language).c_str(), plane.c_str(), kTail[j.subtitle_mode]);
}

}  // namespace

QueueViewItem BuildQueueItem(int slot, const JobRecord& j) {
  QueueViewItem item;
  item.slot = slot;
  const std::string target = Str(j.target_label);
  item.label = StatusLabel(j.status) + Str(j.output_path);
  item.label +=
      j.video_untouched == kVideoUntouched
          ? Format(" (%s)", target.c_str())
          : Format(" (%s / %s / %s)", target.c_str(), RateText(j).c_str(), Str(j.x264_preset).c_str());
  const std::string source = j.join_playlist != 0 ? Str(j.source_root) : Str(j.source_path);
  item.details.push_back(Format("Source: %s  [%s]", source.c_str(), Str(j.playlist_name).c_str()));
  if (j.join_playlist != 0) item.details.push_back("Join parts: " + Str(j.join_parts));
  item.details.push_back(Format("Video: %s / %s fps / %d frames%s", Str(j.video_codec).c_str(),
                                Str(j.fps_text).c_str(), j.frame_count, EyeText(j).c_str()));
  item.details.push_back(TargetVideoLine(j));
  item.details.push_back(Format("Audio: %s / track %d / %s", Str(j.audio_codec_id).c_str(), j.audio_track_id,
                                Str(j.audio_language).c_str()));
  item.details.push_back(TargetAudioLine(j));
  item.details.push_back(SubtitleLine(j));
  if (j.status == kStatusFinished) item.color = kColorFinished;
  if (j.status == kStatusFailed) item.color = kColorFailed;
  return item;
}

QueueView BuildQueueView(const JobSlots& jobs) {
  QueueView view;
  for (int i = 0; i < kQueueSlots; ++i) {
    const std::int32_t s = jobs[i].status;
    if (s == kStatusEmpty) continue;
    view.items.push_back(BuildQueueItem(i, jobs[i]));
    if (IsDoneStatus(s)) view.clear_enabled = true;
    if (IsRunningStatus(s)) view.cancel_enabled = true;
    if (IsRunningStatus(s) || IsWaitingStatus(s)) view.go_enabled = true;
  }
  return view;
}

std::string QueueViewText(const QueueView& view) {
  std::string out;
  for (const auto& item : view.items) {
    out += item.label + "\n";
    for (const auto& d : item.details) out += "  " + d + "\n";
  }
  return out;
}

}  // namespace dp
