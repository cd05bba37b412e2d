// Where the window shows the progress monitor's readings: the bar, its
// label, the status line and the taskbar entry.
#pragma once

#include <QLabel>
#include <QProgressBar>

#include "app/run_state.h"
#include "queue/job_queue.h"
#include "queue/progress.h"
#include "queue/run_progress_source.h"
#include "ui/launcher_progress.h"

namespace dp::ui {

class BarProgressDisplay : public ProgressDisplay {
 public:
  BarProgressDisplay(QProgressBar* bar, QLabel* label, QLabel* status, RunState& run)
      : bar_(bar), label_(label), status_(status), run_(run) {}
  LauncherProgress& launcher() { return launcher_; }
  void SetBarValue(int per_mille) override { bar_->setValue(per_mille); }
  std::string BarLabel() override { return label_->text().toStdString(); }
  void SetBarLabel(std::string_view text) override {
    label_->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
  }
  void SetStatusText(std::string_view text) override {
    status_->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
  }
  bool HasTaskbar() override { return launcher_.available(); }
  void SetTaskbarState(TaskbarState state) override { launcher_.SetState(state); }
  void SetTaskbarValue(int completed, int total) override { launcher_.SetValue(completed, total); }
  bool TaskbarProgressPending() override { return run_.taskbar_progress_pending.load(); }
  void SetTaskbarProgressPending(bool pending) override { run_.taskbar_progress_pending = pending; }

 private:
  QProgressBar* bar_;
  QLabel* label_;
  QLabel* status_;
  RunState& run_;
  LauncherProgress launcher_;
};

}  // namespace dp::ui
