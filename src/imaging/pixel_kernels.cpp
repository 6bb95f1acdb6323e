#include "imaging/pixel_kernels.h"

#include <cstring>

#if defined(__x86_64__) && defined(__SSE2__)
#define ORIN_X86_KERNELS 1
#include <immintrin.h>
#endif

namespace orin::pixel {

namespace {

// ---- The reference: one pixel at a time, exactly as the formulas read.

void RefBlendRow32(uint8_t* dst, const uint8_t* src, int count, int opacity, uint32_t key) {
  const uint32_t a = static_cast<uint32_t>(opacity), ia = 255u - a;
  for (int i = 0; i < count; ++i) {
    uint32_t s, d;
    std::memcpy(&s, src + 4 * i, 4);
    if (s == key) continue;
    std::memcpy(&d, dst + 4 * i, 4);
    uint32_t r = ((((d & 0xFF00FFu) * ia + (s & 0xFF00FFu) * a) >> 8) & 0xFF00FFu) |
                 ((((d & 0xFF00u) * ia + (s & 0xFF00u) * a) >> 8) & 0xFF00u);
    std::memcpy(dst + 4 * i, &r, 4);
  }
}

bool Matches24(const uint8_t* s, int32_t key) {
  return key >= 0 && s[0] == (key & 0xFF) && s[1] == ((key >> 8) & 0xFF) && s[2] == ((key >> 16) & 0xFF);
}

void RefBlendRow24(uint8_t* dst, const uint8_t* src, int count, int opacity, int32_t key) {
  const int a = opacity, ia = 255 - opacity;
  for (int i = 0; i < count; ++i) {
    const uint8_t* s = src + 3 * i;
    uint8_t* d = dst + 3 * i;
    if (Matches24(s, key)) continue;
    for (int c = 0; c < 3; ++c) d[c] = static_cast<uint8_t>((ia * d[c] + a * s[c]) / 255);
  }
}

void RefAlphaRow32(uint8_t* dst, const uint8_t* src, const uint8_t* alpha, int count) {
  for (int i = 0; i < count; ++i) {
    const uint32_t al = alpha[i];
    if (al == 0) continue;
    if (al == 255) {
      std::memcpy(dst + 4 * i, src + 4 * i, 4);
      continue;
    }
    uint32_t s, d;
    std::memcpy(&s, src + 4 * i, 4);
    std::memcpy(&d, dst + 4 * i, 4);
    const uint32_t ia = 255u - al;
    uint32_t r = ((((d & 0xFF00FFu) * ia + (s & 0xFF00FFu) * al) >> 8) & 0xFF00FFu) |
                 ((((d & 0xFF00u) * ia + (s & 0xFF00u) * al) >> 8) & 0xFF00u);
    std::memcpy(dst + 4 * i, &r, 4);
  }
}

void RefKeyedRow32(uint8_t* dst, const uint8_t* src, int count, uint32_t key) {
  for (int i = 0; i < count; ++i) {
    uint32_t s;
    std::memcpy(&s, src + 4 * i, 4);
    if (s != key) std::memcpy(dst + 4 * i, &s, 4);
  }
}

void RefKeyedRow24(uint8_t* dst, const uint8_t* src, int count, int32_t key) {
  for (int i = 0; i < count; ++i)
    if (!Matches24(src + 3 * i, key)) std::memcpy(dst + 3 * i, src + 3 * i, 3);
}

const KernelSet kReference{"reference", RefBlendRow32, RefBlendRow24, RefAlphaRow32, RefKeyedRow32, RefKeyedRow24};

#if ORIN_X86_KERNELS

// ---- SSE2, the baseline of every x86-64 processor.

inline __m128i Load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void Store(uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
inline __m128i Select(__m128i mask, __m128i ifSet, __m128i ifClear) {
  return _mm_or_si128(_mm_and_si128(mask, ifSet), _mm_andnot_si128(mask, ifClear));
}

// (d × (255 − a) + s × a) >> 8 on sixteen bytes; a and 255 − a per 16-bit lane. The sum is at
// most 255 × 255, so the 16-bit lanes never carry.
inline __m128i BlendShift8(__m128i d, __m128i s, __m128i aLo, __m128i aHi, __m128i iaLo, __m128i iaHi) {
  const __m128i zero = _mm_setzero_si128();
  __m128i lo = _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(d, zero), iaLo), _mm_mullo_epi16(_mm_unpacklo_epi8(s, zero), aLo));
  __m128i hi = _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(d, zero), iaHi), _mm_mullo_epi16(_mm_unpackhi_epi8(s, zero), aHi));
  return _mm_packus_epi16(_mm_srli_epi16(lo, 8), _mm_srli_epi16(hi, 8));
}

