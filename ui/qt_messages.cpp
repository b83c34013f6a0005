// Message boxes of the window.
#include "ui/qt_messages.h"

#include <QMessageBox>

namespace tabulor {

namespace {
// More lines than this would make a box taller than a screen.
constexpr int MaxBoxLines = 20;
}  // namespace

void QtMessages::show(const std::string& text, const std::string& caption) {
  QString shown = QString::fromStdString(text);
  QString details;
  // A long message (the summary of a run that skipped many files) keeps its head in the
  // box and the list below its first blank line in the details area, which scrolls.
  const qsizetype split = shown.indexOf(QStringLiteral("\n\n"));
  if (shown.count(QLatin1Char('\n')) >= MaxBoxLines && split >= 0) {
    details = shown.mid(split + 2);
    shown = shown.left(split) + QStringLiteral("\n\nThe details list every file.");
  }
  QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(caption), shown, QMessageBox::Ok,
                  owner_);
  if (!details.isEmpty()) box.setDetailedText(details);
  box.exec();
}

}  // namespace tabulor
