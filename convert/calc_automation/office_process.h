// The office process of one conversion: soffice.bin started directly (so the PID held is the
// office's own), with a private profile and pipe name, a UTF-8 locale and a parent-death
// signal; ended by PID.
#pragma once

#include <sys/types.h>

#include <string>

namespace tabulor::calc {

// Checks, without starting anything, that the office and its spreadsheet filters are
// installed. Returns "" when they are, otherwise what is missing.
std::string missingOfficeParts();

class OfficeProcess {
 public:
  OfficeProcess() = default;
  ~OfficeProcess() { stop(0); }
  OfficeProcess(const OfficeProcess&) = delete;
  OfficeProcess& operator=(const OfficeProcess&) = delete;

  // Creates the private profile folder and starts the office listening on a private pipe.
  // Returns false and sets `why` on failure.
  bool start(std::string* why);
  // The office restarts itself once on a fresh profile (exit status 81): when it has exited
  // that way, starts it again and returns true. Returns false while it runs, and false with
  // `why` set when it ended otherwise.
  bool restartIfAsked(std::string* why);
  bool running();
  // Waits up to `graceSeconds` for the office to exit, then kills it; removes the profile.
  void stop(double graceSeconds);

  const std::string& connectUrl() const { return connectUrl_; }
  // Called once connected: only the profile of an office that ran may be kept.
  void markStarted() { started_ = true; }
  // True when the office should end by itself rather than be killed: its profile is to be
  // kept to seed later ones, and only that of an office that ended cleanly is complete.
  bool profileWanted() const;

 private:
  bool spawn(std::string* why);

  pid_t pid_ = -1;
  std::string profile_;
  std::string pipeName_;
  std::string connectUrl_;
  int restarts_ = 0;
  bool seeded_ = false;   // the profile is a copy of the kept one
  bool started_ = false;  // the office accepted a connection
  int exitStatus_ = -1;   // wait status of the office once reaped, -1 while unknown
};

}  // namespace tabulor::calc
