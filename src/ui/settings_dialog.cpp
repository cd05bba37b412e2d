#include "ui/settings_dialog.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <array>

#include "app/version.h"
#include "lang/iso639.h"
#include "platform/run_program.h"
#include "ui/mnemonic.h"
#include "util/text.h"

namespace dp::ui {
namespace {

constexpr std::array<const char*, 9> kMediaLabels = {
    "AVCHD BD5 (4.7 GB)", "AVCHD BD9 (8.5 GB)",  "AVCHD USB (4.0 GB)",
    "AVCHD BD25 (25 GB)", "AVCHD (custom size)", "AVCHD (CRF mode)",
    "BD-50 (only remux)", "MKV (CRF mode)",      "MKV (only remux)"};
constexpr std::array<const char*, 10> kPresetLabels = {
    "ultrafast (high speed)", "superfast", "veryfast", "faster",   "fast",
    "medium (x264 default)",  "slow",      "slower",   "veryslow", "placebo (high quality)"};
constexpr std::array<const char*, 12> kCrfLabels = {"0 (lossless compression)",
                                                    "1 (untouched/only remux)",
                                                    "16.0 (high quality)",
                                                    "17.0",
                                                    "18.0",
                                                    "19.0",
                                                    "20.0 (default/medium)",
                                                    "21.0",
                                                    "22.0",
                                                    "23.0",
                                                    "24.0",
                                                    "25.0 (high compression)"};
constexpr std::array<int, 12> kCrfValues = {0, 1, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25};

constexpr char kDivxTip[] =
    "Enforces some encoding options to ensure full compatibility with \"DivX Plus HD\" certified devices:\n"
    "No open-gop and --vbv-maxrate 20000 --vbv-bufsize 25000 --level 4.0 --bframes 3 --keyint <4*FPS>\n"
    "However, the generated files will be slightly bigger (5-7%) for the same quality.";
constexpr char kX265Tip[] =
    "MKV's encoded with x265 (HEVC) play only on players that can decode HEVC,\n"
    "and x265 needs much more CPU time than x264 for the same file.";

enum SubsRow { kFontRow, kSizeRow, kColorRow };

template <typename W>
W* Named(W* w, const char* name) {
  w->setObjectName(QString::fromLatin1(name));
  return w;
}

QString Q(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<int>(text.size())); }
std::string S(const QString& text) { return text.toStdString(); }

void Select(QComboBox* ring, const QVariant& value) {
  const int index = ring->findData(value);
  if (index >= 0) ring->setCurrentIndex(index);
}

QSpinBox* Spin(const char* name, int max) {
  auto* spin = Named(new QSpinBox, name);
  spin->setRange(0, max);
  return spin;
}

QColor ColorOf(std::uint32_t ref) {
  return QColor(static_cast<int>(ref & 0xFF), static_cast<int>((ref >> 8) & 0xFF),
                static_cast<int>((ref >> 16) & 0xFF));
}

std::uint32_t RefOf(const QColor& c) {
  return static_cast<std::uint32_t>(c.red()) | static_cast<std::uint32_t>(c.green()) << 8 |
         static_cast<std::uint32_t>(c.blue()) << 16;
}

bool ParseHex(const QString& text, std::uint32_t& out) {
  bool ok = false;
  const uint v = text.trimmed().toUInt(&ok, 16);  // takes the "0x" prefix
  if (ok) out = v;
  return ok;
}

}  // namespace

std::string FolderProblem(const std::string& path) {
  const QFileInfo info(Q(path));
  if (path.empty()) return "No folder is given.";
  if (!info.exists()) return {};
  if (!info.isDir()) return Format("'%s' is not a folder.", path.c_str());
  if (!info.isWritable()) return Format("The folder '%s' cannot be written.", path.c_str());
  return {};
}

std::string SoundProblem(const std::string& path) {
  if (path.empty()) return {};
  QFile file(Q(path));
  if (!file.open(QIODevice::ReadOnly)) return Format("The sound file '%s' cannot be read.", path.c_str());
  const QByteArray head = file.read(12);
  if (head.size() < 12 || !head.startsWith("RIFF") || head.mid(8, 4) != "WAVE")
    return Format("'%s' is not a WAV sound file.", path.c_str());
  return {};
}

