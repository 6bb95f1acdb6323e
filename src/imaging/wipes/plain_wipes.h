// The transitions that draw their own effect from the two whole pictures, without a mask:
//   TWipeFade  (1): the outgoing picture, the incoming one blended over it with opacity
//                   t × 256 ÷ T, shifted by (round(f × p0), round(f × p1)), f = (T − t − 1) ÷ T;
//   TWipeWhite (12): a = t × 511 ÷ T; below 256 the outgoing picture with the grey a added
//                   (saturating), from 256 the incoming one with the grey 511 − a added, so the
//                   screen is white at the midpoint;
//   TWipeBlack (13): the same with the grey subtracted (black at the midpoint);
//   TWipeFlash (14): the incoming picture with the grey 255 − t × 255 ÷ T added.
#pragma once

#include <cstdint>
#include <vector>

#include "imaging/wipes/custom_wipe.h"

namespace orin {

class TWipeFade : public TCustomWipe {
 public:
  bool Step() override;

 private:
  std::vector<uint8_t> fadeMask_;  // one row of the opacity, kept between steps
};

// TWipeWhite, and TWipeBlack with darken set.
class TWipeWhite : public TCustomWipe {
 public:
  explicit TWipeWhite(bool darken = false) : darken_(darken) {}
  bool Step() override;

 private:
  bool darken_;
};

class TWipeFlash : public TCustomWipe {
 public:
  bool Step() override;
};

}  // namespace orin
