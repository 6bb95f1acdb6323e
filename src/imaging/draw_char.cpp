#include "imaging/draw_char.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "core/endian.h"
#include "core/error.h"

namespace orin {

namespace glyph_ink {

namespace {

// Layer over needs two divisions per pixel; both have 256 × 256 possible operands.
struct OverTables {
  uint8_t newAlpha[256][256];  // [A][q]: A + q × (255 − A) ÷ 255
  uint8_t weight[256][256];    // [q][A′]: q × 255 ÷ A′, 255 when A′ is 0
};

const OverTables& Tables() {
  static const std::unique_ptr<OverTables> tables = [] {
    auto t = std::make_unique<OverTables>();
    for (int a = 0; a < 256; ++a)
      for (int q = 0; q < 256; ++q) {
        t->newAlpha[a][q] = static_cast<uint8_t>(a + q * (255 - a) / 255);
        // A′ ≥ q whenever it comes from newAlpha, so the weight never passes 255.
        t->weight[q][a] = static_cast<uint8_t>(a == 0 ? 255 : std::min(255, q * 255 / a));
      }
    return t;
  }();
  return *tables;
}

// Pixels are little-endian words; on a little-endian machine a plain copy, which the compiler
// turns into one move and can vectorise.
template <class Word>
struct PixelWord {
  static constexpr int kBytes = sizeof(Word);
  static uint32_t Load(const uint8_t* row, int x) {
    if constexpr (std::endian::native == std::endian::little) {
      Word w;
      std::memcpy(&w, row + kBytes * x, kBytes);
      return w;
    } else if constexpr (kBytes == 4) {
      return LoadU32LE(row + kBytes * x);
    } else {
      return LoadU16LE(row + kBytes * x);
    }
  }
  static void Store(uint8_t* row, int x, uint32_t v) {
    if constexpr (std::endian::native == std::endian::little) {
      const auto w = static_cast<Word>(v);
      std::memcpy(row + kBytes * x, &w, kBytes);
    } else if constexpr (kBytes == 4) {
      StoreU32LE(row + kBytes * x, v);
    } else {
      StoreU16LE(row + kBytes * x, static_cast<uint16_t>(v));
    }
  }
};
using Pixel32 = PixelWord<uint32_t>;
using Pixel16 = PixelWord<uint16_t>;

// (w × c + (255 − w) × p) >> 8 per channel. At 32 bits red and blue share one multiplication:
// neither sum reaches the other's bits.
struct Mix32 {
  uint32_t operator()(uint32_t c, uint32_t p, uint32_t w) const {
    const uint32_t v = 255 - w;
    return ((((c & 0xFF00FF) * w + (p & 0xFF00FF) * v) >> 8) & 0xFF00FF) |
           ((((c & 0xFF00) * w + (p & 0xFF00) * v) >> 8) & 0xFF00);
  }
};

struct MixMasked {
  uint32_t m[3];
  uint32_t operator()(uint32_t c, uint32_t p, uint32_t w) const {
    const uint32_t v = 255 - w;
    uint32_t r = 0;
    for (uint32_t mask : m) r |= mask & ((w * (c & mask) + v * (p & mask)) >> 8);
    return r;
  }
};

void CheckLayer(const TextLayer& layer) {
  const int depth = layer.Colour.BitCount();
  if ((depth != 15 && depth != 16 && depth != 32) || layer.Alpha.BitCount() != 8)
    throw Error("text layer: needs a 15-, 16- or 32-bit colour surface and an 8-bit alpha surface");
}

// Calls f with the pixel access and the channel mix of the layer's colour format.
template <class F>
auto WithFormat(const TextLayer& layer, F&& f) {
  CheckLayer(layer);
  if (layer.Colour.StorageBits() == 32) return f(Pixel32{}, Mix32{});
  const uint32_t* m = layer.Colour.Masks;
  return f(Pixel16{}, MixMasked{{m[0], m[1], m[2]}});
}

// The part of a w × h box at (x, y) that lies on the layer, in box coordinates.
struct Visible {
  int x0, y0, x1, y1;
};

bool Clip(const TextLayer& layer, int x, int y, int w, int h, Visible& v) {
  const int64_t width = std::min(layer.Colour.Width(), layer.Alpha.Width());
  const int64_t height = std::min(layer.Colour.Height(), layer.Alpha.Height());
  v.x0 = static_cast<int>(std::max<int64_t>(0, -int64_t{x}));
  v.y0 = static_cast<int>(std::max<int64_t>(0, -int64_t{y}));
  v.x1 = static_cast<int>(std::min<int64_t>(w, width - x));
  v.y1 = static_cast<int>(std::min<int64_t>(h, height - y));
  return v.x0 < v.x1 && v.y0 < v.y1;
}

Rect Touched(int x, int y, const Visible& v) { return Rect{x + v.x0, y + v.y0, x + v.x1, y + v.y1}; }

// Runs f(coverage, colour, alpha, count) on each row of the glyph that lies on the layer, the
// pointers at the row's first visible pixel.
template <class Px, class F>
Rect ForEachCoverageRow(const TextLayer& layer, const CoverageView& g, int x, int y, F&& f) {
  Visible v;
  if (!g.Data || !Clip(layer, x, y, g.Width, g.Height, v)) return Rect{};
  for (int j = v.y0; j < v.y1; ++j)
    f(g.Data + j * g.Stride + v.x0, layer.Colour.ScanLine(y + j) + static_cast<ptrdiff_t>(x + v.x0) * Px::kBytes,
      layer.Alpha.ScanLine(y + j) + x + v.x0, v.x1 - v.x0);
  return Touched(x, y, v);
}

// The same for the alpha surface alone.
template <class F>
Rect ForEachAlphaRow(const TextLayer& layer, const CoverageView& g, int x, int y, F&& f) {
  CheckLayer(layer);
  Visible v;
  if (!g.Data || !Clip(layer, x, y, g.Width, g.Height, v)) return Rect{};
  for (int j = v.y0; j < v.y1; ++j) f(g.Data + j * g.Stride + v.x0, layer.Alpha.ScanLine(y + j) + x + v.x0, v.x1 - v.x0);
  return Touched(x, y, v);
}

// Layer over on a pixel held in registers.
template <class Mix>
inline void Over(uint32_t& p, uint32_t& a, uint32_t q, uint32_t colour, const Mix& mix, const OverTables& t) {
  if (q == 255) {
    p = colour;
    a = 255;
    return;
  }
  a = t.newAlpha[a][q];
  const uint32_t w = t.weight[q][a];
  p = w == 255 ? colour : mix(colour, p, w);
}

// A sequence of layer-over stamps on one pixel, loaded and stored once.
template <class Px, class Mix>
inline void OverSequence(uint8_t* colourRow, uint8_t* alphaRow, int x, const uint8_t* qs, size_t n, uint32_t colour,
                         const Mix& mix, const OverTables& t) {
  if (n == 0) return;
  uint32_t p = Px::Load(colourRow, x), a = alphaRow[x];
  for (size_t i = 0; i < n; ++i) Over(p, a, qs[i], colour, mix, t);
  Px::Store(colourRow, x, p);
  alphaRow[x] = static_cast<uint8_t>(a);
}

}  // namespace

// Selects rather than branches in the loops below: glyph coverage is too irregular for the
// branch predictor, and the loops vectorise.

Rect StampSolid(TextLayer layer, CoverageView g, int x, int y, uint32_t colour) {
  return WithFormat(layer, [&](auto px, auto) {
    using Px = decltype(px);
    return ForEachCoverageRow<Px>(layer, g, x, y, [&](const uint8_t* q, uint8_t* c, uint8_t*, int n) {
      for (int i = 0; i < n; ++i) {
        const uint32_t m = 0u - static_cast<uint32_t>(q[i] != 0);
        Px::Store(c, i, (colour & m) | (Px::Load(c, i) & ~m));
      }
    });
  });
}

Rect BlendAgainst(TextLayer layer, CoverageView g, int x, int y, uint32_t colour, uint32_t background) {
  return WithFormat(layer, [&](auto px, auto mix) {
    using Px = decltype(px);
    return ForEachCoverageRow<Px>(layer, g, x, y, [&](const uint8_t* q, uint8_t* c, uint8_t*, int n) {
      for (int i = 0; i < n; ++i) {
        const uint32_t mixed = q[i] == 255 ? colour : mix(colour, background, q[i]);
        const uint32_t m = 0u - static_cast<uint32_t>(q[i] != 0);
        Px::Store(c, i, (mixed & m) | (Px::Load(c, i) & ~m));
      }
    });
  });
}

Rect LayerOver(TextLayer layer, CoverageView g, int x, int y, uint32_t colour) {
  const OverTables& t = Tables();
  return WithFormat(layer, [&](auto px, auto mix) {
    using Px = decltype(px);
    return ForEachCoverageRow<Px>(layer, g, x, y, [&](const uint8_t* q, uint8_t* c, uint8_t* a, int n) {
      for (int i = 0; i < n; ++i)
        if (q[i]) OverSequence<Px>(c, a, i, q + i, 1, colour, mix, t);
    });
  });
}

Rect Mark(TextLayer layer, CoverageView g, int x, int y) {
  return ForEachAlphaRow(layer, g, x, y, [](const uint8_t* q, uint8_t* a, int n) {
    for (int i = 0; i < n; ++i) a[i] = static_cast<uint8_t>(a[i] | (0u - static_cast<uint32_t>(q[i] != 0)));
  });
}

Rect Maximum(TextLayer layer, CoverageView g, int x, int y) {
  return ForEachAlphaRow(layer, g, x, y, [](const uint8_t* q, uint8_t* a, int n) {
    for (int i = 0; i < n; ++i) a[i] = std::max(a[i], q[i]);
  });
}

Rect CopyToAlpha(TextLayer layer, CoverageView g, int x, int y) {
  return ForEachAlphaRow(layer, g, x, y, [](const uint8_t* q, uint8_t* a, int n) { std::memcpy(a, q, n); });
}

Rect BorderStampReference(TextLayer layer, CoverageView g, int x, int y, int k, uint32_t colour) {
  k = std::clamp(k, 0, kMaxBorderWidth);
  Rect touched;
  for (int dy = -k; dy <= k; ++dy)
    for (int dx = -k; dx <= k; ++dx) {
      if (dx == 0 && dy == 0) continue;
      const Rect r = LayerOver(layer, g, x + dx, y + dy, colour);
      if (r.IsEmpty()) continue;
      touched = touched.IsEmpty() ? r
                                  : Rect{std::min(touched.Left, r.Left), std::min(touched.Top, r.Top),
                                         std::max(touched.Right, r.Right), std::max(touched.Bottom, r.Bottom)};
    }
  return touched;
}

namespace {

// What the pixels of a border stamp's box see. Each pixel sees the stamps as a sequence of
// coverages, one per offset in stamp order, and pixels do not affect each other; so each pixel
// can run its own sequence. A full coverage sets the pixel outright whatever came before, so only
// the stamps after the last full one need the arithmetic.
class StampSequences {
 public:
  StampSequences(const CoverageView& g, int k) : k_(k), boxW_(g.Width + 2 * k), boxH_(g.Height + 2 * k) {
    // The coverage with a margin of 2k zeros, so every neighbour of a box pixel can be read.
    const int pad = 2 * k;
    paddedW_ = g.Width + 2 * pad;
    padded_.assign(static_cast<size_t>(paddedW_) * static_cast<size_t>(g.Height + 2 * pad), 0);
    for (int j = 0; j < g.Height; ++j)
      std::copy_n(g.Data + j * g.Stride, g.Width, padded_.begin() + static_cast<ptrdiff_t>(j + pad) * paddedW_ + pad);
    // The stamp at offset (dx, dy) puts glyph pixel (X − dx, Y − dy) on (X, Y).
    for (int dy = -k; dy <= k; ++dy)
      for (int dx = -k; dx <= k; ++dx)
        if (dx || dy) back_.push_back(-(static_cast<ptrdiff_t>(dy) * paddedW_ + dx));
    pending_.resize(back_.size());
    // The ink of each glyph row, so that box pixels that see none are not visited.
    inkFrom_.assign(static_cast<size_t>(g.Height), g.Width);
    inkTo_.assign(static_cast<size_t>(g.Height), 0);
    for (int j = 0; j < g.Height; ++j) {
      const uint8_t* row = g.Data + j * g.Stride;
      int a = 0, b = g.Width;
      while (a < b && !row[a]) ++a;
      while (b > a && !row[b - 1]) --b;
      inkFrom_[j] = a, inkTo_[j] = b;
    }
  }

