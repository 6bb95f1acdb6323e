// Row kernels of the screen compositor (ScreenSurface) that the surface kernels of
// imaging/pixel_kernels.h do not already provide: grey add and subtract with saturation, drawing
// through an 8-bit mask with an opacity, additive drawing with a level, and filling a colour
// through a mask. Each 32-bit kernel has a plain scalar reference written straight from the
// per-pixel formulas and an SSE2 form (the x86-64 baseline); the tests hold every form this
// machine runs to the reference on random rows. The 15/16-bit kernels are scalar only: the
// player composes at 32 bits, the other depths exist for completeness of the surface family.
//
// Every kernel works on `count` pixels of one row that the caller has already clipped. 32-bit
// pixels are four bytes blue, green, red and a fourth; 15/16-bit pixels are 16-bit words whose
// channels the three masks describe.
//
// Weights, per pixel, from a mask value m:
//   * opacity a (1 .. 254): α = a where m = 255, else (m × a) >> 8;
//   * additive level L (0 .. 65535): β = L where m = 255, else (m × L) >> 8.
// A weight of 0 leaves the destination pixel unchanged in every kernel.
#pragma once

#include <cstdint>
#include <vector>

namespace orin::compose {

// Every colour channel c = min(255, c + level) (AddGrey) or max(0, c − level) (SubGrey); the
// fourth byte is kept.
void AddGreyRow32(uint8_t* dst, int count, int level);
void SubGreyRow32(uint8_t* dst, int count, int level);
// Through a mask with opacity a (1 .. 254): α as above; α 0 keeps d, otherwise every channel
// (d × (255 − α) + s × α) >> 8 and the fourth byte 0. (At opacity 255 the mask alone is the
// weight: pixel::AlphaRow32.)
void MaskOpacityRow32(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int count, int opacity);
// Additive through a mask with level L: β as above; every colour channel
// min(255, d + ((s × β) >> 8)); the fourth byte is kept.
void AddMaskRow32(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int count, int level);
// Additive without a mask: β = L for every source pixel that differs from key (whole four
// bytes compared, so key 0xFFFFFFFF never matches a drawable's pixel); others are skipped.
void AddRow32(uint8_t* dst, const uint8_t* src, int count, int level, uint32_t key);
// Fills colour (a 32-bit pixel) through a mask with opacity a (1 .. 255 and above): m' = m when
// a ≥ 255, else (a × m) >> 8; m' 0 keeps d, otherwise every channel
// ((255 − m') × d + m' × colour) >> 8 and the fourth byte 0.
void FillMaskRow32(uint8_t* dst, const uint8_t* mask, int count, uint32_t colour, int opacity);

// The same operations on 15/16-bit words; every channel is taken with its mask m and combined
// as m & (formula on the masked bits), which equals the formula on the channel value.
// AddGrey/SubGrey take the grey level already converted to a pixel of the surface.
void AddGreyRow16(uint16_t* dst, int count, uint16_t greyPixel, const uint32_t masks[3]);
void SubGreyRow16(uint16_t* dst, int count, uint16_t greyPixel, const uint32_t masks[3]);
// opacity 1 .. 254 blends (skipping key, compared as the whole word; a key outside 0 .. 0xFFFF
// matches nothing); 255 and above is a keyed copy.
void BlendRow16(uint16_t* dst, const uint16_t* src, int count, int opacity, int32_t key, const uint32_t masks[3]);
// opacity 255 and above: the mask alone (0 keeps, 255 writes s); 1 .. 254: α as above.
void MaskRow16(uint16_t* dst, const uint16_t* src, const uint8_t* mask, int count, int opacity, const uint32_t masks[3]);
// mask may be null: then β = L where the source differs from key.
void AddRow16(uint16_t* dst, const uint16_t* src, const uint8_t* mask, int count, int level, int32_t key,
              const uint32_t masks[3]);
void FillMaskRow16(uint16_t* dst, const uint8_t* mask, int count, uint16_t colour, int opacity, const uint32_t masks[3]);

// One complete form of the 32-bit kernels.
struct KernelSet {
  const char* name;
  void (*AddGreyRow32)(uint8_t*, int, int);
  void (*SubGreyRow32)(uint8_t*, int, int);
  void (*MaskOpacityRow32)(uint8_t*, const uint8_t*, const uint8_t*, int, int);
  void (*AddMaskRow32)(uint8_t*, const uint8_t*, const uint8_t*, int, int);
  void (*AddRow32)(uint8_t*, const uint8_t*, int, int, uint32_t);
  void (*FillMaskRow32)(uint8_t*, const uint8_t*, int, uint32_t, int);
};

const KernelSet& ReferenceKernels();
// Every fast form this processor can run; the functions above use the last.
std::vector<const KernelSet*> AvailableKernels();

}  // namespace orin::compose
