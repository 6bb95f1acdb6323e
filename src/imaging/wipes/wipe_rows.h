// Row helpers of the transitions that draw their own effect: mixing two rows by a weight,
// adding or subtracting a per-pixel grey, and gathering a row through a column table. Pixels are
// those of a screen surface: 32 bits (four bytes blue, green, red, fourth) or 16-bit words whose
// channels the three masks describe.
//
// The 32-bit mix and grey rows have a plain scalar reference and an SSE2 form (the mix also an
// AVX2 form, chosen at run time where the processor has it); the tests hold the fast form to the
// reference on random rows. Every helper works on count pixels the caller has
// already clipped; destination and source may be the same row.
#pragma once

#include <cstdint>

namespace orin::wipes {

// Weight w 0 … 256: every byte (a × (256 − w) + b × w) >> 8, so w 0 gives a and 256 gives b
// exactly (the fourth byte included).
void MixRow32(uint8_t* dst, const uint8_t* a, const uint8_t* b, int count, int w);
void RefMixRow32(uint8_t* dst, const uint8_t* a, const uint8_t* b, int count, int w);
void MixRow16(uint16_t* dst, const uint16_t* a, const uint16_t* b, int count, int w,
              const uint32_t masks[3]);

// Every colour byte min(255, s + g) / max(0, s − g), g the matching byte of grey (a row of grey
// pixels (l, l, l) with the fourth byte 0, so the fourth byte of s is kept).
void AddGreyRow32(uint8_t* dst, const uint8_t* src, const uint8_t* grey, int count);
void SubGreyRow32(uint8_t* dst, const uint8_t* src, const uint8_t* grey, int count);
void RefAddGreyRow32(uint8_t* dst, const uint8_t* src, const uint8_t* grey, int count);
void RefSubGreyRow32(uint8_t* dst, const uint8_t* src, const uint8_t* grey, int count);
// The same at 15/16 bits, grey being pixels of the surface's format; every channel saturates at
// its mask.
void AddGreyRow16(uint16_t* dst, const uint16_t* src, const uint16_t* grey, int count,
                  const uint32_t masks[3]);
void SubGreyRow16(uint16_t* dst, const uint16_t* src, const uint16_t* grey, int count,
                  const uint32_t masks[3]);

// dst[i] = src[cols[i]] for pixels of bytes 2 or 4; every cols[i] must lie in the source row.
void GatherRow(uint8_t* dst, const uint8_t* src, const int32_t* cols, int count, int bytes);
// Fills count pixels of bytes 2 or 4 with one value.
void FillRow(uint8_t* dst, uint32_t pixel, int count, int bytes);

}  // namespace orin::wipes
