#include "ui/mode3d_dialog.h"

#include <QButtonGroup>
#include <QPushButton>
#include <QVBoxLayout>

namespace dp::ui {
namespace {

struct ModeButton {
  const char* name;
  const char* label;
  int mode;           // what the button sets
  int also_selected;  // the same mode with the right eye as base view
};
constexpr ModeButton kModeButtons[] = {{"MODE3D_2D", "2D", 0, 0},
                                       {"MODE3D_SBS", "3D SBS  (side-by-side)", 1, 2},
                                       {"MODE3D_TAB", "3D TAB  (top-bottom)", 3, 4},
                                       {"MODE3D_MVC", "3D MVC  (2D+3D .ISO)", 10, 11}};

}  // namespace

Mode3DDialog::Mode3DDialog(QWidget* parent, int mode) : QDialog(parent), mode_(mode) {
  setObjectName(QStringLiteral("MODE3D"));
  setWindowTitle(QStringLiteral("3D Mode Selection"));
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  auto* group = new QButtonGroup(this);  // Call3DMode: one on switches the others off
  for (const ModeButton& b : kModeButtons) {
    auto* button = new QPushButton(QString::fromLatin1(b.label));
    button->setObjectName(QString::fromLatin1(b.name));
    button->setCheckable(true);
    button->setChecked(mode == b.mode || mode == b.also_selected);
    button->setAutoDefault(false);
    button->setMinimumSize(button->sizeHint().width() + 48, button->sizeHint().height() * 3 / 2);
    group->addButton(button, b.mode);
    layout->addWidget(button);
  }
  connect(group, &QButtonGroup::idClicked, this, [this](int id) { mode_ = id; });
  auto* accept = new QPushButton(QStringLiteral("OK"));
  accept->setObjectName(QStringLiteral("MODE3D_ACEPTAR"));
  accept->setDefault(true);
  connect(accept, &QPushButton::clicked, this, &QDialog::accept);
  layout->addSpacing(8);
  layout->addWidget(accept);
}

}  // namespace dp::ui
