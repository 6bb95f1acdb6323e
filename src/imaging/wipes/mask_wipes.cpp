#include "imaging/wipes/mask_wipes.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/random.h"
#include "imaging/screen_surface.h"

namespace orin {

namespace {

// a ÷ b rounded up, for a ≥ 0 and b ≥ 1.
int32_t CeilDiv(int32_t a, int32_t b) { return static_cast<int32_t>((int64_t{a} + b - 1) / b); }

void FillRow(TDIBSurface& mask, int row, uint8_t value) { std::memset(mask.ScanLine(row), value, static_cast<size_t>(mask.Width())); }

// Fills the rectangle (x, y, side × side), cut to the mask.
void FillSquare(TDIBSurface& mask, int64_t x, int64_t y, int64_t side, uint8_t value) {
  const int64_t left = std::max<int64_t>(x, 0), right = std::min<int64_t>(x + side, mask.Width());
  const int64_t top = std::max<int64_t>(y, 0), bottom = std::min<int64_t>(y + side, mask.Height());
  if (left >= right) return;
  for (int64_t r = top; r < bottom; ++r)
    std::memset(mask.ScanLine(static_cast<int>(r)) + left, value, static_cast<size_t>(right - left));
}

}  // namespace

// ---- Blinds

void TWipeBlindH::SetParam(int index, int32_t value) {
  if (index == 0) value = std::max(value, 2);
  if (index == 1) value = std::max(value, 1);
  TWipeMask::SetParam(index, value);
}

uint8_t TWipeBlindH::Value(int64_t level, int64_t e, int64_t p1) {
  if (level < e) return 0;
  return static_cast<uint8_t>(std::min<int64_t>(255, (level - e) * 255 / p1));
}

void TWipeBlindH::Prepare() {
  TWipeMask::Prepare();
  band_ = std::max(1, std::min(params_[0], Outgoing().Width()));
  hardEdge_ = params_[1] < 2;
}

bool TWipeBlindH::UpdateMask() {
  const int64_t p0 = band_, p1 = params_[1];
  const int64_t level = Scaled(p1 + 2 * p0 - 2);
  if (level == lastLevel_) return false;
  lastLevel_ = level;
  // One band's values, then the band repeated across the row.
  uint8_t* row = Mask().ScanLine(0);
  const int width = Mask().Width();
  for (int x = 0; x < std::min<int64_t>(p0, width); ++x) {
    const int64_t r = Reverse() ? p0 - 1 - x : x;
    row[x] = Value(level, 2 * r, p1);
  }
  for (int x = static_cast<int>(p0); x < width; ++x) row[x] = row[x - p0];
  return true;
}

void TWipeBlindV::Prepare() {
  TWipeMask::Prepare();
  band_ = std::max(1, std::min(params_[0], Outgoing().Height()));
  hardEdge_ = params_[1] < 2;
}

int TWipeBlindV::MaskHeight() const { return std::max(params_[0], 2); }

bool TWipeBlindV::UpdateMask() {
  const int64_t p0 = band_, p1 = params_[1];
  const int64_t level = Scaled(p1 + 2 * p0 - 2);
  if (level == lastLevel_) return false;
  lastLevel_ = level;
  for (int r = 0; r < Mask().Height(); ++r) FillRow(Mask(), r, Value(level, 2 * (Reverse() ? p0 - 1 - r : r), p1));
  return true;
}

// ---- Curtains

void TWipeCurtainH::SetParam(int index, int32_t value) { TWipeMask::SetParam(index, std::max(value, 1)); }

void TWipeCurtainH::Prepare() {
  TWipeMask::Prepare();
  band_ = std::max(1, std::min(params_[0], Outgoing().Width()));
  hardEdge_ = params_[1] < 2;
}

int64_t TWipeCurtainH::Offset(int p, int n) const {
  const int64_t x = Reverse() ? n - 1 - p : p;
  return (x / band_ + x % band_) * 16;
}

int64_t TWipeCurtainH::Level(int n) const {
  return Scaled((int64_t{CeilDiv(n, band_)} + band_ - 2) * 16 + params_[1]);
}

bool TWipeCurtainH::UpdateMask() {
  const int width = Mask().Width();
  const int64_t level = Level(width);
  if (level == lastLevel_) return false;
  lastLevel_ = level;
  uint8_t* row = Mask().ScanLine(0);
  for (int x = 0; x < width; ++x) row[x] = Value(level, Offset(x, width), params_[1]);
  return true;
}

void TWipeCurtainV::Prepare() {
  TWipeMask::Prepare();
  band_ = std::max(1, std::min(params_[0], Outgoing().Height()));
  hardEdge_ = params_[1] < 2;
}

bool TWipeCurtainV::UpdateMask() {
  const int height = Mask().Height();
  const int64_t level = Level(height);
  if (level == lastLevel_) return false;
  lastLevel_ = level;
  for (int y = 0; y < height; ++y) FillRow(Mask(), y, Value(level, Offset(y, height), params_[1]));
  return true;
}

// ---- Grids

void TWipeGrid::Prepare() {
  TWipeMask::Prepare();
  const int width = Outgoing().Width(), height = Outgoing().Height();
  cell_ = std::clamp(params_[0], 1, std::max({width, height, 1}));
  soft_ = std::max(params_[1], 1);
  columns_ = CeilDiv(width, cell_);
  rows_ = CeilDiv(height, cell_);
  // Only the cells that reach into the mask are drawn (kind 9 repeats a band of them downwards).
  cellRows_ = std::min(rows_, CeilDiv(Mask().Height(), cell_));
  keys_.resize(static_cast<size_t>(cellRows_) * static_cast<size_t>(columns_));
  for (int r = 0; r < cellRows_; ++r)
    for (int c = 0; c < columns_; ++c) keys_[static_cast<size_t>(r) * columns_ + c] = Key(r, c);
}

int32_t TWipeGrid::Key(int row, int column) const {
  if (Reverse()) row = rows_ - 1 - row, column = columns_ - 1 - column;
  return static_cast<int32_t>(std::lround(std::hypot(row, column)));
}

int32_t TWipeGrid::LastKey() const { return static_cast<int32_t>(std::lround(std::hypot(rows_ - 1, columns_ - 1))); }

bool TWipeGrid::UpdateMask() {
  const int64_t level = Scaled(int64_t{soft_} + 4 * int64_t{LastKey()});
  if (level == lastLevel_) return false;
  lastLevel_ = level;
  TDIBSurface& mask = Mask();
  std::memset(mask.Bits(), 0, mask.ImageSize());
  for (int r = 0; r < cellRows_; ++r)
    for (int c = 0; c < columns_; ++c) {
      const int64_t progress = level - 4 * int64_t{keys_[static_cast<size_t>(r) * columns_ + c]};
      if (progress <= 0) continue;
      const int64_t side = std::min<int64_t>(cell_, cell_ * progress / soft_);
      const auto value = static_cast<uint8_t>(std::min<int64_t>(255, progress * 255 / soft_));
      const int64_t inset = (cell_ - side) / 2;
      if (side > 0 && value > 0) FillSquare(mask, int64_t{c} * cell_ + inset, int64_t{r} * cell_ + inset, side, value);
    }
  return true;
}

int TWipeGridH::MaskHeight() const { return std::max(params_[0], 2); }

int32_t TWipeGridH::Key(int /*row*/, int column) const { return Reverse() ? columns_ - 1 - column : column; }

int32_t TWipeGridV::Key(int row, int /*column*/) const { return Reverse() ? rows_ - 1 - row : row; }

// ---- Dither

const std::vector<int32_t>& TWipeDither::VisitingOrder() {
  static const std::vector<int32_t> order = [] {
    TTpRandom random(12341);
    random.Reset(kTile * kTile);
    std::vector<int32_t> cells(kTile * kTile);
    for (int32_t& cell : cells) cell = random.Draw();
    return cells;
  }();
  return order;
}

void TWipeDither::Prepare() {
  TWipeMask::Prepare();
  hardEdge_ = true;
}

bool TWipeDither::UpdateMask() {
  const int64_t n = Scaled(kTile * kTile);
  if (n == lastLevel_) return false;
  lastLevel_ = n;
  uint8_t tile[kTile * kTile] = {};
  const std::vector<int32_t>& order = VisitingOrder();
  for (int64_t i = 0; i < n; ++i) tile[order[static_cast<size_t>(i)]] = 255;
  TDIBSurface& mask = Mask();
  const int width = mask.Width();
  for (int y = 0; y < mask.Height(); ++y) {
    uint8_t* row = mask.ScanLine(y);
    for (int x = 0; x < width; x += kTile)
      std::memcpy(row + x, tile + y * kTile, static_cast<size_t>(std::min(kTile, width - x)));
  }
  return true;
}

// ---- Circle

bool TWipeCircle::UpdateMask() {
  TDIBSurface& mask = Mask();
  const double cx = mask.Width() / 2.0, cy = mask.Height() / 2.0;
  const int64_t t = Scaled(Duration());
  const int64_t grown = Reverse() ? Duration() - t : t;
  const int64_t r = std::llround(std::hypot(cx, cy) * static_cast<double>(grown) / Duration());
  if (r == lastLevel_) return false;
  lastLevel_ = r;
  const uint8_t inside = Reverse() ? 0 : 255;
  std::memset(mask.Bits(), 255 - inside, mask.ImageSize());
  // A pixel belongs to the disc when its centre lies strictly inside the circle: radius 0 holds
  // no pixel, and the full radius every corner.
  const double r2 = static_cast<double>(r) * static_cast<double>(r);
  for (int y = 0; y < mask.Height(); ++y) {
    const double dy = y + 0.5 - cy;
    if (dy * dy >= r2) continue;
    const double half = std::sqrt(r2 - dy * dy);
    // x + 0.5 − cx lies strictly between −half and half.
    int left = static_cast<int>(std::floor(cx - half - 0.5)) + 1;
    int right = static_cast<int>(std::ceil(cx + half - 0.5));
    left = std::max(left, 0);
    right = std::min(right, mask.Width());
    if (left < right) std::memset(mask.ScanLine(y) + left, inside, static_cast<size_t>(right - left));
  }
  return true;
}

// ---- Blocks

void BlockWipe::Prepare() {
  TWipeMask::Prepare();
  const int width = Outgoing().Width(), height = Outgoing().Height();
  params_[0] = std::max(1, std::min({std::max(params_[0], 10), width, height}));
  const int size = params_[0];
  columns_ = CeilDiv(width, size);
  order_ = Order(columns_, CeilDiv(height, size));
  filled_ = 0;
}

void BlockWipe::FillBlock(int32_t index) {
  const int size = params_[0];
  FillSquare(Mask(), int64_t{index % columns_} * size, int64_t{index / columns_} * size, size, 255);
}

bool BlockWipe::UpdateMask() {
  const auto n = static_cast<size_t>(Scaled(static_cast<int64_t>(order_.size())));
  if (static_cast<int64_t>(n) == lastLevel_) return false;
  lastLevel_ = static_cast<int64_t>(n);
  if (n < filled_) {
    // Time ran backwards: start over.
    std::memset(Mask().Bits(), 0, Mask().ImageSize());
    filled_ = 0;
  }
  const bool fromEnd = Reverse() && Reversible();
  for (; filled_ < n; ++filled_) FillBlock(order_[fromEnd ? order_.size() - 1 - filled_ : filled_]);
  return true;
}

std::vector<int32_t> TWipeBlockCoil::Spiral(int columns, int rows) {
  std::vector<int32_t> order;
  order.reserve(static_cast<size_t>(columns) * static_cast<size_t>(rows));
  int top = 0, bottom = rows - 1, left = 0, right = columns - 1;
  auto add = [&](int r, int c) { order.push_back(r * columns + c); };
  while (top <= bottom && left <= right) {
    for (int c = left; c <= right; ++c) add(top, c);
    ++top;
    for (int r = top; r <= bottom; ++r) add(r, right);
    --right;
    if (top <= bottom) {
      for (int c = right; c >= left; --c) add(bottom, c);
      --bottom;
    }
    if (left <= right) {
      for (int r = bottom; r >= top; --r) add(r, left);
      ++left;
    }
  }
  return order;
}

std::vector<int32_t> TWipeBlockRandom::Order(int columns, int rows) {
  // Taking the element at a random index out of the remaining list, in the list's order, is
  // finding the k-th element still present: a Fenwick tree of presence counts does it in
  // O(log n) where erasing from the list would cost O(n).
  const int32_t count = columns * rows;
  std::vector<int32_t> tree(static_cast<size_t>(count) + 1, 0);
  for (int32_t i = 1; i <= count; ++i) {
    tree[static_cast<size_t>(i)] += 1;
    const int32_t parent = i + (i & -i);
    if (parent <= count) tree[static_cast<size_t>(parent)] += tree[static_cast<size_t>(i)];
  }
  int32_t top = 1;
  while (top * 2 <= count) top *= 2;
  std::vector<int32_t> order;
  order.reserve(static_cast<size_t>(count));
  for (int32_t remaining = count; remaining > 0; --remaining) {
    int32_t k = Random(remaining);  // 0-based rank among the blocks still listed
    int32_t at = 0;
    for (int32_t step = top; step > 0; step /= 2)
      if (at + step <= count && tree[static_cast<size_t>(at + step)] <= k) {
        at += step;
        k -= tree[static_cast<size_t>(at)];
      }
    // at + 1 is the wanted position (1-based); remove it.
    order.push_back(at);
    for (int32_t i = at + 1; i <= count; i += i & -i) tree[static_cast<size_t>(i)] -= 1;
  }
  return order;
}

}  // namespace orin
