#include "imaging/compositor_kernels.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__) && defined(__SSE2__)
#define ORIN_X86_KERNELS 1
#include <immintrin.h>
#endif

namespace orin::compose {

namespace {

// ---- The reference: one pixel at a time, exactly as the formulas read.

inline uint32_t Load32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
inline void Store32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }

// Every channel (d × (255 − w) + s × w) >> 8, the fourth byte 0.
inline uint32_t Mix32(uint32_t d, uint32_t s, uint32_t w) {
  const uint32_t iw = 255u - w;
  return ((((d & 0xFF00FFu) * iw + (s & 0xFF00FFu) * w) >> 8) & 0xFF00FFu) |
         ((((d & 0xFF00u) * iw + (s & 0xFF00u) * w) >> 8) & 0xFF00u);
}

inline int OpacityWeight(int m, int a) { return m == 255 ? a : (m * a) >> 8; }
inline int LevelWeight(int m, int level) { return m == 255 ? level : (m * level) >> 8; }

void RefAddGreyRow32(uint8_t* dst, int count, int level) {
  if (level <= 0) return;
  for (int i = 0; i < count; ++i)
    for (int c = 0; c < 3; ++c) dst[4 * i + c] = static_cast<uint8_t>(std::min(255, dst[4 * i + c] + level));
}

void RefSubGreyRow32(uint8_t* dst, int count, int level) {
  if (level <= 0) return;
  for (int i = 0; i < count; ++i)
    for (int c = 0; c < 3; ++c) dst[4 * i + c] = static_cast<uint8_t>(std::max(0, dst[4 * i + c] - level));
}

void RefMaskOpacityRow32(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int count, int opacity) {
  for (int i = 0; i < count; ++i) {
    const int w = OpacityWeight(mask[i], opacity);
    if (w == 0) continue;
    Store32(dst + 4 * i, Mix32(Load32(dst + 4 * i), Load32(src + 4 * i), static_cast<uint32_t>(w)));
  }
}

inline void AddPixel32(uint8_t* d, const uint8_t* s, int64_t weight) {
  for (int c = 0; c < 3; ++c)
    d[c] = static_cast<uint8_t>(std::min<int64_t>(255, d[c] + ((s[c] * weight) >> 8)));
}

void RefAddMaskRow32(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int count, int level) {
  for (int i = 0; i < count; ++i) {
    const int w = LevelWeight(mask[i], level);
    if (w != 0) AddPixel32(dst + 4 * i, src + 4 * i, w);
  }
}

void RefAddRow32(uint8_t* dst, const uint8_t* src, int count, int level, uint32_t key) {
  if (level <= 0) return;
  for (int i = 0; i < count; ++i)
    if (Load32(src + 4 * i) != key) AddPixel32(dst + 4 * i, src + 4 * i, level);
}

void RefFillMaskRow32(uint8_t* dst, const uint8_t* mask, int count, uint32_t colour, int opacity) {
  for (int i = 0; i < count; ++i) {
    const int w = opacity >= 255 ? mask[i] : (opacity * mask[i]) >> 8;
    if (w == 0) continue;
    Store32(dst + 4 * i, Mix32(Load32(dst + 4 * i), colour, static_cast<uint32_t>(w)));
  }
}

const KernelSet kReference{"reference",         RefAddGreyRow32, RefSubGreyRow32, RefMaskOpacityRow32,
                           RefAddMaskRow32,     RefAddRow32,     RefFillMaskRow32};

#if ORIN_X86_KERNELS

// ---- SSE2, the baseline of every x86-64 processor. Four pixels a step; the scalar reference
// finishes each row.

inline __m128i Load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void Store(uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
inline __m128i Select(__m128i mask, __m128i ifSet, __m128i ifClear) {
  return _mm_or_si128(_mm_and_si128(mask, ifSet), _mm_andnot_si128(mask, ifClear));
}

// Four mask bytes spread over the four bytes of their pixels.
inline __m128i SpreadMask(const uint8_t* mask) {
  uint32_t quad;
  std::memcpy(&quad, mask, 4);
  __m128i m = _mm_cvtsi32_si128(static_cast<int>(quad));
  m = _mm_unpacklo_epi8(m, m);
  return _mm_unpacklo_epi16(m, m);
}

// (d × (255 − w) + s × w) >> 8 per byte, with the weights as 16-bit lanes of the low and the
// high eight bytes. The sum stays below 2^16, so no lane carries.
inline __m128i Mix(__m128i d, __m128i s, __m128i wLo, __m128i wHi) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i c255 = _mm_set1_epi16(255);
  __m128i lo = _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(d, zero), _mm_sub_epi16(c255, wLo)),
                             _mm_mullo_epi16(_mm_unpacklo_epi8(s, zero), wLo));
  __m128i hi = _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(d, zero), _mm_sub_epi16(c255, wHi)),
                             _mm_mullo_epi16(_mm_unpackhi_epi8(s, zero), wHi));
  return _mm_packus_epi16(_mm_srli_epi16(lo, 8), _mm_srli_epi16(hi, 8));
}

