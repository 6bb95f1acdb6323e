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

void RefGreyCopyRow32(uint8_t* dst, const uint8_t* src, int count, int level, bool darken) {
  for (int x = 0; x < count; ++x) {
    for (int c = 0; c < 3; ++c) {
      const int v = src[4 * x + c];
      dst[4 * x + c] = static_cast<uint8_t>(darken ? std::max(0, v - level) : std::min(255, v + level));
    }
    dst[4 * x + 3] = src[4 * x + 3];
  }
}

const MaskKernelSet kReference{"reference", RefMaskComposeRow32, RefOrderMaskRow, RefGreyCopyRow32};

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
    const int fulls = _mm_movemask_epi8(_mm_cmpeq_epi8(m, full));
    if (fulls == 0xFFFF) {
      Copy64(dst + 4 * x, in + 4 * x);
      continue;
    }
    const __m128i m8lo = _mm_unpacklo_epi8(m, m), m8hi = _mm_unpackhi_epi8(m, m);
    const __m128i w[4] = {_mm_unpacklo_epi16(m8lo, m8lo), _mm_unpackhi_epi16(m8lo, m8lo),
                          _mm_unpacklo_epi16(m8hi, m8hi), _mm_unpackhi_epi16(m8hi, m8hi)};
    // Only 0 and 255 (a hard edge, or the border of a band): a choice per pixel, no arithmetic.
    const bool choice = (zeros | fulls) == 0xFFFF;
    if (!choice && _mm_movemask_epi8(_mm_cmpeq_epi8(m, _mm_set1_epi8(static_cast<char>(mask[x])))) == 0xFFFF) {
      // One value between 0 and 255 for the whole run: the same weights for every pixel.
      const __m128i wAll = _mm_set1_epi16(mask[x]), iwAll = _mm_set1_epi16(static_cast<short>(255 - mask[x]));
      const __m128i rgb = _mm_set1_epi32(0x00FFFFFF);
      for (int k = 0; k < 64; k += 16) {
        const __m128i o = Load(out + 4 * x + k), i = Load(in + 4 * x + k);
        const __m128i lo = _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(i, zero), wAll),
                                         _mm_mullo_epi16(_mm_unpacklo_epi8(o, zero), iwAll));
        const __m128i hi = _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(i, zero), wAll),
                                         _mm_mullo_epi16(_mm_unpackhi_epi8(o, zero), iwAll));
        Store(dst + 4 * x + k, _mm_and_si128(_mm_packus_epi16(_mm_srli_epi16(lo, 8), _mm_srli_epi16(hi, 8)), rgb));
      }
      continue;
    }
    for (int q = 0; q < 4; ++q) {
      const int at = 4 * x + 16 * q;
      const __m128i o = Load(out + at), i = Load(in + at);
      Store(dst + at, choice ? Select(w[q], i, o) : ComposeQuad(o, i, w[q]));
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

void Sse2GreyCopyRow32(uint8_t* dst, const uint8_t* src, int count, int level, bool darken) {
  const __m128i grey = _mm_set1_epi32(std::clamp(level, 0, 255) * 0x010101);
  int x = 0;
  for (; x + 4 <= count; x += 4) {
    const __m128i v = Load(src + 4 * x);
    Store(dst + 4 * x, darken ? _mm_subs_epu8(v, grey) : _mm_adds_epu8(v, grey));
  }
  RefGreyCopyRow32(dst + 4 * x, src + 4 * x, count - x, level, darken);
}

const MaskKernelSet kSse2{"sse2", Sse2MaskComposeRow32, Sse2OrderMaskRow, Sse2GreyCopyRow32};

// ---- AVX2, chosen at run time: the same steps on 32 pixels. Byte unpacking and packing work
// within each 128-bit half, and the mask bytes are spread to match, so pixels keep their places.

#define ORIN_AVX2 __attribute__((target("avx2")))

ORIN_AVX2 inline __m256i Load256(const uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
ORIN_AVX2 inline void Store256(uint8_t* p, __m256i v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }

// Eight mask bytes spread over the four bytes of their pixels.
ORIN_AVX2 inline __m256i Spread8(const uint8_t* mask) {
  int64_t eight;
  std::memcpy(&eight, mask, 8);
  const __m256i spread = _mm256_setr_epi8(0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3,  //
                                          4, 4, 4, 4, 5, 5, 5, 5, 6, 6, 6, 6, 7, 7, 7, 7);
  return _mm256_shuffle_epi8(_mm256_set1_epi64x(eight), spread);
}

ORIN_AVX2 inline __m256i Compose8(__m256i o, __m256i i, __m256i w) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i c255 = _mm256_set1_epi16(255);
  const __m256i wLo = _mm256_unpacklo_epi8(w, zero), wHi = _mm256_unpackhi_epi8(w, zero);
  const __m256i lo = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(i, zero), wLo),
                                      _mm256_mullo_epi16(_mm256_unpacklo_epi8(o, zero), _mm256_sub_epi16(c255, wLo)));
  const __m256i hi = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(i, zero), wHi),
                                      _mm256_mullo_epi16(_mm256_unpackhi_epi8(o, zero), _mm256_sub_epi16(c255, wHi)));
  const __m256i mixed = _mm256_and_si256(_mm256_packus_epi16(_mm256_srli_epi16(lo, 8), _mm256_srli_epi16(hi, 8)),
                                         _mm256_set1_epi32(0x00FFFFFF));
  const __m256i isIn = _mm256_cmpeq_epi8(w, _mm256_set1_epi8(-1));
  return _mm256_blendv_epi8(_mm256_blendv_epi8(mixed, i, isIn), o, _mm256_cmpeq_epi8(w, zero));
}

