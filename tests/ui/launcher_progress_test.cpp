// Taskbar progress reaches a session bus as the LauncherEntry signal.
#include "ui/progress_view.h"

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

  // The window's display drives the taskbar entry: busy at a step's start,
  // the bar's value from the step's first reading on, hidden at a reset.
  void taskbarFollowsTheBar() {
    Listener listener;
    QVERIFY(QDBusConnection::sessionBus().connect(
        QString(), QStringLiteral("/com/canonical/unity/launcherentry/discpress"),
        QStringLiteral("com.canonical.Unity.LauncherEntry"), QStringLiteral("Update"), &listener,
        SLOT(Update(QString, QVariantMap))));
    QProgressBar bar;
    bar.setRange(0, kProgressMax);
    QLabel label, status;
    BarProgressDisplay display(&bar, &label, &status);
    // The bus adds the listener's match rule in its own time: probes with
    // rising values go out until one comes back, then the last one sent is
    // waited for (one sender's signals arrive in order), so no probe can
    // land among the signals under test.
    int sent = 0;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
          display.SetBarValue(++sent);
          QTest::qWait(20);
          return !listener.updates.isEmpty();
        }(),
        10000);
    QTRY_COMPARE(listener.updates.last().value(QStringLiteral("progress")).toDouble(), sent / 1000.0);
    listener.updates.clear();

    display.StepStarted(QStringLiteral("[STEP 1/2 - EAC3TO] Extract audio..."));
    display.SetBarValue(450);
    display.Reset();
    // Wait for the last signal itself, not for a time.
    QTRY_VERIFY_WITH_TIMEOUT(listener.updates.size() >= 4, 10000);
    QList<QPair<double, bool>> seen;
    for (const QVariantMap& u : listener.updates)
      seen.append({u.value(QStringLiteral("progress")).toDouble(),
                   u.value(QStringLiteral("progress-visible")).toBool()});
    const QList<QPair<double, bool>> expected = {{0, true}, {0, true}, {0.45, true}, {0, false}};
    QCOMPARE(seen, expected);
  }

  void cleanupTestCase() {
    bus_.kill();
    bus_.waitForFinished(5000);
  }
};

}  // namespace dp::ui

QTEST_MAIN(dp::ui::LauncherProgressTest)
#include "launcher_progress_test.moc"
