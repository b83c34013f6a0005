// The tabulor side of spreadsheet automation: starts the helper program that drives the
// spreadsheet application, sends it one request line at a time over a socket pair and reads
// its replies. Nothing here links the application's libraries; a missing helper or office
// simply makes create() fail.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace tabulor {

// A failed automation call: the kind of the error reply (automation::KindBridge,
// KindDispatch or KindGeneral), its numeric code and the application's description.
class AutomationError : public std::runtime_error {
 public:
  AutomationError(std::string kind, uint32_t code, std::string description)
      : std::runtime_error(description),
        kind(std::move(kind)),
        code(code),
        description(std::move(description)) {}
  std::string kind;
  uint32_t code;
  std::string description;
};

class AutomationClient {
 public:
  AutomationClient() = default;
  ~AutomationClient() { release(); }
  AutomationClient(const AutomationClient&) = delete;
  AutomationClient& operator=(const AutomationClient&) = delete;

  // Starts `helperPath` and asks it to create the application for file-format `code`.
  // Returns false, with nothing left running and nothing printed, when the helper is missing
  // or cannot run (its libraries missing), or when the application is absent or does not
  // start. The helper dies with this process (parent-death signal), and takes the
  // application with it.
  bool create(const std::string& helperPath, int code, int createTimeoutSeconds);

  // Sends one request and returns the fields of its "ok" reply after "ok". Throws
  // AutomationError for an error reply, and a bridge error when the helper is gone, the
  // reply is garbled, or no reply came within the call timeout. The helper is ended after
  // every bridge error (its application is gone or hung) and after a garbled reply.
  std::vector<std::string> call(const std::vector<std::string>& request);

  void setCallTimeout(int seconds) { callTimeoutSeconds_ = seconds; }

  // True while the helper runs (after a successful create, until release or a failure that
  // ended it).
  bool running() const { return pid_ >= 0; }

  // Ends the helper: asks it to release the application, waits for it to exit and kills it
  // by PID when it does not. Safe to call on every path, any number of times.
  void release();

 private:
  enum class ReadResult { Line, Timeout, Closed };
  // Reads one line within the time limit.
  ReadResult readLine(std::string* line, int timeoutSeconds);
  bool writeLine(const std::string& line);
  void killHelper();

  pid_t pid_ = -1;
  int socket_ = -1;
  std::string pending_;
  int callTimeoutSeconds_ = 600;
};

}  // namespace tabulor