ORIN_AVX2 void Avx2MaskComposeRow32(uint8_t* dst, const uint8_t* out, const uint8_t* in, const uint8_t* mask,
                                    int count, bool hardEdge) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i full = _mm256_set1_epi8(-1);
  int x = 0;
  for (; x + 32 <= count; x += 32) {
    const __m256i m = Load256(mask + x);
    const __m256i isZero = _mm256_cmpeq_epi8(m, zero);
    const auto zeros = static_cast<uint32_t>(_mm256_movemask_epi8(isZero));
    const uint8_t* from = nullptr;
    if (zeros == 0xFFFFFFFFu) from = out;
    const auto fulls = static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(m, full)));
    if (fulls == 0xFFFFFFFFu || (hardEdge && zeros == 0)) from = in;
    if (from) {
      for (int k = 0; k < 128; k += 32) Store256(dst + 4 * x + k, Load256(from + 4 * x + k));
      continue;
    }
    const bool choice = hardEdge || (zeros | fulls) == 0xFFFFFFFFu;
    if (!choice && static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(m, _mm256_set1_epi8(
                       static_cast<char>(mask[x]))))) == 0xFFFFFFFFu) {
      // One value between 0 and 255 for the whole run (a fade, a band of uniform rows): the
      // weights are the same for every pixel.
      const __m256i w = _mm256_set1_epi16(mask[x]), iw = _mm256_set1_epi16(static_cast<short>(255 - mask[x]));
      const __m256i rgb = _mm256_set1_epi32(0x00FFFFFF);
      for (int k = 0; k < 128; k += 32) {
        const __m256i o = Load256(out + 4 * x + k), i = Load256(in + 4 * x + k);
        const __m256i lo = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(i, zero), w),
                                            _mm256_mullo_epi16(_mm256_unpacklo_epi8(o, zero), iw));
        const __m256i hi = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(i, zero), w),
                                            _mm256_mullo_epi16(_mm256_unpackhi_epi8(o, zero), iw));
        Store256(dst + 4 * x + k,
                 _mm256_and_si256(_mm256_packus_epi16(_mm256_srli_epi16(lo, 8), _mm256_srli_epi16(hi, 8)), rgb));
      }
      continue;
    }
    for (int g = 0; g < 4; ++g) {
      const int at = 4 * (x + 8 * g);
      __m256i w = Spread8(mask + x + 8 * g);
      const __m256i o = Load256(out + at), i = Load256(in + at);
      if (choice) {
        // A pixel whose mask is not 0 takes the incoming picture (with a hard edge, any value).
        Store256(dst + at, _mm256_blendv_epi8(i, o, _mm256_cmpeq_epi8(w, zero)));
      } else {
        Store256(dst + at, Compose8(o, i, w));
      }
    }
  }
  _mm256_zeroupper();
  Sse2MaskComposeRow32(dst + 4 * x, out + 4 * x, in + 4 * x, mask + x, count - x, hardEdge);
}

ORIN_AVX2 void Avx2OrderMaskRow(uint8_t* mask, const uint16_t* order, int count, int level, int softBits) {
  const __m256i l = _mm256_set1_epi16(static_cast<short>(level));
  const __m128i shift = _mm_cvtsi32_si128(softBits);
  int x = 0;
  for (; x + 32 <= count; x += 32) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(order + x));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(order + x + 16));
    const __m256i da = _mm256_sra_epi16(_mm256_sub_epi16(l, a), shift);
    const __m256i db = _mm256_sra_epi16(_mm256_sub_epi16(l, b), shift);
    // packus interleaves the halves (a0 b0 a1 b1); the permute puts them back in order.
    Store256(mask + x, _mm256_permute4x64_epi64(_mm256_packus_epi16(da, db), 0xD8));
  }
  _mm256_zeroupper();
  Sse2OrderMaskRow(mask + x, order + x, count - x, level, softBits);
}

ORIN_AVX2 void Avx2GreyCopyRow32(uint8_t* dst, const uint8_t* src, int count, int level, bool darken) {
  const __m256i grey = _mm256_set1_epi32(std::clamp(level, 0, 255) * 0x010101);
  int x = 0;
  for (; x + 8 <= count; x += 8) {
    const __m256i v = Load256(src + 4 * x);
    Store256(dst + 4 * x, darken ? _mm256_subs_epu8(v, grey) : _mm256_adds_epu8(v, grey));
  }
  _mm256_zeroupper();
  Sse2GreyCopyRow32(dst + 4 * x, src + 4 * x, count - x, level, darken);
}

const MaskKernelSet kAvx2{"avx2", Avx2MaskComposeRow32, Avx2OrderMaskRow, Avx2GreyCopyRow32};

bool HasAvx2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
}

#endif

const MaskKernelSet& Fastest() {
#if ORIN_X86_KERNELS
  static const MaskKernelSet& chosen = HasAvx2() ? kAvx2 : kSse2;
  return chosen;
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

void GreyCopyRow32(uint8_t* dst, const uint8_t* src, int count, int level, bool darken) {
  Fastest().GreyCopyRow32(dst, src, count, level, darken);
}

const MaskKernelSet& ReferenceMaskKernels() { return kReference; }

std::vector<const MaskKernelSet*> AvailableMaskKernels() {
#if ORIN_X86_KERNELS
  if (HasAvx2()) return {&kSse2, &kAvx2};
  return {&kSse2};
#else
  return {};
#endif
}

}  // namespace orin::wipes
