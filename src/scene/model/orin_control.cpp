#include "scene/model/orin_control.h"

#include <algorithm>

#include "core/error.h"
#include "imaging/screen_surface.h"
#include "params/custom_param.h"
#include "resources/file_manager.h"
#include "resources/stream.h"
#include "scene/model/motion_film.h"
#include "scene/model/orin_base.h"
#include "scene/model/orin_base_list.h"
#include "scene/model/orin_motion.h"
#include "scene/model/property_table.h"

namespace orin {

namespace {

int32_t Clamp32(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

Rect MakeRect(int64_t l, int64_t t, int64_t r, int64_t b) { return Rect{Clamp32(l), Clamp32(t), Clamp32(r), Clamp32(b)}; }

bool Contains(const Rect& r, int32_t x, int32_t y) { return x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom; }

const std::string kNoLabel;

}  // namespace

TOrinControl::TOrinControl(TOrinBaseList* owner) : TOrinComponent(owner) {}

TOrinControl::~TOrinControl() = default;

// ---- Geometry

void TOrinControl::SetGeometry(int32_t& field, int32_t v) {
  if (field == v) return;
  Invalidate();
  field = v;
  PlacementChanged();
  Invalidate();
  AfterMove();
}

void TOrinControl::SetLeft(int32_t v) { SetGeometry(left_, v); }
void TOrinControl::SetTop(int32_t v) { SetGeometry(top_, v); }
void TOrinControl::SetWidth(int32_t v) { SetGeometry(width_, v); }
void TOrinControl::SetHeight(int32_t v) { SetGeometry(height_, v); }

void TOrinControl::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  Invalidate();
  left_ = left, top_ = top, width_ = width, height_ = height;
  PlacementChanged();
  Invalidate();
  AfterMove();
}

void TOrinControl::SetZoomX(int32_t zoom) { SetGeometry(zoomX_, std::max(zoom, 1)); }
void TOrinControl::SetZoomY(int32_t zoom) { SetGeometry(zoomY_, std::max(zoom, 1)); }

void TOrinControl::SetFlip(bool& flip, bool v) {
  if (v == flip) return;
  Invalidate();
  flip = v;
  PlacementChanged();
  Invalidate();
}

void TOrinControl::SetFlipX(bool v) { SetFlip(flipX_, v); }
void TOrinControl::SetFlipY(bool v) { SetFlip(flipY_, v); }

void TOrinControl::PlacementChanged() {
  // A control whose placement is not kept has none kept below it either (a placement is only
  // computed from a kept one), so the walk stops there.
  if (!PlacementValid()) return;
  std::vector<TOrinControl*> pending{this};
  while (!pending.empty()) {
    TOrinControl* c = pending.back();
    pending.pop_back();
    c->placedValid_ = false;
    for (TOrinControl* child : c->children_)
      if (child->PlacementValid()) pending.push_back(child);
  }
}

bool TOrinControl::PlacementValid() const {
  const TOrinBaseList* owner = Owner();
  return placedValid_ && owner && placedEpoch_ == owner->PlacementEpoch();
}

const TOrinControl::Placement& TOrinControl::Placed() const {
  if (PlacementValid()) return placed_;
  // The ancestors without a kept placement, computed from the top down: each from its parent's.
  std::vector<const TOrinControl*> chain;
  for (const TOrinControl* c = this; c && !c->PlacementValid(); c = c->parent_) chain.push_back(c);
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) (*it)->Place();
  return placed_;
}

void TOrinControl::Place() const {
  const Placement* up = parent_ ? &parent_->placed_ : nullptr;
  placed_.X = Coordinate(false, up ? up->X : 0);
  placed_.Y = Coordinate(true, up ? up->Y : 0);
  placed_.Root = up ? up->Root : IsRoot() ? static_cast<const TOrinBase*>(this) : nullptr;
  placed_.InCabinet = up && (up->InCabinet || parent_->Kind() == kKindCabinet);
  if (const TOrinBaseList* owner = Owner()) {
    placedValid_ = true;
    placedEpoch_ = owner->PlacementEpoch();
  }
}

