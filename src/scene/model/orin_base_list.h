// TOrinBaseList, the scene container, and TOrinBaseListCinema, its cinema variant.
//
// The container owns every object of a running game in one flat list (in creation order), the
// two screen roots "\001BASE0" and "\001BASE1" (not in the flat list), the event queue, the
// deleted-but-not-yet-freed list, the focus and the keyboard state. Lookups by name take the
// first object of the flat list with exactly that name that is not deleted; an empty name and
// "\001BASE0" give the active root, "\001BASE1" and kBackRootName the inactive one.
//
// Frame order (the shell's): InputStep (pointer dispatch, focus, keyboard tables), the
// interpreter, Step (roots, every-frame events, object steps, deferred frees), Draw, present,
// ClearDirty.
//
// Keyboard: KeyDown sets the key down, marks it pressed and in the edge table, starts its
// repeat countdown at kKeyRepeatDelay and raises the went-down and went-down-or-repeated flags;
// KeyUp sets it up and raises the went-up flag. A KeyDown for a key already down (the window's
// own auto-repeat) changes nothing: the scene repeats held keys itself. InputStep copies the
// pressed and edge tables to their previous-frame copies (what KeyClick and KeyRepeat read) and
// clears them, runs the focused control's key handlers for the raised flags, clears the flags,
// and counts the held keys' countdowns down by the frame delta: at 0 or below the key is marked
// in the edge table, kKeyRepeatInterval is added back and the went-down-or-repeated flag is
// raised for the next frame. The delay and interval are the desktop's defaults (500 ms, about
// 30 per second).
//
// Scene save record (stream version given by the caller; written as kSceneSaveVersion): the
// active root's control record, the inactive root's control record (each with its children),
// the saved components (timers, animators, sounds: objects without a parent that are not
// deleted, have a kind and are not internal): count (int32), then per component its kind byte
// and its record; then the event queue. Loading clears the scene first; the roots keep their
// own names. A kind byte without a class makes no object (kinds outside the table are skipped as
// the single byte they are; a kind of the table whose class this player lacks cannot be skipped
// and throws Error). Nesting deeper than kMaxLoadDepth throws Error; SetParent never builds such
// a scene, so every scene the player saves loads again.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "scene/objects/object_classes.h"
#include "scene/model/orin_base.h"
#include "scene/model/scene_transition.h"
#include "scene/model/timer_list.h"

namespace orin {

class RowTeam;
class TVrFileManager;

class TOrinBaseList : public TOrinComponent {
 public:
  static constexpr int32_t kKeyRepeatDelay = 500;
  static constexpr int32_t kKeyRepeatInterval = 33;
  static constexpr int kMaxLoadDepth = 256;
  // The reserved names. kTopName sorts above every sibling (the snapshot a flip keeps showing);
  // kBackRootName is the second name of the inactive root.
  static const std::string kRoot0Name;
  static const std::string kRoot1Name;
  static const std::string kBackRootName;
  static const std::string kTopName;

  // files, when given, is where motion files come from; services go to the objects the scene
  // makes by kind, which are those of classes (the player's own by default).
  explicit TOrinBaseList(TVrFileManager* files = nullptr, const SceneServices& services = {},
                         ObjectClasses classes = ObjectClasses::StandardClasses());
  ~TOrinBaseList() override;

  TVrFileManager* Files() const { return files_; }
  void SetFiles(TVrFileManager* files) { files_ = files; }

  // --- Screen ---
  void SetSize(int width, int height, int depth = 32);
  // Helper threads that share the rows of the roots' large drawing operations
  // (imaging/row_team.h); null draws on the calling thread alone.
  void SetRowTeam(RowTeam* team);
  int Width() const { return width_; }
  int Height() const { return height_; }
  int Depth() const { return depth_; }
  // Display scale in percent (100 = one to one), read by the presenter.
  int32_t DisplayScale() const { return displayScale_; }
  void SetDisplayScale(int32_t percent) { displayScale_ = percent; }

