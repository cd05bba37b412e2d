#include "ui/single_instance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>

namespace dp::ui {

SingleInstance::SingleInstance(const QString& folder, const QString& name)
    : lock_(InstanceLockFile(folder.toStdString())) {
  QDir().mkpath(folder);
  // Socket names must be short; derive one from the folder so two users or
  // two test folders never meet.
  const QString lock_path = QDir(folder).filePath(name + QStringLiteral(".lock"));
  const QByteArray hash =
      QCryptographicHash::hash(lock_path.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
  socket_name_ = name + QStringLiteral("-") + QString::fromLatin1(hash);
}

SingleInstance::~SingleInstance() {
  if (server_) server_->close();
}

bool SingleInstance::Acquire() {
  if (lock_.TryAcquire(kWindowHolder) == LockState::kBusy) {
    QLocalSocket socket;
    socket.connectToServer(socket_name_);
    if (socket.waitForConnected(1000)) {
      socket.write("activate\n");
      socket.waitForBytesWritten(1000);
      socket.disconnectFromServer();
    }
    return false;
  }
  // First instance (or no lock possible at all: run rather than refuse).
  QLocalServer::removeServer(socket_name_);
  server_ = std::make_unique<QLocalServer>();
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (server_->listen(socket_name_)) {
    connect(server_.get(), &QLocalServer::newConnection, this, [this] {
      while (QLocalSocket* s = server_->nextPendingConnection()) {
        connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
        if (on_activate_) on_activate_();
      }
    });
  }
  return true;
}

}  // namespace dp::ui