int32_t TOrinControl::Coordinate(bool vertical, int64_t parentScreen) const {
  const int64_t zoom = vertical ? ZoomY() : ZoomX();
  const int64_t size = vertical ? height_ : width_;
  const int64_t origin = vertical ? originY_ : originX_;
  int64_t originPart = zoom != 256 ? zoom * origin / 256 : origin;
  if (vertical ? FlipY() : FlipX()) originPart = size - originPart - 1;
  const int64_t pos = vertical ? top_ : left_;
  const TOrinControl* p = parent_;
  int64_t own = pos;
  if (motion_ && motion_->Film().Has(MotionFilm::kPosition)) {
    own = motionWords_[vertical ? 1 : 0];
  } else if (scalePosition_) {
    const int64_t image = p ? (vertical ? p->ImageHeight() : p->ImageWidth()) : 0;
    const int64_t parentZoom = p ? (vertical ? p->ZoomY() : p->ZoomX()) : 0;
    if (image > 0 && parentZoom == zoom) {
      // Children of a zoomed image keep their places on its picture exactly: the scale is the
      // parent's shown size over its image size, in 16.16 fixed point, rounded to nearest.
      const int64_t ratio = ((vertical ? p->height_ : p->width_) * int64_t{65536}) / image;
      const int64_t product = pos * ratio;
      own = product >> 16;
      if ((product & 0xFFFF) > 0x7FFF) ++own;
    } else {
      own = pos * zoom / 256;
    }
  }
  int64_t v = own - originPart + (vertical ? offsetY_ : offsetX_);
  if (p) v += parentScreen - (vertical ? p->ContentOffsetY() : p->ContentOffsetX());
  return Clamp32(v);
}

int32_t TOrinControl::ScreenX() const { return Placed().X; }
int32_t TOrinControl::ScreenY() const { return Placed().Y; }

Rect TOrinControl::ScreenRect() const {
  const int64_t x = ScreenX(), y = ScreenY();
  return MakeRect(x, y, x + width_, y + height_);
}

Rect TOrinControl::VisibleRect() const {
  const Rect r = ScreenRect();
  if (clip_[2] < 1 || clip_[3] < 1) return Rect{};
  const int64_t l = int64_t{r.Left} + clip_[0], t = int64_t{r.Top} + clip_[1];
  Rect out;
  IntersectRect(out, r, MakeRect(l, t, l + clip_[2], t + clip_[3]));
  return out;
}

Rect TOrinControl::EffectiveClip() const {
  Rect r = VisibleRect();
  if (parent_) IntersectRect(r, r, parent_->EffectiveClip());
  return r;
}

// ---- State

void TOrinControl::SetVisibleFlag(bool v) {
  if (visible_ == v) return;
  Invalidate();
  visible_ = v;
  Invalidate();
  if (Owner()) Owner()->RequestFocusUpdate();
}

bool TOrinControl::Showing() const {
  if (!visible_) return false;
  if (!parent_) return IsRoot();
  return parent_->ShowsChildren() && parent_->Showing();
}

void TOrinControl::SetColor(int32_t c) {
  if (color_ == c) return;
  color_ = c;
  Invalidate();
}

bool TOrinControl::Paused() const {
  if (IsInternal() && parent_) return parent_->Paused();
  return paused_;
}

void TOrinControl::SetFocusable(bool v) {
  if (focusable_ == v) return;
  focusable_ = v;
  if (Owner()) Owner()->RequestFocusUpdate();
}

void TOrinControl::SetDepth(int32_t depth) {
  TOrinObject::SetDepth(depth);
  if (parent_) parent_->SortChildren();
  Invalidate();
}

void TOrinControl::SetDepthOffset(int32_t offset) {
  if (offset == DepthOffset()) return;
  TOrinObject::SetDepthOffset(offset);
  if (parent_) parent_->SortChildren();
  Invalidate();
}

