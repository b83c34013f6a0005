// Turns the exception being handled into an error reply of the automation protocol: the
// kind (bridge, dispatch, general), the office's numeric error code and its message.
#pragma once

#include <string>

namespace tabulor::calc {

// Call only inside a catch block. `officeRunning` is false when the office process has
// ended: every failure is then one of the bridge.
std::string currentExceptionReply(bool officeRunning);

// What an office error code means, in a few words ("access denied"); for codes without an
// entry, "LibreOffice error 0x<code>".
std::string officeErrorText(unsigned code);

// The office's error code carried by the UNO exception being handled (ErrorCodeIOException's
// ErrCode, or "failed: 0x<code>" in the message), or 0 when it has none. Call only inside a
// catch block.
unsigned currentOfficeErrorCode();

// An error the helper raises itself with the office's own kind of code (a workbook that is
// not found, a folder that cannot be written).
struct HelperError {
  unsigned code;
  std::string description;
};

}  // namespace tabulor::calc
