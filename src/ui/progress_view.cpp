#include "ui/progress_view.h"

namespace dp::ui {
namespace {

QString Text(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

void BarProgressDisplay::SetBarValue(int per_mille) {
  bar_->setValue(per_mille);
  if (!launcher_.available()) return;
  if (taskbar_pending_) launcher_.SetState(TaskbarState::kNormal);
  launcher_.SetValue(per_mille, kProgressMax);
  taskbar_pending_ = false;
}

void BarProgressDisplay::SetBarLabel(std::string_view text) { label_->setText(Text(text)); }

void BarProgressDisplay::SetStatusText(std::string_view text) { status_->setText(Text(text)); }

void BarProgressDisplay::Reset() {
  bar_->setValue(0);
  SetBarLabel(kIdleLabel);
  status_->setText(QString());
  launcher_.SetState(TaskbarState::kNoProgress);
  taskbar_pending_ = false;
}

void BarProgressDisplay::StepStarted(const QString& label) {
  bar_->setValue(0);
  if (!label.isEmpty()) label_->setText(label);
  launcher_.SetState(TaskbarState::kIndeterminate);
  taskbar_pending_ = true;
}

void BarProgressDisplay::RunStateChanged(bool running) {
  launcher_.SetState(running ? TaskbarState::kNormal : TaskbarState::kNoProgress);
}

}  // namespace dp::ui
