#include "add_choices.h"

#include <algorithm>
#include <array>

#include "app/settings.h"
#include "command.h"
#include "util/text.h"

namespace dp::cli {
namespace {

constexpr std::array<std::string_view, 10> kPresets = {"ultrafast", "superfast", "veryfast", "faster",
                                                       "fast",      "medium",    "slow",     "slower",
                                                       "veryslow",  "placebo"};
constexpr std::array<std::string_view, 8> kX264Tunes = {"none",       "film", "animation", "grain",
                                                        "stillimage", "psnr", "ssim",      "fastdecode"};
constexpr std::array<std::string_view, 6> kX265Tunes = {"none", "grain", "animation",
                                                        "psnr", "ssim",  "fast-decode"};

template <std::size_t N>
bool Holds(const std::array<std::string_view, N>& items, std::string_view value) {
  return std::find(items.begin(), items.end(), value) != items.end();
}

// The index of the ring item with `value`; -1 when the ring has none.
int ItemOf(const std::vector<RingItem>& ring, int value) {
  const auto it =
      std::find_if(ring.begin(), ring.end(), [value](const RingItem& i) { return i.value == value; });
  return it == ring.end() ? -1 : static_cast<int>(it - ring.begin());
}

// The Advanced dialog: its controls enabled as the window enables them at
// opening, the given values set, then Apply.
int AdvancedDialog(const AddChoices& c, const ChoiceContext& ctx) {
  if (!ctx.source.panel.advanced_enabled)
    return Fail(kUsage, "the Advanced button is disabled for this source");
  const int t = ctx.panel.media_index;
  const int v = ctx.panel.bitrate;
  const bool two_d = ctx.source.selected_mode_3d == 0;
  const bool x265 = t == kMediaMkvCrf && ctx.settings.UseX265;
  const VideoStream& video = ctx.inventory.video[0];
  const bool crop_enabled = t == kMediaMkvCrf && two_d && v != 1;
  const bool resize_enabled = ctx.inventory.video_count > 0 && video.width == 1920 &&
                              FieldText(video.scan_type) != "i" && two_d && t != kMediaBdRemux &&
                              t != kMediaMkvRemux && v != 1 && !ctx.source.video_untouched_choice;

  AdvancedOptions chosen = ctx.advanced;
  // A tune the refilled x265 ring lacks leaves it on its default.
  if (x265 && !Holds(kX265Tunes, chosen.tune)) chosen.tune = "none";
  if (!crop_enabled) chosen.crop_height = 0;
  if (c.tune) {
    if (x265 ? !Holds(kX265Tunes, *c.tune) : !Holds(kX264Tunes, *c.tune))
      return Fail(kUsage, "the tune ring has no item \"" + *c.tune + "\"");
    chosen.tune = *c.tune;
  }
  if (c.params) chosen.params = *c.params;
  if (c.crop) {
    if (!crop_enabled)
      return Fail(kUsage, "the crop ring is disabled: MKV crf, 2D and a CRF other than 1 only");
    chosen.crop_height = *c.crop;
  }
  if (c.resize_720p) {
    if (!resize_enabled) return Fail(kUsage, "Resize to 720p is disabled for this source and target");
    chosen.resize_720p = 1;
  }
  if (c.noise_reduction) {
    if (!x265) return Fail(kUsage, "noise reduction is disabled: x265 jobs only");
    chosen.noise_reduction = *c.noise_reduction;
  }
  ctx.planner.CallAdvancedApply(chosen);
  return kOk;
}

}  // namespace

bool IsPreset(std::string_view name) { return Holds(kPresets, name); }

int MakeChoices(const AddChoices& c, const ChoiceContext& ctx) {
  TargetPanel& panel = ctx.panel;
  TargetPlanner& planner = ctx.planner;
  const SourceInventory& inv = ctx.inventory;
  if (c.mode_3d) {
    if (!inv.source_is_3d) return Fail(kUsage, "the source is not 3D: there is no 3D mode to choose");
    planner.CallPanel3Daccept(*c.mode_3d);
  }
  if (c.media) {
    panel.media_index = *c.media;
    planner.CallMedia();
  }
  if (c.audio) {
    if (*c.audio >= inv.audio_count)
      return Fail(kUsage, Format("the source has %d audio streams", inv.audio_count));
    panel.source_audio = *c.audio;
    planner.CallSourceAudio();
  }
  if (c.subtitle) {
    if (*c.subtitle >= inv.subtitle_count)
      return Fail(kUsage, Format("the source has %d subtitle streams", inv.subtitle_count));
    panel.source_subtitle = *c.subtitle;
    planner.CallSourceSubt();
  }
  if (c.target_audio) {
    const int at = ItemOf(panel.audio, *c.target_audio);
    if (at < 0) return Fail(kUsage, Format("the Target Audio ring has no item of value %d", *c.target_audio));
    panel.audio_index = at;
    planner.CallAudio();
  }
  if (c.target_subtitle) {
    const int at = ItemOf(panel.subtitle, *c.target_subtitle);
    if (at < 0)
      return Fail(kUsage, Format("the Target Subtitle ring has no item of value %d", *c.target_subtitle));
    panel.subtitle_index = at;
    planner.CallSubt();
  }
  if (c.rate) {
    if (!panel.bitrate_enabled) return Fail(kUsage, "the Video Bitrate field is disabled for this target");
    if (*c.rate > ctx.source.panel.bitrate_max)
      return Fail(kUsage, Format("the Video Bitrate field goes up to %d", ctx.source.panel.bitrate_max));
    panel.bitrate = *c.rate;
    panel.has_value = true;
    planner.CallBitrate();
  }
  if (c.preset) panel.preset = *c.preset;
  if (c.output) ctx.source.panel.output_path = *c.output;
  if (c.tune || c.params || c.crop || c.resize_720p || c.noise_reduction) return AdvancedDialog(c, ctx);
  return kOk;
}

}  // namespace dp::cli
