#include "imaging/dib_surface.h"

#include <cmath>
#include <cstring>
#include <new>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/endian.h"
#include "core/error.h"
#include "core/text.h"
#include "imaging/pixel_kernels.h"

namespace orin {

namespace {

// The ordered-dither thresholds of the palette depths, indexed [y mod 4][x mod 4].
constexpr uint8_t kDither[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

int StorageOf(int depth) {
  switch (depth) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
      return depth;
    case 15:
      return 16;
    default:
      throw Error(Format("unsupported pixel depth %d", depth));
  }
}

}  // namespace

TDIBSurface& TDIBSurface::operator=(TDIBSurface&& other) noexcept {
  if (this == &other) return *this;
  Palette = other.Palette;
  std::memcpy(Masks, other.Masks, sizeof Masks);
  ClipRect = other.ClipRect;
  Alpha = std::move(other.Alpha);
  width_ = std::exchange(other.width_, 0);
  height_ = std::exchange(other.height_, 0);
  storageBits_ = std::exchange(other.storageBits_, 0);
  rowSize_ = std::exchange(other.rowSize_, 0);
  pixels_ = std::move(other.pixels_);
  return *this;
}

void TDIBSurface::SetSize(int width, int height, int depth, bool clear) {
  const int storage = StorageOf(depth);
  if (width < 0 || height < 0 || width > kMaxSide || height > kMaxSide ||
      int64_t{width} * height > kMaxPixels)
    throw Error(Format("a picture of %d x %d pixels is beyond the limit", width, height));
  const int rowSize = (width * storage + 31) / 32 * 4;
  const size_t bytes = static_cast<size_t>(rowSize) * static_cast<size_t>(height);
  // A picture of no pixels still gets a byte, so that its rows have an address and copies of
  // zero bytes from them are well defined.
  uint8_t* p = static_cast<uint8_t*>(clear ? std::calloc(bytes ? bytes : 1, 1) : std::malloc(bytes ? bytes : 1));
  if (!p) throw std::bad_alloc();
  if (bytes) {
    const size_t used = (static_cast<size_t>(width) * storage + 7) / 8;
    if (!clear && used < static_cast<size_t>(rowSize))
      for (int y = 0; y < height; ++y) std::memset(p + static_cast<size_t>(y) * rowSize + used, 0, rowSize - used);
  }
  pixels_.reset(p);
  width_ = width;
  height_ = height;
  storageBits_ = storage;
  rowSize_ = rowSize;
  if (depth == 15) {
    Masks[0] = 0x7C00, Masks[1] = 0x3E0, Masks[2] = 0x1F;
  } else if (depth == 16) {
    Masks[0] = 0xF800, Masks[1] = 0x7E0, Masks[2] = 0x1F;
  } else {
    Masks[0] = 0xFF0000, Masks[1] = 0xFF00, Masks[2] = 0xFF;
  }
  if (Alpha) Alpha->SetSize(width, height, 8);
}

uint32_t TDIBSurface::GetPixel(int x, int y) const {
  const uint8_t* row = ScanLine(y);
  switch (storageBits_) {
    case 1:
      return (row[x >> 3] >> (7 - (x & 7))) & 1u;
    case 4:
      return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xFu;
    case 8:
      return row[x];
    case 16:
      return LoadU16LE(row + 2 * x);
    case 24:
      return static_cast<uint32_t>(row[3 * x]) | static_cast<uint32_t>(row[3 * x + 1]) << 8 |
             static_cast<uint32_t>(row[3 * x + 2]) << 16;
    case 32:
      return LoadU32LE(row + 4 * x);
    default:
      return 0;
  }
}

void TDIBSurface::SetPixel(int x, int y, uint32_t value) {
  uint8_t* row = ScanLine(y);
  switch (storageBits_) {
    case 1: {
      const int shift = 7 - (x & 7);
      row[x >> 3] = static_cast<uint8_t>((row[x >> 3] & ~(1u << shift)) | ((value & 1u) << shift));
      break;
    }
    case 4: {
      const int shift = (x & 1) ? 0 : 4;
      row[x >> 1] = static_cast<uint8_t>((row[x >> 1] & ~(0xFu << shift)) | ((value & 0xFu) << shift));
      break;
    }
    case 8:
      row[x] = static_cast<uint8_t>(value);
      break;
    case 16:
      StoreU16LE(row + 2 * x, static_cast<uint16_t>(value));
      break;
    case 24:
      row[3 * x] = static_cast<uint8_t>(value);
      row[3 * x + 1] = static_cast<uint8_t>(value >> 8);
      row[3 * x + 2] = static_cast<uint8_t>(value >> 16);
      break;
    case 32:
      StoreU32LE(row + 4 * x, value);
      break;
    default:
      break;
  }
}

int TDIBSurface::NearestPaletteIndex(int red, int green, int blue) const {
  const int entries = storageBits_ >= 1 && storageBits_ <= 8 ? 1 << storageBits_ : 256;
  int best = 0;
  int bestDistance = 0x7FFFFFFF;
  for (int i = 0; i < entries; ++i) {
    const int dr = Palette[i].Red - red, dg = Palette[i].Green - green, db = Palette[i].Blue - blue;
    const int distance = dr * dr + dg * dg + db * db;
    if (distance < bestDistance) {
      bestDistance = distance;
      best = i;
      if (distance == 0) break;
    }
  }
  return best;
}

void TDIBSurface::SetGreyPalette() {
  for (int i = 0; i < 256; ++i) {
    const auto v = static_cast<uint8_t>(i);
    Palette[i] = PaletteEntry{v, v, v, 0};
  }
}

uint32_t TDIBSurface::ColorToPixel(int red, int green, int blue) const {
  const uint32_t r = static_cast<uint32_t>(red) & 0xFF, g = static_cast<uint32_t>(green) & 0xFF,
                 b = static_cast<uint32_t>(blue) & 0xFF;
  if (storageBits_ >= 1 && storageBits_ <= 8) return static_cast<uint32_t>(NearestPaletteIndex(int(r), int(g), int(b)));
  switch (BitCount()) {
    case 15:
      return ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
    case 16:
      return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
    default:
      return (r << 16) | (g << 8) | b;
  }
}

Rgb TDIBSurface::PixelToRGB(uint32_t value, bool fill) const {
  if (storageBits_ >= 1 && storageBits_ <= 8) {
    const PaletteEntry& e = Palette[value & 0xFF];
    return Rgb{e.Red, e.Green, e.Blue};
  }
  uint32_t r, g, b;
  switch (BitCount()) {
    case 15:
      r = (value & 0x7C00) >> 7, g = (value & 0x3E0) >> 2, b = (value << 3) & 0xFF;
      if (fill) {
        if (r) r |= 7;
        if (g) g |= 7;
        if (b) b |= 7;
      }
      break;
    case 16:
      r = (value & 0xF800) >> 8, g = (value & 0x7E0) >> 3, b = (value << 3) & 0xFF;
      if (fill) {
        if (r) r |= 7;
        if (g) g |= 3;
        if (b) b |= 7;
      }
      break;
    default:
      r = (value >> 16) & 0xFF, g = (value >> 8) & 0xFF, b = value & 0xFF;
      break;
  }
  return Rgb{static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b)};
}