// ((255 − a) × d + a × s) div 255 on sixteen bytes: x div 255 = (x × 0x8081) >> 23 for every
// 16-bit x.
inline __m128i BlendDiv255(__m128i d, __m128i s, __m128i a, __m128i ia) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i magic = _mm_set1_epi16(static_cast<short>(0x8081));
  __m128i lo = _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(d, zero), ia), _mm_mullo_epi16(_mm_unpacklo_epi8(s, zero), a));
  __m128i hi = _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(d, zero), ia), _mm_mullo_epi16(_mm_unpackhi_epi8(s, zero), a));
  lo = _mm_srli_epi16(_mm_mulhi_epu16(lo, magic), 7);
  hi = _mm_srli_epi16(_mm_mulhi_epu16(hi, magic), 7);
  return _mm_packus_epi16(lo, hi);
}

// Three-byte pixels in a sixteen-byte register: the keyed 24-bit kernels step five pixels
// (fifteen bytes) at a time so a pixel never straddles two loads. Keep gives all ones over every
// byte of each of the five pixels whose three bytes equal the key, and over byte 15, which
// belongs to the next step and is written back unchanged.
struct Key24 {
  explicit Key24(int32_t key) {
    alignas(16) uint8_t pattern[16], starts[16] = {}, last[16] = {};
    for (int j = 0; j < 16; ++j) pattern[j] = static_cast<uint8_t>(key >> (8 * (j % 3)));
    for (int j = 0; j < 15; j += 3) starts[j] = 0xFF;
    last[15] = 0xFF;
    pattern_ = _mm_load_si128(reinterpret_cast<const __m128i*>(pattern));
    starts_ = _mm_load_si128(reinterpret_cast<const __m128i*>(starts));
    last_ = _mm_load_si128(reinterpret_cast<const __m128i*>(last));
  }
  __m128i Keep(__m128i s) const {
    __m128i eq = _mm_cmpeq_epi8(s, pattern_);
    __m128i m = _mm_and_si128(_mm_and_si128(eq, _mm_srli_si128(eq, 1)), _mm_srli_si128(eq, 2));
    m = _mm_and_si128(m, starts_);
    return _mm_or_si128(_mm_or_si128(m, last_), _mm_or_si128(_mm_slli_si128(m, 1), _mm_slli_si128(m, 2)));
  }

 private:
  __m128i pattern_, starts_, last_;
};

// Runs `combine(d, s)` over a row of three-byte pixels in steps of fifteen bytes and returns the
// byte where the caller's scalar tail starts. Each step's loads are issued before the previous
// step's store: that store rewrites the first byte of the next load, and a load that overlaps a
// pending store would wait for it.
template <class Combine>
int Steps24(uint8_t* dst, const uint8_t* src, int bytes, Combine combine) {
  if (bytes < 16) return 0;
  int p = 0;
  __m128i s = Load(src), d = Load(dst);
  for (;;) {
    const bool more = p + 31 <= bytes;
    __m128i sn = s, dn = d;
    if (more) sn = Load(src + p + 15), dn = Load(dst + p + 15);
    Store(dst + p, combine(d, s));
    p += 15;
    if (!more) return p;
    s = sn, d = dn;
  }
}

