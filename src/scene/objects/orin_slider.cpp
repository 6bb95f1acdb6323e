#include "scene/objects/orin_slider.h"

#include <algorithm>
#include <cmath>

#include "imaging/screen_surface.h"
#include "params/custom_param.h"
#include "resources/stream.h"
#include "scene/model/orin_base_list.h"
#include "scene/model/property_table.h"

namespace orin {

namespace {

constexpr int kPropImageFlag = 88;
constexpr int kPropGaugeStart = 120;
constexpr int kPropThumbFile = 121;
constexpr int kPropArrowFile = 122;
constexpr int kPropMinimum = 123;
constexpr int kPropMaximum = 124;
constexpr int kPropValue = 125;
constexpr int kPropVertical = 126;
constexpr int kPropStep = 127;
constexpr int kPropPage = 128;
constexpr int kPropGaugeEnd = 137;
constexpr int kPropTrackLength = 157;

// A fallback thumb when no thumb image is set.
constexpr int32_t kDefaultThumb = 8;

int32_t Clamp32(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

int32_t RoundDiv(int64_t num, int64_t den) {
  return Clamp32(std::llround(static_cast<long double>(num) / static_cast<long double>(den)));
}

// Part `index` of an image of `parts` equal parts side by side.
Rect PartRect(const FrameDrawable& p, int parts, int index) {
  const int32_t w = p.Color.Width() / parts;
  return Rect{index * w, 0, (index + 1) * w, p.Color.Height()};
}

void DrawPart(ScreenSurface& surface, const ImageList& list, int parts, int index, const Rect& dest) {
  if (list.Empty() || dest.Width() <= 0 || dest.Height() <= 0) return;
  const FrameDrawable& p = list[0].Picture;
  const Rect src = PartRect(p, parts, index);
  if (src.Width() <= 0 || src.Height() <= 0) return;
  DrawOptions o;
  const TDIBSurface* mask = p.Color.HasAlpha() ? p.Color.Alpha.get() : nullptr;
  if (!mask) o.Key = p.TransparentValue;
  if (dest.Width() == src.Width() && dest.Height() == src.Height())
    surface.Draw(dest.Left, dest.Top, p.Color, src, mask, o);
  else
    surface.DrawScaled(dest, p.Color, src, mask, o);
}

bool Inside(const Rect& r, int32_t x, int32_t y) { return x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom; }

// True where the part of the image drawn into r is opaque at the point (alpha above 127, or not
// the colour key); anywhere in r without an image.
bool OpaqueAt(const ImageList& list, int parts, int index, const Rect& r, int32_t x, int32_t y) {
  if (!Inside(r, x, y)) return false;
  if (list.Empty()) return true;
  const FrameDrawable& p = list[0].Picture;
  const Rect src = PartRect(p, parts, index);
  if (src.Width() <= 0 || src.Height() <= 0) return false;
  const int sx = src.Left + static_cast<int>(int64_t{x - r.Left} * src.Width() / std::max(1, r.Width()));
  const int sy = src.Top + static_cast<int>(int64_t{y - r.Top} * src.Height() / std::max(1, r.Height()));
  if (p.Color.HasAlpha()) return p.Color.Alpha->GetPixel(sx, sy) > 127;
  if (p.TransparentValue >= 0) return p.Color.GetPixel(sx, sy) != static_cast<uint32_t>(p.TransparentValue);
  return true;
}

}  // namespace

// ---- TOrinSlider

TOrinSlider::TOrinSlider(TOrinBaseList* owner, const SceneServices& services)
    : TOrinControl(owner), services_(services) {}

TOrinSlider::~TOrinSlider() = default;

int32_t TOrinSlider::ArrowLength() const {
  if (arrows_.Empty()) return 0;
  const FrameDrawable& p = arrows_[0].Picture;
  return vertical_ ? p.Color.Height() : p.Color.Width() / 6;
}

int32_t TOrinSlider::ThumbLength() const {
  if (thumb_.Empty()) return kDefaultThumb;
  const FrameDrawable& p = thumb_[0].Picture;
  return vertical_ ? p.Color.Height() : p.Color.Width() / 3;
}

int32_t TOrinSlider::TrackLength() const {
  if (track157_ > 0) return track157_;
  if (!bar_.Empty()) {
    const FrameDrawable& p = bar_[0].Picture;
    return vertical_ ? p.Color.Height() : p.Color.Width() / 2;
  }
  return std::max(0, (vertical_ ? Height() : Width()) - 2 * ArrowLength());
}

Rect TOrinSlider::Arrow1Rect() const {
  const int32_t x = ScreenX(), y = ScreenY(), a = ArrowLength();
  return vertical_ ? Rect{x, y, x + Width(), y + a} : Rect{x, y, x + a, y + Height()};
}

Rect TOrinSlider::TrackRect() const {
  const int32_t x = ScreenX(), y = ScreenY(), a = ArrowLength(), l = TrackLength();
  return vertical_ ? Rect{x, y + a, x + Width(), y + a + l} : Rect{x + a, y, x + a + l, y + Height()};
}

Rect TOrinSlider::Arrow2Rect() const {
  const int32_t x = ScreenX(), y = ScreenY(), a = ArrowLength(), l = TrackLength();
  return vertical_ ? Rect{x, y + a + l, x + Width(), y + 2 * a + l} : Rect{x + a + l, y, x + 2 * a + l, y + Height()};
}

Rect TOrinSlider::ThumbRect() const {
  const Rect track = TrackRect();
  const int32_t t = ThumbLength();
  int32_t cross = vertical_ ? Width() : Height();
  if (!thumb_.Empty()) {
    const FrameDrawable& p = thumb_[0].Picture;
    cross = vertical_ ? p.Color.Width() / 3 : p.Color.Height();
  }
  // The start of the thumb along the track, measured the slider's way.
  const int32_t start = IsScrollbar() ? thumbOffset_ : thumbOffset_ - t / 2;
  if (vertical_) {
    const int32_t bottom = track.Bottom - start;
    const int32_t left = track.Left + (Width() - cross) / 2;
    return Rect{left, bottom - t, left + cross, bottom};
  }
  const int32_t top = track.Top + (Height() - cross) / 2;
  return Rect{track.Left + start, top, track.Left + start + t, top + cross};
}

int64_t TOrinSlider::AlongTrack(int32_t x, int32_t y) const {
  const Rect track = TrackRect();
  return vertical_ ? int64_t{track.Bottom} - y : int64_t{x} - track.Left;
}

TOrinSlider::Part TOrinSlider::PartAt(int32_t x, int32_t y) const {
  const Rect thumb = ThumbRect();
  if (imageFlag_ ? OpaqueAt(thumb_, 3, thumbState_, thumb, x, y) : Inside(thumb, x, y)) return kPartThumb;
  if (ArrowLength() > 0) {
    if (OpaqueAt(arrows_, 6, arrowState_[0], Arrow1Rect(), x, y)) return kPartArrow1;
    if (OpaqueAt(arrows_, 6, 3 + arrowState_[1], Arrow2Rect(), x, y)) return kPartArrow2;
  }
  if (OpaqueAt(bar_, 2, 0, TrackRect(), x, y)) return kPartTrack;
  return kPartNone;
}

void TOrinSlider::UpdateThumb() {
  const int32_t length = IsScrollbar() ? TrackLength() - ThumbLength() : TrackLength();
  int32_t offset = 0;
  if (max_ > min_ && length > 0) {
    const int64_t v = std::clamp<int64_t>(value_, min_, max_);
    offset = RoundDiv((v - min_) * int64_t{length}, int64_t{max_} - min_);
  }
  if (offset != thumbOffset_) {
    Invalidate();
    thumbOffset_ = offset;
  }
  Invalidate();
}

void TOrinSlider::FitToImages() {
  if (bar_.Empty() && thumb_.Empty() && arrows_.Empty()) return;
  int32_t cross = 0;
  if (!bar_.Empty()) cross = std::max(cross, vertical_ ? bar_[0].Picture.Color.Width() / 2 : bar_[0].Picture.Color.Height());
  if (!thumb_.Empty()) cross = std::max(cross, vertical_ ? thumb_[0].Picture.Color.Width() / 3 : thumb_[0].Picture.Color.Height());
  if (!arrows_.Empty()) cross = std::max(cross, vertical_ ? arrows_[0].Picture.Color.Width() / 6 : arrows_[0].Picture.Color.Height());
  int32_t length = vertical_ ? Height() : Width();
  if (!bar_.Empty() || track157_ > 0) length = TrackLength() + 2 * ArrowLength();
  if (vertical_)
    SetBounds(Left(), Top(), cross, length);
  else
    SetBounds(Left(), Top(), length, cross);
}

void TOrinSlider::LoadFiles() {
  bar_.Clear();
  thumb_.Clear();
  arrows_.Clear();
  TMuraCollection* cache = services_.Images();
  if (!barFile_.empty()) bar_.Load(cache, barFile_);
  if (!thumbFile_.empty()) thumb_.Load(cache, thumbFile_);
  if (!arrowFile_.empty()) arrows_.Load(cache, arrowFile_);
  FitToImages();
  UpdateThumb();
}

void TOrinSlider::ChangeValue(int64_t value) {
  if (max_ < min_) return;
  const int32_t v = static_cast<int32_t>(std::clamp<int64_t>(value, min_, max_));
  if (v == value_) return;
  value_ = v;
  UpdateThumb();
  const std::vector<std::string> args{std::to_string(v)};
  QueueEvent(labelChange_, kEventFire, &args, false);
}

void TOrinSlider::SetStates(int thumb, int arrow1, int arrow2) {
  if (thumb == thumbState_ && arrow1 == arrowState_[0] && arrow2 == arrowState_[1]) return;
  thumbState_ = thumb;
  arrowState_ = {arrow1, arrow2};
  Invalidate();
}

void TOrinSlider::HoverAt(int32_t x, int32_t y) {
  if (InputMode() == 1) {
    SetStates(0, 0, 0);
    return;
  }
  const Part part = PartAt(x, y);
  SetStates(part == kPartThumb ? 1 : 0, part == kPartArrow1 ? 1 : 0, part == kPartArrow2 ? 1 : 0);
}

void TOrinSlider::DragTo(int32_t x, int32_t y) {
  const int64_t centre = AlongTrack(x, y) - grab_;
  const int64_t length = IsScrollbar() ? int64_t{TrackLength()} - ThumbLength() : TrackLength();
  if (length <= 0 || max_ <= min_) return;
  const int64_t p = IsScrollbar() ? centre - ThumbLength() / 2 : centre;
  ChangeValue(int64_t{min_} + RoundDiv((int64_t{max_} - min_) * p, length));
}

void TOrinSlider::RepeatPress() {
  const int64_t signStep = vertical_ ? -int64_t{step_} : step_;
  switch (press_) {
    case kPressArrow1:
      if (onPressedPart_) ChangeValue(int64_t{value_} - signStep);
      break;
    case kPressArrow2:
      if (onPressedPart_) ChangeValue(int64_t{value_} + signStep);
      break;
    case kPressTrackStart:
    case kPressTrackEnd: {
      // Pages go on until the thumb has reached the pointer.
      const Rect thumb = ThumbRect();
      const int64_t along = AlongTrack(pointerX_, pointerY_);
      const int64_t thumbStart = vertical_ ? int64_t{TrackRect().Bottom} - thumb.Bottom : int64_t{thumb.Left} - TrackRect().Left;
      const int64_t thumbEnd = thumbStart + ThumbLength();
      if (press_ == kPressTrackStart && along < thumbStart) ChangeValue(int64_t{value_} - page_);
      if (press_ == kPressTrackEnd && along >= thumbEnd) ChangeValue(int64_t{value_} + page_);
      break;
    }
    default:
      break;
  }
}

bool TOrinSlider::Step() {
  if (press_ >= kPressArrow1 && Owner()) {
    repeatLeft_ -= Owner()->FrameDelta();
    while (repeatLeft_ <= 0) {
      RepeatPress();
      repeatLeft_ += TOrinBaseList::kKeyRepeatInterval;
    }
  }
  return TOrinControl::Step();
}

void TOrinSlider::MouseDown(MouseButton button, int32_t x, int32_t y) {
  pointerX_ = x;
  pointerY_ = y;
  if (button != MouseButton::kLeft || Stopped() || !(InputMode() == 0 || InputMode() == 4) ||
      int64_t{max_} - min_ < 1) {
    TOrinControl::MouseDown(button, x, y);
    return;
  }
  switch (PartAt(x, y)) {
    case kPartThumb: {
      QueueEvent(labelDragStart_, kEventDragStarted);
      const Rect thumb = ThumbRect();
      const int64_t centre = vertical_ ? int64_t{TrackRect().Bottom} - (thumb.Top + thumb.Bottom) / 2
                                       : (int64_t{thumb.Left} + thumb.Right) / 2 - TrackRect().Left;
      grab_ = Clamp32(AlongTrack(x, y) - centre);
      press_ = kPressThumb;
      SetStates(2, arrowState_[0], arrowState_[1]);
      return;
    }
    case kPartArrow1:
    case kPartArrow2: {
      const bool first = PartAt(x, y) == kPartArrow1;
      press_ = first ? kPressArrow1 : kPressArrow2;
      onPressedPart_ = true;
      SetStates(thumbState_, first ? 2 : arrowState_[0], first ? arrowState_[1] : 2);
      RepeatPress();
      repeatLeft_ = TOrinBaseList::kKeyRepeatDelay;
      return;
    }
    case kPartTrack: {
      if (IsScrollbar()) {
        const Rect thumb = ThumbRect();
        const bool towardsStart = vertical_ ? y >= thumb.Bottom : x < thumb.Left;
        press_ = towardsStart ? kPressTrackStart : kPressTrackEnd;
        RepeatPress();
        repeatLeft_ = TOrinBaseList::kKeyRepeatDelay;
        return;
      }
      QueueEvent(labelDragStart_, kEventDragStarted);
      grab_ = 0;
      press_ = kPressThumb;
      SetStates(2, arrowState_[0], arrowState_[1]);
      const int32_t length = TrackLength();
      if (length > 0) ChangeValue(int64_t{min_} + RoundDiv((int64_t{max_} - min_) * AlongTrack(x, y), length));
      return;
    }
    default:
      TOrinControl::MouseDown(button, x, y);
  }
}

void TOrinSlider::MouseUp(MouseButton button, int32_t x, int32_t y) {
  pointerX_ = x;
  pointerY_ = y;
  if (button == MouseButton::kLeft && press_ != kPressNone) {
    if (press_ == kPressThumb) QueueEvent(labelDragEnd_, kEventDragEnded);
    press_ = kPressNone;
    onPressedPart_ = false;
    HoverAt(x, y);
  }
  TOrinControl::MouseUp(button, x, y);
}

void TOrinSlider::MouseMove(int32_t x, int32_t y) {
  pointerX_ = x;
  pointerY_ = y;
  switch (press_) {
    case kPressThumb:
      DragTo(x, y);
      break;
    case kPressArrow1:
    case kPressArrow2: {
      const bool first = press_ == kPressArrow1;
      onPressedPart_ = PartAt(x, y) == (first ? kPartArrow1 : kPartArrow2);
      const int state = onPressedPart_ ? 2 : 0;
      SetStates(thumbState_, first ? state : arrowState_[0], first ? arrowState_[1] : state);
      break;
    }
    case kPressNone:
      HoverAt(x, y);
      break;
    default:
      break;
  }
  TOrinControl::MouseMove(x, y);
}

void TOrinSlider::MouseLeave() {
  if (press_ == kPressNone) SetStates(0, 0, 0);
  TOrinControl::MouseLeave();
}

void TOrinSlider::KeyRepeat() {
  TOrinBaseList* owner = Owner();
  if (owner && !Stopped() && max_ > min_) {
    const int up = vertical_ ? 0x26 : 0x27, down = vertical_ ? 0x28 : 0x25;
    if (owner->KeyRepeat(up))
      ChangeValue(int64_t{value_} + step_);
    else if (owner->KeyRepeat(down))
      ChangeValue(int64_t{value_} - step_);
  }
  TOrinControl::KeyRepeat();
}

void TOrinSlider::Draw(ScreenSurface& surface) {
  const Rect track = TrackRect();
  const Rect thumb = ThumbRect();
  if (Color() >= 0) surface.Fill(surface.Clip(), surface.ColorToPixel(Color()));
  // The filled part of the track runs from the low end to the thumb's centre.
  Rect filled = track;
  if (vertical_)
    filled.Top = std::clamp((thumb.Top + thumb.Bottom) / 2, track.Top, track.Bottom);
  else
    filled.Right = std::clamp((thumb.Left + thumb.Right) / 2, track.Left, track.Right);
  if (!bar_.Empty()) {
    const FrameDrawable& p = bar_[0].Picture;
    const int32_t cross = vertical_ ? p.Color.Width() / 2 : p.Color.Height();
    Rect dest = track;
    if (vertical_) {
      dest.Left = track.Left + (track.Width() - cross) / 2;
      dest.Right = dest.Left + cross;
    } else {
      dest.Top = track.Top + (track.Height() - cross) / 2;
      dest.Bottom = dest.Top + cross;
    }
    DrawPart(surface, bar_, 2, 0, dest);
    Rect fill = dest;
    if (vertical_) fill.Top = filled.Top; else fill.Right = filled.Right;
    surface.PushClip(fill);
    DrawPart(surface, bar_, 2, 1, dest);
    surface.PopClip();
  } else {
    surface.Fill(track, surface.ColorToPixel(0x404040));
    if (!IsScrollbar()) surface.Fill(filled, surface.ColorToPixel(0xC0C0C0));
  }
  if (ArrowLength() > 0) {
    DrawPart(surface, arrows_, 6, arrowState_[0], Arrow1Rect());
    DrawPart(surface, arrows_, 6, 3 + arrowState_[1], Arrow2Rect());
  }
  if (!thumb_.Empty())
    DrawPart(surface, thumb_, 3, thumbState_, thumb);
  else
    surface.Fill(thumb, surface.ColorToPixel(thumbState_ == 2 ? 0x00FFFF : thumbState_ == 1 ? 0xE0E0E0 : 0xFFFFFF));
}

const std::string& TOrinSlider::Label(int code) const {
  switch (code) {
    case kEventFire: return labelChange_;
    case kEventDragStarted: return labelDragStart_;
    case kEventDragEnded: return labelDragEnd_;
    default: return TOrinControl::Label(code);
  }
}

void TOrinSlider::SetLabel(int code, const std::string& label) {
  switch (code) {
    case kEventFire: labelChange_ = label; return;
    case kEventDragStarted: labelDragStart_ = label; return;
    case kEventDragEnded: labelDragEnd_ = label; return;
    default: TOrinControl::SetLabel(code, label);
  }
}

void TOrinSlider::GetProp(int number, TCustomParam& dest) {
  switch (number) {
    case kPropFile: dest.SetAsStr(barFile_); return;
    case kPropThumbFile: dest.SetAsStr(thumbFile_); return;
    case kPropArrowFile: dest.SetAsStr(arrowFile_); return;
    case kPropMinimum: dest.SetAsInt(min_); return;
    case kPropMaximum: dest.SetAsInt(max_); return;
    case kPropValue: dest.SetAsInt(value_); return;
    case kPropVertical: dest.SetAsFlag(vertical_); return;
    case kPropStep: dest.SetAsInt(step_); return;
    case kPropPage: dest.SetAsInt(page_); return;
    case kPropTrackLength: dest.SetAsInt(track157_); return;
    case kPropAlpha: dest.SetAsInt(classValue_); return;
    case kPropImageFlag: dest.SetAsFlag(imageFlag_); return;
    case kPropStopped: dest.SetAsFlag(Stopped()); return;
    case kPropBusy: dest.SetAsFlag(press_ != kPressNone); return;
    case kEventFire:
    case kEventDragStarted:
    case kEventDragEnded: dest.SetAsStr(Label(number)); return;
    default: TOrinControl::GetProp(number, dest);
  }
}

void TOrinSlider::SetProp(int number, const TCustomParam& value) {
  switch (number) {
    case kPropFile: barFile_ = value.GetAsStr(); LoadFiles(); return;
    case kPropThumbFile: thumbFile_ = value.GetAsStr(); LoadFiles(); return;
    case kPropArrowFile: arrowFile_ = value.GetAsStr(); LoadFiles(); return;
    case kPropMinimum: min_ = value.GetAsInt(); UpdateThumb(); return;
    case kPropMaximum: max_ = value.GetAsInt(); UpdateThumb(); return;
    case kPropValue: {
      // Scripts raise no event; a value outside a valid range is held at its end so the thumb
      // stays on the track.
      const int32_t v = value.GetAsInt();
      value_ = max_ >= min_ ? std::clamp(v, min_, max_) : v;
      UpdateThumb();
      return;
    }
    case kPropVertical: vertical_ = value.GetAsFlag(); FitToImages(); UpdateThumb(); return;
    case kPropStep: step_ = value.GetAsInt(); return;
    case kPropPage: page_ = value.GetAsInt(); return;
    case kPropTrackLength: track157_ = value.GetAsInt(); FitToImages(); UpdateThumb(); return;
    case kPropAlpha: classValue_ = value.GetAsInt(); return;
    case kPropImageFlag: imageFlag_ = value.GetAsFlag(); return;
    case kPropStopped: SetStopped(value.GetAsFlag()); return;
    case kEventFire:
    case kEventDragStarted:
    case kEventDragEnded: SetLabel(number, value.GetAsStr()); return;
    default: TOrinControl::SetProp(number, value);
  }
}

void TOrinSlider::Save(Stream& s, int version) const {
  TOrinControl::Save(s, version);
  WriteString(s, barFile_);
  WriteString(s, thumbFile_);
  WriteString(s, arrowFile_);
  for (int32_t v : {min_, max_, value_, step_, classValue_}) WriteInt32(s, v);
  WriteByte(s, imageFlag_);
  WriteByte(s, vertical_);
  WriteString(s, labelChange_);
  WriteString(s, labelDragStart_);
  WriteString(s, labelDragEnd_);
  WriteString(s, extraString_);
  if (version >= 119) WriteByte(s, extraByte_);
  if (version >= 128) WriteInt32(s, ThumbLength());
  WriteInt32(s, page_);
  WriteInt32(s, track157_);
}

void TOrinSlider::Load(Stream& s, int version) {
  TOrinControl::Load(s, version);
  barFile_ = ReadString(s);
  thumbFile_ = ReadString(s);
  arrowFile_ = ReadString(s);
  min_ = ReadInt32(s);
  max_ = ReadInt32(s);
  value_ = ReadInt32(s);
  step_ = ReadInt32(s);
  classValue_ = ReadInt32(s);
  imageFlag_ = ReadByte(s) != 0;
  vertical_ = ReadByte(s) != 0;
  labelChange_ = ReadString(s);
  labelDragStart_ = ReadString(s);
  labelDragEnd_ = ReadString(s);
  extraString_ = ReadString(s);
  if (version >= 119) extraByte_ = ReadByte(s);
  // The thumb length follows the thumb image again when the files are set.
  if (version >= 128) ReadInt32(s);
  page_ = ReadInt32(s);
  track157_ = ReadInt32(s);
  press_ = kPressNone;
  thumbState_ = 0;
  arrowState_ = {0, 0};
  LoadFiles();
}

// ---- TOrinGauge

TOrinGauge::TOrinGauge(TOrinBaseList* owner, const SceneServices& services) : TOrinControl(owner), services_(services) {}

TOrinGauge::~TOrinGauge() = default;

void TOrinGauge::SetFile(const std::string& file) {
  file_ = file;
  fill_.Clear();
  if (!file.empty()) fill_.Load(services_.Images(), file);
  if (!fill_.Empty()) {
    const FrameDrawable& p = fill_[0].Picture;
    SetBounds(Left(), Top(), p.Color.Width() / 2, p.Color.Height());
  }
  Invalidate();
}

void TOrinGauge::SetShown(long double v) {
  if (max_ >= min_) v = std::clamp<long double>(v, min_, max_);
  if (v == shown_) return;
  shown_ = v;
  Invalidate();
}

bool TOrinGauge::Step() {
  if ((run_ == kRunDown || run_ == kRunUp) && Owner()) {
    const int32_t delta = Owner()->FrameDelta();
    if (run_ == kRunDown && countdown_ > 0) {
      countdown_ = std::max(0, countdown_ - delta);
    } else {
      const long double range = static_cast<long double>(max_) - min_;
      const long double move = runTime_ > 0 ? range / runTime_ * delta : range;
      if (run_ == kRunDown) {
        SetShown(std::max<long double>(shown_ - move, start_));
        if (shown_ <= start_) run_ = 0;
      } else {
        SetShown(std::min<long double>(shown_ + move, end_));
        if (shown_ >= end_) run_ = 0;
      }
      // A target outside the range is never reached: the run ends at the range's end.
      if (run_ != 0 && move <= 0) run_ = 0;
      if (run_ == kRunDown && shown_ <= min_) run_ = 0;
      if (run_ == kRunUp && shown_ >= max_) run_ = 0;
    }
  }
  return TOrinControl::Step();
}

void TOrinGauge::Draw(ScreenSurface& surface) {
  const Rect r = ScreenRect();
  long double f = 0;
  if (max_ > min_) f = std::clamp<long double>((shown_ - min_) / (static_cast<long double>(max_) - min_), 0, 1);
  Rect filled = r;
  if (vertical_)
    filled.Top = r.Bottom - static_cast<int32_t>(std::lround(f * r.Height()));
  else
    filled.Right = r.Left + static_cast<int32_t>(std::lround(f * r.Width()));
  if (fill_.Empty()) {
    if (filled.Width() > 0 && filled.Height() > 0)
      surface.Fill(filled, surface.ColorToPixel(Color() >= 0 ? Color() : 0xFFFFFF));
    return;
  }
  DrawPart(surface, fill_, 2, 0, r);
  surface.PushClip(filled);
  DrawPart(surface, fill_, 2, 1, r);
  surface.PopClip();
}

void TOrinGauge::GetProp(int number, TCustomParam& dest) {
  switch (number) {
    case kPropFile: dest.SetAsStr(file_); return;
    case kPropMinimum: dest.SetAsInt(min_); return;
    case kPropMaximum: dest.SetAsInt(max_); return;
    case kPropValue: dest.SetAsInt(Clamp32(std::llround(shown_))); return;
    case kPropVertical: dest.SetAsFlag(vertical_); return;
    case kPropStep: dest.SetAsInt(run_); return;
    case kPropPage: dest.SetAsInt(countdown_); return;
    case kPropGaugeStart: dest.SetAsInt(start_); return;
    case kPropGaugeEnd: dest.SetAsInt(end_); return;
    case kPropInterval: dest.SetAsInt(runTime_); return;
    case kPropBusy: dest.SetAsFlag(run_ == kRunDown || run_ == kRunUp); return;
    default: TOrinControl::GetProp(number, dest);
  }
}

void TOrinGauge::SetProp(int number, const TCustomParam& value) {
  switch (number) {
    case kPropFile: SetFile(value.GetAsStr()); return;
    case kPropMinimum: min_ = value.GetAsInt(); SetShown(shown_); Invalidate(); return;
    case kPropMaximum: max_ = value.GetAsInt(); SetShown(shown_); Invalidate(); return;
    case kPropValue: SetShown(value.GetAsInt()); return;
    case kPropVertical: vertical_ = value.GetAsFlag(); Invalidate(); return;
    case kPropStep: run_ = value.GetAsInt(); return;
    case kPropPage: countdown_ = std::max(0, value.GetAsInt()); return;
    case kPropGaugeStart: start_ = value.GetAsInt(); return;
    case kPropGaugeEnd: end_ = value.GetAsInt(); return;
    case kPropInterval: runTime_ = value.GetAsInt(); return;
    default: TOrinControl::SetProp(number, value);
  }
}

void TOrinGauge::Save(Stream& s, int version) const {
  TOrinControl::Save(s, version);
  WriteString(s, file_);
  for (int32_t v : {min_, max_, start_, end_}) WriteInt32(s, v);
  WriteExtended(s, shown_);
  for (int32_t v : {run_, runTime_, countdown_}) WriteInt32(s, v);
  WriteByte(s, vertical_);
}

void TOrinGauge::Load(Stream& s, int version) {
  TOrinControl::Load(s, version);
  const std::string file = ReadString(s);
  min_ = ReadInt32(s);
  max_ = ReadInt32(s);
  start_ = ReadInt32(s);
  end_ = ReadInt32(s);
  const long double shown = ReadExtended(s);
  run_ = ReadInt32(s);
  runTime_ = ReadInt32(s);
  countdown_ = std::max(0, ReadInt32(s));
  vertical_ = ReadByte(s) != 0;
  SetFile(file);
  // A damaged save may hold any bit pattern; the shown value is kept to the range.
  SetShown(std::isfinite(shown) ? shown : static_cast<long double>(min_));
}

}  // namespace orin
