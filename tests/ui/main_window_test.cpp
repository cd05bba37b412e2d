// The main window started offscreen on a planted store: title, controls,
// menus, the queue tree and the exit paths.
#include "ui/main_window.h"

#include <sqlite3.h>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSessionManager>
#include <QSpinBox>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>
#include <csignal>
#include <fstream>

#include "app/startup.h"
#include "queue/queue_store.h"
#include "support/media_gen.h"
#include "support/run_doubles.h"
#include "support/temp_dir.h"
#include "ui/advanced_dialog.h"
#include "ui/queue_tree.h"
#include "ui/session_end_watch.h"
#include "ui/source_drop.h"
#include "ui/source_pickers.h"
#include "ui/window_frontend.h"
#include "util/text.h"

namespace dp::ui {

// eac3to for a disc of two long titles: the listing, or a chapter file of
// two chapters and an empty log for a chapter run.
constexpr char kFakeEac3to[] = R"(#!/bin/bash
for a in "$@"; do
  case "$a" in -log=*) log="${a#-log=}" ;; esac
  [ "$prev" = "1:" ] && cap="$a"
  prev="$a"
done
if [ -n "$cap" ]; then
  printf 'CHAPTER01=00:00:00.000\r\nCHAPTER01NAME=One\r\nCHAPTER02=00:00:01.000\r\n' >"$cap"
  : >"$log"
else
  printf 'M2TS, 1 video track\n1) 00800.mpls, 00055.m2ts, 2:00:00\n2) 00801.mpls, 00056.m2ts, 1:50:00\n' >"$log"
fi
)";

// Takes the addresses the window gives the desktop's browser.
class UrlCatcher : public QObject {
  Q_OBJECT
 public:
  QList<QUrl> urls;
 public slots:
  void Open(const QUrl& url) { urls << url; }
};

class MainWindowTest : public QObject {
  Q_OBJECT

  struct Fixture {
    test::TempDir dir;
    std::unique_ptr<Store> store;
    Settings settings;
    JobQueue queue;
    RunState run;
    test::ScriptedPrompter prompter;
    WindowFrontend frontend;
    test::NoPower power;
    test::ScriptedRunner runner;
    std::unique_ptr<QueueControl> control;
    std::unique_ptr<MainWindow> window;

    ~Fixture() {
      control->Shutdown();
      window.reset();
    }
    // The store in `file` when given (a damaged one, say), else a new one.
    explicit Fixture(const std::filesystem::path& file = {}) {
      qputenv("HOME", QByteArray::fromStdString(dir.path().string()));
      qputenv("TMPDIR", QByteArray::fromStdString(dir.path().string()));
      qputenv("LANG", "es_ES.UTF-8");
      store = Store::Open(file.empty() ? dir / "store.db" : file);
      control = std::make_unique<QueueControl>(*store, queue, run, settings, frontend, power, prompter);
      runner.control = control.get();
      control->set_runner(&runner);
    }
    void Plant(int slot, std::int32_t status, const char* out, int media = kMediaBd5, int rate = 4500) {
      JobRecord j = EmptyJob();
      j.status = status;
      j.target_media = media;
      j.video_rate = rate;
      CopyText(j.output_path, out);
      CopyText(j.target_label, "AVCHD BD5");
      CopyText(j.x264_preset, "medium");
      store->SetBinary(JobValueName(slot), &j, sizeof j);
    }
    MainWindow& Open() {
      run.is_64bit = false;
      window = std::make_unique<MainWindow>(*store, settings, queue, run, prompter, *control);
      frontend.set_window(window.get());
      window->show();
      window->Start();
      return *window;
    }
    template <typename T>
    T* Find(const char* name) {
      return window->findChild<T*>(QString::fromLatin1(name));
    }
  };

