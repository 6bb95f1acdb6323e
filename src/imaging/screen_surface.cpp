#include "imaging/screen_surface.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <numbers>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "core/error.h"
#include "core/text.h"
#include "imaging/compositor_kernels.h"
#include "imaging/pixel_kernels.h"
#include "imaging/row_team.h"

namespace orin {

namespace {

// Cuts a rectangle given by 64-bit edges to clip; false when nothing is left.
bool Cut(int64_t& l, int64_t& t, int64_t& r, int64_t& b, const Rect& clip) {
  l = std::max<int64_t>(l, clip.Left);
  t = std::max<int64_t>(t, clip.Top);
  r = std::min<int64_t>(r, clip.Right);
  b = std::min<int64_t>(b, clip.Bottom);
  return l < r && t < b;
}

Rect ToRect(int64_t l, int64_t t, int64_t r, int64_t b) {
  return Rect{static_cast<int32_t>(l), static_cast<int32_t>(t), static_cast<int32_t>(r), static_cast<int32_t>(b)};
}

// The source rectangle cut to the source surface.
bool CutSource(Rect& r, const TDIBSurface& source) { return IntersectRect(r, r, source.ClientRect()); }

// One row of a scaled or mirrored 32-bit draw: the source pixels (and mask bytes, when mrow is
// not null) at the given columns (below). wholeDwords: the mask's rows start on dword
// boundaries and span whole dwords.
void GatherColumns32(const uint8_t* srow, const uint8_t* mrow, bool wholeDwords, const int* columns, int count,
                     uint32_t* out, uint8_t* weights);

uint16_t* Row16(uint8_t* p) { return reinterpret_cast<uint16_t*>(p); }
const uint16_t* Row16(const uint8_t* p) { return reinterpret_cast<const uint16_t*>(p); }

}  // namespace

Rect UnionRect(const Rect& a, const Rect& b) {
  if (a.IsEmpty()) return b.IsEmpty() ? Rect{} : b;
  if (b.IsEmpty()) return a;
  return Rect{std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
              std::max(a.Bottom, b.Bottom)};
}

template <class Rows>
void ScreenSurface::ForRows(int64_t t, int64_t b, int64_t width, Rows&& rows) {
  if (!team_ || team_->Parts() < 2 || (b - t) * width < kShareFrom) {
    rows(FirstScratch(), t, b);
    return;
  }
  if (scratch_.size() < static_cast<size_t>(team_->Parts())) scratch_.resize(static_cast<size_t>(team_->Parts()));
  team_->Run(static_cast<int>(t), static_cast<int>(b),
             [&](int part, int begin, int end) { rows(scratch_[static_cast<size_t>(part)], begin, end); });
}

void ScreenSurface::SetSize(int width, int height, int depth) {
  if (depth != 15 && depth != 16 && depth != 32)
    throw Error(Format("screen surfaces have 15, 16 or 32 bits per pixel, not %d", depth));
  picture_.SetSize(width, height, depth);
  clips_.clear();
  changed_ = Rect{};
}

uint32_t ScreenSurface::ColorToPixel(int32_t color) const {
  const int red = color & 0xFF, green = (color >> 8) & 0xFF, blue = (color >> 16) & 0xFF;
  return picture_.ColorToPixel(red, green, blue);
}

void ScreenSurface::AddChanged(const Rect& r) {
  Rect cut;
  if (IntersectRect(cut, r, Bounds())) changed_ = UnionRect(changed_, cut);
}

void ScreenSurface::PushClip(const Rect& r) {
  Rect cut;
  IntersectRect(cut, r, Clip());
  clips_.push_back(cut);
}

void ScreenSurface::PopClip() {
  if (!clips_.empty()) clips_.pop_back();
}

void ScreenSurface::Fill(const Rect& r, uint32_t pixel) {
  Rect area;
  if (!IntersectRect(area, r, Clip())) return;
  const int w = area.Width();
  ForRows(area.Top, area.Bottom, w, [&](Scratch&, int64_t top, int64_t bottom) {
    for (int64_t y = top; y < bottom; ++y) {
      uint8_t* row = ScanLine(static_cast<int>(y));
      if (picture_.StorageBits() == 32) {
        for (int i = 0; i < w; ++i) std::memcpy(row + 4 * (area.Left + i), &pixel, 4);
      } else {
        std::fill_n(Row16(row) + area.Left, w, static_cast<uint16_t>(pixel));
      }
    }
  });
  AddChanged(area);
}

void ScreenSurface::AddGrey(const Rect& r, int level) {
  ShiftGrey(r, level, compose::AddGreyRow32, compose::AddGreyRow16);
}

void ScreenSurface::SubtractGrey(const Rect& r, int level) {
  ShiftGrey(r, level, compose::SubGreyRow32, compose::SubGreyRow16);
}

void ScreenSurface::ShiftGrey(const Rect& r, int level, void (*row32)(uint8_t*, int, int),
                              void (*row16)(uint16_t*, int, uint16_t, const uint32_t*)) {
  Rect area;
  if (level <= 0 || !IntersectRect(area, r, Clip())) return;
  level = std::min(level, 255);
  const uint16_t grey = static_cast<uint16_t>(picture_.ColorToPixel(level, level, level));
  for (int y = area.Top; y < area.Bottom; ++y) {
    uint8_t* row = ScanLine(y);
    if (picture_.StorageBits() == 32)
      row32(row + 4 * area.Left, area.Width(), level);
    else
      row16(Row16(row) + area.Left, area.Width(), grey, Masks());
  }
  AddChanged(area);
}

void ScreenSurface::CheckSource(const TDIBSurface& source, const TDIBSurface* mask) const {
  if (source.StorageBits() != picture_.StorageBits() || source.BitCount() != picture_.BitCount())
    throw Error(Format("cannot draw a %d-bit picture onto a %d-bit screen", source.BitCount(), Depth()));
  if (mask && (mask->StorageBits() != 8 || mask->Width() != source.Width() || mask->Height() != source.Height()))
    throw Error("a drawing mask must be an 8-bit plane of the picture's size");
}

void ScreenSurface::Copy(int x, int y, const TDIBSurface& source, const Rect& sourceRect) {
  CheckSource(source, nullptr);
  Rect src = sourceRect;
  if (!CutSource(src, source)) return;
  int64_t l = int64_t{x} + (src.Left - sourceRect.Left), t = int64_t{y} + (src.Top - sourceRect.Top);
  int64_t r = l + src.Width(), b = t + src.Height();
  const int64_t l0 = l, t0 = t;
  if (!Cut(l, t, r, b, Clip())) return;
  const int bpp = picture_.StorageBits() / 8;
  const int sx = src.Left + static_cast<int>(l - l0), sy = src.Top + static_cast<int>(t - t0);
  const size_t bytes = static_cast<size_t>(r - l) * bpp;
  const int h = static_cast<int>(b - t);
  // A copy within one surface may overlap itself: rows go in the order that reads each source
  // row before it is overwritten, and memmove handles the overlap inside a row.
  if (&source == &picture_) {
    const bool upwards = t > sy;
    for (int j = 0; j < h; ++j) {
      const int row = upwards ? h - 1 - j : j;
      std::memmove(ScanLine(static_cast<int>(t) + row) + l * bpp, source.ScanLine(sy + row) + sx * bpp, bytes);
    }
  } else {
    ForRows(t, b, r - l, [&](Scratch&, int64_t first, int64_t end) {
      for (int64_t row = first; row < end; ++row)
        std::memcpy(ScanLine(static_cast<int>(row)) + l * bpp, source.ScanLine(static_cast<int>(sy + (row - t))) + sx * bpp,
                    bytes);
    });
  }
  AddChanged(ToRect(l, t, r, b));
}

uint8_t* ScreenSurface::RowBuffer(Scratch& scratch, int count) {
  if (picture_.StorageBits() == 32) {
    scratch.pixels.resize(static_cast<size_t>(count));
    return reinterpret_cast<uint8_t*>(scratch.pixels.data());
  }
  scratch.pixels16.resize(static_cast<size_t>(count));
  return reinterpret_cast<uint8_t*>(scratch.pixels16.data());
}

void ScreenSurface::ApplyRow(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int count, const DrawOptions& o) {
  const int a = o.Opacity;
  if (picture_.StorageBits() == 32) {
    if (mask) {
      if (a >= 256)
        compose::AddMaskRow32(dst, src, mask, count, a - 256);
      else if (a == 255)
        pixel::AlphaRow32(dst, src, mask, count);
      else
        compose::MaskOpacityRow32(dst, src, mask, count, a);
    } else {
      const auto key = static_cast<uint32_t>(o.Key);
      if (a >= 256)
        compose::AddRow32(dst, src, count, a - 256, key);
      else if (a == 255)
        pixel::KeyedRow32(dst, src, count, key);
      else
        pixel::BlendRow32(dst, src, count, a, key);
    }
    return;
  }
  uint16_t* d = Row16(dst);
  const uint16_t* s = Row16(src);
  if (a >= 256)
    compose::AddRow16(d, s, mask, count, a - 256, o.Key, Masks());
  else if (mask)
    compose::MaskRow16(d, s, mask, count, a, Masks());
  else
    compose::BlendRow16(d, s, count, a, o.Key, Masks());
}

void ScreenSurface::Draw(int x, int y, const TDIBSurface& source, const Rect& sourceRect, const TDIBSurface* mask,
                         const DrawOptions& options) {
  Rect src = sourceRect;
  if (!CutSource(src, source)) return;
  const int64_t l = int64_t{x} + (src.Left - sourceRect.Left), t = int64_t{y} + (src.Top - sourceRect.Top);
  if (l < INT32_MIN || t < INT32_MIN || l + src.Width() > INT32_MAX || t + src.Height() > INT32_MAX) return;
  DrawMapped(ToRect(l, t, l + src.Width(), t + src.Height()), source, src, mask, options);
}

void ScreenSurface::DrawScaled(const Rect& dest, const TDIBSurface& source, const Rect& sourceRect,
                               const TDIBSurface* mask, const DrawOptions& options) {
  // A scaled draw keeps the whole source rectangle's proportions, so a source rectangle that
  // runs off the source is not shortened (that would stretch the rest); it is refused instead.
  Rect src;
  if (!IntersectRect(src, sourceRect, source.ClientRect()) || src != sourceRect) return;
  DrawMapped(dest, source, src, mask, options);
}

void ScreenSurface::DrawMapped(const Rect& dest, const TDIBSurface& source, const Rect& src, const TDIBSurface* mask,
                               const DrawOptions& options) {
  if (options.Opacity <= 0 || dest.IsEmpty() || src.IsEmpty()) return;
  CheckSource(source, mask);
  int64_t l = dest.Left, t = dest.Top, r = dest.Right, b = dest.Bottom;
  if (!Cut(l, t, r, b, Clip())) return;
  // Drawing a surface onto itself works from a copy of what it reads.
  std::unique_ptr<TDIBSurface> copy;
  const TDIBSurface* from = &source;
  if (&source == &picture_) {
    copy = std::make_unique<TDIBSurface>();
    copy->AssignFrom(source);
    from = copy.get();
  }
  const int64_t dw = dest.Width(), dh = dest.Height(), sw = src.Width(), sh = src.Height();
  const bool scaled = dw != sw || dh != sh;
  const int bpp = picture_.StorageBits() / 8;
  const int count = static_cast<int>(r - l);
  const bool direct = !scaled && !options.FlipX;
  if (!direct) {
    columns_.resize(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
      const int64_t k = (l - dest.Left) + i;
      const int64_t c = ((2 * k + 1) * sw) / (2 * dw);
      columns_[i] = static_cast<int>(options.FlipX ? src.Right - 1 - c : src.Left + c);
    }
  }
  const bool maskDwords =
      mask && mask->RowStep() % 4 == 0 && reinterpret_cast<uintptr_t>(mask->Bits()) % 4 == 0;
  ForRows(t, b, count, [&](Scratch& scratch, int64_t top, int64_t bottom) {
    uint8_t* gathered = direct ? nullptr : RowBuffer(scratch, count);
    if (!direct && mask) scratch.mask.resize(static_cast<size_t>(count));
    for (int64_t y = top; y < bottom; ++y) {
      const int64_t k = y - dest.Top;
      const int64_t c = scaled ? ((2 * k + 1) * sh) / (2 * dh) : k;
      const int sy = static_cast<int>(options.FlipY ? src.Bottom - 1 - c : src.Top + c);
      const uint8_t* srow = from->ScanLine(sy);
      const uint8_t* mrow = mask ? mask->ScanLine(sy) : nullptr;
      uint8_t* drow = ScanLine(static_cast<int>(y)) + l * bpp;
      if (direct) {
        const int64_t sx = src.Left + (l - dest.Left);
        ApplyRow(drow, srow + sx * bpp, mrow ? mrow + sx : nullptr, count, options);
        continue;
      }
      if (bpp == 4) {
        GatherColumns32(srow, mrow, maskDwords, columns_.data(), count, reinterpret_cast<uint32_t*>(gathered),
                        scratch.mask.data());
      } else {
        for (int i = 0; i < count; ++i) std::memcpy(gathered + 2 * i, srow + 2 * columns_[i], 2);
        if (mrow)
          for (int i = 0; i < count; ++i) scratch.mask[i] = mrow[columns_[i]];
      }
      ApplyRow(drow, gathered, mrow ? scratch.mask.data() : nullptr, count, options);
    }
  });
  AddChanged(ToRect(l, t, r, b));
}

void ScreenSurface::FillMasked(int x, int y, uint32_t pixel, const TDIBSurface& mask, const Rect& maskRect,
                               int opacity) {
  if (opacity <= 0) return;
  if (mask.StorageBits() != 8) throw Error("a drawing mask must be an 8-bit plane");
  Rect m = maskRect;
  if (!CutSource(m, mask)) return;
  int64_t l = int64_t{x} + (m.Left - maskRect.Left), t = int64_t{y} + (m.Top - maskRect.Top);
  int64_t r = l + m.Width(), b = t + m.Height();
  const int64_t l0 = l, t0 = t;
  if (!Cut(l, t, r, b, Clip())) return;
  const int count = static_cast<int>(r - l);
  for (int64_t row = t; row < b; ++row) {
    const uint8_t* mrow = mask.ScanLine(static_cast<int>(m.Top + (row - t0))) + m.Left + (l - l0);
    uint8_t* drow = ScanLine(static_cast<int>(row));
    if (picture_.StorageBits() == 32)
      compose::FillMaskRow32(drow + 4 * l, mrow, count, pixel, opacity);
    else
      compose::FillMaskRow16(Row16(drow) + l, mrow, count, static_cast<uint16_t>(pixel), opacity, Masks());
  }
  AddChanged(ToRect(l, t, r, b));
}

// The geometry of a rotated draw in floating point: the mirrored origin and the turn.
struct RotatedTurn {
  double ox, oy, zx, zy, cosA, sinA;

