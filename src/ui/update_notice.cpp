#include "ui/update_notice.h"

#include <QApplication>
#include <QDesktopServices>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QUrl>

#include "app/version.h"
#include "ui/desktop_notification.h"
#include "update/version_query.h"

namespace dp::ui {

UpdateNotice::UpdateNotice(RunState& run, std::function<void()> stop_job, QObject* parent)
    : QObject(parent), run_(run), stop_job_(std::move(stop_job)) {}

UpdateNotice::~UpdateNotice() {
  // Never leave the thread running into the destruction of what it uses.
  state_.abort = true;
  if (thread_.joinable()) thread_.join();
}

void UpdateNotice::Start(bool is_64bit, const MachineId& id) {
  // A build without an update service asks nobody: no thread either.
  if (thread_.joinable() || finished_ || UpdateBaseAddress().empty()) return;
  thread_ = std::thread([this, is_64bit, id] {
    ComprovaVersioProc(is_64bit, id, state_, [this](const std::string& new_version) {
      QMetaObject::invokeMethod(
          this, [this, v = QString::fromStdString(new_version)] { Show(v); }, Qt::QueuedConnection);
    });
  });
}

void UpdateNotice::Show(const QString& new_version) {
  if (finished_) return;
  const QString title = QString::fromLatin1(program_name);
  const QString text = QString::fromStdString(UpdateBalloonText(new_version.toStdString()));
  if (!QSystemTrayIcon::isSystemTrayAvailable()) {
    if (!notification_) {
      notification_ = std::make_unique<DesktopNotification>();
      notification_->set_on_action([this] { Clicked(); });
    }
    notification_->Notify(title, text, true);
    return;
  }
  if (!tray_) {
    QIcon icon = QApplication::windowIcon();
    if (icon.isNull()) icon = QApplication::style()->standardIcon(QStyle::SP_MessageBoxInformation);
    tray_ = std::make_unique<QSystemTrayIcon>(icon);
    connect(tray_.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
      if (reason == QSystemTrayIcon::Trigger) Clicked();
    });
    connect(tray_.get(), &QSystemTrayIcon::messageClicked, this, &UpdateNotice::Clicked);
  }
  tray_->setToolTip(QString::fromStdString(UpdateTipText()));
  tray_->show();
  tray_->showMessage(title, text, QSystemTrayIcon::Information);
}

void UpdateNotice::Clicked() {
  OnUpdateNoticeClicked(run_, state_, stop_job_, [] { QApplication::quit(); });
}

void UpdateNotice::Finish() {
  if (finished_) return;
  finished_ = true;
  state_.abort = true;
  if (thread_.joinable()) thread_.join();
  if (tray_) {
    tray_->hide();
    tray_.reset();
  }
  notification_.reset();
  const std::filesystem::path installer = InstallerToLaunch(state_);
  if (!installer.empty())
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(installer.string())));
}

}  // namespace dp::ui