void TDIBSurface::CheckSameDepth(const TDIBSurface& source) const {
  if (source.storageBits_ != storageBits_ || source.BitCount() != BitCount())
    throw Error(Format("cannot draw a %d-bit picture onto a %d-bit one", source.BitCount(), BitCount()));
}

bool TDIBSurface::ClipDraw(int& x, int& y, Rect& sourceRect, const TDIBSurface& source) const {
  int64_t l = sourceRect.Left, t = sourceRect.Top, r = sourceRect.Right, b = sourceRect.Bottom;
  int64_t dx = x, dy = y;
  if (l < 0) dx -= l, l = 0;
  if (t < 0) dy -= t, t = 0;
  r = std::min<int64_t>(r, source.width_);
  b = std::min<int64_t>(b, source.height_);
  if (r <= l || b <= t) return false;
  Rect clip = ClientRect();
  if (!ClipRect.IsEmpty() && !IntersectRect(clip, ClipRect, ClientRect())) return false;
  int64_t w = r - l, h = b - t;
  if (dx < clip.Left) l += clip.Left - dx, w -= clip.Left - dx, dx = clip.Left;
  if (dy < clip.Top) t += clip.Top - dy, h -= clip.Top - dy, dy = clip.Top;
  w = std::min<int64_t>(w, clip.Right - dx);
  h = std::min<int64_t>(h, clip.Bottom - dy);
  if (w <= 0 || h <= 0) return false;
  x = static_cast<int>(dx);
  y = static_cast<int>(dy);
  sourceRect = Rect{static_cast<int32_t>(l), static_cast<int32_t>(t), static_cast<int32_t>(l + w),
                    static_cast<int32_t>(t + h)};
  return true;
}

