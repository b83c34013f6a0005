// The Jet reading helper process: libmdb runs in `tabulor-jet-reader`, beside the
// executable, and streams its results through a pipe. A damaged file that makes the library
// loop or crash costs only that process: the driver gives it up when it has sent nothing for
// a few seconds, or when it dies, and reports the file as damaged.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/drivers/jet/reader_protocol.h"

namespace tabulor::jet {

// Seconds the helper may stay silent before the file is declared damaged.
inline constexpr int ReaderTimeoutSeconds = 5;
// Milliseconds a helper that is no longer read from may take to end before it is killed.
inline constexpr int ReaderExitMilliseconds = 2000;

class ReaderProcess {
 public:
  // Starts the helper with `args` (after the program name). `file` names the database in
  // messages. Throws EngineError(Io) when the helper cannot be started.
  ReaderProcess(const std::string& file, const std::vector<std::string>& args);
  ~ReaderProcess();  // stops the helper if it still runs
  ReaderProcess(const ReaderProcess&) = delete;
  ReaderProcess& operator=(const ReaderProcess&) = delete;

  MessageReader& messages() { return reader_; }

 private:
  void fill(std::string& buffer);
  [[noreturn]] void failDamaged(const std::string& why);
  // Closes the pipe and reaps the helper; `now` kills it without waiting for it to end.
  void stop(bool now);

  std::string file_;
  pid_t pid_ = -1;
  int fd_ = -1;
  MessageReader reader_;
};

// Path of the helper executable: $TABULOR_JET_READER, else tabulor-jet-reader in the folder
// of the running executable.
std::string readerHelperPath();

}  // namespace tabulor::jet
