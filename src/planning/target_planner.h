// The target settings of a loaded source and the video bitrate budget: the
// preferences applied to the target choices, the Target Audio and Target
// Subtitle rings rebuilt for the chosen streams, the budget that makes the
// streams fit the medium, the untouched-video decision and the verdict. Each
// callback of the target half of the main panel is one member; the window,
// the CLI and the tests call them after writing the user's choice into the
// panel, and draw the panel afterwards.
#pragma once

#include "planning/target_panel.h"
#include "source/inventory.h"
#include "source/source_state.h"

namespace dp {

struct Settings;

// CalculaBitrateNew: the budget arithmetic alone, in kbps rounded to the
// nearest; duration_ms 0 has no answer (false).
bool CalculaBitrateNew(double duration_ms, double audio_kbps, double audio_k, double packet_overhead_bits,
                       double frame_overhead_bytes, double frame_count, double capacity_bytes, int& kbps);
// Estimate of the source video's bitrate when the inventory has none.
int CalculaBitrateSource(const SourceInventory& inventory, int mode_3d);

class TargetPlanner {
 public:
  TargetPlanner(const Settings& settings, SourceState& source, const SourceInventory& inventory,
                TargetPanel& panel, AdvancedOptions& advanced);

  void AplicaPreferencies(bool keep_media);
  void ActualitzaTarjetAudio();
  void ActualitzaTarjetSubt();
  void CalculaBitrate(bool keep);
  // Renames PANEL_OUT (source.panel.output_path) for the target and 3D mode.
  void RenombraOutput3D();

  // Callbacks, each after the panel holds the user's new choice.
  void CallMedia();
  void CallAudio();
  void CallSubt();
  void CallBitrate();
  void CallSourceVideo();
  void CallSourceAudio();
  void CallSourceSubt();
  // The 3D dialog's accept: selected_mode_3d is set; MVC moves to BD-25.
  void CallPanel3Daccept(int mode_3d);
  // The Advanced dialog's Apply.
  void CallAdvancedApply(const AdvancedOptions& chosen);

 private:
  const Settings& settings_;
  SourceState& source_;
  const SourceInventory& inventory_;
  TargetPanel& panel_;
  AdvancedOptions& advanced_;
};

}  // namespace dp