std::string* TOrinControl::LabelSlot(int code) {
  switch (code) {
    case kEventMove:
      return &pointerLabels_[0];
    case kEventEnter:
      return &pointerLabels_[1];
    case kEventLeave:
    case kEventLeftDown:
    case kEventLeftUp:
    case kEventRightDown:
    case kEventRightUp:
    case kEventWheelDown:
    case kEventWheelUp:
      return &pointerLabels_[static_cast<size_t>(code - kEventLeave + 2)];
    case kEventKeyDown:
    case kEventKeyUp:
    case kEventKeyRepeat:
      return &keyLabels_[static_cast<size_t>(code - kEventKeyDown)];
    case kEventFocusIn:
      return &keyLabels_[3];
    case kEventFocusOut:
      return &keyLabels_[4];
    case kEventEveryFrame:
      return &everyFrameLabel_;
    case kEventMotionFinished:
      return &finishedLabel_;
    default:
      return nullptr;
  }
}

const std::string& TOrinControl::Label(int code) const {
  const std::string* slot = const_cast<TOrinControl*>(this)->LabelSlot(code);
  return slot ? *slot : kNoLabel;
}

void TOrinControl::SetLabel(int code, const std::string& label) {
  if (std::string* slot = LabelSlot(code)) *slot = label;
}

// ---- Tree

TOrinBase* TOrinControl::Root() { return const_cast<TOrinBase*>(Placed().Root); }

const TOrinBase* TOrinControl::Root() const { return Placed().Root; }

bool TOrinControl::IsAncestorOf(const TOrinControl* other) const {
  for (const TOrinControl* c = other; c; c = c->parent_)
    if (c == this) return true;
  return false;
}

bool TOrinControl::InsideCabinet() const { return Placed().InCabinet; }

int TOrinControl::SubtreeHeight() const {
  int height = 0;
  for (const TOrinControl* c : children_) height = std::max(height, c->SubtreeHeight());
  return height + 1;
}

bool TOrinControl::SetParent(TOrinControl* parent) {
  if (!parent || IsRoot() || IsAncestorOf(parent)) return false;
  // A save holds what a load can read back: a chain of controls deeper than the load's limit
  // would be saved without complaint and then refuse to load, so it is refused here.
  int levels = SubtreeHeight();
  for (const TOrinControl* c = parent; c; c = c->parent_) ++levels;
  if (levels > TOrinBaseList::kMaxLoadDepth) return false;
  if (parent == parent_) {
    parent_->SortChildren();
    return true;
  }
  Invalidate();
  if (parent_) parent_->ChildRemoved(this);
  parent_ = parent;
  parent->ChildAdded(this);
  PlacementChanged();
  Invalidate();
  if (Owner()) Owner()->RequestFocusUpdate();
  AfterMove();
  return true;
}

void TOrinControl::ChildAdded(TOrinControl* child) {
  children_.push_back(child);
  SortChildren();
}

void TOrinControl::ChildRemoved(TOrinControl* child) {
  std::erase(children_, child);
}

void TOrinControl::SortChildren() {
  const std::string& top = TOrinBaseList::kTopName;
  std::stable_sort(children_.begin(), children_.end(), [&](const TOrinControl* a, const TOrinControl* b) {
    const bool aTop = a->Name() == top, bTop = b->Name() == top;
    if (aTop != bTop) return bTop;
    if (a->IsInternal() != b->IsInternal()) return a->IsInternal();
    const int64_t da = int64_t{a->Depth()} + a->DepthOffset(), db = int64_t{b->Depth()} + b->DepthOffset();
    if (da != db) return da < db;
    // char_traits<char> compares bytes as unsigned: the ordinal order.
    return a->Name() < b->Name();
  });
}

// ---- Drawing

void TOrinControl::Invalidate() {
  bounds_ = ScreenRect();
  if (!Showing()) return;
  TOrinBase* root = Root();
  if (!root) return;
  Rect r = VisibleRect();
  if (parent_) IntersectRect(r, r, parent_->EffectiveClip());
  root->AddDirty(r);
}

