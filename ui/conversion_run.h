// ConversionRun: the conversion of one Start, run on a worker thread so the window stays
// responsive. It gives the worker its own database connection (the window's one belongs to
// the preview), relays the worker's messages to the user-interface thread, opens the
// progress dialog when the run takes longer than half a second, and passes Cancel on.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <memory>
#include <string>
#include <thread>

#include "ui/main_dlg.h"
#include "ui/progress_dlg.h"
#include "ui/run_progress.h"
#include "ui/ui_thread_messages.h"

namespace tabulor {

class ConversionRun : public QObject {
  Q_OBJECT

 public:
  // `owner` is the window: the parent of the progress dialog.
  explicit ConversionRun(QWidget* owner);
  // Cancels a run still going and waits for its worker; messages it still has to show are
  // dropped.
  ~ConversionRun() override;

  // Runs `runner` on `job` on a worker thread with a copy of `base` (program folder,
  // automation settings) whose database, messages and listener are the run's own; messages
  // go to base.messages on this thread. False, and nothing started, while a run is going.
  bool start(const StartRunner& runner, const StartJob& job, const ConversionContext& base);
  bool running() const { return running_; }
  // Asks the worker to stop at its next row boundary.
  void cancel();

  // Where the worker is (for tests and the benchmark).
  ProgressSnapshot progress() const { return progress_->snapshot(); }
  // The progress dialog while it is open, else nullptr.
  CProgressDlg* progressDialog() const { return dialog_; }
  // How long a run goes before the progress dialog opens.
  int progressDelayMs = 500;

 signals:
  // The worker has ended; `endMessage` is what the run has to tell the user ("" when an
  // error ended it and was shown already).
  void finished(const QString& endMessage);

 private:
  void showDialog();
  void poll();
  void workerDone(const QString& endMessage);

  QWidget* owner_;
  bool running_ = false;
  std::thread worker_;
  std::unique_ptr<RunProgress> progress_ = std::make_unique<RunProgress>();
  std::unique_ptr<UiThreadMessages> messages_;
  QPointer<CProgressDlg> dialog_;
  QTimer pollTimer_, dialogTimer_;
  QElapsedTimer elapsed_;
};

}  // namespace tabulor
