// The target half of the main window: draws the planner's TargetPanel on the
// rings, the Video Bitrate field, the preset, the output path and the verdict
// line, and turns the user's edits into the planner's callbacks.
#pragma once

#include <QObject>
#include <functional>

#include "app/settings_ui.h"
#include "planning/job_create.h"
#include "planning/target_planner.h"
#include "ui/source_panel.h"
#include "ui/window_source_view.h"

class QComboBox;
class QLabel;

namespace dp::ui {

// The target controls that SourceWidgets does not hold.
struct TargetWidgets {
  QComboBox* audio = nullptr;       // PANEL_AUDIO
  QComboBox* subtitle = nullptr;    // PANEL_SUBT
  QComboBox* presets = nullptr;     // PANEL_PRESETS
  QLabel* bitrate_label = nullptr;  // PANEL_BITRATE_LABEL
};

class TargetPanelView : public QObject {
  Q_OBJECT
 public:
  // `busy`: a source opening runs and owns the state; edits wait for it.
  TargetPanelView(QWidget* window, const Settings& settings, SourceState& source,
                  const SourceInventory& inventory, const SourceWidgets& sw, const TargetWidgets& tw,
                  std::function<bool()> busy);

  // The opening's hand-over points.
  TargetHooks Hooks();
  // The stored settings' mark on the target half before any source.
  void ApplySettings(const MainWindowSettings& ui);
  // Changed preferences carried to a loaded source: the preferred streams
  // again and a new bitrate. Nothing without a source or during an opening.
  void ReapplyPreferences();
  // Add to Queue with the panel as shown; the caller handles the outcome.
  AddResult AddJob(JobQueue& queue, Prompter& prompter);
  // PANEL_ADVANCED: the dialog, modal; Apply recomputes the verdict.
  void CallAdvanced();
  // A bitrate scan left its figures in the inventory: the target rings and
  // the bitrate budget follow them.
  void SourceScanned();
  void Draw();

  const TargetPanel& panel() const { return panel_; }
  const AdvancedOptions& advanced() const { return advanced_; }

 private:
  void Connect();
  // Runs a callback after the user's edit, then shows its outcome.
  void Edit(const std::function<void()>& fn);
  int SourceRingValue(QComboBox* ring) const;

  QWidget* window_;
  const Settings& settings_;
  SourceState& source_;
  const SourceInventory& inventory_;
  SourceWidgets sw_;
  TargetWidgets tw_;
  std::function<bool()> busy_;
  TargetPanel panel_;
  AdvancedOptions advanced_;
  TargetPlanner planner_;
};

}  // namespace dp::ui
