// The Advanced Options dialog: encoder tune and parameters, crop, resize to
// 720p and x265 noise reduction for the next job.
#pragma once

#include <QDialog>

#include "planning/target_panel.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;

namespace dp::ui {

// What the dialog is opened for.
struct AdvancedContext {
  int media = kMediaBd5;             // Target Media index
  int bitrate = 0;                   // Video Bitrate field (1: untouched on CRF targets)
  bool use_x265 = false;             // the UseX265 setting
  bool is_2d = true;                 // selected_mode_3d is 0
  bool full_hd_progressive = false;  // the chosen video is 1920 wide, progressive
  bool video_untouched = false;      // video_untouched_choice
};

struct AdvancedEnabling {
  bool x265 = false;  // x265 labels and tune list; noise reduction enabled
  bool crop = false;
  bool resize = false;
};

AdvancedEnabling AdvancedRules(const AdvancedContext& c);

class AdvancedDialog : public QDialog {
  Q_OBJECT
 public:
  AdvancedDialog(QWidget* parent, const AdvancedContext& context, const AdvancedOptions& current);
  // The choices as shown; read after Apply.
  AdvancedOptions chosen() const;

 private:
  QComboBox* tune_ = nullptr;
  QLineEdit* params_ = nullptr;
  QComboBox* crop_ = nullptr;
  QCheckBox* resize_ = nullptr;
  QSpinBox* noise_ = nullptr;
};

}  // namespace dp::ui
