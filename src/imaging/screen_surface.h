// ScreenSurface: the surface the scene composes a screen on (one per screen root), and the
// surface family that objects, glyph layers, transitions and videos draw onto.
//
// A screen surface holds 15-, 16- or 32-bit pixels (32 bits: 0xXXRRGGBB; 15/16 bits: the channel
// masks of TDIBSurface) in a TDIBSurface. On top of the pixels it keeps:
//   * a changed rectangle: every drawing operation unites the area it touched with it, and the
//     presenter clears it after showing the frame;
//   * a clip stack: PushClip intersects the current clip with a rectangle, PopClip restores the
//     one before. Every drawing operation is cut to the current clip (the whole surface while
//     the stack is empty), never reads outside its source and never writes outside the surface.
//
// Sources are TDIBSurfaces of the surface's pixel format (32 bits for a 32-bit surface; 16-bit
// storage with the same masks for 15/16 bits); another format is refused with Error. A mask is
// an 8-bit TDIBSurface of the source's size (usually the source's own Alpha plane), read at the
// same position as the source pixel.
//
// Opacity, as the picture-drawing objects use it:
//   ≤ 0            nothing is drawn;
//   1 … 254        blend: without a mask every channel (d × (255 − a) + s × a) >> 8, the fourth
//                  byte 0, skipping source pixels equal to the key; with a mask value m the
//                  weight is α = a where m = 255, else (m × a) >> 8;
//   255            without a mask a keyed copy; with a mask the mask alone is the weight (m 0
//                  keeps, 255 writes the source, otherwise the blend with α = m);
//   256 and above  additive with level L = opacity − 256: β = L (without a mask, for pixels that
//                  are not the key), with a mask β = L where m = 255, else (m × L) >> 8; every
//                  channel min(255, d + ((s × β) >> 8)).
// With a mask the key is not used. A weight of 0 never changes the destination. At 15/16 bits
// the same formulas apply to every channel through its mask.
//
// Scaling is nearest neighbour: destination column i of a draw w pixels wide from a source
// rectangle sw pixels wide takes source column ((2i + 1) × sw) div (2w), counted from the right
// edge when mirrored; rows likewise. The mapping is fixed by the unclipped destination, so a clip
// never shifts pixels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "imaging/dib_surface.h"
#include "imaging/geometry.h"

namespace orin {

class RowTeam;

// The turn of a rotated draw (screen_surface.cpp).
struct RotatedTurn;

struct DrawOptions {
  int Opacity = 255;
  // Compared with the whole source pixel (32 bits: all four bytes, so −1 matches nothing a
  // drawable holds); only used without a mask.
  int32_t Key = -1;
  bool FlipX = false;
  bool FlipY = false;
};

// A rotated, zoomed draw: the source point (OriginX, OriginY) — pixels from the source's
// top-left corner, before mirroring; with FlipX it becomes width − OriginX − 1, with FlipY
// height − OriginY − 1 — lands on the surface point (CenterX, CenterY), and the source turns
// about it by Angle × 2π / 256 (only the low 8 bits of Angle count; positive turns clockwise on
// the screen, y pointing down) and scales by ZoomX / 256 and ZoomY / 256 (values below 1 count
// as 1). Sampling is nearest neighbour at pixel centres; at angle 0 the result equals an
// unrotated draw at (CenterX − origin, CenterY − origin).
struct RotatedDraw {
  int32_t CenterX = 0;
  int32_t CenterY = 0;
  int32_t OriginX = 0;
  int32_t OriginY = 0;
  int32_t Angle = 0;
  int32_t ZoomX = 256;
  int32_t ZoomY = 256;

  bool operator==(const RotatedDraw&) const = default;
};

// A turned draw kept as it was gathered, for an object that shows the same turn frame after
// frame (a tilted sprite over a changing background, a turned picture under a transition):
// the second draw through the layer with the same source, mask, geometry, mirrors and key
// gathers every pixel of the turn that lies on the surface once, and later draws blend those
// instead of turning the source again. A turn seen for the first time is drawn directly, so a
// sprite that turns or moves every frame pays nothing for it. The pixels are exactly those of a
// direct draw.
//
// The layer knows its source by address: its owner resets it whenever the pixels behind the same
// surfaces may have changed, or the surfaces may have been freed.
class TurnedLayer {
 public:
  // Forgets (and frees) what is kept.
  void Reset() { *this = TurnedLayer{}; }
  // Whether a turn is kept, and how many pixels.
  bool Holds() const { return built_; }
  size_t Pixels() const { return colours_.size(); }