  RotatedTurn(const RotatedDraw& g, int width, int height, bool flipX, bool flipY) {
    ox = flipX ? width - g.OriginX - 1 : g.OriginX;
    oy = flipY ? height - g.OriginY - 1 : g.OriginY;
    zx = std::max(g.ZoomX, 1) / 256.0;
    zy = std::max(g.ZoomY, 1) / 256.0;
    const int angle = g.Angle & 0xFF;
    // Quarter turns are exact, so that they never pick a neighbouring pixel.
    static constexpr double kCos[4] = {1, 0, -1, 0}, kSin[4] = {0, 1, 0, -1};
    if (angle % 64 == 0) {
      cosA = kCos[angle / 64];
      sinA = kSin[angle / 64];
    } else {
      const double phi = angle * (2 * std::numbers::pi / 256);
      cosA = std::cos(phi);
      sinA = std::sin(phi);
    }
  }
};

namespace {

int64_t FloorDiv(int64_t a, int64_t b) {
  const int64_t q = a / b;
  return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

// Narrows [first, last] to the i with 0 ≤ start + i·d < span; false when none is left.
bool RunInside(int64_t start, int64_t d, int64_t span, int& first, int& last) {
  int64_t lo = first, hi = last;
  if (d == 0) {
    if (start < 0 || start >= span) return false;
  } else if (d > 0) {
    lo = std::max(lo, -FloorDiv(start, d));            // i·d ≥ −start
    hi = std::min(hi, FloorDiv(span - 1 - start, d));  // i·d ≤ span − 1 − start
  } else {
    hi = std::min(hi, FloorDiv(start, -d));             // i·(−d) ≤ start
    lo = std::max(lo, FloorDiv(start - span, -d) + 1);  // i·(−d) > start − span
  }
  if (lo > hi) return false;
  first = static_cast<int>(lo);
  last = static_cast<int>(hi);
  return true;
}

#if defined(__x86_64__)
// Eight source positions of a turned row at a time: two vectors of four 32.32 values each for
// u and v, whose whole parts (the high dwords) make one vector of eight. Offsets fit 32 bits:
// pictures hold under 2^26 pixels.
struct TurnedSteps {
  __attribute__((target("avx2"))) TurnedSteps(int64_t u, int64_t v, int64_t dU, int64_t dV)
      : u0(_mm256_set_epi64x(u + 3 * dU, u + 2 * dU, u + dU, u)),
        v0(_mm256_set_epi64x(v + 3 * dV, v + 2 * dV, v + dV, v)),
        u1(_mm256_add_epi64(u0, _mm256_set1_epi64x(4 * dU))),
        v1(_mm256_add_epi64(v0, _mm256_set1_epi64x(4 * dV))),
        du8(_mm256_set1_epi64x(8 * dU)),
        dv8(_mm256_set1_epi64x(8 * dV)),
        high(_mm256_set_epi32(7, 5, 3, 1, 7, 5, 3, 1)) {}
  __attribute__((target("avx2"))) __m256i Columns() const { return Whole(u0, u1); }
  __attribute__((target("avx2"))) __m256i Rows() const { return Whole(v0, v1); }
  __attribute__((target("avx2"))) void Next() {
    u0 = _mm256_add_epi64(u0, du8);
    u1 = _mm256_add_epi64(u1, du8);
    v0 = _mm256_add_epi64(v0, dv8);
    v1 = _mm256_add_epi64(v1, dv8);
  }

 private:
  __attribute__((target("avx2"))) __m256i Whole(__m256i a, __m256i b) const {
    return _mm256_permute2x128_si256(_mm256_permutevar8x32_epi32(a, high), _mm256_permutevar8x32_epi32(b, high), 0x20);
  }
  __m256i u0, v0, u1, v1, du8, dv8, high;
};

// Eight weights, one in the low byte of each dword of w, as eight bytes at to.
__attribute__((target("avx2"))) inline void StoreWeights(__m256i w, uint8_t* to) {
  w = _mm256_packus_epi32(w, w);
  w = _mm256_packus_epi16(w, w);
  const int lo = _mm256_extract_epi32(w, 0), hi = _mm256_extract_epi32(w, 4);
  std::memcpy(to, &lo, 4);
  std::memcpy(to + 4, &hi, 4);
}

// The turned source run gathered eight pixels at a time: colours and weights exactly as the
// scalar loop of DrawRotatedRows32 makes them. A mask byte is read through the aligned dword
// that holds it, which lies inside the plane because rows are whole dwords. Returns how many
// pixels it did (a multiple of eight); the caller finishes the rest.
__attribute__((target("avx2"))) int GatherTurnedAvx2(const uint8_t* bits, ptrdiff_t step, const uint8_t* maskBits,
                                                     ptrdiff_t maskStep, uint32_t key, int64_t u, int64_t v, int64_t dU,
                                                     int64_t dV, int n, uint32_t* out, uint8_t* weights) {
  TurnedSteps steps(u, v, dU, dV);
  const __m256i rowPixels = _mm256_set1_epi32(static_cast<int>(step / 4)),
                maskRow = _mm256_set1_epi32(static_cast<int>(maskStep));
  const __m256i three = _mm256_set1_epi32(3), full = _mm256_set1_epi32(255);
  const __m256i keyV = _mm256_set1_epi32(static_cast<int>(key));
  const int* pixels = reinterpret_cast<const int*>(bits);
  const int* plane = reinterpret_cast<const int*>(maskBits);
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m256i sx = steps.Columns(), sy = steps.Rows();
    const __m256i colour = _mm256_i32gather_epi32(pixels, _mm256_add_epi32(_mm256_mullo_epi32(sy, rowPixels), sx), 4);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), colour);
    __m256i w;
    if (maskBits) {
      const __m256i at = _mm256_add_epi32(_mm256_mullo_epi32(sy, maskRow), sx);
      const __m256i dwords = _mm256_i32gather_epi32(plane, _mm256_srli_epi32(at, 2), 4);
      w = _mm256_and_si256(_mm256_srlv_epi32(dwords, _mm256_slli_epi32(_mm256_and_si256(at, three), 3)), full);
    } else {
      w = _mm256_andnot_si256(_mm256_cmpeq_epi32(colour, keyV), full);
    }
    StoreWeights(w, weights + i);
    steps.Next();
  }
  return i;
}

