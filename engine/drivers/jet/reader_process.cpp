// Starting, reading and stopping the Jet reading helper process.
#include "engine/drivers/jet/reader_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "engine/engine_error.h"

extern char** environ;

namespace tabulor::jet {

std::string readerHelperPath() {
  if (const char* env = std::getenv("TABULOR_JET_READER"); env && *env) return env;
  char buf[4096];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  std::string self = n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
  auto slash = self.rfind('/');
  std::string folder = slash == std::string::npos ? std::string(".") : self.substr(0, slash);
  return folder + "/tabulor-jet-reader";
}

ReaderProcess::ReaderProcess(const std::string& file, const std::vector<std::string>& args)
    : file_(file), reader_([this](std::string& b) { fill(b); }) {
  std::string helper = readerHelperPath();
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0)
    throw EngineError(ErrorKind::Io, "Cannot read " + file + ": no pipe for the Jet reader");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(helper.c_str()));
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  int rc = posix_spawn(&pid_, helper.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(fds[1]);
  if (rc != 0) {
    ::close(fds[0]);
    pid_ = -1;
    throw EngineError(ErrorKind::Io, "Cannot read " + file + ": the Jet reader " + helper +
                                         " cannot be started (" + std::strerror(rc) + ")");
  }
  fd_ = fds[0];
}

ReaderProcess::~ReaderProcess() {
  stop(false);
}

namespace {

// Whether `pid` ended (and was reaped) within `milliseconds`.
bool endsWithin(pid_t pid, int milliseconds) {
  for (int waited = 0, step = 1;; waited += step, step = std::min(step * 2, 50)) {
    pid_t done = ::waitpid(pid, nullptr, WNOHANG);
    if (done == pid || (done < 0 && errno != EINTR)) return true;
    if (waited >= milliseconds) return false;
    ::usleep(static_cast<useconds_t>(step) * 1000);
  }
}

}  // namespace

void ReaderProcess::stop(bool now) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (pid_ > 0) {
    // A helper that has sent its answer ends by itself, and one that is still sending ends
    // at its next write into the closed pipe: it is killed only when it does neither (or at
    // once when it is known to be stuck), so that it is never cut off in its own exit.
    if (now || !endsWithin(pid_, ReaderExitMilliseconds)) {
      ::kill(pid_, SIGKILL);
      while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
      }
    }
  }
  pid_ = -1;
}

void ReaderProcess::failDamaged(const std::string& why) {
  stop(true);
  throw EngineError(ErrorKind::BadInput, file_ + " is damaged: " + why);
}

void ReaderProcess::fill(std::string& buffer) {
  if (fd_ < 0) failDamaged("its reader stopped");
  pollfd p{fd_, POLLIN, 0};
  int ready;
  do {
    ready = ::poll(&p, 1, ReaderTimeoutSeconds * 1000);
  } while (ready < 0 && errno == EINTR);
  if (ready == 0)
    failDamaged("reading it did not finish within " + std::to_string(ReaderTimeoutSeconds) +
                " seconds");
  char chunk[1 << 16];
  ssize_t n;
  do {
    n = ::read(fd_, chunk, sizeof chunk);
  } while (n < 0 && errno == EINTR);
  if (n <= 0) {
    // The helper ended without finishing its answer: it crashed or was killed.
    int status = 0;
    if (pid_ > 0 && ::waitpid(pid_, &status, 0) == pid_) pid_ = -1;
    if (WIFSIGNALED(status))
      failDamaged("the Jet reader failed on it (signal " + std::to_string(WTERMSIG(status)) + ")");
    failDamaged("the Jet reader stopped before the end");
  }
  buffer.append(chunk, static_cast<size_t>(n));
}

}  // namespace tabulor::jet
