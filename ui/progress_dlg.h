// CProgressDlg: the window-modal dialog of a long conversion run: a bar over the files, the
// current file and table, the rows written so far, the elapsed time, and Cancel. It only
// shows what it is given; the run it belongs to polls the worker and feeds it.
#pragma once

#include <QDialog>

#include "ui/run_progress.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace tabulor {

class CProgressDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CProgressDlg(QWidget* parent);

  // Shows where the run is after `elapsedMs` milliseconds.
  void showProgress(const ProgressSnapshot& progress, qint64 elapsedMs);
  // The run was asked to stop: Cancel is greyed and the dialog says it is stopping.
  void showCancelling();

  QProgressBar* bar() const { return bar_; }
  QPushButton* cancelButton() const { return cancel_; }
  QString fileText() const;
  QString tableText() const;
  QString rowsText() const;

 signals:
  // Cancel, Escape or the close box.
  void cancelRequested();

 public slots:
  // Escape and the close box cancel the run rather than hide the dialog, which closes when
  // the run has ended.
  void reject() override;

 private:
  QLabel* countLabel_;
  QProgressBar* bar_;
  QLabel* fileLabel_;
  QLabel* tableLabel_;
  QLabel* rowsLabel_;
  QLabel* elapsedLabel_;
  QPushButton* cancel_;
};

}  // namespace tabulor
