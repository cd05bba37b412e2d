#include "ui/wait_panel.h"

#include <QLabel>
#include <QVBoxLayout>

#include "source/source_open.h"

namespace dp::ui {

WaitPanel::WaitPanel(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setObjectName(QStringLiteral("PANEL_WAIT"));
  setWindowTitle(QStringLiteral("Please Wait"));
  setWindowModality(Qt::ApplicationModal);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(32, 24, 32, 24);
  auto* text = new QLabel(QString::fromLatin1(kWaitText));
  text->setAlignment(Qt::AlignCenter);
  layout->addWidget(text);
}

}  // namespace dp::ui
