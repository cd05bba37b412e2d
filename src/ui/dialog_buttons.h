// The row that ends a modal dialog: its default button and Cancel, on the
// right, wired to accept and reject.
#pragma once

#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>
#include <QString>

namespace dp::ui {

inline QHBoxLayout* AcceptCancelRow(QDialog* dialog, const QString& accept_text, const char* accept_name,
                                    const QString& cancel_text, const char* cancel_name) {
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  auto* accept = new QPushButton(accept_text);
  accept->setObjectName(QLatin1String(accept_name));
  accept->setDefault(true);
  auto* cancel = new QPushButton(cancel_text);
  cancel->setObjectName(QLatin1String(cancel_name));
  cancel->setAutoDefault(false);
  row->addWidget(accept);
  row->addWidget(cancel);
  QObject::connect(accept, &QPushButton::clicked, dialog, &QDialog::accept);
  QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
  return row;
}

}  // namespace dp::ui