 private:
  friend class ScreenSurface;
  struct Key {
    const TDIBSurface* source = nullptr;
    const TDIBSurface* mask = nullptr;
    int width = 0, height = 0, surfaceWidth = 0, surfaceHeight = 0;
    RotatedDraw g;
    bool flipX = false, flipY = false;
    int32_t key = -1;
    bool operator==(const Key&) const = default;
  };
  // A row's run, first … last counted from the area's left edge (none when first > last), and
  // where its pixels start in colours_ and weights_.
  struct Row {
    int first = 0, last = -1;
    size_t at = 0;
  };
  Key key_;
  bool seen_ = false, built_ = false;
  // The part of the surface the kept turn covers.
  Rect area_{};
  std::vector<Row> rows_;
  std::vector<uint32_t> colours_;
  std::vector<uint8_t> weights_;
};

class ScreenSurface {
 public:
  ScreenSurface() = default;
  ScreenSurface(int width, int height, int depth) { SetSize(width, height, depth); }
  ScreenSurface(const ScreenSurface&) = delete;
  ScreenSurface& operator=(const ScreenSurface&) = delete;
  ScreenSurface(ScreenSurface&&) noexcept = default;
  ScreenSurface& operator=(ScreenSurface&&) noexcept = default;

  // depth 15, 16 or 32 (anything else throws Error). The pixels are zeroed; the clip stack and
  // the changed rectangle are cleared.
  void SetSize(int width, int height, int depth);

  int Width() const { return picture_.Width(); }
  int Height() const { return picture_.Height(); }
  // 15, 16 or 32; 0 before SetSize.
  int Depth() const { return picture_.BitCount(); }
  const uint32_t* Masks() const { return picture_.Masks; }
  ptrdiff_t RowStep() const { return picture_.RowStep(); }
  uint8_t* Bits() { return picture_.Bits(); }
  const uint8_t* Bits() const { return picture_.Bits(); }
  uint8_t* ScanLine(int y) { return picture_.ScanLine(y); }
  const uint8_t* ScanLine(int y) const { return picture_.ScanLine(y); }
  Rect Bounds() const { return picture_.ClientRect(); }
  // The pixels as a picture (for snapshots and for drawing one screen onto another).
  TDIBSurface& Picture() { return picture_; }
  const TDIBSurface& Picture() const { return picture_; }
  uint32_t GetPixel(int x, int y) const { return picture_.GetPixel(x, y); }

  // A colour 0x00BBGGRR (red in the low byte) as a pixel value of this surface.
  uint32_t ColorToPixel(int32_t color) const;

  // Helper threads that share the rows of large operations (null: this thread alone). The
  // pixels come out the same either way; the team must outlive its use here.
  void SetTeam(RowTeam* team) { team_ = team; }

  const Rect& Changed() const { return changed_; }
  // Unites r, cut to the surface, with the changed rectangle.
  void AddChanged(const Rect& r);
  void ClearChanged() { changed_ = Rect{}; }

  void PushClip(const Rect& r);
  // Popping an empty stack does nothing.
  void PopClip();
  // The current clip: the top of the stack, or the whole surface when the stack is empty.
  Rect Clip() const { return clips_.empty() ? Bounds() : clips_.back(); }
  size_t ClipDepth() const { return clips_.size(); }

  void Fill(const Rect& r, uint32_t pixel);
  // Every channel min(channel maximum, c + level channel) / max(0, c − level channel), the level
  // 0 … 255 being the grey (level, level, level) in this surface's format.
  void AddGrey(const Rect& r, int level);
  void SubtractGrey(const Rect& r, int level);
  // Plain copy of the rectangle, all bytes.
  void Copy(int x, int y, const TDIBSurface& source, const Rect& sourceRect);
  void Copy(int x, int y, const ScreenSurface& source, const Rect& sourceRect) {
    Copy(x, y, source.Picture(), sourceRect);
  }

  // Draws sourceRect (cut to the source) at (x, y), unscaled, with the options; mask may be null.
  void Draw(int x, int y, const TDIBSurface& source, const Rect& sourceRect, const TDIBSurface* mask,
            const DrawOptions& options);
  // Draws sourceRect scaled into dest (nearest neighbour, mirrored by the flips). A source
  // rectangle that reaches outside the source draws nothing (cutting it would stretch the rest).
  void DrawScaled(const Rect& dest, const TDIBSurface& source, const Rect& sourceRect, const TDIBSurface* mask,
                  const DrawOptions& options);
  // Fills pixel through the mask rectangle placed at (x, y): m' = m at opacity ≥ 255, else
  // (opacity × m) >> 8; m' 0 keeps the destination, otherwise every channel
  // ((255 − m') × d + m' × pixel) >> 8 (fourth byte 0).
  void FillMasked(int x, int y, uint32_t pixel, const TDIBSurface& mask, const Rect& maskRect, int opacity);
  // Draws the whole source rotated and zoomed; FlipX/FlipY of the options mirror it first.
  // Returns the bounding rectangle of the result (not cut to the clip). A layer, when given,
  // keeps the turn for the next draws of the same turn (32-bit surfaces; see TurnedLayer).
  Rect DrawRotated(const RotatedDraw& geometry, const TDIBSurface& source, const TDIBSurface* mask,
                   const DrawOptions& options, TurnedLayer* layer = nullptr);
  // The rectangle DrawRotated of a width × height source would cover.
  static Rect RotatedBounds(const RotatedDraw& geometry, int width, int height, bool flipX, bool flipY);