namespace {

// Drawing a surface onto itself reads pixels the same call has already written; such calls draw
// from a copy of the source rectangle instead.
struct SourceView {
  const TDIBSurface* surface;
  Rect rect;
  std::unique_ptr<TDIBSurface> copy;
};

SourceView Detach(const TDIBSurface& self, const TDIBSurface& source, const Rect& rect) {
  if (&self != &source) return SourceView{&source, rect, nullptr};
  auto copy = std::make_unique<TDIBSurface>();
  copy->AssignFrom(source);
  copy->Crop(rect);
  Rect r{0, 0, copy->Width(), copy->Height()};
  const TDIBSurface* p = copy.get();
  return SourceView{p, r, std::move(copy)};
}

}  // namespace

void TDIBSurface::CopyFrom(int x, int y, const Rect& sourceRect, const TDIBSurface& source) {
  CheckSameDepth(source);
  Rect r = sourceRect;
  if (!ClipDraw(x, y, r, source)) return;
  SourceView v = Detach(*this, source, r);
  const TDIBSurface& s = *v.surface;
  r = v.rect;
  const int w = r.Width(), h = r.Height();
  if (storageBits_ >= 8) {
    const int bpp = storageBits_ / 8;
    for (int j = 0; j < h; ++j)
      std::memcpy(ScanLine(y + j) + x * bpp, s.ScanLine(r.Top + j) + r.Left * bpp, static_cast<size_t>(w) * bpp);
    return;
  }
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i) SetPixel(x + i, y + j, s.GetPixel(r.Left + i, r.Top + j));
}

void TDIBSurface::DrawKeyed(int x, int y, int32_t key, const Rect& sourceRect, const TDIBSurface& source) {
  CheckSameDepth(source);
  Rect r = sourceRect;
  if (!ClipDraw(x, y, r, source)) return;
  SourceView v = Detach(*this, source, r);
  const TDIBSurface& s = *v.surface;
  r = v.rect;
  const int w = r.Width(), h = r.Height();
  for (int j = 0; j < h; ++j) {
    uint8_t* d = ScanLine(y + j);
    const uint8_t* sr = s.ScanLine(r.Top + j);
    switch (storageBits_) {
      case 32:
        pixel::KeyedRow32(d + 4 * x, sr + 4 * r.Left, w, static_cast<uint32_t>(key));
        break;
      case 24:
        pixel::KeyedRow24(d + 3 * x, sr + 3 * r.Left, w, key);
        break;
      case 16:
        for (int i = 0; i < w; ++i) {
          const uint16_t sv = LoadU16LE(sr + 2 * (r.Left + i));
          if (static_cast<int32_t>(sv) != key) StoreU16LE(d + 2 * (x + i), sv);
        }
        break;
      case 8:
        for (int i = 0; i < w; ++i)
          if (static_cast<int32_t>(sr[r.Left + i]) != key) d[x + i] = sr[r.Left + i];
        break;
      default:
        for (int i = 0; i < w; ++i) {
          const uint32_t sv = s.GetPixel(r.Left + i, r.Top + j);
          if (static_cast<int32_t>(sv) != key) SetPixel(x + i, y + j, sv);
        }
        break;
    }
  }
}

