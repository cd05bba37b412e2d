#include "ui/termination_watch.h"

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

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

TerminationWatch::TerminationWatch(std::function<void()> on_terminate)
    : on_terminate_(std::move(on_terminate)) {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_fds) != 0) return;
  notifier_ = new QSocketNotifier(g_fds[1], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] {
    char c;
    [[maybe_unused]] const ssize_t n = ::read(g_fds[1], &c, 1);
    if (on_terminate_) on_terminate_();
  });
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGHUP, &sa, nullptr);
}

TerminationWatch::~TerminationWatch() {
  signal(SIGTERM, SIG_DFL);
  signal(SIGHUP, SIG_DFL);
  for (int& fd : g_fds) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
}

}  // namespace dp::ui
