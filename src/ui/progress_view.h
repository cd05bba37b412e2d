// Where the window shows the progress monitor's readings: the bar, its
// label, the status line, and the taskbar entry that follows the bar.
#pragma once

#include <QLabel>
#include <QProgressBar>
#include <QString>

#include "queue/progress.h"
#include "ui/launcher_progress.h"

namespace dp::ui {

class BarProgressDisplay : public ProgressDisplay {
 public:
  BarProgressDisplay(QProgressBar* bar, QLabel* label, QLabel* status, LauncherProgress launcher = {})
      : bar_(bar), label_(label), status_(status), launcher_(std::move(launcher)) {}

  void SetBarValue(int per_mille) override;
  std::string BarLabel() override { return label_->text().toStdString(); }
  void SetBarLabel(std::string_view text) override;
  void SetStatusText(std::string_view text) override;
  void Reset() override;

  // A step starts: the bar empties, takes the label when one is given, and
  // the taskbar shows the step busy until its first progress value.
  void StepStarted(const QString& label);
  // The queue starts or stops running.
  void RunStateChanged(bool running);

 private:
  QProgressBar* bar_;
  QLabel* label_;
  QLabel* status_;
  LauncherProgress launcher_;
  bool taskbar_pending_ = false;  // the step-start state is still shown
};

}  // namespace dp::ui