void Sse2BlendRow32(uint8_t* dst, const uint8_t* src, int count, int opacity, uint32_t key) {
  const __m128i a = _mm_set1_epi16(static_cast<short>(opacity));
  const __m128i ia = _mm_set1_epi16(static_cast<short>(255 - opacity));
  const __m128i keyv = _mm_set1_epi32(static_cast<int>(key));
  const __m128i rgb = _mm_set1_epi32(0x00FFFFFF);
  int i = 0;
  for (; i + 4 <= count; i += 4) {
    __m128i s = Load(src + 4 * i), d = Load(dst + 4 * i);
    __m128i r = _mm_and_si128(BlendShift8(d, s, a, a, ia, ia), rgb);
    Store(dst + 4 * i, Select(_mm_cmpeq_epi32(s, keyv), d, r));
  }
  RefBlendRow32(dst + 4 * i, src + 4 * i, count - i, opacity, key);
}

void Sse2BlendRow24(uint8_t* dst, const uint8_t* src, int count, int opacity, int32_t key) {
  const __m128i a = _mm_set1_epi16(static_cast<short>(opacity));
  const __m128i ia = _mm_set1_epi16(static_cast<short>(255 - opacity));
  const int bytes = count * 3;
  if (key < 0) {
    // Without a key every byte is blended alike; pixel boundaries do not matter.
    int p = 0;
    for (; p + 16 <= bytes; p += 16) Store(dst + p, BlendDiv255(Load(dst + p), Load(src + p), a, ia));
    for (; p < bytes; ++p) dst[p] = static_cast<uint8_t>(((255 - opacity) * dst[p] + opacity * src[p]) / 255);
    return;
  }
  const Key24 k(key);
  const int p = Steps24(dst, src, bytes, [&](__m128i d, __m128i s) { return Select(k.Keep(s), d, BlendDiv255(d, s, a, ia)); });
  RefBlendRow24(dst + p, src + p, count - p / 3, opacity, key);
}

void Sse2AlphaRow32(uint8_t* dst, const uint8_t* src, const uint8_t* alpha, int count) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i ones = _mm_set1_epi32(-1);
  const __m128i c255 = _mm_set1_epi16(255);
  const __m128i rgb = _mm_set1_epi32(0x00FFFFFF);
  int i = 0;
  for (; i + 4 <= count; i += 4) {
    uint32_t quad;
    std::memcpy(&quad, alpha + i, 4);
    if (quad == 0) continue;
    if (quad == 0xFFFFFFFFu) {
      Store(dst + 4 * i, Load(src + 4 * i));
      continue;
    }
    __m128i av = _mm_cvtsi32_si128(static_cast<int>(quad));
    av = _mm_unpacklo_epi8(av, av);
    av = _mm_unpacklo_epi16(av, av);  // each α in the four bytes of its pixel
    __m128i aLo = _mm_unpacklo_epi8(av, zero), aHi = _mm_unpackhi_epi8(av, zero);
    __m128i s = Load(src + 4 * i), d = Load(dst + 4 * i);
    __m128i r = _mm_and_si128(BlendShift8(d, s, aLo, aHi, _mm_sub_epi16(c255, aLo), _mm_sub_epi16(c255, aHi)), rgb);
    r = Select(_mm_cmpeq_epi32(av, ones), s, r);
    Store(dst + 4 * i, Select(_mm_cmpeq_epi32(av, zero), d, r));
  }
  RefAlphaRow32(dst + 4 * i, src + 4 * i, alpha + i, count - i);
}

void Sse2KeyedRow32(uint8_t* dst, const uint8_t* src, int count, uint32_t key) {
  const __m128i keyv = _mm_set1_epi32(static_cast<int>(key));
  int i = 0;
  for (; i + 4 <= count; i += 4) {
    __m128i s = Load(src + 4 * i);
    __m128i eq = _mm_cmpeq_epi32(s, keyv);
    if (_mm_movemask_epi8(eq) == 0) {
      Store(dst + 4 * i, s);
      continue;
    }
    Store(dst + 4 * i, Select(eq, Load(dst + 4 * i), s));
  }
  RefKeyedRow32(dst + 4 * i, src + 4 * i, count - i, key);
}

void Sse2KeyedRow24(uint8_t* dst, const uint8_t* src, int count, int32_t key) {
  if (key < 0) {
    std::memcpy(dst, src, static_cast<size_t>(count) * 3);
    return;
  }
  const Key24 k(key);
  const int p = Steps24(dst, src, count * 3, [&](__m128i d, __m128i s) { return Select(k.Keep(s), d, s); });
  RefKeyedRow24(dst + p, src + p, count - p / 3, key);
}

