#include "imaging/wipes/light_wipes.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace orin {

// ---- TWipeShadowWhite, TWipeShadowBlack

void TWipeShadowWhite::Size() {
  band_ = std::max(2, W() / 4);
  const int bytes = Bytes();
  profile_.assign(static_cast<size_t>(band_) * static_cast<size_t>(bytes), 0);
  const double half = band_ / 2.0;
  for (int k = 0; k < band_; ++k) {
    const double level = 255.0 * (1.0 + std::cos(std::numbers::pi * (k + 0.5 - half) / half)) / 2.0;
    const uint32_t pixel = GreyPixel(std::clamp(static_cast<int>(std::lround(level)), 0, 255));
    std::memcpy(profile_.data() + static_cast<size_t>(k) * static_cast<size_t>(bytes), &pixel,
                static_cast<size_t>(bytes));
  }
}

void TWipeShadowWhite::Prepare() {
  Size();
}

bool TWipeShadowWhite::Step() {
  if (Done()) return true;
  if (profile_.size() != static_cast<size_t>(std::max(2, W() / 4)) * static_cast<size_t>(Bytes()))
    Size();
  const int width = W(), half = band_ / 2;
  // The band's middle column; it enters wholly off the screen and leaves wholly off it.
  int middle = static_cast<int>(std::lround(-half + (width + band_) * Progress()));
  int bandLeft = middle - (band_ - half);
  const ScreenSurface* left = &Incoming();
  const ScreenSurface* right = &Outgoing();
  if (Reverse()) {
    // The mirror image (the profile is symmetric).
    middle = width - middle;
    bandLeft = width - (bandLeft + band_);
    std::swap(left, right);
  }
  const int from = std::clamp(bandLeft, 0, width), split = std::clamp(middle, 0, width),
            to = std::clamp(bandLeft + band_, 0, width);
  const int bytes = Bytes();
  const uint32_t* masks = Outgoing().Masks();
  auto shade = [&](uint8_t* dst, const uint8_t* src, int x, int count) {
    if (count <= 0) return;
    const uint8_t* grey =
        profile_.data() + static_cast<size_t>(x - bandLeft) * static_cast<size_t>(bytes);
    if (bytes == 4) {
      if (darken_)
        wipes::SubGreyRow32(At(dst, x), At(src, x), grey, count);
      else
        wipes::AddGreyRow32(At(dst, x), At(src, x), grey, count);
    } else {
      auto* d = reinterpret_cast<uint16_t*>(At(dst, x));
      const auto* s = reinterpret_cast<const uint16_t*>(At(src, x));
      const auto* g = reinterpret_cast<const uint16_t*>(grey);
      if (darken_)
        wipes::SubGreyRow16(d, s, g, count, masks);
      else
        wipes::AddGreyRow16(d, s, g, count, masks);
    }
  };
  for (int y = 0; y < H(); ++y) {
    uint8_t* dst = TargetRow(y);
    const uint8_t* l = Row(*left, y);
    const uint8_t* r = Row(*right, y);
    CopyPixels(dst, l, from);
    shade(dst, l, from, split - from);
    shade(dst, r, split, to - split);
    CopyPixels(At(dst, to), At(r, to), width - to);
  }
  MarkChanged();
  return false;
}

// ---- TWipeBlurWhite, TWipeBlurBlack

void TWipeBlurWhite::Size() {
  smallW_ = (W() + 1) / 2;
  smallH_ = (H() + 1) / 2;
  small_.assign(static_cast<size_t>(smallW_) * static_cast<size_t>(smallH_) * 4, 0);
}

void TWipeBlurWhite::Prepare() {
  Size();
}

namespace {

// Every byte of a and b averaged, rounding up.
inline void Average(uint8_t* dst, const uint8_t* a, const uint8_t* b, int pixels) {
  int i = 0;
#if defined(__SSE2__)
  for (; i + 4 <= pixels; i += 4)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 4 * i),
                     _mm_avg_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + 4 * i)),
                                  _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 4 * i))));
#endif
  for (; i < 4 * pixels; ++i) dst[i] = static_cast<uint8_t>((a[i] + b[i] + 1) >> 1);
}

}  // namespace

// The blur is a box filter built from averages of the picture with itself shifted by 1, 2, 4 …
// pixels, each pass doubling the box, and a last shift making up the rest of the width, so the
// width grows smoothly. The passes shift the picture by half the total; the enlargement reads
// that much further on to put it back.
void TWipeBlurWhite::Blur(const ScreenSurface& source, int width2, int level) {
  const int width = W(), height = H(), sw = smallW_, sh = smallH_;
  const size_t stride = static_cast<size_t>(sw) * 4;
  uint8_t* small = small_.data();
  // Half resolution: the mean of every pair of pixels of the even rows (the last column repeats
  // at an odd width). The blur that follows spans at least two half-resolution pixels, so the
  // odd rows would add nothing one could see.
  for (int y = 0; y < sh; ++y) {
    const uint8_t* r0 = Row(source, 2 * y);
    uint8_t* d = small + static_cast<size_t>(y) * stride;
    int x = 0;
#if defined(__SSE2__)
    for (; 2 * x + 8 <= width; x += 4) {
      const __m128 f0 =
          _mm_castsi128_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(r0 + 8 * x)));
      const __m128 f1 =
          _mm_castsi128_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(r0 + 8 * x + 16)));
      const __m128i even = _mm_castps_si128(_mm_shuffle_ps(f0, f1, _MM_SHUFFLE(2, 0, 2, 0)));
      const __m128i odd = _mm_castps_si128(_mm_shuffle_ps(f0, f1, _MM_SHUFFLE(3, 1, 3, 1)));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 4 * x), _mm_avg_epu8(even, odd));
    }
