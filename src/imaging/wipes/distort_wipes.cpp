#include "imaging/wipes/distort_wipes.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace orin {

namespace {

// How far a line at v (0 … 1 along the order of turning) has turned: 0 … π. The lines start one
// after another over the first three quarters of the run and each turns over a quarter of it, so
// a third of the lines turn at any moment.
double TurnAngle(double p, double v) {
  return std::numbers::pi * std::clamp(4.0 * p - 3.0 * v, 0.0, 1.0);
}

}  // namespace

// ---- TWipeRipple

void TWipeRipple::ShiftedRow(uint8_t* dst, const ScreenSurface& source, int y, int shift) const {
  const uint8_t* src = Row(source, y);
  const int width = W(), bytes = Bytes();
  uint32_t edge = 0;
  if (shift >= 0) {
    CopyPixels(At(dst, shift), src, width - shift);
    std::memcpy(&edge, src, static_cast<size_t>(bytes));
    wipes::FillRow(dst, edge, shift, bytes);
  } else {
    CopyPixels(dst, At(src, -shift), width + shift);
    std::memcpy(&edge, At(src, width - 1), static_cast<size_t>(bytes));
    wipes::FillRow(At(dst, width + shift), edge, -shift, bytes);
  }
}

bool TWipeRipple::Step() {
  if (Done()) return true;
  const double p = Progress();
  const int crests = std::clamp(GetParam(0), 1, 64);
  const int width = W(), height = H(), bytes = Bytes();
  const double amplitude = std::max(1, width / 20) * std::sin(std::numbers::pi * p);
  const double phase = (Reverse() ? -2.0 : 2.0) * p;
  const int w = std::clamp(static_cast<int>(std::lround(Ease(p) * 256.0)), 0, 256);
  for (int y = 0; y < height; ++y) {
    const double wave = std::sin(2.0 * std::numbers::pi * (crests * (y + 0.5) / height - phase));
    const int shift =
        std::clamp(static_cast<int>(std::lround(amplitude * wave)), 1 - width, width - 1);
    uint8_t* dst = TargetRow(y);
    if (w <= 0 || w >= 256) {
      ShiftedRow(dst, w <= 0 ? Outgoing() : Incoming(), y, shift);
      continue;
    }
    // Both rows shifted alike and mixed in one pass; the pixels uncovered at the edge repeat the
    // mixed edge pixel.
    const int count = width - std::abs(shift), to = std::max(shift, 0), from = std::max(-shift, 0);
    const uint8_t* out = Row(Outgoing(), y);
    const uint8_t* in = Row(Incoming(), y);
    MixRows(At(dst, to), At(out, from), At(in, from), count, w);
    uint32_t edge = 0;
    if (shift > 0) {
      std::memcpy(&edge, At(dst, to), static_cast<size_t>(bytes));
      wipes::FillRow(dst, edge, shift, bytes);
    } else if (shift < 0) {
      std::memcpy(&edge, At(dst, count - 1), static_cast<size_t>(bytes));
      wipes::FillRow(At(dst, count), edge, -shift, bytes);
    }
  }
  MarkChanged();
  return false;
}

// ---- TWipeTwistH

bool TWipeTwistH::Step() {
  if (Done()) return true;
  const double p = Progress();
  const int width = W(), height = H(), bytes = Bytes();
  for (int y = 0; y < height; ++y) {
    double v = (y + 0.5) / height;
    if (Reverse()) v = 1.0 - v;
    const double c = std::cos(TurnAngle(p, v));
    const ScreenSurface& source = c >= 0 ? Outgoing() : Incoming();
    const int shown = std::clamp(static_cast<int>(std::lround(std::abs(c) * width)), 0, width);
    uint8_t* dst = TargetRow(y);
    const uint8_t* src = Row(source, y);
    if (shown == width) {
      CopyPixels(dst, src, width);
      continue;
    }
    const int left = (width - shown) / 2;
    std::memset(dst, 0, static_cast<size_t>(left) * static_cast<size_t>(bytes));
    std::memset(At(dst, left + shown), 0,
                static_cast<size_t>(width - left - shown) * static_cast<size_t>(bytes));
    if (shown == 0) continue;
    // Source columns in 16.16, sampled at the centres of the narrowed row's pixels.
    const uint32_t step =
        static_cast<uint32_t>((static_cast<uint64_t>(width) << 16) / static_cast<uint64_t>(shown));
    uint32_t at = step / 2;
    uint8_t* d = At(dst, left);
    if (bytes == 4) {
      for (int i = 0; i < shown; ++i, at += step) std::memcpy(d + 4 * i, src + 4 * (at >> 16), 4);
    } else {
      for (int i = 0; i < shown; ++i, at += step) std::memcpy(d + 2 * i, src + 2 * (at >> 16), 2);
    }
  }
  MarkChanged();
  return false;
}

