// The "TMDB Results" dialog: the hits of a title search, one to choose.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

class QListWidget;

namespace dp::ui {

class ScrapeDialog : public QDialog {
  Q_OBJECT
 public:
  ScrapeDialog(QWidget* parent, const std::vector<std::string>& hit_labels);
  // Shows the dialog modally: the chosen hit's index (Select Title or a
  // double click), or -1 (Cancel, Escape or the close box).
  int Choose();

 private:
  QListWidget* list_ = nullptr;
};

}  // namespace dp::ui
