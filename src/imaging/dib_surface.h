// TDIBSurface: the in-memory picture with which images are decoded, composed from their layers,
// trimmed, resized and handed to the compositor.
//
// A surface is a device-independent bitmap of 1, 4, 8, 15, 16, 24 or 32 bits per pixel with an
// optional 8-bit alpha plane (0 transparent, 255 opaque). Rows are stored from the top; each row
// holds width × storage bits rounded up to a multiple of 32 bits, and the padding bytes are zero
// after SetSize. A 15-bit surface is stored as 16 bits with the masks 0x7C00 / 0x3E0 / 0x1F.
//
// Pixel values by depth: 1, 4, 8 a palette index (bits and nibbles high first); 15 0RRRRRGGGGGBBBBB;
// 16 RRRRRGGGGGGBBBBB; 24 0x00RRGGBB (three bytes blue, green, red); 32 0xXXRRGGBB.
//
// Drawing: every drawing operation takes a destination position, a source rectangle and a source
// surface of the same depth (a different depth is refused with Error). The source rectangle is
// first cut to the source surface, then the destination area is cut to ClipRect (or the whole
// surface while ClipRect is empty), the source rectangle shortened by the same amounts; nothing
// outside either surface is ever read or written. The per-pixel arithmetic of each depth is fixed
// and documented at each operation.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "imaging/geometry.h"

namespace orin {

struct PaletteEntry {
  uint8_t Blue = 0;
  uint8_t Green = 0;
  uint8_t Red = 0;
  uint8_t Reserved = 0;
  bool operator==(const PaletteEntry&) const = default;
};

struct Rgb {
  uint8_t Red = 0;
  uint8_t Green = 0;
  uint8_t Blue = 0;
  bool operator==(const Rgb&) const = default;
};

class TDIBSurface {
 public:
  // No surface is larger than this: a side of at most 32767 pixels and at most 64 Mi pixels in
  // all (an 8192 × 8192 picture). SetSize refuses more, so a size read from a file never sizes an
  // absurd allocation.
  static constexpr int kMaxSide = 32767;
  static constexpr int64_t kMaxPixels = int64_t{1} << 26;

  TDIBSurface() = default;
  TDIBSurface(int width, int height, int depth) { SetSize(width, height, depth); }
  ~TDIBSurface() = default;
  TDIBSurface(const TDIBSurface&) = delete;
  TDIBSurface& operator=(const TDIBSurface&) = delete;
  // A surface moved from is empty (never sized), not a size without pixels.
  TDIBSurface(TDIBSurface&& other) noexcept { *this = std::move(other); }
  TDIBSurface& operator=(TDIBSurface&& other) noexcept;

  // 15 selects 16-bit storage with the 15-bit masks, 16 the 16-bit masks, any other depth the
  // 8-8-8 masks. The pixels are allocated and zeroed; an existing alpha plane is resized to match
  // (and zeroed). Throws Error for another depth or a size beyond the limits above. With clear
  // false only the row padding is zeroed and the pixels are left undefined, for a caller that
  // writes every pixel next (a decoder); it saves touching memory twice.
  void SetSize(int width, int height, int depth, bool clear = true);

  int Width() const { return width_; }
  int Height() const { return height_; }
  // 15 for a 16-bit surface whose green mask is 0x3E0; 0 for a surface never sized.
  int BitCount() const { return storageBits_ == 16 && Masks[1] == 0x3E0 ? 15 : storageBits_; }
  int StorageBits() const { return storageBits_; }
  bool Empty() const { return width_ == 0 || height_ == 0; }
  // Bytes of one stored row, and the signed step from one row to the next (rows from the top).
  int RowSize() const { return rowSize_; }
  ptrdiff_t RowStep() const { return rowSize_; }
  size_t ImageSize() const { return static_cast<size_t>(rowSize_) * static_cast<size_t>(height_); }
  uint8_t* Bits() { return pixels_.get(); }
  const uint8_t* Bits() const { return pixels_.get(); }
  uint8_t* ScanLine(int y) { return pixels_.get() + static_cast<ptrdiff_t>(y) * RowStep(); }
  const uint8_t* ScanLine(int y) const { return pixels_.get() + static_cast<ptrdiff_t>(y) * RowStep(); }
  Rect ClientRect() const { return Rect{0, 0, width_, height_}; }

  // One pixel value; the position must lie inside the surface.
  uint32_t GetPixel(int x, int y) const;
  void SetPixel(int x, int y, uint32_t value);

  // Channels 0–255. Depth 8 or less: the nearest palette index (squared distance, the first of
  // equals); 15 and 16: the high bits of each channel; 24 and 32: 0x00RRGGBB.
  uint32_t ColorToPixel(int red, int green, int blue) const;
  // Depth 8 or less: the palette entry (of the index's low byte). 15 and 16: each channel's bits
  // moved to the top of the byte; with fill a non-zero channel gets its vacated low bits set.
  // 24 and 32: the three low bytes.
  Rgb PixelToRGB(uint32_t value, bool fill = false) const;
  int NearestPaletteIndex(int red, int green, int blue) const;
  // A grey ramp: entry i is (i, i, i). Alpha planes carry it.
  void SetGreyPalette();

