// OutputFile: a file written under a temporary name in its target folder and renamed into
// place only by commit(), so that a statement that fails half-way never leaves a partial
// file under the real name. Buffered; errors are EngineErrors naming the file.
#pragma once

#include <string>
#include <string_view>

#include "engine/staging.h"

namespace tabulor {

class OutputFile {
 public:
  // Creates the temporary file beside `path`. Throws EngineError(Io) when the folder does
  // not exist or cannot be written.
  explicit OutputFile(std::string path);
  ~OutputFile();  // removes the temporary file unless committed
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  void write(std::string_view bytes) {
    // An empty view may carry a null pointer, which memcpy must not be given.
    if (bytes.empty()) return;
    if (bytes.size() > capacity_ - used_) {
      flush();
      if (bytes.size() > capacity_) {
        writeDirect(bytes);
        return;
      }
    }
    __builtin_memcpy(buffer_ + used_, bytes.data(), bytes.size());
    used_ += bytes.size();
  }
  void put(char c) {
    if (used_ == capacity_) flush();
    buffer_[used_++] = c;
  }
  // Writes `bytes` at absolute offset `offset` (for headers patched at the end).
  void writeAt(uint64_t offset, std::string_view bytes);
  uint64_t size() const { return written_ + used_; }

  // Flushes, closes and renames the file to its final path, replacing any file there.
  void commit();
  const std::string& path() const { return staged_.finalPath(); }

 private:
  void flush();
  void writeDirect(std::string_view bytes);
  [[noreturn]] void fail();

  StagedFile staged_;
  char* buffer_ = nullptr;
  size_t capacity_ = 1 << 20, used_ = 0;
  uint64_t written_ = 0;
};

}  // namespace tabulor
