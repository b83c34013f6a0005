// RunProgress: the listener of a conversion on the window's worker thread. The worker tells
// it which file and table it is at and how many rows are written; the user-interface thread
// reads a snapshot of that a few times a second for the progress dialog, and asks for a
// cancel, which the worker sees at its next row boundary.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "convert/run_listener.h"

namespace tabulor {

struct ProgressSnapshot {
  size_t fileIndex = 0;  // 0-based index of the current file
  size_t fileCount = 0;  // 0 until the first file starts
  std::string path;      // current file
  std::string table;     // current table; "" between tables
  int64_t rows = 0;      // rows of the current table written so far
};

class RunProgress : public RunListener {
 public:
  // ---- The worker's side.
  void fileStarted(size_t index, size_t count, const std::string& path) override;
  void tableStarted(const std::string& path, const std::string& table) override;
  void rowsWritten(int64_t rows) override { rows_.store(rows, std::memory_order_relaxed); }
  bool cancelRequested() override { return cancel_.load(std::memory_order_relaxed); }
  // Skips and notices reach the summary through the run's own collector.
  void fileSkipped(const std::string&, const std::string&) override {}
  void notice(const std::string&, const std::string&) override {}

  // ---- The user-interface thread's side.
  ProgressSnapshot snapshot() const;
  void requestCancel() { cancel_.store(true, std::memory_order_relaxed); }
  bool cancelling() const { return cancel_.load(std::memory_order_relaxed); }

 private:
  mutable std::mutex mutex_;  // guards the texts and counts below
  size_t fileIndex_ = 0, fileCount_ = 0;
  std::string path_, table_;
  std::atomic<int64_t> rows_{0};
  std::atomic<bool> cancel_{false};
};

}  // namespace tabulor
