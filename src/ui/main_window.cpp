#include "ui/main_window.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSpinBox>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <filesystem>

#include "app/settings_ui.h"
#include "app/startup.h"
#include "app/version.h"
#include "queue/progress.h"
#include "queue/queue_buttons.h"
#include "queue/queue_store.h"
#include "queue/queue_view.h"
#include "ui/about_dialog.h"
#include "ui/mnemonic.h"
#include "ui/queue_tree.h"
#include "ui/scan_dialog.h"
#include "ui/settings_dialog.h"
#include "ui/source_drop.h"
#include "ui/source_opening.h"
#include "ui/source_pickers.h"
#include "ui/tmdb_page.h"

namespace dp::ui {

namespace {

constexpr const char* kPresetItems[] = {"ultrafast", "superfast", "veryfast", "faster",   "fast",
                                        "medium",    "slow",      "slower",   "veryslow", "placebo"};

template <typename W>
W* Named(W* w, const char* name) {
  w->setObjectName(QString::fromLatin1(name));
  return w;
}

QPushButton* Button(const char* name, const char* label, bool enabled = true) {
  auto* b = Named(new QPushButton(Mnemonic(label)), name);
  b->setEnabled(enabled);
  return b;
}

// A labelled control that later work brings to life; shown dimmed until then.
template <typename W>
W* Dimmed(W* w) {
  w->setEnabled(false);
  return w;
}

}  // namespace

MainWindow::MainWindow(Store& store, Settings& settings, JobQueue& queue, RunState& run, Prompter& prompter,
                       QueueControl& control)
    : store_(store),
      settings_(settings),
      queue_(queue),
      run_(run),
      prompter_(prompter),
      control_(control),
      progress_source_(control, queue, run) {
  setObjectName(QStringLiteral("PANEL"));
  stop_job_ = [this] { control_.StopJob(); };
  BuildControls();
  BuildMenus();
  BuildSourceOpening();
  progress_display_ = std::make_unique<BarProgressDisplay>(bar_, bar_label_, status_);
  RefreshTitle();
}

MainWindow::~MainWindow() {
  store_.SetWriteFailureHandler({});
  // The worker may still wait for this window: release it before the
  // widgets go, and drop its wait cursor.
  const bool running = opening_->running();
  opening_.reset();
  if (running) QApplication::restoreOverrideCursor();
}

void MainWindow::BuildControls() {
  auto* central = new QWidget(this);
  auto* root = new QVBoxLayout(central);

  // Source.
  SourceWidgets& sw = source_widgets_;
  auto* source_box = new QGroupBox(tr("Source"));
  auto* sg = new QGridLayout(source_box);
  sw.open_bdmv = Button("PANEL_OPEN_BDMV", "Open __BD Folder");
  sg->addWidget(sw.open_bdmv, 0, 0);
  sw.open_video = Button("PANEL_OPEN", "Open __Video File");
  sg->addWidget(sw.open_video, 0, 1);
  sw.source = Named(new QLineEdit, "PANEL_SOURCE");
  sw.source->setReadOnly(true);
  sw.source->setPlaceholderText(QStringLiteral("Source"));
  sg->addWidget(sw.source, 0, 2, 1, 3);
  sg->addWidget(new QLabel(QStringLiteral("Title")), 1, 0);
  auto* title_row = new QHBoxLayout;
  sw.playlist = Named(new QLineEdit, "PANEL_PLAYLIST");
  sw.playlist->setReadOnly(true);
  title_row->addWidget(sw.playlist, 1);
  sw.mode3d = Button("PANEL_MODE3D", "3D");
  sw.mode3d->setVisible(false);  // shown for 3D sources only
  title_row->addWidget(sw.mode3d);
  sg->addLayout(title_row, 1, 1, 1, 4);
  const char* rings[][2] = {
      {"PANEL_S_VIDEO", "Video"}, {"PANEL_S_AUDIO", "Audio"}, {"PANEL_S_SUB", "Subtitles"}};
  QComboBox** ring_widgets[] = {&sw.video, &sw.audio, &sw.subtitle};
  for (int i = 0; i < 3; ++i) {
    sg->addWidget(new QLabel(QString::fromLatin1(rings[i][1])), 2 + i, 0);
    *ring_widgets[i] = Dimmed(Named(new QComboBox, rings[i][0]));
    // Stream texts are long: the ring keeps the window's width.
    (*ring_widgets[i])->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    (*ring_widgets[i])->setMinimumContentsLength(20);
    sg->addWidget(*ring_widgets[i], 2 + i, 1, 1, 4);
  }
  auto* source_buttons = new QHBoxLayout;
  sw.scan = Dimmed(Button("PANEL_SCAN", "Scan Bit__rates"));
  source_buttons->addWidget(sw.scan);
  sw.advanced = Dimmed(Button("PANEL_ADVANCED", "Adva__nced..."));
  source_buttons->addWidget(sw.advanced);
  source_buttons->addStretch(1);
  sg->addLayout(source_buttons, 5, 1, 1, 4);
  sg->setColumnStretch(2, 1);
  sg->setColumnStretch(3, 1);
  root->addWidget(source_box);

  // Target.
  auto* target_box = new QGroupBox(tr("Target"));
  auto* tg = new QGridLayout(target_box);
  tg->addWidget(new QLabel(QStringLiteral("Target Media")), 0, 0);
  media_ = Dimmed(Named(new QComboBox, "PANEL_MEDIA"));
  for (const MediaItem& item : DefaultMediaItems()) media_->addItem(QString::fromStdString(item.label));
  tg->addWidget(media_, 0, 1);
  tg->addWidget(new QLabel(QStringLiteral("Target Audio")), 0, 2);
  target_widgets_.audio = Dimmed(Named(new QComboBox, "PANEL_AUDIO"));
  tg->addWidget(target_widgets_.audio, 0, 3);
  tg->addWidget(new QLabel(QStringLiteral("Target Subtitle")), 0, 4);
  target_widgets_.subtitle = Dimmed(Named(new QComboBox, "PANEL_SUBT"));
  tg->addWidget(target_widgets_.subtitle, 0, 5);
  bitrate_label_ = Named(new QLabel(QStringLiteral("Video Bitrate")), "PANEL_BITRATE_LABEL");
  tg->addWidget(bitrate_label_, 1, 0);
  bitrate_ = Dimmed(Named(new QSpinBox, "PANEL_BITRATE"));
  bitrate_->setRange(0, 1000000);
  tg->addWidget(bitrate_, 1, 1);
  tg->addWidget(new QLabel(QStringLiteral("Speed vs. Quality")), 1, 2);
  presets_ = Dimmed(Named(new QComboBox, "PANEL_PRESETS"));
  for (const char* item : kPresetItems) presets_->addItem(QString::fromLatin1(item));
  tg->addWidget(presets_, 1, 3);
  target_widgets_.presets = presets_;
  target_widgets_.bitrate_label = bitrate_label_;
  tg->addWidget(new QLabel(QStringLiteral("Output")), 2, 0);
  // The TMDb button shares the output row; hidden, the path takes it all.
  auto* out_row = new QHBoxLayout;
  sw.out = Dimmed(Named(new QLineEdit, "PANEL_OUT"));
  out_row->addWidget(sw.out, 1);
  sw.imdb = Button("PANEL_IMDB", "View on TMDB");
  sw.imdb->setVisible(false);
  out_row->addWidget(sw.imdb);
  tg->addLayout(out_row, 2, 1, 1, 5);
  tg->addWidget(new QLabel(QStringLiteral("Chapters")), 3, 0, Qt::AlignTop);
  sw.chapters = Dimmed(Named(new QPlainTextEdit, "PANEL_CAPITOLS"));
  sw.chapters->setMaximumHeight(60);
  tg->addWidget(sw.chapters, 3, 1, 1, 5);
  sw.info = Named(new QLabel, "PANEL_INFO");
  tg->addWidget(sw.info, 4, 0, 1, 5);
  sw.add = Dimmed(Button("PANEL_ADD", "__Add to Queue"));
  tg->addWidget(sw.add, 4, 5);
  sw.media = media_;
  sw.bitrate = bitrate_;
  root->addWidget(target_box);

  // Queue.
  auto* queue_box = new QGroupBox(tr("Queue"));
  auto* qv = new QVBoxLayout(queue_box);
  queue_tree_ = Named(new QTreeWidget, "PANEL_COLA2");
  queue_tree_->setHeaderHidden(true);
  // The status labels are padded to one width: show them in columns.
  queue_tree_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  queue_tree_->setColumnCount(1);
  qv->addWidget(queue_tree_);
  auto* qb = new QHBoxLayout;
  go_ = Button("PANEL_GO", "__Start Jobs", false);
  cancel_ = Button("PANEL_CANCELAR", "__Cancel Current", false);
  clear_ = Button("PANEL_CLEAR", "Clear Com__pleted", false);
  up_ = Button("PANEL_UP", "__Up", false);
  down_ = Button("PANEL_DOWN", "__Down", false);
  delete_ = Button("PANEL_DELETE", "__Remove", false);
  for (QPushButton* b : {go_, cancel_, clear_, up_, down_, delete_}) qb->addWidget(b);
  qv->addLayout(qb);
  root->addWidget(queue_box, 1);
  connect(queue_tree_, &QTreeWidget::currentItemChanged, this, [this] { UpdateQueueButtons(); });
  queue_tree_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(queue_tree_, &QTreeWidget::customContextMenuRequested, this, &MainWindow::ShowQueueMenu);
  connect(go_, &QPushButton::clicked, this, [this] { control_.CallGo(); });
  connect(cancel_, &QPushButton::clicked, this, [this] { control_.CallCancelJob(); });
  connect(clear_, &QPushButton::clicked, this, [this] {
    control_.CallClear();
    clear_->setEnabled(false);
  });
  connect(up_, &QPushButton::clicked, this, [this] { control_.UpJob(Selected()); });
  connect(down_, &QPushButton::clicked, this, [this] { control_.DownJob(Selected()); });
  connect(delete_, &QPushButton::clicked, this, [this] { control_.DeleteJob(Selected(), true); });
  // Delete on the list is the Remove button, question and all.
  auto* remove_key = new QShortcut(QKeySequence(Qt::Key_Delete), queue_tree_, nullptr, nullptr,
                                   Qt::WidgetWithChildrenShortcut);
  connect(remove_key, &QShortcut::activated, delete_, &QPushButton::click);

  // Progress and exit.
  auto* bottom = new QHBoxLayout;
  auto* progress = new QVBoxLayout;
  bar_label_ = Named(new QLabel(QStringLiteral("Idle")), "PANEL_BARRA_LABEL");
  bar_ = Named(new QProgressBar, "PANEL_BARRA");
  bar_->setRange(0, 1000);
  bar_->setValue(0);
  bar_->setTextVisible(false);
  status_ = Named(new QLabel, "PANEL_ESTAT");
  progress->addWidget(bar_label_);
  progress->addWidget(bar_);
  progress->addWidget(status_);
  bottom->addLayout(progress, 1);
  auto* exit = Button("PANEL_SALIR", "E__xit");
  connect(exit, &QPushButton::clicked, this, &QWidget::close);
  bottom->addWidget(exit, 0, Qt::AlignBottom);
  root->addLayout(bottom);

  timer_ = Named(new QTimer(this), "PANEL_TIMER");
  timer_->setInterval(500);
  connect(timer_, &QTimer::timeout, this, &MainWindow::CallTimerStatus);

  setCentralWidget(central);
  // Never taller or wider than the screen a scaled desktop leaves.
  resize(QSize(900, 760).boundedTo(screen()->availableGeometry().size()));
}

void MainWindow::BuildSourceOpening() {
  setAcceptDrops(true);
  source_view_ = std::make_unique<WindowSourceView>(this, source_widgets_, target_hooks_);
  opening_ = std::make_unique<SourceOpening>(settings_, *source_view_, prompter_);
  target_view_ = new TargetPanelView(this, settings_, opening_->state(), source_inventory, source_widgets_,
                                     target_widgets_, [this] { return SourceOpeningRuns(); });
  target_hooks_ = target_view_->Hooks();
  connect(opening_.get(), &SourceOpening::RunningChanged, this, &MainWindow::ShowOpeningRuns);
  const SourceWidgets& sw = source_widgets_;
  connect(sw.open_bdmv, &QPushButton::clicked, this, &MainWindow::OpenBDMVfolder);
  connect(sw.open_video, &QPushButton::clicked, this, &MainWindow::OpenVideoFile);
  connect(open_bdmv_action_, &QAction::triggered, this, &MainWindow::OpenBDMVfolder);
  connect(open_video_action_, &QAction::triggered, this, &MainWindow::OpenVideoFile);
  connect(sw.mode3d, &QPushButton::clicked, this, &MainWindow::CallButtonMode3D);
  connect(sw.imdb, &QPushButton::clicked, this, &MainWindow::CallGoImdb);
  // CallSourceVideo: only the first video stream can be converted.
  connect(sw.video, &QComboBox::activated, this, [this](int index) {
    if (index != 0) source_widgets_.video->setCurrentIndex(0);
    if (!SourceOpeningRuns() && target_hooks_.video_changed) target_hooks_.video_changed();
  });
  connect(sw.add, &QPushButton::clicked, this, &MainWindow::CallAddJob);
  ScanBitratesRun::Hooks hooks;
  hooks.scanned = [this](double elapsed_ms) {
    RedrawSourceRings(source_widgets_, source_inventory, elapsed_ms);
    target_view_->SourceScanned();
  };
  hooks.closed = [this] { source_widgets_.add->setFocus(); };
  hooks.busy = [this] { return SourceOpeningRuns(); };
  scan_ = std::make_unique<ScanBitratesRun>(this, opening_->state(), source_inventory, prompter_,
                                            std::move(hooks));
  connect(sw.scan, &QPushButton::clicked, this, &MainWindow::ScanBitrates);
  connect(sw.audio, &QComboBox::activated, this, [this] {
    if (!SourceOpeningRuns() && target_hooks_.audio_changed) target_hooks_.audio_changed();
  });
  connect(sw.subtitle, &QComboBox::activated, this, [this] {
    if (!SourceOpeningRuns() && target_hooks_.subtitle_changed) target_hooks_.subtitle_changed();
  });
}

bool MainWindow::SourceOpeningRuns() const { return opening_->running(); }

SourceState& MainWindow::source_state() { return opening_->state(); }

void MainWindow::ShowOpeningRuns(bool running) {
  for (QWidget* w :
       {static_cast<QWidget*>(source_widgets_.open_bdmv), static_cast<QWidget*>(source_widgets_.open_video)})
    w->setEnabled(!running);
  open_bdmv_action_->setEnabled(!running);
  open_video_action_->setEnabled(!running);
  if (running)
    QApplication::setOverrideCursor(Qt::WaitCursor);
  else
    QApplication::restoreOverrideCursor();
}

void MainWindow::OpenBDMVfolder() {
  if (SourceOpeningRuns()) return;
  std::string path = PickBdFolder(this, opening_->state().last_source_path);
  opening_->Start([path = std::move(path)](SourceOpener& opener) { opener.OpenBDMVfolder(path); });
}

void MainWindow::OpenVideoFile() {
  if (SourceOpeningRuns()) return;
  std::string path = PickVideoFile(this);
  opening_->Start([path = std::move(path)](SourceOpener& opener) { opener.OpenVideoFile(path); });
}

void MainWindow::OpenDropped(const std::vector<std::string>& paths) {
  if (SourceOpeningRuns()) return;
  if (paths.empty() || !SourceOpener::IsOpenableDrop(paths.front())) {
    prompter_.Ask(program_name, kDropRefusedText, Buttons::kOk);
    return;
  }
  opening_->Start([path = paths.front()](SourceOpener& opener) { opener.OpenDropped(path); });
}

void MainWindow::OpenFromCommandLine(const std::string& path) {
  if (path.empty()) return;
  // Drops always name a whole path; a command line may be relative to here.
  std::error_code error;
  std::filesystem::path full = std::filesystem::absolute(path, error);
  if (error) full = path;
  std::string text = full.lexically_normal().string();
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  OpenDropped({text});
}

void MainWindow::CallGoImdb() {
  if (SourceOpeningRuns()) return;
  const std::string url = TmdbPageUrl(source_state().tmdb_path);
  if (!url.empty()) QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
}

void MainWindow::CallButtonMode3D() {
  if (!SourceOpeningRuns()) source_view_->Select3DMode(source_state());
}

void MainWindow::ScanBitrates() {
  if (!SourceOpeningRuns()) scan_->ScanBitrates();
}

void MainWindow::CallAddJob() {
  if (SourceOpeningRuns()) return;
  const AddResult added = target_view_->AddJob(queue_, prompter_);
  switch (added.outcome) {
    case AddOutcome::kAdded:
      EscriuCuaRegistre(store_, queue_);
      ActualitzaLlista();
      opening_->ResetSource();
      go_->setFocus();
      return;
    case AddOutcome::kScanRequested:
      ScanBitrates();
      return;
    case AddOutcome::kStopped:
      break;
  }
  if (added.focus == AddFocus::kTargetMedia) media_->setFocus();
  if (added.focus == AddFocus::kVideoBitrate) bitrate_->setFocus();
  if (added.focus == AddFocus::kStartJobs) go_->setFocus();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls() && !SourceOpeningRuns()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  if (SourceOpeningRuns()) return;
  event->acceptProposedAction();
  const std::vector<std::string> paths = DroppedPaths(event->mimeData());
  // The message box must not hold up the drag source: answer the drop first.
  QTimer::singleShot(0, this, [this, paths] { OpenDropped(paths); });
}

void MainWindow::BuildMenus() {
  QMenu* file = menuBar()->addMenu(Mnemonic("__File"));
  file->setObjectName(QStringLiteral("MENUBAR_FILE"));
  open_video_action_ = file->addAction(Mnemonic("Open __Video file..."));
  open_video_action_->setObjectName(QStringLiteral("CallMenuOpenVideoFile"));
  open_video_action_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  open_bdmv_action_ = file->addAction(Mnemonic("Open __Blu-Ray folder..."));
  open_bdmv_action_->setObjectName(QStringLiteral("CallMenuOpenBDfolder"));
  open_bdmv_action_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
  QAction* exit = file->addAction(Mnemonic("__Exit"));
  exit->setObjectName(QStringLiteral("CallMenuExit"));
  exit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  connect(exit, &QAction::triggered, this, &QWidget::close);

  QMenu* options = menuBar()->addMenu(Mnemonic("__Options"));
  options->setObjectName(QStringLiteral("MENUBAR_OPTIONS"));
  sound_action_ = options->addAction(Mnemonic("__Play sound when finish a job"));
  sound_action_->setObjectName(QStringLiteral("MenuSound"));
  sound_action_->setCheckable(true);
  connect(sound_action_, &QAction::triggered, this, &MainWindow::MenuSound);
  shutdown_action_ = options->addAction(Mnemonic("Shut__down computer when finish all jobs"));
  shutdown_action_->setObjectName(QStringLiteral("MenuShutdown"));
  shutdown_action_->setCheckable(true);
  connect(shutdown_action_, &QAction::triggered, this, &MainWindow::MenuShutdown);
  QAction* debug = options->addAction(Mnemonic("De__bug mode (show CMD window)"));
  debug->setObjectName(QStringLiteral("MenuDebug"));
  debug->setCheckable(true);
  connect(debug, &QAction::triggered, this, [this, debug] {
    run_.debug_mode = !run_.debug_mode.load();
    debug->setChecked(run_.debug_mode.load());
  });
  x264_log_action_ = options->addAction(Mnemonic("Save x264 encode __logs in temp folder"));
  x264_log_action_->setObjectName(QStringLiteral("MenuX264Log"));
  x264_log_action_->setCheckable(true);
  connect(x264_log_action_, &QAction::triggered, this, &MainWindow::MenuX264Log);
  QMenu* scrape = options->addMenu(QStringLiteral("Scrape movie titles in TMDB"));
  scrape->setObjectName(QStringLiteral("MenuScrape"));
  for (const char* item : kScrapeItems) {
    QAction* a = scrape->addAction(QString::fromUtf8(item));
    a->setCheckable(true);
    const int value = static_cast<int>(scrape_actions_.size());
    connect(a, &QAction::triggered, this, [this, value] { MenuScrape(value); });
    scrape_actions_.append(a);
  }
  QAction* settings = options->addAction(Mnemonic("__Settings..."));
  settings->setObjectName(QStringLiteral("CallMenuSettings"));
  connect(settings, &QAction::triggered, this, &MainWindow::CallMenuSettings);

  QMenu* help = menuBar()->addMenu(Mnemonic("__Help"));
  help->setObjectName(QStringLiteral("MENUBAR_HELP"));
  help->setToolTipsVisible(true);
  QAction* web = help->addAction(Mnemonic("__DiscPress Website"));
  web->setObjectName(QStringLiteral("CallMenuWeb"));
  web->setToolTip(WebsiteUrl());
  connect(web, &QAction::triggered, this, [] { OpenWebsite(); });
  QAction* analyser = Dimmed(help->addAction(Mnemonic("__Intel Media SDK System Analyzer")));
  analyser->setObjectName(QStringLiteral("MenuIntelSDK"));
  analyser->setToolTip(QStringLiteral("The analyser is a Windows program; there is none for Linux."));
  QAction* about = help->addAction(Mnemonic("__About DiscPress..."));
  about->setObjectName(QStringLiteral("CallMenuAbout"));
  connect(about, &QAction::triggered, this, &MainWindow::CallMenuAbout);
}

void MainWindow::MenuX264Log() {
  settings_.SaveX264Log = settings_.SaveX264Log ? 0 : 1;
  x264_log_action_->setChecked(settings_.SaveX264Log != 0);
  EscriuRegistre(store_, settings_);
}

void MainWindow::MenuScrape(int item) {
  for (int i = 0; i < scrape_actions_.size(); ++i) scrape_actions_[i]->setChecked(i == item);
  settings_.Scrape = item;
  EscriuRegistre(store_, settings_);
}

void MainWindow::CallMenuSettings() {
  SettingsDialog dialog(this, store_, settings_, prompter_, [this] { target_view_->ReapplyPreferences(); });
  dialog.exec();
  // Defaults resets the menu's stored toggles too.
  const MainWindowSettings ui = AplicaSettingsUI(settings_);
  for (int i = 0; i < scrape_actions_.size(); ++i) scrape_actions_[i]->setChecked(i == ui.scrape_checked);
  x264_log_action_->setChecked(ui.save_x264_log);
}

void MainWindow::CallMenuAbout() {
  AboutDialog dialog(this);
  dialog.exec();
}

void MainWindow::Start() {
  const std::string notice = store_.TakeNotice();
  if (!notice.empty()) prompter_.Ask(program_name, notice, Buttons::kOk);
  // A store that stops taking changes is said once. The worker writes too,
  // and the handler runs with the store locked: the pop-up is posted.
  store_.SetWriteFailureHandler([this](const std::string& text) {
    QMetaObject::invokeMethod(
        this, [this, text] { prompter_.Ask(program_name, text, Buttons::kOk); }, Qt::QueuedConnection);
  });
  LlegeixRegistre(store_, settings_, &prompter_);
  ApplySettingsToWindow();
  LlegeixCuaRegistre(store_, queue_);
  ActualitzaLlista();
}

void MainWindow::ApplySettingsToWindow() {
  const MainWindowSettings ui = AplicaSettingsUI(settings_);
  target_view_->ApplySettings(ui);
  for (int i = 0; i < scrape_actions_.size(); ++i) scrape_actions_[i]->setChecked(i == ui.scrape_checked);
  x264_log_action_->setChecked(ui.save_x264_log);
}

void MainWindow::ActualitzaLlista() {
  const JobSlots jobs = queue_.Snapshot();
  const QueueView view = BuildQueueView(jobs);
  FillQueueTree(queue_tree_, view);
  clear_->setEnabled(view.clear_enabled);
  cancel_->setEnabled(view.cancel_enabled);
  go_->setEnabled(view.go_enabled);
  UpdateQueueButtons(jobs);
}

int MainWindow::Selected() const { return SelectedSlot(queue_tree_); }

void MainWindow::UpdateQueueButtons() { UpdateQueueButtons(queue_.Snapshot()); }

void MainWindow::UpdateQueueButtons(const JobSlots& jobs) {
  const QueueButtons b = ActualitzaBotonsCua(jobs, Selected(), queue_tree_->topLevelItemCount() == 0);
  if (b.remove) delete_->setEnabled(*b.remove);
  if (b.up) up_->setEnabled(*b.up);
  if (b.down) down_->setEnabled(*b.down);
}

void MainWindow::ShowQueueMenu(const QPoint& where) {
  if (queue_tree_->topLevelItemCount() == 0) return;
  if (QTreeWidgetItem* item = queue_tree_->itemAt(where)) queue_tree_->setCurrentItem(item);
  const int slot = Selected();
  if (slot < 0) return;
  const JobSlots jobs = queue_.Snapshot();
  const std::int32_t status = jobs[slot].status;
  QMenu menu(this);
  menu.setObjectName(QStringLiteral("POPUP"));
  QAction* up = menu.addAction(QStringLiteral("Move Up Queue"));
  up->setEnabled(CanMoveUp(jobs, slot));
  connect(up, &QAction::triggered, this, [this, slot] { control_.UpJob(slot); });
  QAction* down = menu.addAction(QStringLiteral("Move Down Queue"));
  down->setEnabled(CanMoveDown(jobs, slot));
  connect(down, &QAction::triggered, this, [this, slot] { control_.DownJob(slot); });
  QAction* remove = menu.addAction(QStringLiteral("Remove"));
  remove->setEnabled(IsDeletableStatus(status));
  connect(remove, &QAction::triggered, this, [this, slot] { control_.DeleteJob(slot, false); });
  QAction* remove_delete = menu.addAction(QStringLiteral("Remove and Delete Source"));
  remove_delete->setEnabled(status == kStatusFinished);
  connect(remove_delete, &QAction::triggered, this, [this, slot] { control_.RemoveAndDeleteSource(slot); });
  QAction* open_source = menu.addAction(QStringLiteral("Open Source Folder"));
  connect(open_source, &QAction::triggered, this, [this, slot] { control_.OpenSourceFolder(slot); });
  QAction* open_output = menu.addAction(QStringLiteral("Open Output Folder"));
  open_output->setEnabled(status == kStatusFinished);
  connect(open_output, &QAction::triggered, this, [this, slot] { control_.OpenOutputFolder(slot); });
  QAction* error_log = menu.addAction(QStringLiteral("View Error Log"));
  error_log->setEnabled(status == kStatusFailed);
  connect(error_log, &QAction::triggered, this, [this] { control_.ViewErrorLog(); });
  menu.exec(queue_tree_->viewport()->mapToGlobal(where));
}

void MainWindow::ShowRunState(bool running) {
  go_->setText(Mnemonic(running ? "__Stop Jobs" : "__Start Jobs"));
  if (running)
    timer_->start();
  else
    timer_->stop();
  progress_display_->RunStateChanged(running);
  ActualitzaLlista();
}

void MainWindow::ResetProgressDisplay() { progress_display_->Reset(); }

void MainWindow::SelectQueueSlot(int slot) {
  SelectSlot(queue_tree_, slot);
  UpdateQueueButtons();
}

void MainWindow::ShowStepStart(const QString& label) { progress_display_->StepStarted(label); }

void MainWindow::ShowStatusText(const QString& text) { status_->setText(text); }

void MainWindow::ShowJobDone() {
  bar_->setValue(kProgressMax);
  bar_label_->setText(QStringLiteral("Done!"));
}

void MainWindow::CallTimerStatus() { ProgressTick(progress_source_, *progress_display_); }

void MainWindow::RefreshTitle() {
  setWindowTitle(QString::fromStdString(MainWindowTitle(run_.is_64bit, run_.shutdown_when_done.load())));
}

void MainWindow::MenuShutdown() {
  run_.shutdown_when_done = !run_.shutdown_when_done.load();
  shutdown_action_->setChecked(run_.shutdown_when_done.load());
  RefreshTitle();
}

void MainWindow::MenuSound() {
  run_.sound_when_done = !run_.sound_when_done.load();
  sound_action_->setChecked(run_.sound_when_done.load());
}

void MainWindow::OnSessionEnding() {
  session_ending_ = true;
  SessionEnding(run_, stop_job_);
  close();
  QApplication::quit();
}

void MainWindow::BringToFront() {
  if (isMinimized()) showNormal();
  show();
  raise();
  activateWindow();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (!session_ending_ && !Salir(run_, prompter_, stop_job_)) {
    event->ignore();
    return;
  }
  event->accept();
}

}  // namespace dp::ui
