// One DiscPress per user: a lock file decides who is first, and a local
// socket lets a second start bring the first one's window to the front.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QLocalServer;

namespace dp::ui {

class SingleInstance : public QObject {
  Q_OBJECT
 public:
  // name identifies the instance group (the lock and socket live in folder).
  SingleInstance(const QString& folder, const QString& name);
  ~SingleInstance() override;

  // True when this process is the only one; otherwise the running one has
  // been asked to come to the front.
  bool Acquire();
  // Called in the first instance when another start asks for the front.
  void set_on_activate(std::function<void()> fn) { on_activate_ = std::move(fn); }

 private:
  QString lock_path_;
  QString socket_name_;
  int lock_fd_ = -1;
  std::unique_ptr<QLocalServer> server_;
  std::function<void()> on_activate_;
};

}  // namespace dp::ui
