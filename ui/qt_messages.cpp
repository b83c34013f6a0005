// Message boxes of the window.
#include "ui/qt_messages.h"

#include <QMessageBox>

namespace tabulor {

void QtMessages::show(const std::string& text, const std::string& caption) {
  QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(caption),
                  QString::fromStdString(text), QMessageBox::Ok, owner_);
  box.exec();
}

}  // namespace tabulor
