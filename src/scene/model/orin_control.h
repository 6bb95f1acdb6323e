// TOrinControl: the root of the visual scene classes — position and size in the parent's
// coordinates, origin, visibility, colour, clip sub-rectangle, input mode, the pointer, key and
// focus labels, the child list in drawing order and an attached motion.
//
// Screen position (x; y alike with top, origin y, zoom y, flip y, height):
//   origin part = origin x, or (zoom × origin x) div 256 when zoom ≠ 256; mirrored:
//                 width − that − 1;
//   own part    = motion x while a motion is attached; else left, or (left × zoom) div 256 with
//                 the scale-position flag; with that flag, a parent that shows an image and equal
//                 zooms, left × (parent width ≪ 16) div parent image width in 16.16 fixed point,
//                 rounded up when the fraction exceeds 0x7FFF;
//   screen x    = own part − origin part + the parent's screen x − the parent's content offset
//                 + offset x (property 159).
// Zoom and flips belong to classes that show an image (HasImageGeometry); others are 256 and
// unmirrored.
//
// Screen positions, the root and whether a cabinet holds the control are kept once computed, so
// that a frame costs time linear in the depth of the tree: a control computes them from its
// parent's. What they depend on marks the control and its subtree for recomputation (geometry,
// zoom, flips, motion, parent); the scene also drops them all at the start of each frame. A class
// that changes something else that its children's positions read (its image size, its content
// offset) calls PlacementChanged.
//
// Visible rectangle: the screen rectangle (ScreenRect) cut by the clip sub-rectangle
// (properties 116-119, relative to the screen rectangle's corner; a width or height below 1
// shows nothing; a new control shows everything). Children draw and take the pointer only inside
// their parent's visible rectangle.
//
// Save record, after the object header: left, top, width, height, origin x, origin y (int32);
// scale-position flag (byte); motion x, motion y and two further motion words (int32, from
// version 130); clip left, top, width, height (int32) and paused (byte), from version 104;
// visible (byte); colour (int32); bounds rectangle (4 × int32); input mode (byte); hint; the
// nine pointer labels 34, 103 (from 102), 35, 36, 37, 38, 39, 40, 41; from version 118 the
// focusable flag (byte) and the labels 144, 145, 146, 148, 149; then the saved children (those
// not deleted, with a kind, not internal): count (int32), then per child its kind byte and its
// record. A subclass writes its own fields after all of that.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/mouse_button.h"
#include "imaging/dib_surface.h"
#include "imaging/geometry.h"
#include "scene/model/orin_motion.h"
#include "scene/model/orin_object.h"

namespace orin {

class ScreenSurface;
class TOrinBase;

// Sets of input modes (bit n = mode n) that the pointer's hit tests admit.
enum InputModes : uint8_t {
  kHitLeft = 0x11,   // modes 0 and 4
  kHitRight = 0x09,  // modes 0 and 3
  kHitHover = 0x1D,  // modes 0, 2, 3 and 4
};

class TOrinControl : public TOrinComponent {
 public:
  explicit TOrinControl(TOrinBaseList* owner);
  ~TOrinControl() override;

  TOrinControl* AsControl() override { return this; }
  const TOrinControl* AsControl() const override { return this; }
  virtual bool IsRoot() const { return false; }

  // --- Geometry (setters repaint the old and the new place) ---
  int32_t Left() const { return left_; }
  int32_t Top() const { return top_; }
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  void SetLeft(int32_t v);
  void SetTop(int32_t v);
  void SetWidth(int32_t v);
  void SetHeight(int32_t v);
  void SetBounds(int32_t left, int32_t top, int32_t width, int32_t height);
  int32_t OriginX() const { return originX_; }
  int32_t OriginY() const { return originY_; }
  // True for classes with zoom and flips (properties 7, 132, 111, 112).
  virtual bool HasImageGeometry() const { return false; }
  int32_t ZoomX() const { return HasImageGeometry() ? zoomX_ : 256; }
  int32_t ZoomY() const { return HasImageGeometry() ? zoomY_ : 256; }
  bool FlipX() const { return HasImageGeometry() && flipX_; }
  bool FlipY() const { return HasImageGeometry() && flipY_; }
  // Values of 0 or below are stored as 1.
  virtual void SetZoomX(int32_t zoom);
  virtual void SetZoomY(int32_t zoom);
  // The size of the image the control shows (0 when none): the 16.16 placement of children.
  virtual int32_t ImageWidth() const { return 0; }
  virtual int32_t ImageHeight() const { return 0; }
  // Scroll offset of the content (tile classes), subtracted from the children's positions.
  virtual int32_t ContentOffsetX() const { return 0; }
  virtual int32_t ContentOffsetY() const { return 0; }

  int32_t ScreenX() const;
  int32_t ScreenY() const;
  // The control's own screen rectangle; rotated classes answer their bounding rectangle.
  virtual Rect ScreenRect() const;
  Rect VisibleRect() const;
  // The area the control may draw in: its visible rectangle cut by every ancestor's.
  Rect EffectiveClip() const;
  // The rectangle kept from the last repaint (property-less; saved with the control).
  const Rect& BoundsRect() const { return bounds_; }

