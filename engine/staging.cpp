// Staged files, staging folders, output locks and the sweep of stale ones.
//
// Names: "<prefix><pid>~XXXXXX~<name>" for staged files, "<prefix><pid>~XXXXXX" for staging
// folders, "<prefix>lock~<name>" for output locks. A staged file or folder exists for an
// instant before its creator locks it; the creator's PID in the name keeps a sweep from
// taking such an entry for a leftover while that process lives.
#include "engine/staging.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "engine/engine_error.h"
#include "engine/file_names.h"

namespace tabulor {

namespace {

constexpr std::string_view LockTag = "lock~";
// Entries of a living process older than this are leftovers of a killed process whose PID
// has been given to another.
constexpr time_t StaleAfterSeconds = 24 * 60 * 60;

std::string folderPart(const std::string& path) {
  std::string_view name = fileNameOf(path);
  return path.substr(0, path.size() - name.size());
}

// At most `bytes` bytes of `name`, cut on a character boundary.
std::string shortened(std::string_view name, size_t bytes) {
  if (name.size() <= bytes) return std::string(name);
  size_t end = bytes;
  while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) --end;
  return std::string(name.substr(0, end));
}

[[noreturn]] void failIo(const std::string& what, const std::string& path, int error) {
  throw EngineError(ErrorKind::Io, "Cannot " + what + " " + path + ": " + systemReason(error));
}

bool sameFile(int fd, const std::string& path) {
  struct stat a, b;
  return ::fstat(fd, &a) == 0 && ::lstat(path.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
         a.st_ino == b.st_ino;
}

bool processAlive(pid_t pid) {
  return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM);
}

std::string pidPrefix() {
  return std::string(StagingPrefix) + std::to_string(::getpid()) + "~";
}

}  // namespace

bool isStagingName(std::string_view fileName) {
  return fileName.substr(0, StagingPrefix.size()) == StagingPrefix;
}

StagedFile::StagedFile(std::string finalPath) : finalPath_(std::move(finalPath)) {
  const std::string suffix = "~" + shortened(fileNameOf(finalPath_), 120);
  std::string pattern = folderPart(finalPath_) + pidPrefix() + "XXXXXX" + suffix;
  fd_ = ::mkostemps(pattern.data(), static_cast<int>(suffix.size()), O_CLOEXEC);
  if (fd_ < 0) failIo("create", finalPath_, errno);
  stagingPath_ = pattern;
  ::fchmod(fd_, 0644);
  ::flock(fd_, LOCK_EX | LOCK_NB);
}

StagedFile::~StagedFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!committed_) ::unlink(stagingPath_.c_str());
}

void StagedFile::commit() {
  const int fd = fd_;
  fd_ = -1;
  // close() is where a network file system reports the writes it could not make.
  if (::close(fd) != 0) failIo("write", finalPath_, errno);
  if (::rename(stagingPath_.c_str(), finalPath_.c_str()) != 0) failIo("write", finalPath_, errno);
  committed_ = true;
}

StagingFolder::StagingFolder(const std::string& folder) {
  std::string pattern = joinPath(folder, pidPrefix() + "XXXXXX");
  if (!::mkdtemp(pattern.data())) {
    const int error = errno;
    throw EngineError(ErrorKind::Io, "Cannot write into the folder " + folder + ": " +
                                         (error == ENOENT ? std::string("it does not exist")
                                                          : systemReason(error)));
  }
  path_ = pattern;
  fd_ = ::open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd_ >= 0) ::flock(fd_, LOCK_EX | LOCK_NB);
}

StagingFolder::~StagingFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
  if (fd_ >= 0) ::close(fd_);
}

std::string outputLockName(std::string_view fileName) {
  std::string name = std::string(StagingPrefix) + std::string(LockTag);
  if (name.size() + fileName.size() <= 255) return name + std::string(fileName);
  // Too long for one name: a prefix of it plus a hash of the whole keeps names apart.
  uint64_t hash = 1469598103934665603ull;
  for (unsigned char c : fileName) hash = (hash ^ c) * 1099511628211ull;
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
  return name + shortened(fileName, 200) + "~" + hex;
}

OutputLock::OutputLock(const std::string& outputPath) {
  lockPath_ = folderPart(outputPath) + outputLockName(fileNameOf(outputPath));
  for (;;) {
    fd_ = ::open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd_ < 0) {
      const int error = errno;
      // A missing or read-only output folder is named as such, not as the file.
      std::string problem = folderWriteProblem(folderPart(outputPath));
      if (!problem.empty())
        throw EngineError(ErrorKind::Io, "Cannot write " + outputPath + ": " + problem);
      failIo("write", outputPath, error);
    }
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
      int error = errno;
      ::close(fd_);
      fd_ = -1;
      if (error == EWOULDBLOCK)
        throw EngineError(
            ErrorKind::Exists,
            "Cannot write " + outputPath + ": another Tabulor run is writing that file right now");
      failIo("lock", outputPath, error);
    }
    // A holder that finished in between unlinked the file we opened: take the new one.
    if (sameFile(fd_, lockPath_)) return;
    ::close(fd_);
  }
}

OutputLock::~OutputLock() {
  if (fd_ < 0) return;
  ::unlink(lockPath_.c_str());
  ::close(fd_);
}

int sweepStaleStaging(const std::string& folder) {
  std::error_code ec;
  std::filesystem::directory_iterator it(folder, ec), end;
  int removed = 0;
  const time_t now = ::time(nullptr);
  for (; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (!isStagingName(name)) continue;
    const std::string path = it->path().string();
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || S_ISLNK(st.st_mode)) continue;
    std::string_view rest = std::string_view(name).substr(StagingPrefix.size());
    const bool isLock = rest.substr(0, LockTag.size()) == LockTag;
    if (!isLock) {
      pid_t pid = static_cast<pid_t>(std::strtol(std::string(rest).c_str(), nullptr, 10));
      if (processAlive(pid) && now - st.st_mtime < StaleAfterSeconds) continue;
    }
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) continue;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && sameFile(fd, path)) {
      std::error_code ignored;
      if (S_ISDIR(st.st_mode) ? std::filesystem::remove_all(path, ignored) > 0
                              : ::unlink(path.c_str()) == 0)
        ++removed;
    }
    ::close(fd);
  }
  return removed;
}

}  // namespace tabulor
