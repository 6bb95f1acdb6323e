#include "imaging/wipes/wipe_rows.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#if defined(__x86_64__) && defined(__SSE2__)
#define ORIN_X86_KERNELS 1
#include <immintrin.h>
#endif

namespace orin::wipes {

void RefMixRow32(uint8_t* dst, const uint8_t* a, const uint8_t* b, int count, int w) {
  const int iw = 256 - w;
  for (int i = 0; i < 4 * count; ++i) dst[i] = static_cast<uint8_t>((a[i] * iw + b[i] * w) >> 8);
}

void RefAddGreyRow32(uint8_t* dst, const uint8_t* src, const uint8_t* grey, int count) {
  for (int i = 0; i < 4 * count; ++i)
    dst[i] = static_cast<uint8_t>(std::min(255, src[i] + grey[i]));
}

void RefSubGreyRow32(uint8_t* dst, const uint8_t* src, const uint8_t* grey, int count) {
  for (int i = 0; i < 4 * count; ++i) dst[i] = static_cast<uint8_t>(std::max(0, src[i] - grey[i]));
}

#if ORIN_X86_KERNELS

namespace {

void Sse2MixRow32(uint8_t* dst, const uint8_t* a, const uint8_t* b, int count, int w);

#define ORIN_AVX2 __attribute__((target("avx2")))

// Eight pixels at a time; unpacking and packing stay within each 128-bit half, so the order
// comes out as it went in.
ORIN_AVX2 void Avx2MixRow32(uint8_t* dst, const uint8_t* a, const uint8_t* b, int count, int w) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i wb = _mm256_set1_epi16(static_cast<short>(w));
  const __m256i wa = _mm256_set1_epi16(static_cast<short>(256 - w));
  int i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m256i va = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + 4 * i));
    const __m256i vb = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + 4 * i));
    const __m256i lo = _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(va, zero), wa),
                                                          _mm256_mullo_epi16(_mm256_unpacklo_epi8(vb, zero), wb)),
                                         8);
    const __m256i hi = _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(va, zero), wa),
                                                          _mm256_mullo_epi16(_mm256_unpackhi_epi8(vb, zero), wb)),
                                         8);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 4 * i), _mm256_packus_epi16(lo, hi));
  }
  // The compiler leaves the upper halves dirty on a tail call; SSE code after that runs at half
  // speed until they are cleared.
  _mm256_zeroupper();
  Sse2MixRow32(dst + 4 * i, a + 4 * i, b + 4 * i, count - i, w);
}

const bool kHaveAvx2 = __builtin_cpu_supports("avx2");

}  // namespace

void MixRow32(uint8_t* dst, const uint8_t* a, const uint8_t* b, int count, int w) {
  if (w <= 0) {
    if (dst != a) std::memmove(dst, a, 4 * static_cast<size_t>(count));
    return;
  }
  if (w >= 256) {
    if (dst != b) std::memmove(dst, b, 4 * static_cast<size_t>(count));
    return;
  }
  if (kHaveAvx2) {
    Avx2MixRow32(dst, a, b, count, w);
    return;
  }
  Sse2MixRow32(dst, a, b, count, w);
}

namespace {

void Sse2MixRow32(uint8_t* dst, const uint8_t* a, const uint8_t* b, int count, int w) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i wb = _mm_set1_epi16(static_cast<short>(w));
  const __m128i wa = _mm_set1_epi16(static_cast<short>(256 - w));
  int i = 0;
  for (; i + 4 <= count; i += 4) {
    const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + 4 * i));
    const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 4 * i));
    // Both products stay below 2^16 and so does their sum (a convex combination times 256).
    const __m128i lo =
        _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(va, zero), wa),
                                     _mm_mullo_epi16(_mm_unpacklo_epi8(vb, zero), wb)),
                       8);
    const __m128i hi =
        _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(va, zero), wa),
                                     _mm_mullo_epi16(_mm_unpackhi_epi8(vb, zero), wb)),
                       8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 4 * i), _mm_packus_epi16(lo, hi));
  }
  RefMixRow32(dst + 4 * i, a + 4 * i, b + 4 * i, count - i, w);
}

}  // namespace

