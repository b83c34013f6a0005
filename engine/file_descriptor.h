// An open file descriptor owned by one object: closed when the owner goes, including when
// the owner's constructor throws after the open (a damaged header, a failed fstat), when no
// destructor of the owner runs. A batch over many damaged files must not run out of them.
#pragma once

#include <unistd.h>

namespace tabulor {

class FileDescriptor {
 public:
  FileDescriptor() = default;
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace tabulor