// (s × w) >> 8 per byte; s × w stays below 2^16 for weights up to 255.
inline __m128i Scale(__m128i s, __m128i wLo, __m128i wHi) {
  const __m128i zero = _mm_setzero_si128();
  __m128i lo = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(s, zero), wLo), 8);
  __m128i hi = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(s, zero), wHi), 8);
  return _mm_packus_epi16(lo, hi);
}

// The opacity or level weight of the mask values in 16-bit lanes: w where m = 255, else
// (m × w) >> 8.
inline __m128i Weight(__m128i m16, __m128i w16) {
  const __m128i full = _mm_cmpeq_epi16(m16, _mm_set1_epi16(255));
  return Select(full, w16, _mm_srli_epi16(_mm_mullo_epi16(m16, w16), 8));
}

void Sse2AddGreyRow32(uint8_t* dst, int count, int level) {
  if (level <= 0) return;
  const int l = std::min(level, 255);
  const __m128i grey = _mm_set1_epi32(l * 0x010101);
  int i = 0;
  for (; i + 4 <= count; i += 4) Store(dst + 4 * i, _mm_adds_epu8(Load(dst + 4 * i), grey));
  RefAddGreyRow32(dst + 4 * i, count - i, level);
}

void Sse2SubGreyRow32(uint8_t* dst, int count, int level) {
  if (level <= 0) return;
  const int l = std::min(level, 255);
  const __m128i grey = _mm_set1_epi32(l * 0x010101);
  int i = 0;
  for (; i + 4 <= count; i += 4) Store(dst + 4 * i, _mm_subs_epu8(Load(dst + 4 * i), grey));
  RefSubGreyRow32(dst + 4 * i, count - i, level);
}

void Sse2MaskOpacityRow32(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int count, int opacity) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i a = _mm_set1_epi16(static_cast<short>(opacity));
  const __m128i rgb = _mm_set1_epi32(0x00FFFFFF);
  int i = 0;
  for (; i + 4 <= count; i += 4) {
    uint32_t quad;
    std::memcpy(&quad, mask + i, 4);
    if (quad == 0) continue;
    const __m128i m = SpreadMask(mask + i);
    const __m128i wLo = Weight(_mm_unpacklo_epi8(m, zero), a), wHi = Weight(_mm_unpackhi_epi8(m, zero), a);
    const __m128i d = Load(dst + 4 * i);
    const __m128i r = _mm_and_si128(Mix(d, Load(src + 4 * i), wLo, wHi), rgb);
    const __m128i keep = _mm_cmpeq_epi32(_mm_packus_epi16(wLo, wHi), zero);
    Store(dst + 4 * i, Select(keep, d, r));
  }
  RefMaskOpacityRow32(dst + 4 * i, src + 4 * i, mask + i, count - i, opacity);
}

