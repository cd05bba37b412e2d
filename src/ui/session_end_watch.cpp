#include "ui/session_end_watch.h"

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEvent>
#include <QSocketNotifier>

namespace dp::ui {

namespace {
int g_fds[2] = {-1, -1};

void OnSignal(int) {
  const char c = 1;
  // Only async-signal-safe work here: wake the event loop.
  [[maybe_unused]] const ssize_t n = ::write(g_fds[0], &c, 1);
}
}  // namespace

SessionEndWatch::SessionEndWatch(std::function<void()> on_end, std::function<bool()> window_open)
    : on_end_(std::move(on_end)), window_open_(std::move(window_open)) {
  if (QCoreApplication* app = QCoreApplication::instance()) app->installEventFilter(this);
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_fds) != 0) return;
  notifier_ = new QSocketNotifier(g_fds[1], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] {
    char c;
    [[maybe_unused]] const ssize_t n = ::read(g_fds[1], &c, 1);
    if (on_end_) on_end_();
  });
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGHUP, &sa, nullptr);
}

SessionEndWatch::~SessionEndWatch() {
  if (QCoreApplication* app = QCoreApplication::instance()) app->removeEventFilter(this);
  signal(SIGTERM, SIG_DFL);
  signal(SIGHUP, SIG_DFL);
  for (int& fd : g_fds) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
}

bool SessionEndWatch::eventFilter(QObject* watched, QEvent* event) {
  // Qt closes every window on a quit request; the window would then ask
  // whether to stop the running job, and the session would wait for an
  // answer nobody gives. The program's own quit comes after its window
  // closed, so a quit while the window is open is the session's end.
  if (event->type() == QEvent::Quit && watched == QCoreApplication::instance() && window_open_ &&
      window_open_() && on_end_)
    on_end_();
  return QObject::eventFilter(watched, event);
}

}  // namespace dp::ui
