#include "scene/objects/orin_map_image.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "core/error.h"
#include "imaging/screen_surface.h"
#include "params/custom_param.h"
#include "params/param_collection.h"
#include "resources/file_manager.h"
#include "resources/stream.h"
#include "scene/model/orin_base.h"
#include "scene/model/orin_base_list.h"
#include "scene/model/property_table.h"
#include "scene/text/text_services.h"

namespace orin {

namespace {

constexpr int kPropBrightness = 42;
constexpr int kPropCancel = 73;
constexpr int kPropHighlightFile = 83;
constexpr int kPropRegionFile = 106;

// Windows virtual-key codes the map answers.
constexpr int kKeyEnter = 0x0D;
constexpr int kKeyEscape = 0x1B;
constexpr int kKeySpace = 0x20;
constexpr int kKeyLeft = 0x25;
constexpr int kKeyUp = 0x26;
constexpr int kKeyRight = 0x27;
constexpr int kKeyDown = 0x28;

// The cache name that gives every picture of file an alpha plane.
std::string MaskedName(const std::string& file) {
  if (file.size() >= 2 && file[file.size() - 2] == '?') return file;
  return file + "?m";
}

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
  if (color.HasAlpha()) copy->Color.CopyAlpha(*color.Alpha);
  copy->TransparentValue = from.TransparentValue;
  return copy;
}

}  // namespace

TOrinMapImage::TOrinMapImage(TOrinBaseList* owner, const SceneServices& services)
    : TOrinControl(owner), services_(services) {
  if (owner) owner->RegisterMenu(this);
}

TOrinMapImage::~TOrinMapImage() = default;

void TOrinMapImage::BeforeFree() {
  if (Owner()) Owner()->UnregisterMenu(this);
  Invalidate();
}

// ---- Pictures

void TOrinMapImage::LoadPictures(Pictures& pictures, const std::string& file) {
  pictures.List.Clear();
  pictures.States.clear();
  pictures.Index = -1;
  pictures.Timer = 0;
  if (file.empty()) return;
  pictures.List.Load(services_.Images(), MaskedName(file));
  pictures.States.resize(static_cast<size_t>(pictures.List.Count()));
}

void TOrinMapImage::MakeCurrent(Pictures& pictures, int32_t index) {
  const int32_t count = pictures.List.Count();
  if (count == 0) {
    pictures.Index = -1;
    return;
  }
  pictures.Index = std::clamp(index, 0, count - 1);
  pictures.Timer = pictures.List[pictures.Index].Duration + 1;
}

bool TOrinMapImage::Animate(Pictures& pictures) {
  const int32_t count = pictures.List.Count();
  if (count <= 1 || pictures.Index < 0) return false;
  pictures.Timer -= Owner() ? Owner()->FrameDelta() : 0;
  if (pictures.Timer >= 1) return false;
  while (pictures.Timer < 1) {
    pictures.Index = (pictures.Index + 1) % count;
    if (pictures.Index == 0) {
      pictures.Timer = pictures.List[0].Duration;
      break;
    }
    pictures.Timer += pictures.List[pictures.Index].Duration;
  }
  return true;
}

void TOrinMapImage::SetBaseFile(const std::string& file) {
  if (file == baseFile_) return;
  Invalidate();
  baseFile_ = file;
  LoadPictures(base_, file);
  if (base_.List.Empty()) {
    SetBounds(Left(), Top(), 0, 0);
    return;
  }
  MakeCurrent(base_, 0);
  const TDIBSurface& first = base_.List[0].Picture.Color;
  SetBounds(Left(), Top(), first.Width(), first.Height());
  Invalidate();
}

void TOrinMapImage::SetHighlightFile(const std::string& file) {
  if (file == highlightFile_) return;
  highlightFile_ = file;
  LoadPictures(highlight_, file);
  if (!highlight_.List.Empty()) MakeCurrent(highlight_, 0);
  InvalidateRegion(current_);
}

void TOrinMapImage::SetRegionFile(const std::string& file) {
  if (file == regionFile_) return;
  regionFile_ = file;
  InvalidateRegion(current_);
  current_ = -1;
  regions_ = RegionFile();
  for (Pictures* p : {&base_, &highlight_})
    for (PictureState& state : p->States) state.CutFor = -1;
  TVrFileManager* files = Owner() ? Owner()->Files() : nullptr;
  if (file.empty() || !files) return;
  MemoryStream content;
  try {
    files->LoadToStream(content, file);
  } catch (const Error&) {
    // A region file that is not there leaves the map without regions: it shows its picture and
    // never selects.
    return;
  }
  try {
    const std::string_view bytes = content.View();
    regions_ = RegionFile::Read(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), file);
  } catch (const Error& e) {
    regions_ = RegionFile();
    if (TMuraCollection* cache = services_.Images()) cache->Report(file + ": the regions cannot be read: " + e.Message());
  }
}