 private slots:
  // Settings reach the window (defaults, Spanish locale); the shutdown toggle
  // shows in the title; Exit asks only while a job runs.
  void settingsTogglesAndExit() {
    Fixture f;
    MainWindow& w = f.Open();
    for (const char* name : {"PANEL_GO", "PANEL_CANCELAR", "PANEL_CLEAR", "PANEL_DELETE"})
      QVERIFY2(!f.Find<QPushButton>(name)->isEnabled(), name);
    QCOMPARE(f.Find<QComboBox>("PANEL_MEDIA")->itemText(4), QStringLiteral("10000 MB"));
    QCOMPARE(f.Find<QComboBox>("PANEL_PRESETS")->currentText(), QStringLiteral("medium"));
    QCOMPARE(std::string(FieldText(f.settings.AudioLang)), std::string("spa"));
    QVERIFY(f.Find<QMenu>("MenuScrape")->actions().at(1)->isChecked());
    f.Find<QAction>("MenuShutdown")->trigger();
    QVERIFY(f.run.shutdown_when_done);
    QVERIFY(f.Find<QAction>("MenuShutdown")->isChecked());
    QCOMPARE(
        w.windowTitle(),
        QStringLiteral("DiscPress v3.3.0   (32-bit mode)  *** SHUTDOWN COMPUTER WHEN FINISH ALL JOBS ***"));
    f.Find<QAction>("MenuShutdown")->trigger();
    QCOMPARE(w.windowTitle(), QStringLiteral("DiscPress v3.3.0   (32-bit mode)"));
    f.Find<QAction>("MenuX264Log")->trigger();  // stored at once
    Settings stored;
    ReadSettingsOnly(*f.store, stored);
    QVERIFY(f.Find<QAction>("MenuX264Log")->isChecked() && stored.SaveX264Log == 1);
    QVERIFY(!f.Find<QAction>("MenuIntelSDK")->isEnabled() &&
            !f.Find<QAction>("MenuIntelSDK")->toolTip().isEmpty());

    int stops = 0;
    w.set_stop_job([&] { ++stops; });
    QVERIFY(w.close());  // idle: quits at once, no question
    QVERIFY(f.prompter.asked.empty());

    w.show();
    f.run.current_job = 3;
    f.prompter.answers = {Answer::kNo};
    QVERIFY(!w.close());
    QCOMPARE(stops, 0);
    QCOMPARE(f.prompter.asked.size(), size_t{1});
    QCOMPARE(f.prompter.asked[0], std::string("DiscPress|") + kExitQuestion);
    f.prompter.answers = {Answer::kYes};
    QVERIFY(w.close());
    QCOMPARE(stops, 1);
  }

  void queueButtonsDriveTheQueue() {
    Fixture f;
    f.Plant(0, kStatusPending, "/out/zero");
    f.Plant(2, kStatusPending, "/out/two");
    f.Plant(3, kStatusX264Pass2, "/out/three");  // was running: comes back stopped
    f.Plant(12, kStatusFinished, "/out/twelve", kMediaMkvCrf, 20);
    f.Open();
    auto* tree = f.Find<QTreeWidget>("PANEL_COLA2");
    QCOMPARE(tree->topLevelItem(3)->text(0),
             QStringLiteral("[FINISHED]    /out/twelve (AVCHD BD5 / CRF 20 / medium)"));
    QCOMPARE(tree->topLevelItem(3)->foreground(0).color(), QColor(0, 0x80, 0));
    QCOMPARE(tree->topLevelItem(3)->child(3)->data(0, Qt::UserRole).toInt(), 12);
    auto* up = f.Find<QPushButton>("PANEL_UP");
    QVERIFY(!up->isEnabled());  // slot 0 is selected
    auto* down = f.Find<QPushButton>("PANEL_DOWN");
    auto* remove = f.Find<QPushButton>("PANEL_DELETE");
    auto* go = f.Find<QPushButton>("PANEL_GO");

    SelectSlot(tree, 2);
    QVERIFY(up->isEnabled());
    QTest::mouseClick(up, Qt::LeftButton);  // into the empty slot 1
    QCOMPARE(f.queue.Status(1), kStatusPending);
    QCOMPARE(SelectedSlot(tree), 1);
    QVERIFY(!down->isEnabled());  // slot 2 is empty now

    SelectSlot(tree, 3);
    f.prompter.answers = {Answer::kYes};
    QTest::mouseClick(remove, Qt::LeftButton);
    QCOMPARE(f.queue.Status(3), kStatusEmpty);
    QCOMPARE(f.runner.deleted, std::vector<int>{3});
    QCOMPARE(tree->topLevelItemCount(), 3);

    QTest::mouseClick(go, Qt::LeftButton);
    QTRY_VERIFY(f.control->Idle());
    QTRY_COMPARE(tree->topLevelItem(1)->text(0).left(10), QStringLiteral("[FINISHED]"));
    QTRY_COMPARE(go->text(), QStringLiteral("&Start Jobs"));  // the run state comes through a posted event
    QVERIFY(f.Find<QPushButton>("PANEL_CLEAR")->isEnabled());
    QTest::mouseClick(f.Find<QPushButton>("PANEL_CLEAR"), Qt::LeftButton);
    QCOMPARE(tree->topLevelItemCount(), 0);
  }

