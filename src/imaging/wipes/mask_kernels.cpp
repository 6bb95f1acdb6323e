#include "imaging/wipes/mask_kernels.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__) && defined(__SSE2__)
#define ORIN_X86_KERNELS 1
#include <immintrin.h>
#endif

namespace orin::wipes {

namespace {

// ---- The reference: one pixel at a time, exactly as the formulas read.

void RefMaskComposeRow32(uint8_t* dst, const uint8_t* out, const uint8_t* in, const uint8_t* mask, int count,
                         bool hardEdge) {
  for (int x = 0; x < count; ++x) {
    uint32_t w = mask[x];
    if (hardEdge && w != 0) w = 255;
    uint32_t a, b;
    std::memcpy(&a, out + 4 * x, 4);
    std::memcpy(&b, in + 4 * x, 4);
    uint32_t v = w == 0 ? a : b;
    if (w != 0 && w != 255) {
      v = 0;
      for (int shift = 0; shift < 24; shift += 8) {
        const uint32_t c = (w * ((b >> shift) & 0xFF) + (255 - w) * ((a >> shift) & 0xFF)) >> 8;
        v |= std::min<uint32_t>(c, 255) << shift;
      }
    }
    std::memcpy(dst + 4 * x, &v, 4);
  }
}

void RefOrderMaskRow(uint8_t* mask, const uint16_t* order, int count, int level, int softBits) {
  for (int x = 0; x < count; ++x) mask[x] = static_cast<uint8_t>(std::clamp((level - order[x]) >> softBits, 0, 255));
}

const MaskKernelSet kReference{"reference", RefMaskComposeRow32, RefOrderMaskRow};

#if ORIN_X86_KERNELS

// ---- SSE2, the baseline of every x86-64 processor. Sixteen pixels a step: a run of mask values
// that are all 0 or all 255 is a plain copy (most of a wipe's screen at any moment); the scalar
// reference finishes each row.

inline __m128i Load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void Store(uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
inline __m128i Select(__m128i mask, __m128i ifSet, __m128i ifClear) {
  return _mm_or_si128(_mm_and_si128(mask, ifSet), _mm_andnot_si128(mask, ifClear));
}

inline void Copy64(uint8_t* dst, const uint8_t* src) {
  Store(dst, Load(src));
  Store(dst + 16, Load(src + 16));
  Store(dst + 32, Load(src + 32));
  Store(dst + 48, Load(src + 48));
}

// Four pixels through their mask bytes, each spread over its pixel's four bytes.
inline __m128i ComposeQuad(__m128i o, __m128i i, __m128i w) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i c255 = _mm_set1_epi16(255);
  const __m128i wLo = _mm_unpacklo_epi8(w, zero), wHi = _mm_unpackhi_epi8(w, zero);
  // m × in + (255 − m) × out stays below 2^16, so no 16-bit lane carries.
  const __m128i lo = _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(i, zero), wLo),
                                   _mm_mullo_epi16(_mm_unpacklo_epi8(o, zero), _mm_sub_epi16(c255, wLo)));
  const __m128i hi = _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(i, zero), wHi),
                                   _mm_mullo_epi16(_mm_unpackhi_epi8(o, zero), _mm_sub_epi16(c255, wHi)));
  const __m128i mixed =
      _mm_and_si128(_mm_packus_epi16(_mm_srli_epi16(lo, 8), _mm_srli_epi16(hi, 8)), _mm_set1_epi32(0x00FFFFFF));
  const __m128i isOut = _mm_cmpeq_epi8(w, zero);
  const __m128i isIn = _mm_cmpeq_epi8(w, _mm_set1_epi8(-1));
  return Select(isOut, o, Select(isIn, i, mixed));
}

void Sse2MaskComposeRow32(uint8_t* dst, const uint8_t* out, const uint8_t* in, const uint8_t* mask, int count,
                          bool hardEdge) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i full = _mm_set1_epi8(-1);
  int x = 0;
  for (; x + 16 <= count; x += 16) {
    __m128i m = Load(mask + x);
    const __m128i isZero = _mm_cmpeq_epi8(m, zero);
    const int zeros = _mm_movemask_epi8(isZero);
    if (zeros == 0xFFFF) {
      Copy64(dst + 4 * x, out + 4 * x);
      continue;
    }
    if (hardEdge) m = _mm_andnot_si128(isZero, full);
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(m, full)) == 0xFFFF) {
      Copy64(dst + 4 * x, in + 4 * x);
      continue;
    }
    const __m128i m8lo = _mm_unpacklo_epi8(m, m), m8hi = _mm_unpackhi_epi8(m, m);
    const __m128i w[4] = {_mm_unpacklo_epi16(m8lo, m8lo), _mm_unpackhi_epi16(m8lo, m8lo),
                          _mm_unpacklo_epi16(m8hi, m8hi), _mm_unpackhi_epi16(m8hi, m8hi)};
    for (int q = 0; q < 4; ++q) {
      const int at = 4 * x + 16 * q;
      Store(dst + at, ComposeQuad(Load(out + at), Load(in + at), w[q]));
    }
  }
  RefMaskComposeRow32(dst + 4 * x, out + 4 * x, in + 4 * x, mask + x, count - x, hardEdge);
}

void Sse2OrderMaskRow(uint8_t* mask, const uint16_t* order, int count, int level, int softBits) {
  const __m128i l = _mm_set1_epi16(static_cast<short>(level));
  const __m128i shift = _mm_cvtsi32_si128(softBits);
  int x = 0;
  for (; x + 16 <= count; x += 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(order + x));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(order + x + 8));
    // Both operands lie in 0 … 32767, so the difference fits a signed lane; packus clamps it.
    const __m128i da = _mm_sra_epi16(_mm_sub_epi16(l, a), shift);
    const __m128i db = _mm_sra_epi16(_mm_sub_epi16(l, b), shift);
    Store(mask + x, _mm_packus_epi16(da, db));
  }
  RefOrderMaskRow(mask + x, order + x, count - x, level, softBits);
}

const MaskKernelSet kSse2{"sse2", Sse2MaskComposeRow32, Sse2OrderMaskRow};

#endif

const MaskKernelSet& Fastest() {
#if ORIN_X86_KERNELS
  return kSse2;
#else
  return kReference;
#endif
}

}  // namespace

void MaskComposeRow32(uint8_t* dst, const uint8_t* out, const uint8_t* in, const uint8_t* mask, int count,
                      bool hardEdge) {
  Fastest().MaskComposeRow32(dst, out, in, mask, count, hardEdge);
}

void OrderMaskRow(uint8_t* mask, const uint16_t* order, int count, int level, int softBits) {
  Fastest().OrderMaskRow(mask, order, count, level, softBits);
}

const MaskKernelSet& ReferenceMaskKernels() { return kReference; }

std::vector<const MaskKernelSet*> AvailableMaskKernels() {
#if ORIN_X86_KERNELS
  return {&kSse2};
#else
  return {};
#endif
}

}  // namespace orin::wipes
