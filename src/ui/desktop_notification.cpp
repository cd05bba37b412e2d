#include "ui/desktop_notification.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

#include "app/version.h"

namespace dp::ui {
namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");

}  // namespace

DesktopNotification::DesktopNotification(QObject* parent) : QObject(parent) {}

bool DesktopNotification::Notify(const QString& summary, const QString& body, bool default_action) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return false;
  if (!listening_)
    listening_ = bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                             SLOT(OnActionInvoked(uint, QString)));
  QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
  const QStringList actions =
      default_action ? QStringList{QStringLiteral("default"), summary} : QStringList{};
  call << QString::fromLatin1(program_name) << uint{0} << QStringLiteral("discpress") << summary << body
       << actions << QVariantMap{} << int{-1};
  // Not waited for: the window must not hang on a slow or absent service.
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
    const QDBusPendingReply<uint> reply = *w;
    if (reply.isValid()) id_ = reply.value();
    w->deleteLater();
  });
  return true;
}

void DesktopNotification::OnActionInvoked(uint id, const QString& action) {
  if (id_ != 0 && id == id_ && action == QStringLiteral("default") && on_action_) on_action_();
}

}  // namespace dp::ui
