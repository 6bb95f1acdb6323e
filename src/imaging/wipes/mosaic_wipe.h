// TWipeMosaic (15): the outgoing picture breaks up into ever larger square blocks, the incoming
// picture fades in over it in equally large blocks, and the blocks shrink again until the
// incoming picture is sharp. With a = t × 1023 ÷ T:
//   a 0 … 255     the outgoing picture in blocks growing from one pixel to the largest size;
//   a 256 … 767   both pictures in the largest blocks, the incoming one blended over the outgoing
//                 one with an opacity rising from 0 to 255;
//   a 768 … 1023  the incoming picture in blocks shrinking back to one pixel.
// Block sizes are a quarter of the screen width scaled by a factor rising with the square of the
// quarter's progress q (0 … 255), from 24/256 to 263/256: (24 + 239 × (q / 255)²) / 256. Over the
// first eight steps of q the size rises from one pixel to that curve, so the transition starts
// on the exact outgoing picture. Each block shows the pixel at its centre. The blocks are lined
// up from the top-left corner (reversed: from the bottom-right one).
#pragma once

#include <cstdint>

#include "imaging/wipes/custom_wipe.h"

namespace orin {

class TWipeMosaic : public TCustomWipe {
 public:
  bool Step() override;

  // The block size for progress q (0 … 255) of a quarter on a screen `width` pixels wide.
  static int BlockSize(int q, int width);

 private:
  // Draws both pictures in blocks of `size`, the incoming one over the outgoing one with
  // opacity 0 (outgoing only) … 255 (incoming only).
  void DrawBlocks(int size, int opacity);
};

}  // namespace orin
