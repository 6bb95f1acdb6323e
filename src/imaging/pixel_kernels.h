// Row kernels of the 24- and 32-bit drawing paths of TDIBSurface, in several forms: a plain
// scalar reference written straight from the per-pixel formulas, an SSE2 form (the x86-64
// baseline) and an AVX2 form chosen at run time when the processor has it. The tests hold every
// form this machine can run to the reference on random rows.
//
// Every kernel works on `count` pixels of one row; the caller has clipped the row already.
// Pixels of 24 bits are three bytes blue, green, red; of 32 bits four bytes blue, green, red and
// a fourth. Opacities are 1 .. 254 (the callers handle 0 and the keyed-copy cases).
#pragma once

#include <cstdint>
#include <vector>

namespace orin::pixel {

// DrawBlend at 32 bits: every channel (d × (255 − a) + s × a) >> 8, the fourth byte 0; source
// pixels equal to key (all four bytes) leave the destination alone.
void BlendRow32(uint8_t* dst, const uint8_t* src, int count, int opacity, uint32_t key);
// DrawBlend at 24 bits: every byte ((255 − a) × d + a × s) div 255. With key ≥ 0 a source pixel
// whose three bytes equal the low three bytes of key is skipped; key < 0 skips nothing.
void BlendRow24(uint8_t* dst, const uint8_t* src, int count, int opacity, int32_t key);
// DrawAlpha at 32 bits: α 0 keeps d, α 255 writes all four bytes of s, anything else blends as
// BlendRow32 with α as the opacity.
void AlphaRow32(uint8_t* dst, const uint8_t* src, const uint8_t* alpha, int count);
// DrawKeyed at 32 bits (whole value compared) and at 24 bits (three bytes; key < 0 copies all).
void KeyedRow32(uint8_t* dst, const uint8_t* src, int count, uint32_t key);
void KeyedRow24(uint8_t* dst, const uint8_t* src, int count, int32_t key);

// One complete form of the kernels.
struct KernelSet {
  const char* name;
  void (*BlendRow32)(uint8_t*, const uint8_t*, int, int, uint32_t);
  void (*BlendRow24)(uint8_t*, const uint8_t*, int, int, int32_t);
  void (*AlphaRow32)(uint8_t*, const uint8_t*, const uint8_t*, int);
  void (*KeyedRow32)(uint8_t*, const uint8_t*, int, uint32_t);
  void (*KeyedRow24)(uint8_t*, const uint8_t*, int, int32_t);
};

// The scalar reference.
const KernelSet& ReferenceKernels();
// Every fast form this processor can run, the one the functions above use last.
std::vector<const KernelSet*> AvailableKernels();

}  // namespace orin::pixel
