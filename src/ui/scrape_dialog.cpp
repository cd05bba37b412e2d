#include "ui/scrape_dialog.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/dialog_buttons.h"
#include "ui/mnemonic.h"
#include "ui/wait_panel.h"

namespace dp::ui {
namespace {

// A hit label is a title and its year: room for some sixty characters,
// capitals and a scroll bar included.
constexpr int kLabelChars = 72;

}  // namespace

ScrapeDialog::ScrapeDialog(QWidget* parent, const std::vector<std::string>& hit_labels) : QDialog(parent) {
  setObjectName(QStringLiteral("SCRAPE"));
  setWindowTitle(QStringLiteral("TMDB Results"));
  auto* root = new QVBoxLayout(this);

  list_ = new QListWidget;
  list_->setObjectName(QStringLiteral("SCRAPE_LISTBOX"));
  for (std::size_t i = 0; i < hit_labels.size(); ++i) {
    auto* row = new QListWidgetItem(QString::fromStdString(hit_labels[i]), list_);
    row->setData(Qt::UserRole, static_cast<int>(i));
  }
  list_->setMinimumWidth(list_->fontMetrics().averageCharWidth() * kLabelChars);
  root->addWidget(list_, 1);

  root->addLayout(AcceptCancelRow(this, Mnemonic("__Select Title"), "SCRAPE_SELECT", Mnemonic("__Cancel"),
                                  "SCRAPE_SELECT_2"));
  connect(list_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
  setModal(true);
  resize(sizeHint().width(), 320);
}

int ScrapeDialog::Choose() {
  if (list_->count() > 0) list_->setCurrentRow(0);
  list_->setFocus();
  const NormalCursor cursor;
  if (exec() != QDialog::Accepted) return -1;
  const QListWidgetItem* item = list_->currentItem();
  return item ? item->data(Qt::UserRole).toInt() : -1;
}

}  // namespace dp::ui
