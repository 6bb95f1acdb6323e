// TOrinSlider (kind 21) and TOrinScrollbar (kind 22): an integer value set with a draggable
// thumb, two arrow buttons, the track and the cursor keys; TOrinGauge (kind 23): a value shown as
// a filled bar that can run up or down over time.
//
// Slider properties: 123 minimum, 124 maximum, 125 value, 126 vertical, 127 step (arrows, keys),
// 128 page (scroll-bar track presses), 157 track length (above 0: replaces the bar image's),
// 2 bar image (two equal parts side by side: the track, then the track filled up to the thumb),
// 121 thumb image (three states side by side: normal, hover, pressed), 122 arrow image (six parts
// side by side: the first arrow's three states, then the second's), 88 image flag (the thumb is
// hit only on its opaque pixels), 11 class value, 33 change label (event 33, the new value in
// decimal), 135 drag started, 136 drag ended. Script writes raise nothing and are held within
// minimum … maximum when that range is valid; the player's changes clamp to it and raise 33
// when the value changed.
//
// Layout along the slider's direction: the first arrow at the start, the track, the second arrow
// at the end; the control is sized to them when images are set. The track is half the bar
// image's width (horizontal) or its height (vertical), or property 157 when above 0; without a
// bar image it is what the control's length leaves between the arrows. Horizontal values grow
// to the right: the first (left) arrow subtracts the step. Vertical values grow upwards, the
// thumb measured from the bottom: the first (top) arrow adds it. Thumb offset = (value − min) /
// (max − min) × track length rounded to nearest, 0 when max ≤ min; a scroll bar's thumb moves
// over the track less its own length, and its left (top) edge sits at the offset, where a
// slider's thumb is centred on it. The track and the arrows are hit where their image is opaque
// (alpha above 127, or not the colour key); without images anywhere in their rectangle.
//
// Presses (input modes 0 and 4, and only when max − min ≥ 1): the thumb starts a drag (135);
// an arrow steps and repeats after the scene's key-repeat delay, then every repeat interval,
// while the pointer stays on it; the track of a slider jumps to the pointer (135, 33) and drags;
// the track of a scroll bar pages towards the pointer and repeats like an arrow until the thumb
// has reached the pointer. Releasing a drag raises 136. Keys of the focused slider: Right/Left
// (horizontal) or Up/Down (vertical) add or subtract the step.
//
// Save record (slider), after the control record: bar, thumb and arrow files (strings);
// minimum, maximum, value, step, class value (int32); the image flag and vertical (bytes); the
// change, drag-started and drag-ended labels and one more string; from version 119 one byte;
// from version 128 the thumb length (int32). Then, this player's own: page and track length
// (int32). Reading sets the three files again.
//
// Gauge properties: 2 fill image (two equal parts side by side: empty, full), 123 minimum, 124
// maximum, 125 shown value (clamped), 126 vertical (fills from the bottom), 127 run state (100 run
// down, 200 run up, anything else still), 128 countdown in milliseconds before a run down starts,
// 120 start value (where a run down stops), 137 end value (where a run up stops), 26 run time in
// milliseconds for the whole range (0 or below: at once). A run moves the shown value by
// (max − min) / run time × frame delta per frame. Without a fill image the filled part is drawn
// in the control's colour (white when it has none).
// Gauge save record, after the control record: the file (string); minimum, maximum, start, end
// (int32); the shown value (10-byte extended); run state, run time, countdown (int32); vertical
// (byte).
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "scene/model/orin_control.h"
#include "scene/objects/object_classes.h"
#include "scene/objects/orin_custom_image.h"

namespace orin {

class TOrinSlider : public TOrinControl {
 public:
  enum PressMode : uint8_t { kPressNone = 0, kPressThumb = 1, kPressArrow1 = 2, kPressArrow2 = 3,
                             kPressTrackStart = 4, kPressTrackEnd = 5 };

  TOrinSlider(TOrinBaseList* owner, const SceneServices& services);
  ~TOrinSlider() override;

  uint8_t Kind() const override { return kKindSlider; }
  virtual bool IsScrollbar() const { return false; }

