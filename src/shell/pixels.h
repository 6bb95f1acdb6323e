// 32-bit pixel buffers as the shell presents them: 0xXXRRGGBB per pixel (the top byte is
// ignored), rows `Pitch` pixels apart. The scene's screen surfaces hand their pixels over as a
// FrameView, so the shell never depends on how the scene keeps them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "imaging/geometry.h"

namespace orin {

struct FrameView {
  const uint32_t* Pixels = nullptr;
  int Width = 0;
  int Height = 0;
  int Pitch = 0;  // pixels from one row to the next

  bool Empty() const { return Pixels == nullptr || Width <= 0 || Height <= 0; }
  const uint32_t* Row(int y) const { return Pixels + static_cast<ptrdiff_t>(y) * Pitch; }
};

class PixelBuffer {
 public:
  PixelBuffer() = default;
  PixelBuffer(int width, int height, uint32_t fill = 0) { Resize(width, height, fill); }

  // Every pixel becomes fill; sizes below 0 count as 0.
  void Resize(int width, int height, uint32_t fill = 0);
  void Fill(uint32_t pixel) { pixels_.assign(pixels_.size(), pixel); }
  // The rectangle cut to the buffer.
  void FillRect(const Rect& r, uint32_t pixel);
  // Copies the parts of the rectangles that lie inside both the source and this buffer, from
  // the same position in the source. Returns whether any pixel was copied.
  bool CopyRects(const FrameView& source, const std::vector<Rect>& rects);

  int Width() const { return width_; }
  int Height() const { return height_; }
  Rect Bounds() const { return Rect{0, 0, width_, height_}; }
  uint32_t* Row(int y) {
    return pixels_.data() + static_cast<size_t>(y) * static_cast<size_t>(width_);
  }
  uint32_t Pixel(int x, int y) const {
    return pixels_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)];
  }
  void SetPixel(int x, int y, uint32_t pixel) {
    pixels_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)] = pixel;
  }
  FrameView View() const { return FrameView{pixels_.data(), width_, height_, width_}; }

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<uint32_t> pixels_;
};

// Writes the view as an 8-bit RGBA PNG (fully opaque) through a temporary file and a rename.
// Throws Error when it cannot be written.
void WritePng(const std::string& hostPath, const FrameView& view);

}  // namespace orin
