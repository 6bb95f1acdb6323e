// RunTimeRandom: the player's one run-time generator, shared by the Random function, particles,
// fire and the crack and random-block transitions. Scripts that replay a seed see the same
// numbers, so the recurrence and the way a draw maps into its range are fixed:
//   s := s * 134775813 + 1 (mod 2^32);  draw(n) = (n * s) >> 32 on unsigned 64-bit values.
// A range n in 1 ... 2^31-1 gives 0 ... n-1; n is taken as its unsigned 32-bit pattern, so 0
// gives 0 and a negative n a value anywhere in the 32-bit range.
#pragma once

#include <cstdint>

namespace orin {

class RunTimeRandom {
 public:
  explicit RunTimeRandom(uint32_t seed = 0) : State(seed) {}

  int32_t Next(int32_t range) {
    State = State * 134775813u + 1u;
    const uint64_t product = static_cast<uint64_t>(static_cast<uint32_t>(range)) * State;
    return static_cast<int32_t>(static_cast<uint32_t>(product >> 32));
  }

  // The seed the main window takes: the UTC time of day in milliseconds,
  // ((hour * 60 + minute) * 60 + second) * 1000 + milliseconds.
  static uint32_t TimeOfDaySeed();

  uint32_t State;
};

}  // namespace orin