void TDIBSurface::DrawBlend(int x, int y, int opacity, int32_t key, const Rect& sourceRect, const TDIBSurface& source) {
  if (opacity == 0) return;
  CheckSameDepth(source);
  const bool palette = storageBits_ <= 8;
  const int level = opacity / 16;
  if (opacity < 0 || (palette ? level > 14 : opacity > 254)) {
    DrawKeyed(x, y, key, sourceRect, source);
    return;
  }
  Rect r = sourceRect;
  if (!ClipDraw(x, y, r, source)) return;
  SourceView v = Detach(*this, source, r);
  const TDIBSurface& s = *v.surface;
  r = v.rect;
  const int w = r.Width(), h = r.Height();
  const uint32_t a = static_cast<uint32_t>(opacity), ia = 255u - a;
  for (int j = 0; j < h; ++j) {
    uint8_t* d = ScanLine(y + j);
    const uint8_t* sr = s.ScanLine(r.Top + j);
    switch (storageBits_) {
      case 32:
        pixel::BlendRow32(d + 4 * x, sr + 4 * r.Left, w, opacity, static_cast<uint32_t>(key));
        break;
      case 24:
        pixel::BlendRow24(d + 3 * x, sr + 3 * r.Left, w, opacity, key);
        break;
      case 16:
        for (int i = 0; i < w; ++i) {
          const uint32_t sv = LoadU16LE(sr + 2 * (r.Left + i));
          if (static_cast<int32_t>(sv) == key) continue;
          const uint32_t dv = LoadU16LE(d + 2 * (x + i));
          uint32_t out = 0;
          for (uint32_t m : Masks) out |= m & ((ia * (dv & m) + a * (sv & m)) / 255);
          StoreU16LE(d + 2 * (x + i), static_cast<uint16_t>(out));
        }
        break;
      default: {
        const uint8_t* thresholds = kDither[(y + j) & 3];
        for (int i = 0; i < w; ++i) {
          if (thresholds[(x + i) & 3] > level) continue;
          const uint32_t sv = s.GetPixel(r.Left + i, r.Top + j);
          if (static_cast<int32_t>(sv) != key) SetPixel(x + i, y + j, sv);
        }
        break;
      }
    }
  }
}

void TDIBSurface::DrawAlpha(int x, int y, int opacity, const Rect& sourceRect, const TDIBSurface& source) {
  if (!source.Alpha) {
    DrawBlend(x, y, opacity, -1, sourceRect, source);
    return;
  }
  CheckSameDepth(source);
  Rect r = sourceRect;
  if (!ClipDraw(x, y, r, source)) return;
  SourceView v = Detach(*this, source, r);
  const TDIBSurface& s = *v.surface;
  r = v.rect;
  const int w = r.Width(), h = r.Height();
  for (int j = 0; j < h; ++j) {
    uint8_t* d = ScanLine(y + j);
    const uint8_t* sr = s.ScanLine(r.Top + j);
    const uint8_t* al = s.Alpha->ScanLine(r.Top + j) + r.Left;
    switch (storageBits_) {
      case 32:
        pixel::AlphaRow32(d + 4 * x, sr + 4 * r.Left, al, w);
        break;
      case 24: {
        uint8_t* dp = d + 3 * x;
        const uint8_t* sp = sr + 3 * r.Left;
        for (int i = 0; i < w; ++i, dp += 3, sp += 3) {
          int alpha = al[i];
          if (opacity >= 255) {
            if (alpha == 0) continue;
            if (alpha == 255) {
              std::memcpy(dp, sp, 3);
              continue;
            }
          } else {
            if (opacity * alpha < 256) continue;
            alpha = (opacity * alpha) >> 8;
          }
          for (int c = 0; c < 3; ++c) dp[c] = static_cast<uint8_t>((sp[c] * alpha + dp[c] * (255 - alpha)) >> 8);
        }
        break;
      }
      case 16:
        for (int i = 0; i < w; ++i) {
          const uint32_t alpha = al[i];
          if (alpha == 0) continue;
          const uint32_t sv = LoadU16LE(sr + 2 * (r.Left + i));
          if (alpha == 255) {
            StoreU16LE(d + 2 * (x + i), static_cast<uint16_t>(sv));
            continue;
          }
          const uint32_t dv = LoadU16LE(d + 2 * (x + i));
          uint32_t out = 0;
          for (uint32_t m : Masks) out |= m & (((dv & m) * (255 - alpha) + (sv & m) * alpha) >> 8);
          StoreU16LE(d + 2 * (x + i), static_cast<uint16_t>(out));
        }
        break;
      default:
        for (int i = 0; i < w; ++i)
          if (al[i] >= 128) SetPixel(x + i, y + j, s.GetPixel(r.Left + i, r.Top + j));
        break;
    }
  }
}

