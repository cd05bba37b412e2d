// One DiscPress per user: the instance lock beside the store decides who is
// first (discpress-cli takes the same lock to change the store), and a local
// socket lets a second start bring the first one's window to the front.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

#include "platform/instance_lock.h"

class QLocalServer;

namespace dp::ui {

class SingleInstance : public QObject {
  Q_OBJECT
 public:
  // folder is the store's folder (the lock lives there); name names the socket.
  SingleInstance(const QString& folder, const QString& name);
  ~SingleInstance() override;

  // True when this process is the only one; otherwise the running one has
  // been asked to come to the front.
  bool Acquire();
  // Called in the first instance when another start asks for the front.
  void set_on_activate(std::function<void()> fn) { on_activate_ = std::move(fn); }

 private:
  InstanceLock lock_;
  QString socket_name_;
  std::unique_ptr<QLocalServer> server_;
  std::function<void()> on_activate_;
};

}  // namespace dp::ui
