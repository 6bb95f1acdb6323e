// ParamHost: everything the system variables and the system functions need from the parts of the
// player above this folder — input, the interpreter's call, the history, the project, the shell's
// clocks and display modes, fonts, image cache, media, scene objects, saves, the screen and the
// desktop.
//
// Every operation has a default that answers as a player with no scene, no project and no window
// would: no input, no call (no parameters, no sender, no @Result value, empty stack), no objects
// (object functions do nothing, their results stay at the fresh value), no saves, no display modes,
// no MIDI ports, sound on, title empty, screen 0 x 0. The few things that exist without a player
// are real: the local date and time, the system's millisecond timer, the run-time random
// generator and OpenUrl, which hands "http" and "ftp" texts to xdg-open. The player's host derives
// from this class and overrides what the parts that own the state provide.
//
// Texts are cp932. Nothing here may throw for a missing object; an error thrown by an override
// stops the calling expression silently, as any evaluation error does.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "params/custom_param.h"
#include "params/function_dispatcher.h"
#include "params/runtime_random.h"

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

class ParamHost {
 public:
  // The run-time generator is seeded from the UTC time of day, as the main window does.
  ParamHost();
  virtual ~ParamHost() = default;
  ParamHost(const ParamHost&) = delete;
  ParamHost& operator=(const ParamHost&) = delete;

  // --- Input of the active base (scene) ---
  virtual bool LClick() { return false; }
  virtual void SetLClick(bool /*v*/) {}
  virtual bool RClick() { return false; }
  virtual void SetRClick(bool /*v*/) {}
  virtual bool LPush() { return false; }
  virtual bool RPush() { return false; }
  virtual int32_t MouseX() { return 0; }
  virtual int32_t MouseY() { return 0; }
  // Moves the system cursor to that client coordinate, keeping the other one.
  virtual void SetMouseX(int32_t /*x*/) {}
  virtual void SetMouseY(int32_t /*y*/) {}
  // key: a virtual-key number 0-255.
  virtual bool KeyPush(int /*key*/) { return false; }
  virtual bool KeyClick(int /*key*/) { return false; }
  virtual bool KeyRepeat(int /*key*/) { return false; }
  virtual bool WheelDown() { return false; }
  virtual bool WheelUp() { return false; }
  // Name of the component with the focus, empty for none; setting gives the focus to the named
  // component when it can take it.
  virtual std::string ActiveCompo() { return {}; }
  virtual void SetActiveCompo(const std::string& /*name*/) {}

  // --- The interpreter's current call ---
  virtual int32_t ParamCount() { return 0; }
  // Parameter i of the current call; empty outside 0 ... ParamCount() - 1.
  virtual std::string ParamStr(int /*i*/) { return {}; }
  // Name of the object that raised the current event while it exists, else empty.
  virtual std::string SenderName() { return {}; }
  // The return value of the page call now running (the top frame's), or null.
  virtual TCustomParam* ResultValue() { return nullptr; }
  // The result type declared by the page now running; 0 when none runs.
  virtual uint8_t RunningPageResultType() { return 0; }
  virtual int32_t StackCount() { return 0; }
  // Removes call-stack entry index (0 = the oldest); the caller has checked the index and
  // handles the variables.
  virtual void DeleteStackEntry(int32_t /*index*/) {}

  // --- Message history ---
  virtual int32_t HistoryCount() { return 0; }
  virtual int32_t HistoryMaxCount() { return 0; }
  virtual void SetHistoryMaxCount(int32_t /*n*/) {}

  // --- Project ---
  virtual int32_t ScreenWidth() { return 0; }
  virtual int32_t ScreenHeight() { return 0; }
  virtual std::string Title() { return {}; }

  // --- Shell: clocks, window, display modes, fonts ---
  virtual int32_t TickCount() { return 0; }
  // Milliseconds of the system's timer (wraps around at 2^32).
  virtual int32_t PCTickCount();
  virtual int32_t UpdateCount() { return 0; }
  virtual LocalDateTime Now();
  virtual bool FullScreen() { return false; }
  virtual void SetFullScreen(bool /*v*/) {}
  virtual int32_t DisplayModeCount() { return 0; }
  virtual int32_t DisplayModeIndex() { return 0; }
  virtual void SetDisplayModeIndex(int32_t /*index*/) {}
  // The four integers the display-mode list keeps for mode index (0 <= index < count).
  virtual std::array<int32_t, 4> DisplayMode(int32_t /*index*/) { return {}; }
  // Installed font names (only fixed-pitch ones when fixedPitch is set).
  virtual std::vector<std::string> FontNames(bool /*fixedPitch*/) { return {}; }