void TDIBSurface::FillRect(const Rect& rect, uint32_t value) {
  Rect r;
  if (!IntersectRect(r, rect, ClientRect())) return;
  const int w = r.Width();
  uint8_t* first = ScanLine(r.Top);
  switch (storageBits_) {
    case 32:
      for (int i = 0; i < w; ++i) StoreU32LE(first + 4 * (r.Left + i), value);
      break;
    case 24:
      for (int i = 0; i < w; ++i) {
        uint8_t* p = first + 3 * (r.Left + i);
        p[0] = static_cast<uint8_t>(value), p[1] = static_cast<uint8_t>(value >> 8), p[2] = static_cast<uint8_t>(value >> 16);
      }
      break;
    case 16:
      for (int i = 0; i < w; ++i) StoreU16LE(first + 2 * (r.Left + i), static_cast<uint16_t>(value));
      break;
    case 8:
      std::memset(first + r.Left, static_cast<int>(value & 0xFF), static_cast<size_t>(w));
      break;
    default:
      for (int j = r.Top; j < r.Bottom; ++j)
        for (int i = r.Left; i < r.Right; ++i) SetPixel(i, j, value);
      return;
  }
  const int bpp = storageBits_ / 8;
  for (int j = r.Top + 1; j < r.Bottom; ++j)
    std::memcpy(ScanLine(j) + r.Left * bpp, first + r.Left * bpp, static_cast<size_t>(w) * bpp);
}

void TDIBSurface::CreateAlpha() {
  if (!Alpha) {
    Alpha = std::make_unique<TDIBSurface>(width_, height_, 8);
    Alpha->SetGreyPalette();
  } else if (Alpha->width_ != width_ || Alpha->height_ != height_ || Alpha->storageBits_ != 8) {
    Alpha->SetSize(width_, height_, 8);
  }
}

void TDIBSurface::CopyAlpha(const TDIBSurface& source) {
  if (source.storageBits_ != 8 || source.width_ != width_ || source.height_ != height_)
    throw Error(Format("an alpha plane of %d x %d pixels does not fit a picture of %d x %d", source.width_,
                       source.height_, width_, height_));
  CreateAlpha();
  if (ImageSize()) std::memcpy(Alpha->Bits(), source.Bits(), source.ImageSize());
}

void TDIBSurface::FillAlpha() {
  // A surface of no pixels has no rows to write (and may have no memory at all).
  if (!Alpha || Empty()) return;
  for (int y = 0; y < height_; ++y) std::memset(Alpha->ScanLine(y), 0xFF, static_cast<size_t>(width_));
}

Rect TDIBSurface::OpaqueBounds(int32_t key) const {
  if (key == -1) return ClientRect();
  const uint32_t k = static_cast<uint32_t>(key);
  int top = -1, bottom = -1, left = width_, right = -1;
  for (int y = 0; y < height_; ++y) {
    const uint8_t* row = ScanLine(y);
    int first = -1, last = -1;
    switch (storageBits_) {
      case 8:
        for (int x = 0; x < width_; ++x)
          if (row[x] != k) {
            first = x;
            break;
          }
        if (first >= 0)
          for (int x = width_ - 1; x >= first; --x)
            if (row[x] != k) {
              last = x;
              break;
            }
        break;
      case 32:
        for (int x = 0; x < width_; ++x)
          if (LoadU32LE(row + 4 * x) != k) {
            first = x;
            break;
          }
        if (first >= 0)
          for (int x = width_ - 1; x >= first; --x)
            if (LoadU32LE(row + 4 * x) != k) {
              last = x;
              break;
            }
        break;
      default:
        for (int x = 0; x < width_; ++x)
          if (GetPixel(x, y) != k) {
            first = x;
            break;
          }
        if (first >= 0)
          for (int x = width_ - 1; x >= first; --x)
            if (GetPixel(x, y) != k) {
              last = x;
              break;
            }
        break;
    }
    if (first < 0) continue;
    if (top < 0) top = y;
    bottom = y;
    left = std::min(left, first);
    right = std::max(right, last);
  }
  if (top < 0) return Rect{};
  return Rect{left, top, right + 1, bottom + 1};
}

