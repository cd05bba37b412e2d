#include "ui/qt_prompter.h"

#include <QPushButton>
#include <QMessageBox>
#include <vector>

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

int QtPrompter::Choose(std::string_view title, std::string_view text,
                       std::span<const std::string_view> buttons) {
  QMessageBox box(QMessageBox::Warning, QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size())),
                  QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), QMessageBox::NoButton,
                  parent_);
  std::vector<QAbstractButton*> shown;
  for (std::string_view label : buttons)
    shown.push_back(box.addButton(QString::fromUtf8(label.data(), static_cast<qsizetype>(label.size())),
                                  QMessageBox::AcceptRole));
  box.exec();
  for (std::size_t i = 0; i < shown.size(); ++i)
    if (box.clickedButton() == shown[i]) return static_cast<int>(i);
  return -1;
}

}  // namespace dp::ui
