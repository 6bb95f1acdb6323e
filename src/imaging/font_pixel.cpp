#include "imaging/font_pixel.h"

#include <algorithm>

#include "imaging/draw_char.h"

namespace orin {

namespace {

constexpr uint8_t kMode0[] = {0, 255};
constexpr uint8_t kMode1[] = {0, 79, 127, 207, 255};
constexpr uint8_t kMode2[] = {0, 43, 55, 67, 79, 91, 103, 115, 159, 171, 183, 195, 207, 219, 231, 243, 255};
constexpr uint8_t kMode3[] = {0,   18,  21,  24,  27,  30,  33,  36,  55,  58,  61,  64,  67,  70,  73,  76,  79,
                              82,  85,  88,  91,  94,  97,  100, 119, 122, 125, 128, 131, 134, 137, 140, 143, 146,
                              149, 152, 155, 158, 161, 164, 183, 186, 189, 192, 195, 198, 201, 204, 207, 210, 213,
                              216, 219, 222, 225, 228, 231, 234, 237, 240, 243, 246, 249, 252, 255};
static_assert(sizeof kMode3 == 65);

}  // namespace

std::span<const uint8_t> LevelMap(int mode) {
  switch (mode) {
    case 0:
      return kMode0;
    case 1:
      return kMode1;
    case 2:
      return kMode2;
    default:
      return kMode3;
  }
}

TFontPixelManager::TFontPixelManager(std::unique_ptr<GlyphRasterizer> rasterizer)
    : rasterizer_(std::move(rasterizer)) {}

TFontPixelManager::~TFontPixelManager() = default;

TFontPixelManager::MruList::iterator TFontPixelManager::FindEntry(uint16_t code, const std::string& fontName, int mode,
                                                                  uint8_t style, int32_t height) const {
  for (MruList::iterator it : buckets_[code & 0xFF]) {
    const TFontPixel& g = **it;
    if (g.Code == code && g.RenderMode == mode && g.Style == style && g.FontHeight == height &&
        g.FontName == fontName)
      return it;
  }
  return mru_.end();
}

TFontPixelManager::GlyphPtr TFontPixelManager::FindGlyph(uint16_t code, const std::string& fontName, int mode,
                                                         uint8_t style, int32_t height) const {
  auto it = FindEntry(code, fontName, mode, style, height);
  return it == mru_.end() ? nullptr : *it;
}

TFontPixelManager::GlyphPtr TFontPixelManager::GetGlyph(uint16_t code, const std::string& fontName, uint8_t style,
                                                        int32_t height) {
  if (auto it = FindEntry(code, fontName, RenderMode(), style, height); it != mru_.end()) {
    mru_.splice(mru_.begin(), mru_, it);
    return *it;
  }
  Entry glyph = Rasterize(code, fontName, style, height);
  mru_.push_front(glyph);
  buckets_[code & 0xFF].push_back(mru_.begin());
  if (mru_.size() > kCapacity) {
    auto last = std::prev(mru_.end());
    auto& bucket = buckets_[(*last)->Code & 0xFF];
    bucket.erase(std::find(bucket.begin(), bucket.end(), last));
    mru_.pop_back();
  }
  return glyph;
}

std::shared_ptr<TFontPixel> TFontPixelManager::Rasterize(uint16_t code, const std::string& fontName, uint8_t style,
                                                         int32_t height) {
  if (!fontSelected_ || fontName != fontName_ || height != fontHeight_ || style != fontStyle_) {
    rasterizer_->SelectFont(fontName, height, style);
    fontSelected_ = true;
    fontName_ = fontName;
    fontHeight_ = height;
    fontStyle_ = style;
  }

  int mode = RenderMode();
  RasterGlyph raster;
  RasterResult result = rasterizer_->Rasterize(code, mode, raster);
  if (result == RasterResult::kFormatRefused && mode != 0) {
    greyRefused_ = true;
    mode = 0;
    result = rasterizer_->Rasterize(code, mode, raster);
  }

  auto glyph = std::make_shared<TFontPixel>();
  glyph->Code = code;
  glyph->FontName = fontName;
  glyph->FontHeight = height;
  glyph->Style = style;
  glyph->RenderMode = mode;
  const FontMetrics& metrics = rasterizer_->Metrics();
  // Bars belong to blanks too, or an underlined space would break the line under the text.
  if (style & 4) glyph->UnderlineSize = metrics.UnderscoreSize;
  if (style & 8) {
    glyph->StrikePosition = metrics.Ascent - metrics.StrikeoutPosition;
    glyph->StrikeSize = metrics.StrikeoutSize;
  }

  const int width = raster.BlackBoxWidth;
  const size_t rowBytes =
      width <= 0 ? 0 : mode == 0 ? (static_cast<size_t>(width) + 31) / 32 * 4 : (static_cast<size_t>(width) + 3) / 4 * 4;
  size_t rows = raster.BlackBoxHeight > 0 ? static_cast<size_t>(raster.BlackBoxHeight) : 0;
  // The data decides how many rows there are when it holds more than the box says; it also
  // bounds what is read when it holds fewer.
  if (rowBytes > 0 && rows * rowBytes != raster.Data.size()) rows = raster.Data.size() / rowBytes;

  if (result != RasterResult::kOk || rows == 0 || rowBytes == 0) {
    glyph->ExtraAdvance = rasterizer_->TextWidth(code);
    glyph->AbcC = glyph->ExtraAdvance;
    return glyph;
  }

  glyph->CoverageWidth = width;
  glyph->CoverageHeight = static_cast<int>(rows);
  glyph->Coverage.resize(static_cast<size_t>(width) * rows);
  const std::span<const uint8_t> map = LevelMap(mode);
  for (size_t y = 0; y < rows; ++y) {
    const uint8_t* src = raster.Data.data() + y * rowBytes;
    uint8_t* dst = glyph->Coverage.data() + y * static_cast<size_t>(width);
    if (mode == 0) {
      for (int x = 0; x < width; ++x) dst[x] = (src[x >> 3] >> (7 - (x & 7))) & 1 ? 255 : 0;
    } else {
      for (int x = 0; x < width; ++x) dst[x] = src[x] < map.size() ? map[src[x]] : 255;
    }
  }
  glyph->XOffset = std::max(0, raster.OriginX);
  glyph->YOffset = std::max(0, metrics.Ascent - raster.OriginY);
  glyph->ExtraAdvance = std::max(0, raster.CellIncX - width - glyph->XOffset);
  glyph->AbcA = raster.AbcA;
  glyph->AbcB = raster.AbcB;
  glyph->AbcC = raster.AbcC;
  return glyph;
}

void TFontPixelManager::DrawChar(const TFontPixel& glyph, TDIBSurface& colour, TDIBSurface& alpha, bool replace,
                                 Rect& changed, uint32_t shadowColour, uint32_t borderColour, uint32_t textColour,
                                 bool joinLeft, bool joinRight, int shadowOffset, int borderWidth,
                                 const Rect& cell) const {
  orin::DrawChar(glyph, colour, alpha, replace, changed, shadowColour, borderColour, textColour, joinLeft, joinRight,
                 shadowOffset, borderWidth, cell);
}

}  // namespace orin
