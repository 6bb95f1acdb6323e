#include "imaging/wipes/light_wipes.h"

#include <algorithm>
#include <cmath>
#include <numbers>

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

void TWipeShadowWhite::Prepare() { Size(); }

bool TWipeShadowWhite::Step() {
  if (Done()) return true;
  if (profile_.size() != static_cast<size_t>(std::max(2, W() / 4)) * static_cast<size_t>(Bytes())) Size();
  const int width = W(), half = band_ / 2;
  // The band's middle column; it enters wholly off the screen and leaves wholly off it.
  int middle = static_cast<int>(std::lround(-half + (width + band_) * Progress()));
  const ScreenSurface* left = &Incoming();
  const ScreenSurface* right = &Outgoing();
  if (Reverse()) {
    middle = width - middle;
    std::swap(left, right);
  }
  const int bandLeft = middle - (band_ - half);
  const int from = std::clamp(bandLeft, 0, width), split = std::clamp(middle, 0, width),
            to = std::clamp(bandLeft + band_, 0, width);
  const int bytes = Bytes();
  const uint32_t* masks = Outgoing().Masks();
  auto shade = [&](uint8_t* dst, const uint8_t* src, int x, int count) {
    if (count <= 0) return;
    const uint8_t* grey = profile_.data() + static_cast<size_t>(x - bandLeft) * static_cast<size_t>(bytes);
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
  const size_t pixels = static_cast<size_t>(smallW_) * static_cast<size_t>(smallH_);
  small_.assign(pixels * 4, 0);
  temp_.assign(pixels * 4, 0);
  sums_.assign(static_cast<size_t>(smallW_) * 3, 0);
}

void TWipeBlurWhite::Prepare() { Size(); }

void TWipeBlurWhite::Blur(const ScreenSurface& source, int radius) {
  const int width = W(), height = H(), sw = smallW_, sh = smallH_;
  const size_t stride = static_cast<size_t>(sw) * 4;
  // Half resolution: the mean of every 2 × 2 block (the last column and row repeat at odd sizes).
  for (int y = 0; y < sh; ++y) {
    const uint8_t* r0 = Row(source, 2 * y);
    const uint8_t* r1 = Row(source, std::min(2 * y + 1, height - 1));
    uint8_t* d = small_.data() + static_cast<size_t>(y) * stride;
    for (int x = 0; x < sw; ++x) {
      const int x0 = 4 * (2 * x), x1 = 4 * std::min(2 * x + 1, width - 1);
      for (int c = 0; c < 3; ++c) d[4 * x + c] = static_cast<uint8_t>((r0[x0 + c] + r0[x1 + c] + r1[x0 + c] + r1[x1 + c] + 2) >> 2);
      d[4 * x + 3] = 0;
    }
  }
  const uint32_t n = static_cast<uint32_t>(2 * radius + 1);
  const uint32_t scale = 65536u / n;  // sum × scale >> 16 never exceeds 255
  // Across: a running sum over the window, the edge pixels repeated.
  for (int y = 0; y < sh; ++y) {
    const uint8_t* s = small_.data() + static_cast<size_t>(y) * stride;
    uint8_t* d = temp_.data() + static_cast<size_t>(y) * stride;
    uint32_t sum[3] = {0, 0, 0};
    for (int k = -radius; k <= radius; ++k) {
      const int x = std::clamp(k, 0, sw - 1);
      for (int c = 0; c < 3; ++c) sum[c] += s[4 * x + c];
    }
    for (int x = 0; x < sw; ++x) {
      for (int c = 0; c < 3; ++c) d[4 * x + c] = static_cast<uint8_t>((sum[c] * scale) >> 16);
      d[4 * x + 3] = 0;
      const int add = 4 * std::min(x + radius + 1, sw - 1), sub = 4 * std::max(x - radius, 0);
      for (int c = 0; c < 3; ++c) sum[c] += static_cast<uint32_t>(s[add + c]) - s[sub + c];
    }
  }
  // Down: the same window over rows, one running sum per column, row by row.
  std::fill(sums_.begin(), sums_.end(), 0u);
  for (int k = -radius; k <= radius; ++k) {
    const uint8_t* s = temp_.data() + static_cast<size_t>(std::clamp(k, 0, sh - 1)) * stride;
    for (int x = 0; x < sw; ++x)
      for (int c = 0; c < 3; ++c) sums_[static_cast<size_t>(3 * x + c)] += s[4 * x + c];
  }
  for (int y = 0; y < sh; ++y) {
    uint8_t* d = small_.data() + static_cast<size_t>(y) * stride;
    const uint8_t* add = temp_.data() + static_cast<size_t>(std::min(y + radius + 1, sh - 1)) * stride;
    const uint8_t* sub = temp_.data() + static_cast<size_t>(std::max(y - radius, 0)) * stride;
    uint32_t* sums = sums_.data();
    for (int x = 0; x < sw; ++x)
      for (int c = 0; c < 3; ++c) {
        uint32_t& sum = sums[3 * x + c];
        d[4 * x + c] = static_cast<uint8_t>((sum * scale) >> 16);
        sum += static_cast<uint32_t>(add[4 * x + c]) - sub[4 * x + c];
      }
  }
  // Back to full size, every half-resolution pixel doubled both ways.
  for (int y = 0; y < height; ++y) {
    const uint8_t* s = small_.data() + static_cast<size_t>(y / 2) * stride;
    uint8_t* d = TargetRow(y);
    for (int x = 0; x < width; ++x) std::memcpy(d + 4 * x, s + 4 * (x / 2), 4);
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
  const int maxRadius = std::max(1, std::min(W(), H()) / 24);
  const int radius = static_cast<int>(std::lround(maxRadius * depth)) / 2;
  if (Bytes() != 4 || radius < 1) {
    CopyAll(source);
  } else {
    if (smallW_ != (W() + 1) / 2 || smallH_ != (H() + 1) / 2) Size();
    Blur(source, radius);
  }
  if (darken_)
    Target().SubtractGrey(Target().Bounds(), level);
  else
    Target().AddGrey(Target().Bounds(), level);
  MarkChanged();
  return false;
}

}  // namespace orin
