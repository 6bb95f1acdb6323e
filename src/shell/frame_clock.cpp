#include "shell/frame_clock.h"

#include <algorithm>

namespace orin {

void FrameClock::Start(uint32_t now) {
  state_.LastTick = now;
  lastRateTick_ = now;
  presented_ = 0;
}

bool FrameClock::BeginFrame(uint32_t now) {
  const uint32_t delta = now - state_.LastTick;
  state_.LastTick = now;
  if (delta > kStallLimit) return false;
  state_.RunningClock = static_cast<int32_t>(static_cast<uint32_t>(state_.RunningClock) + delta);
  state_.FrameDelta = static_cast<int32_t>(delta);
  return true;
}

std::optional<double> FrameClock::UpdateFrameRate(uint32_t now) {
  const uint32_t elapsed = now - lastRateTick_;
  if (elapsed < kFrameRatePeriod) return std::nullopt;
  frameRate_ = static_cast<double>(presented_) * kFrameRatePeriod / elapsed;
  lastRateTick_ = now;
  presented_ = 0;
  return frameRate_;
}

uint32_t FrameClock::PacingSleep(int32_t interval, uint32_t frameStart, uint32_t now) {
  const int64_t rest = int64_t{interval} - int64_t{now - frameStart};
  return static_cast<uint32_t>(std::max<int64_t>(kMinimumSleep, rest));
}

}  // namespace orin
