// The transitions that pass through light or dark.
//
//   TWipeShadowWhite (20) / TWipeShadowBlack (21): a soft band of light (of shadow), a quarter of
//       the screen wide, sweeps across from left to right (reversed: from right to left); ahead
//       of its middle the outgoing picture, behind it the incoming one, both brightened (darkened)
//       towards the middle, which is white (black).
//   TWipeBlurWhite (25) / TWipeBlurBlack (26): the outgoing picture goes out of focus while it
//       fades to white (black), which it reaches at the midpoint; the incoming picture then comes
//       out of the white (black) and into focus. The blur is a box blur over half-resolution
//       pixels, at most a twelfth of the smaller side of the screen wide; at 15/16 bits only the
//       fade is drawn. Reverse has nothing to mirror.
#pragma once

#include <cstdint>
#include <vector>

#include "imaging/wipes/own_wipe.h"

namespace orin {

class TWipeShadowWhite : public OwnWipe {
 public:
  explicit TWipeShadowWhite(bool darken = false) : darken_(darken) {}
  void Prepare() override;
  bool Step() override;

 private:
  void Size();
  bool darken_;
  int band_ = 0;
  // The band's grey by column from its left edge, as pixels of the pictures' format.
  std::vector<uint8_t> profile_;
};

class TWipeShadowBlack final : public TWipeShadowWhite {
 public:
  TWipeShadowBlack() : TWipeShadowWhite(true) {}
};

class TWipeBlurWhite : public OwnWipe {
 public:
  explicit TWipeBlurWhite(bool darken = false) : darken_(darken) {}
  void Prepare() override;
  bool Step() override;

 private:
  void Size();
  // The picture at half resolution, box-blurred width2 pixels wide (half-resolution pixels),
  // then enlarged onto the target with the grey level added (subtracted when darkening).
  void Blur(const ScreenSurface& source, int width2, int level);
  bool darken_;
  int smallW_ = 0, smallH_ = 0;
  std::vector<uint8_t> small_;
};

class TWipeBlurBlack final : public TWipeBlurWhite {
 public:
  TWipeBlurBlack() : TWipeBlurWhite(true) {}
};

}  // namespace orin
