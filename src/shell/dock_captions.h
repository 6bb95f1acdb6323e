// DockCaptions: the captions of the dock's buttons ("終了", "画面切替"), drawn with the player's own
// glyph cache and rasteriser in the window's font, "ＭＳ Ｐゴシック" of height −12 (its installed
// stand-in), black on the button face, centred in the button's face (the face moves with a
// sunk button, so the caption does too).
//
// The glyphs come from a cache of its own (TFontPixelManager over FreeTypeRasterizer), so the
// dock never disturbs the game's glyph cache and outlives the game. A font that cannot be made
// leaves the caption blank.
#pragma once

#include <memory>
#include <string>

#include "shell/toolbar.h"

namespace orin {

class FontFinder;
class GlyphRasterizer;
class TFontPixelManager;

class DockCaptions final : public CaptionRenderer {
 public:
  static constexpr int32_t kFontHeight = -12;
  static constexpr uint32_t kTextColour = 0x000000;
  static const std::string& FontName();  // cp932

  // The font finder must outlive the captions.
  explicit DockCaptions(FontFinder& fonts);
  // Over any rasteriser (tests).
  explicit DockCaptions(std::unique_ptr<GlyphRasterizer> rasterizer);
  ~DockCaptions() override;
  DockCaptions(const DockCaptions&) = delete;
  DockCaptions& operator=(const DockCaptions&) = delete;

  void DrawCaption(PixelBuffer& dock, const Rect& area, const std::string& caption,
                   bool pressed) override;

 private:
  std::unique_ptr<TFontPixelManager> glyphs_;
};

}  // namespace orin