#endif
    for (; x < sw; ++x) {
      const int x0 = 4 * (2 * x), x1 = 4 * std::min(2 * x + 1, width - 1);
      for (int c = 0; c < 4; ++c)
        d[4 * x + c] = static_cast<uint8_t>((r0[x0 + c] + r0[x1 + c] + 1) >> 1);
    }
  }
  int shift = 0;
  for (int box = 1; box < width2;) {
    const int d = std::min(box, width2 - box);
    // Across, in place left to right: every pixel is averaged with the one d further on (the
    // last pixel of the row repeated), read before it is overwritten. Down, in place top to
    // bottom, d rows behind, so the rows are still at hand: row y − d with row y.
    auto across = [&](uint8_t* r) {
      const int main = std::max(sw - d, 0);
      Average(r, r, r + 4 * static_cast<ptrdiff_t>(std::min(d, sw - 1)), main);
      for (int x = main; x < sw; ++x) Average(r + 4 * x, r + 4 * x, r + 4 * (sw - 1), 1);
    };
    for (int y = 0; y < sh; ++y) {
      uint8_t* r = small + static_cast<size_t>(y) * stride;
      across(r);
      if (y >= d) {
        uint8_t* above = r - static_cast<ptrdiff_t>(d) * static_cast<ptrdiff_t>(stride);
        Average(above, above, r, sw);
      }
    }
    for (int y = std::max(sh - d, 0); y < sh; ++y) {
      uint8_t* r = small + static_cast<size_t>(y) * stride;
      Average(r, r, small + static_cast<size_t>(sh - 1) * stride, sw);
    }
    shift += d;
    box += d;
  }
  // Back to full size, every half-resolution pixel doubled both ways, with the fade: each pair of
  // rows is written from one half-resolution row.
  const int offset = shift / 2;
  const uint32_t grey = static_cast<uint32_t>(level) * 0x010101u;
  auto fade = [&](uint32_t v) {
    uint32_t r = 0;
    for (int c = 0; c < 24; c += 8) {
      const int a = static_cast<int>((v >> c) & 0xFF), g = static_cast<int>((grey >> c) & 0xFF);
      r |= static_cast<uint32_t>(darken_ ? std::max(a - g, 0) : std::min(a + g, 255)) << c;
    }
    return r | (v & 0xFF000000u);
  };
  for (int y = 0; y < height; y += 2) {
    const uint32_t* s = reinterpret_cast<const uint32_t*>(
        small + static_cast<size_t>(std::min(y / 2 + offset, sh - 1)) * stride);
    auto* out0 = reinterpret_cast<uint32_t*>(TargetRow(y));
    auto* out1 = reinterpret_cast<uint32_t*>(TargetRow(std::min(y + 1, height - 1)));
    const int inside = std::clamp(sw - offset, 0, (width + 1) / 2);
    int x = 0;
#if defined(__SSE2__)
    const __m128i g = _mm_set1_epi32(static_cast<int>(grey));
    for (; x + 4 <= inside && 2 * x + 8 <= width; x += 4) {
      __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + x + offset));
      v = darken_ ? _mm_subs_epu8(v, g) : _mm_adds_epu8(v, g);
      const __m128i lo = _mm_unpacklo_epi32(v, v), hi = _mm_unpackhi_epi32(v, v);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out0 + 2 * x), lo);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out0 + 2 * x + 4), hi);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out1 + 2 * x), lo);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out1 + 2 * x + 4), hi);
    }
#endif
    for (int tx = 2 * x; tx < width; ++tx)
      out0[tx] = out1[tx] = fade(s[std::min(tx / 2 + offset, sw - 1)]);
  }
}

bool TWipeBlurWhite::Step() {
  if (Done()) return true;
  const double p = Progress();
  const bool first = p < 0.5;
  // 0 at either end, 1 at the midpoint.
  const double depth = first ? 2.0 * p : 2.0 - 2.0 * p;
  const ScreenSurface& source = first ? Outgoing() : Incoming();
  const int level = std::clamp(static_cast<int>(std::lround(255.0 * depth)), 0, 255);
  // The box's width in half-resolution pixels: up to a twenty-fourth of the smaller side.
  const int maxWidth = std::max(1, std::min(W(), H()) / 48);
  const int width2 = static_cast<int>(std::lround(maxWidth * depth));
  if (Bytes() != 4 || width2 < 2) {
    CopyAll(source);
    if (darken_)
      Target().SubtractGrey(Target().Bounds(), level);
    else
      Target().AddGrey(Target().Bounds(), level);
  } else {
    if (smallW_ != (W() + 1) / 2 || smallH_ != (H() + 1) / 2) Size();
    Blur(source, width2, level);
  }
  MarkChanged();
  return false;
}

}  // namespace orin
