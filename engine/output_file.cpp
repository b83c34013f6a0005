// Temporary-then-rename output files.
#include "engine/output_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "engine/engine_error.h"

namespace tabulor {

OutputFile::OutputFile(std::string path) : staged_(std::move(path)) {
  buffer_ = new char[capacity_];
}

OutputFile::~OutputFile() {
  delete[] buffer_;
}

void OutputFile::fail() {
  throw EngineError(ErrorKind::Io, "Cannot write " + path() + ": " + systemReason(errno));
}

void OutputFile::writeDirect(std::string_view bytes) {
  const char* p = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    ssize_t n = ::write(staged_.fd(), p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      fail();
    }
    p += n;
    left -= static_cast<size_t>(n);
    written_ += static_cast<uint64_t>(n);
  }
}

void OutputFile::flush() {
  if (used_ == 0) return;
  size_t n = used_;
  used_ = 0;
  writeDirect(std::string_view(buffer_, n));
}

void OutputFile::writeAt(uint64_t offset, std::string_view bytes) {
  flush();
  if (::pwrite(staged_.fd(), bytes.data(), bytes.size(), static_cast<off_t>(offset)) !=
      static_cast<ssize_t>(bytes.size()))
    fail();
}

void OutputFile::commit() {
  flush();
  staged_.commit();
}

}  // namespace tabulor