const KernelSet kSse2{"sse2", Sse2BlendRow32, Sse2BlendRow24, Sse2AlphaRow32, Sse2KeyedRow32, Sse2KeyedRow24};

// ---- AVX2, chosen at run time. The same arithmetic on 32 bytes; unpacking and packing work
// within each 16-byte half, alike for pixels and their factors, so the halves never mix. Every
// kernel clears the upper halves of the registers before it hands over to SSE2 code: left dirty,
// they slow down every later SSE instruction of the program (the compiler does not always do it
// for functions that only their attribute makes AVX2).

#define ORIN_AVX2 __attribute__((target("avx2")))

ORIN_AVX2 inline __m256i Load256(const uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
ORIN_AVX2 inline void Store256(uint8_t* p, __m256i v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
ORIN_AVX2 inline __m256i Select256(__m256i mask, __m256i ifSet, __m256i ifClear) {
  return _mm256_blendv_epi8(ifClear, ifSet, mask);
}

ORIN_AVX2 inline __m256i BlendShift8x2(__m256i d, __m256i s, __m256i aLo, __m256i aHi, __m256i iaLo, __m256i iaHi) {
  const __m256i zero = _mm256_setzero_si256();
  __m256i lo = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(d, zero), iaLo),
                                _mm256_mullo_epi16(_mm256_unpacklo_epi8(s, zero), aLo));
  __m256i hi = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(d, zero), iaHi),
                                _mm256_mullo_epi16(_mm256_unpackhi_epi8(s, zero), aHi));
  return _mm256_packus_epi16(_mm256_srli_epi16(lo, 8), _mm256_srli_epi16(hi, 8));
}

ORIN_AVX2 void Avx2BlendRow32(uint8_t* dst, const uint8_t* src, int count, int opacity, uint32_t key) {
  const __m256i a = _mm256_set1_epi16(static_cast<short>(opacity));
  const __m256i ia = _mm256_set1_epi16(static_cast<short>(255 - opacity));
  const __m256i keyv = _mm256_set1_epi32(static_cast<int>(key));
  const __m256i rgb = _mm256_set1_epi32(0x00FFFFFF);
  int i = 0;
  for (; i + 8 <= count; i += 8) {
    __m256i s = Load256(src + 4 * i), d = Load256(dst + 4 * i);
    __m256i r = _mm256_and_si256(BlendShift8x2(d, s, a, a, ia, ia), rgb);
    Store256(dst + 4 * i, Select256(_mm256_cmpeq_epi32(s, keyv), d, r));
  }
  _mm256_zeroupper();
  Sse2BlendRow32(dst + 4 * i, src + 4 * i, count - i, opacity, key);
}

ORIN_AVX2 inline __m256i BlendDiv255x2(__m256i d, __m256i s, __m256i a, __m256i ia) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i magic = _mm256_set1_epi16(static_cast<short>(0x8081));
  __m256i lo = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(d, zero), ia),
                                _mm256_mullo_epi16(_mm256_unpacklo_epi8(s, zero), a));
  __m256i hi = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(d, zero), ia),
                                _mm256_mullo_epi16(_mm256_unpackhi_epi8(s, zero), a));
  lo = _mm256_srli_epi16(_mm256_mulhi_epu16(lo, magic), 7);
  hi = _mm256_srli_epi16(_mm256_mulhi_epu16(hi, magic), 7);
  return _mm256_packus_epi16(lo, hi);
}

