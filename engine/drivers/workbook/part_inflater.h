// The inflated bytes of one zip part, slice by slice. A large part is inflated by a thread
// of its own a few slices ahead of the reader, so that inflating and parsing a sheet take
// turns on two cores instead of one; a small part is inflated in place. Memory stays at a
// few slices whatever the size of the part.
#pragma once

#include <gsf/gsf.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "engine/drivers/workbook/zip_package.h"

namespace tabulor::workbook {

class PartInflater {
 public:
  // Takes the part stream; `where` names file and part in messages.
  PartInflater(GPtr<GsfInput> part, std::string where);
  // Stops the thread (it finishes the slice in hand) before the part is let go.
  ~PartInflater();
  PartInflater(const PartInflater&) = delete;
  PartInflater& operator=(const PartInflater&) = delete;

  // The next slice of the part, valid until the next call; empty at the end of the part.
  // Throws EngineError(BadInput) naming the part when it cannot be inflated (a damaged or
  // truncated zip).
  std::string_view next();

 private:
  struct Slice {
    std::string bytes;
    size_t size = 0;
  };
  void startThread();
  void run();
  [[noreturn]] void raiseDamaged() const;

  GPtr<GsfInput> part_;
  std::string where_;
  bool threaded_ = false, started_ = false;
  bool failed_ = false;  // the part could not be inflated
  bool ended_ = false;   // every byte was handed out

  // In place: one buffer.
  std::string buffer_;

  // Threaded: slices go round a ring; the thread fills them in order, the reader takes
  // them in order and hands each back with its next call.
  std::vector<Slice> ring_;
  size_t filled_ = 0;  // slices the thread has filled, counted from the start
  size_t taken_ = 0;   // slices the reader has taken and handed back
  bool holding_ = false;
  bool done_ = false;  // the thread filled its last slice (or failed)
  bool quit_ = false;  // the reader asks the thread to stop
  std::mutex mutex_;
  std::condition_variable changed_;
  std::thread thread_;
};

}  // namespace tabulor::workbook
