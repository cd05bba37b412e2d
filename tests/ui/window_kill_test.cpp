// The window killed with SIGKILL while a job encodes: nothing it started
// (the encoder, the keep-awake helper) may outlive it. The test program runs
// itself again as the window ("--window": the window, queue control and
// pipeline put together as the desktop program does, Start clicked at once)
// with fake tools, and is the subreaper of what that child starts.
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <chrono>
#include <cstring>
#include <fstream>
#include <map>
#include <thread>

#include "pipeline/worker.h"
#include "platform/process_groups.h"
#include "support/files.h"
#include "support/planted_job.h"
#include "support/temp_dir.h"
#include "ui/main_window.h"
#include "ui/qt_prompter.h"
#include "ui/window_frontend.h"

// moc cannot read the raw string of the fake tools' script.
#ifndef Q_MOC_RUN
#include "pipeline/fake_tools.h"
#endif

extern char** environ;

namespace dp::ui {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

int RunWindow(int argc, char** argv) {
  QApplication app(argc, argv);
  RunState& run = Run();
  const auto store_file = Store::DefaultFile();
  auto store = Store::Open(store_file);
  if (!store) return 2;
  StartGroupRecord(store_file.parent_path() / kGroupRecordName);
  QtPrompter prompter;
  WindowFrontend frontend;
  LogindPower power;
  QueueControl control(*store, Jobs(), run, CurrentSettings(), frontend, power, prompter);
  PipelineRunner runner(control, Jobs(), run, CurrentSettings(), frontend);
  control.set_runner(&runner);
  MainWindow window(*store, CurrentSettings(), Jobs(), run, prompter, control);
  frontend.set_window(&window);
  prompter.set_parent(&window);
  window.show();
  window.Start();
  QTimer::singleShot(0, &window, [&window] {
    if (auto* go = window.findChild<QPushButton*>(QStringLiteral("PANEL_GO"))) go->click();
  });
  const int rc = app.exec();
  control.Shutdown();
  return rc;
}

// Reaps this test's children until none is left (true) or `limit` has
// passed; `ended` gets each one's wait status.
bool ReapAll(std::chrono::milliseconds limit, std::map<pid_t, int>& ended) {
  const auto end = Clock::now() + limit;
  for (;;) {
    int status = 0;
    const pid_t r = ::waitpid(-1, &status, WNOHANG);
    if (r > 0) {
      ended[r] = status;
      continue;
    }
    if (r < 0 && errno == ECHILD) return true;
    if (Clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

bool Killed(const std::map<pid_t, int>& ended, pid_t pid) {
  const auto it = ended.find(pid);
  return it != ended.end() && WIFSIGNALED(it->second) && WTERMSIG(it->second) == SIGKILL;
}

}  // namespace

class WindowKillTest : public QObject {
  Q_OBJECT

 private slots:
  void NothingOutlivesTheKilledWindow() {
    QVERIFY(::prctl(PR_SET_CHILD_SUBREAPER, 1) == 0);
    test::TempDir root;
    const test::FakeTools fakes(root / "fakes", root / "record");
    fakes.Block("x264");
    // A keep-awake helper that holds on like systemd-inhibit, and says who it is.
    fs::create_directories(root / "bin");
    const fs::path inhibit = root / "bin" / "systemd-inhibit";
    std::ofstream(inhibit)
        << "#!/bin/sh\necho $$ > \"$DP_FAKE_RECORD/inhibit.part\"\n"
           "mv \"$DP_FAKE_RECORD/inhibit.part\" \"$DP_FAKE_RECORD/inhibit\"\nexec sleep 600\n";
    ::chmod(inhibit.c_str(), 0755);
    const fs::path clip = root / "clip.m2ts";
    std::ofstream(clip) << "not read by the fakes";
    QVERIFY(test::PlantStore(root / "config" / "DiscPress" / "store.db", root / "temp", root / "out",
                             test::TwoPassJob(clip, root / "out" / "Movie")));

    // The child takes this program's environment: the fakes first on PATH.
    const char* path = std::getenv("PATH");
    setenv("PATH", ((root / "bin").string() + ":" + (path ? path : "/usr/bin:/bin")).c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
    setenv("DISCPRESS_TOOLS_DIR", (root / "fakes").c_str(), 1);
    setenv("DP_FAKE_RECORD", (root / "record").c_str(), 1);
    // Its output goes to this test's log.
    std::string self = fs::read_symlink("/proc/self/exe").string(), flag = "--window";
    char* argv[] = {self.data(), flag.data(), nullptr};
    pid_t window = 0;
    QCOMPARE(::posix_spawn(&window, self.c_str(), nullptr, nullptr, argv, environ), 0);

    const bool blocked = fakes.WaitBlocked("x264");
    std::map<pid_t, int> ended;
    if (!blocked || !fs::exists(root / "record" / "inhibit")) {
      ::kill(window, SIGKILL);
      ReapAll(std::chrono::seconds(3), ended);
      QFAIL("the window never reached x264");
    }
    const pid_t x264 = fakes.GroupOf("x264");
    const pid_t helper = std::stoi(test::ReadText(root / "record" / "inhibit"));
    QCOMPARE(::kill(window, SIGKILL), 0);
    const bool none_left = ReapAll(std::chrono::seconds(3), ended);
    if (!none_left) {
      // Leave nothing behind for the next test, then fail.
      for (pid_t pid : {x264, helper}) ::kill(pid, SIGKILL);
      ReapAll(std::chrono::seconds(3), ended);
    }
    ::prctl(PR_SET_CHILD_SUBREAPER, 0);
    QVERIFY2(none_left, "a child of the killed window outlived it");
    QVERIFY(Killed(ended, window));
    QVERIFY2(Killed(ended, x264), "the encoder dies with the window");
    QVERIFY2(Killed(ended, helper), "the keep-awake helper dies with the window");
  }
};

}  // namespace dp::ui

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--window") == 0) return dp::ui::RunWindow(argc, argv);
  QCoreApplication app(argc, argv);
  dp::ui::WindowKillTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "window_kill_test.moc"
