#include "ui/qt_prompter.h"

#include <QMessageBox>

namespace dp::ui {

Answer QtPrompter::Ask(std::string_view title, std::string_view text, Buttons buttons) {
  const QString t = QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size()));
  const QString m = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  if (buttons == Buttons::kYesNo) {
    return QMessageBox::question(parent_, t, m, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) ==
                   QMessageBox::Yes
               ? Answer::kYes
               : Answer::kNo;
  }
  QMessageBox::information(parent_, t, m);
  return Answer::kOk;
}

}  // namespace dp::ui
