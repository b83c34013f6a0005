// The worker thread of a Start and its progress dialog.
#include "ui/conversion_run.h"

#include <exception>

#include "engine/database.h"
#include "ui/progress_dlg.h"

namespace tabulor {

namespace {
constexpr int PollMs = 250;
}  // namespace

ConversionRun::ConversionRun(QWidget* owner) : owner_(owner) {
  pollTimer_.setInterval(PollMs);
  connect(&pollTimer_, &QTimer::timeout, this, &ConversionRun::poll);
  dialogTimer_.setSingleShot(true);
  connect(&dialogTimer_, &QTimer::timeout, this, &ConversionRun::showDialog);
}

ConversionRun::~ConversionRun() {
  if (worker_.joinable()) {
    progress_->requestCancel();
    if (messages_) messages_->abandon();
    worker_.join();
  }
  delete dialog_.data();
}

bool ConversionRun::start(const StartRunner& runner, const StartJob& job,
                          const ConversionContext& base) {
  if (running_ || !runner) return false;
  if (worker_.joinable()) worker_.join();
  running_ = true;
  // A fresh listener for every run: a cancel of the last run must not stop this one.
  progress_ = std::make_unique<RunProgress>();
  messages_ = std::make_unique<UiThreadMessages>(base.messages, this);
  elapsed_.start();
  pollTimer_.start();
  dialogTimer_.start(progressDelayMs);

  ConversionContext ctx = base;
  ctx.messages = messages_.get();
  ctx.listener = progress_.get();
  ctx.plan = nullptr;
  worker_ = std::thread([this, runner, job, ctx]() mutable {
    Database database;  // the run's own: the window's connection serves the preview
    ctx.database = &database;
    std::string endMessage;
    try {
      endMessage = runner(ctx, job);
    } catch (const std::exception& e) {
      // runConversions keeps its errors to itself; this is what escaped it (the output
      // folder could not even be looked at).
      ctx.messages->show(e.what(), "Tabulor");
    }
    QMetaObject::invokeMethod(
        this, [this, text = QString::fromStdString(endMessage)] { workerDone(text); },
        Qt::QueuedConnection);
  });
  return true;
}

void ConversionRun::cancel() {
  if (!running_) return;
  progress_->requestCancel();
  if (dialog_) dialog_->showCancelling();
}

void ConversionRun::showDialog() {
  if (!running_ || dialog_) return;
  dialog_ = new CProgressDlg(owner_);
  connect(dialog_, &CProgressDlg::cancelRequested, this, &ConversionRun::cancel);
  if (progress_->cancelling()) dialog_->showCancelling();
  dialog_->showProgress(progress_->snapshot(), elapsed_.elapsed());
  dialog_->show();
}

void ConversionRun::poll() {
  if (dialog_) dialog_->showProgress(progress_->snapshot(), elapsed_.elapsed());
}

void ConversionRun::workerDone(const QString& endMessage) {
  worker_.join();
  running_ = false;
  pollTimer_.stop();
  dialogTimer_.stop();
  messages_.reset();
  if (dialog_) {
    dialog_->hide();
    dialog_->deleteLater();
    dialog_ = nullptr;
  }
  emit finished(endMessage);
}

}  // namespace tabulor