void TOrinControl::DrawTree(ScreenSurface& surface) {
  Rect r;
  if (!IntersectRect(r, VisibleRect(), surface.Clip())) return;
  bounds_ = ScreenRect();
  if (!DrawsTree()) return;
  surface.PushClip(r);
  if (underlayFlag_ && Kind() != kKindVideo) {
    if (!underlay_) underlay_ = std::make_unique<TDIBSurface>();
    underlay_->SetSize(r.Width(), r.Height(), surface.Depth(), false);
    underlay_->CopyFrom(0, 0, r, surface.Picture());
  }
  Draw(surface);
  if (ShowsChildren())
    for (TOrinControl* child : children_)
      if (child->visible_ && !child->Name().empty()) child->DrawTree(surface);
  surface.PopClip();
}

void TOrinControl::TouchBounds(const Rect& clip) {
  Rect r;
  if (!IntersectRect(r, VisibleRect(), clip)) return;
  bounds_ = ScreenRect();
  if (!DrawsTree() || !ShowsChildren()) return;
  for (TOrinControl* child : children_)
    if (child->visible_ && !child->Name().empty()) child->TouchBounds(r);
}

bool TOrinControl::KeepsUnderlay() const {
  if (underlayFlag_ && Kind() != kKindVideo) return true;
  return std::any_of(children_.begin(), children_.end(), [](const TOrinControl* c) { return c->KeepsUnderlay(); });
}

// ---- Input

TOrinControl* TOrinControl::HitTest(int32_t x, int32_t y, InputModes modes) {
  if (!visible_ || !Contains(VisibleRect(), x, y)) return nullptr;
  if (ShowsChildren())
    for (auto it = children_.rbegin(); it != children_.rend(); ++it) {
      TOrinControl* child = *it;
      if (child->Name().empty()) continue;
      if (TOrinControl* hit = child->HitTest(x, y, modes)) return hit;
    }
  return Admits(modes) ? this : nullptr;
}

std::vector<std::string> TOrinControl::PointerArgs(int32_t x, int32_t y) const {
  return {std::to_string(int64_t{x} - ScreenX()), std::to_string(int64_t{y} - ScreenY())};
}

void TOrinControl::MouseDown(MouseButton button, int32_t x, int32_t y) {
  const bool left = button == MouseButton::kLeft;
  if (left) pressed_ = true;
  if (Stopped() || EventsBlocked() || !Admits(left ? kHitLeft : kHitRight)) return;
  const auto args = PointerArgs(x, y);
  QueueEvent(Label(left ? kEventLeftDown : kEventRightDown), left ? kEventLeftDown : kEventRightDown, &args);
}

void TOrinControl::MouseUp(MouseButton button, int32_t x, int32_t y) {
  const bool left = button == MouseButton::kLeft;
  if (left) pressed_ = false;
  if (Stopped() || EventsBlocked() || !Admits(left ? kHitLeft : kHitRight)) return;
  const auto args = PointerArgs(x, y);
  QueueEvent(Label(left ? kEventLeftUp : kEventRightUp), left ? kEventLeftUp : kEventRightUp, &args);
}

void TOrinControl::MouseMove(int32_t x, int32_t y) {
  if (Stopped() || EventsBlocked()) return;
  const auto args = PointerArgs(x, y);
  QueueEvent(Label(kEventMove), kEventMove, &args);
}

void TOrinControl::MouseEnter() {
  if (Stopped() || EventsBlocked()) return;
  QueueEvent(Label(kEventEnter), kEventEnter, nullptr, false);
}

void TOrinControl::MouseLeave() {
  if (Stopped() || EventsBlocked()) return;
  QueueEvent(Label(kEventLeave), kEventLeave, nullptr, false);
}

void TOrinControl::MouseWheel(bool down) {
  if (Stopped() || EventsBlocked()) return;
  const uint8_t code = down ? kEventWheelDown : kEventWheelUp;
  QueueEvent(Label(code), code, nullptr, false);
}

