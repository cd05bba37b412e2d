#include "ui/launcher_progress.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>

namespace dp::ui {

namespace {
constexpr char kPath[] = "/com/canonical/unity/launcherentry/discpress";
constexpr char kInterface[] = "com.canonical.Unity.LauncherEntry";
constexpr char kAppUri[] = "application://discpress.desktop";
}  // namespace

LauncherProgress::LauncherProgress() : available_(QDBusConnection::sessionBus().isConnected()) {}

void LauncherProgress::Send(double progress, bool visible) {
  if (!available_) return;
  progress_ = progress;
  visible_ = visible;
  if (sink_) {
    sink_(progress, visible);
    return;
  }
  QDBusMessage signal =
      QDBusMessage::createSignal(QLatin1String(kPath), QLatin1String(kInterface), QStringLiteral("Update"));
  QVariantMap properties;
  properties.insert(QStringLiteral("progress"), progress);
  properties.insert(QStringLiteral("progress-visible"), visible);
  signal << QString::fromLatin1(kAppUri) << properties;
  QDBusConnection::sessionBus().send(signal);
}

void LauncherProgress::SetState(TaskbarState state) {
  // The launcher entry has no busy state: a step start shows the bar empty.
  switch (state) {
    case TaskbarState::kNoProgress:
      Send(0, false);
      break;
    case TaskbarState::kIndeterminate:
      Send(0, true);
      break;
    case TaskbarState::kNormal:
      Send(progress_, true);
      break;
  }
}

void LauncherProgress::SetValue(int completed, int total) {
  Send(total > 0 ? static_cast<double>(completed) / total : 0.0, true);
}

}  // namespace dp::ui