const FrameDrawable& TOrinMapImage::Shown(Pictures& pictures, int32_t index) {
  const FrameDrawable& picture = pictures.List[index].Picture;
  PictureState& state = pictures.States[static_cast<size_t>(index)];
  if (brightness_ == 0) {
    state.Bright.reset();
    return picture;
  }
  if (!state.Bright || state.BrightFor != brightness_) {
    state.Bright = Brightened(picture, brightness_);
    state.BrightFor = brightness_;
  }
  return *state.Bright;
}

const TDIBSurface* TOrinMapImage::MaskFor(Pictures& pictures, int32_t index, bool keep) {
  const TDIBSurface& color = pictures.List[index].Picture.Color;
  const TDIBSurface* plane = color.Alpha.get();
  if (current_ < 0 || current_ >= static_cast<int32_t>(regions_.Regions.size()) || !plane) return plane;
  PictureState& state = pictures.States[static_cast<size_t>(index)];
  const Rect bounds = color.ClientRect();
  const int32_t width = color.Width();
  if (state.CutFor == current_ && state.Mask) return state.Mask.get();
  const bool fresh = !state.Mask || state.CutFor < 0 || state.CutFor >= static_cast<int32_t>(regions_.Regions.size());
  if (!state.Mask) state.Mask = std::make_unique<TDIBSurface>();
  TDIBSurface& mask = *state.Mask;
  if (mask.Width() != width || mask.Height() != color.Height()) mask.SetSize(width, color.Height(), 8);
  if (fresh) {
    // All of the plane (base) or none of it (highlight), before the region is cut in.
    for (int y = 0; y < color.Height(); ++y) {
      if (keep)
        std::memset(mask.ScanLine(y), 0, static_cast<size_t>(width));
      else
        std::memcpy(mask.ScanLine(y), plane->ScanLine(y), static_cast<size_t>(width));
    }
  } else {
    // Only the old region's rows change back.
    Rect old;
    if (IntersectRect(old, regions_.Regions[static_cast<size_t>(state.CutFor)].BoundingBox(), bounds))
      for (int y = old.Top; y < old.Bottom; ++y) {
        uint8_t* row = mask.ScanLine(y) + old.Left;
        if (keep)
          std::memset(row, 0, static_cast<size_t>(old.Width()));
        else
          std::memcpy(row, plane->ScanLine(y) + old.Left, static_cast<size_t>(old.Width()));
      }
  }
  RegionSpans(regions_.Regions[static_cast<size_t>(current_)], bounds, [&](int32_t y, int32_t x0, int32_t x1) {
    uint8_t* row = mask.ScanLine(y) + x0;
    if (keep)
      std::memcpy(row, plane->ScanLine(y) + x0, static_cast<size_t>(x1 - x0));
    else
      std::memset(row, 0, static_cast<size_t>(x1 - x0));
  });
  state.CutFor = current_;
  return state.Mask.get();
}

void TOrinMapImage::DrawPicture(ScreenSurface& surface, Pictures& pictures, bool keep) {
  if (pictures.Index < 0 || pictures.Index >= pictures.List.Count()) return;
  // The opacities the picture draw knows: 1-511.
  if (opacity_ <= 0 || opacity_ >= 512) return;
  const TDIBSurface* mask = MaskFor(pictures, pictures.Index, keep);
  const FrameDrawable& shown = Shown(pictures, pictures.Index);
  DrawOptions options;
  options.Opacity = opacity_;
  options.Key = mask ? -1 : shown.TransparentValue;
  options.FlipX = FlipX();
  options.FlipY = FlipY();
  const TDIBSurface& color = shown.Color;
  if (ZoomX() == 256 && ZoomY() == 256) {
    surface.Draw(ScreenX(), ScreenY(), color, color.ClientRect(), mask, options);
    return;
  }
  const int64_t x = ScreenX(), y = ScreenY();
  const int64_t w = int64_t{color.Width()} * ZoomX() / 256, h = int64_t{color.Height()} * ZoomY() / 256;
  if (w < 1 || h < 1 || x + w > INT32_MAX || y + h > INT32_MAX) return;
  surface.DrawScaled(Rect{static_cast<int32_t>(x), static_cast<int32_t>(y), static_cast<int32_t>(x + w), static_cast<int32_t>(y + h)},
                     color, color.ClientRect(), mask, options);
}

void TOrinMapImage::Draw(ScreenSurface& surface) {
  DrawPicture(surface, base_, false);
  if (current_ >= 0) DrawPicture(surface, highlight_, true);
}