// As GatherTurnedAvx2 from a packed picture, whose pixels carry the mask byte in their fourth
// byte (the colour's own fourth byte being 0): one gather gives both colour and weight.
__attribute__((target("avx2"))) int GatherPackedAvx2(const uint32_t* packed, int width, int64_t u, int64_t v,
                                                     int64_t dU, int64_t dV, int n, uint32_t* out, uint8_t* weights) {
  TurnedSteps steps(u, v, dU, dV);
  const __m256i rowPixels = _mm256_set1_epi32(width), colourBytes = _mm256_set1_epi32(0x00FFFFFF);
  const int* pixels = reinterpret_cast<const int*>(packed);
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m256i sx = steps.Columns(), sy = steps.Rows();
    const __m256i both = _mm256_i32gather_epi32(pixels, _mm256_add_epi32(_mm256_mullo_epi32(sy, rowPixels), sx), 4);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_and_si256(both, colourBytes));
    __m256i w = _mm256_srli_epi32(both, 24);
    StoreWeights(w, weights + i);
    steps.Next();
  }
  return i;
}

// Packs rows top … bottom − 1 of colour and mask into a picture of width pixels a row for
// GatherPackedAvx2; false (and nothing usable) when a colour pixel uses its fourth byte, which
// the packing would lose.
__attribute__((target("avx2"))) bool PackMaskAvx2(const uint8_t* bits, ptrdiff_t step, const uint8_t* maskBits,
                                                  ptrdiff_t maskStep, int width, int64_t top, int64_t bottom,
                                                  uint32_t* packed) {
  const __m256i colourBytes = _mm256_set1_epi32(0x00FFFFFF);
  __m256i fourth = _mm256_setzero_si256();
  uint32_t fourthTail = 0;
  for (int64_t y = top; y < bottom; ++y) {
    const uint8_t* row = bits + y * step;
    const uint8_t* mrow = maskBits + y * maskStep;
    uint32_t* out = packed + y * width;
    int x = 0;
    for (; x + 8 <= width; x += 8) {
      const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + 4 * x));
      const __m256i m = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(mrow + x)));
      fourth = _mm256_or_si256(fourth, _mm256_andnot_si256(colourBytes, c));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), _mm256_or_si256(c, _mm256_slli_epi32(m, 24)));
    }
    for (; x < width; ++x) {
      uint32_t c;
      std::memcpy(&c, row + 4 * x, 4);
      fourthTail |= c & 0xFF000000u;
      out[x] = c | uint32_t{mrow[x]} << 24;
    }
  }
  return _mm256_testz_si256(fourth, fourth) && fourthTail == 0;
}