SettingsDialog::SettingsDialog(QWidget* parent, Store& store, Settings& settings, Prompter& prompter,
                               std::function<void()> reapply)
    : QDialog(parent), store_(store), settings_(settings), prompter_(prompter), reapply_(std::move(reapply)) {
  setObjectName(QStringLiteral("PANEL_PREF"));
  setWindowTitle(QStringLiteral("Settings"));
  setModal(true);
  Build();
  UpdatePanelSettings();
}

void SettingsDialog::Build() {
  auto* root = new QVBoxLayout(this);
  auto* grid = new QGridLayout;
  int row = 0;
  auto label = [&](const char* text, int col = 0) {
    grid->addWidget(new QLabel(QString::fromUtf8(text)), row, col);
  };
  auto folder_row = [&](const char* text, QLineEdit*& field, const char* name, const char* button_name,
                        const char* title) {
    label(text);
    field = Named(new QLineEdit, name);
    field->setMaxLength(static_cast<int>(sizeof settings_.TempPath) - 1);
    auto* line = new QHBoxLayout;
    line->addWidget(field, 1);
    auto* pick = Named(new QPushButton(QStringLiteral("...")), button_name);
    connect(pick, &QPushButton::clicked, this, [this, &field, title] { CallSelectFolder(field, title); });
    line->addWidget(pick);
    grid->addLayout(line, row++, 1, 1, 4);
  };
  folder_row("Temp Folder", temp_, "PANEL_PREF_TEMP_FOLDER", "PANEL_PREF_OPEN_TEMP",
             "Select a temporary folder:");
  folder_row("Output Folder", out_, "PANEL_PREF_OUT_FOLDER", "PANEL_PREF_OPEN_OUT",
             "Select a folder for output:");

  audio_ = Named(new QComboBox, "PANEL_PREF_AUDIO");
  subt_ = Named(new QComboBox, "PANEL_PREF_SUBT");
  for (const PreferredLanguage& lang : PreferredLanguages())
    for (QComboBox* ring : {audio_, subt_}) ring->addItem(Q(lang.label), Q(lang.value));
  label("Preferred Audio Language");
  grid->addWidget(audio_, row++, 1, 1, 2);
  label("Preferred Subtitle Language");
  grid->addWidget(subt_, row, 1, 1, 2);
  forced_ = Named(new QCheckBox(QStringLiteral("Only forced")), "PANEL_PREF_FORCED");
  grid->addWidget(forced_, row, 3);
  no_subtitle_ = Named(new QCheckBox(QStringLiteral("No subtitles")), "PANEL_PREF_NO_SUBTITLE");
  connect(no_subtitle_, &QCheckBox::toggled, this, &SettingsDialog::CallPrefNoSubt);
  grid->addWidget(no_subtitle_, row++, 4);

  media_ = Named(new QComboBox, "PANEL_PREF_MEDIA");
  for (std::size_t i = 0; i < kMediaLabels.size(); ++i)
    media_->addItem(QString::fromLatin1(kMediaLabels[i]), static_cast<int>(i));
  label("Preferred Media");
  grid->addWidget(media_, row, 1, 1, 2);
  label("Custom Media Size", 3);
  auto* custom_row = new QHBoxLayout;
  custom_media_ = Spin("PANEL_PREF_CUSTOM_MEDIA", 10000000);
  custom_row->addWidget(custom_media_, 1);
  custom_row->addWidget(new QLabel(QStringLiteral("(MB)")));
  grid->addLayout(custom_row, row++, 4);

  presets_ = Named(new QComboBox, "PANEL_PREF_PRESETS");
  for (const char* item : kPresetLabels) {
    const QString text = QString::fromLatin1(item);
    presets_->addItem(text, text.section(QLatin1Char(' '), 0, 0));
  }
  label("x264 Preset (speed vs. quality)");
  grid->addWidget(presets_, row++, 1, 1, 2);
  crf_ = Named(new QComboBox, "PANEL_PREF_CRF");
  for (std::size_t i = 0; i < kCrfLabels.size(); ++i)
    crf_->addItem(QString::fromLatin1(kCrfLabels[i]), kCrfValues[i]);
  label("Preferred CRF (for MKV/AVCHD crf mode)");
  grid->addWidget(crf_, row++, 1, 1, 2);

  auto check = [&](QCheckBox*& box, const char* name, const char* text, const char* tip = nullptr) {
    box = Named(new QCheckBox(QString::fromUtf8(text)), name);
    if (tip) box->setToolTip(QString::fromUtf8(tip));
    grid->addWidget(box, row++, 0, 1, 5);
  };
  check(down16_, "PANEL_PREF_DOWN16", "Downconvert 24 bits audio to 16 bits");
  check(down6_, "PANEL_PREF_DOWN6", "Downmix 6.1 or 7.1 channels to 5.1 channels");
  check(flac_, "PANEL_PREF_FLAC", "Default FLAC audio for MKV output");
  check(divx_, "PANEL_PREF_DIVX_PLUS_HD", "Encodes MKV's compatible with DivX Plus HD certified devices",
        kDivxTip);
  check(x265_, "PANEL_PREF_X265", "Use x265 (HEVC) to encode MKV's", kX265Tip);

  label("Sound to play when finish a job");
  sound_ = Named(new QLineEdit, "PANEL_PREF_SOUND");
  sound_->setMaxLength(static_cast<int>(sizeof settings_.SoundPath) - 1);
  auto* sound_buttons = new QHBoxLayout;
  sound_buttons->addWidget(sound_, 1);
  auto* pick_sound = Named(new QPushButton(QStringLiteral("...")), "PANEL_PREF_OPEN_SOUND");
  connect(pick_sound, &QPushButton::clicked, this, &SettingsDialog::CallSelectSoundFile);
  auto* play = Named(new QPushButton(QStringLiteral("Play")), "PANEL_PREF_PLAY_SOUND");
  connect(play, &QPushButton::clicked, this, &SettingsDialog::CallPlaySound);
  sound_buttons->addWidget(pick_sound);
  sound_buttons->addWidget(play);
  grid->addLayout(sound_buttons, row++, 1, 1, 4);
  root->addLayout(grid);

  auto* subs_box =
      new QGroupBox(QStringLiteral("Subtitles settings for SRT to PGS conversion (convert from MKV only)"));
  auto* sg = new QGridLayout(subs_box);
  subs_ = Named(new QTableWidget(3, 1), "PANEL_PREF_SUBS");
  subs_->setVerticalHeaderLabels({QStringLiteral("Font"), QStringLiteral("Size"), QStringLiteral("Color")});
  subs_->horizontalHeader()->hide();
  subs_->horizontalHeader()->setStretchLastSection(true);
  subs_->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  for (int r = 0; r < 3; ++r) subs_->setItem(r, 0, new QTableWidgetItem);
  subs_->setFixedHeight(subs_->verticalHeader()->length() + 2 * subs_->frameWidth());
  sg->addWidget(subs_, 0, 0, 3, 1);
  auto* set_font = Named(new QPushButton(Mnemonic("Set __Font")), "PANEL_PREF_FONT");
  connect(set_font, &QPushButton::clicked, this, &SettingsDialog::CallSetFont);
  auto* reset = Named(new QPushButton(Mnemonic("Reset __default")), "PANEL_PREF_RESET");
  connect(reset, &QPushButton::clicked, this, &SettingsDialog::CallResetFont);
  sg->addWidget(set_font, 0, 1);
  sg->addWidget(reset, 1, 1);
  auto* numbers = new QHBoxLayout;
  border_ = Spin("PANEL_PREF_BORDER", 100);
  offset_ = Spin("PANEL_PREF_OFFSET", 10000);
  numbers->addWidget(new QLabel(QStringLiteral("Font border")));
  numbers->addWidget(border_);
  numbers->addWidget(new QLabel(QStringLiteral("Bottom offset")));
  numbers->addWidget(offset_);
  numbers->addStretch(1);
  sg->addLayout(numbers, 3, 0, 1, 2);
  sg->setColumnStretch(0, 1);
  root->addWidget(subs_box);

  auto* buttons = new QHBoxLayout;
  auto* save = Named(new QPushButton(Mnemonic("__Save")), "PANEL_PREF_SAVE");
  auto* cancel = Named(new QPushButton(Mnemonic("__Cancel")), "PANEL_PREF_CANCEL");
  auto* defaults = Named(new QPushButton(Mnemonic("__Defaults")), "PANEL_PREF_DEFAULT");
  save->setDefault(true);
  connect(save, &QPushButton::clicked, this, &SettingsDialog::CallSettingsSave);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(defaults, &QPushButton::clicked, this, &SettingsDialog::CallSettingsDefault);
  buttons->addStretch(1);
  for (QPushButton* b : {save, cancel, defaults}) buttons->addWidget(b);
  root->addLayout(buttons);
}

