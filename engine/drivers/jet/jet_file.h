// Page-level access to a Jet 4 file opened for adding a table: read and write whole pages,
// and cut the file back to a page count when a statement fails.
#pragma once

#include <cstdint>
#include <string>

#include "engine/file_descriptor.h"

namespace tabulor::jet {

class JetFile {
 public:
  // Opens an existing file for reading and writing. Throws EngineError(NotFound/Io).
  explicit JetFile(std::string path);
  JetFile(const JetFile&) = delete;
  JetFile& operator=(const JetFile&) = delete;

  uint32_t pageCount() const { return pages_; }
  uint64_t byteSize() const { return bytes_; }
  std::string readPage(uint32_t page) const;  // throws EngineError(BadInput) past the end
  void writePage(uint32_t page, const std::string& bytes);  // extends the file when needed
  void truncate(uint32_t pages);
  const std::string& path() const { return path_; }

 private:
  [[noreturn]] void fail(const std::string& what) const;
  std::string path_;
  FileDescriptor fd_;
  uint32_t pages_ = 0;
  uint64_t bytes_ = 0;
};

}  // namespace tabulor::jet
