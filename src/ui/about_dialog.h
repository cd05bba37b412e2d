// PANEL_ABOU: the About box, and the program's web page it shares with the
// Help menu.
#pragma once

#include <QDialog>
#include <QString>

namespace dp::ui {

// The address the build chose for the program's web page.
QString WebsiteUrl();
// Opens the program's web page with the desktop's handler.
void OpenWebsite();

class AboutDialog : public QDialog {
  Q_OBJECT
 public:
  explicit AboutDialog(QWidget* parent);
};

}  // namespace dp::ui
