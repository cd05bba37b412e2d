// Desktop notifications through a private session bus to a stand-in
// notification service: the queue's end, and the update notice where there
// is no system tray, whose click stops the running job and asks for the
// installer at exit.
#include "ui/update_notice.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QSystemTrayIcon>
#include <QtTest>

#include "support/temp_dir.h"
#include "ui/desktop_notification.h"
#include "ui/main_window.h"
#include "ui/window_frontend.h"

namespace dp::ui {

// Records what Notify was given; answers with a fixed id.
class FakeNotifications : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
 public:
  static constexpr uint kId = 7;
  QString summary, body;
  QStringList actions;
  int calls = 0;

 public slots:
  uint Notify(const QString&, uint, const QString&, const QString& s, const QString& b, const QStringList& a,
              const QVariantMap&, int) {
    summary = s;
    body = b;
    actions = a;
    ++calls;
    return kId;
  }
};

class DesktopNoticesTest : public QObject {
  Q_OBJECT

  test::TempDir dir;
  QProcess bus;
  FakeNotifications fake;

  void Invoke(uint id, const QString& action) {
    QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/Notifications"),
                                                     QStringLiteral("org.freedesktop.Notifications"),
                                                     QStringLiteral("ActionInvoked"));
    signal << id << action;
    QVERIFY(QDBusConnection(QStringLiteral("fake")).send(signal));
  }

 private slots:
  void initTestCase() {
    const QString socket = QString::fromStdString((dir / "bus").string());
    bus.start(QStringLiteral("dbus-daemon"),
              {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address"),
               QStringLiteral("--address=unix:path=") + socket});
    if (!bus.waitForStarted(5000)) QSKIP("no dbus-daemon");
    QVERIFY(bus.waitForReadyRead(5000));
    const QByteArray address = bus.readLine().trimmed();
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    QDBusConnection conn = QDBusConnection::connectToBus(QString::fromUtf8(address), QStringLiteral("fake"));
    QVERIFY(conn.isConnected());
    QVERIFY(conn.registerService(QStringLiteral("org.freedesktop.Notifications")));
    QVERIFY(conn.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &fake,
                                QDBusConnection::ExportAllSlots));
  }

  void cleanupTestCase() {
    QDBusConnection::disconnectFromBus(QStringLiteral("fake"));
    bus.terminate();
    bus.waitForFinished(5000);
  }

  void NotificationAndItsAction() {
    DesktopNotification note;
    int clicks = 0;
    note.set_on_action([&] { ++clicks; });
    QVERIFY(note.Notify(QStringLiteral("Title"), QStringLiteral("Line 1\nLine 2"), true));
    QTRY_COMPARE(fake.calls, 1);
    QCOMPARE(fake.summary, QStringLiteral("Title"));
    QCOMPARE(fake.body, QStringLiteral("Line 1\nLine 2"));
    QCOMPARE(fake.actions.value(0), QStringLiteral("default"));
    // Another notice's click, or another action, is not ours.
    Invoke(FakeNotifications::kId + 1, QStringLiteral("default"));
    Invoke(FakeNotifications::kId, QStringLiteral("other"));
    Invoke(FakeNotifications::kId, QStringLiteral("default"));
    QTRY_COMPARE(clicks, 1);
    QTest::qWait(100);
    QCOMPARE(clicks, 1);
  }

  void NoticeWithoutTray() {
    if (QSystemTrayIcon::isSystemTrayAvailable()) QSKIP("this platform has a system tray");
    RunState run;
    run.current_job = 2;
    int stops = 0;
    UpdateNotice notice(run, [&] { ++stops; });
    const int before = fake.calls;
    notice.Show(QStringLiteral("3.4.0"));
    QTRY_COMPARE(fake.calls, before + 1);
    QCOMPARE(fake.summary, QStringLiteral("DiscPress"));
    QCOMPARE(fake.body, QString::fromStdString(UpdateBalloonText("3.4.0")));
    QVERIFY(notice.tray() == nullptr);
    Invoke(FakeNotifications::kId, QStringLiteral("default"));
    QTRY_COMPARE(stops, 1);
    QVERIFY(notice.state().launch_update_on_exit);
  }

  void QueueEndNotice() {
    const std::tuple<int, int, QString> rows[] = {
        {1, 0, QStringLiteral("The job is finished.")},
        {3, 0, QStringLiteral("All 3 jobs are finished.")},
        {0, 1, QStringLiteral("The job failed.")},
        {2, 1, QStringLiteral("1 of 3 jobs failed.")},
    };
    WindowFrontend frontend;
    for (const auto& [finished, failed, text] : rows) {
      const int before = fake.calls;
      frontend.QueueEnded(finished, failed);
      QTRY_COMPARE(fake.calls, before + 1);
      QCOMPARE(fake.summary, QStringLiteral("DiscPress"));
      QCOMPARE(fake.body, text);
      QVERIFY(fake.actions.isEmpty());
    }
  }
};

}  // namespace dp::ui

QTEST_MAIN(dp::ui::DesktopNoticesTest)
#include "desktop_notices_test.moc"
