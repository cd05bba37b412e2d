#include "ui/window_source_view.h"

#include <QComboBox>
#include <QPushButton>

#include "app/prompter.h"
#include "ui/mode3d_dialog.h"
#include "ui/playlist_dialog.h"
#include "ui/scrape_dialog.h"
#include "ui/ui_bridge.h"
#include "ui/wait_panel.h"

namespace dp::ui {

WindowSourceView::WindowSourceView(QWidget* parent, const SourceWidgets& widgets, const TargetHooks& hooks)
    : parent_(parent), widgets_(widgets), hooks_(hooks) {}

WindowSourceView::~WindowSourceView() = default;

int WindowSourceView::ChoosePlaylist(const PlaylistDialog& dialog, const SourceState& state) {
  PlaylistSelectionDialog chooser(parent_, dialog, state);
  return chooser.Choose();
}

void WindowSourceView::ShowWait(bool shown) {
  if (!shown) {
    wait_.reset();
    return;
  }
  if (!wait_) wait_ = std::make_unique<WaitPanel>(parent_);
  wait_->show();
}

void WindowSourceView::Select3DMode(SourceState& state) {
  widgets_.mode3d->setVisible(true);
  state.panel.mode3d_visible = true;
  Mode3DDialog dialog(parent_, state.selected_mode_3d);
  {
    const NormalCursor cursor;
    if (dialog.exec() != QDialog::Accepted) return;
  }
  if (hooks_.mode3d_accepted)
    hooks_.mode3d_accepted(dialog.mode());
  else
    state.selected_mode_3d = dialog.mode();
  widgets_.scan->setFocus();
}

void WindowSourceView::ShowSource(const SourceState& state, const SourceInventory& inventory) {
  ShowSourcePanel(widgets_, state, inventory);
  if (hooks_.shown) hooks_.shown();
}

void WindowSourceView::ApplyTargetSettings(bool mvc) {
  if (hooks_.apply_settings) hooks_.apply_settings(mvc);
}

// The path and the cleaned title stay with the opening that asks.
int WindowSourceView::ChooseScrapeHit(const std::string&, const std::string&,
                                      const std::vector<std::string>& hit_labels) {
  ScrapeDialog dialog(parent_, hit_labels);
  return dialog.Choose();
}

int BridgedSourceView::ChooseScrapeHit(const std::string& source_path, const std::string& cleaned_title,
                                       const std::vector<std::string>& hit_labels) {
  int chosen = -1;
  bridge_.Call([&] { chosen = inner_.ChooseScrapeHit(source_path, cleaned_title, hit_labels); });
  return chosen;
}

int BridgedSourceView::ChoosePlaylist(const PlaylistDialog& dialog, const SourceState& state) {
  int chosen = 0;
  bridge_.Call([&] { chosen = inner_.ChoosePlaylist(dialog, state); });
  return chosen;
}

void BridgedSourceView::ShowWait(bool shown) {
  bridge_.Call([&] { inner_.ShowWait(shown); });
}

void BridgedSourceView::Select3DMode(SourceState& state) {
  bridge_.Call([&] { inner_.Select3DMode(state); });
}

void BridgedSourceView::ShowSource(const SourceState& state, const SourceInventory& inventory) {
  bridge_.Call([&] { inner_.ShowSource(state, inventory); });
}

void BridgedSourceView::ApplyTargetSettings(bool mvc) {
  bridge_.Call([&] { inner_.ApplyTargetSettings(mvc); });
}

Answer BridgedPrompter::Ask(std::string_view title, std::string_view text, Buttons buttons) {
  Answer answer = buttons == Buttons::kYesNo ? Answer::kNo : Answer::kOk;
  bridge_.Call([&] {
    const NormalCursor cursor;
    answer = inner_.Ask(title, text, buttons);
  });
  return answer;
}

int BridgedPrompter::Choose(std::string_view title, std::string_view text,
                            std::span<const std::string_view> buttons) {
  int chosen = -1;
  bridge_.Call([&] {
    const NormalCursor cursor;
    chosen = inner_.Choose(title, text, buttons);
  });
  return chosen;
}

}  // namespace dp::ui
