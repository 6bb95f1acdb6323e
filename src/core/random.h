// TTpRandom: the player's small reproducible generator. It scrambles archive indexes, permutes
// the rows and tiles of layered images and orders the dither transition, so its sequence is part
// of those formats and must never change.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orin {

class TTpRandom {
 public:
  explicit TTpRandom(int32_t increment) : Increment(increment) {}

  // State := State * 5 + Increment (mod 2^32); the new state as a signed value. The first value
  // after creation is therefore Increment itself.
  int32_t Next() {
    State = State * 5u + static_cast<uint32_t>(Increment);
    return static_cast<int32_t>(State);
  }

  // Fills the draw list with 0 .. n-1 (nothing for n <= 0).
  void Reset(int32_t n);

  // Advances like Next, removes the element at State mod count and returns it. An empty list
  // yields -1 and leaves the state alone.
  int32_t Draw();

  int32_t Increment;
  uint32_t State = 0;

 private:
  std::vector<int32_t> list_;
};

}  // namespace orin