__attribute__((target("avx2"))) int GatherColumnsAvx2(const uint8_t* srow, const uint8_t* mrow, const int* columns,
                                                      int count, uint32_t* out, uint8_t* weights) {
  const int* pixels = reinterpret_cast<const int*>(srow);
  const int* plane = reinterpret_cast<const int*>(mrow);
  const __m256i three = _mm256_set1_epi32(3), full = _mm256_set1_epi32(255);
  int i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m256i at = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(columns + i));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_i32gather_epi32(pixels, at, 4));
    if (!mrow) continue;
    // A mask byte through the aligned dword that holds it, as GatherTurnedAvx2 reads it.
    const __m256i dwords = _mm256_i32gather_epi32(plane, _mm256_srli_epi32(at, 2), 4);
    __m256i w = _mm256_and_si256(_mm256_srlv_epi32(dwords, _mm256_slli_epi32(_mm256_and_si256(at, three), 3)), full);
    StoreWeights(w, weights + i);
  }
  return i;
}

bool HasAvx2() {
  static const bool has = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return has;
}
#endif

void GatherColumns32(const uint8_t* srow, const uint8_t* mrow, bool wholeDwords, const int* columns, int count,
                     uint32_t* out, uint8_t* weights) {
  int i = 0;
#if defined(__x86_64__)
  if (HasAvx2() && (!mrow || wholeDwords))
    i = GatherColumnsAvx2(srow, mrow, columns, count, out, weights);
#endif
  for (int j = i; j < count; ++j) std::memcpy(out + j, srow + 4 * columns[j], 4);
  if (mrow)
    for (int j = i; j < count; ++j) weights[j] = mrow[columns[j]];
}