void TOrinMapImage::InvalidateRegion(int32_t k) {
  if (k < 0 || k >= static_cast<int32_t>(regions_.Regions.size()) || !Showing()) return;
  const Rect box = regions_.Regions[static_cast<size_t>(k)].BoundingBox();
  if (box.IsEmpty()) return;
  TOrinBase* root = Root();
  if (!root) return;
  auto shifted = [](int64_t v, int64_t by) { return static_cast<int32_t>(std::clamp<int64_t>(v + by, INT32_MIN, INT32_MAX)); };
  const Rect screen{shifted(box.Left, ScreenX()), shifted(box.Top, ScreenY()), shifted(box.Right, ScreenX()),
                    shifted(box.Bottom, ScreenY())};
  Rect r;
  if (IntersectRect(r, screen, EffectiveClip())) root->AddDirty(r);
}

// ---- Selection

std::vector<std::string> TOrinMapImage::RegionArgs(int32_t k) const {
  return {regions_.Regions[static_cast<size_t>(k)].Name, std::to_string(k)};
}

void TOrinMapImage::SelectRegion(int32_t k) {
  if (k < -1 || k >= static_cast<int32_t>(regions_.Regions.size())) k = -1;
  if (k == current_) return;
  if (current_ >= 0) {
    const auto args = RegionArgs(current_);
    QueueEvent(leftLabel_, kEventItemLeft, &args, false);
  }
  InvalidateRegion(current_);
  current_ = k;
  MakeCurrent(highlight_, 0);
  InvalidateRegion(k);
  if (k >= 0) {
    const auto args = RegionArgs(k);
    QueueEvent(enteredLabel_, kEventItemEntered, &args, false);
  }
}

void TOrinMapImage::Choose() {
  if (current_ < 0) return;
  if (TParamCollection* vars = services_.Text ? services_.Text->Vars : nullptr) {
    vars->SelStr = regions_.Regions[static_cast<size_t>(current_)].Name;
    vars->SelIndex = current_;
  }
  if (!closed_) {
    const auto args = RegionArgs(current_);
    QueueEvent(chosenLabel_, kEventChosen, &args, true);
  }
  if (freeWhenFinished_) {
    closeState_ = 100;
    closed_ = true;
  }
}

void TOrinMapImage::Cancel() {
  if (TParamCollection* vars = services_.Text ? services_.Text->Vars : nullptr) {
    vars->SelStr.clear();
    vars->SelIndex = -1;
  }
  closeState_ = 100;
}

// ---- Input

void TOrinMapImage::MouseMove(int32_t x, int32_t y) {
  if (!closed_) SelectRegion(regions_.HitTest(ToClientX(x), ToClientY(y)));
  TOrinControl::MouseMove(x, y);
}

void TOrinMapImage::MouseLeave() {
  if (!closed_) SelectRegion(-1);
  TOrinControl::MouseLeave();
}

void TOrinMapImage::MouseDown(MouseButton button, int32_t x, int32_t y) {
  if (!closed_ && button == MouseButton::kLeft && (InputMode() == 0 || InputMode() == 4) && !Stopped() &&
      current_ >= 0)
    Choose();
  TOrinControl::MouseDown(button, x, y);
}

void TOrinMapImage::KeyRepeat() {
  TOrinBaseList* scene = Owner();
  if (!closed_ && scene) {
    const int32_t count = static_cast<int32_t>(regions_.Regions.size());
    if (scene->KeyRepeat(kKeyUp) || scene->KeyRepeat(kKeyLeft)) {
      if (count > 0) SelectRegion(current_ < 1 ? count - 1 : current_ - 1);
    } else if (scene->KeyRepeat(kKeyDown) || scene->KeyRepeat(kKeyRight)) {
      if (count > 0) SelectRegion(current_ < 0 || current_ >= count - 1 ? 0 : current_ + 1);
    } else if ((scene->KeyClick(kKeyEnter) || scene->KeyClick(kKeySpace)) && current_ >= 0) {
      Choose();
    } else if (cancel_ && scene->KeyClick(kKeyEscape)) {
      Cancel();
    }
  }
  TOrinControl::KeyRepeat();
}

bool TOrinMapImage::OfferCancel() {
  if (!cancel_ || closed_ || (InputMode() != 0 && InputMode() != 3)) return false;
  closed_ = true;
  Cancel();
  return true;
}

// ---- Step

bool TOrinMapImage::Step() {
  const bool finished = TOrinControl::Step();
  if (closeState_ == 100) {
    closed_ = true;
    closeState_ = 101;
    return finished;
  }
  if (closeState_ == 101) return true;
  if (Paused()) return finished;
  if (Animate(base_)) Invalidate();
  if (current_ >= 0 && Animate(highlight_)) InvalidateRegion(current_);
  return finished;
}

