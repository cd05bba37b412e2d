#include "planning/target_planner.h"

#include "app/settings.h"
#include "planning/bitrate_budget.h"
#include "planning/output_naming.h"
#include "planning/target_rings.h"
#include "planning/verdict.h"
#include "queue/job_codes.h"
#include "util/text.h"

namespace dp {

namespace {

bool IsCrfTarget(int t) { return t == kMediaAvchdCrf || t == kMediaMkvCrf || t == kMediaMkvRemux; }

bool InRange(int index, int count, int max) { return index >= 0 && index < count && index < max; }

// The chosen audio stream, or a blank one when the source has none.
const AudioStream& ChosenAudio(const SourceInventory& inventory, int index) {
  static const AudioStream kNone{};
  return InRange(index, inventory.audio_count, kMaxAudioStreams) ? inventory.audio[index] : kNone;
}

// The source video's own rate: measured, else known; both views in MVC mode.
int SourceVideoKbps(const SourceInventory& inventory, int index, int mode_3d) {
  const VideoStream& v = inventory.video[index];
  const bool scanned = v.scanned_bitrate_kbps != 0;
  int s = scanned ? v.scanned_bitrate_kbps : v.bitrate_kbps;
  if (IsMvcMode(mode_3d) && InRange(index + 1, inventory.video_count, kMaxVideoStreams)) {
    const VideoStream& dependent = inventory.video[index + 1];
    s = scanned ? v.scanned_bitrate_kbps + dependent.scanned_bitrate_kbps
                : v.bitrate_kbps + dependent.bitrate_kbps;
  }
  return s != 0 ? s : CalculaBitrateSource(inventory, mode_3d);
}

}  // namespace

TargetPlanner::TargetPlanner(const Settings& settings, SourceState& source, const SourceInventory& inventory,
                             TargetPanel& panel, AdvancedOptions& advanced)
    : settings_(settings), source_(source), inventory_(inventory), panel_(panel), advanced_(advanced) {
  if (panel_.media.size() != kMediaCount) panel_.media = DefaultMediaItems();
}

void TargetPlanner::CalculaBitrate(bool keep) {
  if (inventory_.video_count <= 0) return;
  const int t = panel_.media_index;
  const int mode = source_.selected_mode_3d;
  const int video =
      InRange(panel_.source_video, inventory_.video_count, kMaxVideoStreams) ? panel_.source_video : 0;
  const AudioStream& audio = ChosenAudio(inventory_, panel_.source_audio);
  const int target_audio = RingValue(panel_.audio, panel_.audio_index);
  const int subtitle_mode = RingValue(panel_.subtitle, panel_.subtitle_index);
  const AudioBudget budget =
      AudioOverhead(target_audio, target_audio == 0 ? audio.bitrate_kbps : target_audio, audio);

  int value = 0;
  bool has_value = true;
  if (t == kMediaAvchdCrf || t == kMediaMkvCrf) {
    value = settings_.CRF;
    panel_.bitrate_label = kCrfLabel;
    panel_.bitrate_enabled = true;
  } else if (t == kMediaMkvRemux) {
    value = 1;
    panel_.bitrate_enabled = false;
  } else {
    const VideoStream& v = inventory_.video[video];
    const double capacity = InRange(t, static_cast<int>(panel_.media.size()), kMediaCount)
                                ? panel_.media[static_cast<std::size_t>(t)].bytes
                                : 0.0;
    has_value =
        CalculaBitrateNew(v.duration_ms, budget.kbps, budget.k, 64, 215, v.frame_count, capacity, value);
    value -= SubtitleAllowance(inventory_, panel_.source_subtitle, subtitle_mode, mode);
    panel_.bitrate_label = kBitrateLabel;
    panel_.bitrate_enabled = true;
  }
  if (!keep) {
    // The field stops at the encoder's ceiling (40000, 60000 for 3D); the
    // verdict and the untouched test still see the whole budget.
    const int max = source_.panel.bitrate_max;
    panel_.bitrate = max > 0 && value > max ? max : value;
    panel_.has_value = has_value;
  } else {
    value = panel_.bitrate;
    has_value = panel_.has_value;
  }
  if (!has_value) {
    // No rate to judge: no verdict, and nothing claims the video fits as is.
    source_.video_untouched_choice = 0;
    panel_.verdict.clear();
    panel_.verdict_colour = 0;
    return;
  }

  const int source_kbps = SourceVideoKbps(inventory_, video, mode);
  Verdict verdict;
  // An estimate of zero or less means the source told nothing of its rate:
  // that is no reason to copy its video.
  if (source_kbps > 0 && source_kbps < value + 5 && !inventory_.source_is_mkv && FullPictureMode(mode)) {
    source_.video_untouched_choice = 1;
    verdict = UntouchedVerdict(source_kbps);
  } else {
    source_.video_untouched_choice = 0;
    if (IsCrfTarget(t)) {
      if (value == 1 && FullPictureMode(mode)) source_.video_untouched_choice = 1;
      verdict = CrfVerdict(value, FullPictureMode(mode));
    } else {
      const bool wide = inventory_.video[video].width >= 1440 && advanced_.resize_720p == 0;
      verdict = BitrateVerdict(value, wide, IsMvcMode(mode));
    }
  }
  panel_.verdict = verdict.text;
  panel_.verdict_colour = verdict.colour;
}

void TargetPlanner::AplicaPreferencies(bool keep_media) {
  if (!keep_media) {
    MediaItem& custom = panel_.media[kMediaCustom];
    custom.label = Format("%d MB", settings_.CustomMedia);
    custom.bytes = static_cast<double>(settings_.CustomMedia) * 1000000.0;
    panel_.media_index = InRange(settings_.Media, kMediaCount, kMediaCount) ? settings_.Media : kMediaBd5;
    panel_.preset = std::string(FieldText(settings_.Preset));
    advanced_ = AdvancedOptions{};
    advanced_.tune = "film";
  }
  const int t = panel_.media_index;
  if (t == kMediaMkvRemux) {
    panel_.bitrate = 1;
    panel_.has_value = true;
  }
  RenombraOutput3D();

  if (inventory_.audio_count > 0) {
    const int chosen = PreferredAudioStream(inventory_, t, FieldText(settings_.AudioLang));
    if (chosen >= 0) panel_.source_audio = chosen;
  }
  if (inventory_.subtitle_count > 0) {
    const int chosen =
        PreferredSubtitleStream(inventory_, FieldText(settings_.SubtitleLang), settings_.ForcedSubtitle != 0);
    if (chosen >= 0) panel_.source_subtitle = chosen;
  }
}

void TargetPlanner::ActualitzaTarjetAudio() {
  const AudioRing ring = TargetAudioRing(ChosenAudio(inventory_, panel_.source_audio), panel_.media_index,
                                         IsMvcMode(source_.selected_mode_3d), settings_.UseFlac != 0);
  panel_.audio = ring.items;
  panel_.audio_index = RingIndexOf(panel_.audio, ring.default_value);
}

void TargetPlanner::ActualitzaTarjetSubt() {
  if (inventory_.subtitle_count <= 0) {
    AdjustSubtitleRing(panel_.subtitle, false);
    panel_.subtitle_index = RingIndexOf(panel_.subtitle, kSubtitleNone);
    return;
  }
  const int index = InRange(panel_.source_subtitle, inventory_.subtitle_count, kMaxSubtitleStreams)
                        ? panel_.source_subtitle
                        : 0;
  const SubtitleStream& stream = inventory_.subtitle[index];
  AdjustSubtitleRing(panel_.subtitle, stream.forced_count >= 1);
  const int mode = PreferredSubtitleMode(stream, FieldText(settings_.SubtitleLang), settings_.NoSubtitle != 0,
                                         settings_.ForcedSubtitle != 0);
  panel_.subtitle_index = RingIndexOf(panel_.subtitle, mode);
}

void TargetPlanner::RenombraOutput3D() {
  const int t = panel_.media_index;
  std::string& out = source_.panel.output_path;
  // A path without a folder is left alone, and so is the bitrate.
  if (out.find('/') == std::string::npos) return;
  out = RenamedOutput(out, t, source_.selected_mode_3d, source_.title_scraped != 0);
  CalculaBitrate(t == kMediaMkvCrf || t == kMediaMkvRemux);
}

void TargetPlanner::CallMedia() {
  AplicaPreferencies(true);
  ActualitzaTarjetAudio();
  CalculaBitrate(false);
}

void TargetPlanner::CallAudio() { CalculaBitrate(IsCrfTarget(panel_.media_index)); }

void TargetPlanner::CallSubt() { CalculaBitrate(IsCrfTarget(panel_.media_index)); }

void TargetPlanner::CallBitrate() {
  // A typed bitrate waits for the next recomputation; a typed CRF is judged now.
  if (IsCrfTarget(panel_.media_index)) CalculaBitrate(true);
}

void TargetPlanner::CallSourceVideo() {
  // Only the first video stream can be converted.
  panel_.source_video = 0;
  CalculaBitrate(IsCrfTarget(panel_.media_index));
}

void TargetPlanner::CallSourceAudio() {
  ActualitzaTarjetAudio();
  CalculaBitrate(IsCrfTarget(panel_.media_index));
}

void TargetPlanner::CallSourceSubt() {
  ActualitzaTarjetSubt();
  CalculaBitrate(IsCrfTarget(panel_.media_index));
}

void TargetPlanner::CallPanel3Daccept(int mode_3d) {
  source_.selected_mode_3d = mode_3d;
  const bool mvc = IsMvcMode(mode_3d);
  if (mvc) panel_.media_index = kMediaBd25;
  AplicaPreferencies(mvc);
  ActualitzaTarjetAudio();
  CalculaBitrate(false);
}

void TargetPlanner::CallAdvancedApply(const AdvancedOptions& chosen) {
  advanced_ = chosen;
  CalculaBitrate(true);
}

}  // namespace dp