  // --- State ---
  bool Visible() const { return visible_; }
  void SetVisibleFlag(bool v);
  // Visible with every ancestor up to a root, and shown by every ancestor.
  bool Showing() const;
  int32_t Color() const { return color_; }
  void SetColor(int32_t c);
  uint8_t InputMode() const { return inputMode_; }
  void SetInputMode(uint8_t m) { inputMode_ = m; }
  bool Admits(InputModes modes) const { return inputMode_ < 8 && ((modes >> inputMode_) & 1) != 0; }
  // An internal child takes its parent's value.
  bool Paused() const;
  void SetPaused(bool v) { paused_ = v; }
  bool Focusable() const { return focusable_; }
  void SetFocusable(bool v);
  bool ScalePosition() const { return scalePosition_; }
  // Class properties that several later classes share; classes without them answer false.
  virtual bool Loop() const { return false; }
  virtual bool FreeWhenFinished() const { return false; }
  void SetDepth(int32_t depth) override;
  void SetDepthOffset(int32_t offset) override;

  // The label of an event code this class keeps (pointer, key, focus, every-frame and finished
  // labels); empty for other codes.
  virtual const std::string& Label(int code) const;
  virtual void SetLabel(int code, const std::string& label);
  const std::string& EveryFrameLabel() const override { return Label(113); }

  // --- Tree ---
  TOrinControl* Parent() const { return parent_; }
  const std::vector<TOrinControl*>& Children() const { return children_; }
  // Moves the control into parent's child list (repainting both places); refused (false) for a
  // root, a null parent, a parent inside this control, or a place where the control's deepest
  // descendant would lie deeper than a saved scene may nest (TOrinBaseList::kMaxLoadDepth).
  virtual bool SetParent(TOrinControl* parent);
  // 1 for a control without children, else 1 + the highest child's.
  int SubtreeHeight() const;
  // The root this control hangs under (itself for a root), or null.
  TOrinBase* Root();
  const TOrinBase* Root() const;
  bool IsAncestorOf(const TOrinControl* other) const;
  bool InsideCabinet() const;
  void SortChildren();
  // False for classes that keep their children from drawing and from the pointer (cabinets).
  virtual bool ShowsChildren() const { return true; }

  // --- Drawing ---
  // Adds the visible rectangle, cut by the parent's clip, to the root's dirty region, and
  // remembers the screen rectangle as the bounds rectangle.
  void Invalidate();
  // Draws the control and its children inside the surface's current clip.
  void DrawTree(ScreenSurface& surface);
  // The control's own pixels; the clip is its visible rectangle.
  virtual void Draw(ScreenSurface& /*surface*/) {}
  // False while the control draws nothing at all, its children included (an image object
  // without a picture).
  virtual bool DrawsTree() const { return true; }
  // The screen rectangle the control's own drawing fills with opaque pixels whenever it is
  // drawn (empty when it cannot promise that): what lies beneath it there need not be drawn.
  virtual Rect OpaqueRect() const { return {}; }
  // What DrawTree would do to the saved bounds inside clip, without drawing: for controls that
  // lie under an opaque one, whose bounds still go into saves.
  void TouchBounds(const Rect& clip);
  // True when the control or a descendant keeps an underlay, which must see what lies beneath.
  bool KeepsUnderlay() const;
  // The back buffer under the control as it was before the control drew (underlay classes).
  const TDIBSurface* Underlay() const { return underlay_.get(); }

  // --- Input ---
  // The topmost control at the screen point whose input mode is in modes, or null.
  virtual TOrinControl* HitTest(int32_t x, int32_t y, InputModes modes);
  // Handlers get screen coordinates. The defaults queue the labels by the pointer rules.
  virtual void MouseDown(MouseButton button, int32_t x, int32_t y);
  virtual void MouseUp(MouseButton button, int32_t x, int32_t y);
  virtual void MouseMove(int32_t x, int32_t y);
  virtual void MouseEnter();
  virtual void MouseLeave();
  virtual void MouseWheel(bool down);
  virtual void KeyDown();
  virtual void KeyUp();
  virtual void KeyRepeat();
  virtual void FocusIn();
  virtual void FocusOut();
  // Text entry: characters typed (UTF-8, after the input method) and the input method's
  // composition string (empty: ended; cursor in characters), given to the focused control; a
  // control that takes text says so and where its caret is (screen coordinates).
  virtual void TextInput(const std::string& /*utf8*/) {}
  virtual void TextEditing(const std::string& /*utf8*/, int /*cursor*/) {}
  virtual bool TakesText(Rect& /*caret*/) const { return false; }
  // A right press offered to an open menu; true when the menu took it.
  virtual bool OfferCancel() { return false; }
  bool Pressed() const { return pressed_; }