// Floating values that are integers up to rounding noise count as those integers, so that
// quarter turns and zooms by powers of two give exact edges.
double Snap(double v) {
  const double n = std::nearbyint(v);
  return std::fabs(v - n) < 1e-7 ? n : v;
}

}  // namespace

Rect ScreenSurface::RotatedBounds(const RotatedDraw& g, int width, int height, bool flipX, bool flipY) {
  if (width <= 0 || height <= 0) return Rect{};
  const RotatedTurn turn(g, width, height, flipX, flipY);
  double minX = 0, minY = 0, maxX = 0, maxY = 0;
  bool first = true;
  for (int corner = 0; corner < 4; ++corner) {
    const double dx = ((corner & 1 ? width : 0) - turn.ox) * turn.zx;
    const double dy = ((corner & 2 ? height : 0) - turn.oy) * turn.zy;
    const double x = g.CenterX + dx * turn.cosA - dy * turn.sinA;
    const double y = g.CenterY + dx * turn.sinA + dy * turn.cosA;
    if (first || x < minX) minX = x;
    if (first || x > maxX) maxX = x;
    if (first || y < minY) minY = y;
    if (first || y > maxY) maxY = y;
    first = false;
  }
  auto clamp = [](double v) {
    return static_cast<int32_t>(std::clamp(v, double{INT32_MIN / 2}, double{INT32_MAX / 2}));
  };
  return Rect{clamp(std::floor(Snap(minX))), clamp(std::floor(Snap(minY))), clamp(std::ceil(Snap(maxX))),
              clamp(std::ceil(Snap(maxY)))};
}

