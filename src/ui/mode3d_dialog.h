// The 3D Mode Selection popup: four buttons that act as one radio group.
#pragma once

#include <QDialog>

namespace dp::ui {

class Mode3DDialog : public QDialog {
  Q_OBJECT
 public:
  // Buttons set from `mode` (selected_mode_3d): 0 2D, 1-2 SBS, 3-4 TAB,
  // 10-11 MVC, anything else none.
  Mode3DDialog(QWidget* parent, int mode);
  // MODE3D_MODE: the starting mode until a button sets 0, 1, 3 or 10.
  int mode() const { return mode_; }

 private:
  int mode_;
};

}  // namespace dp::ui
