// Signal handlers of a command-line run.
#include "app/interrupt.h"

#include <signal.h>

namespace tabulor {

namespace {

// A signal handler reaches only static storage: these two are the one place the handler
// and the run meet. Lock-free atomics are safe to write from a handler.
std::atomic<bool> interruptRequested{false};
std::atomic<int> interruptSignal{0};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free);

constexpr int HandledSignals[] = {SIGINT, SIGTERM};
struct sigaction previous[2];

void onSignal(int signo) {
  interruptSignal.store(signo);
  interruptRequested.store(true);
}

}  // namespace

InterruptHandler::InterruptHandler() {
  interruptRequested.store(false);
  interruptSignal.store(0);
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  // SA_RESETHAND: a second Ctrl+C finds the default action and ends the program.
  action.sa_flags = SA_RESTART | SA_RESETHAND;
  for (int i = 0; i < 2; ++i) ::sigaction(HandledSignals[i], &action, &previous[i]);
}

InterruptHandler::~InterruptHandler() {
  for (int i = 0; i < 2; ++i) ::sigaction(HandledSignals[i], &previous[i], nullptr);
}

const std::atomic<bool>* InterruptHandler::requested() const {
  return &interruptRequested;
}

int InterruptHandler::signalNumber() const {
  return interruptSignal.load();
}

}  // namespace tabulor
