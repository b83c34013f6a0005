// Inflating a zip part ahead of its reader.
#include "engine/drivers/workbook/part_inflater.h"

#include <algorithm>
#include <system_error>

#include "engine/engine_error.h"

namespace tabulor::workbook {

namespace {

constexpr size_t SliceBytes = 256 << 10;
constexpr size_t RingSlices = 4;
// Below this size a part is inflated in place: a thread would cost more than it saves.
constexpr gsf_off_t ThreadFloor = 4 << 20;

}  // namespace

PartInflater::PartInflater(GPtr<GsfInput> part, std::string where)
    : part_(std::move(part)), where_(std::move(where)) {
  threaded_ = gsf_input_remaining(part_.get()) > ThreadFloor;
}

// The thread starts with the first slice asked for: a stream opened and never read costs
// nothing.
void PartInflater::startThread() {
  started_ = true;
  ring_.resize(RingSlices);
  for (Slice& s : ring_) s.bytes.resize(SliceBytes);
  try {
    thread_ = std::thread([this] { run(); });
  } catch (const std::system_error&) {
    threaded_ = false;  // no thread to be had: inflated in place
  }
}

PartInflater::~PartInflater() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void PartInflater::raiseDamaged() const {
  throw EngineError(ErrorKind::BadInput,
                    where_ + " cannot be inflated: the zip file is damaged or truncated");
}

// The thread: fills the free slices in order until the part ends, fails, or the reader
// quits. Only this thread reads the part while it runs.
void PartInflater::run() {
  for (size_t index = 0;; ++index) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      // A slot is free once the reader has moved past the slice it held.
      changed_.wait(lock, [&] { return quit_ || index < taken_ + RingSlices; });
      if (quit_) return;
    }
    Slice& slice = ring_[index % RingSlices];
    gsf_off_t remaining = gsf_input_remaining(part_.get());
    size_t n = remaining > 0 ? static_cast<size_t>(std::min<gsf_off_t>(remaining, SliceBytes)) : 0;
    bool ok =
        n == 0 || gsf_input_read(part_.get(), n, reinterpret_cast<guint8*>(slice.bytes.data()));
    slice.size = ok ? n : 0;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      filled_ = index + 1;
      if (!ok) failed_ = true;
      if (!ok || n == 0) done_ = true;
    }
    changed_.notify_all();
    if (!ok || n == 0) return;
  }
}

std::string_view PartInflater::next() {
  if (ended_) return {};
  if (threaded_ && !started_) startThread();
  if (!threaded_) {
    gsf_off_t remaining = gsf_input_remaining(part_.get());
    if (remaining <= 0) {
      ended_ = true;
      return {};
    }
    size_t n = static_cast<size_t>(std::min<gsf_off_t>(remaining, SliceBytes));
    // libgsf inflates into a buffer of its own when given none, which saves a copy.
    const guint8* data = gsf_input_read(part_.get(), n, nullptr);
    if (!data) {
      ended_ = true;
      raiseDamaged();
    }
    return {reinterpret_cast<const char*>(data), n};
  }
  std::unique_lock<std::mutex> lock(mutex_);
  if (holding_) {
    holding_ = false;
    ++taken_;
    changed_.notify_all();
  }
  changed_.wait(lock, [&] { return filled_ > taken_; });
  const Slice& slice = ring_[taken_ % RingSlices];
  if (slice.size == 0) {
    ended_ = true;
    if (failed_) raiseDamaged();
    return {};
  }
  holding_ = true;
  return {slice.bytes.data(), slice.size};
}

}  // namespace tabulor::workbook
