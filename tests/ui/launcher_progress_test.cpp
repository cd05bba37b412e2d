// Taskbar progress reaches a session bus as the LauncherEntry signal.
#include "ui/launcher_progress.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QtTest>

namespace dp::ui {

class Listener : public QObject {
  Q_OBJECT
 public:
  QList<QVariantMap> updates;
 public slots:
  void Update(const QString& app, const QVariantMap& properties) {
    if (app == QStringLiteral("application://discpress.desktop")) updates.append(properties);
  }
};

class LauncherProgressTest : public QObject {
  Q_OBJECT
  QProcess bus_;

 private slots:
  void initTestCase() {
    bus_.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                               QStringLiteral("--print-address=1")});
    if (!bus_.waitForStarted(5000)) QSKIP("no dbus-daemon on this machine");
    QVERIFY(bus_.waitForReadyRead(5000));
    const QByteArray address = bus_.readLine().trimmed();
    QVERIFY(!address.isEmpty());
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);
  }

  void sendsProgressAndHidesIt() {
    Listener listener;
    QDBusConnection bus = QDBusConnection::sessionBus();
    QVERIFY(bus.isConnected());
    QVERIFY(bus.connect(QString(), QStringLiteral("/com/canonical/unity/launcherentry/discpress"),
                        QStringLiteral("com.canonical.Unity.LauncherEntry"), QStringLiteral("Update"),
                        &listener, SLOT(Update(QString, QVariantMap))));
    LauncherProgress progress;
    QVERIFY(progress.available());
    progress.SetState(TaskbarState::kIndeterminate);
    progress.SetValue(450, 1000);
    progress.SetState(TaskbarState::kNoProgress);
    QTRY_COMPARE(listener.updates.size(), 3);
    QCOMPARE(listener.updates[1].value(QStringLiteral("progress")).toDouble(), 0.45);
    QCOMPARE(listener.updates[1].value(QStringLiteral("progress-visible")).toBool(), true);
    QCOMPARE(listener.updates[2].value(QStringLiteral("progress-visible")).toBool(), false);
  }

  void cleanupTestCase() {
    bus_.kill();
    bus_.waitForFinished(5000);
  }
};

}  // namespace dp::ui

QTEST_MAIN(dp::ui::LauncherProgressTest)
#include "launcher_progress_test.moc"
