// The system's monotonic millisecond clock, the one place the player reads it. It counts from an
// arbitrary start and wraps around at 2^32 like the Windows millisecond timer, so callers compare
// readings by unsigned difference. What the game sees as time comes from the platform (Ticks),
// which uses this clock in a window and a virtual one in headless runs.
#pragma once

#include <cstdint>

namespace orin {

uint32_t MonotonicMilliseconds();

}  // namespace orin
