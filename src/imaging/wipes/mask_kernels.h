// Row kernels of the transitions: composing the outgoing and the incoming picture through an
// 8-bit mask (the hot path of every mask kind), turning a plane of 16-bit order values into mask
// values for a sweep level (the sweeping kinds), and copying a picture with a grey level added or
// subtracted (white, black, flash). Each has a plain scalar reference
// written straight from the formula, an SSE2 form (the x86-64 baseline) and an AVX2 form chosen
// at run time; the tests hold every form this machine runs to the reference on random rows.
// Mask runs of only 0 and 255 take a path without arithmetic (plain copies or a choice per
// pixel), which is what most of a screen is at any moment of a wipe.
//
// Every kernel works on `count` pixels of one row that the caller has already clipped. 32-bit
// pixels are four bytes blue, green, red and a fourth.
#pragma once

#include <cstdint>
#include <vector>

namespace orin::wipes {

// dst = the outgoing pixel where the mask is 0, the incoming one where it is 255 (all four
// bytes), otherwise every channel (m × in + (255 − m) × out) >> 8 and the fourth byte 0. With
// hardEdge every non-zero mask value counts as 255.
void MaskComposeRow32(uint8_t* dst, const uint8_t* out, const uint8_t* in, const uint8_t* mask, int count,
                      bool hardEdge);

// mask = clamp((level − order) >> softBits, 0, 255), the shift arithmetic. level and every order
// value lie in 0 … 32767; softBits in 0 … 7.
void OrderMaskRow(uint8_t* mask, const uint16_t* order, int count, int level, int softBits);

// dst = src with every colour channel min(255, c + level) (darken: max(0, c − level)); the fourth
// byte copied. level 0 … 255.
void GreyCopyRow32(uint8_t* dst, const uint8_t* src, int count, int level, bool darken);

struct MaskKernelSet {
  const char* name;
  void (*MaskComposeRow32)(uint8_t*, const uint8_t*, const uint8_t*, const uint8_t*, int, bool);
  void (*OrderMaskRow)(uint8_t*, const uint16_t*, int, int, int);
  void (*GreyCopyRow32)(uint8_t*, const uint8_t*, int, int, bool);
};

const MaskKernelSet& ReferenceMaskKernels();
// Every fast form this processor can run; the functions above use the last.
std::vector<const MaskKernelSet*> AvailableMaskKernels();

}  // namespace orin::wipes