  // --- Motion ---
  TOrinMotion* Motion() const { return motion_.get(); }
  // Loads a motion file through the owner's file manager and attaches it (started); a missing
  // or unreadable file leaves the control without a motion.
  void LoadMotionFile(const std::string& name);
  void AttachMotion(std::unique_ptr<MotionFilm> film, const std::string& fileName);
  // Detaching resets motion x, motion y and the depth offset to 0.
  void DetachMotion();
  void RestartMotion();
  int32_t MotionX() const { return motionWords_[0]; }
  int32_t MotionY() const { return motionWords_[1]; }
  // The picture the motion's last applied frame showed: the film's image-file index + 1 (0: none)
  // and the picture index; kept in saves.
  int32_t MotionImageFile() const { return motionWords_[2]; }
  int32_t MotionImageIndex() const { return motionWords_[3]; }
  // Shows a frame of the attached motion; the base point is where relative frames start.
  virtual void ApplyMotionFrame(const MotionFilm& film, int32_t frame, int32_t baseX, int32_t baseY);
  // Frame fields the base control has no use for; image classes take them.
  virtual void SetMotionAlpha(int32_t /*alpha*/) {}
  virtual void SetMotionRotation(int32_t /*rotation*/) {}
  virtual void ShowMotionImage(const std::string& /*file*/, int32_t /*index*/) {}

  bool Step() override;

  // --- Scripts ---
  void GetProp(int number, TCustomParam& dest) override;
  void SetProp(int number, const TCustomParam& value) override;
  bool GetVisible(int32_t item) override;
  void SetVisible(int32_t item, bool visible) override;
  int32_t ToScreenX(int32_t x) const { return ScreenX() + x; }
  int32_t ToScreenY(int32_t y) const { return ScreenY() + y; }
  int32_t ToClientX(int32_t x) const { return x - ScreenX(); }
  int32_t ToClientY(int32_t y) const { return y - ScreenY(); }

  // Hooks of the shell around a change of display mode.
  virtual void ReleaseSurfaces() {}
  virtual void RebuildSurfaces() {}
  // Called after the position or size changed.
  virtual void AfterMove() {}
  // Forgets the kept screen positions of the control and its subtree.
  void PlacementChanged();

  void Save(Stream& s, int version) const override;
  void Load(Stream& s, int version) override;

 protected:
  // Mirror image classes (properties 111, 112).
  void SetFlipX(bool v);
  void SetFlipY(bool v);

  bool underlayFlag_ = false;

  // The pointer position relative to the control, as decimal texts.
  std::vector<std::string> PointerArgs(int32_t x, int32_t y) const;

 private:
  friend class TOrinBaseList;

  // What the position of a control is kept as, computed from its parent's.
  struct Placement {
    int32_t X = 0;
    int32_t Y = 0;
    const TOrinBase* Root = nullptr;
    bool InCabinet = false;
  };
  const Placement& Placed() const;
  bool PlacementValid() const;
  // Computes placed_ from the parent's, which must be valid.
  void Place() const;
  int32_t Coordinate(bool vertical, int64_t parentScreen) const;
  void SetFlip(bool& flip, bool v);
  void SetGeometry(int32_t& field, int32_t v);
  // The field of a label this class keeps, or null.
  std::string* LabelSlot(int code);
  void ChildAdded(TOrinControl* child);
  void ChildRemoved(TOrinControl* child);
  void SaveChildren(Stream& s, int version) const;
  void LoadChildren(Stream& s, int version);

  int32_t zoomX_ = 256;
  int32_t zoomY_ = 256;
  bool flipX_ = false;
  bool flipY_ = false;
  mutable Placement placed_;
  mutable bool placedValid_ = false;
  mutable uint32_t placedEpoch_ = 0;
  int32_t left_ = 0;
  int32_t top_ = 0;
  int32_t width_ = 1;
  int32_t height_ = 1;
  int32_t originX_ = 0;
  int32_t originY_ = 0;
  bool visible_ = true;
  TOrinControl* parent_ = nullptr;
  int32_t color_ = -1;
  Rect bounds_{0, 0, 1, 1};
  // Labels in save order: 34, 103, 35, 36, 37, 38, 39, 40, 41.
  std::array<std::string, 9> pointerLabels_;
  // 144, 145, 146, 148, 149.
  std::array<std::string, 5> keyLabels_;
  std::string everyFrameLabel_;
  std::string finishedLabel_;
  uint8_t inputMode_ = 0;
  std::string hint_;
  bool scalePosition_ = false;
  int32_t clip_[4] = {0, 0, INT32_MAX, INT32_MAX};
  // Motion x, motion y, and the film's shown image (file index + 1, 0 for none; picture index).
  int32_t motionWords_[4] = {0, 0, 0, 0};
  bool paused_ = false;
  bool focusable_ = false;
  int32_t offsetX_ = 0;
  int32_t offsetY_ = 0;
  bool pressed_ = false;
  std::vector<TOrinControl*> children_;
  std::unique_ptr<TOrinMotion> motion_;
  std::unique_ptr<TDIBSurface> underlay_;
};

}  // namespace orin