void SettingsDialog::UpdatePanelSettings() {
  const Settings& s = settings_;
  temp_->setText(Q(FieldText(s.TempPath)));
  out_->setText(Q(FieldText(s.OutPath)));
  Select(audio_, Q(FieldText(s.AudioLang)));
  Select(subt_, Q(FieldText(s.SubtitleLang)));
  forced_->setChecked(s.ForcedSubtitle != 0);
  no_subtitle_->setChecked(s.NoSubtitle != 0);
  Select(media_, s.Media);
  custom_media_->setValue(s.CustomMedia);
  Select(presets_, Q(FieldText(s.Preset)));
  Select(crf_, s.CRF);
  down16_->setChecked(s.Down16 != 0);
  down6_->setChecked(s.Down6 != 0);
  flac_->setChecked(s.UseFlac != 0);
  divx_->setChecked(s.DivXPlusHD != 0);
  x265_->setChecked(s.UseX265 != 0);
  sound_->setText(Q(FieldText(s.SoundPath)));
  subs_->item(kFontRow, 0)->setText(Q(FieldText(s.FontName)));
  subs_->item(kSizeRow, 0)->setText(QString::number(s.FontSize));
  SetColorCell(s.FontColor);
  border_->setValue(s.FontBorder);
  offset_->setValue(s.FontBottomOffset);
  CallPrefNoSubt();
}