void Sse2AddMaskRow32(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int count, int level) {
  if (level > 255) {
    // Weights above 255 overflow the 16-bit lanes; such levels are rare enough for the
    // reference.
    RefAddMaskRow32(dst, src, mask, count, level);
    return;
  }
  const __m128i zero = _mm_setzero_si128();
  const __m128i l = _mm_set1_epi16(static_cast<short>(level));
  const __m128i rgb = _mm_set1_epi32(0x00FFFFFF);
  int i = 0;
  for (; i + 4 <= count; i += 4) {
    uint32_t quad;
    std::memcpy(&quad, mask + i, 4);
    if (quad == 0) continue;
    const __m128i m = SpreadMask(mask + i);
    const __m128i wLo = Weight(_mm_unpacklo_epi8(m, zero), l), wHi = Weight(_mm_unpackhi_epi8(m, zero), l);
    const __m128i add = _mm_and_si128(Scale(Load(src + 4 * i), wLo, wHi), rgb);
    Store(dst + 4 * i, _mm_adds_epu8(Load(dst + 4 * i), add));
  }
  RefAddMaskRow32(dst + 4 * i, src + 4 * i, mask + i, count - i, level);
}

void Sse2AddRow32(uint8_t* dst, const uint8_t* src, int count, int level, uint32_t key) {
  if (level <= 0) return;
  if (level > 255) {
    RefAddRow32(dst, src, count, level, key);
    return;
  }
  const __m128i l = _mm_set1_epi16(static_cast<short>(level));
  const __m128i keyv = _mm_set1_epi32(static_cast<int>(key));
  const __m128i rgb = _mm_set1_epi32(0x00FFFFFF);
  int i = 0;
  for (; i + 4 <= count; i += 4) {
    const __m128i s = Load(src + 4 * i);
    const __m128i add = _mm_andnot_si128(_mm_cmpeq_epi32(s, keyv), _mm_and_si128(Scale(s, l, l), rgb));
    Store(dst + 4 * i, _mm_adds_epu8(Load(dst + 4 * i), add));
  }
  RefAddRow32(dst + 4 * i, src + 4 * i, count - i, level, key);
}

void Sse2FillMaskRow32(uint8_t* dst, const uint8_t* mask, int count, uint32_t colour, int opacity) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i a = _mm_set1_epi16(static_cast<short>(std::min(opacity, 255)));
  const __m128i c = _mm_set1_epi32(static_cast<int>(colour));
  const __m128i rgb = _mm_set1_epi32(0x00FFFFFF);
  const bool maskAlone = opacity >= 255;
  int i = 0;
  for (; i + 4 <= count; i += 4) {
    uint32_t quad;
    std::memcpy(&quad, mask + i, 4);
    if (quad == 0) continue;
    const __m128i m = SpreadMask(mask + i);
    __m128i wLo = _mm_unpacklo_epi8(m, zero), wHi = _mm_unpackhi_epi8(m, zero);
    if (!maskAlone) {
      wLo = _mm_srli_epi16(_mm_mullo_epi16(wLo, a), 8);
      wHi = _mm_srli_epi16(_mm_mullo_epi16(wHi, a), 8);
    }
    const __m128i d = Load(dst + 4 * i);
    const __m128i r = _mm_and_si128(Mix(d, c, wLo, wHi), rgb);
    const __m128i keep = _mm_cmpeq_epi32(_mm_packus_epi16(wLo, wHi), zero);
    Store(dst + 4 * i, Select(keep, d, r));
  }
  RefFillMaskRow32(dst + 4 * i, mask + i, count - i, colour, opacity);
}

const KernelSet kSse2{"sse2",           Sse2AddGreyRow32, Sse2SubGreyRow32, Sse2MaskOpacityRow32,
                      Sse2AddMaskRow32, Sse2AddRow32,     Sse2FillMaskRow32};

#endif  // ORIN_X86_KERNELS

const KernelSet& Chosen() {
#if ORIN_X86_KERNELS
  return kSse2;
#else
  return kReference;
#endif
}

// ---- 15/16 bits: every channel through its mask.

inline uint32_t MixMasked(uint32_t d, uint32_t s, uint32_t w, const uint32_t masks[3]) {
  uint32_t r = 0;
  for (int c = 0; c < 3; ++c) {
    const uint32_t m = masks[c];
    r |= m & (((d & m) * (255u - w) + (s & m) * w) >> 8);
  }
  return r;
}

inline uint32_t AddMasked(uint32_t d, uint32_t s, int64_t weight, const uint32_t masks[3]) {
  uint32_t r = 0;
  for (int c = 0; c < 3; ++c) {
    const uint32_t m = masks[c];
    const int shift = __builtin_ctz(m);
    const int64_t top = m >> shift;
    const int64_t v = std::min<int64_t>(top, ((d & m) >> shift) + ((((s & m) >> shift) * weight) >> 8));
    r |= static_cast<uint32_t>(v) << shift;
  }
  return r;
}

}  // namespace

