// The checked output stream: plain POSIX writes, each one's result looked at.
#include "convert/calc_automation/checked_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <com/sun/star/io/IOException.hpp>
#include <cstring>

#include "convert/automation_protocol.h"
#include "convert/calc_automation/uno_errors.h"

namespace tabulor::calc {

std::string writeFailureReason(int error) {
  if (error == ENOSPC) return "the disk is full";
  if (error == EDQUOT) return "the disk quota is exhausted";
  if (error == ENAMETOOLONG) return "the file name is too long";
  return std::strerror(error);
}

unsigned writeFailureCode(int error) {
  if (error == ENOSPC || error == EDQUOT) return automation::CodeDiskFull;
  if (error == EACCES || error == EPERM || error == EROFS) return automation::CodeAccess;
  return automation::CodeCannotWrite;
}

CheckedOutput::CheckedOutput(std::string path, std::string shownPath)
    : path_(std::move(path)), shownPath_(std::move(shownPath)) {
  fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd_ < 0) {
    const int error = errno;
    throw HelperError{writeFailureCode(error),
                      "Cannot write '" + shownPath_ + "': " + writeFailureReason(error) + "."};
  }
}

CheckedOutput::~CheckedOutput() {
  if (fd_ >= 0) ::close(fd_);
  if (!finished_) ::unlink(path_.c_str());
}

void CheckedOutput::writeBytes(const css::uno::Sequence<sal_Int8>& data) {
  if (error_ == 0) {
    const char* bytes = reinterpret_cast<const char*>(data.getConstArray());
    size_t left = static_cast<size_t>(data.getLength());
    while (left > 0) {
      ssize_t n = ::write(fd_, bytes, left);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        error_ = n < 0 ? errno : EIO;
        break;
      }
      bytes += n;
      left -= static_cast<size_t>(n);
      written_ += n;
    }
  }
  if (error_ != 0)
    throw css::io::IOException(
        rtl::OUString::createFromAscii(writeFailureReason(error_).c_str()),
        css::uno::Reference<css::uno::XInterface>(static_cast<cppu::OWeakObject*>(this)));
}

void CheckedOutput::throwIfWriteFailed() {
  if (error_ != 0) finish();
}

long long CheckedOutput::finish() {
  int error = error_;
  // A file system that reserves blocks lazily reports a full disk only on the flush.
  if (error == 0 && ::fsync(fd_) != 0 && errno != EINVAL) error = errno;
  if (::close(fd_) != 0 && error == 0) error = errno;
  fd_ = -1;
  if (error != 0) {
    ::unlink(path_.c_str());
    finished_ = true;
    throw HelperError{writeFailureCode(error),
                      "Cannot write '" + shownPath_ + "': " + writeFailureReason(error) + "."};
  }
  finished_ = true;
  return written_;
}

}  // namespace tabulor::calc
