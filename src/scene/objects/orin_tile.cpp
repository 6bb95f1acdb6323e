#include "scene/objects/orin_tile.h"

#include "imaging/screen_surface.h"
#include "params/custom_param.h"
#include "resources/stream.h"
#include "scene/model/orin_base_list.h"
#include "scene/model/property_table.h"
#include "scene/objects/orin_images.h"

namespace orin {

namespace {

// Larger tiles than this are not drawn: the pattern's arithmetic stays far from int32's edge.
constexpr int64_t kMaxTileSize = int64_t{1} << 28;

// The left (or top) edge of the first tile that reaches into [edge, …): the pattern starts at
// origin − (scroll mod size) and repeats every size pixels.
int64_t FirstTile(int64_t origin, int64_t scroll, int64_t size, int64_t edge) {
  int64_t start = origin - ((scroll % size) + size) % size;
  if (start + size <= edge) start += (edge - start) / size * size;
  return start;
}

// Adds whole pixels of speed × milliseconds / 1000 to an offset; the fraction stays in rest.
int32_t Advance(int32_t offset, int32_t speed, int32_t delta, int64_t& rest) {
  rest += int64_t{speed} * delta;
  const int64_t pixels = rest / 1000;
  rest -= pixels * 1000;
  // Offsets wrap rather than stop: a tile that scrolls for months keeps scrolling.
  return static_cast<int32_t>(static_cast<uint32_t>(offset) + static_cast<uint32_t>(pixels));
}

}  // namespace

void TOrinTile::SetFile(const std::string& file) {
  if (file == file_) return;
  file_ = file;
  ResetImage();
  DetachMotion();
  ClearMotionImages();
  List(0).Clear();
  switch (TOrinImages::KindOfFile(file)) {
    case TOrinImages::FileKind::kImages:
      List(0).Load(Services().Images(), file);
      break;
    case TOrinImages::FileKind::kMotion:
      LoadMotionFile(file);
      break;
    case TOrinImages::FileKind::kNone:
      break;
  }
  if (Images().Count() > 0) ShowImage(0);
}

void TOrinTile::SetScroll(int32_t x, int32_t y) {
  if (x == scrollX_ && y == scrollY_) return;
  scrollX_ = x;
  scrollY_ = y;
  PlacementChanged();
  // Children are clipped to the tile, so its own rectangle covers everything that moved.
  Invalidate();
}

void TOrinTile::Draw(ScreenSurface& surface) {
  const FrameDrawable* picture = CurrentPicture();
  if (!picture || Alpha() < 1) return;
  const TDIBSurface& color = picture->Color;
  const int64_t w = int64_t{color.Width()} * ZoomX() / 256, h = int64_t{color.Height()} * ZoomY() / 256;
  if (w < 1 || h < 1 || w > kMaxTileSize || h > kMaxTileSize) return;
  Rect area;
  if (!IntersectRect(area, ScreenRect(), surface.Clip())) return;
  DrawOptions options;
  options.Opacity = Alpha();
  options.Key = picture->TransparentValue;
  options.FlipX = FlipX();
  options.FlipY = FlipY();
  const TDIBSurface* mask = color.Alpha.get();
  const bool scaled = w != color.Width() || h != color.Height();
  for (int64_t y = FirstTile(ScreenY(), scrollY_, h, area.Top); y < area.Bottom; y += h)
    for (int64_t x = FirstTile(ScreenX(), scrollX_, w, area.Left); x < area.Right; x += w) {
      const auto left = static_cast<int32_t>(x), top = static_cast<int32_t>(y);
      if (scaled)
        surface.DrawScaled(Rect{left, top, static_cast<int32_t>(x + w), static_cast<int32_t>(y + h)}, color,
                           color.ClientRect(), mask, options);
      else
        surface.Draw(left, top, color, color.ClientRect(), mask, options);
    }
}

bool TOrinTile::Step() {
  if (TOrinCustomImages::Step()) return true;
  if ((speedX_ != 0 || speedY_ != 0) && !Paused()) {
    const int32_t delta = Owner() ? Owner()->FrameDelta() : 0;
    const int32_t x = Advance(scrollX_, speedX_, delta, restX_);
    const int32_t y = Advance(scrollY_, speedY_, delta, restY_);
    SetScroll(x, y);
  }
  return false;
}

void TOrinTile::GetProp(int number, TCustomParam& dest) {
  switch (number) {
    case kPropFile:
      dest.SetAsStr(file_);
      return;
    case kPropScrollX:
      dest.SetAsInt(scrollX_);
      return;
    case kPropScrollY:
      dest.SetAsInt(scrollY_);
      return;
    case kPropSpeedX:
      dest.SetAsInt(speedX_);
      return;
    case kPropSpeedY:
      dest.SetAsInt(speedY_);
      return;
    default:
      TOrinCustomImages::GetProp(number, dest);
  }
}

void TOrinTile::SetProp(int number, const TCustomParam& value) {
  switch (number) {
    case kPropFile:
      SetFile(value.GetAsStr());
      return;
    case kPropScrollX:
      SetScroll(value.GetAsInt(), scrollY_);
      return;
    case kPropScrollY:
      SetScroll(scrollX_, value.GetAsInt());
      return;
    case kPropSpeedX:
      speedX_ = value.GetAsInt();
      restX_ = 0;
      return;
    case kPropSpeedY:
      speedY_ = value.GetAsInt();
      restY_ = 0;
      return;
    default:
      TOrinCustomImages::SetProp(number, value);
  }
}

void TOrinTile::Save(Stream& s, int version) const {
  TOrinCustomImages::Save(s, version);
  WriteString(s, file_);
  for (int32_t v : {scrollX_, scrollY_, speedX_, speedY_}) WriteInt32(s, v);
}

void TOrinTile::Load(Stream& s, int version) {
  TOrinCustomImages::Load(s, version);
  const std::string file = ReadString(s);
  const int32_t x = ReadInt32(s);
  const int32_t y = ReadInt32(s);
  speedX_ = ReadInt32(s);
  speedY_ = ReadInt32(s);
  restX_ = restY_ = 0;
  SetScroll(x, y);
  file_.clear();
  SetFile(file);
  RestoreSavedIndex();
}

}  // namespace orin
