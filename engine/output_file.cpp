// Temporary-then-rename output files.
#include "engine/output_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "engine/engine_error.h"
#include "engine/file_names.h"

namespace tabulor {

OutputFile::OutputFile(std::string path) : path_(std::move(path)) {
  std::string_view name = fileNameOf(path_);
  std::string folder = path_.substr(0, path_.size() - name.size());
  tempPath_ =
      folder + "." + std::string(name.substr(0, 200)) + ".partial-" + std::to_string(::getpid());
  fd_ = ::open(tempPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd_ < 0)
    throw EngineError(ErrorKind::Io, "Cannot create " + path_ + ": " + std::strerror(errno));
  buffer_ = new char[capacity_];
}

OutputFile::~OutputFile() {
  delete[] buffer_;
  if (fd_ >= 0) ::close(fd_);
  if (!committed_) ::unlink(tempPath_.c_str());
}

void OutputFile::fail(const char* what) {
  throw EngineError(ErrorKind::Io,
                    std::string("Cannot ") + what + " " + path_ + ": " + std::strerror(errno));
}

void OutputFile::writeDirect(std::string_view bytes) {
  const char* p = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    ssize_t n = ::write(fd_, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      fail("write");
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
  if (::pwrite(fd_, bytes.data(), bytes.size(), static_cast<off_t>(offset)) !=
      static_cast<ssize_t>(bytes.size()))
    fail("write");
}

void OutputFile::commit() {
  flush();
  if (::close(fd_) != 0) {
    fd_ = -1;
    fail("write");
  }
  fd_ = -1;
  if (::rename(tempPath_.c_str(), path_.c_str()) != 0) fail("write");
  committed_ = true;
}

}  // namespace tabulor
