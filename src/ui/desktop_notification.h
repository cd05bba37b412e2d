// A notice through the desktop's notification service
// (org.freedesktop.Notifications on the session bus), for when there is no
// system tray to show a balloon in.
#pragma once

#include <QObject>
#include <QString>
#include <functional>

namespace dp::ui {

class DesktopNotification : public QObject {
  Q_OBJECT
 public:
  explicit DesktopNotification(QObject* parent = nullptr);

  // Sends the notice without waiting for the service; false when there is no
  // session bus. With default_action, a click on the notice calls on_action.
  bool Notify(const QString& summary, const QString& body, bool default_action);
  void set_on_action(std::function<void()> fn) { on_action_ = std::move(fn); }

 private slots:
  void OnActionInvoked(uint id, const QString& action);

 private:
  uint id_ = 0;  // the service's number for our latest notice
  bool listening_ = false;
  std::function<void()> on_action_;
};

}  // namespace dp::ui
