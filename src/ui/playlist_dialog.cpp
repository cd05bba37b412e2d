#include "ui/playlist_dialog.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "ui/dialog_buttons.h"
#include "ui/source_paths.h"
#include "ui/wait_panel.h"

namespace dp::ui {

PlaylistSelectionDialog::PlaylistSelectionDialog(QWidget* parent, const PlaylistDialog& dialog,
                                                 const SourceState& state)
    : QDialog(parent), state_(state), path_(dialog.path) {
  setObjectName(QStringLiteral("PANEL_MULT"));
  setWindowTitle(QStringLiteral("Playlist Selection"));
  auto* root = new QVBoxLayout(this);

  auto* info =
      new QLabel(QString::fromUtf8(dialog.info.empty() ? kPlaylistDialogDefaultInfo : dialog.info.c_str()));
  info->setObjectName(QStringLiteral("PANEL_MULT_INFO"));
  info->setWordWrap(true);
  root->addWidget(info);
  auto* path = new QLineEdit(PathText(dialog.path));
  path->setObjectName(QStringLiteral("PANEL_MULT_PATH"));
  path->setVisible(false);
  root->addWidget(path);

  root->addWidget(new QLabel(QStringLiteral("Select the playlist to convert:")));
  list_ = new QListWidget;
  list_->setObjectName(QStringLiteral("PANEL_MULT_PLAYLIST"));
  for (const PlaylistDialog::Item& item : dialog.items) {
    auto* row = new QListWidgetItem(QString::fromUtf8(item.text.c_str()), list_);
    row->setData(Qt::UserRole, item.value);
  }
  root->addWidget(list_, 1);

  root->addWidget(new QLabel(QStringLiteral("Associated M2TS files:")));
  m2ts_ = new QLineEdit;
  m2ts_->setObjectName(QStringLiteral("PANEL_MULT_M2TS"));
  m2ts_->setReadOnly(true);
  root->addWidget(m2ts_);

  auto* preview_row = new QHBoxLayout;
  preview_ = new QComboBox;
  preview_->setObjectName(QStringLiteral("PANEL_MULT_PREVIEW"));
  preview_row->addWidget(preview_, 1);
  auto* preview = new QPushButton(QStringLiteral("Preview M2TS"));
  preview->setObjectName(QStringLiteral("PANEL_MULT_PREVIEW_BUTTON"));
  preview->setAutoDefault(false);
  preview_row->addWidget(preview);
  root->addLayout(preview_row);

  root->addLayout(AcceptCancelRow(this, QStringLiteral("Proceed"), "PANEL_MULT_GO", QStringLiteral("Cancel"),
                                  "PANEL_MULT_CANCEL"));

  connect(list_, &QListWidget::currentRowChanged, this, &PlaylistSelectionDialog::CallPlayListSelect);
  connect(list_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
  connect(preview, &QPushButton::clicked, this, &PlaylistSelectionDialog::CallPreviewM2TS);
  setModal(true);
  resize(520, 400);
}

int PlaylistSelectionDialog::Choose() {
  if (list_->count() > 0) list_->setCurrentRow(0);
  CallPlayListSelect();  // the first title's clips, also when the list is empty
  const NormalCursor cursor;
  return exec() == QDialog::Accepted ? SelectedValue() : 0;
}

int PlaylistSelectionDialog::SelectedValue() const {
  const QListWidgetItem* item = list_->currentItem();
  return item ? item->data(Qt::UserRole).toInt() : 1;
}

void PlaylistSelectionDialog::CallPlayListSelect() {
  const TitleClips clips = ActualizaPlayList(state_, SelectedValue());
  if (!clips.changed) return;
  preview_->clear();
  for (const std::string& file : clips.files) {
    const QString text = QString::fromUtf8(file.c_str());
    preview_->addItem(text, text);
  }
  m2ts_->setText(QString::fromUtf8(clips.m2ts_text.c_str()));
}

void PlaylistSelectionDialog::CallPreviewM2TS() {
  const QString clip = preview_->currentData().toString();
  if (clip.isEmpty()) return;
  QDesktopServices::openUrl(QUrl::fromLocalFile(PathText(PreviewClipPath(path_, clip.toStdString()))));
}

}  // namespace dp::ui
