// WipeTable: the screen transitions by kind number (1-38), each with the default parameters it
// is given right after it is made. A kind without a maker makes no transition (the flip is then
// immediate), as does any number outside 1-38.
//
// The standard table knows the defaults of all 38 kinds and makes those written so far:
// 1 TWipeFade, 12 TWipeWhite, 13 TWipeBlack, 14 TWipeFlash (imaging/wipes/plain_wipes.h); the mask
// kinds 2-5, 8-11, 36-38 (mask_wipes.h) and 19, 31, 34, 35 (sweep_wipes.h); 15 TWipeMosaic
// (mosaic_wipe.h); the kinds with geometry of their own 6, 7, 16, 17, 32, 33 (slide_wipes.h),
// 18, 22, 23, 30 (zoom_wipes.h), 20, 21, 25, 26 (light_wipes.h) and 24, 27, 28, 29
// (distort_wipes.h).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "imaging/wipes/custom_wipe.h"

namespace orin {

class WipeTable {
 public:
  static constexpr int kKinds = 38;
  using Maker = std::function<std::unique_ptr<TCustomWipe>()>;

  static WipeTable Standard();

  // Replaces the maker of a kind (1-38; others are ignored), keeping its default parameters.
  void Set(int kind, Maker maker);
  // Replaces the default parameters of a kind (1-38; others are ignored).
  void SetDefaults(int kind, int32_t param0, int32_t param1);
  bool Has(int kind) const;
  // The kind's wipe with its defaults applied through SetParam, or null.
  std::unique_ptr<TCustomWipe> Make(int kind) const;
  // The class name of a kind ("TWipeFade" for 1), or null outside 1-38.
  static const char* KindName(int kind);

 private:
  struct Kind {
    Maker Make;
    int32_t Param0 = 0;
    int32_t Param1 = 0;
  };
  std::array<Kind, kKinds + 1> kinds_{};
};

}  // namespace orin