void AddGreyRow32(uint8_t* dst, int count, int level) { Chosen().AddGreyRow32(dst, count, level); }
void SubGreyRow32(uint8_t* dst, int count, int level) { Chosen().SubGreyRow32(dst, count, level); }
void MaskOpacityRow32(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int count, int opacity) {
  Chosen().MaskOpacityRow32(dst, src, mask, count, opacity);
}
void AddMaskRow32(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int count, int level) {
  Chosen().AddMaskRow32(dst, src, mask, count, level);
}
void AddRow32(uint8_t* dst, const uint8_t* src, int count, int level, uint32_t key) {
  Chosen().AddRow32(dst, src, count, level, key);
}
void FillMaskRow32(uint8_t* dst, const uint8_t* mask, int count, uint32_t colour, int opacity) {
  Chosen().FillMaskRow32(dst, mask, count, colour, opacity);
}

void AddGreyRow16(uint16_t* dst, int count, uint16_t greyPixel, const uint32_t masks[3]) {
  for (int i = 0; i < count; ++i) {
    uint32_t r = 0;
    for (int c = 0; c < 3; ++c) {
      const uint32_t m = masks[c];
      r |= std::min(m, (dst[i] & m) + (greyPixel & m));
    }
    dst[i] = static_cast<uint16_t>(r);
  }
}

void SubGreyRow16(uint16_t* dst, int count, uint16_t greyPixel, const uint32_t masks[3]) {
  for (int i = 0; i < count; ++i) {
    uint32_t r = 0;
    for (int c = 0; c < 3; ++c) {
      const uint32_t m = masks[c], p = dst[i] & m, g = greyPixel & m;
      r |= p > g ? p - g : 0;
    }
    dst[i] = static_cast<uint16_t>(r);
  }
}

void BlendRow16(uint16_t* dst, const uint16_t* src, int count, int opacity, int32_t key, const uint32_t masks[3]) {
  if (opacity <= 0) return;
  for (int i = 0; i < count; ++i) {
    if (static_cast<int32_t>(src[i]) == key) continue;
    dst[i] = opacity >= 255 ? src[i] : static_cast<uint16_t>(MixMasked(dst[i], src[i], static_cast<uint32_t>(opacity), masks));
  }
}

void MaskRow16(uint16_t* dst, const uint16_t* src, const uint8_t* mask, int count, int opacity, const uint32_t masks[3]) {
  for (int i = 0; i < count; ++i) {
    const int w = opacity >= 255 ? mask[i] : OpacityWeight(mask[i], opacity);
    if (w == 0) continue;
    dst[i] = w == 255 ? src[i] : static_cast<uint16_t>(MixMasked(dst[i], src[i], static_cast<uint32_t>(w), masks));
  }
}

void AddRow16(uint16_t* dst, const uint16_t* src, const uint8_t* mask, int count, int level, int32_t key,
              const uint32_t masks[3]) {
  for (int i = 0; i < count; ++i) {
    int w;
    if (mask)
      w = LevelWeight(mask[i], level);
    else
      w = static_cast<int32_t>(src[i]) == key ? 0 : level;
    if (w > 0) dst[i] = static_cast<uint16_t>(AddMasked(dst[i], src[i], w, masks));
  }
}

void FillMaskRow16(uint16_t* dst, const uint8_t* mask, int count, uint16_t colour, int opacity, const uint32_t masks[3]) {
  for (int i = 0; i < count; ++i) {
    const int w = opacity >= 255 ? mask[i] : (opacity * mask[i]) >> 8;
    if (w == 0) continue;
    dst[i] = static_cast<uint16_t>(MixMasked(dst[i], colour, static_cast<uint32_t>(w), masks));
  }
}

const KernelSet& ReferenceKernels() { return kReference; }

std::vector<const KernelSet*> AvailableKernels() {
#if ORIN_X86_KERNELS
  return {&kSse2};
#else
  return {};
#endif
}

}  // namespace orin::compose
