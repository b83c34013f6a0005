// The automation client: spawning the helper with a parent-death signal, the request/reply
// exchange with time limits, and the teardown that leaves no process behind.
#include "convert/automation_client.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "convert/automation_protocol.h"

namespace tabulor {

using namespace automation;

namespace {

// Waits up to `seconds` for `pid` to exit; true when it was reaped.
bool waitForExit(pid_t pid, double seconds) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  for (;;) {
    int status = 0;
    pid_t r = ::waitpid(pid, &status, WNOHANG);
    if (r == pid || (r < 0 && errno != EINTR)) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

}  // namespace

bool AutomationClient::create(const std::string& helperPath, int code, int createTimeoutSeconds) {
  release();
  // Absent helper: fail without starting anything.
  if (helperPath.empty() || ::access(helperPath.c_str(), X_OK) != 0) return false;

  int fds[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return false;
  const pid_t parent = ::getpid();
  char* const argv[] = {const_cast<char*>(helperPath.c_str()), nullptr};

  pid_t pid = ::fork();
  if (pid < 0) {
    ::close(fds[0]);
    ::close(fds[1]);
    return false;
  }
  if (pid == 0) {
    // Only async-signal-safe calls between fork and exec.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    // A process group of its own: Ctrl+C in a terminal reaches tabulor alone, which stops
    // between calls and releases the application, rather than the helper dying mid-call.
    ::setpgid(0, 0);
    if (::getppid() != parent) ::_exit(127);
    ::dup2(fds[1], 0);
    ::dup2(fds[1], 1);
    // The dynamic loader's complaints about a missing office library ("error while loading
    // shared libraries") are the ordinary absent case, not something to show.
    const int null = ::open("/dev/null", O_WRONLY);
    if (null >= 0) ::dup2(null, 2);
    ::close_range(3, ~0U, 0);
    ::execv(helperPath.c_str(), argv);
    ::_exit(127);
  }
  ::close(fds[1]);
  pid_ = pid;
  socket_ = fds[0];

  std::string reply;
  if (!writeLine(encodeLine({"create", std::to_string(code)})) ||
      readLine(&reply, createTimeoutSeconds) != ReadResult::Line) {
    killHelper();
    return false;
  }
  std::vector<std::string> fields = decodeLine(reply);
  if (fields.front() != ReplyOk) {
    // Absent, or present but unable to start: either way the call declines. The helper
    // has cleaned up after itself and exits on release.
    release();
    return false;
  }
  return true;
}

std::vector<std::string> AutomationClient::call(const std::vector<std::string>& request) {
  if (pid_ < 0)
    throw AutomationError(std::string(KindBridge), CodeCallFailed,
                          "The spreadsheet application is not running.");
  std::string reply;
  if (!writeLine(encodeLine(request))) {
    killHelper();
    throw AutomationError(std::string(KindBridge), CodeCallFailed,
                          "The link to the spreadsheet application is broken.");
  }
  ReadResult read = readLine(&reply, callTimeoutSeconds_);
  if (read != ReadResult::Line) {
    killHelper();
    if (read == ReadResult::Timeout)
      throw AutomationError(std::string(KindBridge), CodeTimeout,
                            "The spreadsheet application did not answer in time.");
    throw AutomationError(std::string(KindBridge), CodeCallFailed,
                          "The spreadsheet application ended during the call.");
  }
  std::vector<std::string> fields = decodeLine(reply);
  if (fields.front() == ReplyOk) {
    fields.erase(fields.begin());
    return fields;
  }
  if (fields.front() == ReplyError && fields.size() >= 4) {
    unsigned long code = std::strtoul(fields[2].c_str(), nullptr, 16);
    // The helper has lost the application (it crashed or was killed): it can do nothing
    // more, and a fresh one is started for the next workbook.
    if (fields[1] == KindBridge) killHelper();
    throw AutomationError(fields[1], static_cast<uint32_t>(code), fields[3]);
  }
  killHelper();
  throw AutomationError(std::string(KindGeneral), 0, "Unexpected reply: " + reply);
}

void AutomationClient::release() {
  if (pid_ < 0) return;
  std::string reply;
  // The helper closes the documents and ends the office (waiting up to 10 s for it).
  if (writeLine(encodeLine({"release"}))) (void)readLine(&reply, 15);
  ::shutdown(socket_, SHUT_RDWR);
  if (!waitForExit(pid_, 15)) killHelper();
  pid_ = -1;
  if (socket_ >= 0) ::close(socket_);
  socket_ = -1;
  pending_.clear();
}

void AutomationClient::killHelper() {
  if (pid_ >= 0) {
    // The office dies with the helper through its own parent-death signal.
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  if (socket_ >= 0) ::close(socket_);
  socket_ = -1;
  pending_.clear();
}

bool AutomationClient::writeLine(const std::string& line) {
  if (socket_ < 0) return false;
  std::string data = line + "\n";
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::send(socket_, data.data() + done, data.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

AutomationClient::ReadResult AutomationClient::readLine(std::string* line, int timeoutSeconds) {
  if (socket_ < 0) return ReadResult::Closed;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  for (;;) {
    size_t nl = pending_.find('\n');
    if (nl != std::string::npos) {
      *line = pending_.substr(0, nl);
      pending_.erase(0, nl + 1);
      return ReadResult::Line;
    }
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return ReadResult::Timeout;
    pollfd pfd{socket_, POLLIN, 0};
    int r = ::poll(&pfd, 1, static_cast<int>(std::min<long long>(left.count(), 1000)));
    if (r < 0 && errno != EINTR) return ReadResult::Closed;
    if (r <= 0) continue;
    char buf[4096];
    ssize_t n = ::recv(socket_, buf, sizeof buf, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return ReadResult::Closed;
    pending_.append(buf, static_cast<size_t>(n));
  }
}

}  // namespace tabulor