  // --- Image cache ---
  virtual bool CGDither() { return false; }
  virtual void SetCGDither(bool /*v*/) {}

  // --- Media ---
  virtual bool SoundOn() { return true; }
  virtual void SetSoundOn(bool /*v*/) {}
  virtual std::string MidiPort() { return {}; }
  virtual void SetMidiPort(const std::string& /*name*/) {}
  virtual int32_t MidiPortCount() { return 0; }
  virtual std::string MidiPortName(int /*i*/) { return {}; }

  // --- Scene objects: a name that matches no object does nothing ---
  // The value type of property 0-161, which types GetProp's destination.
  virtual uint8_t PropertyValueType(int /*property*/) { return kTypeStr; }
  // Writes the property's value into dest with the setter of its type.
  virtual void GetProp(const std::string& /*object*/, int32_t /*property*/, TCustomParam& /*dest*/) {}
  virtual void SetProp(const std::string& /*object*/, int32_t /*property*/,
                       const TCustomParam& /*value*/) {}
  virtual bool Exists(const std::string& /*object*/) { return false; }
  virtual bool GetCheck(const std::string& /*object*/, int32_t /*item*/) { return false; }
  virtual void SetCheck(const std::string& /*object*/, int32_t /*item*/, bool /*v*/) {}
  virtual bool GetEnabled(const std::string& /*object*/, int32_t /*item*/) { return false; }
  virtual void SetEnabled(const std::string& /*object*/, int32_t /*item*/, bool /*v*/) {}
  virtual bool GetVisible(const std::string& /*object*/, int32_t /*item*/) { return false; }
  virtual void SetVisible(const std::string& /*object*/, int32_t /*item*/, bool /*v*/) {}
  virtual int32_t ToClientX(const std::string& /*object*/, int32_t /*x*/) { return 0; }
  virtual int32_t ToClientY(const std::string& /*object*/, int32_t /*y*/) { return 0; }
  virtual int32_t ToScreenX(const std::string& /*object*/, int32_t /*x*/) { return 0; }
  virtual int32_t ToScreenY(const std::string& /*object*/, int32_t /*y*/) { return 0; }
  virtual int32_t IndexOfMenu(const std::string& /*object*/, const std::string& /*text*/) {
    return 0;
  }
  virtual bool InPrimary(const std::string& /*object*/) { return false; }
  // ListCompo(variable a0, ...): fills the variable (args[0], a reference) with object names
  // and writes the function's result into dest.
  virtual void ListCompo(FunctionArgs /*args*/, TCustomParam& /*dest*/) {}

  // --- Saves ---
  virtual std::string GetSaveCaption(int32_t /*slot*/) { return {}; }
  // ListSaveCaption([variable a0, ...]): fills the variable with the slot captions.
  virtual void ListSaveCaption(FunctionArgs /*args*/, TCustomParam& /*dest*/) {}

  // --- Screen and desktop ---
  // SaveScreen(file a0, ...): writes the screen image; the result into dest.
  virtual void SaveScreen(FunctionArgs /*args*/, TCustomParam& /*dest*/) {}
  virtual bool SetWallPaper(const std::string& /*image*/, int32_t /*style*/) { return false; }
  // Opens url (already checked to begin with "http" or "ftp") with xdg-open, without waiting
  // for it.
  virtual void OpenUrl(const std::string& url);

  // --- Services ---
  // The game's file manager, or null when there is no game.
  virtual TVrFileManager* FileManager() { return nullptr; }
  virtual RunTimeRandom& Random() { return random_; }

 private:
  RunTimeRandom random_;
};

// The host of a player with no scene, no project and no window, shared by collections that were
// given none.
ParamHost& NullParamHost();

}  // namespace orin