void TDIBSurface::TrimTo(int32_t key) {
  Rect bounds = OpaqueBounds(key);
  if (bounds == ClientRect()) return;
  if (bounds.IsEmpty()) bounds = Rect{0, 0, 1, 1};
  Crop(bounds);
}

void TDIBSurface::Crop(const Rect& rect) {
  if (storageBits_ == 0) return;
  Rect r;
  IntersectRect(r, rect, ClientRect());
  TDIBSurface n;
  n.SetSize(r.Width(), r.Height(), BitCount());
  n.CopyFrom(0, 0, r, *this);
  pixels_ = std::move(n.pixels_);
  width_ = n.width_;
  height_ = n.height_;
  rowSize_ = n.rowSize_;
  if (Alpha) Alpha->Crop(rect);
}

void TDIBSurface::AssignFrom(const TDIBSurface& other) {
  if (&other == this) return;
  if (other.storageBits_ == 0) {
    pixels_.reset();
    width_ = height_ = storageBits_ = rowSize_ = 0;
  } else {
    DropAlpha();
    SetSize(other.width_, other.height_, other.BitCount());
    if (other.ImageSize()) std::memcpy(Bits(), other.Bits(), other.ImageSize());
  }
  std::memcpy(Masks, other.Masks, sizeof Masks);
  Palette = other.Palette;
  if (other.Alpha) {
    Alpha = std::make_unique<TDIBSurface>();
    Alpha->AssignFrom(*other.Alpha);
  } else {
    DropAlpha();
  }
}

void TDIBSurface::SwapPixels(TDIBSurface& other) {
  if (other.width_ != width_ || other.height_ != height_ || other.storageBits_ != storageBits_)
    throw Error("cannot exchange the pixels of pictures of different sizes");
  std::swap(pixels_, other.pixels_);
}

