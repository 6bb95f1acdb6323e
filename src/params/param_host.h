// The parts of the player above this folder as the system variables and the system functions see
// them, cut into roles that their owners implement: the scene (input of the active base, scene
// objects), the interpreter (the current call), the message history, the project and the screen,
// the clocks, the media, the saves, and the desktop with the game's files.
//
// ParamHost is one small aggregate of references to one implementation of each role plus the
// run-time random generator; whoever runs a game builds it and hands it to the variable
// collection. Nothing here is global.
//
// Every role has a null implementation (NullInput, NullCall, ...) that answers as a player with no
// scene, no project and no window would and changes nothing observable: no input, no call (no
// parameters, no sender, no @Result value, empty stack), no objects (object functions do nothing,
// their results stay at the fresh value), no saves, no display modes, no MIDI ports, sound on,
// title empty, screen 0 x 0, no files, and OpenUrl opens nothing. The null clock stands still at
// 0 ms on kFixedStartDate: nothing here reads the machine's clock or starts a program, so runs
// without a player are repeatable. NullParamHost bundles one of each.
//
// Texts are cp932. Nothing here may throw for a missing object; an error thrown by a role stops
// the calling expression silently, as any evaluation error does.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "params/custom_param.h"
#include "params/function_dispatcher.h"
#include "core/runtime_random.h"

