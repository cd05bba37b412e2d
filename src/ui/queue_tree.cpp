#include "ui/queue_tree.h"

#include <QBrush>
#include <QColor>

namespace dp::ui {

void FillQueueTree(QTreeWidget* tree, const QueueView& view) {
  tree->clear();
  for (const auto& item : view.items) {
    auto* top = new QTreeWidgetItem(tree, QStringList(QString::fromStdString(item.label)));
    top->setData(0, Qt::UserRole, item.slot);
    if (item.color) top->setForeground(0, QBrush(QColor::fromRgb(*item.color)));
    for (const auto& line : item.details) {
      auto* child = new QTreeWidgetItem(top, QStringList(QString::fromStdString(line)));
      child->setData(0, Qt::UserRole, item.slot);
    }
    top->setExpanded(false);
  }
  if (tree->topLevelItemCount() > 0) tree->setCurrentItem(tree->topLevelItem(0));
}

int SelectedSlot(const QTreeWidget* tree) {
  const QTreeWidgetItem* item = tree->currentItem();
  return item ? item->data(0, Qt::UserRole).toInt() : -1;
}

void SelectSlot(QTreeWidget* tree, int slot) {
  for (int i = 0; i < tree->topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = tree->topLevelItem(i);
    if (item->data(0, Qt::UserRole).toInt() == slot) {
      tree->setCurrentItem(item);
      return;
    }
  }
}

}  // namespace dp::ui
