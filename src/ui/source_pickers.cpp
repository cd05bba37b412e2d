#include "ui/source_pickers.h"

#include <QFileDialog>

#include "ui/source_paths.h"

namespace dp::ui {
namespace {

std::string Run(QFileDialog& dialog) {
  if (dialog.exec() != QDialog::Accepted) return {};
  const QStringList chosen = dialog.selectedFiles();
  return chosen.isEmpty() ? std::string() : PathBytes(chosen.first());
}

}  // namespace

std::string PickBdFolder(QWidget* parent, const std::string& last_source_path) {
  QFileDialog dialog(parent, QString::fromLatin1(kBdFolderPickerTitle));
  dialog.setObjectName(QStringLiteral("BD_FOLDER_PICKER"));
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  if (!last_source_path.empty()) {
    const QString last = PathText(last_source_path);
    dialog.setDirectory(last);
    dialog.selectFile(last);
  }
  return Run(dialog);
}

std::string PickVideoFile(QWidget* parent) {
  QFileDialog dialog(parent, QString::fromLatin1(kVideoFilePickerTitle));
  dialog.setObjectName(QStringLiteral("VIDEO_FILE_PICKER"));
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilter(QString::fromLatin1(kVideoFileFilter));
  dialog.setOption(QFileDialog::ReadOnly);
  return Run(dialog);
}

}  // namespace dp::ui
