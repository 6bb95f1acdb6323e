// TOrinButton (kind 3): an image object with one picture per state that reacts to the pointer
// and the keyboard, raises its click label (property 33, event 33) and may belong to a radio
// group.
//
// States: 0 normal (the file, property 2), 1 hover (83), 2 down (84), 3 clicked (133); −1 none.
// Each state file is an image file, whose images the state shows from image 0, or a motion file
// (".omt"), which the state plays from its start. States 0 to 2 loop; the click animation
// (state 3) plays once, then raises event 43 (or, free when finished, deletes the button) and
// switches to the state asked for meanwhile (the deferred state, 0 unless the pointer asked for
// another). A switch to a state without images or motion is ignored, except to state 0; a switch
// asked for during the click animation waits for its end.
//
// Pointer and keys:
//   move     not pressed: 2 when toggled on, else 0 while stopped, else 1; pressed: 2 while the
//            pointer is over the button or it is toggled on, else 0; then the move event;
//   leave    2 when toggled on, else 0 (deferred during the click animation); the leave event;
//   left down (input modes 0 and 4) unless stopped or clicked: remembers the press, state 2; no
//            left-down event. Other modes: the ordinary left-down event;
//   left up  a press released over the button clicks; a button without a group that is not in
//            state 3 returns to state 0; then the ordinary left-up event;
//   Enter, Space (went down or repeated while focused, not stopped): a click; then the key event.
// A click raises event 33. Without a group the button enters state 3; when state 3 shows
// nothing and free when finished is set, the button deletes itself on the next step. In a group
// the click flips the toggle, except that a button that is on stays on unless allow-none is set.
//
// Radio groups: the buttons with the same non-zero group number (85) among the children of one
// parent, in child order. Turning a button on (87) needs a group; the toggle shows state 2 when
// on and 0 when off, then the group is normalised: the button just changed wins when it is on,
// else the first button that is on; with none on and the changed button's allow-none clear, the
// first button of the group. Every button of the group is then on exactly when it is the
// selected one. Allow-none (86) is set on the whole group, then the group is normalised; a new
// group number normalises the new group.
//
// Save record, after TOrinImages': the state-1 file, the state-2 file (strings), group (int32),
// toggle, allow-none (bytes), the click label (string), a string kept unchanged (from version
// 104), the state-3 file (from version 104). Loading reads the state files again, sets the toggle
// (normalising the group), forgets any press and shows the saved image of the shown state (image
// 0 when the saved index lies beyond it: a button saved during its click animation).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "scene/model/motion_film.h"
#include "scene/objects/orin_images.h"

namespace orin {

class TOrinButton : public TOrinImages {
 public:
  static constexpr int kStateCount = 4;

  TOrinButton(TOrinBaseList* owner, const SceneServices& services);
  ~TOrinButton() override;

  uint8_t Kind() const override { return kKindButton; }
  // States 0 to 2 repeat their pictures; the click animation plays once.
  bool Loop() const override { return state_ != 3; }

  int32_t State() const { return state_; }
  int32_t DeferredState() const { return deferred_; }
  // 0, 1 while the left button is held after going down on it, −1 after a click that deletes it.
  int32_t PressState() const { return press_; }
  // The rules of the header: ignored for a state without pictures (but 0), deferred while the
  // click animation plays.
  void SetState(int32_t state);
  // State 0's file is property 2 (SetFile); states 1 to 3 have their own.
  const std::string& StateFile(int state) const;
  void SetStateFile(int state, const std::string& file);
  void SetFile(const std::string& file) override;

  int32_t Group() const { return group_; }
  void SetGroup(int32_t group);
  bool Toggle() const { return toggle_; }
  void SetToggle(bool on);
  bool AllowNone() const { return allowNone_; }
  void SetAllowNone(bool allowNone);
  // The other buttons of the group with this one, in child order (empty without a group).
  std::vector<TOrinButton*> GroupMembers() const;

  // The effect of a click (pointer or key): event 33, then the state or the toggle.
  void Click();

  const std::string& Label(int code) const override;
  void SetLabel(int code, const std::string& label) override;

  void MouseDown(MouseButton button, int32_t x, int32_t y) override;
  void MouseUp(MouseButton button, int32_t x, int32_t y) override;
  void MouseMove(int32_t x, int32_t y) override;
  void MouseLeave() override;
  void KeyRepeat() override;

  bool Step() override;
  void GetProp(int number, TCustomParam& dest) override;
  void SetProp(int number, const TCustomParam& value) override;
  void Save(Stream& s, int version) const override;
  void Load(Stream& s, int version) override;

 protected:
  bool LastImageRanOut() override;

 private:
  bool HasPictures(int state) const;
  // Shows the current state: its motion from the start, or its images from image 0.
  void ShowState();
  // The click animation is over: on to the deferred state.
  void EndClick();
  // Sets the toggle without normalising; shows state 2 when on, 0 when off.
  void ShowToggle(bool on);
  // Makes the group of this button consistent after changed's toggle changed.
  void Normalise(TOrinButton* changed);
  bool Over(int32_t x, int32_t y) const;
  std::unique_ptr<MotionFilm> ReadFilm(const std::string& name) const;

  int32_t state_ = 0;
  int32_t deferred_ = 0;
  int32_t press_ = 0;
  // Files of states 1 to 3 (index 0 unused: state 0's file is the image object's file).
  std::array<std::string, kStateCount> stateFiles_;
  // The motion of each state whose file is a motion file.
  std::array<std::unique_ptr<MotionFilm>, kStateCount> films_;
  int32_t group_ = 0;
  bool toggle_ = false;
  bool allowNone_ = false;
  std::string clickLabel_;
  std::string extra_;
};

}  // namespace orin
