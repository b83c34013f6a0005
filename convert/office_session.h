// OfficeSession: the spreadsheet application of one conversion run. It is started on the
// first workbook that needs it and kept for the rest of the run (starting the office costs
// about a second, a small workbook a few hundredths), and ended with the run. An office that
// is missing or does not start is asked for once per run; one that crashes or hangs is
// killed, and the next workbook gets a fresh one.
#pragma once

#include <string>

#include "convert/automation_client.h"

namespace tabulor {

struct ConversionContext;

class OfficeSession {
 public:
  // `helperPath` is the automation helper program; the limits are those of the context.
  OfficeSession(std::string helperPath, int createTimeoutSeconds, int callTimeoutSeconds);
  // The helper and office path the context names (its own helper, or the installed one).
  explicit OfficeSession(const ConversionContext& ctx);
  ~OfficeSession() { end(); }
  OfficeSession(const OfficeSession&) = delete;
  OfficeSession& operator=(const OfficeSession&) = delete;

  // The running application, started now when it is not running yet; nullptr when it is
  // absent, cannot start, or has failed too often in this run (the caller then declines).
  // `code` is the file-format code of the run's target.
  AutomationClient* acquire(int code);
  // True once the application was found missing or gave up in this run: acquire() would
  // return nullptr without trying.
  bool unavailable() const { return unavailable_; }
  // Called after a failed call: when the application has gone (crashed, hung and killed),
  // the next acquire() starts a fresh one, up to a limit per run.
  void checkAfterFailure();
  // Ends the application; a later acquire() starts it again.
  void end();

  // How many times the application was started in this run.
  int starts() const { return starts_; }

 private:
  std::string helperPath_;
  int createTimeoutSeconds_, callTimeoutSeconds_;
  AutomationClient client_;
  bool running_ = false;
  bool unavailable_ = false;
  int starts_ = 0;
  int losses_ = 0;
};

}  // namespace tabulor