  // Copies the pixels of the rectangle.
  void CopyFrom(int x, int y, const Rect& sourceRect, const TDIBSurface& source);
  // Copies the pixels whose value differs from key: 32 bits compare all four bytes (so −1 matches
  // 0xFFFFFFFF), 24 bits the three bytes (a key below 0 matches nothing), other depths the value.
  void DrawKeyed(int x, int y, int32_t key, const Rect& sourceRect, const TDIBSurface& source);
  // Draws with a global opacity (0 nothing; above 254, or below 0, a keyed copy). Depth 8 or less
  // dithers with level L = opacity div 16 (L > 14 is a keyed copy): the source replaces the
  // destination where the ordered-dither threshold at the destination position is at most L.
  // 15/16 bits: per mask m, m & (((255 − a) × (d & m) + a × (s & m)) div 255). 24 bits: per byte
  // ((255 − a) × d + a × s) div 255. 32 bits: per channel (d × (255 − a) + s × a) >> 8, the
  // fourth byte 0. Source pixels equal to key are skipped as in DrawKeyed.
  void DrawBlend(int x, int y, int opacity, int32_t key, const Rect& sourceRect, const TDIBSurface& source);
  // Draws through the source's alpha plane α (without one: DrawBlend(opacity, −1)). Depth 8 or
  // less: s where α ≥ 128. 15/16: α 0 keeps d, 255 writes s, else per mask
  // m & (((d & m) × (255 − α) + (s & m) × α) >> 8). 24 with opacity ≥ 255: α 0 keeps, 255 writes,
  // else per byte (s × α + d × (255 − α)) >> 8; 24 with opacity < 255: α′ = (opacity × α) >> 8,
  // pixels with opacity × α < 256 kept, else the same with α′. 32: α 0 keeps, 255 writes all four
  // bytes, else as DrawBlend at 32 bits with α. Only the 24-bit path uses opacity.
  void DrawAlpha(int x, int y, int opacity, const Rect& sourceRect, const TDIBSurface& source);
  // Fills the rectangle, cut to the surface, with the pixel value.
  void FillRect(const Rect& rect, uint32_t value);

  // Creates the plane (zeroed, with a grey palette) or resizes it when its size differs; callers
  // fill or copy it right afterwards.
  void CreateAlpha();
  void DropAlpha() { Alpha.reset(); }
  bool HasAlpha() const { return Alpha != nullptr; }
  // Creates the plane and copies source's rows into it; source is an 8-bit surface of this size.
  void CopyAlpha(const TDIBSurface& source);
  // Every alpha value 255; nothing without a plane.
  void FillAlpha();

  // With key −1 the whole surface; otherwise the smallest rectangle holding every pixel whose
  // value differs from key (compared as DrawKeyed compares at 32 bits: the whole stored value),
  // or the empty rectangle (0, 0, 0, 0) when there is none.
  Rect OpaqueBounds(int32_t key) const;
  // Crops to OpaqueBounds(key) unless that is the whole surface; an empty result becomes the
  // 1 × 1 rectangle at the origin.
  void TrimTo(int32_t key);
  // The surface becomes a copy of the rectangle (cut to the surface), keeping depth, palette and
  // masks; the alpha plane is cropped likewise.
  void Crop(const Rect& rect);
  // A complete copy of other: pixels, depth, masks, palette and alpha plane (freed when other has
  // none). ClipRect is kept.
  void AssignFrom(const TDIBSurface& other);
  // Scales to width × height; the alpha plane first, with key −1 and the same smooth flag. Not
  // smooth: nearest neighbour at the same depth (destination x takes source x × old / new).
  // Smooth: bilinear when enlarging in either direction, else a box average that skips pixels
  // equal to key (compared as 24-bit values 0x00RRGGBB); the result returns to the former depth
  // (palette depths through the nearest palette entry), except that 32 bits become 24.
  void Resize(int width, int height, int32_t key, bool smooth);

  // Swaps the pixel storage with other, which must have the same size and depth; palettes, masks
  // and alpha planes stay. Lets a reader hand a decoded plane over without copying it.
  void SwapPixels(TDIBSurface& other);

  std::array<PaletteEntry, 256> Palette{};
  uint32_t Masks[3] = {0xFF0000, 0xFF00, 0xFF};
  Rect ClipRect{};
  std::unique_ptr<TDIBSurface> Alpha;

 private:
  struct FreeBytes {
    void operator()(uint8_t* p) const { std::free(p); }
  };

  // Cuts a drawing operation to both surfaces; false when nothing is left.
  bool ClipDraw(int& x, int& y, Rect& sourceRect, const TDIBSurface& source) const;
  void CheckSameDepth(const TDIBSurface& source) const;

  int width_ = 0;
  int height_ = 0;
  int storageBits_ = 0;
  int rowSize_ = 0;
  std::unique_ptr<uint8_t[], FreeBytes> pixels_;
};

}  // namespace orin
