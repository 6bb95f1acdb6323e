// ShellState: the process-wide state of the player that the shell owns and every other part
// reads — the closing flag, the clocks of the frame loop and the frame counter.
//
// There is one per run, owned by whoever runs the game (orinplay's main, or a test) and passed
// by reference; nothing reaches it through a global.
#pragma once

#include <cstdint>

namespace orin {

struct ShellState {
  // While set no frame runs and the interpreter stops. The project sets it first thing while it
  // starts and clears it once the game runs, so a failed start leaves the game stopped.
  bool Closing = false;
  // The clock reading at the previous frame (wraps around like the system's millisecond timer).
  uint32_t LastTick = 0;
  // Sum of all frame deltas: the timers' clock and the first field of trace lines.
  int32_t RunningClock = 0;
  // Milliseconds between this frame and the one before; every time-based part subtracts it.
  int32_t FrameDelta = 0;
  // Target length of one frame when the project asks for frame pacing.
  int32_t FrameInterval = 16;
  // A frame is drawn on every n-th executed frame only.
  int32_t DrawDivisor = 1;
  // Grows by one with every frame that got past the interpreter.
  int32_t FrameCounter = 0;
};

}  // namespace orin