void SettingsDialog::CallPrefNoSubt() {
  const bool on = no_subtitle_->isChecked();
  forced_->setEnabled(!on);
  subt_->setEnabled(!on);
}

void SettingsDialog::SetColorCell(std::uint32_t color) {
  QTableWidgetItem* cell = subs_->item(kColorRow, 0);
  cell->setText(Q(Format("0x%08X", color)));
  const QColor c = ColorOf(color);
  cell->setBackground(c);
  cell->setForeground(c.lightness() > 128 ? Qt::black : Qt::white);
}

std::string SettingsDialog::ReadControls(Settings& s) const {
  auto text = [&](const char* name, const QString& value) -> std::string {
    const SettingInfo* info = FindSetting(name);
    if (SetSettingText(s, *info, S(value))) return {};
    return Format("The %s value is too long.", name);
  };
  auto ring = [](QComboBox* r, auto& field) {
    if (r->currentIndex() >= 0) field = r->currentData().toInt();
  };
  std::string why;
  for (auto [name, value] :
       {std::pair{"TempPath", temp_->text()}, std::pair{"OutPath", out_->text()},
        std::pair{"SoundPath", sound_->text()}, std::pair{"FontName", subs_->item(kFontRow, 0)->text()}})
    if (why.empty()) why = text(name, value);
  if (why.empty() && audio_->currentIndex() >= 0) why = text("AudioLang", audio_->currentData().toString());
  if (why.empty() && subt_->currentIndex() >= 0) why = text("SubtitleLang", subt_->currentData().toString());
  if (why.empty() && presets_->currentIndex() >= 0) why = text("Preset", presets_->currentData().toString());
  if (!why.empty()) return why;
  s.ForcedSubtitle = forced_->isChecked();
  s.NoSubtitle = no_subtitle_->isChecked();
  ring(media_, s.Media);
  s.CustomMedia = custom_media_->value();
  ring(crf_, s.CRF);
  s.Down16 = down16_->isChecked();
  s.Down6 = down6_->isChecked();
  s.UseFlac = flac_->isChecked();
  s.DivXPlusHD = divx_->isChecked();
  s.UseX265 = x265_->isChecked();
  bool size_ok = false;
  s.FontSize = subs_->item(kSizeRow, 0)->text().trimmed().toInt(&size_ok);
  if (!size_ok || s.FontSize <= 0) return "The subtitle font size must be a whole number above 0.";
  if (!ParseHex(subs_->item(kColorRow, 0)->text(), s.FontColor))
    return "The subtitle colour must be a hexadecimal number such as 0x00FFFFFF.";
  s.FontBorder = border_->value();
  s.FontBottomOffset = offset_->value();
  if (s.CustomMedia <= 0) return "The custom media size must be at least 1 MB.";
  // Only what the user changed is judged: a stored default that is gone
  // (the program's own sound, say) must not block saving.
  for (auto [path, was] :
       {std::pair{s.TempPath, settings_.TempPath}, std::pair{s.OutPath, settings_.OutPath}})
    if (std::string_view(path) != was)
      if (std::string p = FolderProblem(path); !p.empty()) return p;
  if (std::string_view(s.SoundPath) == settings_.SoundPath) return {};
  return SoundProblem(s.SoundPath);
}

