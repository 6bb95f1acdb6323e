#include "shell/stop_signals.h"

#include <atomic>

namespace orin {

namespace {

std::atomic<int> raised{0};
static_assert(std::atomic<int>::is_always_lock_free,
              "a signal handler may only touch lock-free atomics");

void OnStopSignal(int signal) {
  raised.store(signal, std::memory_order_relaxed);
}

}  // namespace

StopSignals::StopSignals() {
  raised.store(0, std::memory_order_relaxed);
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  // Interrupted waits come back with EINTR and the loop looks at the flag.
  action.sa_flags = 0;
  sigaction(SIGINT, &action, &previousInt_);
  sigaction(SIGTERM, &action, &previousTerm_);
}

StopSignals::~StopSignals() {
  sigaction(SIGINT, &previousInt_, nullptr);
  sigaction(SIGTERM, &previousTerm_, nullptr);
}

int StopSignals::Raised() const {
  return raised.load(std::memory_order_relaxed);
}

void StopSignals::Clear() {
  raised.store(0, std::memory_order_relaxed);
}

}  // namespace orin
