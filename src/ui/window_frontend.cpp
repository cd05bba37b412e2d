#include "ui/window_frontend.h"

#include <QDesktopServices>
#include <QThread>
#include <QUrl>

#include "app/version.h"
#include "platform/run_program.h"
#include "ui/main_window.h"

namespace dp::ui {

template <typename F>
void WindowFrontend::OnWindow(F&& fn) {
  QPointer<MainWindow> w = window_;
  if (!w) return;
  if (QThread::currentThread() == w->thread()) {
    fn(w.data());
    return;
  }
  QMetaObject::invokeMethod(
      w.data(),
      [w, fn = std::forward<F>(fn)]() mutable {
        if (w) fn(w.data());
      },
      Qt::QueuedConnection);
}

void WindowFrontend::QueueChanged() {
  OnWindow([](MainWindow* w) { w->ActualitzaLlista(); });
}
void WindowFrontend::RunStateChanged(bool running) {
  OnWindow([running](MainWindow* w) { w->ShowRunState(running); });
}
void WindowFrontend::ResetProgress() {
  OnWindow([](MainWindow* w) { w->ResetProgressDisplay(); });
}
void WindowFrontend::SelectSlot(int slot) {
  OnWindow([slot](MainWindow* w) { w->SelectQueueSlot(slot); });
}
void WindowFrontend::StepStarted(std::string_view label) {
  OnWindow([text = QString::fromUtf8(label.data(), static_cast<qsizetype>(label.size()))](MainWindow* w) {
    w->ShowStepStart(text);
  });
}
void WindowFrontend::StatusText(std::string_view status) {
  OnWindow([text = QString::fromUtf8(status.data(), static_cast<qsizetype>(status.size()))](MainWindow* w) {
    w->ShowStatusText(text);
  });
}
void WindowFrontend::JobDone() {
  OnWindow([](MainWindow* w) { w->ShowJobDone(); });
}
void WindowFrontend::OpenPath(const std::string& path) {
  QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}
void WindowFrontend::PlaySound(const std::string& path) {
  if (path.empty()) return;
  // Played by a child so the worker never waits; absent players stay silent.
  if (!StartDetached({"paplay", path})) StartDetached({"aplay", "-q", path});
}

QString QueueEndedText(int finished, int failed) {
  const int total = finished + failed;
  if (failed == 0) {
    return total == 1 ? QStringLiteral("The job is finished.")
                      : QStringLiteral("All %1 jobs are finished.").arg(total);
  }
  return total == 1 ? QStringLiteral("The job failed.")
                    : QStringLiteral("%1 of %2 jobs failed.").arg(failed).arg(total);
}

void WindowFrontend::QueueEnded(int finished, int failed) {
  // Sent from the notice's own thread, whether or not a window is up.
  QMetaObject::invokeMethod(
      &notice_,
      [this, text = QueueEndedText(finished, failed)] {
        notice_.Notify(QString::fromLatin1(program_name), text, false);
      },
      Qt::AutoConnection);
}

}  // namespace dp::ui