void TOrinControl::KeyDown() {
  if (!Stopped() && !EventsBlocked()) QueueEvent(Label(kEventKeyDown), kEventKeyDown);
}
void TOrinControl::KeyUp() {
  if (!Stopped() && !EventsBlocked()) QueueEvent(Label(kEventKeyUp), kEventKeyUp);
}
void TOrinControl::KeyRepeat() {
  if (!Stopped() && !EventsBlocked()) QueueEvent(Label(kEventKeyRepeat), kEventKeyRepeat);
}
void TOrinControl::FocusIn() { QueueEvent(Label(kEventFocusIn), kEventFocusIn, nullptr, false); }
void TOrinControl::FocusOut() { QueueEvent(Label(kEventFocusOut), kEventFocusOut, nullptr, false); }

// ---- Motion

void TOrinControl::LoadMotionFile(const std::string& name) {
  TVrFileManager* files = Owner() ? Owner()->Files() : nullptr;
  if (!files || name.empty()) {
    DetachMotion();
    return;
  }
  auto film = std::make_unique<MotionFilm>();
  try {
    MemoryStream content;
    files->LoadToStream(content, name);
    content.SetPosition(0);
    film->Read(content);
  } catch (const Error&) {
    // A game survives a missing or damaged motion: the control just stands still.
    DetachMotion();
    return;
  }
  AttachMotion(std::move(film), name);
}

void TOrinControl::AttachMotion(std::unique_ptr<MotionFilm> film, const std::string& fileName) {
  Invalidate();
  motion_ = std::make_unique<TOrinMotion>(*this, std::move(film), fileName);
  PlacementChanged();
  Invalidate();
}

void TOrinControl::DetachMotion() {
  if (!motion_) return;
  Invalidate();
  motion_.reset();
  motionWords_[0] = motionWords_[1] = 0;
  PlacementChanged();
  SetDepthOffset(0);
  Invalidate();
}

void TOrinControl::RestartMotion() {
  if (motion_) motion_->Restart();
}

void TOrinControl::ApplyMotionFrame(const MotionFilm& film, int32_t frame, int32_t baseX, int32_t baseY) {
  const MotionFrame& f = film.Frames[static_cast<size_t>(frame)];
  Invalidate();
  if (film.Has(MotionFilm::kPosition)) {
    motionWords_[0] = Clamp32(int64_t{baseX} + f.X);
    motionWords_[1] = Clamp32(int64_t{baseY} + f.Y);
  }
  if (film.Has(MotionFilm::kZoom)) {
    zoomX_ = std::max(f.ZoomX, 1);
    zoomY_ = std::max(f.ZoomY, 1);
  }
  PlacementChanged();
  if (film.Has(MotionFilm::kAlpha)) SetMotionAlpha(f.Alpha);
  if (film.Has(MotionFilm::kRotation)) SetMotionRotation(f.Rotation);
  if (film.Has(MotionFilm::kImage)) {
    motionWords_[2] = f.ImageFile + 1;
    motionWords_[3] = f.ImageIndex;
    ShowMotionImage(f.ImageFile >= 0 ? film.ImageFiles[static_cast<size_t>(f.ImageFile)] : std::string(),
                    f.ImageIndex);
  }
  if (film.Has(MotionFilm::kDepth)) SetDepthOffset(f.DepthOffset);
  Invalidate();
}

bool TOrinControl::Step() {
  if (!motion_) return false;
  const bool ended = motion_->Step(Owner() ? Owner()->FrameDelta() : 0);
  if (motion_->Finished() && FreeWhenFinished()) return true;
  if (ended) QueueEvent(Label(kEventMotionFinished), kEventMotionFinished, nullptr, false);
  return false;
}

// ---- Properties

