// The Playlist Selection dialog: the titles of a disc, the clips of the one
// selected, a preview of a clip, Proceed or Cancel.
#pragma once

#include <QDialog>

#include "source/source_open.h"

class QComboBox;
class QLineEdit;
class QListWidget;

namespace dp::ui {

class PlaylistSelectionDialog : public QDialog {
  Q_OBJECT
 public:
  PlaylistSelectionDialog(QWidget* parent, const PlaylistDialog& dialog, const SourceState& state);
  // Shows the dialog modally: the chosen title's value, or 0 when cancelled.
  int Choose();

 private:
  int SelectedValue() const;  // 1 when nothing is selected
  void CallPlayListSelect();
  void CallPreviewM2TS();

  const SourceState& state_;
  std::string path_;  // PANEL_MULT_PATH as the opening gave it
  QListWidget* list_ = nullptr;
  QLineEdit* m2ts_ = nullptr;
  QComboBox* preview_ = nullptr;
};

}  // namespace dp::ui
