// The mask transitions that sweep a soft edge across an order fixed at Prepare: every pixel gets
// an order value, and at time t a level rising from 0 to 32767 turns over the pixels it has
// passed, each over a short span of levels (the soft edge). The mask is therefore 0 everywhere at
// t = 0 and reaches 255 everywhere as t reaches T.
//
//   TWipeShadow    (19): the incoming picture appears from its shadows: its darkest parts show
//                        first and its highlights last, each pixel fading in over a quarter of
//                        the time in the order of its brightness. Reversed: highlights first.
//   TWipeClockhand (31): a clock hand turns once round the centre of the screen from 12 o'clock,
//                        clockwise, showing the incoming picture behind it (reversed:
//                        anticlockwise); its edge is softened over about three degrees.
//   TWipeFan       (34): a folding fan, pivoted at the bottom centre, opens from the left edge of
//                        the screen over the top to the right edge, the incoming picture on its
//                        leaf (reversed: from the right to the left).
//   TWipeWFan      (35): two fans, one standing on the bottom centre and its mirror image hanging
//                        from the top centre, open together from the left to the right and meet
//                        along the middle row (reversed: from the right).
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "imaging/wipes/custom_wipe.h"

namespace orin {

class SweepWipe : public TWipeMask {
 public:
  void Prepare() override;
  bool UpdateMask() override;

  // The largest level; order values lie in 0 … kLevels − (255 << softBits) so that the last
  // pixel is fully turned over when the level arrives.
  static constexpr int kLevels = 32767;

 protected:
  explicit SweepWipe(int softBits) : softBits_(softBits) {}
  int OrderRange() const { return kLevels - (255 << softBits_); }
  // Fills the order plane (the screen's size, row by row) with values in 0 … OrderRange().
  virtual void FillOrder(std::vector<uint16_t>& order, int width, int height) = 0;
  // A fraction 0 … 1 as an order value, rounded (inline and without a library call, so that the
  // loops over the screen vectorise).
  uint16_t ToOrder(double fraction) const {
    return static_cast<uint16_t>(std::min(std::max(fraction, 0.0), 1.0) * OrderRange() + 0.5);
  }

 private:
  int softBits_;
  std::vector<uint16_t> order_;
};

class TWipeShadow : public SweepWipe {
 public:
  TWipeShadow() : SweepWipe(5) {}

 protected:
  void FillOrder(std::vector<uint16_t>& order, int width, int height) override;
};

class TWipeClockhand : public SweepWipe {
 public:
  TWipeClockhand() : SweepWipe(0) {}

 protected:
  void FillOrder(std::vector<uint16_t>& order, int width, int height) override;
};

class TWipeFan : public SweepWipe {
 public:
  TWipeFan() : SweepWipe(0) {}

 protected:
  void FillOrder(std::vector<uint16_t>& order, int width, int height) override;
};

class TWipeWFan : public SweepWipe {
 public:
  TWipeWFan() : SweepWipe(0) {}

 protected:
  void FillOrder(std::vector<uint16_t>& order, int width, int height) override;
};

}  // namespace orin