void AddGreyRow32(uint8_t* dst, const uint8_t* src, const uint8_t* grey, int count) {
  int i = 0;
  for (; i + 4 <= count; i += 4)
    _mm_storeu_si128(
        reinterpret_cast<__m128i*>(dst + 4 * i),
        _mm_adds_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * i)),
                      _mm_loadu_si128(reinterpret_cast<const __m128i*>(grey + 4 * i))));
  RefAddGreyRow32(dst + 4 * i, src + 4 * i, grey + 4 * i, count - i);
}

void SubGreyRow32(uint8_t* dst, const uint8_t* src, const uint8_t* grey, int count) {
  int i = 0;
  for (; i + 4 <= count; i += 4)
    _mm_storeu_si128(
        reinterpret_cast<__m128i*>(dst + 4 * i),
        _mm_subs_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * i)),
                      _mm_loadu_si128(reinterpret_cast<const __m128i*>(grey + 4 * i))));
  RefSubGreyRow32(dst + 4 * i, src + 4 * i, grey + 4 * i, count - i);
}

#else

void MixRow32(uint8_t* dst, const uint8_t* a, const uint8_t* b, int count, int w) {
  RefMixRow32(dst, a, b, count, std::clamp(w, 0, 256));
}
void AddGreyRow32(uint8_t* dst, const uint8_t* src, const uint8_t* grey, int count) {
  RefAddGreyRow32(dst, src, grey, count);
}
void SubGreyRow32(uint8_t* dst, const uint8_t* src, const uint8_t* grey, int count) {
  RefSubGreyRow32(dst, src, grey, count);
}

#endif

void MixRow16(uint16_t* dst, const uint16_t* a, const uint16_t* b, int count, int w,
              const uint32_t masks[3]) {
  w = std::clamp(w, 0, 256);
  const uint32_t iw = 256u - static_cast<uint32_t>(w);
  for (int i = 0; i < count; ++i) {
    uint32_t v = 0;
    for (int k = 0; k < 3; ++k)
      v |=
          (((a[i] & masks[k]) * iw + (b[i] & masks[k]) * static_cast<uint32_t>(w)) >> 8) & masks[k];
    dst[i] = static_cast<uint16_t>(v);
  }
}

void AddGreyRow16(uint16_t* dst, const uint16_t* src, const uint16_t* grey, int count,
                  const uint32_t masks[3]) {
  for (int i = 0; i < count; ++i) {
    uint32_t v = 0;
    for (int k = 0; k < 3; ++k)
      v |= std::min<uint32_t>(masks[k], (src[i] & masks[k]) + (grey[i] & masks[k]));
    dst[i] = static_cast<uint16_t>(v);
  }
}

void SubGreyRow16(uint16_t* dst, const uint16_t* src, const uint16_t* grey, int count,
                  const uint32_t masks[3]) {
  for (int i = 0; i < count; ++i) {
    uint32_t v = 0;
    for (int k = 0; k < 3; ++k) {
      const uint32_t s = src[i] & masks[k], g = grey[i] & masks[k];
      v |= s > g ? s - g : 0;
    }
    dst[i] = static_cast<uint16_t>(v);
  }
}

namespace {

template <class Pixel>
void Gather(Pixel* __restrict dst, const Pixel* __restrict src, const int32_t* __restrict cols,
            int count) {
  for (int i = 0; i < count; ++i) dst[i] = src[cols[i]];
}

}  // namespace

// Screen rows are 4-byte aligned (TDIBSurface rows are whole 32-bit words), so they are read as
// pixels directly.
void GatherRow(uint8_t* dst, const uint8_t* src, const int32_t* cols, int count, int bytes) {
  if (bytes == 4)
    Gather(reinterpret_cast<uint32_t*>(dst), reinterpret_cast<const uint32_t*>(src), cols, count);
  else
    Gather(reinterpret_cast<uint16_t*>(dst), reinterpret_cast<const uint16_t*>(src), cols, count);
}

void FillRow(uint8_t* dst, uint32_t pixel, int count, int bytes) {
  if (bytes == 4) {
    for (int i = 0; i < count; ++i) std::memcpy(dst + 4 * i, &pixel, 4);
  } else {
    const uint16_t p16 = static_cast<uint16_t>(pixel);
    for (int i = 0; i < count; ++i) std::memcpy(dst + 2 * i, &p16, 2);
  }
}

}  // namespace orin::wipes
