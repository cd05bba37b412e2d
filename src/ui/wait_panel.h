// The "Please Wait" panel shown while a source is analysed, and the cursor
// rule around it.
#pragma once

#include <QApplication>
#include <QDialog>

namespace dp::ui {

// Application-modal and without a way to close it: only the opening that
// showed it removes it.
class WaitPanel : public QDialog {
  Q_OBJECT
 public:
  explicit WaitPanel(QWidget* parent);
  void reject() override {}
};

// The normal cursor over a dialog that asks something while the wait cursor
// is on; the wait cursor comes back when it closes.
class NormalCursor {
 public:
  NormalCursor() : pushed_(QApplication::overrideCursor() != nullptr) {
    if (pushed_) QApplication::setOverrideCursor(Qt::ArrowCursor);
  }
  ~NormalCursor() {
    if (pushed_) QApplication::restoreOverrideCursor();
  }
  NormalCursor(const NormalCursor&) = delete;
  NormalCursor& operator=(const NormalCursor&) = delete;

 private:
  bool pushed_;
};

}  // namespace dp::ui
