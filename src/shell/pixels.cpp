#include "shell/pixels.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/cp932.h"
#include "core/error.h"
#include "imaging/image_codecs.h"

namespace orin {

void PixelBuffer::Resize(int width, int height, uint32_t fill) {
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  pixels_.assign(static_cast<size_t>(width_) * static_cast<size_t>(height_), fill);
}

void PixelBuffer::FillRect(const Rect& r, uint32_t pixel) {
  Rect cut;
  if (!IntersectRect(cut, r, Bounds())) return;
  for (int y = cut.Top; y < cut.Bottom; ++y)
    std::fill(Row(y) + cut.Left, Row(y) + cut.Right, pixel);
}

bool PixelBuffer::CopyRects(const FrameView& source, const std::vector<Rect>& rects) {
  if (source.Empty()) return false;
  const Rect sourceBounds{0, 0, source.Width, source.Height};
  bool copied = false;
  for (const Rect& r : rects) {
    Rect cut;
    if (!IntersectRect(cut, r, sourceBounds) || !IntersectRect(cut, cut, Bounds())) continue;
    for (int y = cut.Top; y < cut.Bottom; ++y)
      std::copy(source.Row(y) + cut.Left, source.Row(y) + cut.Right, Row(y) + cut.Left);
    copied = true;
  }
  return copied;
}

void WritePng(const std::string& hostPath, const FrameView& view) {
  if (view.Empty()) throw Error(FromUtf8(hostPath + ": nothing has been shown yet"));
  std::vector<uint8_t> rgba(static_cast<size_t>(view.Width) * static_cast<size_t>(view.Height) * 4);
  uint8_t* out = rgba.data();
  for (int y = 0; y < view.Height; ++y) {
    const uint32_t* row = view.Row(y);
    for (int x = 0; x < view.Width; ++x) {
      *out++ = static_cast<uint8_t>(row[x] >> 16);
      *out++ = static_cast<uint8_t>(row[x] >> 8);
      *out++ = static_cast<uint8_t>(row[x]);
      *out++ = 255;
    }
  }
  auto png =
      EncodePngRgba(rgba.data(), view.Width, view.Height, static_cast<size_t>(view.Width) * 4);
  std::string partial = hostPath;
  partial.append(".partial");
  FILE* f = std::fopen(partial.c_str(), "wb");
  bool ok = f != nullptr && std::fwrite(png->Data(), 1, png->Size(), f) == png->Size();
  int saved = errno;
  if (f != nullptr && std::fclose(f) != 0 && ok) {
    ok = false;
    saved = errno;
  }
  if (ok && std::rename(partial.c_str(), hostPath.c_str()) != 0) {
    ok = false;
    saved = errno;
  }
  if (!ok) {
    std::remove(partial.c_str());
    std::string message = hostPath;
    message.append(": cannot write: ").append(std::strerror(saved));
    throw Error(FromUtf8(message));
  }
}

}  // namespace orin