// ---- TWipeTwistV

void TWipeTwistV::Size() {
  const size_t width = static_cast<size_t>(W());
  top_.assign(width, 0);
  shown_.assign(width, 0);
  step_.assign(width, 0);
  pic_.assign(width, 0);
  runs_.reserve(width);
}

void TWipeTwistV::Prepare() {
  Size();
}

namespace {

// Row y of the turned columns x0 … x1 − 1. Row y of column x shows source row
// ((y − top) × step + step / 2) >> 16 when y − top < shown (which keeps the product below
// height × 2^16), black otherwise.
template <class Pixel>
void TwistRow(Pixel* __restrict dst, const uint8_t* const bases[2], ptrdiff_t rowStep, int y,
              int x0, int x1, const int32_t* __restrict top, const uint32_t* __restrict shown,
              const uint32_t* __restrict step, const uint8_t* __restrict pic) {
  for (int x = x0; x < x1; ++x) {
    const uint32_t rel = static_cast<uint32_t>(y - top[x]);
    Pixel v = 0;
    if (rel < shown[x]) {
      const uint32_t sy = (rel * step[x] + step[x] / 2) >> 16;
      v = reinterpret_cast<const Pixel*>(bases[pic[x]] + static_cast<ptrdiff_t>(sy) * rowStep)[x];
    }
    dst[x] = v;
  }
}

#if defined(__x86_64__)
// TwistRow of 32-bit pixels from one picture, eight columns at a time, with the same 32-bit
// arithmetic; returns the first column it left to the caller.
__attribute__((target("avx2"))) int TwistRowAvx2(uint32_t* __restrict dst, const uint8_t* base, ptrdiff_t rowStep,
                                                 int y, int x0, int x1, const int32_t* __restrict top,
                                                 const uint32_t* __restrict shown, const uint32_t* __restrict step) {
  const __m256i yv = _mm256_set1_epi32(y), rowPixels = _mm256_set1_epi32(static_cast<int>(rowStep / 4));
  const __m256i lanes = _mm256_set_epi32(7, 6, 5, 4, 3, 2, 1, 0);
  const int* pixels = reinterpret_cast<const int*>(base);
  int x = x0;
  for (; x + 8 <= x1; x += 8) {
    const __m256i rel = _mm256_sub_epi32(yv, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(top + x)));
    const __m256i n = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(shown + x));
    // rel < n unsigned: rel ≠ max(rel, n).
    const __m256i inside = _mm256_xor_si256(_mm256_cmpeq_epi32(_mm256_max_epu32(rel, n), rel), _mm256_set1_epi32(-1));
    const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(step + x));
    const __m256i sy = _mm256_srli_epi32(_mm256_add_epi32(_mm256_mullo_epi32(rel, s), _mm256_srli_epi32(s, 1)), 16);
    const __m256i at = _mm256_add_epi32(_mm256_mullo_epi32(sy, rowPixels), _mm256_add_epi32(_mm256_set1_epi32(x), lanes));
    const __m256i v = _mm256_mask_i32gather_epi32(_mm256_setzero_si256(), pixels, at, inside, 4);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + x), v);
  }
  return x;
}

bool HasAvx2() {
  static const bool has = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return has;
}
#endif

}  // namespace

