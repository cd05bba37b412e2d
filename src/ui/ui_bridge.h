// Brings a worker's call to the window's thread and waits for it, so that a
// core routine running off that thread can show a dialog and read its answer.
#pragma once

#include <QObject>
#include <QPointer>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

namespace dp::ui {

class UiBridge {
 public:
  explicit UiBridge(QObject* ui_object);
  ~UiBridge() { Close(); }
  UiBridge(const UiBridge&) = delete;
  UiBridge& operator=(const UiBridge&) = delete;

  // Runs fn on ui_object's thread and returns when it has run: at once when
  // called there. False, and fn never run, once the bridge is closed.
  bool Call(const std::function<void()>& fn);
  // Wakes every waiting caller and turns later calls away; a worker that
  // outlives the window then runs to its end instead of waiting forever.
  void Close();

 private:
  struct Shared {
    std::mutex mutex;
    std::condition_variable done;
    bool closed = false;
  };
  QPointer<QObject> ui_object_;
  std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
};

}  // namespace dp::ui