 private:
  // AddGrey and SubtractGrey, by their row kernels.
  void ShiftGrey(const Rect& r, int level, void (*row32)(uint8_t*, int, int),
                 void (*row16)(uint16_t*, int, uint16_t, const uint32_t*));
  void CheckSource(const TDIBSurface& source, const TDIBSurface* mask) const;
  // Row buffers of the scaled, mirrored and rotated draws, one set per thread of the team, kept
  // to spare an allocation per call.
  struct Scratch {
    std::vector<uint32_t> pixels;
    std::vector<uint16_t> pixels16;
    std::vector<uint8_t> mask;
    // A turned source with its mask byte in each pixel's fourth byte (see DrawRotatedRows32),
    // made for the rotated draw numbered packedFor; packedClean is false when the source used
    // its fourth bytes, so the packing is not usable.
    std::vector<uint32_t> packed;
    uint64_t packedFor = 0;
    bool packedClean = false;
  };
  // Calls rows(scratch, y0, y1) over [t, b): shared by the team when the operation covers at
  // least kShareFrom pixels of width each, else at once on this thread.
  template <class Rows>
  void ForRows(int64_t t, int64_t b, int64_t width, Rows&& rows);
  static constexpr int64_t kShareFrom = 32768;
  // The calling thread's buffers (a moved-from surface has none until it needs them).
  Scratch& FirstScratch() {
    if (scratch_.empty()) scratch_.resize(1);
    return scratch_[0];
  }
  // The gather buffer of count pixels in this surface's format.
  uint8_t* RowBuffer(Scratch& scratch, int count);
  // Runs one row of a draw: count pixels at dst from src (and mask, which may be null).
  void ApplyRow(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int count, const DrawOptions& o);
  void DrawMapped(const Rect& dest, const TDIBSurface& source, const Rect& sourceRect, const TDIBSurface* mask,
                  const DrawOptions& options);
  // The rows t .. b − 1, columns l .. r − 1 of a rotated draw onto 32-bit pixels whose unclipped
  // left edge is left.
  void DrawRotatedRows32(const RotatedDraw& g, const RotatedTurn& turn, int64_t left, int64_t l, int64_t t,
                         int64_t r, int64_t b, const TDIBSurface& from, const TDIBSurface* mask,
                         const DrawOptions& options, const DrawOptions& rowOptions);
  // The same through a layer: drawn directly the first time, kept and blended from the next.
  void DrawTurnedLayer(TurnedLayer& layer, const RotatedDraw& g, const RotatedTurn& turn, const Rect& bounds,
                       int64_t l, int64_t t, int64_t r, int64_t b, const TDIBSurface& from, const TDIBSurface* mask,
                       const DrawOptions& options, const DrawOptions& rowOptions);
  void BuildTurnedLayer(TurnedLayer& layer, const RotatedDraw& g, const RotatedTurn& turn, const Rect& bounds,
                        const TDIBSurface& from, const TDIBSurface* mask, const DrawOptions& options);
  // Whether a turned draw over columns × rows pixels of the surface packs its source, and this
  // thread's packing of it for draw number draw.
  bool PackTurned(const TDIBSurface& from, const TDIBSurface* mask, const RotatedTurn& turn, int64_t columns,
                  int64_t rows) const;
  const uint32_t* Packed(Scratch& scratch, uint64_t draw, const TDIBSurface& from, const TDIBSurface& mask);

  TDIBSurface picture_;
  Rect changed_{};
  std::vector<Rect> clips_;
  RowTeam* team_ = nullptr;
  std::vector<Scratch> scratch_ = std::vector<Scratch>(1);
  // Source columns of a scaled or mirrored draw, shared by every row.
  std::vector<int> columns_;
  // Sources of at most this many pixels are packed for rotated draws; larger ones are gathered
  // from both planes.
  static constexpr int64_t kMaxPackedPixels = int64_t{1} << 20;
  // Counts rotated draws, to tell a thread's packing from an earlier draw's.
  uint64_t draws_ = 0;
};

// The smallest rectangle holding both; an empty rectangle adds nothing.
Rect UnionRect(const Rect& a, const Rect& b);

}  // namespace orin
