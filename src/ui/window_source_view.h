// The opening's dialogs and panel updates as the main window shows them.
// Lives on the window's thread; a worker reaches it through BridgedSourceView.
#pragma once

#include <functional>
#include <memory>

#include "app/prompter.h"
#include "source/source_open.h"
#include "ui/source_panel.h"

class QWidget;

namespace dp::ui {

class WaitPanel;

// Where the target settings take over from a new source, a 3D mode or a
// changed stream ring: the language preferences, the target rings and the
// bitrate budget. Empty until the target settings are drawn on the window.
struct TargetHooks {
  std::function<void(bool mvc)> apply_settings;
  std::function<void()> video_changed;
  std::function<void()> audio_changed;
  std::function<void()> subtitle_changed;
  // The 3D dialog's accept with the mode chosen.
  std::function<void(int mode)> mode3d_accepted;
  // After the panel showed the source (its rings refilled).
  std::function<void()> shown;
};

class WindowSourceView : public SourceView {
 public:
  WindowSourceView(QWidget* parent, const SourceWidgets& widgets, const TargetHooks& hooks);
  ~WindowSourceView() override;

  int ChoosePlaylist(const PlaylistDialog& dialog, const SourceState& state) override;
  void ShowWait(bool shown) override;
  void Select3DMode(SourceState& state) override;
  void ShowSource(const SourceState& state, const SourceInventory& inventory) override;
  void ApplyTargetSettings(bool mvc) override;
  int ChooseScrapeHit(const std::string& source_path, const std::string& cleaned_title,
                      const std::vector<std::string>& hit_labels) override;

 private:
  QWidget* parent_;
  SourceWidgets widgets_;
  const TargetHooks& hooks_;
  std::unique_ptr<WaitPanel> wait_;
};

// Each call of the view and of the prompter made on the window's thread,
// the caller waiting for it. Once the bridge is closed the calls do nothing
// and the dialogs answer as cancelled.
class UiBridge;
class BridgedSourceView : public SourceView {
 public:
  BridgedSourceView(UiBridge& bridge, SourceView& inner) : bridge_(bridge), inner_(inner) {}
  int ChoosePlaylist(const PlaylistDialog& dialog, const SourceState& state) override;
  void ShowWait(bool shown) override;
  void Select3DMode(SourceState& state) override;
  void ShowSource(const SourceState& state, const SourceInventory& inventory) override;
  void ApplyTargetSettings(bool mvc) override;
  int ChooseScrapeHit(const std::string& source_path, const std::string& cleaned_title,
                      const std::vector<std::string>& hit_labels) override;

 private:
  UiBridge& bridge_;
  SourceView& inner_;
};

class BridgedPrompter : public Prompter {
 public:
  BridgedPrompter(UiBridge& bridge, Prompter& inner) : bridge_(bridge), inner_(inner) {}
  Answer Ask(std::string_view title, std::string_view text, Buttons buttons) override;
  int Choose(std::string_view title, std::string_view text,
             std::span<const std::string_view> buttons) override;

 private:
  UiBridge& bridge_;
  Prompter& inner_;
};

}  // namespace dp::ui