Rect ScreenSurface::DrawRotated(const RotatedDraw& g, const TDIBSurface& source, const TDIBSurface* mask,
                                const DrawOptions& options, TurnedLayer* layer) {
  const int width = source.Width(), height = source.Height();
  const Rect bounds = RotatedBounds(g, width, height, options.FlipX, options.FlipY);
  if (options.Opacity <= 0 || bounds.IsEmpty()) return bounds;
  CheckSource(source, mask);
  int64_t l = bounds.Left, t = bounds.Top, r = bounds.Right, b = bounds.Bottom;
  if (!Cut(l, t, r, b, Clip())) return bounds;
  std::unique_ptr<TDIBSurface> copy;
  const TDIBSurface* from = &source;
  if (&source == &picture_) {
    copy = std::make_unique<TDIBSurface>();
    copy->AssignFrom(source);
    from = copy.get();
  }
  const RotatedTurn turn(g, width, height, options.FlipX, options.FlipY);
  const int count = static_cast<int>(r - l);
  const int bpp = picture_.StorageBits() / 8;
  // Every destination pixel centre is turned back into the source; pixels that land outside it
  // get weight 0, and so do key pixels of a source without a mask, so one masked kernel serves
  // every case.
  DrawOptions rowOptions = options;
  rowOptions.Key = -1;
  const double ux = turn.cosA / turn.zx, vx = -turn.sinA / turn.zy;
  if (bpp == 4) {
    // A copy of the surface itself changes with every draw, so it is never kept.
    if (layer && from == &source)
      DrawTurnedLayer(*layer, g, turn, bounds, l, t, r, b, *from, mask, options, rowOptions);
    else
      DrawRotatedRows32(g, turn, bounds.Left, l, t, r, b, *from, mask, options, rowOptions);
    AddChanged(ToRect(l, t, r, b));
    return bounds;
  }
  Scratch& scratch = FirstScratch();
  scratch.mask.resize(static_cast<size_t>(count));
  uint8_t* gathered = RowBuffer(scratch, count);
  // Counted from the turn's unclipped left edge, as the 32-bit rows are, so that a clip never
  // changes which pixel a column picks.
  const int64_t skip = l - bounds.Left;
  for (int64_t y = t; y < b; ++y) {
    const double ey = y + 0.5 - g.CenterY;
    const double ex0 = bounds.Left + 0.5 - g.CenterX;
    const double u0 = turn.ox + (ex0 * turn.cosA + ey * turn.sinA) / turn.zx;
    const double v0 = turn.oy + (-ex0 * turn.sinA + ey * turn.cosA) / turn.zy;
    for (int i = 0; i < count; ++i) {
      const double column = static_cast<double>(skip + i);
      const double u = std::floor(u0 + column * ux), v = std::floor(v0 + column * vx);
      uint8_t weight = 0;
      if (u >= 0 && u < width && v >= 0 && v < height) {
        int sx = static_cast<int>(u), sy = static_cast<int>(v);
        if (options.FlipX) sx = width - 1 - sx;
        if (options.FlipY) sy = height - 1 - sy;
        const uint8_t* p = from->ScanLine(sy) + sx * bpp;
        std::memcpy(gathered + bpp * i, p, static_cast<size_t>(bpp));
        if (mask) {
          weight = mask->ScanLine(sy)[sx];
        } else {
          uint32_t value = 0;
          std::memcpy(&value, p, static_cast<size_t>(bpp));
          const bool isKey =
              bpp == 4 ? value == static_cast<uint32_t>(options.Key) : static_cast<int32_t>(value) == options.Key;
          weight = isKey ? 0 : 255;
        }
      } else {
        std::memset(gathered + bpp * i, 0, static_cast<size_t>(bpp));
      }
      scratch.mask[i] = weight;
    }
    ApplyRow(ScanLine(static_cast<int>(y)) + l * bpp, gathered, scratch.mask.data(), count, rowOptions);
  }
  AddChanged(ToRect(l, t, r, b));
  return bounds;
}

namespace {

// Where the rows of a turned 32-bit draw start in the source, in 32.32 fixed point: floor is a
// shift, the inside test two unsigned compares, and a mirror maps [0, size) onto itself exactly
// (size − 1 − floor(u) = floor of (size << 32) − 1 − U). Every row steps from the turn's unclipped
// left edge, whatever part of it a draw shows, so a clipped redraw and a kept layer pick the very
// pixels of the whole draw.
struct TurnedRows {
  static constexpr double kOne = 4294967296.0;

  TurnedRows(const RotatedDraw& geometry, const RotatedTurn& turned, const DrawOptions& o, int width, int height,
             int64_t leftEdge)
      : g(geometry), turn(turned), flipX(o.FlipX), flipY(o.FlipY), left(leftEdge) {
    spanU = int64_t{width} << 32;
    spanV = int64_t{height} << 32;
    dU = std::llround(turn.cosA / turn.zx * kOne);
    dV = std::llround(-turn.sinA / turn.zy * kOne);
    if (flipX) dU = -dU;
    if (flipY) dV = -dV;
  }

  // Narrows the columns lo … hi (counted from left) of row y to the run first … last that lands
  // in the source, and gives the source position of first; false when no column does. U and V
  // are exact linear functions of the column, so the run is found by solving 0 ≤ U + i·dU < spanU
  // (and V alike), and every column of it is inside: the copy loops need no test.
  bool Row(int64_t y, int lo, int hi, int& first, int& last, int64_t& u, int64_t& v) const {
    const double ey = y + 0.5 - g.CenterY;
    const double ex0 = left + 0.5 - g.CenterX;
    const double u0 = turn.ox + (ex0 * turn.cosA + ey * turn.sinA) / turn.zx;
    const double v0 = turn.oy + (-ex0 * turn.sinA + ey * turn.cosA) / turn.zy;
    int64_t U = static_cast<int64_t>(std::floor(u0 * kOne)), V = static_cast<int64_t>(std::floor(v0 * kOne));
    if (flipX) U = spanU - 1 - U;
    if (flipY) V = spanV - 1 - V;
    first = lo;
    last = hi;
    if (!RunInside(U, dU, spanU, first, last) || !RunInside(V, dV, spanV, first, last)) return false;
    u = U + first * dU;
    v = V + first * dV;
    return true;
  }

