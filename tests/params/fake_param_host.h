// One object that plays every role of a ParamHost, with state the tests set and inspect, and a
// runtime that wires a collection to the system functions, a table manager and those roles, as
// the player does.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "core/cp932.h"
#include "core/error.h"

#include "params/db_manager.h"
#include "params/param_collection.h"
#include "params/param_host.h"
#include "params/system_functions.h"
#include "params_test_support.h"

namespace orin::test {

class FakeParamHost : public InputRole,
                      public SceneObjectsRole,
                      public CallRole,
                      public HistoryRole,
                      public ScreenRole,
                      public ClockRole,
                      public MediaRole,
                      public SavesRole,
                      public DesktopRole {
 public:
  FakeParamHost() = default;
  FakeParamHost(const FakeParamHost&) = delete;
  FakeParamHost& operator=(const FakeParamHost&) = delete;

  RunTimeRandom random{0};
  ParamHost roles{*this, *this, *this, *this, *this, *this, *this, *this, *this, random};

  bool lClick = false, rClick = false, lPush = false, rPush = false;
  int32_t mouseX = 0, mouseY = 0;
  std::array<bool, 256> keyPush{}, keyClick{}, keyRepeat{};
  bool wheelDown = false, wheelUp = false;
  std::string activeCompo;
  std::vector<std::string> params;
  std::string sender;
  TCustomParam* result = nullptr;
  uint8_t pageResultType = 0;
  std::vector<std::string> stack;  // one name per call-stack entry, oldest first
  int32_t historyCount = 0, historyMaxCount = 0;
  int32_t screenWidth = 0, screenHeight = 0;
  std::string title;
  int32_t tickCount = 0, pcTickCount = 0, updateCount = 0;
  LocalDateTime now;
  bool fullScreen = false;
  std::vector<std::array<int32_t, 4>> displayModes;
  int32_t displayModeIndex = 0;
  std::vector<std::string> fonts, fixedFonts;
  bool cgDither = false, soundOn = true;
  std::string midiPort;
  std::vector<std::string> midiPorts;
  TVrFileManager* files = nullptr;
  std::vector<std::string> openedUrls;
  // Objects: name -> property values as text.
  std::map<std::string, std::map<int32_t, std::string>> objects;
  std::vector<std::string> calls;  // the object setters called, as text

  bool LClick() override { return lClick; }
  void SetLClick(bool v) override { lClick = v; }
  bool RClick() override { return rClick; }
  void SetRClick(bool v) override { rClick = v; }
  bool LPush() override { return lPush; }
  bool RPush() override { return rPush; }
  int32_t MouseX() override { return mouseX; }
  int32_t MouseY() override { return mouseY; }
  void SetMouseX(int32_t x) override { mouseX = x; }
  void SetMouseY(int32_t y) override { mouseY = y; }
  bool KeyPush(int k) override { return keyPush[static_cast<size_t>(k)]; }
  bool KeyClick(int k) override { return keyClick[static_cast<size_t>(k)]; }
  bool KeyRepeat(int k) override { return keyRepeat[static_cast<size_t>(k)]; }
  bool WheelDown() override { return wheelDown; }
  bool WheelUp() override { return wheelUp; }
  std::string ActiveCompo() override { return activeCompo; }
  void SetActiveCompo(const std::string& name) override { activeCompo = name; }
  int32_t ParamCount() override { return static_cast<int32_t>(params.size()); }
  std::string ParamStr(int i) override { return params.at(static_cast<size_t>(i)); }
  std::string SenderName() override { return sender; }
  TCustomParam* ResultValue() override { return result; }
  uint8_t RunningPageResultType() override { return pageResultType; }
  int32_t StackCount() override { return static_cast<int32_t>(stack.size()); }
  void DeleteStackEntry(int32_t i) override { stack.erase(stack.begin() + i); }
  int32_t HistoryCount() override { return historyCount; }
  int32_t HistoryMaxCount() override { return historyMaxCount; }
  void SetHistoryMaxCount(int32_t n) override { historyMaxCount = n; }
  int32_t ScreenWidth() override { return screenWidth; }
  int32_t ScreenHeight() override { return screenHeight; }
  std::string Title() override { return title; }
  int32_t TickCount() override { return tickCount; }
  int32_t PCTickCount() override { return pcTickCount; }
  int32_t UpdateCount() override { return updateCount; }
  LocalDateTime Now() override { return now; }
  bool FullScreen() override { return fullScreen; }
  void SetFullScreen(bool v) override { fullScreen = v; }
  int32_t DisplayModeCount() override { return static_cast<int32_t>(displayModes.size()); }
  int32_t DisplayModeIndex() override { return displayModeIndex; }
  void SetDisplayModeIndex(int32_t i) override { displayModeIndex = i; }
  std::array<int32_t, 4> DisplayMode(int32_t i) override {
    return displayModes.at(static_cast<size_t>(i));
  }
  std::vector<std::string> FontNames(bool fixedPitch) override {
    return fixedPitch ? fixedFonts : fonts;
  }
  bool CGDither() override { return cgDither; }
  void SetCGDither(bool v) override { cgDither = v; }
  bool SoundOn() override { return soundOn; }
  void SetSoundOn(bool v) override { soundOn = v; }
  std::string MidiPort() override { return midiPort; }
  void SetMidiPort(const std::string& name) override { midiPort = name; }
  int32_t MidiPortCount() override { return static_cast<int32_t>(midiPorts.size()); }
  std::string MidiPortName(int i) override { return midiPorts.at(static_cast<size_t>(i)); }

  uint8_t PropertyValueType(int property) override { return property == 1 ? kTypeInt : kTypeStr; }
  void GetProp(const std::string& object, int32_t property, TCustomParam& dest) override {
    auto o = objects.find(object);
    if (o == objects.end()) return;
    auto p = o->second.find(property);
    if (p != o->second.end()) dest.SetAsStr(p->second);
  }
  void SetProp(const std::string& object, int32_t property, const TCustomParam& value) override {
    auto o = objects.find(object);
    if (o != objects.end()) o->second[property] = value.GetAsStr();
  }
  bool Exists(const std::string& object) override { return objects.count(object) != 0; }
  bool GetCheck(const std::string& object, int32_t item) override {
    return Exists(object) && item == 1;
  }
  void SetCheck(const std::string& object, int32_t item, bool v) override {
    calls.push_back("SetCheck " + object + " " + std::to_string(item) + (v ? " TRUE" : " FALSE"));
  }
  int32_t ToClientX(const std::string& object, int32_t x) override {
    return Exists(object) ? x - 10 : 0;
  }
  int32_t ToScreenY(const std::string& object, int32_t y) override {
    return Exists(object) ? y + 20 : 0;
  }
  bool GetEnabled(const std::string&, int32_t) override { return false; }
  void SetEnabled(const std::string&, int32_t, bool) override {}
  bool GetVisible(const std::string&, int32_t) override { return false; }
  void SetVisible(const std::string&, int32_t, bool) override {}
  int32_t ToClientY(const std::string&, int32_t) override { return 0; }
  int32_t ToScreenX(const std::string&, int32_t) override { return 0; }
  int32_t IndexOfMenu(const std::string&, const std::string&) override { return 0; }
  bool InPrimary(const std::string&) override { return false; }
  void ListCompo(FunctionArgs args, TCustomParam& dest) override {
    int32_t n = 0;
    for (const auto& o : objects) {
      if (!args.empty()) args[0]->SetStrAt(n, o.first);
      ++n;
    }
    dest.SetAsInt(n);
  }
  std::string GetSaveCaption(int32_t slot) override { return "slot " + std::to_string(slot); }
  void ListSaveCaption(FunctionArgs, TCustomParam&) override {}
  void SaveScreen(FunctionArgs args, TCustomParam& dest) override {
    calls.push_back("SaveScreen " + args[0]->GetAsStr() + " " + std::to_string(args.size()));
    dest.SetAsFlag(true);
  }
  void OpenUrl(const std::string& url) override { openedUrls.push_back(url); }
  bool SetWallPaper(const std::string&, int32_t) override { return false; }
  TVrFileManager* FileManager() override { return files; }
};

// A collection wired to the system functions, a table manager and a fake host.
struct ScriptRuntime {
  ScriptRuntime() {
    vars.SetHost(&host.roles);
    vars.SetFunctions(&functions);
  }
  ~ScriptRuntime() {
    vars.SetFunctions(nullptr);
    vars.SetHost(nullptr);
  }
  ScriptRuntime(const ScriptRuntime&) = delete;
  ScriptRuntime& operator=(const ScriptRuntime&) = delete;

  std::string Eval(std::string_view text) { return test::Eval(vars, text); }
  TParamCollectionItem& Declare(uint8_t type, std::string name) {
    return vars.AddVariable(type, std::move(name));
  }

  FakeParamHost host;
  TDBManager tables;
  SystemFunctions functions{tables};
  TParamCollection vars;
};

struct EvalCase {
  const char* text;    // the expression (UTF-8, converted to cp932)
  const char* result;  // Show() of its result (UTF-8), "none" without one
};

inline void ExpectEvals(ScriptRuntime& rt, std::initializer_list<EvalCase> cases) {
  for (const EvalCase& c : cases) EXPECT_EQ(ToUtf8(rt.Eval(FromUtf8(c.text))), c.result) << c.text;
}

// The message with which compiling text fails (UTF-8), or "(compiles)".
inline std::string CompileError(std::string_view text) {
  try {
    TOrinParser parser;
    CompileInto(parser, FromUtf8(text));
  } catch (const Error& e) {
    return ToUtf8(e.Message());
  }
  return "(compiles)";
}

}  // namespace orin::test
