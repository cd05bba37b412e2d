// The update check as the window sees it: the background thread, the tray
// icon with its balloon (or a desktop notification where there is no tray),
// the click that ends the program, and the installer opened at exit.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <thread>

#include "app/run_state.h"
#include "app/settings.h"
#include "update/update_check.h"

class QSystemTrayIcon;

namespace dp::ui {

class DesktopNotification;

class UpdateNotice : public QObject {
  Q_OBJECT
 public:
  // stop_job stops the running job as Stop Jobs does.
  UpdateNotice(RunState& run, std::function<void()> stop_job, QObject* parent = nullptr);
  ~UpdateNotice() override;

  // Starts the check once, on a thread of its own.
  void Start(bool is_64bit, const MachineId& id);
  // `CarregaIconActu`: shows the notice of new_version.
  void Show(const QString& new_version);
  // The user clicked the icon, its balloon or the notification.
  void Clicked();
  // At exit: ends the check, removes the notice (`DescartaIconActu`) and
  // opens the installer when the user asked for it (`LaunchAutoUpdate`).
  void Finish();

  const UpdateState& state() const { return state_; }
  QSystemTrayIcon* tray() const { return tray_.get(); }

 private:
  RunState& run_;
  std::function<void()> stop_job_;
  UpdateState state_;
  std::unique_ptr<QSystemTrayIcon> tray_;
  std::unique_ptr<DesktopNotification> notification_;
  std::thread thread_;
  bool finished_ = false;
};

}  // namespace dp::ui
