// Draws the queue view's items into the "Queue" tree.
#pragma once

#include <QTreeWidget>

#include "queue/queue_view.h"

namespace dp::ui {

// Every item's Qt::UserRole data is its job's slot.
void FillQueueTree(QTreeWidget* tree, const QueueView& view);
// The slot of the current item, -1 when none.
int SelectedSlot(const QTreeWidget* tree);
// Makes the top-level item of slot current (when it is there).
void SelectSlot(QTreeWidget* tree, int slot);

}  // namespace dp::ui
