// The queue's and the worker's calls, brought to the window's thread.
#pragma once

#include <QObject>
#include <QPointer>

#include "queue/queue_control.h"
#include "ui/desktop_notification.h"

namespace dp::ui {

class MainWindow;

class WindowFrontend : public QObject, public QueueFrontend {
  Q_OBJECT
 public:
  void set_window(MainWindow* window) { window_ = window; }

  void QueueChanged() override;
  void RunStateChanged(bool running) override;
  void ResetProgress() override;
  void SelectSlot(int slot) override;
  void StepStarted(std::string_view label) override;
  void StatusText(std::string_view text) override;
  void JobDone() override;
  void OpenPath(const std::string& path) override;
  void PlaySound(const std::string& path) override;
  // A desktop notification saying how the run ended (nothing without a
  // session bus).
  void QueueEnded(int finished, int failed) override;

 private:
  // Runs fn on the window's thread: now when called there, else queued.
  template <typename F>
  void OnWindow(F&& fn);
  QPointer<MainWindow> window_;
  DesktopNotification notice_;
};

// "All 3 jobs are finished.", "1 of 3 jobs failed."
QString QueueEndedText(int finished, int failed);

}  // namespace dp::ui