ORIN_AVX2 void Avx2AlphaRow32(uint8_t* dst, const uint8_t* src, const uint8_t* alpha, int count) {
  const __m256i ones = _mm256_set1_epi32(-1);
  const __m256i c255 = _mm256_set1_epi16(255);
  const __m256i low = _mm256_set1_epi16(0x00FF);
  const __m256i green = _mm256_set1_epi32(0x0000FF00);
  // Spreads eight α values over the four bytes of their pixels.
  const __m256i toPixels = _mm256_setr_epi8(0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3,
                                            4, 4, 4, 4, 5, 5, 5, 5, 6, 6, 6, 6, 7, 7, 7, 7);
  int i = 0;
  for (; i + 8 <= count; i += 8) {
    uint64_t oct;
    std::memcpy(&oct, alpha + i, 8);
    if (oct == 0) continue;
    if (oct == ~uint64_t{0}) {
      Store256(dst + 4 * i, Load256(src + 4 * i));
      continue;
    }
    const __m256i av = _mm256_shuffle_epi8(_mm256_set1_epi64x(static_cast<long long>(oct)), toPixels);
    // Blue and red sit in the low bytes of the 16-bit lanes, green and the fourth byte in the
    // high bytes; each lane of a pixel takes the pixel's α, so no unpacking is needed.
    const __m256i a = _mm256_and_si256(av, low), ia = _mm256_sub_epi16(c255, a);
    const __m256i s = Load256(src + 4 * i), d = Load256(dst + 4 * i);
    const __m256i even = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_and_si256(d, low), ia),
                                          _mm256_mullo_epi16(_mm256_and_si256(s, low), a));
    const __m256i odd = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_srli_epi16(d, 8), ia),
                                         _mm256_mullo_epi16(_mm256_srli_epi16(s, 8), a));
    __m256i r = _mm256_or_si256(_mm256_srli_epi16(even, 8), _mm256_and_si256(odd, green));
    r = Select256(_mm256_cmpeq_epi32(av, ones), s, r);
    Store256(dst + 4 * i, Select256(_mm256_cmpeq_epi32(av, _mm256_setzero_si256()), d, r));
  }
  _mm256_zeroupper();
  Sse2AlphaRow32(dst + 4 * i, src + 4 * i, alpha + i, count - i);
}

// The keyed 24-bit steps of the SSE2 kernels, two at a time: the low half holds bytes p .. p+15,
// the high half p+15 .. p+30, both starting on a pixel. The low half is stored first, so its
// unchanged byte 15 is overwritten by the high half's first byte.
struct Key24x2 {
  ORIN_AVX2 explicit Key24x2(int32_t key) {
    alignas(16) uint8_t pattern[16], starts[16] = {}, last[16] = {};
    for (int j = 0; j < 16; ++j) pattern[j] = static_cast<uint8_t>(key >> (8 * (j % 3)));
    for (int j = 0; j < 15; j += 3) starts[j] = 0xFF;
    last[15] = 0xFF;
    pattern_ = _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(pattern)));
    starts_ = _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(starts)));
    last_ = _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(last)));
  }
  ORIN_AVX2 __m256i Keep(__m256i s) const {
    __m256i eq = _mm256_cmpeq_epi8(s, pattern_);
    __m256i m = _mm256_and_si256(_mm256_and_si256(eq, _mm256_srli_si256(eq, 1)), _mm256_srli_si256(eq, 2));
    m = _mm256_and_si256(m, starts_);
    return _mm256_or_si256(_mm256_or_si256(m, last_), _mm256_or_si256(_mm256_slli_si256(m, 1), _mm256_slli_si256(m, 2)));
  }

 private:
  __m256i pattern_, starts_, last_;
};

ORIN_AVX2 inline __m256i LoadHalves(const uint8_t* p) {
  return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))),
                                 _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 15)), 1);
}

// As Steps24, thirty bytes a step, blending (or copying) the pixels that do not match the key;
// returns where the caller goes on.
template <bool kBlend>
ORIN_AVX2 int Steps24x2(uint8_t* dst, const uint8_t* src, int bytes, const Key24x2& k, __m256i a, __m256i ia) {
  if (bytes < 31) return 0;
  int p = 0;
  __m256i s = LoadHalves(src), d = LoadHalves(dst);
  for (;;) {
    const bool more = p + 61 <= bytes;
    __m256i sn = s, dn = d;
    if (more) sn = LoadHalves(src + p + 30), dn = LoadHalves(dst + p + 30);
    const __m256i r = Select256(k.Keep(s), d, kBlend ? BlendDiv255x2(d, s, a, ia) : s);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + p), _mm256_castsi256_si128(r));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + p + 15), _mm256_extracti128_si256(r, 1));
    p += 30;
    if (!more) return p;
    s = sn, d = dn;
  }
}

