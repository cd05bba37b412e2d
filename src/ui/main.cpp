// The desktop program's entry: companion files, one instance, the window,
// the stored settings and queue, the event loop.
#include <langinfo.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QIcon>
#include <QMessageBox>
#include <QTimer>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "app/run_state.h"
#include "app/settings.h"
#include "app/startup.h"
#include "app/version.h"
#include "pipeline/worker.h"
#include "platform/locale.h"
#include "platform/paths.h"
#include "platform/power.h"
#include "platform/process_groups.h"
#include "platform/store.h"
#include "queue/job_queue.h"
#include "queue/queue_control.h"
#include "ui/main_window.h"
#include "ui/qt_prompter.h"
#include "ui/session_end_watch.h"
#include "ui/single_instance.h"
#include "ui/update_notice.h"
#include "ui/update_query_mode.h"
#include "ui/window_frontend.h"

namespace {

// Outside libraries convert text by LC_CTYPE: keep it UTF-8.
void EnsureUtf8Ctype() {
  const char* codeset = nl_langinfo(CODESET);
  if (!codeset || std::strcmp(codeset, "UTF-8") != 0) std::setlocale(LC_CTYPE, "C.UTF-8");
}

void Tell(const char* text) {
  QMessageBox::information(nullptr, QString::fromLatin1(dp::program_name), QString::fromUtf8(text));
}

}  // namespace

int main(int argc, char** argv) {
  QElapsedTimer since_start;
  since_start.start();
  QApplication app(argc, argv);
  dp::UseCNumericLocale();  // Qt took the whole locale from the environment
  QApplication::setApplicationName(QString::fromLatin1(dp::program_name));
  QApplication::setApplicationVersion(QString::fromLatin1(dp::program_version));
  // The installed icon and desktop entry, for the window, the tray notice and
  // the desktop's grouping of windows.
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("discpress")));
  QGuiApplication::setDesktopFileName(QStringLiteral("discpress"));
  EnsureUtf8Ctype();

  if (!dp::CheckIntegrity(dp::ProgramDir())) {
    Tell(dp::kMissingFilesText);
    return -1;
  }
  dp::RunState& run = dp::Run();
  run.is_64bit = dp::DetectSystem64Bit();
  if (const std::optional<int> code = dp::ui::RunUpdateQueryMode(argc, argv, run.is_64bit)) return *code;

  const auto store_file = dp::Store::DefaultFile();
  dp::ui::SingleInstance instance(QString::fromStdString(store_file.parent_path().string()),
                                  QString::fromLatin1(dp::program_name));
  if (!instance.Acquire()) {
    Tell(dp::kAnotherInstanceText);
    return 0;
  }

  auto store = dp::Store::Open(store_file);
  if (!store) return -1;
  // What a killed run left running ends before the window can start a job.
  dp::StartGroupRecord(store_file.parent_path() / dp::kGroupRecordName);

  dp::ui::QtPrompter prompter;
  dp::ui::WindowFrontend frontend;
  dp::LogindPower power;
  dp::QueueControl control(*store, dp::Jobs(), run, dp::CurrentSettings(), frontend, power, prompter);
  dp::PipelineRunner runner(control, dp::Jobs(), run, dp::CurrentSettings(), frontend);
  control.set_runner(&runner);
  dp::ui::MainWindow window(*store, dp::CurrentSettings(), dp::Jobs(), run, prompter, control);
  frontend.set_window(&window);
  prompter.set_parent(&window);
  instance.set_on_activate([&window] { window.BringToFront(); });
  dp::ui::SessionEndWatch session_end([&window] { window.OnSessionEnding(); },
                                      [&window] { return window.isVisible(); });

  window.show();
  window.Start();
  dp::ui::UpdateNotice update(run, [&control] { control.StopJob(); });
  update.Start(run.is_64bit, dp::CurrentSettings().machine_id);
  // A file or folder named on the command line opens once the loop runs.
  if (argc > 1 && std::strncmp(argv[1], "/che", 4) != 0)
    QTimer::singleShot(0, &window,
                       [&window, path = std::string(argv[1])] { window.OpenFromCommandLine(path); });

  // For the start-up benchmark: report the time to a shown, filled window.
  if (std::getenv("DISCPRESS_STARTUP_PROBE")) {
    QTimer::singleShot(0, &window, [&] {
      std::printf("startup_ms %lld\n", static_cast<long long>(since_start.elapsed()));
      std::fflush(stdout);
      QApplication::quit();
    });
  }
  const int rc = app.exec();
  update.Finish();
  control.Shutdown();  // before the runner and the window go
  return rc == 0 ? 0 : -1;
}