  // --- Roots ---
  TOrinBase& Root(int index) { return *roots_[index & 1]; }
  int ActiveIndex() const { return active_; }
  TOrinBase& ActiveRoot() { return *roots_[active_]; }
  TOrinBase& InactiveRoot() { return *roots_[1 - active_]; }
  // Makes root index active (the whole new screen is repainted, a focus on the other root is
  // dropped) and runs transition, when given, until it reports done.
  void SwitchActive(int index, std::unique_ptr<SceneTransition> transition = nullptr);
  SceneTransition* Transition() const { return transition_.get(); }
  void EndTransition() { transition_.reset(); }
  // What the presenter shows: the transition's target while one runs, else the active root's
  // surface.
  ScreenSurface& PresentSurface();

  // --- Objects ---
  // Classes by kind (scene/object_classes.h) and what they are made with; a change reaches the
  // objects made afterwards.
  ObjectClasses& Classes() { return classes_; }
  const SceneServices& Services() const { return services_; }
  void SetServices(const SceneServices& services) { services_ = services; }
  bool HasKind(uint8_t kind) const { return classes_.Has(kind); }
  // A new object of the kind (kind & 0x7F), or null for a kind without a class. It gets the
  // default name and, when it is a control, the active root as parent.
  TOrinObject* Create(uint8_t kind);
  // Lists an object made elsewhere as Create would (tests and tools build their own classes).
  TOrinObject* Adopt(std::unique_ptr<TOrinObject> object);
  template <class T>
  T* Make() {
    return static_cast<T*>(Adopt(std::make_unique<T>(this)));
  }
  TOrinObject* Find(std::string_view name);
  TOrinControl* FindControl(std::string_view name);
  // The object with this serial while it is in the flat list, else null.
  TOrinObject* FindBySerial(uint64_t serial) const;
  // In the flat list (or a root) and not deleted.
  bool IsLive(const TOrinObject* object) const;
  int ObjectCount() const { return static_cast<int>(objects_.size()); }
  TOrinObject& Object(int i) { return *objects_[static_cast<size_t>(i)]; }
  bool IsReservedName(std::string_view name) const;

  void Rename(TOrinObject& object, const std::string& name);
  void Delete(TOrinObject& object);
  // Frees the object now: its children first, its motion, its focus and waiting events.
  void Destroy(TOrinObject& object);
  // Frees everything and makes fresh roots of the same size, with the pointer where it was.
  void Clear();

  // --- Properties by name (SetProp and GetProp of the scripts) ---
  // A name that finds nothing does nothing. SetProp: numbers outside 0-161 and 92, 93 throw
  // "SetPropエラー"; 78, 79, 138, 140 and 161 do nothing. GetProp: numbers outside 0-161 throw
  // "GetPropエラー"; 92 and 93 read as 0.
  void GetProp(const std::string& object, int32_t number, TCustomParam& dest);
  void SetProp(const std::string& object, int32_t number, const TCustomParam& value);
  // The same rules for an object in hand.
  void GetPropOf(TOrinObject& object, int32_t number, TCustomParam& dest);
  void SetPropOf(TOrinObject& object, int32_t number, const TCustomParam& value);
  using TOrinComponent::GetProp;
  using TOrinComponent::SetProp;

  // --- Events and time ---
  TTimerList& Events() { return events_; }
  int32_t Clock() const { return clock_; }
  uint32_t PlacementEpoch() const { return placementEpoch_; }
  int32_t FrameDelta() const { return frameDelta_; }

  // --- Frame ---
  void InputStep(int32_t clock, int32_t frameDelta);
  // The scene step; the container itself never finishes (always false).
  bool Step() override;
  // Draws the dirty parts of the active root; while a transition runs, of both roots, and then
  // the transition's picture from them.
  void Draw();
  void ClearDirty();

  // --- Input from the window ---
  void MouseDown(MouseButton button, int32_t x, int32_t y);
  void MouseUp(MouseButton button, int32_t x, int32_t y);
  void MouseMove(int32_t x, int32_t y);
  void MouseWheel(bool down);
  // Keys 0-255; others are ignored.
  void KeyDown(int key);
  void KeyUp(int key);
  // Lets go of every key and button (the window lost the foreground).
  void ReleaseInput();
  bool KeyPush(int key) const;
  bool KeyClick(int key) const;
  bool KeyRepeat(int key) const;
  // Text entry, passed to the focused control when it may take the focus (orin_control.h).
  void TextInput(const std::string& utf8);
  void TextEditing(const std::string& utf8, int cursor);
  bool WantsTextInput(Rect& caret) const;

