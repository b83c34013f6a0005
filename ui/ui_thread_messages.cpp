// Messages of a worker thread, shown on the user-interface thread.
#include "ui/ui_thread_messages.h"

#include <QThread>

namespace tabulor {

UiThreadMessages::UiThreadMessages(Messages* target, QObject* uiObject)
    : target_(target), uiObject_(uiObject) {}

UiThreadMessages::~UiThreadMessages() {
  abandon();
}

void UiThreadMessages::show(const std::string& text, const std::string& caption) {
  if (QThread::currentThread() == uiObject_->thread()) {
    if (target_) target_->show(text, caption);
    return;
  }
  auto state = state_;
  auto done = std::make_shared<bool>(false);
  Messages* target = target_;
  {
    std::lock_guard<std::mutex> lock(state->mutex);
    if (state->abandoned) return;
  }
  QMetaObject::invokeMethod(
      uiObject_,
      [state, done, target, text, caption] {
        {
          std::lock_guard<std::mutex> lock(state->mutex);
          if (state->abandoned) return;
        }
        if (target) target->show(text, caption);
        std::lock_guard<std::mutex> lock(state->mutex);
        *done = true;
        state->shown.notify_all();
      },
      Qt::QueuedConnection);
  std::unique_lock<std::mutex> lock(state->mutex);
  state->shown.wait(lock, [&] { return *done || state->abandoned; });
}

void UiThreadMessages::abandon() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->abandoned = true;
  state_->shown.notify_all();
}

}  // namespace tabulor
