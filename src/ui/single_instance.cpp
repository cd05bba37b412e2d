#include "ui/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>

namespace dp::ui {

SingleInstance::SingleInstance(const QString& folder, const QString& name) {
  QDir().mkpath(folder);
  lock_path_ = QDir(folder).filePath(name + QStringLiteral(".lock"));
  // Socket names must be short; derive one from the folder so two users or
  // two test folders never meet.
  const QByteArray hash =
      QCryptographicHash::hash(lock_path_.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
  socket_name_ = name + QStringLiteral("-") + QString::fromLatin1(hash);
}

SingleInstance::~SingleInstance() {
  if (server_) server_->close();
  if (lock_fd_ >= 0) ::close(lock_fd_);
}

bool SingleInstance::Acquire() {
  lock_fd_ = ::open(lock_path_.toLocal8Bit().constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (lock_fd_ >= 0 && ::flock(lock_fd_, LOCK_EX | LOCK_NB) != 0) {
    ::close(lock_fd_);
    lock_fd_ = -1;
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