namespace orin {

class TVrFileManager;

struct LocalDateTime {
  int Year = 0;
  int Month = 0;  // 1-12
  int Day = 0;
  int Week = 0;  // 1 = Sunday ... 7 = Saturday
  int Hour = 0;
  int Min = 0;
  int Sec = 0;
};

// The date and time a run without the machine's clock starts at: Saturday 2000-01-01 12:00:00,
// local time. Headless runs advance it with their virtual millisecond clock.
inline constexpr LocalDateTime kFixedStartDate{2000, 1, 1, 7, 12, 0, 0};
// kFixedStartDate advanced by ms milliseconds.
LocalDateTime FixedDateAfter(uint32_t ms);
// The run-time generator's seed taken from kFixedStartDate's time of day (as the main window
// seeds it from the time of day).
uint32_t FixedStartSeed();

// --- Input of the active base (the scene) ---
class InputRole {
 public:
  virtual ~InputRole() = default;
  virtual bool LClick() = 0;
  virtual void SetLClick(bool v) = 0;
  virtual bool RClick() = 0;
  virtual void SetRClick(bool v) = 0;
  virtual bool LPush() = 0;
  virtual bool RPush() = 0;
  virtual int32_t MouseX() = 0;
  virtual int32_t MouseY() = 0;
  // Moves the system cursor to that client coordinate, keeping the other one.
  virtual void SetMouseX(int32_t x) = 0;
  virtual void SetMouseY(int32_t y) = 0;
  // key: a virtual-key number 0-255.
  virtual bool KeyPush(int key) = 0;
  virtual bool KeyClick(int key) = 0;
  virtual bool KeyRepeat(int key) = 0;
  virtual bool WheelDown() = 0;
  virtual bool WheelUp() = 0;
  // Name of the component with the focus, empty for none; setting gives the focus to the named
  // component when it can take it.
  virtual std::string ActiveCompo() = 0;
  virtual void SetActiveCompo(const std::string& name) = 0;
};

// --- Scene objects: a name that matches no object does nothing ---
class SceneObjectsRole {
 public:
  virtual ~SceneObjectsRole() = default;
  // The value type of property 0-161, which types GetProp's destination.
  virtual uint8_t PropertyValueType(int property) = 0;
  // Writes the property's value into dest with the setter of its type.
  virtual void GetProp(const std::string& object, int32_t property, TCustomParam& dest) = 0;
  virtual void SetProp(const std::string& object, int32_t property, const TCustomParam& value) = 0;
  virtual bool Exists(const std::string& object) = 0;
  virtual bool GetCheck(const std::string& object, int32_t item) = 0;
  virtual void SetCheck(const std::string& object, int32_t item, bool v) = 0;
  virtual bool GetEnabled(const std::string& object, int32_t item) = 0;
  virtual void SetEnabled(const std::string& object, int32_t item, bool v) = 0;
  virtual bool GetVisible(const std::string& object, int32_t item) = 0;
  virtual void SetVisible(const std::string& object, int32_t item, bool v) = 0;
  virtual int32_t ToClientX(const std::string& object, int32_t x) = 0;
  virtual int32_t ToClientY(const std::string& object, int32_t y) = 0;
  virtual int32_t ToScreenX(const std::string& object, int32_t x) = 0;
  virtual int32_t ToScreenY(const std::string& object, int32_t y) = 0;
  virtual int32_t IndexOfMenu(const std::string& object, const std::string& text) = 0;
  virtual bool InPrimary(const std::string& object) = 0;
  // ListCompo(variable a0, ...): fills the variable (args[0], a reference) with object names
  // and writes the function's result into dest.
  virtual void ListCompo(FunctionArgs args, TCustomParam& dest) = 0;
};

// --- The interpreter's current call ---
class CallRole {
 public:
  virtual ~CallRole() = default;
  virtual int32_t ParamCount() = 0;
  // Parameter i of the current call; empty outside 0 ... ParamCount() - 1.
  virtual std::string ParamStr(int i) = 0;
  // Name of the object that raised the current event while it exists, else empty.
  virtual std::string SenderName() = 0;
  // The return value of the page call now running (the top frame's), or null.
  virtual TCustomParam* ResultValue() = 0;
  // The result type declared by the page now running; 0 when none runs.
  virtual uint8_t RunningPageResultType() = 0;
  virtual int32_t StackCount() = 0;
  // Removes call-stack entry index (0 = the oldest); the caller has checked the index and
  // handles the variables.
  virtual void DeleteStackEntry(int32_t index) = 0;
};

// --- Message history ---
class HistoryRole {
 public:
  virtual ~HistoryRole() = default;
  virtual int32_t HistoryCount() = 0;
  virtual int32_t HistoryMaxCount() = 0;
  virtual void SetHistoryMaxCount(int32_t n) = 0;
};

// --- The project, the window and what is drawn on it ---
class ScreenRole {
 public:
  virtual ~ScreenRole() = default;
  virtual int32_t ScreenWidth() = 0;
  virtual int32_t ScreenHeight() = 0;
  virtual std::string Title() = 0;
  virtual bool FullScreen() = 0;
  virtual void SetFullScreen(bool v) = 0;
  virtual int32_t DisplayModeCount() = 0;
  virtual int32_t DisplayModeIndex() = 0;
  virtual void SetDisplayModeIndex(int32_t index) = 0;
  // The four integers the display-mode list keeps for mode index (0 <= index < count).
  virtual std::array<int32_t, 4> DisplayMode(int32_t index) = 0;
  // Installed font names (only fixed-pitch ones when fixedPitch is set).
  virtual std::vector<std::string> FontNames(bool fixedPitch) = 0;
  // The image cache's dithering switch.
  virtual bool CGDither() = 0;
  virtual void SetCGDither(bool v) = 0;
  // SaveScreen(file a0, ...): writes the screen image; the result into dest.
  virtual void SaveScreen(FunctionArgs args, TCustomParam& dest) = 0;
};

// --- Clocks ---
class ClockRole {
 public:
  virtual ~ClockRole() = default;
  // The player's own tick counter (the running clock of the frame loop).
  virtual int32_t TickCount() = 0;
  // Milliseconds of the system's timer (wraps around at 2^32).
  virtual int32_t PCTickCount() = 0;
  // The frame loop's update counter.
  virtual int32_t UpdateCount() = 0;
  // The local date and time.
  virtual LocalDateTime Now() = 0;
};

// --- Media managers ---
class MediaRole {
 public:
  virtual ~MediaRole() = default;
  virtual bool SoundOn() = 0;
  virtual void SetSoundOn(bool v) = 0;
  virtual std::string MidiPort() = 0;
  virtual void SetMidiPort(const std::string& name) = 0;
  virtual int32_t MidiPortCount() = 0;
  virtual std::string MidiPortName(int i) = 0;
};

// --- Save slots ---
class SavesRole {
 public:
  virtual ~SavesRole() = default;
  virtual std::string GetSaveCaption(int32_t slot) = 0;
  // ListSaveCaption([variable a0, ...]): fills the variable with the slot captions.
  virtual void ListSaveCaption(FunctionArgs args, TCustomParam& dest) = 0;
};

// --- The game's files and the desktop ---
class DesktopRole {
 public:
  virtual ~DesktopRole() = default;
  // The game's file manager, or null when there is no game.
  virtual TVrFileManager* FileManager() = 0;
  // Opens url (already checked to begin with "http" or "ftp") without waiting for it.
  virtual void OpenUrl(const std::string& url) = 0;
  virtual bool SetWallPaper(const std::string& image, int32_t style) = 0;
};

// The roles one run hands to its variable collection. Not owned: each must outlive the use.
struct ParamHost {
  InputRole& Input;
  SceneObjectsRole& Objects;
  CallRole& Call;
  HistoryRole& History;
  ScreenRole& Screen;
  ClockRole& Clock;
  MediaRole& Media;
  SavesRole& Saves;
  DesktopRole& Desktop;
  RunTimeRandom& Random;
};

// ---- Null implementations (derive from them to answer a few things and leave the rest null)

class NullInput : public InputRole {
 public:
  bool LClick() override { return false; }
  void SetLClick(bool) override {}
  bool RClick() override { return false; }
  void SetRClick(bool) override {}
  bool LPush() override { return false; }
  bool RPush() override { return false; }
  int32_t MouseX() override { return 0; }
  int32_t MouseY() override { return 0; }
  void SetMouseX(int32_t) override {}
  void SetMouseY(int32_t) override {}
  bool KeyPush(int) override { return false; }
  bool KeyClick(int) override { return false; }
  bool KeyRepeat(int) override { return false; }
  bool WheelDown() override { return false; }
  bool WheelUp() override { return false; }
  std::string ActiveCompo() override { return {}; }
  void SetActiveCompo(const std::string&) override {}
};

class NullSceneObjects : public SceneObjectsRole {
 public:
  uint8_t PropertyValueType(int) override { return kTypeStr; }
  void GetProp(const std::string&, int32_t, TCustomParam&) override {}
  void SetProp(const std::string&, int32_t, const TCustomParam&) override {}
  bool Exists(const std::string&) override { return false; }
  bool GetCheck(const std::string&, int32_t) override { return false; }
  void SetCheck(const std::string&, int32_t, bool) override {}
  bool GetEnabled(const std::string&, int32_t) override { return false; }
  void SetEnabled(const std::string&, int32_t, bool) override {}
  bool GetVisible(const std::string&, int32_t) override { return false; }
  void SetVisible(const std::string&, int32_t, bool) override {}
  int32_t ToClientX(const std::string&, int32_t) override { return 0; }
  int32_t ToClientY(const std::string&, int32_t) override { return 0; }
  int32_t ToScreenX(const std::string&, int32_t) override { return 0; }
  int32_t ToScreenY(const std::string&, int32_t) override { return 0; }
  int32_t IndexOfMenu(const std::string&, const std::string&) override { return 0; }
  bool InPrimary(const std::string&) override { return false; }
  void ListCompo(FunctionArgs, TCustomParam&) override {}
};

class NullCall : public CallRole {
 public:
  int32_t ParamCount() override { return 0; }
  std::string ParamStr(int) override { return {}; }
  std::string SenderName() override { return {}; }
  TCustomParam* ResultValue() override { return nullptr; }
  uint8_t RunningPageResultType() override { return 0; }
  int32_t StackCount() override { return 0; }
  void DeleteStackEntry(int32_t) override {}
};

class NullHistory : public HistoryRole {
 public:
  int32_t HistoryCount() override { return 0; }
  int32_t HistoryMaxCount() override { return 0; }
  void SetHistoryMaxCount(int32_t) override {}
};

class NullScreen : public ScreenRole {
 public:
  int32_t ScreenWidth() override { return 0; }
  int32_t ScreenHeight() override { return 0; }
  std::string Title() override { return {}; }
  bool FullScreen() override { return false; }
  void SetFullScreen(bool) override {}
  int32_t DisplayModeCount() override { return 0; }
  int32_t DisplayModeIndex() override { return 0; }
  void SetDisplayModeIndex(int32_t) override {}
  std::array<int32_t, 4> DisplayMode(int32_t) override { return {}; }
  std::vector<std::string> FontNames(bool) override { return {}; }
  bool CGDither() override { return false; }
  void SetCGDither(bool) override {}
  void SaveScreen(FunctionArgs, TCustomParam&) override {}
};

class NullClock : public ClockRole {
 public:
  int32_t TickCount() override { return 0; }
  int32_t PCTickCount() override { return 0; }
  int32_t UpdateCount() override { return 0; }
  LocalDateTime Now() override { return kFixedStartDate; }
};

class NullMedia : public MediaRole {
 public:
  bool SoundOn() override { return true; }
  void SetSoundOn(bool) override {}
  std::string MidiPort() override { return {}; }
  void SetMidiPort(const std::string&) override {}
  int32_t MidiPortCount() override { return 0; }
  std::string MidiPortName(int) override { return {}; }
};

class NullSaves : public SavesRole {
 public:
  std::string GetSaveCaption(int32_t) override { return {}; }
  void ListSaveCaption(FunctionArgs, TCustomParam&) override {}
};

class NullDesktop : public DesktopRole {
 public:
  TVrFileManager* FileManager() override { return nullptr; }
  void OpenUrl(const std::string&) override {}
  bool SetWallPaper(const std::string&, int32_t) override { return false; }
};

// Some of the roles, for NullParamHost::With; a null pointer leaves the null role in place.
struct ParamRoles {
  InputRole* Input = nullptr;
  SceneObjectsRole* Objects = nullptr;
  CallRole* Call = nullptr;
  HistoryRole* History = nullptr;
  ScreenRole* Screen = nullptr;
  ClockRole* Clock = nullptr;
  MediaRole* Media = nullptr;
  SavesRole* Saves = nullptr;
  DesktopRole* Desktop = nullptr;
  RunTimeRandom* Random = nullptr;
};

// One null implementation of every role and a generator seeded with FixedStartSeed(); Host()
// refers to them. The variable collection owns one for the time no host is handed in.
class NullParamHost {
 public:
  NullParamHost() = default;
  NullParamHost(const NullParamHost&) = delete;
  NullParamHost& operator=(const NullParamHost&) = delete;

  ParamHost& Host() { return host_; }
  // These null roles with the given ones in their place; valid while both live.
  ParamHost With(const ParamRoles& roles) {
    return ParamHost{roles.Input ? *roles.Input : input_,
                     roles.Objects ? *roles.Objects : objects_,
                     roles.Call ? *roles.Call : call_,
                     roles.History ? *roles.History : history_,
                     roles.Screen ? *roles.Screen : screen_,
                     roles.Clock ? *roles.Clock : clock_,
                     roles.Media ? *roles.Media : media_,
                     roles.Saves ? *roles.Saves : saves_,
                     roles.Desktop ? *roles.Desktop : desktop_,
                     roles.Random ? *roles.Random : random_};
  }

 private:
  NullInput input_;
  NullSceneObjects objects_;
  NullCall call_;
  NullHistory history_;
  NullScreen screen_;
  NullClock clock_;
  NullMedia media_;
  NullSaves saves_;
  NullDesktop desktop_;
  RunTimeRandom random_{FixedStartSeed()};
  ParamHost host_{input_, objects_, call_, history_, screen_, clock_, media_, saves_, desktop_, random_};
};

}  // namespace orin
