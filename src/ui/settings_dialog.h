// PANEL_PREF: the Settings dialog. Each control edits one setting; Save
// writes the whole block, Defaults stores the defaults at once, Cancel
// leaves the settings as they were.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "app/prompter.h"
#include "app/settings.h"
#include "platform/store.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;
class QTableWidget;

namespace dp::ui {

class SettingsDialog : public QDialog {
  Q_OBJECT
 public:
  // `reapply`: runs after the settings changed (Save, Defaults), to carry the
  // preferences to a loaded source.
  SettingsDialog(QWidget* parent, Store& store, Settings& settings, Prompter& prompter,
                 std::function<void()> reapply);

  // Copies every setting into its control.
  void UpdatePanelSettings();
  // False, with the reason told and nothing stored, when a control holds a
  // value the block cannot take.
  bool CallSettingsSave();
  void CallSettingsDefault();
  void CallResetFont();
  void CallPrefNoSubt();
  void CallPlaySound();

 private:
  void Build();
  void CallSelectFolder(QLineEdit* field, const char* title);
  void CallSelectSoundFile();
  void CallSetFont();
  void SetColorCell(std::uint32_t color);
  // The controls written over a copy of the block; empty text when they fit.
  std::string ReadControls(Settings& s) const;

  Store& store_;
  Settings& settings_;
  Prompter& prompter_;
  std::function<void()> reapply_;

  QLineEdit* temp_ = nullptr;
  QLineEdit* out_ = nullptr;
  QComboBox* audio_ = nullptr;
  QComboBox* subt_ = nullptr;
  QCheckBox* forced_ = nullptr;
  QCheckBox* no_subtitle_ = nullptr;
  QComboBox* media_ = nullptr;
  QSpinBox* custom_media_ = nullptr;
  QComboBox* presets_ = nullptr;
  QComboBox* crf_ = nullptr;
  QCheckBox* down16_ = nullptr;
  QCheckBox* down6_ = nullptr;
  QCheckBox* flac_ = nullptr;
  QCheckBox* divx_ = nullptr;
  QCheckBox* x265_ = nullptr;
  QLineEdit* sound_ = nullptr;
  QTableWidget* subs_ = nullptr;
  QSpinBox* border_ = nullptr;
  QSpinBox* offset_ = nullptr;
};

// Why a folder cannot take the program's files; empty when it can (a
// missing folder is made at the next start).
std::string FolderProblem(const std::string& path);
// Why a sound file cannot be played; empty when it can, or when there is
// none.
std::string SoundProblem(const std::string& path);

}  // namespace dp::ui
