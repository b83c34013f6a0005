// The progress dialog of a conversion run.
#include "ui/progress_dlg.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "preview/cell_format.h"

namespace tabulor {

CProgressDlg::CProgressDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Tabulor"));
  setWindowModality(Qt::WindowModal);
  // The window's own font (a dialog window does not take it by itself): the same look, and
  // no second font to load while a conversion runs.
  setAttribute(Qt::WA_WindowPropagation);
  if (parent) setFont(parent->font());
  setObjectName(QStringLiteral("progressDialog"));

  auto* layout = new QVBoxLayout(this);
  countLabel_ = new QLabel(QStringLiteral("Starting..."), this);
  bar_ = new QProgressBar(this);
  bar_->setRange(0, 1);
  bar_->setValue(0);
  fileLabel_ = new QLabel(this);
  tableLabel_ = new QLabel(this);
  rowsLabel_ = new QLabel(this);
  elapsedLabel_ = new QLabel(this);
  // Long paths and table names must not widen the dialog beyond the screen.
  for (QLabel* label : {fileLabel_, tableLabel_}) {
    label->setMinimumWidth(420);
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  }
  for (QWidget* w : std::initializer_list<QWidget*>{countLabel_, bar_, fileLabel_, tableLabel_,
                                                    rowsLabel_, elapsedLabel_})
    layout->addWidget(w);

  cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  cancel_->setAutoDefault(false);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(cancel_);
  layout->addLayout(buttons);
  connect(cancel_, &QPushButton::clicked, this, &CProgressDlg::reject);
}

void CProgressDlg::reject() {
  emit cancelRequested();
}

void CProgressDlg::showProgress(const ProgressSnapshot& progress, qint64 elapsedMs) {
  if (progress.fileCount > 0) {
    const int count = static_cast<int>(progress.fileCount);
    if (cancel_->isEnabled())
      countLabel_->setText(
          QStringLiteral("Converting file %1 of %2").arg(progress.fileIndex + 1).arg(count));
    bar_->setRange(0, count);
    bar_->setValue(static_cast<int>(progress.fileIndex));
  }
  const QString path = QString::fromStdString(progress.path);
  fileLabel_->setText(fileLabel_->fontMetrics().elidedText(
      QStringLiteral("File: ") + path, Qt::ElideMiddle, std::max(fileLabel_->width(), 420)));
  fileLabel_->setToolTip(path);
  const QString table = QString::fromStdString(progress.table);
  tableLabel_->setText(table.isEmpty() ? QString()
                                       : tableLabel_->fontMetrics().elidedText(
                                             QStringLiteral("Table: ") + table, Qt::ElideRight,
                                             std::max(tableLabel_->width(), 420)));
  rowsLabel_->setText(
      QStringLiteral("Rows written: %1")
          .arg(QString::fromStdString(formatGroupedNumber(static_cast<double>(progress.rows), 0))));
  const qint64 seconds = elapsedMs / 1000;
  elapsedLabel_->setText(QStringLiteral("Elapsed: %1:%2")
                             .arg(seconds / 60)
                             .arg(seconds % 60, 2, 10, QLatin1Char('0')));
}

void CProgressDlg::showCancelling() {
  cancel_->setEnabled(false);
  countLabel_->setText(QStringLiteral("Cancelling: the table being written is removed..."));
}

QString CProgressDlg::fileText() const {
  return fileLabel_->text();
}

QString CProgressDlg::tableText() const {
  return tableLabel_->text();
}

QString CProgressDlg::rowsText() const {
  return rowsLabel_->text();
}

}  // namespace tabulor