  const RotatedDraw& g;
  const RotatedTurn& turn;
  bool flipX, flipY;
  int64_t left, spanU = 0, spanV = 0, dU = 0, dV = 0;
};

// The source of a turned 32-bit draw as the gathers read it.
struct TurnedSource {
  const uint8_t* bits;
  ptrdiff_t step;
  const uint8_t* maskBits;
  ptrdiff_t maskStep;
  uint32_t key;
  int width;
  // The colours with the mask byte in their fourth byte (see DrawRotatedRows32), or null.
  const uint32_t* packed;

  TurnedSource(const TDIBSurface& from, const TDIBSurface* mask, int32_t transparent)
      : bits(from.Bits()),
        step(from.RowStep()),
        maskBits(mask ? mask->Bits() : nullptr),
        maskStep(mask ? mask->RowStep() : 0),
        key(static_cast<uint32_t>(transparent)),
        width(from.Width()),
        packed(nullptr) {}
};

// n pixels of a turned run from (u, v) on, stepping (dU, dV): colours into out, weights (the
// mask's, or 0 for the key and 255 else) into weights.
void GatherTurned(const TurnedSource& s, int64_t u, int64_t v, int64_t dU, int64_t dV, int n, uint32_t* out,
                  uint8_t* weights) {
  int start = 0;
#if defined(__x86_64__)
  if (s.packed) {
    start = GatherPackedAvx2(s.packed, s.width, u, v, dU, dV, n, out, weights);
  } else if (HasAvx2() &&
             (!s.maskBits || (s.maskStep % 4 == 0 && reinterpret_cast<uintptr_t>(s.maskBits) % 4 == 0))) {
    // Plane rows are whole dwords; a plane that is not (never made by us) takes the plain loop.
    start = GatherTurnedAvx2(s.bits, s.step, s.maskBits, s.maskStep, s.key, u, v, dU, dV, n, out, weights);
  }
  u += start * dU;
  v += start * dV;
#endif
  if (s.maskBits) {
    for (int i = start; i < n; ++i, u += dU, v += dV) {
      const ptrdiff_t sx = static_cast<ptrdiff_t>(u >> 32), sy = static_cast<ptrdiff_t>(v >> 32);
      std::memcpy(out + i, s.bits + sy * s.step + sx * 4, 4);
      weights[i] = s.maskBits[sy * s.maskStep + sx];
    }
  } else {
    for (int i = start; i < n; ++i, u += dU, v += dV) {
      const ptrdiff_t sx = static_cast<ptrdiff_t>(u >> 32), sy = static_cast<ptrdiff_t>(v >> 32);
      uint32_t pixel;
      std::memcpy(&pixel, s.bits + sy * s.step + sx * 4, 4);
      out[i] = pixel;
      weights[i] = pixel == s.key ? 0 : 255;
    }
  }
}

}  // namespace

bool ScreenSurface::PackTurned(const TDIBSurface& from, const TDIBSurface* mask, const RotatedTurn& turn,
                               int64_t columns, int64_t rows) const {
  // Gathering colour and mask costs two gathers per eight pixels; when a thread samples at least
  // half as many pixels as the source holds, packing both into one picture first is cheaper. Each
  // thread packs its own copy: gathers from lines another core has just written are slower than
  // the packing.
#if defined(__x86_64__)
  const int64_t area = int64_t{from.Width()} * from.Height();
  const double samples = std::min(double(area) * turn.zx * turn.zy, double(columns) * double(rows));
  const int64_t threads = team_ && columns * rows >= kShareFrom ? team_->Parts() : 1;
  return mask && HasAvx2() && area <= kMaxPackedPixels && 2 * samples >= double(area) * double(threads);
#else
  (void)from, (void)mask, (void)turn, (void)columns, (void)rows;
  return false;
#endif
}

const uint32_t* ScreenSurface::Packed(Scratch& scratch, uint64_t draw, const TDIBSurface& from,
                                      const TDIBSurface& mask) {
#if defined(__x86_64__)
  if (scratch.packedFor != draw) {
    const int width = from.Width(), height = from.Height();
    scratch.packed.resize(static_cast<size_t>(int64_t{width} * height));
    scratch.packedClean = PackMaskAvx2(from.Bits(), from.RowStep(), mask.Bits(), mask.RowStep(), width, 0, height,
                                       scratch.packed.data());
    scratch.packedFor = draw;
  }
  return scratch.packedClean ? scratch.packed.data() : nullptr;
#else
  (void)scratch, (void)draw, (void)from, (void)mask;
  return nullptr;
#endif
}