  int BoxWidth() const { return boxW_; }
  int BoxHeight() const { return boxH_; }

  // The columns of box row j that may see ink: [from, to).
  void InkColumns(int j, int& from, int& to) const {
    from = boxW_, to = 0;
    const int last = std::min(static_cast<int>(inkFrom_.size()) - 1, j);
    for (int gy = std::max(0, j - 2 * k_); gy <= last; ++gy)
      if (inkFrom_[gy] < inkTo_[gy]) from = std::min(from, inkFrom_[gy]), to = std::max(to, inkTo_[gy] + 2 * k_);
  }

  // The sequence of box pixel (i, j): whether it holds a full coverage, and the non-zero partial
  // coverages after the last full one (all of them without one), in stamp order.
  bool Tail(int i, int j, std::vector<uint8_t>& out) {
    const uint8_t* c = padded_.data() + static_cast<ptrdiff_t>(j + k_) * paddedW_ + k_ + i;
    int n = 0;
    int s = static_cast<int>(back_.size()) - 1;
    for (; s >= 0; --s) {
      const uint8_t q = c[back_[s]];
      if (q == 255) break;
      if (q) pending_[n++] = q;
    }
    out.assign(pending_.rend() - n, pending_.rend());
    return s >= 0;
  }

 private:
  int k_, boxW_, boxH_, paddedW_ = 0;
  std::vector<uint8_t> padded_;
  std::vector<ptrdiff_t> back_;
  std::vector<uint8_t> pending_;
  std::vector<int> inkFrom_, inkTo_;
};

}  // namespace

Rect BorderStamp(TextLayer layer, CoverageView g, int x, int y, int k, uint32_t colour) {
  CheckLayer(layer);
  k = std::clamp(k, 0, kMaxBorderWidth);
  if (k == 0 || !g.Data || g.Width <= 0 || g.Height <= 0) return Rect{};
  const int boxX = x - k, boxY = y - k;
  Visible v;
  if (!Clip(layer, boxX, boxY, g.Width + 2 * k, g.Height + 2 * k, v)) return Rect{};
  StampSequences sequences(g, k);
  std::vector<uint8_t> tail;
  const OverTables& t = Tables();
  return WithFormat(layer, [&](auto px, auto mix) {
    using Px = decltype(px);
    for (int j = v.y0; j < v.y1; ++j) {
      int from, to;
      sequences.InkColumns(j, from, to);
      from = std::max(from, v.x0);
      to = std::min(to, v.x1);
      uint8_t* colourRow = layer.Colour.ScanLine(boxY + j);
      uint8_t* alphaRow = layer.Alpha.ScanLine(boxY + j);
      for (int i = from; i < to; ++i) {
        const int lx = boxX + i;
        if (sequences.Tail(i, j, tail)) {
          Px::Store(colourRow, lx, colour);
          alphaRow[lx] = 255;
        }
        OverSequence<Px>(colourRow, alphaRow, lx, tail.data(), tail.size(), colour, mix, t);
      }
    }
    return Touched(boxX, boxY, v);
  });
}

}  // namespace glyph_ink

// The settled result of one border stamp of a glyph in one colour on one pixel format, so that
// drawing the glyph again copies rows instead of running every pixel's sequence. A pixel that
// sees a full coverage ends the same whatever the layer held ("settled"); one that sees only
// partial coverages ends the same whenever its alpha was 0 ("soft"), and runs its sequence
// otherwise.
struct BorderInk {
  int k = 0;
  uint32_t colour = 0;
  int depth = 0;
  // With the character: its own pixels marked and blended in this colour against the border's.
  bool withText = false;
  uint32_t text = 0;
  int boxW = 0, boxH = 0;
  // Per box pixel: what it is, and how it ends.
  enum Kind : uint8_t { kUntouched = 0, kSettled = 1, kSoft = 2 };  // bits the row pass relies on
  std::vector<uint8_t> kind;
  std::vector<uint8_t> alpha;
  std::vector<uint8_t> colourBytes;  // pixels of the format
  std::vector<int> rowFrom, rowTo;   // the columns of each row that are not untouched
  struct Soft {
    int row, col;
    uint32_t qStart, qCount;
  };
  std::vector<Soft> soft;
  std::vector<uint8_t> qs;
};

// The whole of a character with its border and shadow (no bars) as it ends on a clear part of
// a layer, where nothing the layer held shows through.
struct CharacterInk {
  int k = 0, d = 0;
  uint32_t shadow = 0, border = 0, text = 0;
  int depth = 0;
  int boxW = 0, boxH = 0;
  std::vector<uint8_t> alpha;        // 0 where nothing is drawn
  std::vector<uint8_t> colourBytes;  // pixels of the format
};

struct BorderInkCache {
  static constexpr size_t kEntries = 2;  // a shadow and a character with its border
  std::vector<std::shared_ptr<const BorderInk>> entries;  // most recently used first
  static constexpr size_t kCharacters = 2;
  std::vector<std::shared_ptr<const CharacterInk>> characters;
};

namespace glyph_ink {

namespace {

template <class Px, class Mix>
std::shared_ptr<const BorderInk> BuildInk(const TFontPixel& glyph, int k, uint32_t colour, int depth, bool withText,
                                          uint32_t text, const Mix& mix) {
  auto ink = std::make_shared<BorderInk>();
  ink->k = k;
  ink->colour = colour;
  ink->depth = depth;
  ink->withText = withText;
  ink->text = text;
  StampSequences sequences(ViewOf(glyph), k);
  ink->boxW = sequences.BoxWidth();
  ink->boxH = sequences.BoxHeight();
  const size_t pixels = static_cast<size_t>(ink->boxW) * static_cast<size_t>(ink->boxH);
  ink->kind.assign(pixels, BorderInk::kUntouched);
  ink->alpha.assign(pixels, 0);
  ink->colourBytes.assign(pixels * Px::kBytes, 0);
  ink->rowFrom.assign(static_cast<size_t>(ink->boxH), 0);
  ink->rowTo.assign(static_cast<size_t>(ink->boxH), 0);
  const OverTables& t = Tables();
  std::vector<uint8_t> tail;
  for (int j = 0; j < ink->boxH; ++j) {
    int from, to;
    sequences.InkColumns(j, from, to);
    const size_t rowAt = static_cast<size_t>(j) * ink->boxW;
    uint8_t* colourRow = ink->colourBytes.data() + rowAt * Px::kBytes;
    uint8_t* alphaRow = ink->alpha.data() + rowAt;
    int first = to, last = from;
    const int gy = j - k;
    const uint8_t* glyphRow =
        withText && gy >= 0 && gy < glyph.CoverageHeight ? glyph.Coverage.data() + gy * glyph.CoverageWidth : nullptr;
    for (int i = from; i < to; ++i) {
      const int gx = i - k;
      const uint8_t own = glyphRow && gx >= 0 && gx < glyph.CoverageWidth ? glyphRow[gx] : 0;
      if (own) {
        // The character's own pixels end marked and blended whatever the border left there.
        Px::Store(colourRow, i, own == 255 ? text : mix(text, colour, own));
        alphaRow[i] = 255;
        ink->kind[rowAt + i] = BorderInk::kSettled;
        first = std::min(first, i);
        last = std::max(last, i + 1);
        continue;
      }
      const bool full = sequences.Tail(i, j, tail);
      if (!full && tail.empty()) continue;
      // From a full pixel, or from empty alpha, where the first stamp gives the pure colour.
      if (full) {
        Px::Store(colourRow, i, colour);
        alphaRow[i] = 255;
      }
      OverSequence<Px>(colourRow, alphaRow, i, tail.data(), tail.size(), colour, mix, t);
      ink->kind[rowAt + i] = full ? BorderInk::kSettled : BorderInk::kSoft;
      if (!full) {
        ink->soft.push_back(
            BorderInk::Soft{j, i, static_cast<uint32_t>(ink->qs.size()), static_cast<uint32_t>(tail.size())});
        ink->qs.insert(ink->qs.end(), tail.begin(), tail.end());
      }
      first = std::min(first, i);
      last = std::max(last, i + 1);
    }
    if (first < last) ink->rowFrom[j] = first, ink->rowTo[j] = last;
  }
  return ink;
}

template <class Px, class Mix>
Rect ApplyInk(TextLayer layer, const BorderInk& ink, int x, int y, const Mix& mix) {
  const int boxX = x - ink.k, boxY = y - ink.k;
  Visible v;
  if (!Clip(layer, boxX, boxY, ink.boxW, ink.boxH, v)) return Rect{};
  // Soft pixels over ink already there run their sequences first; afterwards their alpha is no
  // longer 0, so the row pass below leaves them alone.
  const OverTables& t = Tables();
  for (const BorderInk::Soft& p : ink.soft) {
    if (p.row < v.y0 || p.row >= v.y1 || p.col < v.x0 || p.col >= v.x1) continue;
    uint8_t* colourRow = layer.Colour.ScanLine(boxY + p.row);
    uint8_t* alphaRow = layer.Alpha.ScanLine(boxY + p.row);
    const int lx = boxX + p.col;
    if (alphaRow[lx] == 0) continue;
    OverSequence<Px>(colourRow, alphaRow, lx, ink.qs.data() + p.qStart, p.qCount, ink.colour, mix, t);
  }
  for (int j = v.y0; j < v.y1; ++j) {
    const int from = std::max(ink.rowFrom[j], v.x0), to = std::min(ink.rowTo[j], v.x1);
    if (from >= to) continue;
    const size_t rowAt = static_cast<size_t>(j) * ink.boxW;
    const uint8_t* kind = ink.kind.data() + rowAt;
    const uint8_t* inkAlpha = ink.alpha.data() + rowAt;
    const uint8_t* inkColour = ink.colourBytes.data() + rowAt * Px::kBytes;
    uint8_t* alphaRow = layer.Alpha.ScanLine(boxY + j) + boxX;
    uint8_t* colourRow = layer.Colour.ScanLine(boxY + j) + static_cast<ptrdiff_t>(boxX) * Px::kBytes;
    // Masks rather than branches: the kinds alternate too irregularly to predict, and the loop
    // vectorises.
    for (int i = from; i < to; ++i) {
      const uint32_t take = (kind[i] & BorderInk::kSettled) |
                            ((kind[i] >> 1) & static_cast<uint32_t>(alphaRow[i] == 0));
      const uint32_t mask = 0u - take;
      alphaRow[i] = static_cast<uint8_t>((inkAlpha[i] & mask) | (alphaRow[i] & ~mask));
      Px::Store(colourRow, i, (Px::Load(inkColour, i) & mask) | (Px::Load(colourRow, i) & ~mask));
    }
  }
  return Touched(boxX, boxY, v);
}

}  // namespace

namespace {

Rect StampRemembered(TextLayer layer, const TFontPixel& glyph, int x, int y, int k, uint32_t colour, bool withText,
                     uint32_t text) {
  CheckLayer(layer);
  k = std::clamp(k, 0, kMaxBorderWidth);
  if (k == 0 || !glyph.HasBitmap() || glyph.CoverageWidth <= 0 || glyph.CoverageHeight <= 0) return Rect{};
  const int depth = layer.Colour.BitCount();
  if (!glyph.InkCache) glyph.InkCache = std::make_shared<BorderInkCache>();
  auto& entries = glyph.InkCache->entries;
  auto it = std::find_if(entries.begin(), entries.end(), [&](const auto& e) {
    return e->k == k && e->colour == colour && e->depth == depth && e->withText == withText &&
           (!withText || e->text == text);
  });
  if (it != entries.end()) {
    std::rotate(entries.begin(), it, it + 1);
  } else {
    entries.insert(entries.begin(), WithFormat(layer, [&](auto px, auto mix) {
                     return BuildInk<decltype(px)>(glyph, k, colour, depth, withText, text, mix);
                   }));
    if (entries.size() > BorderInkCache::kEntries) entries.pop_back();
  }
  const BorderInk& ink = *entries.front();
  return WithFormat(layer, [&](auto px, auto mix) { return ApplyInk<decltype(px)>(layer, ink, x, y, mix); });
}

}  // namespace

Rect BorderStamp(TextLayer layer, const TFontPixel& glyph, int x, int y, int k, uint32_t colour) {
  return StampRemembered(layer, glyph, x, y, k, colour, false, 0);
}

Rect CharacterWithBorder(TextLayer layer, const TFontPixel& glyph, int x, int y, int k, uint32_t border,
                         uint32_t text) {
  return StampRemembered(layer, glyph, x, y, k, border, true, text);
}

Rect Bar(TextLayer layer, const Rect& r, uint32_t colour) {
  Visible v;
  if (r.IsEmpty() || !Clip(layer, r.Left, r.Top, r.Width(), r.Height(), v)) {
    CheckLayer(layer);
    return Rect{};
  }
  return WithFormat(layer, [&](auto px, auto) {
    using Px = decltype(px);
    for (int j = v.y0; j < v.y1; ++j) {
      uint8_t* colourRow = layer.Colour.ScanLine(r.Top + j);
      uint8_t* alphaRow = layer.Alpha.ScanLine(r.Top + j);
      for (int i = v.x0; i < v.x1; ++i) Px::Store(colourRow, r.Left + i, colour);
      std::fill(alphaRow + r.Left + v.x0, alphaRow + r.Left + v.x1, uint8_t{255});
    }
    return Touched(r.Left, r.Top, v);
  });
}

namespace {

// The glyph part of DrawChar with a border or a shadow: the shadow, then the character.
void ShadowAndCharacter(TextLayer layer, const TFontPixel& glyph, int mainX, int mainY, int k, int d, uint32_t shadow,
                        uint32_t border, uint32_t text) {
  const CoverageView view = ViewOf(glyph);
  if (d > 0) {
    if (k == 0) {
      CopyToAlpha(layer, view, mainX + d, mainY + d);
      StampSolid(layer, view, mainX + d, mainY + d, shadow);
    } else {
      BorderStamp(layer, glyph, mainX + d, mainY + d, k, shadow);
    }
  }
  if (k == 0)
    LayerOver(layer, view, mainX, mainY, text);
  else
    CharacterWithBorder(layer, glyph, mainX, mainY, k, border, text);
}

}  // namespace

bool DrawOnClear(TextLayer layer, const TFontPixel& glyph, int mainX, int mainY, int k, int d, uint32_t shadow,
                 uint32_t border, uint32_t text) {
  CheckLayer(layer);
  if (!glyph.HasBitmap() || (k == 0 && d == 0)) return false;
  const int boxX = mainX - k, boxY = mainY - k;
  const int boxW = glyph.CoverageWidth + 2 * k + d, boxH = glyph.CoverageHeight + 2 * k + d;
  Visible v;
  if (!Clip(layer, boxX, boxY, boxW, boxH, v)) return true;
  for (int j = v.y0; j < v.y1; ++j) {
    const uint8_t* a = layer.Alpha.ScanLine(boxY + j) + boxX;
    uint8_t any = 0;
    for (int i = v.x0; i < v.x1; ++i) any |= a[i];
    if (any) return false;
  }

  if (k == 0) border = 0;
  if (d == 0) shadow = 0;
  const int depth = layer.Colour.BitCount();
  if (!glyph.InkCache) glyph.InkCache = std::make_shared<BorderInkCache>();
  auto& entries = glyph.InkCache->characters;
  auto it = std::find_if(entries.begin(), entries.end(), [&](const auto& e) {
    return e->k == k && e->d == d && e->shadow == shadow && e->border == border && e->text == text &&
           e->depth == depth;
  });
  if (it != entries.end()) {
    std::rotate(entries.begin(), it, it + 1);
  } else {
    auto ink = std::make_shared<CharacterInk>();
    ink->k = k, ink->d = d, ink->shadow = shadow, ink->border = border, ink->text = text, ink->depth = depth;
    ink->boxW = boxW, ink->boxH = boxH;
    TDIBSurface colourBox(boxW, boxH, depth), alphaBox(boxW, boxH, 8);
    ShadowAndCharacter(TextLayer{colourBox, alphaBox}, glyph, k, k, k, d, shadow, border, text);
    const size_t bytes = static_cast<size_t>(colourBox.StorageBits() / 8);
    ink->alpha.resize(static_cast<size_t>(boxW) * boxH);
    ink->colourBytes.resize(static_cast<size_t>(boxW) * boxH * bytes);
    for (int j = 0; j < boxH; ++j) {
      std::memcpy(ink->alpha.data() + static_cast<size_t>(j) * boxW, alphaBox.ScanLine(j), boxW);
      std::memcpy(ink->colourBytes.data() + static_cast<size_t>(j) * boxW * bytes, colourBox.ScanLine(j),
                  boxW * bytes);
    }
    entries.insert(entries.begin(), std::move(ink));
    if (entries.size() > BorderInkCache::kCharacters) entries.pop_back();
  }
  const CharacterInk& ink = *entries.front();
  WithFormat(layer, [&](auto px, auto) {
    using Px = decltype(px);
    for (int j = v.y0; j < v.y1; ++j) {
      const uint8_t* inkAlpha = ink.alpha.data() + static_cast<size_t>(j) * ink.boxW;
      const uint8_t* inkColour = ink.colourBytes.data() + static_cast<size_t>(j) * ink.boxW * Px::kBytes;
      uint8_t* alphaRow = layer.Alpha.ScanLine(boxY + j) + boxX;
      uint8_t* colourRow = layer.Colour.ScanLine(boxY + j) + static_cast<ptrdiff_t>(boxX) * Px::kBytes;
      // The alpha was 0 throughout, and stays 0 where nothing is drawn.
      std::memcpy(alphaRow + v.x0, inkAlpha + v.x0, static_cast<size_t>(v.x1 - v.x0));
      for (int i = v.x0; i < v.x1; ++i) {
        const uint32_t m = 0u - static_cast<uint32_t>(inkAlpha[i] != 0);
        Px::Store(colourRow, i, (Px::Load(inkColour, i) & m) | (Px::Load(colourRow, i) & ~m));
      }
    }
    return Rect{};
  });
  return true;
}

}  // namespace glyph_ink

namespace {

void Unite(Rect& into, const Rect& r) {
  if (r.IsEmpty()) return;
  if (into.IsEmpty()) {
    into = r;
    return;
  }
  into = Rect{std::min(into.Left, r.Left), std::min(into.Top, r.Top), std::max(into.Right, r.Right),
              std::max(into.Bottom, r.Bottom)};
}

}  // namespace

void DrawChar(const TFontPixel& glyph, TDIBSurface& colour, TDIBSurface& alpha, bool replace, Rect& changed,
              uint32_t shadowColour, uint32_t borderColour, uint32_t textColour, bool joinLeft, bool joinRight,
              int shadowOffset, int borderWidth, const Rect& cell) {
  using namespace glyph_ink;
  const TextLayer layer{colour, alpha};
  CheckLayer(layer);
  // Positions this far out cannot reach a layer, and the sums below must not overflow.
  constexpr int kFar = 1 << 28;
  if (std::abs(cell.Left) > kFar || std::abs(cell.Top) > kFar || std::abs(cell.Right) > kFar ||
      std::abs(cell.Bottom) > kFar) {
    changed = Rect{};
    return;
  }
  const int k = std::clamp(borderWidth, 0, kMaxBorderWidth);
  const int d = std::clamp(shadowOffset, 0, 1 << 16);
  const int cw = glyph.CoverageWidth, ch = glyph.CoverageHeight;
  const CoverageView view = ViewOf(glyph);

  int s = 0;
  const int room = std::min(cell.Width(), glyph.FontHeight) - cw;
  if (glyph.XOffset + glyph.ExtraAdvance < room) {
    const int abc = glyph.AbcA + glyph.AbcB + glyph.AbcC;
    if (glyph.AbcA + glyph.AbcC == 0 || abc == 0)
      s = room / 2;
    else
      // Halves go to the even neighbour.
      s = static_cast<int>(std::nearbyint((glyph.AbcA + glyph.AbcB / 2) * static_cast<double>(room) / abc));
    s = std::max(0, s - glyph.XOffset);
  }

  const int left = cell.Left + glyph.XOffset + s;
  const int top = cell.Top + glyph.YOffset;
  Rect drawn{left, top, left + cw + 2 * k + d, top + ch + 2 * k + d};
  const int mainX = left + k, mainY = top + k;

  // The bars: top rows from the cell's top and heights.
  struct BarRows {
    int top, size;
  };
  BarRows bars[2];
  int barCount = 0;
  const int bandTop = cell.Top + k;
  const int bandHeight = cell.Height() - 2 * k - d;
  if ((glyph.Style & 4) && glyph.UnderlineSize > 0)
    bars[barCount++] = {bandTop + bandHeight - glyph.UnderlineSize, glyph.UnderlineSize};
  if ((glyph.Style & 8) && glyph.StrikeSize > 0) bars[barCount++] = {bandTop + glyph.StrikePosition, glyph.StrikeSize};
  const int barLeft = cell.Left;
  const int barRight = joinRight ? cell.Right : cell.Right - d;

  if (k == 0 && d == 0) {
    if (replace) {
      Bar(layer, Rect{mainX, mainY, mainX + cw, mainY + ch}, textColour);
      CopyToAlpha(layer, view, mainX, mainY);
    } else {
      StampSolid(layer, view, mainX, mainY, textColour);
      Maximum(layer, view, mainX, mainY);
    }
  } else if ((d > 0 && barCount > 0) ||
             !DrawOnClear(layer, glyph, mainX, mainY, k, d, shadowColour, borderColour, textColour)) {
    if (d > 0) {
      if (k == 0) {
        CopyToAlpha(layer, view, mainX + d, mainY + d);
        StampSolid(layer, view, mainX + d, mainY + d, shadowColour);
      } else {
        BorderStamp(layer, glyph, mainX + d, mainY + d, k, shadowColour);
      }
      for (int b = 0; b < barCount; ++b) {
        const Rect r{joinLeft ? cell.Left : cell.Left + d, bars[b].top - k + d, cell.Right,
                     bars[b].top + bars[b].size + k + d};
        Unite(drawn, r);
        Bar(layer, r, shadowColour);
      }
    }
    if (k == 0) {
      LayerOver(layer, view, mainX, mainY, textColour);
    } else {
      CharacterWithBorder(layer, glyph, mainX, mainY, k, borderColour, textColour);
    }
  }
  for (int b = 0; b < barCount; ++b) {
    const Rect r{barLeft, bars[b].top, barRight, bars[b].top + bars[b].size};
    if (k > 0) {
      const Rect above{barLeft, r.Top - k, barRight, r.Top};
      const Rect below{barLeft, r.Bottom, barRight, r.Bottom + k};
      Bar(layer, above, borderColour);
      Bar(layer, below, borderColour);
      Unite(drawn, above);
      Unite(drawn, below);
    }
    Bar(layer, r, textColour);
    Unite(drawn, r);
  }

  Visible v;
  changed = Clip(layer, drawn.Left, drawn.Top, drawn.Width(), drawn.Height(), v)
                ? Rect{drawn.Left + v.x0, drawn.Top + v.y0, drawn.Left + v.x1, drawn.Top + v.y1}
                : Rect{};
}

}  // namespace orin
