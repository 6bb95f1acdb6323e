// TOrinTile (kind 20): a rectangle of the control's own size (properties 5, 6) covered with the
// current image of its file repeated edge to edge — tiled floors, scrolling skies, patterned
// window backgrounds.
//
// Properties: the file (2: an image file whose images the tile steps through, looping, or a
// motion file that moves the tile and shows the images its frames name), the scroll offsets
// (109 x, 110 y: screen pixels the pattern and the children are moved left and up by) and the
// scroll speeds (114 x, 115 y: pixels per second added to the offsets while the tile steps; 0
// stands still). The picture's size never changes the tile's own size; zoom (7, 132) scales each
// tile, flips (111, 112) mirror each tile, alpha (11) draws every tile with the image objects'
// opacity modes (blend, copy, additive, through the alpha plane when there is one, skipping the
// colour key). Rotation (31) is kept but does not turn a tile.
//
// Children are placed on the scrolled content: their screen positions lose the scroll offsets
// (ContentOffsetX/Y), so a child moves with the pattern.
//
// Save record, after TOrinCustomImages': the file (string), scroll x, scroll y, speed x, speed y
// (int32). Loading sets the file again and shows the saved image.
#pragma once

#include <cstdint>
#include <string>

#include "scene/objects/orin_custom_image.h"

namespace orin {

class TOrinTile : public TOrinCustomImages {
 public:
  static constexpr int kPropScrollX = 109;
  static constexpr int kPropScrollY = 110;
  static constexpr int kPropSpeedX = 114;
  static constexpr int kPropSpeedY = 115;

  TOrinTile(TOrinBaseList* owner, const SceneServices& services) : TOrinCustomImages(owner, services, 1) {}

  uint8_t Kind() const override { return kKindTile; }
  // A tile's images repeat for as long as it shows them.
  bool Loop() const override { return true; }

  const std::string& File() const { return file_; }
  void SetFile(const std::string& file);
  int32_t ScrollX() const { return scrollX_; }
  int32_t ScrollY() const { return scrollY_; }
  void SetScroll(int32_t x, int32_t y);

  // The pattern is not a picture the children sit on: they are placed by plain zoom.
  int32_t ImageWidth() const override { return 0; }
  int32_t ImageHeight() const override { return 0; }
  int32_t ContentOffsetX() const override { return scrollX_; }
  int32_t ContentOffsetY() const override { return scrollY_; }
  Rect ScreenRect() const override { return TOrinControl::ScreenRect(); }
  void Draw(ScreenSurface& surface) override;

  bool Step() override;
  void GetProp(int number, TCustomParam& dest) override;
  void SetProp(int number, const TCustomParam& value) override;
  void Save(Stream& s, int version) const override;
  void Load(Stream& s, int version) override;

 protected:
  void FitToPicture() override {}

 private:
  std::string file_;
  int32_t scrollX_ = 0;
  int32_t scrollY_ = 0;
  int32_t speedX_ = 0;
  int32_t speedY_ = 0;
  // Pixel-thousandths of the speeds not yet added to the offsets.
  int64_t restX_ = 0;
  int64_t restY_ = 0;
};

}  // namespace orin
