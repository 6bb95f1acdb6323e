#include "scene/objects/orin_custom_image.h"

#include <algorithm>
#include <cstdlib>

#include "core/cp932.h"
#include "imaging/screen_surface.h"
#include "params/custom_param.h"
#include "params/orin_parser.h"
#include "resources/stream.h"
#include "scene/model/orin_base_list.h"
#include "scene/model/property_table.h"
#include "scene/text/text_services.h"

namespace orin {

namespace {

constexpr int kPropBrightness = 42;
constexpr int kPropImageFlag = 88;

int32_t Scaled(int64_t size, int64_t zoom) {
  return static_cast<int32_t>(std::clamp<int64_t>(size * zoom / 256, 0, INT32_MAX));
}

// A copy of the picture with the grey level added (lighter) or subtracted (darker). Pixels that
// showed the colour key keep it, so that the copy stays as transparent as the image.
std::shared_ptr<const FrameDrawable> Brightened(const FrameDrawable& from, int32_t brightness) {
  const TDIBSurface& color = from.Color;
  ScreenSurface work(color.Width(), color.Height(), 32);
  work.Copy(0, 0, color, color.ClientRect());
  const int level = static_cast<int>(std::min<int64_t>(std::llabs(int64_t{brightness}), 255));
  if (brightness > 0)
    work.AddGrey(work.Bounds(), level);
  else
    work.SubtractGrey(work.Bounds(), level);
  auto copy = std::make_shared<FrameDrawable>();
  copy->Color = std::move(work.Picture());
  if (from.TransparentValue >= 0 && !color.HasAlpha()) {
    const uint32_t key = static_cast<uint32_t>(from.TransparentValue);
    for (int y = 0; y < color.Height(); ++y) {
      const uint32_t* src = reinterpret_cast<const uint32_t*>(color.ScanLine(y));
      uint32_t* dst = reinterpret_cast<uint32_t*>(copy->Color.ScanLine(y));
      for (int x = 0; x < color.Width(); ++x)
        if (src[x] == key) dst[x] = key;
    }
  }
  if (color.HasAlpha()) copy->Color.CopyAlpha(*color.Alpha);
  copy->TransparentValue = from.TransparentValue;
  copy->RectsA = from.RectsA;
  copy->RectsB = from.RectsB;
  return copy;
}

}  // namespace

// ---- ImageList

void ImageList::Load(TMuraCollection* cache, const std::string& name) {
  images_ = cache ? cache->Images(name) : nullptr;
}

std::shared_ptr<const FrameDrawable> ImageList::Picture(int32_t i) const {
  return std::shared_ptr<const FrameDrawable>(images_, &images_->Images[static_cast<size_t>(i)].Picture);
}

const std::string& ImageList::Name() const {
  static const std::string kNoName;
  return images_ ? images_->Name : kNoName;
}

// ---- TOrinCustomImage

TOrinCustomImage::TOrinCustomImage(TOrinBaseList* owner, const SceneServices& services)
    : TOrinControl(owner), services_(services) {}

TOrinCustomImage::~TOrinCustomImage() = default;

int32_t TOrinCustomImage::ImageWidth() const { return picture_ ? picture_->Color.Width() : 0; }
int32_t TOrinCustomImage::ImageHeight() const { return picture_ ? picture_->Color.Height() : 0; }

void TOrinCustomImage::SetAlpha(int32_t alpha) {
  if (alpha == alpha_) return;
  alpha_ = alpha;
  Invalidate();
}

void TOrinCustomImage::SetRotation(int32_t rotation) {
  if (rotation == rotation_) return;
  Invalidate();
  rotation_ = rotation;
  Invalidate();
}

void TOrinCustomImage::SetZoomX(int32_t zoom) {
  TOrinControl::SetZoomX(zoom);
  FitToPicture();
}

void TOrinCustomImage::SetZoomY(int32_t zoom) {
  TOrinControl::SetZoomY(zoom);
  FitToPicture();
}

void TOrinCustomImage::SetPicture(std::shared_ptr<const FrameDrawable> picture, int32_t offsetX, int32_t offsetY) {
  Invalidate();
  const bool sizeChanged = !picture_ || !picture || picture_->Color.Width() != picture->Color.Width() ||
                           picture_->Color.Height() != picture->Color.Height();
  picture_ = std::move(picture);
  turned_.Reset();
  offsetX_ = offsetX;
  offsetY_ = offsetY;
  FitToPicture();
  // Children placed on the picture in 16.16 follow its size.
  if (sizeChanged) PlacementChanged();
  Invalidate();
}

void TOrinCustomImage::FitToPicture() {
  if (!picture_) return;
  SetBounds(Left(), Top(), Scaled(picture_->Color.Width(), ZoomX()), Scaled(picture_->Color.Height(), ZoomY()));
}

void TOrinCustomImage::TurnCentre(int32_t& x, int32_t& y) const {
  auto originPart = [](int64_t origin, int64_t zoom, int64_t size, bool flip) {
    int64_t part = zoom != 256 ? zoom * origin / 256 : origin;
    if (flip) part = size - part - 1;
    return part;
  };
  x = static_cast<int32_t>(std::clamp<int64_t>(ScreenX() + originPart(OriginX(), ZoomX(), Width(), FlipX()),
                                               INT32_MIN, INT32_MAX));
  y = static_cast<int32_t>(std::clamp<int64_t>(ScreenY() + originPart(OriginY(), ZoomY(), Height(), FlipY()),
                                               INT32_MIN, INT32_MAX));
}

Rect TOrinCustomImage::ScreenRect() const {
  if (!picture_) return TOrinControl::ScreenRect();
  if ((rotation_ & 0xFF) == 0) {
    const Rect r = TOrinControl::ScreenRect();
    if (offsetX_ == 0 && offsetY_ == 0) return r;
    // A cropped picture lies where it lay in its frame.
    const int64_t dx = int64_t{offsetX_} * ZoomX() / 256, dy = int64_t{offsetY_} * ZoomY() / 256;
    auto clamp = [](int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
    return Rect{clamp(r.Left + dx), clamp(r.Top + dy), clamp(r.Right + dx), clamp(r.Bottom + dy)};
  }
  RotatedDraw g;
  TurnCentre(g.CenterX, g.CenterY);
  g.OriginX = OriginX() - offsetX_;
  g.OriginY = OriginY() - offsetY_;
  g.Angle = rotation_ & 0xFF;
  g.ZoomX = ZoomX();
  g.ZoomY = ZoomY();
  return ScreenSurface::RotatedBounds(g, picture_->Color.Width(), picture_->Color.Height(), FlipX(), FlipY());
}

bool TOrinCustomImage::DrawsTree() const { return picture_ && Width() >= 1 && Height() >= 1; }

void TOrinCustomImage::Draw(ScreenSurface& surface) {
  if (!picture_ || alpha_ < 1) return;
  const TDIBSurface& color = picture_->Color;
  DrawOptions options;
  // The drawing kernels take additive levels up to 65535; what a script may set beyond that
  // (alpha is any int32) would overflow their arithmetic.
  options.Opacity = std::min(alpha_, 256 + 65535);
  options.Key = picture_->TransparentValue;
  options.FlipX = FlipX();
  options.FlipY = FlipY();
  const TDIBSurface* mask = color.Alpha.get();
  if ((rotation_ & 0xFF) != 0) {
    RotatedDraw g;
    TurnCentre(g.CenterX, g.CenterY);
    g.OriginX = OriginX() - offsetX_;
    g.OriginY = OriginY() - offsetY_;
    g.Angle = rotation_ & 0xFF;
    g.ZoomX = ZoomX();
    g.ZoomY = ZoomY();
    surface.DrawRotated(g, color, mask, options, &turned_);
    return;
  }
  const int64_t x = int64_t{ScreenX()} + int64_t{offsetX_} * ZoomX() / 256;
  const int64_t y = int64_t{ScreenY()} + int64_t{offsetY_} * ZoomY() / 256;
  const int64_t w = Scaled(color.Width(), ZoomX()), h = Scaled(color.Height(), ZoomY());
  if (x < INT32_MIN || y < INT32_MIN || x + w > INT32_MAX || y + h > INT32_MAX) return;
  const Rect dest{static_cast<int32_t>(x), static_cast<int32_t>(y), static_cast<int32_t>(x + w),
                  static_cast<int32_t>(y + h)};
  // An opaque picture without a key, shown as it is, is a plain copy (backgrounds).
  if (!mask && options.Key < 0 && alpha_ == 255 && w == color.Width() && h == color.Height() && !options.FlipX &&
      !options.FlipY) {
    surface.Copy(dest.Left, dest.Top, color, color.ClientRect());
    return;
  }
  surface.DrawScaled(dest, color, color.ClientRect(), mask, options);
}

Rect TOrinCustomImage::OpaqueRect() const {
  if (Kind() != kKindImages && Kind() != kKindButton) return {};
  if (!DrawsTree() || alpha_ != 255 || (rotation_ & 0xFF) != 0 || FlipX() || FlipY()) return {};
  const TDIBSurface& color = picture_->Color;
  if (color.Alpha || picture_->TransparentValue >= 0 || ZoomX() != 256 || ZoomY() != 256) return {};
  const int64_t x = int64_t{ScreenX()} + offsetX_, y = int64_t{ScreenY()} + offsetY_;
  if (x < INT32_MIN || y < INT32_MIN || x + color.Width() > INT32_MAX || y + color.Height() > INT32_MAX) return {};
  const Rect dest{static_cast<int32_t>(x), static_cast<int32_t>(y), static_cast<int32_t>(x + color.Width()),
                  static_cast<int32_t>(y + color.Height())};
  Rect r;
  IntersectRect(r, dest, VisibleRect());
  return r;
}

void TOrinCustomImage::ApplyMotionFrame(const MotionFilm& film, int32_t frame, int32_t baseX, int32_t baseY) {
  TOrinControl::ApplyMotionFrame(film, frame, baseX, baseY);
  // A frame's zoom resizes the control as a script's would.
  FitToPicture();
}

void TOrinCustomImage::GetProp(int number, TCustomParam& dest) {
  switch (number) {
    case kPropAlpha:
      dest.SetAsInt(alpha_);
      return;
    case kPropRotation:
      dest.SetAsInt(rotation_);
      return;
    case kPropImageFlag:
      dest.SetAsFlag(imageFlag_);
      return;
    default:
      TOrinControl::GetProp(number, dest);
  }
}

void TOrinCustomImage::SetProp(int number, const TCustomParam& value) {
  switch (number) {
    case kPropAlpha:
      SetAlpha(value.GetAsInt());
      return;
    case kPropRotation:
      SetRotation(value.GetAsInt());
      return;
    case kPropImageFlag:
      imageFlag_ = value.GetAsFlag();
      return;
    default:
      TOrinControl::SetProp(number, value);
  }
}

void TOrinCustomImage::Save(Stream& s, int version) const {
  TOrinControl::Save(s, version);
  WriteInt32(s, alpha_);
  WriteInt32(s, ZoomX());
  WriteInt32(s, rotation_);
  WriteByte(s, FlipX());
  WriteByte(s, FlipY());
  WriteByte(s, imageFlag_);
  if (version >= 104) WriteInt32(s, ZoomY());
}

void TOrinCustomImage::Load(Stream& s, int version) {
  TOrinControl::Load(s, version);
  alpha_ = ReadInt32(s);
  SetZoomX(ReadInt32(s));
  rotation_ = ReadInt32(s);
  SetFlipX(ReadByte(s) != 0);
  SetFlipY(ReadByte(s) != 0);
  imageFlag_ = ReadByte(s) != 0;
  if (version >= 104) SetZoomY(ReadInt32(s));
}

// ---- TOrinCustomImages

TOrinCustomImages::TOrinCustomImages(TOrinBaseList* owner, const SceneServices& services, int listCount)
    : TOrinCustomImage(owner, services), lists_(static_cast<size_t>(std::max(listCount, 1))) {}

TOrinCustomImages::~TOrinCustomImages() = default;

void TOrinCustomImages::EnterList(int list) {
  if (list < 0 || list >= ListCount()) return;
  currentList_ = list;
  ResetImage();
  ShowImage(0);
}

void TOrinCustomImages::ResetImage() {
  index_ = -1;
  timer_ = 0;
  finished_ = false;
  SetPicture(nullptr);
}

void TOrinCustomImages::SetIndex(int32_t n) {
  if (Motion()) {
    Motion()->SetFrameTime(n);
    return;
  }
  ShowImage(n);
}

void TOrinCustomImages::ShowImage(int32_t n) {
  const ImageList& list = Images();
  const int32_t count = list.Count();
  if (index_ < 0 || index_ >= count) timer_ = 0;
  finished_ = false;
  if (n < 0 || n >= count) {
    index_ = -1;
    SetPicture(nullptr);
    return;
  }
  index_ = n;
  ApplyBrightness(n);
  timer_ += list[n].Duration;
  if (n == count - 1 && count >= 2 && !restoring_) timer_ += EndDelay();
}

void TOrinCustomImages::ApplyBrightness(int32_t n) {
  const ImageList& list = Images();
  const MuraImage& image = list[n];
  if (brightness_ == 0)
    SetPicture(list.Picture(n), image.OffsetX, image.OffsetY);
  else
    SetPicture(Brightened(image.Picture, brightness_), image.OffsetX, image.OffsetY);
}

void TOrinCustomImages::SetBrightness(int32_t brightness) {
  if (brightness == brightness_) return;
  brightness_ = brightness;
  if (index_ >= 0 && index_ < Images().Count()) ApplyBrightness(index_);
}

int32_t TOrinCustomImages::EndDelay() {
  TParamCollection* vars = Services().Text ? Services().Text->Vars : nullptr;
  if (!endDelay_ || !vars || endDelay_->Operations.empty()) return 0;
  endDelay_->Execute(*vars);
  return endDelay_->Result ? endDelay_->Result->GetAsInt() : 0;
}

void TOrinCustomImages::SetEndDelay(const TOrinParser& expression) {
  if (!endDelay_) endDelay_ = std::make_unique<TOrinParser>();
  endDelay_->Assign(expression);
}

int32_t TOrinCustomImages::ImageCount() const { return Motion() ? Motion()->Film().FrameCount() : Images().Count(); }

bool TOrinCustomImages::Busy() const {
  if (Motion()) return !Motion()->Finished() && !Stopped() && !Paused();
  // An object without an image has nothing to play: a script that waits for it goes on.
  if (index_ < 0 || index_ >= Images().Count()) return false;
  const bool ranOut = !Loop() && index_ == Images().Count() - 1 && timer_ < 1;
  return !ranOut && !Stopped() && !Paused();
}

bool TOrinCustomImages::Step() {
  if (Motion()) return TOrinCustomImage::Step();
  return StepImages();
}

bool TOrinCustomImages::StepImages() {
  const int32_t count = Images().Count();
  if (finished_ || index_ < 0 || index_ >= count || !Visible() || Stopped() || Paused()) return false;
  if (timer_ > 0) timer_ -= Owner() ? Owner()->FrameDelta() : 0;
  // One pass through the list at most: images of no duration cannot hold the frame.
  for (int32_t shown = 0; timer_ < 1 && shown <= count; ++shown) {
    if (index_ < count - 1) {
      if (count <= 2) timer_ = 0;
      ShowImage(index_ + 1);
    } else {
      return LastImageRanOut();
    }
  }
  return false;
}

bool TOrinCustomImages::LastImageRanOut() {
  if (Loop()) {
    timer_ = 0;
    ShowImage(0);
    return false;
  }
  if (FreeWhenFinished()) return true;
  finished_ = true;
  QueueEvent(Label(kEventMotionFinished), kEventMotionFinished, nullptr, false);
  return false;
}

void TOrinCustomImages::ShowMotionImage(const std::string& file, int32_t index) {
  if (file.empty()) {
    SetPicture(nullptr);
    return;
  }
  TMuraCollection* cache = Services().Images();
  auto [it, added] = motionImages_.try_emplace(UpperCase(file));
  if (added) it->second.Load(cache, file);
  const ImageList& list = it->second;
  if (index < 0 || index >= list.Count()) {
    SetPicture(nullptr);
    return;
  }
  SetPicture(list.Picture(index), list[index].OffsetX, list[index].OffsetY);
}

void TOrinCustomImages::RestoreSavedIndex() {
  if (Motion()) {
    // A stopped or paused motion applies no frame until it runs again: show what its last frame
    // showed when it was saved, or the object would stand there without a picture.
    const MotionFilm& film = Motion()->Film();
    const int32_t file = MotionImageFile();
    if (film.Has(MotionFilm::kImage) && file >= 1 && file <= static_cast<int32_t>(film.ImageFiles.size()))
      ShowMotionImage(film.ImageFiles[static_cast<size_t>(file - 1)], MotionImageIndex());
    return;
  }
  // A load runs before the variables are back, so the end delay is not evaluated here: the
  // saved timer already holds it.
  restoring_ = true;
  ShowImage(savedIndex_);
  restoring_ = false;
  if (index_ >= 0) timer_ = savedTimer_;
}

void TOrinCustomImages::GetProp(int number, TCustomParam& dest) {
  switch (number) {
    case kPropBrightness:
      dest.SetAsInt(brightness_);
      return;
    case kPropIndex:
      dest.SetAsInt(Motion() ? Motion()->CurrentFrame() : index_);
      return;
    case kPropBusy:
      dest.SetAsFlag(Busy());
      return;
    default:
      TOrinCustomImage::GetProp(number, dest);
  }
}

void TOrinCustomImages::SetProp(int number, const TCustomParam& value) {
  switch (number) {
    case kPropBrightness:
      SetBrightness(value.GetAsInt());
      return;
    case kPropIndex:
      SetIndex(value.GetAsInt());
      return;
    default:
      TOrinCustomImage::SetProp(number, value);
  }
}

void TOrinCustomImages::Save(Stream& s, int version) const {
  TOrinCustomImage::Save(s, version);
  WriteInt32(s, timer_);
  WriteInt32(s, index_);
  WriteInt32(s, brightness_);
  WriteByte(s, Stopped());
  if (endDelay_) {
    endDelay_->SaveToStream(s);
  } else {
    TOrinParser none;
    none.SaveToStream(s);
  }
}

void TOrinCustomImages::Load(Stream& s, int version) {
  TOrinCustomImage::Load(s, version);
  savedTimer_ = ReadInt32(s);
  savedIndex_ = ReadInt32(s);
  brightness_ = ReadInt32(s);
  SetStopped(ReadByte(s) != 0);
  auto expression = std::make_unique<TOrinParser>();
  expression->LoadFromStream(s);
  endDelay_ = std::move(expression);
}

}  // namespace orin
