#include "ui/about_dialog.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "app/version.h"
#include "util/text.h"

namespace dp::ui {

QString WebsiteUrl() { return QStringLiteral(DP_WEBSITE_URL); }

void OpenWebsite() { QDesktopServices::openUrl(QUrl(WebsiteUrl())); }

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("PANEL_ABOU"));
  setWindowTitle(QStringLiteral("About %1").arg(QString::fromLatin1(program_name)));
  setModal(true);
  auto* root = new QVBoxLayout(this);
  auto* name = new QLabel(QString::fromLatin1(program_name));
  QFont big = name->font();
  big.setPointSizeF(big.pointSizeF() * 1.8);
  big.setBold(true);
  name->setFont(big);
  name->setAlignment(Qt::AlignCenter);
  root->addWidget(name);
  auto* version = new QLabel(QString::fromStdString(Format("Version %s", program_version)));
  version->setObjectName(QStringLiteral("PANEL_ABOU_VER"));
  version->setAlignment(Qt::AlignCenter);
  root->addWidget(version);
  auto* buttons = new QHBoxLayout;
  auto* web = new QPushButton(QStringLiteral("Website"));
  web->setObjectName(QStringLiteral("PANEL_ABOU_WEB"));
  web->setToolTip(WebsiteUrl());
  connect(web, &QPushButton::clicked, this, [] { OpenWebsite(); });
  auto* close = new QPushButton(QStringLiteral("Close"));
  close->setObjectName(QStringLiteral("PANEL_ABOU_CLOSE"));
  close->setDefault(true);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  buttons->addWidget(web);
  buttons->addStretch(1);
  buttons->addWidget(close);
  root->addLayout(buttons);
  setMinimumWidth(320);
}

}  // namespace dp::ui