void TOrinMapImage::ReleaseSurfaces() {
  for (Pictures* p : {&base_, &highlight_})
    for (PictureState& state : p->States) {
      state.Mask.reset();
      state.Bright.reset();
      state.CutFor = -1;
    }
}

void TOrinMapImage::RebuildSurfaces() {
  ReleaseSurfaces();
  Invalidate();
}

// ---- Properties

const std::string& TOrinMapImage::Label(int code) const {
  switch (code) {
    case kEventItemEntered:
      return enteredLabel_;
    case kEventItemLeft:
      return leftLabel_;
    case kEventChosen:
      return chosenLabel_;
    default:
      return TOrinControl::Label(code);
  }
}

void TOrinMapImage::SetLabel(int code, const std::string& label) {
  switch (code) {
    case kEventItemEntered:
      enteredLabel_ = label;
      return;
    case kEventItemLeft:
      leftLabel_ = label;
      return;
    case kEventChosen:
      chosenLabel_ = label;
      return;
    default:
      TOrinControl::SetLabel(code, label);
  }
}

void TOrinMapImage::GetProp(int number, TCustomParam& dest) {
  switch (number) {
    case kPropFile:
      dest.SetAsStr(baseFile_);
      return;
    case kPropHighlightFile:
      dest.SetAsStr(highlightFile_);
      return;
    case kPropRegionFile:
      dest.SetAsStr(regionFile_);
      return;
    case kPropAlpha:
      dest.SetAsInt(opacity_);
      return;
    case kPropBrightness:
      dest.SetAsInt(brightness_);
      return;
    case kPropOneShot:
      dest.SetAsFlag(freeWhenFinished_);
      return;
    case kPropCancel:
      dest.SetAsFlag(cancel_);
      return;
    case kPropLoop:
      dest.SetAsFlag(true);
      return;
    default:
      TOrinControl::GetProp(number, dest);
  }
}

void TOrinMapImage::SetProp(int number, const TCustomParam& value) {
  switch (number) {
    case kPropFile:
      SetBaseFile(value.GetAsStr());
      return;
    case kPropHighlightFile:
      SetHighlightFile(value.GetAsStr());
      return;
    case kPropRegionFile:
      SetRegionFile(value.GetAsStr());
      return;
    case kPropAlpha:
      opacity_ = value.GetAsInt();
      Invalidate();
      return;
    case kPropBrightness:
      brightness_ = value.GetAsInt();
      Invalidate();
      return;
    case kPropOneShot:
      freeWhenFinished_ = value.GetAsFlag();
      return;
    case kPropCancel:
      cancel_ = value.GetAsFlag();
      return;
    case kPropLoop:
      return;
    default:
      TOrinControl::SetProp(number, value);
  }
}

void TOrinMapImage::Save(Stream& s, int version) const {
  TOrinControl::Save(s, version);
  WriteString(s, baseFile_);
  WriteString(s, highlightFile_);
  WriteString(s, regionFile_);
  WriteInt32(s, opacity_);
  WriteInt32(s, brightness_);
  WriteString(s, enteredLabel_);
  WriteString(s, leftLabel_);
  WriteByte(s, freeWhenFinished_);
  WriteByte(s, cancel_);
  if (version >= 104) {
    WriteString(s, Label(kEventEveryFrame));
    WriteByte(s, Stopped());
    WriteString(s, chosenLabel_);
  }
  if (version >= 115) WriteInt32(s, closeState_);
}

void TOrinMapImage::Load(Stream& s, int version) {
  TOrinControl::Load(s, version);
  const std::string base = ReadString(s);
  const std::string highlight = ReadString(s);
  const std::string regions = ReadString(s);
  // The control record's size stands until the base file sets it again.
  const int32_t width = Width(), height = Height();
  SetBaseFile(base);
  if (base.empty()) SetBounds(Left(), Top(), width, height);
  SetHighlightFile(highlight);
  SetRegionFile(regions);
  opacity_ = ReadInt32(s);
  brightness_ = ReadInt32(s);
  enteredLabel_ = ReadString(s);
  leftLabel_ = ReadString(s);
  freeWhenFinished_ = ReadByte(s) != 0;
  cancel_ = ReadByte(s) != 0;
  if (version >= 104) {
    SetLabel(kEventEveryFrame, ReadString(s));
    SetStopped(ReadByte(s) != 0);
    chosenLabel_ = ReadString(s);
  }
  if (version >= 115) {
    closeState_ = ReadInt32(s);
    // A map saved while closing takes no input again.
    if (closeState_ != 0) closed_ = true;
  }
}

}  // namespace orin