void TOrinControl::GetProp(int number, TCustomParam& dest) {
  switch (number) {
    case kPropParent:
      dest.SetAsStr(parent_ ? parent_->Name() : std::string());
      return;
    case kPropLeft:
      dest.SetAsInt(left_);
      return;
    case kPropTop:
      dest.SetAsInt(top_);
      return;
    case kPropWidth:
      dest.SetAsInt(width_);
      return;
    case kPropHeight:
      dest.SetAsInt(height_);
      return;
    case kPropZoomX:
      dest.SetAsInt(ZoomX());
      return;
    case kPropZoomY:
      dest.SetAsInt(ZoomY());
      return;
    case kPropColor:
      dest.SetAsInt(color_);
      return;
    case kPropOriginX:
      dest.SetAsInt(originX_);
      return;
    case kPropOriginY:
      dest.SetAsInt(originY_);
      return;
    case kPropIndex:
      dest.SetAsInt(motion_ ? motion_->CurrentFrame() : 0);
      return;
    case kPropVisible:
      dest.SetAsFlag(visible_);
      return;
    case kPropInputMode:
      dest.SetAsInt(inputMode_);
      return;
    case kPropHint:
      dest.SetAsStr(hint_);
      return;
    case kPropScalePosition:
      dest.SetAsFlag(scalePosition_);
      return;
    case kPropFlipX:
      dest.SetAsFlag(FlipX());
      return;
    case kPropFlipY:
      dest.SetAsFlag(FlipY());
      return;
    case kPropClipLeft:
    case kPropClipTop:
    case kPropClipWidth:
    case kPropClipHeight:
      dest.SetAsInt(clip_[number - kPropClipLeft]);
      return;
    case kPropPaused:
      dest.SetAsFlag(Paused());
      return;
    case kPropBusy:
      dest.SetAsFlag(motion_ && !motion_->Finished() && !Stopped() && !Paused());
      return;
    case kPropFocusable:
      dest.SetAsFlag(focusable_);
      return;
    case kPropOffsetX:
      dest.SetAsInt(offsetX_);
      return;
    case kPropOffsetY:
      dest.SetAsInt(offsetY_);
      return;
    default:
      break;
  }
  if (const std::string& label = Label(number); &label != &kNoLabel) {
    dest.SetAsStr(label);
    return;
  }
  TOrinComponent::GetProp(number, dest);
}

void TOrinControl::SetProp(int number, const TCustomParam& value) {
  switch (number) {
    case kPropParent: {
      TOrinBaseList* owner = Owner();
      if (!owner || IsRoot()) return;
      const std::string name = value.GetAsStr();
      TOrinControl* parent = name.empty() ? nullptr : owner->FindControl(name);
      SetParent(parent ? parent : &owner->ActiveRoot());
      return;
    }
    case kPropLeft:
      SetLeft(value.GetAsInt());
      return;
    case kPropTop:
      SetTop(value.GetAsInt());
      return;
    case kPropWidth:
      SetWidth(value.GetAsInt());
      return;
    case kPropHeight:
      SetHeight(value.GetAsInt());
      return;
    case kPropZoomX:
      if (HasImageGeometry()) SetZoomX(value.GetAsInt());
      return;
    case kPropZoomY:
      if (HasImageGeometry()) SetZoomY(value.GetAsInt());
      return;
    case kPropColor:
      SetColor(value.GetAsInt());
      return;
    case kPropOriginX:
      SetGeometry(originX_, value.GetAsInt());
      return;
    case kPropOriginY:
      SetGeometry(originY_, value.GetAsInt());
      return;
    case kPropIndex:
      if (motion_) motion_->SetFrameTime(value.GetAsInt());
      return;
    case kPropVisible:
      SetVisibleFlag(value.GetAsFlag());
      return;
    case kPropInputMode:
      inputMode_ = static_cast<uint8_t>(value.GetAsInt());
      return;
    case kPropHint:
      hint_ = value.GetAsStr();
      return;
    case kPropScalePosition: {
      const bool v = value.GetAsFlag();
      if (v == scalePosition_) return;
      Invalidate();
      scalePosition_ = v;
      PlacementChanged();
      Invalidate();
      AfterMove();
      return;
    }
    case kPropFlipX:
    case kPropFlipY: {
      if (!HasImageGeometry()) return;
      SetFlip(number == kPropFlipX ? flipX_ : flipY_, value.GetAsFlag());
      return;
    }
    case kPropClipLeft:
    case kPropClipTop:
    case kPropClipWidth:
    case kPropClipHeight:
      SetGeometry(clip_[number - kPropClipLeft], value.GetAsInt());
      return;
    case kPropPaused:
      paused_ = value.GetAsFlag();
      return;
    case kPropFocusable:
      SetFocusable(value.GetAsFlag());
      return;
    case kPropOffsetX:
      SetGeometry(offsetX_, value.GetAsInt());
      return;
    case kPropOffsetY:
      SetGeometry(offsetY_, value.GetAsInt());
      return;
    default:
      break;
  }
  if (const std::string& label = Label(number); &label != &kNoLabel) {
    SetLabel(number, value.GetAsStr());
    return;
  }
  TOrinComponent::SetProp(number, value);
}

