// FrameClock: the clock rules of the idle handler, apart from the window so that they can be
// tested with any clock readings.
//
//   * Start(now) and Reset(now) (activation, leaving a modal loop) only move the last tick: the
//     time spent meanwhile never becomes a frame delta.
//   * BeginFrame(now): delta = now − last tick, unsigned, so the 49-day wrap of the millisecond
//     clock is one ordinary step. A delta above 3000 ms produces no frame: the last tick moves to
//     now and nothing else changes (a stall after a pause or a dragged window does not turn into
//     one huge step). Otherwise the running clock grows by delta (wrapping like an int32), the
//     frame delta becomes delta and the last tick now. Exactly 3000 ms still runs a frame.
//   * The frame-rate value is measured over at least 2000 ms: (frames presented × 2000) ÷ the
//     milliseconds since the last measurement.
//   * PacingSleep: with frame pacing each frame sleeps max(2, interval − time spent since now).
#pragma once

#include <cstdint>
#include <optional>

#include "shell/shell_state.h"

namespace orin {

class FrameClock {
 public:
  static constexpr uint32_t kStallLimit = 3000;
  static constexpr uint32_t kFrameRatePeriod = 2000;
  static constexpr int32_t kMinimumSleep = 2;

  explicit FrameClock(ShellState& state) : state_(state) {}

  // The first reading: the last tick and the frame-rate tick both start here.
  void Start(uint32_t now);
  void Reset(uint32_t now) { state_.LastTick = now; }

  // True when a frame runs now (the state then holds its delta).
  bool BeginFrame(uint32_t now);

  // Something was copied to the screen in this frame.
  void CountPresented() { ++presented_; }
  // Once at least 2000 ms have passed since the last measurement: the new frame-rate value (also
  // kept in FrameRate()); the count starts again.
  std::optional<double> UpdateFrameRate(uint32_t now);
  double FrameRate() const { return frameRate_; }

  // Milliseconds to sleep after a frame that began at frameStart when the clock now reads now.
  static uint32_t PacingSleep(int32_t interval, uint32_t frameStart, uint32_t now);

 private:
  ShellState& state_;
  uint32_t lastRateTick_ = 0;
  uint32_t presented_ = 0;
  double frameRate_ = 0;
};

}  // namespace orin
