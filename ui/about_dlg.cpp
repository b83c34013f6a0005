// The About box: a 296 x 95 dialog-unit box with icon, version, home page and OK.
#include "ui/about_dlg.h"

#include <QLabel>
#include <QPushButton>

#include "ui/app_icon.h"
#include "ui/control_ids.h"
#include "ui/dialog_units.h"
#include "ui/link_label.h"

namespace tabulor {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("About Tabulor"));
  setWindowIcon(applicationIcon());
  QFont f = font();
  f.setPointSize(8);
  setFont(f);
  setFixedSize(duToPixels(QSize(296, 95)));

  auto* icon = new QLabel(this);
  icon->setPixmap(applicationIcon().pixmap(32, 32));
  icon->setGeometry(duRect(11, 17, 21, 20));

  auto* version = new QLabel(QStringLiteral("Tabulor Version 2.6"), this);
  version->setGeometry(fitRect(version, duRect(40, 14, 180, 8)));

  auto* homeLabel = new QLabel(QStringLiteral("Home page:"), this);
  homeLabel->setGeometry(fitRect(homeLabel, duRect(40, 34, 42, 8)));

  link_ = new CLinkLabel(this);
  link_->setObjectName(QString::number(IdLink));
  link_->setText(QString::fromLatin1(HomePageAddress));
  link_->setGeometry(fitRect(link_, duRect(84, 34, 160, 8)));
  link_->setLinkTarget(QString::fromLatin1(HomePageAddress));
  link_->attach();

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QString::number(IdOk));
  ok->setDefault(true);
  ok->setGeometry(duRect(239, 70, 50, 14));
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace tabulor