bool TWipeTwistV::Step() {
  if (Done()) return true;
  if (static_cast<int>(top_.size()) != W()) Size();
  const double p = Progress();
  const int width = W(), height = H();
  for (int x = 0; x < width; ++x) {
    double v = (x + 0.5) / width;
    if (Reverse()) v = 1.0 - v;
    const double c = std::cos(TurnAngle(p, v));
    const int shown = std::clamp(static_cast<int>(std::lround(std::abs(c) * height)), 0, height);
    const size_t i = static_cast<size_t>(x);
    pic_[i] = c >= 0 ? 0 : 1;
    top_[i] = (height - shown) / 2;
    shown_[i] = static_cast<uint32_t>(shown);
    step_[i] = shown > 0 ? static_cast<uint32_t>((static_cast<uint64_t>(height) << 16) /
                                                 static_cast<uint64_t>(shown))
                         : 0;
  }
  // Columns standing whole (not turning) are copied row by row; only the turning ones, a third of
  // the screen at most, are sampled pixel by pixel. A run shows one picture.
  runs_.clear();
  for (int x = 0; x < width;) {
    const bool whole = shown_[static_cast<size_t>(x)] == static_cast<uint32_t>(height);
    const uint8_t pic = pic_[static_cast<size_t>(x)];
    int end = x + 1;
    while (end < width &&
           (shown_[static_cast<size_t>(end)] == static_cast<uint32_t>(height)) == whole &&
           pic_[static_cast<size_t>(end)] == pic)
      ++end;
    runs_.push_back(Run{x, end, whole, pic});
    x = end;
  }
  const uint8_t* bases[2] = {Outgoing().Bits(), Incoming().Bits()};
  const ScreenSurface* pictures[2] = {&Outgoing(), &Incoming()};
  const ptrdiff_t rowStep = Outgoing().RowStep();
#if defined(__x86_64__)
  const bool avx2 = HasAvx2() && rowStep % 4 == 0;
#endif
  for (int y = 0; y < height; ++y) {
    uint8_t* dst = TargetRow(y);
    for (const Run& run : runs_) {
      if (run.Whole)
        CopyPixels(At(dst, run.X0), At(Row(*pictures[run.Pic], y), run.X0), run.X1 - run.X0);
      else if (Bytes() == 4) {
        int x0 = run.X0;
#if defined(__x86_64__)
        // Coordinates of the whole screen fit 32 bits, and a turning run shows one picture.
        if (avx2) x0 = TwistRowAvx2(reinterpret_cast<uint32_t*>(dst), bases[run.Pic], rowStep, y, x0, run.X1, top_.data(),
                                    shown_.data(), step_.data());
#endif
        TwistRow(reinterpret_cast<uint32_t*>(dst), bases, rowStep, y, x0, run.X1, top_.data(),
                 shown_.data(), step_.data(), pic_.data());
      } else
        TwistRow(reinterpret_cast<uint16_t*>(dst), bases, rowStep, y, run.X0, run.X1, top_.data(),
                 shown_.data(), step_.data(), pic_.data());
    }
  }
  MarkChanged();
  return false;
}

// ---- TWipeCrack

void TWipeCrack::Prepare() {
  const int width = W(), height = H();
  const int size = std::clamp(GetParam(0), 8, std::max({width, height, 8}));
  const int spread = std::clamp(GetParam(1), 0, 16);
  pieces_.clear();
  pieces_.reserve(static_cast<size_t>((width + size - 1) / size) *
                  static_cast<size_t>((height + size - 1) / size));
  for (int y = 0; y < height; y += size)
    for (int x = 0; x < width; x += size) {
      Piece piece;
      piece.X = x;
      piece.Y = y;
      piece.Width = std::min(size, width - x);
      piece.Height = std::min(size, height - y);
      piece.Delay = Random(1000) / 2000.0;
      piece.Drift = (Random(2 * spread + 1) - spread) * size / 4.0;
      pieces_.push_back(piece);
    }
}

void TWipeCrack::DrawPiece(const Piece& piece, double p) {
  const double fall = std::clamp((p - piece.Delay) / (1.0 - piece.Delay), 0.0, 1.0);
  // Falling with gravity, the top reaching the bottom edge (rising: the bottom reaching the top
  // edge) at the end of the run.
  const double way = Reverse() ? -(piece.Y + piece.Height) : H() - piece.Y;
  const int dy = static_cast<int>(std::lround(way * fall * fall));
  const int dx = static_cast<int>(std::lround(piece.Drift * fall));
  const int left = std::max(piece.X + dx, 0), right = std::min(piece.X + dx + piece.Width, W());
  if (right <= left) return;
  for (int r = 0; r < piece.Height; ++r) {
    const int ty = piece.Y + r + dy;
    if (ty < 0 || ty >= H()) continue;
    CopyPixels(At(TargetRow(ty), left), At(Row(Outgoing(), piece.Y + r), left - dx), right - left);
  }
}

bool TWipeCrack::Step() {
  if (Done()) return true;
  // A caller that skipped Prepare still gets pieces (drawn from the generator then).
  if (pieces_.empty()) Prepare();
  const double p = Progress();
  CopyAll(Incoming());
  // The pieces still in place first, so that falling ones pass in front of them.
  for (const Piece& piece : pieces_)
    if (p <= piece.Delay) DrawPiece(piece, p);
  for (const Piece& piece : pieces_)
    if (p > piece.Delay) DrawPiece(piece, p);
  MarkChanged();
  return false;
}

}  // namespace orin
