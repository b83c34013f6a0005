// The run's office: started lazily, restarted after a crash, ended with the run.
#include "convert/office_session.h"

#include "convert/conversion_context.h"

namespace tabulor {

namespace {
// After this many crashes or hangs in one run, the rest of the run goes to the engine:
// each costs a time limit, and an office that keeps failing will fail again.
constexpr int MaxLosses = 2;
}  // namespace

OfficeSession::OfficeSession(std::string helperPath, int createTimeoutSeconds,
                             int callTimeoutSeconds)
    : helperPath_(std::move(helperPath)),
      createTimeoutSeconds_(createTimeoutSeconds),
      callTimeoutSeconds_(callTimeoutSeconds) {}

OfficeSession::OfficeSession(const ConversionContext& ctx)
    : OfficeSession(ctx.automationHelper.empty() ? ctx.programFolder + AutomationHelperName
                                                 : ctx.automationHelper,
                    ctx.automationCreateTimeoutSeconds, ctx.automationCallTimeoutSeconds) {}

AutomationClient* OfficeSession::acquire(int code) {
  if (running_ && client_.running()) return &client_;
  if (unavailable_) return nullptr;
  running_ = false;
  if (!client_.create(helperPath_, code, createTimeoutSeconds_)) {
    unavailable_ = true;
    return nullptr;
  }
  client_.setCallTimeout(callTimeoutSeconds_);
  running_ = true;
  ++starts_;
  return &client_;
}

void OfficeSession::checkAfterFailure() {
  if (!running_ || client_.running()) return;
  running_ = false;
  if (++losses_ >= MaxLosses) unavailable_ = true;
}

void OfficeSession::end() {
  client_.release();
  running_ = false;
}

}  // namespace tabulor