void ScreenSurface::DrawRotatedRows32(const RotatedDraw& g, const RotatedTurn& turn, int64_t left, int64_t l,
                                      int64_t t, int64_t r, int64_t b, const TDIBSurface& from,
                                      const TDIBSurface* mask, const DrawOptions& options,
                                      const DrawOptions& rowOptions) {
  const int width = from.Width(), height = from.Height();
  const TurnedRows rows(g, turn, options, width, height, left);
  const int count = static_cast<int>(r - l);
  const bool pack = PackTurned(from, mask, turn, count, b - t);
  const TurnedSource source(from, mask, options.Key);
  const uint64_t draw = ++draws_;
  const int lo = static_cast<int>(l - left), hi = static_cast<int>(r - 1 - left);
  ForRows(t, b, count, [&](Scratch& scratch, int64_t top, int64_t bottom) {
    TurnedSource s = source;
    if (pack) s.packed = Packed(scratch, draw, from, *mask);
    uint32_t* gathered = reinterpret_cast<uint32_t*>(RowBuffer(scratch, count));
    scratch.mask.resize(static_cast<size_t>(count));
    uint8_t* weights = scratch.mask.data();
    for (int64_t y = top; y < bottom; ++y) {
      int first, last;
      int64_t u, v;
      if (!rows.Row(y, lo, hi, first, last, u, v)) continue;
      const int n = last - first + 1, at = first - lo;
      GatherTurned(s, u, v, rows.dU, rows.dV, n, gathered + at, weights + at);
      ApplyRow(ScanLine(static_cast<int>(y)) + (left + first) * 4, reinterpret_cast<uint8_t*>(gathered + at),
               weights + at, n, rowOptions);
    }
  });
}

void ScreenSurface::DrawTurnedLayer(TurnedLayer& layer, const RotatedDraw& g, const RotatedTurn& turn,
                                    const Rect& bounds, int64_t l, int64_t t, int64_t r, int64_t b,
                                    const TDIBSurface& from, const TDIBSurface* mask, const DrawOptions& options,
                                    const DrawOptions& rowOptions) {
  TurnedLayer::Key key{&from, mask, from.Width(), from.Height(), Width(), Height(), g, options.FlipX, options.FlipY,
                       mask ? -1 : options.Key};
  key.g.Angle &= 0xFF;
  if (!(layer.key_ == key) || !layer.seen_) {
    // A turn seen for the first time is drawn straight away: a sprite that turns or moves every
    // frame would only pay for keeping it.
    layer.Reset();
    layer.key_ = key;
    layer.seen_ = true;
    DrawRotatedRows32(g, turn, bounds.Left, l, t, r, b, from, mask, options, rowOptions);
    return;
  }
  if (!layer.built_) BuildTurnedLayer(layer, g, turn, bounds, from, mask, options);
  const Rect& area = layer.area_;
  ForRows(t, b, r - l, [&](Scratch&, int64_t top, int64_t bottom) {
    for (int64_t y = top; y < bottom; ++y) {
      const TurnedLayer::Row& row = layer.rows_[static_cast<size_t>(y - area.Top)];
      const int64_t first = std::max<int64_t>(area.Left + row.first, l);
      const int64_t last = std::min<int64_t>(area.Left + row.last, r - 1);
      if (first > last) continue;
      const size_t at = row.at + static_cast<size_t>(first - area.Left - row.first);
      ApplyRow(ScanLine(static_cast<int>(y)) + first * 4, reinterpret_cast<const uint8_t*>(layer.colours_.data() + at),
               layer.weights_.data() + at, static_cast<int>(last - first + 1), rowOptions);
    }
  });
}

void ScreenSurface::BuildTurnedLayer(TurnedLayer& layer, const RotatedDraw& g, const RotatedTurn& turn,
                                     const Rect& bounds, const TDIBSurface& from, const TDIBSurface* mask,
                                     const DrawOptions& options) {
  // The whole turn as far as it lies on the surface, whatever the clip of this draw: later draws
  // may show other parts of it.
  Rect area;
  IntersectRect(area, bounds, Bounds());
  layer.area_ = area;
  const int width = from.Width(), height = from.Height();
  const TurnedRows rows(g, turn, options, width, height, bounds.Left);
  const int lo = area.Left - bounds.Left, hi = area.Right - 1 - bounds.Left;
  // Where each row's run starts and where it lands in the source, then the runs side by side.
  struct Start {
    int64_t u, v;
  };
  std::vector<Start> starts(static_cast<size_t>(area.Height()));
  layer.rows_.assign(static_cast<size_t>(area.Height()), TurnedLayer::Row{});
  size_t total = 0;
  for (int y = area.Top; y < area.Bottom; ++y) {
    TurnedLayer::Row& row = layer.rows_[static_cast<size_t>(y - area.Top)];
    Start& start = starts[static_cast<size_t>(y - area.Top)];
    int first, last;
    if (!rows.Row(y, lo, hi, first, last, start.u, start.v)) continue;
    row.first = first - lo;
    row.last = last - lo;
    row.at = total;
    total += static_cast<size_t>(last - first + 1);
  }
  layer.colours_.resize(total);
  layer.weights_.resize(total);
  const bool pack = PackTurned(from, mask, turn, area.Width(), area.Height());
  const TurnedSource source(from, mask, options.Key);
  const uint64_t draw = ++draws_;
  ForRows(area.Top, area.Bottom, area.Width(), [&](Scratch& scratch, int64_t top, int64_t bottom) {
    TurnedSource s = source;
    if (pack) s.packed = Packed(scratch, draw, from, *mask);
    for (int64_t y = top; y < bottom; ++y) {
      const size_t k = static_cast<size_t>(y - area.Top);
      const TurnedLayer::Row& row = layer.rows_[k];
      if (row.first > row.last) continue;
      GatherTurned(s, starts[k].u, starts[k].v, rows.dU, rows.dV, row.last - row.first + 1,
                   layer.colours_.data() + row.at, layer.weights_.data() + row.at);
    }
  });
  layer.built_ = true;
}

}  // namespace orin
