// UiThreadMessages: the Messages of a conversion that runs on a worker thread. Each message
// is shown by the window's own Messages on the user-interface thread while the worker waits,
// so a message box of the office path appears over the window as it would without a worker.
#pragma once

#include <QObject>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "convert/messages.h"

namespace tabulor {

class UiThreadMessages : public Messages {
 public:
  // `target` shows the messages (not owned); `uiObject` lives on the user-interface thread.
  UiThreadMessages(Messages* target, QObject* uiObject);
  ~UiThreadMessages() override;

  // On the user-interface thread: shows at once. On another thread: queues the message to
  // the user-interface thread and returns when it was shown, or at once when abandoned.
  void show(const std::string& text, const std::string& caption) override;

  // Lets every waiting and later show() return without showing: for a window that closes
  // while its worker still runs. Call on the user-interface thread.
  void abandon();

 private:
  struct State {
    std::mutex mutex;
    std::condition_variable shown;
    bool abandoned = false;
  };
  Messages* target_;
  QObject* uiObject_;
  // Shared with the queued calls, which may run after this object is gone.
  std::shared_ptr<State> state_ = std::make_shared<State>();
};

}  // namespace tabulor