bool TOrinControl::GetVisible(int32_t /*item*/) { return visible_; }
void TOrinControl::SetVisible(int32_t /*item*/, bool visible) { SetVisibleFlag(visible); }

// ---- Save and load

void TOrinControl::Save(Stream& s, int version) const {
  TOrinComponent::Save(s, version);
  for (int32_t v : {left_, top_, width_, height_, originX_, originY_}) WriteInt32(s, v);
  WriteByte(s, scalePosition_);
  if (version >= 130)
    for (int32_t v : motionWords_) WriteInt32(s, v);
  if (version >= 104) {
    for (int32_t v : clip_) WriteInt32(s, v);
    WriteByte(s, paused_);
  }
  WriteByte(s, visible_);
  WriteInt32(s, color_);
  for (int32_t v : {bounds_.Left, bounds_.Top, bounds_.Right, bounds_.Bottom}) WriteInt32(s, v);
  WriteByte(s, inputMode_);
  WriteString(s, hint_);
  for (size_t i = 0; i < pointerLabels_.size(); ++i)
    if (i != 1 || version >= 102) WriteString(s, pointerLabels_[i]);
  if (version >= 118) {
    WriteByte(s, focusable_);
    for (const std::string& label : keyLabels_) WriteString(s, label);
  }
  SaveChildren(s, version);
}

void TOrinControl::Load(Stream& s, int version) {
  TOrinComponent::Load(s, version);
  left_ = ReadInt32(s);
  top_ = ReadInt32(s);
  width_ = ReadInt32(s);
  height_ = ReadInt32(s);
  originX_ = ReadInt32(s);
  originY_ = ReadInt32(s);
  scalePosition_ = ReadByte(s) != 0;
  if (version >= 130)
    for (int32_t& v : motionWords_) v = ReadInt32(s);
  if (version >= 104) {
    for (int32_t& v : clip_) v = ReadInt32(s);
    paused_ = ReadByte(s) != 0;
  }
  visible_ = ReadByte(s) != 0;
  color_ = ReadInt32(s);
  bounds_.Left = ReadInt32(s);
  bounds_.Top = ReadInt32(s);
  bounds_.Right = ReadInt32(s);
  bounds_.Bottom = ReadInt32(s);
  inputMode_ = ReadByte(s);
  hint_ = ReadString(s);
  for (size_t i = 0; i < pointerLabels_.size(); ++i)
    if (i != 1 || version >= 102) pointerLabels_[i] = ReadString(s);
  if (version >= 118) {
    focusable_ = ReadByte(s) != 0;
    for (std::string& label : keyLabels_) label = ReadString(s);
  }
  PlacementChanged();
  LoadChildren(s, version);
}

void TOrinControl::SaveChildren(Stream& s, int version) const {
  int32_t count = 0;
  for (const TOrinControl* child : children_)
    if (TOrinBaseList::IsSaved(*child)) ++count;
  WriteInt32(s, count);
  for (const TOrinControl* child : children_)
    if (TOrinBaseList::IsSaved(*child)) Owner()->SaveObject(s, *child, version);
}

void TOrinControl::LoadChildren(Stream& s, int version) {
  const int32_t count = ReadInt32(s);
  // Every child takes at least its kind byte.
  if (count < 0 || count > s.Remaining()) throw Error("scene: damaged control record: bad child count");
  if (!Owner()) throw Error("scene: a control without a scene cannot load children");
  for (int32_t i = 0; i < count; ++i) Owner()->LoadObject(s, version, this);
  SortChildren();
}

}  // namespace orin
