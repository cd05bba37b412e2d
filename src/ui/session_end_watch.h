// How the end of the desktop session reaches the program: SIGTERM or SIGHUP
// (logind, a terminal closing), or the session manager's "die", which Qt
// delivers as a quit request to the application. Either one stops a running
// job without a question and quits.
//
// The session manager's earlier question, whether the session may end (Qt's
// commitDataRequest), is left unanswered on purpose: Qt's default says it
// may, and the user can still cancel the logout, so nothing is stopped then.
#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace dp::ui {

class SessionEndWatch : public QObject {
  Q_OBJECT
 public:
  // on_end runs on the window's thread. window_open tells a quit request
  // that comes from outside (the window still open) from the program's own
  // quit after its window closed.
  SessionEndWatch(std::function<void()> on_end, std::function<bool()> window_open);
  ~SessionEndWatch() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::function<void()> on_end_;
  std::function<bool()> window_open_;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace dp::ui