  int32_t Minimum() const { return min_; }
  int32_t Maximum() const { return max_; }
  int32_t Value() const { return value_; }
  bool Vertical() const { return vertical_; }
  int32_t ThumbOffset() const { return thumbOffset_; }
  uint8_t PressModeNow() const { return press_; }
  int32_t TrackLength() const;
  // The player's change: clamped; event 33 when the value changed.
  void ChangeValue(int64_t value);

  bool Step() override;
  void Draw(ScreenSurface& surface) override;
  void MouseDown(MouseButton button, int32_t x, int32_t y) override;
  void MouseUp(MouseButton button, int32_t x, int32_t y) override;
  void MouseMove(int32_t x, int32_t y) override;
  void MouseLeave() override;
  void KeyRepeat() override;
  const std::string& Label(int code) const override;
  void SetLabel(int code, const std::string& label) override;
  void GetProp(int number, TCustomParam& dest) override;
  void SetProp(int number, const TCustomParam& value) override;
  void Save(Stream& s, int version) const override;
  void Load(Stream& s, int version) override;

 private:
  enum Part { kPartNone, kPartThumb, kPartArrow1, kPartArrow2, kPartTrack };
  // Rectangles in screen coordinates.
  Rect Arrow1Rect() const;
  Rect Arrow2Rect() const;
  Rect TrackRect() const;
  Rect ThumbRect() const;
  int32_t ArrowLength() const;
  int32_t ThumbLength() const;
  // Along the direction: the pointer's distance from the track's start (vertical: from the
  // bottom).
  int64_t AlongTrack(int32_t x, int32_t y) const;
  Part PartAt(int32_t x, int32_t y) const;
  void UpdateThumb();
  void FitToImages();
  void LoadFiles();
  void DragTo(int32_t x, int32_t y);
  void RepeatPress();
  void SetStates(int thumb, int arrow1, int arrow2);
  void HoverAt(int32_t x, int32_t y);

  SceneServices services_;
  std::string barFile_;
  std::string thumbFile_;
  std::string arrowFile_;
  ImageList bar_;
  ImageList thumb_;
  ImageList arrows_;
  int32_t min_ = 0;
  int32_t max_ = 100;
  int32_t value_ = 0;
  int32_t step_ = 1;
  int32_t page_ = 10;
  int32_t track157_ = 0;
  int32_t classValue_ = 0;
  bool imageFlag_ = false;
  bool vertical_ = false;
  uint8_t extraByte_ = 0;
  std::string labelChange_;
  std::string labelDragStart_;
  std::string labelDragEnd_;
  std::string extraString_;
  int32_t thumbOffset_ = 0;
  int thumbState_ = 0;
  std::array<int, 2> arrowState_{};
  uint8_t press_ = kPressNone;
  int32_t grab_ = 0;
  int32_t repeatLeft_ = 0;
  int32_t pointerX_ = 0;
  int32_t pointerY_ = 0;
  bool onPressedPart_ = false;
};

class TOrinScrollbar : public TOrinSlider {
 public:
  using TOrinSlider::TOrinSlider;
  uint8_t Kind() const override { return kKindScrollbar; }
  bool IsScrollbar() const override { return true; }
};

class TOrinGauge : public TOrinControl {
 public:
  enum RunState : int32_t { kRunDown = 100, kRunUp = 200 };

  TOrinGauge(TOrinBaseList* owner, const SceneServices& services);
  ~TOrinGauge() override;

  uint8_t Kind() const override { return kKindGauge; }
  long double Shown() const { return shown_; }
  int32_t RunStateNow() const { return run_; }

  bool Step() override;
  void Draw(ScreenSurface& surface) override;
  void GetProp(int number, TCustomParam& dest) override;
  void SetProp(int number, const TCustomParam& value) override;
  void Save(Stream& s, int version) const override;
  void Load(Stream& s, int version) override;

 private:
  void SetFile(const std::string& file);
  void SetShown(long double v);

  SceneServices services_;
  std::string file_;
  ImageList fill_;
  int32_t min_ = 0;
  int32_t max_ = 100;
  int32_t start_ = 0;
  int32_t end_ = 100;
  long double shown_ = 0;
  int32_t run_ = 0;
  int32_t runTime_ = 1000;
  int32_t countdown_ = 0;
  bool vertical_ = false;
};

}  // namespace orin
