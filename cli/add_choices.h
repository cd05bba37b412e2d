// The choices of `add` made on a loaded source as a user makes them in the
// window: each written into its control, then that control's callback, in
// the window's order. A choice the window would not let the user make (an
// item a ring does not hold, a disabled control) is refused.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "planning/target_panel.h"
#include "planning/target_planner.h"

namespace dp::cli {

struct AddChoices {
  std::optional<int> mode_3d;  // 0, 1, 3 or 10
  std::optional<int> media;    // Target Media ring index
  std::optional<int> audio;    // source audio ring index
  std::optional<int> subtitle;
  std::optional<int> target_audio;  // Target Audio ring value
  std::optional<int> target_subtitle;
  std::optional<int> rate;  // Video Bitrate field
  std::optional<std::string> preset;
  std::optional<std::string> output;
  // The Advanced dialog, opened when any of these is given.
  std::optional<std::string> tune;
  std::optional<std::string> params;
  std::optional<int> crop;
  bool resize_720p = false;
  std::optional<int> noise_reduction;
};

// The x264 speed presets of the preset ring.
bool IsPreset(std::string_view name);
// The crop ring's values: 0 or one of the kept heights.
inline constexpr std::array<int, 7> kCropHeights = {0, 1040, 868, 816, 808, 804, 800};
// The 3D dialog's buttons.
inline constexpr std::array<int, 4> k3DModes = {0, 1, 3, 10};

struct ChoiceContext {
  const Settings& settings;
  SourceState& source;
  const SourceInventory& inventory;
  TargetPanel& panel;
  AdvancedOptions& advanced;
  TargetPlanner& planner;
};

// Makes every given choice. 0, or kUsage with the reason on stderr.
int MakeChoices(const AddChoices& choices, const ChoiceContext& ctx);

}  // namespace dp::cli
