// InterruptHandler: Ctrl+C (SIGINT) and SIGTERM during a command-line run, turned into a
// request to stop that the run sees at its next row boundary, so it cleans up as Cancel does
// in the window. A second signal ends the program at once (the next run sweeps what it left).
#pragma once

#include <atomic>

namespace tabulor {

class InterruptHandler {
 public:
  // Installs the handlers; the old ones come back with the destructor.
  InterruptHandler();
  ~InterruptHandler();
  InterruptHandler(const InterruptHandler&) = delete;
  InterruptHandler& operator=(const InterruptHandler&) = delete;

  // Becomes true when a signal came; read it as often as needed.
  const std::atomic<bool>* requested() const;
  // The signal that came, 0 while none did.
  int signalNumber() const;
};

}  // namespace tabulor