bool SettingsDialog::CallSettingsSave() {
  Settings next = settings_;
  if (const std::string why = ReadControls(next); !why.empty()) {
    prompter_.Ask("WARNING", why, Buttons::kOk);
    return false;
  }
  settings_ = next;
  accept();
  EscriuRegistre(store_, settings_);
  if (reapply_) reapply_();
  return true;
}

void SettingsDialog::CallSettingsDefault() {
  LoadDefaults(settings_);
  GetSystemLanguage(settings_);
  CheckFolders(store_, settings_, &prompter_);
  UpdatePanelSettings();
  EscriuRegistre(store_, settings_);
  if (reapply_) reapply_();
}

void SettingsDialog::CallResetFont() {
  subs_->item(kFontRow, 0)->setText(QStringLiteral("Arial"));
  subs_->item(kSizeRow, 0)->setText(QStringLiteral("65"));
  SetColorCell(0x00FFFFFF);
  border_->setValue(2);
  offset_->setValue(24);
}

void SettingsDialog::CallSelectFolder(QLineEdit* field, const char* title) {
  const QString dir =
      QFileDialog::getExistingDirectory(parentWidget(), QString::fromLatin1(title), field->text());
  if (dir.isEmpty()) return;
  // A folder the program cannot write to would fail every job later.
  if (const std::string why = FolderProblem(S(dir)); !why.empty()) {
    prompter_.Ask("WARNING", why, Buttons::kOk);
    return;
  }
  field->setText(dir);
}

void SettingsDialog::CallSelectSoundFile() {
  const QString file =
      QFileDialog::getOpenFileName(this, QStringLiteral("Select a Sound File"), sound_->text(),
                                   QStringLiteral("Sound Files (wav) (*.wav)"));
  if (const std::string why = SoundProblem(S(file)); !why.empty()) {
    prompter_.Ask("WARNING", why, Buttons::kOk);
    return;
  }
  sound_->setText(file);  // cancelling empties the field
}

void SettingsDialog::CallPlaySound() {
  const std::string path = S(sound_->text());
  if (path.empty()) return;
  if (const std::string why = SoundProblem(path); !why.empty()) {
    prompter_.Ask("WARNING", why, Buttons::kOk);
    return;
  }
  // Played by a child so the dialog never waits; absent players stay silent.
  if (!StartDetached({"paplay", path})) StartDetached({"aplay", "-q", path});
}

void SettingsDialog::CallSetFont() {
  QFont initial(subs_->item(kFontRow, 0)->text());
  initial.setPointSize(std::max(1, subs_->item(kSizeRow, 0)->text().toInt()));
  bool ok = false;
  const QFont font = QFontDialog::getFont(&ok, initial, this, QStringLiteral("Font"));
  if (!ok) return;
  subs_->item(kFontRow, 0)->setText(font.family());
  subs_->item(kSizeRow, 0)->setText(QString::number(font.pointSize()));
  std::uint32_t color = 0x00FFFFFF;
  ParseHex(subs_->item(kColorRow, 0)->text(), color);
  // The font picker has no colour of its own: the colour picker follows it.
  const QColor chosen = QColorDialog::getColor(ColorOf(color), this, QStringLiteral("Font colour"));
  if (chosen.isValid()) SetColorCell(RefOf(chosen));
}

}  // namespace dp::ui