void TDIBSurface::Resize(int width, int height, int32_t key, bool smooth) {
  if (width == width_ && height == height_) return;
  if (Alpha) Alpha->Resize(width, height, -1, smooth);
  const int oldW = width_, oldH = height_;
  const int depth = BitCount();
  if (depth == 0) return;

  if (!smooth) {
    TDIBSurface n;
    n.SetSize(width, height, depth);
    if (oldW > 0 && oldH > 0) {
      std::vector<int> columns(static_cast<size_t>(width));
      for (int x = 0; x < width; ++x) columns[x] = static_cast<int>(int64_t{x} * oldW / width);
      const int bpp = storageBits_ / 8;
      for (int y = 0; y < height; ++y) {
        const int sy = static_cast<int>(int64_t{y} * oldH / height);
        if (bpp == 0) {
          for (int x = 0; x < width; ++x) n.SetPixel(x, y, GetPixel(columns[x], sy));
          continue;
        }
        const uint8_t* src = ScanLine(sy);
        uint8_t* dst = n.ScanLine(y);
        for (int x = 0; x < width; ++x) std::memcpy(dst + x * bpp, src + columns[x] * bpp, static_cast<size_t>(bpp));
      }
    }
    pixels_ = std::move(n.pixels_);
    width_ = n.width_, height_ = n.height_, rowSize_ = n.rowSize_;
    return;
  }

  // The old picture as 24-bit channels; 15/16-bit channels are filled.
  std::vector<Rgb> old(static_cast<size_t>(oldW) * static_cast<size_t>(oldH));
  for (int y = 0; y < oldH; ++y)
    for (int x = 0; x < oldW; ++x) old[static_cast<size_t>(y) * oldW + x] = PixelToRGB(GetPixel(x, y), true);
  auto at = [&](int x, int y) -> const Rgb& {
    x = std::clamp(x, 0, oldW - 1);
    y = std::clamp(y, 0, oldH - 1);
    return old[static_cast<size_t>(y) * oldW + x];
  };

  TDIBSurface n;
  n.SetSize(width, height, 24);
  // The scale factors and positions are evaluated in 80-bit precision where the platform has it,
  // as the original Windows player's floating-point code does; a double would round some
  // positions onto the next whole pixel.
  using Real = long double;
  if (oldW > 0 && oldH > 0 && width > 0 && height > 0) {
    const Real fx = Real(width) / Real(oldW), fy = Real(height) / Real(oldH);
    if (oldW < width || oldH < height) {
      for (int y = 0; y < height; ++y) {
        const Real sy = Real(y) / fy;
        const int iy = static_cast<int>(sy);
        const Real wy = sy - Real(iy);
        for (int x = 0; x < width; ++x) {
          const Real sx = Real(x) / fx;
          const int ix = static_cast<int>(sx);
          const Real wx = sx - Real(ix);
          const Rgb& p00 = at(ix, iy);
          const Rgb& p10 = at(ix + 1, iy);
          const Rgb& p01 = at(ix, iy + 1);
          const Rgb& p11 = at(ix + 1, iy + 1);
          auto mix = [&](uint8_t Rgb::*c) {
            const Real v = Real(p00.*c) * (1 - wx) * (1 - wy) + Real(p10.*c) * wx * (1 - wy) +
                           Real(p01.*c) * (1 - wx) * wy + Real(p11.*c) * wx * wy;
            return static_cast<uint32_t>(std::clamp<long long>(std::llrint(v), 0, 255));
          };
          n.SetPixel(x, y, mix(&Rgb::Red) << 16 | mix(&Rgb::Green) << 8 | mix(&Rgb::Blue));
        }
      }
    } else {
      const uint32_t k = static_cast<uint32_t>(key);
      for (int y = 0; y < height; ++y) {
        const int y0 = std::min(static_cast<int>(Real(y) / fy), oldH - 1);
        const int y1 = std::min(static_cast<int>(Real(y + 1) / fy) - 1, oldH - 1);
        for (int x = 0; x < width; ++x) {
          const int x0 = std::min(static_cast<int>(Real(x) / fx), oldW - 1);
          const int x1 = std::min(static_cast<int>(Real(x + 1) / fx) - 1, oldW - 1);
          uint64_t sr = 0, sg = 0, sb = 0, count = 0;
          for (int yy = y0; yy <= y1; ++yy)
            for (int xx = x0; xx <= x1; ++xx) {
              const Rgb& p = at(xx, yy);
              const uint32_t value = uint32_t{p.Red} << 16 | uint32_t{p.Green} << 8 | p.Blue;
              if (value == k) continue;
              sr += p.Red, sg += p.Green, sb += p.Blue, ++count;
            }
          if (count == 0) {
            n.SetPixel(x, y, k);
            continue;
          }
          auto mean = [&](uint64_t sum) {
            return static_cast<uint32_t>(std::llrint(Real(sum) / Real(count)));
          };
          n.SetPixel(x, y, mean(sr) << 16 | mean(sg) << 8 | mean(sb));
        }
      }
    }
  }

  if (depth == 24 || depth == 32) {
    pixels_ = std::move(n.pixels_);
    width_ = n.width_, height_ = n.height_, rowSize_ = n.rowSize_, storageBits_ = 24;
    Masks[0] = 0xFF0000, Masks[1] = 0xFF00, Masks[2] = 0xFF;
    return;
  }
  TDIBSurface back;
  back.SetSize(width, height, depth);
  back.Palette = Palette;
  std::unordered_map<uint32_t, uint32_t> nearest;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const uint32_t c = n.GetPixel(x, y);
      uint32_t value;
      if (depth <= 8) {
        auto it = nearest.find(c);
        if (it == nearest.end())
          it = nearest.emplace(c, back.ColorToPixel(int(c >> 16 & 0xFF), int(c >> 8 & 0xFF), int(c & 0xFF))).first;
        value = it->second;
      } else {
        value = back.ColorToPixel(int(c >> 16 & 0xFF), int(c >> 8 & 0xFF), int(c & 0xFF));
      }
      back.SetPixel(x, y, value);
    }
  pixels_ = std::move(back.pixels_);
  width_ = back.width_, height_ = back.height_, rowSize_ = back.rowSize_;
}

}  // namespace orin
