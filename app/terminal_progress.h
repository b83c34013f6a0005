// TerminalProgress: the command line's progress on standard error, one line rewritten in
// place (file i/N, its name, the table, rows written), cleared at the end. It draws only
// when told to (standard error is a terminal and --quiet was not given), so a log file or a
// pipe never sees it, and standard output never does. It also carries the run's cancel
// request (Ctrl+C) to the conversion.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

#include "convert/messages.h"
#include "convert/run_listener.h"

namespace tabulor {

class TerminalProgress : public ForwardingListener {
 public:
  // `draw`: show the line on `fd`. `cancel` (may be null): when it becomes true the run
  // stops at its next row boundary.
  TerminalProgress(bool draw, const std::atomic<bool>* cancel, int fd = 2);
  ~TerminalProgress() override;  // clears the line

  void fileStarted(size_t index, size_t count, const std::string& path) override;
  void tableStarted(const std::string& path, const std::string& table) override;
  void rowsWritten(int64_t rows) override;
  bool cancelRequested() override {
    return (cancel_ && cancel_->load(std::memory_order_relaxed)) ||
           ForwardingListener::cancelRequested();
  }

  // Takes the line away (before a message is written below it) / puts it back.
  void clear();
  void redraw();

  // The line as drawn for `columns` terminal columns (for tests).
  std::string lineText(int columns) const;

 private:
  bool draw_;
  const std::atomic<bool>* cancel_;
  int fd_;
  bool shown_ = false;
  size_t index_ = 0, count_ = 0;
  std::string name_, table_;
  int64_t rows_ = 0;
  std::chrono::steady_clock::time_point lastDraw_{};
};

// The command line's messages while a progress line may be on the terminal: the line is
// cleared before a message and drawn again after it, so the two never mix.
class ProgressMessages : public Messages {
 public:
  ProgressMessages(Messages* inner, TerminalProgress* progress)
      : inner_(inner), progress_(progress) {}
  void show(const std::string& text, const std::string& caption) override {
    progress_->clear();
    inner_->show(text, caption);
    progress_->redraw();
  }

 private:
  Messages* inner_;
  TerminalProgress* progress_;
};

}  // namespace tabulor
