// Turns SIGTERM and SIGHUP (how a desktop session ending reaches a program
// here) into a call on the window's thread.
#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace dp::ui {

class TerminationWatch : public QObject {
  Q_OBJECT
 public:
  explicit TerminationWatch(std::function<void()> on_terminate);
  ~TerminationWatch() override;

 private:
  std::function<void()> on_terminate_;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace dp::ui
