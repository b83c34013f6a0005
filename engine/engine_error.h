// EngineError: the one exception the engine throws. It carries a numeric code (its kind)
// and the description a user is shown, which names the file, table and row where it can.
#pragma once

#include <stdexcept>
#include <string>

namespace tabulor {

enum class ErrorKind : int {
  Io = 3001,           // a file or folder could not be read, written or created
  BadInput = 3002,     // the data is not what its format promises (corrupt, truncated)
  Unsupported = 3003,  // a valid file or request this engine does not handle
  Limit = 3004,        // the target format cannot hold what it is given
  NotFound = 3005,     // a table, database or driver that does not exist
  Syntax = 3006,       // a statement the engine does not understand
  Exists = 3007,       // the target table exists already
  NoFields = 3008,     // a table without fields, which the target format cannot hold
  Cancelled = 3009,    // the owner of the statement asked it to stop (the user cancelled)
};

class EngineError : public std::runtime_error {
 public:
  EngineError(ErrorKind kind, const std::string& description)
      : std::runtime_error(description), kind_(kind) {}

  ErrorKind kind() const { return kind_; }
  int code() const { return static_cast<int>(kind_); }
  std::string description() const { return what(); }

 private:
  ErrorKind kind_;
};

}  // namespace tabulor
