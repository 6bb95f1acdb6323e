#include "shell/display_scale.h"

#include <algorithm>
#include <cstdint>

namespace orin {
namespace {

Rect Centred(int width, int height, int outputWidth, int outputHeight) {
  const int left = (outputWidth - width) / 2, top = (outputHeight - height) / 2;
  return Rect{left, top, left + width, top + height};
}

int MapAxis(int v, int start, int length, int content) {
  const int64_t offset = std::clamp<int64_t>(int64_t{v} - start, 0, int64_t{length} - 1);
  // The texel whose span holds the output pixel's centre, as nearest-neighbour drawing picks it.
  return static_cast<int>((offset * 2 + 1) * content / (int64_t{length} * 2));
}

}  // namespace

std::optional<ScaleMode> ParseScaleMode(std::string_view word) {
  if (word == "fit") return ScaleMode::kFit;
  if (word == "integer") return ScaleMode::kInteger;
  if (word == "stretch") return ScaleMode::kStretch;
  return std::nullopt;
}

std::optional<ScaleFilter> ParseScaleFilter(std::string_view word) {
  if (word == "nearest") return ScaleFilter::kNearest;
  if (word == "linear") return ScaleFilter::kLinear;
  return std::nullopt;
}

Rect ScaledRect(ScaleMode mode, int contentWidth, int contentHeight, int outputWidth,
                int outputHeight) {
  if (contentWidth <= 0 || contentHeight <= 0 || outputWidth <= 0 || outputHeight <= 0) return {};
  if (mode == ScaleMode::kStretch) return Rect{0, 0, outputWidth, outputHeight};
  if (mode == ScaleMode::kInteger) {
    const int factor = std::min(outputWidth / contentWidth, outputHeight / contentHeight);
    if (factor >= 1)
      return Centred(contentWidth * factor, contentHeight * factor, outputWidth, outputHeight);
  }
  // Fit: the full width when the output is relatively taller than the picture, else the full
  // height; the other side rounded to the nearest pixel and never 0.
  const int64_t crossW = int64_t{outputWidth} * contentHeight;
  const int64_t crossH = int64_t{outputHeight} * contentWidth;
  int width = outputWidth, height = outputHeight;
  if (crossW <= crossH)
    height = static_cast<int>((int64_t{outputWidth} * contentHeight * 2 + contentWidth) /
                              (int64_t{contentWidth} * 2));
  else
    width = static_cast<int>((int64_t{outputHeight} * contentWidth * 2 + contentHeight) /
                             (int64_t{contentHeight} * 2));
  width = std::clamp(width, 1, outputWidth);
  height = std::clamp(height, 1, outputHeight);
  return Centred(width, height, outputWidth, outputHeight);
}

bool IsWholeMultiple(const Rect& shown, int contentWidth, int contentHeight) {
  if (contentWidth <= 0 || contentHeight <= 0 || shown.Width() <= 0) return false;
  return shown.Width() % contentWidth == 0 && shown.Height() % contentHeight == 0 &&
         shown.Width() / contentWidth == shown.Height() / contentHeight;
}

ContentPoint OutputToContent(const Rect& shown, int contentWidth, int contentHeight, int x, int y) {
  ContentPoint p;
  if (shown.Width() <= 0 || shown.Height() <= 0 || contentWidth <= 0 || contentHeight <= 0)
    return p;
  p.Inside = x >= shown.Left && x < shown.Right && y >= shown.Top && y < shown.Bottom;
  p.X = MapAxis(x, shown.Left, shown.Width(), contentWidth);
  p.Y = MapAxis(y, shown.Top, shown.Height(), contentHeight);
  return p;
}

int WindowToOutput(int v, int windowSize, int outputSize) {
  if (windowSize <= 0 || outputSize <= 0) return 0;
  return static_cast<int>(int64_t{v} * outputSize / windowSize);
}

}  // namespace orin
