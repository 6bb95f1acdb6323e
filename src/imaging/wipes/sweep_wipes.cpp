#include "imaging/wipes/sweep_wipes.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#if defined(__x86_64__) && defined(__SSE2__)
#include <immintrin.h>
#endif

#include "imaging/screen_surface.h"
#include "imaging/wipes/mask_kernels.h"

namespace orin {

void SweepWipe::Prepare() {
  TWipeMask::Prepare();
  const int width = Mask().Width(), height = Mask().Height();
  order_.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
  FillOrder(order_, width, height);
}

bool SweepWipe::UpdateMask() {
  const int64_t level = Scaled(kLevels);
  if (level == lastLevel_) return false;
  lastLevel_ = level;
  TDIBSurface& mask = Mask();
  const int width = mask.Width();
  for (int y = 0; y < mask.Height(); ++y)
    wipes::OrderMaskRow(mask.ScanLine(y), order_.data() + static_cast<size_t>(y) * width, width,
                        static_cast<int>(level), softBits_);
  return true;
}

void TWipeShadow::FillOrder(std::vector<uint16_t>& order, int width, int height) {
  const TDIBSurface& picture = Incoming().Picture();
  // Brightness 0 … 255 to its order value, once per level rather than once per pixel.
  uint16_t byBrightness[256];
  for (int v = 0; v < 256; ++v) byBrightness[v] = ToOrder((Reverse() ? 255 - v : v) / 255.0);
  auto brightness = [](int red, int green, int blue) { return (red * 77 + green * 150 + blue * 29) >> 8; };
  for (int y = 0; y < height; ++y) {
    uint16_t* row = order.data() + static_cast<size_t>(y) * width;
    const uint8_t* p = picture.ScanLine(y);
    if (picture.BitCount() == 32) {
      for (int x = 0; x < width; ++x) row[x] = byBrightness[brightness(p[4 * x + 2], p[4 * x + 1], p[4 * x])];
    } else {
      for (int x = 0; x < width; ++x) {
        const Rgb c = picture.PixelToRGB(picture.GetPixel(x, y), true);
        row[x] = byBrightness[brightness(c.Red, c.Green, c.Blue)];
      }
    }
  }
}

namespace {

// atan2 to within 2e-6 radians (well under an order step) without a library call: a minimax
// polynomial of atan on 0 … 1, then the octant.
inline float Atan2(float y, float x) {
  const float ax = std::fabs(x), ay = std::fabs(y);
  const float a = std::min(ax, ay) / std::max(std::max(ax, ay), 1e-30f);
  const float s = a * a;
  float r = a * (0.99997726f + s * (-0.33262347f + s * (0.19354346f + s * (-0.11643287f + s * (0.05265332f + s * -0.01172120f)))));
  if (ay > ax) r = std::numbers::pi_v<float> / 2 - r;
  if (x < 0) r = std::numbers::pi_v<float> - r;
  return std::copysign(r, y);
}

// out[i] = atan2(y[i], x[i]) over a row; the order planes of a 1280 × 720 screen take a few
// milliseconds of these, so four at a time where the processor allows.
void Atan2Row(const float* y, const float* x, float* out, int count) {
  int i = 0;
#if defined(__x86_64__) && defined(__SSE2__)
  const __m128 signBit = _mm_set1_ps(-0.0f);
  const __m128 halfPi = _mm_set1_ps(std::numbers::pi_v<float> / 2), pi = _mm_set1_ps(std::numbers::pi_v<float>);
  for (; i + 4 <= count; i += 4) {
    const __m128 vy = _mm_loadu_ps(y + i), vx = _mm_loadu_ps(x + i);
    const __m128 ax = _mm_andnot_ps(signBit, vx), ay = _mm_andnot_ps(signBit, vy);
    const __m128 a = _mm_div_ps(_mm_min_ps(ax, ay), _mm_max_ps(_mm_max_ps(ax, ay), _mm_set1_ps(1e-30f)));
    const __m128 s = _mm_mul_ps(a, a);
    __m128 p = _mm_set1_ps(-0.01172120f);
    for (float c : {0.05265332f, -0.11643287f, 0.19354346f, -0.33262347f, 0.99997726f})
      p = _mm_add_ps(_mm_mul_ps(p, s), _mm_set1_ps(c));
    __m128 r = _mm_mul_ps(a, p);
    const __m128 steep = _mm_cmpgt_ps(ay, ax);
    r = _mm_or_ps(_mm_and_ps(steep, _mm_sub_ps(halfPi, r)), _mm_andnot_ps(steep, r));
    const __m128 left = _mm_cmplt_ps(vx, _mm_setzero_ps());
    r = _mm_or_ps(_mm_and_ps(left, _mm_sub_ps(pi, r)), _mm_andnot_ps(left, r));
    _mm_storeu_ps(out + i, _mm_or_ps(r, _mm_and_ps(signBit, vy)));
  }
#endif
  for (; i < count; ++i) out[i] = Atan2(y[i], x[i]);
}

// The angles of one row to order values: (angle + turn if negative) ÷ span.
void AnglesToOrders(const float* angles, uint16_t* order, int count, bool wrap, float span, int range) {
  for (int i = 0; i < count; ++i) {
    float a = angles[i];
    if (wrap && a < 0) a += 2 * std::numbers::pi_v<float>;
    const float f = std::min(std::max(a / span, 0.0f), 1.0f);
    order[i] = static_cast<uint16_t>(f * static_cast<float>(range) + 0.5f);
  }
}

}  // namespace

void TWipeClockhand::FillOrder(std::vector<uint16_t>& order, int width, int height) {
  const float cx = width / 2.0f, cy = height / 2.0f;
  const float sign = Reverse() ? -1.0f : 1.0f;
  std::vector<float> across(static_cast<size_t>(width)), up(static_cast<size_t>(width)), angle(static_cast<size_t>(width));
  for (int x = 0; x < width; ++x) across[static_cast<size_t>(x)] = sign * (static_cast<float>(x) + 0.5f - cx);
  for (int y = 0; y < height; ++y) {
    // Clockwise from 12 o'clock: atan2 of the offset across over the offset up.
    std::fill(up.begin(), up.end(), cy - (static_cast<float>(y) + 0.5f));
    Atan2Row(across.data(), up.data(), angle.data(), width);
    AnglesToOrders(angle.data(), order.data() + static_cast<size_t>(y) * width, width, true,
                   2 * std::numbers::pi_v<float>, OrderRange());
  }
}

namespace {

// The fans: the angle of the leaf through a point `height` above the pivot, from the left edge
// (0) over the top to the right edge (π), mirrored when reversed. The rows are given by the
// height above their fan's pivot.
template <class HeightOfRow>
void FillFanOrder(std::vector<uint16_t>& order, int width, int height, bool reverse, int range, HeightOfRow heightOf) {
  const float cx = width / 2.0f;
  std::vector<float> across(static_cast<size_t>(width)), above(static_cast<size_t>(width)), angle(static_cast<size_t>(width));
  for (int x = 0; x < width; ++x) across[static_cast<size_t>(x)] = (reverse ? 1.0f : -1.0f) * (static_cast<float>(x) + 0.5f - cx);
  for (int y = 0; y < height; ++y) {
    std::fill(above.begin(), above.end(), heightOf(y));
    Atan2Row(above.data(), across.data(), angle.data(), width);
    AnglesToOrders(angle.data(), order.data() + static_cast<size_t>(y) * width, width, false, std::numbers::pi_v<float>,
                   range);
  }
}

}  // namespace

void TWipeFan::FillOrder(std::vector<uint16_t>& order, int width, int height) {
  FillFanOrder(order, width, height, Reverse(), OrderRange(),
               [height](int y) { return static_cast<float>(height) - (static_cast<float>(y) + 0.5f); });
}

void TWipeWFan::FillOrder(std::vector<uint16_t>& order, int width, int height) {
  // The upper half belongs to the fan hanging from the top, the lower to the one standing on the
  // bottom; both measure from their own pivot.
  const float cy = height / 2.0f;
  FillFanOrder(order, width, height, Reverse(), OrderRange(), [height, cy](int y) {
    const float centre = static_cast<float>(y) + 0.5f;
    return centre < cy ? centre : static_cast<float>(height) - centre;
  });
}

}  // namespace orin