  // A naming style is stored at once and is the only one checked, also when
  // its checked item is clicked again. View on TMDB opens the chosen title's
  // page, nothing before a title was chosen.
  void scrapeMenuAndTmdbPage() {
    Fixture f;
    MainWindow& w = f.Open();
    const QList<QAction*> items = f.Find<QMenu>("MenuScrape")->actions();
    for (const int item : {3, 3, 0, 5}) {
      QVERIFY(items[item]->isEnabled());
      items[item]->trigger();
      Settings stored;
      ReadSettingsOnly(*f.store, stored);
      QCOMPARE(stored.Scrape, item);
      for (int i = 0; i < items.size(); ++i) QCOMPARE(items[i]->isChecked(), i == item);
    }
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "Open");
    auto* imdb = f.Find<QPushButton>("PANEL_IMDB");
    imdb->click();
    w.source_state().tmdb_path = "tv/1399";
    imdb->click();
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QCOMPARE(catcher.urls, QList<QUrl>{QUrl(QStringLiteral("https://www.themoviedb.org/tv/1399"))});
  }

  // The 3D popup shows the source's mode on its buttons; a press and OK set
  // the mode, and MVC (either eye as base) takes the BD-25 target.
  void mode3dPopupSetsTheMode() {
    Fixture f;
    MainWindow& w = f.Open();
    // clang-format off
    struct { int mode; const char* shown; const char* pressed; int chosen; int media; } rows[] = {
        {0, "MODE3D_2D", "MODE3D_SBS", 1, 0},  {2, "MODE3D_SBS", "", 2, 0},
        {4, "MODE3D_TAB", "MODE3D_2D", 0, 0},  {11, "MODE3D_MVC", "", 11, 3},
        {7, "", "MODE3D_MVC", 10, 3},
    };
    // clang-format on
    for (const auto& row : rows) {
      w.source_state().selected_mode_3d = row.mode;
      f.Find<QComboBox>("PANEL_MEDIA")->setCurrentIndex(0);
      QString shown;
      QTimer::singleShot(50, [&] {
        QWidget* m = QApplication::activeModalWidget();
        for (auto* b : m->findChildren<QPushButton*>())
          if (b->isChecked()) shown += b->objectName();
        if (*row.pressed) QTest::mouseClick(m->findChild<QPushButton*>(row.pressed), Qt::LeftButton);
        QTest::mouseClick(m->findChild<QPushButton*>(QStringLiteral("MODE3D_ACEPTAR")), Qt::LeftButton);
      });
      QMetaObject::invokeMethod(f.Find<QPushButton>("PANEL_MODE3D"), "click");
      QCOMPARE(shown, QString::fromLatin1(row.shown));
      QCOMPARE(w.source_state().selected_mode_3d, row.chosen);
      QCOMPARE(f.Find<QComboBox>("PANEL_MEDIA")->currentIndex(), row.media);
    }
  }

  // The taskbar entry follows the bar: busy at a step's start, the bar's
  // value from the step's first reading on, hidden at a reset.
  void taskbarFollowsTheBar() {
    QProgressBar bar;
    QLabel label, status;
    std::vector<std::pair<double, bool>> sent;
    BarProgressDisplay display(&bar, &label, &status,
                               LauncherProgress([&](double p, bool shown) { sent.emplace_back(p, shown); }));
    display.StepStarted(QStringLiteral("[STEP 1/2 - EAC3TO] Extract audio..."));
    display.SetBarValue(450);
    display.SetBarValue(500);
    display.Reset();
    QCOMPARE(sent, (std::vector<std::pair<double, bool>>{
                       {0, true}, {0, true}, {0.45, true}, {0.5, true}, {0, false}}));
    QCOMPARE(label.text(), QStringLiteral("Idle"));
  }

  // (Before the session end: a quit leaves nested event loops returning at
  // once.) A disc of two long titles: the folder picker, the Playlist Selection
  // dialog (title 2 chosen), the analysis off the window's thread, the panel.
  void discFolderThroughTheDialogs() {
    Fixture f;
    MainWindow& w = f.Open();
    f.settings.Scrape = 0;
    const std::filesystem::path disc = f.dir / "Movie", tool = f.dir / "eac3to/eac3to";
    std::filesystem::create_directories(disc / "BDMV/STREAM");
    std::filesystem::create_directories(tool.parent_path());
    std::ofstream(tool) << kFakeEac3to;
    std::filesystem::permissions(tool, std::filesystem::perms::owner_all);
    qputenv("DISCPRESS_TOOLS_DIR", QByteArray::fromStdString(f.dir.path().string()));
    QVERIFY(test::MakeBlurayClip(disc / "BDMV/STREAM/00056.m2ts", 2, "320x240"));

    QStringList shown;  // the dialogs as they came, with what they showed
    QTimer answer;
    connect(&answer, &QTimer::timeout, [&] {
      QWidget* m = QApplication::activeModalWidget();
      if (auto* picker = qobject_cast<QFileDialog*>(m)) {
        shown << picker->windowTitle();
        // Typed, as the picker's own folder model may not have listed the
        // disc folder yet when a selection would be made.
        picker->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
            ->setText(QString::fromStdString(disc.string()));
        QMetaObject::invokeMethod(picker, "accept");
      } else if (m && m->objectName() == QStringLiteral("PANEL_MULT")) {
        m->findChild<QListWidget*>(QStringLiteral("PANEL_MULT_PLAYLIST"))->setCurrentRow(1);
        shown << m->findChild<QLabel*>(QStringLiteral("PANEL_MULT_INFO"))->text()
              << m->findChild<QLineEdit*>(QStringLiteral("PANEL_MULT_M2TS"))->text();
        QTest::mouseClick(m->findChild<QPushButton*>(QStringLiteral("PANEL_MULT_GO")), Qt::LeftButton);
      }
    });
    answer.start(20);
    QTest::mouseClick(f.Find<QPushButton>("PANEL_OPEN_BDMV"), Qt::LeftButton);
    QVERIFY(w.SourceOpeningRuns());
    QVERIFY(!f.Find<QPushButton>("PANEL_OPEN")->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(!w.SourceOpeningRuns(), 30000);
    QCOMPARE(shown, (QStringList{QStringLiteral("Select a BLU-RAY folder:\n\n(already decrypted)"),
                                 QStringLiteral("This Blu-Ray seems to contain two or more main playlists."),
                                 QStringLiteral("00056")}));
    QCOMPARE(f.Find<QLineEdit>("PANEL_PLAYLIST")->text(), QStringLiteral("00801.mpls (1:50:00)"));
    QVERIFY(f.Find<QLineEdit>("PANEL_SOURCE")->text().endsWith(QStringLiteral("/BDMV/STREAM/00056.m2ts")));
    QVERIFY(f.Find<QComboBox>("PANEL_S_VIDEO")->itemText(0).startsWith(QStringLiteral("4113 :")));
    QCOMPARE(f.Find<QComboBox>("PANEL_S_AUDIO")->count(), 1);
    QCOMPARE(f.Find<QPlainTextEdit>("PANEL_CAPITOLS")->toPlainText(),
             QStringLiteral("00:00:00.000\n00:00:01.000\n"));
    QVERIFY(f.Find<QPushButton>("PANEL_ADD")->isEnabled());
    QVERIFY(f.Find<QPushButton>("PANEL_OPEN")->isEnabled());
    QVERIFY(!QApplication::overrideCursor());
  }

  // A dropped file opens as its button would; what no button opens is
  // refused with a word on what can be dropped.
  void dropsOpenWhatTheButtonsOpen() {
    Fixture f;
    MainWindow& w = f.Open();
    f.settings.Scrape = 0;
    QVERIFY(test::MakeMatroska(f.dir / "Film.MKV", 2, "320x240"));
    std::ofstream(f.dir / "notes.txt") << "not a film";
    for (const char* name : {"notes.txt", "Film.MKV"}) {
      QMimeData data;
      data.setUrls({QUrl::fromLocalFile(QString::fromStdString((f.dir / name).string()))});
      QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(&w, &enter);
      QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(&w, &drop);
      QTest::qWait(20);
      QTRY_VERIFY_WITH_TIMEOUT(!w.SourceOpeningRuns(), 30000);
    }
    QCOMPARE(f.prompter.asked, std::vector<std::string>{std::string("DiscPress|") + kDropRefusedText});
    QVERIFY(f.Find<QLineEdit>("PANEL_SOURCE")->text().endsWith(QStringLiteral("/Film.MKV")));
    QCOMPARE(f.Find<QLineEdit>("PANEL_OUT")->text().section(QLatin1Char('/'), -1), QStringLiteral("FILM"));
    QVERIFY(f.Find<QComboBox>("PANEL_S_AUDIO")->itemText(0).contains(QStringLiteral("English")));
    QCOMPARE(f.Find<QPlainTextEdit>("PANEL_CAPITOLS")->toPlainText().count(QLatin1Char(':')), 4);
    QVERIFY(f.Find<QPushButton>("PANEL_ADD")->isEnabled());
  }

  // A name on the command line, relative to the working folder, opens as a
  // drop would; what no button opens is refused the same way.
  void commandLineOpensAsADrop() {
    Fixture f;
    MainWindow& w = f.Open();
    f.settings.Scrape = 0;
    QVERIFY(test::MakeMatroska(f.dir / "Film.mkv", 2, "320x240"));
    std::ofstream(f.dir / "notes.txt") << "not a film";
    const QString here = QDir::currentPath();
    QVERIFY(QDir::setCurrent(QString::fromStdString(f.dir.path().string())));
    const std::string film = (std::filesystem::current_path() / "Film.mkv").string();
    w.OpenFromCommandLine("notes.txt");
    w.OpenFromCommandLine("./Film.mkv");
    QDir::setCurrent(here);
    QTRY_VERIFY_WITH_TIMEOUT(!w.SourceOpeningRuns(), 30000);
    QCOMPARE(f.prompter.asked, std::vector<std::string>{std::string("DiscPress|") + kDropRefusedText});
    QCOMPARE(f.Find<QLineEdit>("PANEL_SOURCE")->text().toStdString(), film);
    QVERIFY(f.Find<QPushButton>("PANEL_ADD")->isEnabled());
  }

  // An opened clip to "MKV crf": the CRF field and its verdict; Add to Queue
  // puts the job in the tree and clears the source.
  void crfTargetToTheQueue() {
    Fixture f;
    MainWindow& w = f.Open();
    f.settings.Scrape = 0;
    QVERIFY(test::MakeMatroska(f.dir / "Film.mkv", 2, "320x240"));
    w.OpenDropped({(f.dir / "Film.mkv").string()});
    QTRY_VERIFY_WITH_TIMEOUT(!w.SourceOpeningRuns(), 30000);
    auto* media = f.Find<QComboBox>("PANEL_MEDIA");
    QVERIFY(media->isEnabled());
    media->setCurrentIndex(kMediaMkvCrf);
    emit media->activated(kMediaMkvCrf);
    QCOMPARE(f.Find<QLabel>("PANEL_BITRATE_LABEL")->text(), QStringLiteral("     CRF     "));
    auto* bitrate = f.Find<QSpinBox>("PANEL_BITRATE");
    QCOMPARE(bitrate->value(), 20);
    auto* info = f.Find<QLabel>("PANEL_INFO");
    QCOMPARE(info->text(),
             QStringLiteral("Info: The video is recoded using a CRF 20. The quality is good :)"));
    bitrate->setValue(24);  // a typed CRF: a new verdict, the field kept
    QVERIFY(info->text().endsWith(QStringLiteral("CRF 24. The quality is regular-low :(")));
    QVERIFY(info->styleSheet().contains(QStringLiteral("800000")));
    QCOMPARE(bitrate->value(), 24);

    QTimer::singleShot(50, [] {  // Advanced Options: another tune, applied
      QWidget* d = QApplication::activeModalWidget();
      d->findChild<QComboBox*>(QStringLiteral("P_ADVANCED_TUNE"))->setCurrentIndex(3);
      QTest::mouseClick(d->findChild<QPushButton*>(QStringLiteral("P_ADVANCED_APPLY")), Qt::LeftButton);
    });
    QTest::mouseClick(f.Find<QPushButton>("PANEL_ADVANCED"), Qt::LeftButton);

    auto* out = f.Find<QLineEdit>("PANEL_OUT");
    out->selectAll();
    QTest::keyClicks(out, QString::fromStdString((f.dir / "Typed.mkv").string()));
    auto* add = f.Find<QPushButton>("PANEL_ADD");
    auto* tree = f.Find<QTreeWidget>("PANEL_COLA2");
    QTest::mouseClick(add, Qt::LeftButton);  // the remux question dismissed: nothing added
    QCOMPARE(tree->topLevelItemCount(), 0);
    QCOMPARE(w.focusWidget(), bitrate);
    f.prompter.choices = {1};  // recode, not remux, the MKV source
    QTest::mouseClick(add, Qt::LeftButton);
    QCOMPARE(tree->topLevelItemCount(), 1);
    JobQueue stored;
    LlegeixCuaRegistre(*f.store, stored);
    QCOMPARE(stored.Get(0).video_rate, 24);
    QCOMPARE(std::string(FieldText(stored.Get(0).x264_tune)), std::string("grain"));
    QCOMPARE(std::string(FieldText(stored.Get(0).output_name)), std::string("Typed"));
    QVERIFY(f.Find<QLineEdit>("PANEL_SOURCE")->text().isEmpty());
    QVERIFY(!f.Find<QPushButton>("PANEL_ADD")->isEnabled());
    QCOMPARE(w.focusWidget(), f.Find<QPushButton>("PANEL_GO"));
  }

  // Ctrl+O and Ctrl+Shift+O bring the two pickers; Delete on the list is the
  // Remove button with its question; Ctrl+Q is the exit path, asking while a
  // job runs.
  void keyboardReachesTheControls() {
    Fixture f;
    f.Plant(0, kStatusPending, "/out/zero");
    f.Plant(1, kStatusPending, "/out/one");
    MainWindow& w = f.Open();
    QStringList pickers;
    for (const QKeyCombination key : {Qt::CTRL | Qt::Key_O, Qt::CTRL | Qt::SHIFT | Qt::Key_O}) {
      QTimer::singleShot(50, [&] {
        if (auto* picker = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
          pickers << picker->windowTitle();
          picker->reject();
        }
      });
      w.activateWindow();  // again after the picker
      QVERIFY(QTest::qWaitForWindowActive(&w));
      QTest::keyClick(&w, key.key(), key.keyboardModifiers());
      QTRY_VERIFY(!w.SourceOpeningRuns());
    }
    QCOMPARE(pickers, (QStringList{QString::fromLatin1(kVideoFilePickerTitle),
                                   QString::fromLatin1(kBdFolderPickerTitle)}));

    auto* tree = f.Find<QTreeWidget>("PANEL_COLA2");
    SelectSlot(tree, 1);
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    tree->setFocus();
    f.prompter.answers = {Answer::kNo, Answer::kYes};
    QTest::keyClick(tree, Qt::Key_Delete);
    QCOMPARE(f.queue.Status(1), kStatusPending);
    QTest::keyClick(tree, Qt::Key_Delete);
    QCOMPARE(f.queue.Status(1), kStatusEmpty);
    QCOMPARE(f.queue.Status(0), kStatusPending);
    QCOMPARE(f.prompter.asked,
             std::vector<std::string>(2, std::string(kConfirmTitle) + "|" + kRemoveQuestion));

    int stops = 0;
    w.set_stop_job([&] { ++stops; });
    f.run.current_job = 0;
    f.prompter.answers = {Answer::kNo, Answer::kYes};
    // The last window closing would post a quit that ends a later test's dialogs.
    QApplication::setQuitOnLastWindowClosed(false);
    QTest::keyClick(&w, Qt::Key_Q, Qt::ControlModifier);
    QVERIFY(w.isVisible());
    QTest::keyClick(&w, Qt::Key_Q, Qt::ControlModifier);
    QVERIFY(!w.isVisible());
    QApplication::setQuitOnLastWindowClosed(true);
    QCOMPARE(stops, 1);
    QCOMPARE(f.prompter.asked.back(), std::string("DiscPress|") + kExitQuestion);
  }

  // Which Advanced Options the dialog lets the user change.
  void advancedOptionsEnabling() {
    // clang-format off
    struct { int media, rate; bool x265, is_2d, hd, untouched; bool nr, crop, resize; } rows[] = {
        {kMediaMkvCrf, 20, true, true, true, false,      true, true, true},
        {kMediaMkvCrf, 20, false, true, true, false,     false, true, true},
        {kMediaMkvCrf, 1, true, true, true, false,       true, false, false},
        {kMediaBd5, 4000, true, true, true, false,       false, false, true},
        {kMediaMkvCrf, 20, false, false, true, false,    false, false, false},
        {kMediaBdRemux, 4000, false, true, true, false,  false, false, false},
        {kMediaMkvRemux, 1, false, true, true, false,    false, false, false},
        {kMediaBd9, 4000, false, true, false, false,     false, false, false},
        {kMediaBd9, 4000, false, true, true, true,       false, false, false},
    };
    // clang-format on
    for (const auto& r : rows) {
      AdvancedOptions current;
      current.crop_height = 816;
      AdvancedDialog d(nullptr, {r.media, r.rate, r.x265, r.is_2d, r.hd, r.untouched}, current);
      const auto* crop = d.findChild<QComboBox*>(QStringLiteral("P_ADVANCED_CROP"));
      QCOMPARE(d.findChild<QSpinBox*>(QStringLiteral("P_ADVANCED_NR"))->isEnabled(), r.nr);
      QCOMPARE(crop->isEnabled(), r.crop);
      QCOMPARE(crop->currentData().toInt(), r.crop ? 816 : 0);
      QCOMPARE(d.findChild<QCheckBox*>(QStringLiteral("P_ADVANCED_RESIZE"))->isEnabled(), r.resize);
      QCOMPARE(d.findChild<QComboBox*>(QStringLiteral("P_ADVANCED_TUNE"))->currentText(),
               QString::fromLatin1(r.nr ? "none (default)" : "film (default)"));
    }
  }

  // The session manager first asks whether the session may end (a logout
  // the user can still cancel): the job runs on. The end itself — its "die",
  // which reaches the program as a quit request, or SIGTERM — stops the job
  // without a question.
  void sessionEndStopsTheJobOnlyAtTheEnd() {
    for (const bool by_signal : {false, true}) {
      Fixture f;
      f.Plant(4, kStatusPending, "/out/four");
      MainWindow& w = f.Open();
      SessionEndWatch watch([&w] { w.OnSessionEnding(); }, [&w] { return w.isVisible(); });
      f.runner.outcome[4] = test::Outcome::kBlock;
      auto* go = f.Find<QPushButton>("PANEL_GO");
      QTest::mouseClick(go, Qt::LeftButton);
      QTRY_VERIFY(f.runner.blocking);
      QTRY_COMPARE(go->text(), QStringLiteral("&Stop Jobs"));
      QVERIFY(f.Find<QTimer>("PANEL_TIMER")->isActive());
      QTRY_VERIFY(f.Find<QPushButton>("PANEL_CANCELAR")->isEnabled());

      auto* manager = qApp->findChild<QSessionManager*>();
      QVERIFY(manager);
      emit qApp->commitDataRequest(*manager);
      QTest::qWait(50);
      QVERIFY(f.runner.blocking);
      QVERIFY(w.isVisible());

      if (by_signal) {
        ::raise(SIGTERM);
      } else {
        QEvent quit(QEvent::Quit);
        QCoreApplication::sendEvent(qApp, &quit);
      }
      QTRY_VERIFY(f.control->Idle());
      QCOMPARE(f.queue.Status(4), kStatusStopped);
      QVERIFY(f.prompter.asked.empty());
      QTRY_VERIFY(!f.Find<QTimer>("PANEL_TIMER")->isActive());
      QCOMPARE(f.Find<QLabel>("PANEL_BARRA_LABEL")->text(), QStringLiteral("Idle"));
      QVERIFY(!w.isVisible());
    }
  }

  // A damaged store is set aside and said at the start; a store that then
  // stops taking changes (here a trigger stands for a full disk) is said
  // once, through the window's pop-up, however often it fails.
  void storeTroubleIsSaidOnce() {
    test::TempDir dir;
    std::ofstream(dir / "store.db") << "this is no database at all, just text that fills a page";
    Fixture f(dir / "store.db");
    f.Plant(1, kStatusPending, "/out/one");
    f.Plant(3, kStatusPending, "/out/three");
    f.Open();
    QCOMPARE(f.prompter.asked.size(), size_t{1});
    QVERIFY(f.prompter.asked[0].find("damaged") != std::string::npos);
    sqlite3* db = nullptr;
    QCOMPARE(sqlite3_open((dir / "store.db").c_str(), &db), SQLITE_OK);
    for (const char* op : {"INSERT", "UPDATE", "DELETE"}) {
      const std::string sql = std::string("CREATE TRIGGER refuse_") + op + " BEFORE " + op +
                              " ON reg_values BEGIN SELECT RAISE(ABORT, 'full'); END";
      QCOMPARE(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    }
    sqlite3_close(db);
    QVERIFY(f.control->UpJob(1));
    QVERIFY(f.control->UpJob(3));
    QTRY_COMPARE(f.prompter.asked.size(), size_t{2});
    QVERIFY(f.prompter.asked[1].find("cannot be written") != std::string::npos);
    QVERIFY(f.control->UpJob(2));
    QTest::qWait(50);
    QCOMPARE(f.prompter.asked.size(), size_t{2});
  }
};

}  // namespace dp::ui

QTEST_MAIN(dp::ui::MainWindowTest)
#include "main_window_test.moc"
