// StopSignals: SIGINT and SIGTERM as a request to end the game the way the window's close box
// ends it — the interpreter stops, the exit page runs, the status data is written, exit code 0.
//
// The handlers only set a flag that the frame loop reads (also from inside a frame that runs
// long). The flag is the one piece of process-wide state here: a signal handler has nowhere else
// to put it. One StopSignals at a time; it puts the previous handlers back when it goes.
#pragma once

#include <csignal>

namespace orin {

class StopSignals {
 public:
  StopSignals();
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // The signal that asked to stop (SIGINT or SIGTERM), 0 while none came.
  int Raised() const;
  // Forgets a signal that was seen (tests).
  void Clear();

 private:
  struct sigaction previousInt_ {};
  struct sigaction previousTerm_ {};
};

}  // namespace orin