  // --- Focus ---
  TOrinControl* Focus() const { return focus_; }
  // Gives the focus to a focusable, showing control of the active root (or none with null);
  // false when the control cannot take it.
  bool SetFocus(TOrinControl* control);
  void RequestFocusUpdate() { focusUpdate_ = true; }
  bool CanFocus(const TOrinControl* control) const;

  // --- Menus that a right press may cancel, in registration order ---
  void RegisterMenu(TOrinControl* menu);
  void UnregisterMenu(const TOrinControl* menu);
  // Offers a right press on root to the registered menus, last registered first.
  bool OfferCancel(TOrinBase& root);

  void ReleaseSurfaces();
  void RebuildSurfaces();

  void Save(Stream& s, int version) const override;
  void Load(Stream& s, int version) override;
  // One object with its kind byte, and the reverse (null for a kind that makes nothing).
  void SaveObject(Stream& s, const TOrinObject& object, int version) const;
  TOrinObject* LoadObject(Stream& s, int version, TOrinControl* parent);
  // Saved objects are those that are not deleted, have a kind and are not internal.
  static bool IsSaved(const TOrinObject& object);

 protected:
  virtual std::unique_ptr<TOrinBase> CreateRoot();
  void MakeRoots();

 private:
  friend class TOrinControl;

  void Register(TOrinObject* object);
  void RemoveFromFlatList(TOrinObject* object);
  std::string DefaultName() const;
  bool NameInUse(std::string_view name, const TOrinObject* except) const;
  void UpdateFocus();
  void ChangeFocus(TOrinControl* control);
  TOrinControl* TopmostFocusable(TOrinControl& control);
  void DispatchKeys();
  void RollKeys();

  TVrFileManager* files_;
  int width_ = 0;
  int height_ = 0;
  int depth_ = 32;
  int32_t displayScale_ = 100;
  std::array<std::unique_ptr<TOrinBase>, 2> roots_;
  int active_ = 0;
  std::unique_ptr<SceneTransition> transition_;
  TTimerList events_;
  std::vector<std::unique_ptr<TOrinObject>> objects_;
  std::unordered_map<uint64_t, TOrinObject*> bySerial_;
  uint64_t nextSerial_ = 1;
  std::vector<TOrinObject*> deleted_;
  std::vector<TOrinControl*> menus_;
  ObjectClasses classes_;
  SceneServices services_;
  TOrinControl* focus_ = nullptr;
  bool focusUpdate_ = false;
  bool anyControlMade_ = false;
  // The flat-list position of the running scene step; removals before it move it back.
  int stepCursor_ = -1;
  int loadDepth_ = 0;
  // Kept screen positions are valid in this epoch only; each frame starts a new one.
  uint32_t placementEpoch_ = 1;
  int32_t clock_ = 0;
  int32_t frameDelta_ = 0;

  std::array<bool, 256> keyDown_{};
  std::array<bool, 256> keyPressed_{};
  std::array<bool, 256> keyPressedPrev_{};
  std::array<bool, 256> keyEdge_{};
  std::array<bool, 256> keyEdgePrev_{};
  std::array<int32_t, 256> keyRepeat_{};
  bool wentDown_ = false;
  bool wentUp_ = false;
  bool wentDownOrRepeated_ = false;
};

class TOrinBaseListCinema : public TOrinBaseList {
 public:
  // The base constructor made plain roots (virtual calls do not reach a class under
  // construction); they are replaced by cinema roots here.
  explicit TOrinBaseListCinema(TVrFileManager* files = nullptr, const SceneServices& services = {},
                               ObjectClasses classes = ObjectClasses::StandardClasses())
      : TOrinBaseList(files, services, std::move(classes)) {
    MakeRoots();
  }

 protected:
  std::unique_ptr<TOrinBase> CreateRoot() override;
};

}  // namespace orin
