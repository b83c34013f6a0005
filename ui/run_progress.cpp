// Where the window's worker is, kept for the progress dialog.
#include "ui/run_progress.h"

namespace tabulor {

void RunProgress::fileStarted(size_t index, size_t count, const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  fileIndex_ = index;
  fileCount_ = count;
  path_ = path;
  table_.clear();
  rows_.store(0, std::memory_order_relaxed);
}

void RunProgress::tableStarted(const std::string& /*path*/, const std::string& table) {
  std::lock_guard<std::mutex> lock(mutex_);
  table_ = table;
  rows_.store(0, std::memory_order_relaxed);
}

ProgressSnapshot RunProgress::snapshot() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return {fileIndex_, fileCount_, path_, table_, rows_.load(std::memory_order_relaxed)};
}

}  // namespace tabulor