ORIN_AVX2 void Avx2BlendRow24(uint8_t* dst, const uint8_t* src, int count, int opacity, int32_t key) {
  const __m256i a = _mm256_set1_epi16(static_cast<short>(opacity));
  const __m256i ia = _mm256_set1_epi16(static_cast<short>(255 - opacity));
  const int bytes = count * 3;
  if (key < 0) {
    int p = 0;
    for (; p + 32 <= bytes; p += 32) Store256(dst + p, BlendDiv255x2(Load256(dst + p), Load256(src + p), a, ia));
    for (; p < bytes; ++p) dst[p] = static_cast<uint8_t>(((255 - opacity) * dst[p] + opacity * src[p]) / 255);
    return;
  }
  const Key24x2 k(key);
  const int p = Steps24x2<true>(dst, src, bytes, k, a, ia);
  _mm256_zeroupper();
  Sse2BlendRow24(dst + p, src + p, count - p / 3, opacity, key);
}

ORIN_AVX2 void Avx2KeyedRow24(uint8_t* dst, const uint8_t* src, int count, int32_t key) {
  if (key < 0) {
    std::memcpy(dst, src, static_cast<size_t>(count) * 3);
    return;
  }
  const Key24x2 k(key);
  const __m256i none = _mm256_setzero_si256();
  const int p = Steps24x2<false>(dst, src, count * 3, k, none, none);
  _mm256_zeroupper();
  Sse2KeyedRow24(dst + p, src + p, count - p / 3, key);
}

ORIN_AVX2 void Avx2KeyedRow32(uint8_t* dst, const uint8_t* src, int count, uint32_t key) {
  const __m256i keyv = _mm256_set1_epi32(static_cast<int>(key));
  int i = 0;
  for (; i + 8 <= count; i += 8) {
    __m256i s = Load256(src + 4 * i);
    __m256i eq = _mm256_cmpeq_epi32(s, keyv);
    Store256(dst + 4 * i, _mm256_testz_si256(eq, eq) ? s : Select256(eq, Load256(dst + 4 * i), s));
  }
  _mm256_zeroupper();
  Sse2KeyedRow32(dst + 4 * i, src + 4 * i, count - i, key);
}

const KernelSet kAvx2{"avx2", Avx2BlendRow32, Avx2BlendRow24, Avx2AlphaRow32, Avx2KeyedRow32, Avx2KeyedRow24};

bool HasAvx2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
}

#endif  // ORIN_X86_KERNELS

const KernelSet& Chosen() {
#if ORIN_X86_KERNELS
  static const KernelSet& chosen = HasAvx2() ? kAvx2 : kSse2;
  return chosen;
#else
  return kReference;
#endif
}

}  // namespace

void BlendRow32(uint8_t* dst, const uint8_t* src, int count, int opacity, uint32_t key) {
  Chosen().BlendRow32(dst, src, count, opacity, key);
}
void BlendRow24(uint8_t* dst, const uint8_t* src, int count, int opacity, int32_t key) {
  Chosen().BlendRow24(dst, src, count, opacity, key);
}
void AlphaRow32(uint8_t* dst, const uint8_t* src, const uint8_t* alpha, int count) {
  Chosen().AlphaRow32(dst, src, alpha, count);
}
void KeyedRow32(uint8_t* dst, const uint8_t* src, int count, uint32_t key) {
  Chosen().KeyedRow32(dst, src, count, key);
}
void KeyedRow24(uint8_t* dst, const uint8_t* src, int count, int32_t key) {
  Chosen().KeyedRow24(dst, src, count, key);
}

const KernelSet& ReferenceKernels() { return kReference; }

std::vector<const KernelSet*> AvailableKernels() {
#if ORIN_X86_KERNELS
  if (HasAvx2()) return {&kSse2, &kAvx2};
  return {&kSse2};
#else
  return {};
#endif
}

}  // namespace orin::pixel
