// Page reads and writes on a Jet file with pread/pwrite.
#include "engine/drivers/jet/jet_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "engine/drivers/jet/jet_header.h"
#include "engine/engine_error.h"
#include "engine/file_names.h"
#include "engine/staging.h"

namespace tabulor::jet {

JetFile::JetFile(std::string path)
    : path_(std::move(path)), fd_(::open(path_.c_str(), O_RDWR | O_CLOEXEC)) {
  if (!fd_.valid()) {
    if (errno == ENOENT) {
      // A database that is missing because its folder cannot take it says so.
      std::string folder = path_.substr(0, path_.size() - fileNameOf(path_).size());
      std::string problem = folderWriteProblem(folder);
      if (!problem.empty())
        throw EngineError(ErrorKind::Io, "Cannot write the database " + path_ + ": " + problem);
      throw EngineError(ErrorKind::NotFound, "Could not find file '" + path_ + "'");
    }
    fail("cannot be opened for writing");
  }
  struct stat st {};
  if (::fstat(fd_.get(), &st) != 0) fail("cannot be examined");
  bytes_ = static_cast<uint64_t>(st.st_size);
  pages_ = static_cast<uint32_t>(bytes_ / PageSize);
}

void JetFile::fail(const std::string& what) const {
  throw EngineError(ErrorKind::Io, path_ + " " + what + ": " + systemReason(errno));
}

std::string JetFile::readPage(uint32_t page) const {
  if (page >= pages_)
    throw EngineError(ErrorKind::BadInput, path_ + " is damaged: page " + std::to_string(page) +
                                               " is past the end of the file");
  std::string out(PageSize, '\0');
  size_t done = 0;
  while (done < PageSize) {
    ssize_t n = ::pread(fd_.get(), out.data() + done, PageSize - done,
                        static_cast<off_t>(uint64_t(page) * PageSize + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) fail("cannot be read");
    done += static_cast<size_t>(n);
  }
  return out;
}

void JetFile::writePage(uint32_t page, const std::string& bytes) {
  size_t done = 0;
  while (done < PageSize) {
    ssize_t n = ::pwrite(fd_.get(), bytes.data() + done, PageSize - done,
                         static_cast<off_t>(uint64_t(page) * PageSize + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) fail("cannot be written");
    done += static_cast<size_t>(n);
  }
  if (page >= pages_) {
    pages_ = page + 1;
    bytes_ = uint64_t(pages_) * PageSize;
  }
}

void JetFile::truncate(uint32_t pages) {
  if (::ftruncate(fd_.get(), static_cast<off_t>(uint64_t(pages) * PageSize)) != 0)
    fail("cannot be cut back");
  pages_ = pages;
  bytes_ = uint64_t(pages) * PageSize;
}

}  // namespace tabulor::jet
