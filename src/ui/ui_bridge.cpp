#include "ui/ui_bridge.h"

#include <QThread>

namespace dp::ui {

UiBridge::UiBridge(QObject* ui_object) : ui_object_(ui_object) {}

bool UiBridge::Call(const std::function<void()>& fn) {
  QObject* target = ui_object_.data();
  if (target && QThread::currentThread() == target->thread()) {
    fn();
    return true;
  }
  {
    std::lock_guard lock(shared_->mutex);
    if (shared_->closed || !target) return false;
  }
  // The call's own progress: once fn has started the caller waits for its
  // end whatever happens, as fn reads the caller's stack; a call that never
  // started is dropped by Close().
  struct Progress {
    bool started = false;
    bool finished = false;
  };
  auto progress = std::make_shared<Progress>();
  QMetaObject::invokeMethod(
      target,
      [shared = shared_, progress, &fn] {
        {
          std::lock_guard lock(shared->mutex);
          if (shared->closed) return;
          progress->started = true;
        }
        fn();
        std::lock_guard lock(shared->mutex);
        progress->finished = true;
        shared->done.notify_all();
      },
      Qt::QueuedConnection);
  std::unique_lock lock(shared_->mutex);
  shared_->done.wait(lock, [&] { return progress->finished || (shared_->closed && !progress->started); });
  return progress->finished;
}

void UiBridge::Close() {
  std::lock_guard lock(shared_->mutex);
  shared_->closed = true;
  shared_->done.notify_all();
}

}  // namespace dp::ui
