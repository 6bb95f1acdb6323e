// TOrinBase, one of the scene's two screen roots, and TOrinBaseCinema, the root of the cinema
// variant of the scene.
//
// A root is a control without a parent that owns the screen surface its subtree is drawn into,
// the dirty region of that surface, and the pointer state the window reports to it: held
// buttons, the position, and the presses, releases and wheel steps of the frame, which the scene
// dispatches to the root's controls once per frame. Roots raise no pointer events themselves and
// cannot be re-parented.
//
// Dirty region: rectangles cut to the screen; a rectangle that overlaps or touches one already
// listed is merged with it, and past kMaxDirtyRects the list collapses into its bounding
// rectangle, so drawing never visits a pixel twice per frame.
#pragma once

#include <vector>

#include "imaging/screen_surface.h"
#include "scene/model/orin_control.h"

namespace orin {

class TOrinBase : public TOrinControl {
 public:
  static constexpr size_t kMaxDirtyRects = 24;

  explicit TOrinBase(TOrinBaseList* owner);

  ScreenSurface& Surface() { return surface_; }
  const ScreenSurface& Surface() const { return surface_; }
  // Sizes the root and its surface and marks the whole screen dirty.
  void SetScreenSize(int width, int height, int depth);

  Rect ScreenRect() const override;
  bool SetParent(TOrinControl* parent) override;
  TOrinControl* HitTest(int32_t x, int32_t y, InputModes modes) override;

  void AddDirty(const Rect& r);
  void InvalidateAll() { AddDirty(surface_.Bounds()); }
  const std::vector<Rect>& DirtyRects() const { return dirty_; }
  // True when the dirty region is the whole screen.
  bool AllDirty() const;
  void ClearDirty() { dirty_.clear(); }
  // Draws the dirty region into the surface: each rectangle is filled with the root's colour
  // (when it has one) and the children are drawn over it; under a child whose OpaqueRect covers
  // the rectangle neither the fill nor the children before it are drawn (their bounds are kept).
  void DrawDirty();

  // --- Pointer state, as the window reports it ---
  void SetButtonHeld(MouseButton button, bool held);
  void SetPointer(int32_t x, int32_t y);
  // A press, release or wheel step for the next dispatch.
  void QueuePress(MouseButton button);
  void QueueRelease(MouseButton button);
  void QueueWheel(bool down);
  // Runs the queued actions and the pointer's movement against the controls of this root.
  void DispatchPointer();
  // Forgets the control as the pressed or hovered one.
  void ForgetControl(const TOrinControl* control);
  void ReleaseButtons();

  int32_t MouseX() const { return mouseX_; }
  int32_t MouseY() const { return mouseY_; }
  bool LPush() const { return lHeld_; }
  bool RPush() const { return rHeld_; }
  // Pulses of the last dispatch, writable by scripts.
  bool LClick() const { return lClick_; }
  bool RClick() const { return rClick_; }
  void SetLClick(bool v) { lClick_ = v; }
  void SetRClick(bool v) { rClick_ = v; }
  bool WheelDown() const { return wheelDown_; }
  bool WheelUp() const { return wheelUp_; }
  TOrinControl* Hovered() const { return hover_; }
  // The press of the held button goes to no control any more: its release and moves reach
  // nobody (a press that a control consumed as something else than a click).
  void DropCapture(MouseButton button) { (button == MouseButton::kLeft ? left_ : right_).control = nullptr; }
  // The control that took the held button's press (null when none did or none is held).
  TOrinControl* Captured(MouseButton button) const {
    return button == MouseButton::kLeft ? left_.control : right_.control;
  }
  bool IsRoot() const override { return true; }

  // Roots take no pointer events of their own.
  void MouseDown(MouseButton, int32_t, int32_t) override {}
  void MouseUp(MouseButton, int32_t, int32_t) override {}
  void MouseMove(int32_t, int32_t) override {}
  void MouseEnter() override {}
  void MouseLeave() override {}
  void MouseWheel(bool) override {}

 private:
  enum class Action : uint8_t { kPress, kRelease, kWheelDown, kWheelUp };
  struct PointerAction {
    Action action;
    MouseButton button;
    int32_t x, y;
  };

  ScreenSurface surface_;
  std::vector<Rect> dirty_;
  std::vector<PointerAction> actions_;
  int32_t mouseX_ = 0;
  int32_t mouseY_ = 0;
  // Where the last dispatch saw the pointer, for move events.
  int32_t seenX_ = INT32_MIN;
  int32_t seenY_ = INT32_MIN;
  bool lHeld_ = false;
  bool rHeld_ = false;
  bool lClick_ = false;
  bool rClick_ = false;
  bool wheelDown_ = false;
  bool wheelUp_ = false;
  // Each button's press: the control it went to and whether the button is still down.
  struct Capture {
    TOrinControl* control = nullptr;
    bool held = false;
  };
  Capture left_;
  Capture right_;
  TOrinControl* hover_ = nullptr;
};

class TOrinBaseCinema : public TOrinBase {
 public:
  using TOrinBase::TOrinBase;
};

}  // namespace orin
