// The main window: source and target controls, the queue tree and its
// buttons, the progress bar, the menus.
#pragma once

#include <QMainWindow>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/prompter.h"
#include "app/run_state.h"
#include "app/settings.h"
#include "platform/store.h"
#include "queue/job_queue.h"
#include "queue/queue_control.h"
#include "queue/run_progress_source.h"
#include "ui/progress_view.h"
#include "ui/source_panel.h"
#include "ui/target_panel_view.h"
#include "ui/window_source_view.h"

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTimer;
class QTreeWidget;

namespace dp::ui {

class ScanBitratesRun;
class SourceOpening;

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  MainWindow(Store& store, Settings& settings, JobQueue& queue, RunState& run, Prompter& prompter,
             QueueControl& control);
  ~MainWindow() override;

  // Settings, their mark on the window, the stored queue and its view, in
  // that order. Never starts the queue.
  void Start();
  // Rebuilds the queue tree from the records and sets the queue buttons.
  void ActualitzaLlista();
  // What stops a running job (queue control's by default).
  void set_stop_job(std::function<void()> fn) { stop_job_ = std::move(fn); }
  // The desktop session ends: stop a running job without a question, quit.
  void OnSessionEnding();
  // Another start asked for this window.
  void BringToFront();

  void MenuShutdown();
  void MenuSound();
  void MenuX264Log();
  // One of the six naming styles (item = Scrape value), stored at once.
  void MenuScrape(int item);
  // The Settings dialog and the About box, modal.
  void CallMenuSettings();
  void CallMenuAbout();

  // The queue's news, on this thread.
  void ShowRunState(bool running);
  void ResetProgressDisplay();
  void SelectQueueSlot(int slot);
  void ShowStepStart(const QString& label);
  void ShowStatusText(const QString& text);
  void ShowJobDone();
  // One tick of the progress monitor (the status timer).
  void CallTimerStatus();

  // The two open buttons and their menu items: a picker, then the opening
  // on its own thread. Refused while an opening runs.
  void OpenBDMVfolder();
  void OpenVideoFile();
  // Opens a dropped file or folder as its button would.
  void OpenDropped(const std::vector<std::string>& paths);
  // A file or folder named on the command line, opened as a drop.
  void OpenFromCommandLine(const std::string& path);
  bool SourceOpeningRuns() const;
  // The opened source's state; the opening's worker owns it while it runs.
  SourceState& source_state();
  // The target settings' part in opening a source.
  void set_target_hooks(TargetHooks hooks) { target_hooks_ = std::move(hooks); }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void BuildControls();
  void BuildMenus();
  void ApplySettingsToWindow();
  void UpdateQueueButtons();
  void UpdateQueueButtons(const JobSlots& jobs);
  void RefreshTitle();
  void ShowQueueMenu(const QPoint& where);
  void BuildSourceOpening();
  void ShowOpeningRuns(bool running);
  // PANEL_MODE3D: the 3D popup again for the loaded source.
  void CallButtonMode3D();
  // PANEL_IMDB: the chosen title's TMDb page in the desktop's browser.
  void CallGoImdb();
  // PANEL_ADD: the job into the queue, the queue stored, the window cleared.
  void CallAddJob();
  // PANEL_SCAN, and Add to Queue's request to scan first.
  void ScanBitrates();
  int Selected() const;

  Store& store_;
  Settings& settings_;
  JobQueue& queue_;
  RunState& run_;
  Prompter& prompter_;
  QueueControl& control_;
  RunProgressSource progress_source_;
  std::unique_ptr<BarProgressDisplay> progress_display_;
  std::function<void()> stop_job_;
  bool session_ending_ = false;

  QComboBox* media_ = nullptr;
  QComboBox* presets_ = nullptr;
  QLabel* bitrate_label_ = nullptr;
  QSpinBox* bitrate_ = nullptr;
  QTreeWidget* queue_tree_ = nullptr;
  QPushButton* go_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QPushButton* clear_ = nullptr;
  QPushButton* up_ = nullptr;
  QPushButton* down_ = nullptr;
  QPushButton* delete_ = nullptr;
  QLabel* bar_label_ = nullptr;
  QProgressBar* bar_ = nullptr;
  QLabel* status_ = nullptr;
  QTimer* timer_ = nullptr;
  QAction* shutdown_action_ = nullptr;
  QAction* sound_action_ = nullptr;
  QAction* x264_log_action_ = nullptr;
  QList<QAction*> scrape_actions_;
  QAction* open_video_action_ = nullptr;
  QAction* open_bdmv_action_ = nullptr;

  SourceWidgets source_widgets_;
  TargetWidgets target_widgets_;
  TargetPanelView* target_view_ = nullptr;  // a child of the window
  TargetHooks target_hooks_;
  std::unique_ptr<WindowSourceView> source_view_;
  std::unique_ptr<ScanBitratesRun> scan_;   // reads the opening's state
  std::unique_ptr<SourceOpening> opening_;  // goes first: its worker may still call the view
};

}  // namespace dp::ui
