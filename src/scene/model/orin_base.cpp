#include "scene/model/orin_base.h"

#include <algorithm>

#include "scene/model/orin_base_list.h"

namespace orin {

namespace {

// Overlapping or touching rectangles are worth one rectangle.
bool Touch(const Rect& a, const Rect& b) {
  return a.Left <= b.Right && b.Left <= a.Right && a.Top <= b.Bottom && b.Top <= a.Bottom;
}

}  // namespace

TOrinBase::TOrinBase(TOrinBaseList* owner) : TOrinControl(owner) { SetColor(0); }

void TOrinBase::SetScreenSize(int width, int height, int depth) {
  surface_.SetSize(width, height, depth);
  SetBounds(Left(), Top(), width, height);
  dirty_.clear();
  InvalidateAll();
}

Rect TOrinBase::ScreenRect() const {
  const int64_t x = ScreenX(), y = ScreenY();
  return Rect{static_cast<int32_t>(x), static_cast<int32_t>(y), static_cast<int32_t>(std::min<int64_t>(x + Width(), INT32_MAX)),
              static_cast<int32_t>(std::min<int64_t>(y + Height(), INT32_MAX))};
}

bool TOrinBase::SetParent(TOrinControl* /*parent*/) { return false; }

TOrinControl* TOrinBase::HitTest(int32_t x, int32_t y, InputModes modes) {
  TOrinControl* hit = TOrinControl::HitTest(x, y, modes);
  return hit == this ? nullptr : hit;
}

void TOrinBase::AddDirty(const Rect& r) {
  Rect cut;
  if (!IntersectRect(cut, r, surface_.Bounds())) return;
  // Merge with everything it touches; a merged rectangle may now touch others, so repeat.
  for (size_t i = 0; i < dirty_.size();) {
    if (Touch(dirty_[i], cut)) {
      cut = UnionRect(cut, dirty_[i]);
      dirty_.erase(dirty_.begin() + static_cast<ptrdiff_t>(i));
      i = 0;
      continue;
    }
    ++i;
  }
  dirty_.push_back(cut);
  if (dirty_.size() > kMaxDirtyRects) {
    Rect all{};
    for (const Rect& d : dirty_) all = UnionRect(all, d);
    dirty_.assign(1, all);
  }
}

bool TOrinBase::AllDirty() const { return dirty_.size() == 1 && dirty_[0] == surface_.Bounds(); }

void TOrinBase::DrawDirty() {
  const uint32_t fill = Color() >= 0 ? surface_.ColorToPixel(Color()) : 0;
  const std::vector<TOrinControl*>& children = Children();
  for (const Rect& r : dirty_) {
    surface_.PushClip(r);
    const Rect clip = surface_.Clip();
    // The topmost child that paints the whole rectangle opaquely hides the fill and every child
    // before it: most frames of a game redraw a full-screen background first.
    size_t from = 0;
    bool covered = false;
    if (Visible())
      for (size_t i = children.size(); i-- > 0;) {
        const TOrinControl* child = children[i];
        if (!child->Visible() || child->Name().empty()) continue;
        const Rect opaque = child->OpaqueRect();
        if (opaque.Left <= clip.Left && opaque.Top <= clip.Top && clip.Right <= opaque.Right &&
            clip.Bottom <= opaque.Bottom && !opaque.IsEmpty()) {
          from = i;
          covered = true;
          break;
        }
      }
    for (size_t i = 0; covered && i < from; ++i)
      if (children[i]->Visible() && !children[i]->Name().empty() && children[i]->KeepsUnderlay()) {
        from = 0;
        covered = false;
      }
    if (Color() >= 0 && !covered) surface_.Fill(r, fill);
    surface_.AddChanged(r);
    if (Visible())
      for (size_t i = 0; i < children.size(); ++i) {
        TOrinControl* child = children[i];
        if (!child->Visible() || child->Name().empty()) continue;
        if (i < from)
          child->TouchBounds(clip);
        else
          child->DrawTree(surface_);
      }
    surface_.PopClip();
  }
}

void TOrinBase::SetButtonHeld(MouseButton button, bool held) {
  (button == MouseButton::kLeft ? lHeld_ : rHeld_) = held;
}

void TOrinBase::SetPointer(int32_t x, int32_t y) {
  mouseX_ = x;
  mouseY_ = y;
}

void TOrinBase::QueuePress(MouseButton button) { actions_.push_back({Action::kPress, button, mouseX_, mouseY_}); }
void TOrinBase::QueueRelease(MouseButton button) { actions_.push_back({Action::kRelease, button, mouseX_, mouseY_}); }
void TOrinBase::QueueWheel(bool down) {
  actions_.push_back({down ? Action::kWheelDown : Action::kWheelUp, MouseButton::kLeft, mouseX_, mouseY_});
}

void TOrinBase::DispatchPointer() {
  lClick_ = rClick_ = wheelDown_ = wheelUp_ = false;
  std::vector<PointerAction> actions;
  actions.swap(actions_);
  TOrinBaseList* owner = Owner();
  for (const PointerAction& a : actions) {
    const bool left = a.button == MouseButton::kLeft;
    Capture& held = left ? left_ : right_;
    switch (a.action) {
      case Action::kPress: {
        (left ? lClick_ : rClick_) = true;
        if (!left && owner && owner->OfferCancel(*this)) break;
        TOrinControl* target = HitTest(a.x, a.y, left ? kHitLeft : kHitRight);
        held.control = target;
        held.held = true;
        if (!target) break;
        target->MouseDown(a.button, a.x, a.y);
        if (left && owner && target->Focusable() && !target->Stopped()) owner->SetFocus(target);
        break;
      }
      case Action::kRelease: {
        if (!held.held) break;
        TOrinControl* target = held.control;
        held = Capture{};
        if (target) target->MouseUp(a.button, a.x, a.y);
        break;
      }
      case Action::kWheelDown:
      case Action::kWheelUp: {
        const bool down = a.action == Action::kWheelDown;
        (down ? wheelDown_ : wheelUp_) = true;
        if (TOrinControl* target = HitTest(a.x, a.y, kHitHover)) target->MouseWheel(down);
        break;
      }
    }
  }
  const bool moved = mouseX_ != seenX_ || mouseY_ != seenY_;
  seenX_ = mouseX_;
  seenY_ = mouseY_;
  if (left_.held || right_.held) {
    // While a button is held the pressed control follows the pointer, wherever it goes.
    TOrinControl* target = left_.held ? left_.control : right_.control;
    if (moved && target) target->MouseMove(mouseX_, mouseY_);
    return;
  }
  TOrinControl* hit = HitTest(mouseX_, mouseY_, kHitHover);
  if (hit != hover_) {
    TOrinControl* old = hover_;
    hover_ = hit;
    if (old) old->MouseLeave();
    if (hit) hit->MouseEnter();
  }
  if (moved && hover_) hover_->MouseMove(mouseX_, mouseY_);
}

void TOrinBase::ForgetControl(const TOrinControl* control) {
  if (left_.control == control) left_.control = nullptr;
  if (right_.control == control) right_.control = nullptr;
  if (hover_ == control) hover_ = nullptr;
}

void TOrinBase::ReleaseButtons() {
  lHeld_ = rHeld_ = false;
  left_ = right_ = Capture{};
  actions_.clear();
}

}  // namespace orin
