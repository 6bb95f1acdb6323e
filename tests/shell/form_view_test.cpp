#include "shell/form_view.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <deque>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/cp932.h"
#include "core/error.h"
#include "core/log.h"
#include "core/text.h"
#include "resources/host_fs.h"
#include "shell/headless/headless_platform.h"
#include "shell/ini_file.h"
#include "support/test_support.h"

namespace orin {
namespace {

using namespace literals;

// A platform with a clock the test sets, recording what the window does with it.
class FakePlatform final : public Platform {
 public:
  void SetTextInput(bool on, const Rect& caret) override {
    textInput.push_back(on ? "on " + std::to_string(caret.Left) + "," + std::to_string(caret.Top) : "off");
  }
  std::vector<std::string> textInput;
  void CreateWindow(const WindowLayout& layout) override {
    if (windowError) throw Error(windowError);
    window = layout;
    screen.Resize(layout.PanelWidth, layout.PanelHeight);
  }
  void SetCaption(const std::string& cp932) override { window.Caption = cp932; }
  void PollEvents(int64_t, std::vector<InputEvent>& out) override {
    out.insert(out.end(), pending.begin(), pending.end());
    pending.clear();
  }
  bool WaitEvents(uint32_t ms) override {
    waits.push_back(ms);
    return false;
  }
  bool Present(const FrameView& panel, const std::vector<Rect>& dirty) override {
    ++presents;
    return screen.CopyRects(panel, dirty);
  }
  void PresentDock(const FrameView& picture) override {
    ++dockPresents;
    lastDock = picture;
  }
  const PixelBuffer& Screen() const override { return screen; }
  MessageResult ShowMessage(const std::string& caption, const std::string& text,
                            MessageButtons buttons, MessageIcon icon) override {
    messages.push_back({caption, text, buttons, icon});
    if (onMessage) onMessage();
    MessageResult r = answers.empty() ? MessageResult::kOk : answers.front();
    if (!answers.empty()) answers.pop_front();
    return r;
  }
  DisplayMode DesktopMode() const override { return desktop; }
  std::vector<DisplayMode> DisplayModes() const override { return {DesktopMode()}; }
  bool SetFullScreen(bool on) override {
    ++screenSwitches;
    if (on && refuseFullScreen) return false;
    full = on;
    return true;
  }
  bool FullScreen() const override { return full; }
  void SetScaleFilter(ScaleFilter) override {}
  std::unique_ptr<AudioOutput> CreateAudioOutput() override { return nullptr; }
  uint32_t Ticks() override { return now; }
  void Sleep(uint32_t ms) override { sleeps.push_back(ms); }
  bool IsActive() const override { return startActive; }
  bool HasDock() const override { return dock; }
  void ShowDockOverlay(bool on) override { overlay = on && full; }
  bool DockOverlayShown() const override { return overlay; }
  void InhibitScreenSaver(bool on) override { inhibited.push_back(on); }
  uint32_t MinFrameMs() const override { return minFrame; }

  struct Message {
    std::string caption, text;
    MessageButtons buttons;
    MessageIcon icon;
  };
  uint32_t now = 1000;
  DisplayMode desktop{1024, 768, 32, 60};
  bool overlay = false;
  std::vector<bool> inhibited;
  uint32_t minFrame = 0;
  const char* windowError = nullptr;
  std::vector<uint32_t> waits;
  bool startActive = true;
  bool dock = true;
  bool full = false;
  bool refuseFullScreen = false;
  int screenSwitches = 0;
  WindowLayout window;
  PixelBuffer screen;
  int presents = 0;
  int dockPresents = 0;
  FrameView lastDock;
  std::vector<InputEvent> pending;
  std::vector<Message> messages;
  std::deque<MessageResult> answers;
  std::vector<uint32_t> sleeps;
  std::function<void()> onMessage;
};

// A game that records every call in order.
class RecordingHost final : public GameHost {
 public:
  explicit RecordingHost(ShellState& s) : state(s) {}

  void Initialise(const GameSettings& s, MainWindow& w) override {
    settings = s;
    window = &w;
    log.push_back("Initialise");
    if (initError) throw Error(initError);
    state.Closing = !startsOk;
  }
  void Close() override {
    log.push_back(state.Closing ? "Close(closing)" : "Close(running)");
    if (!runawayExitPage) return;
    // An exit page that never yields, run as the project runs it.
    state.Closing = false;
    Spin(-1);
    state.Closing = true;
  }
  // A run of the interpreter that does not yield: it asks the window in, as the interpreter does,
  // until the closing flag stops it or, with limit >= 0, after that many calls.
  void Spin(int limit) {
    for (int call = 1; !state.Closing && call != limit + 1; ++call) {
      ++busyCalls;
      if (onBusy) onBusy(call);
      window->InterpreterBusy();
    }
  }
  bool HasProject() const override { return project; }
  std::string Title() const override { return "\x83\x65\x83\x58\x83\x67"; }  // テスト
  int ScreenWidth() const override { return width; }
  int ScreenHeight() const override { return height; }
  bool FramePacing() const override { return pacing; }
  void DeletePendingFiles() override { log.push_back("DeletePendingFiles"); }
  void SceneInputStep() override { log.push_back("SceneInputStep"); }
  void RunInterpreter() override {
    log.push_back("RunInterpreter");
    if (closeInInterpreter) state.Closing = true;
    if (runawayCalls != 0) Spin(runawayCalls);
  }
  void SceneStep() override { log.push_back("SceneStep"); }
  bool EndOfFrame() override {
    log.push_back("EndOfFrame");
    return loadAtFrame == state.FrameCounter;
  }
  DrawnFrame Draw() override {
    log.push_back("Draw");
    return {back.View(), {back.Bounds()}};
  }
  void FramePresented() override { log.push_back("FramePresented"); }
  void KeyDown(int key) override { log.push_back(std::string("KeyDown ") + std::to_string(key)); }
  void KeyUp(int key) override { log.push_back(std::string("KeyUp ") + std::to_string(key)); }
  void MouseDown(MouseButton b, int x, int y) override {
    log.push_back(std::string(b == MouseButton::kRight ? "RDown " : "Down ") + std::to_string(x) +
                  "," + std::to_string(y));
  }
  void MouseUp(MouseButton, int x, int y) override {
    log.push_back(std::string("Up ") + std::to_string(x) + "," + std::to_string(y));
  }
  void MouseMove(int x, int y) override {
    log.push_back(std::string("Move ") + std::to_string(x) + "," + std::to_string(y));
  }
  void Wheel(bool down) override { log.push_back(down ? "WheelDown" : "WheelUp"); }
  void TextInput(const std::string& utf8) override { log.push_back("Text " + utf8); }
  void TextEditing(const std::string& utf8, int cursor) override {
    log.push_back("Compose " + utf8 + " " + std::to_string(cursor));
  }
  bool WantsTextInput(Rect& r) override {
    r = caret;
    return wantsText;
  }
  bool wantsText = false;
  Rect caret;
  void Deactivated() override { log.push_back("Deactivated"); }
  void Activated() override { log.push_back("Activated"); }
  void BeforeDisplaySwitch(bool on) override { switches.push_back(on ? "before full" : "before window"); }
  void AfterDisplaySwitch(bool on) override { switches.push_back(on ? "after full" : "after window"); }

  // The frames' calls, with "|" between frames (one frame starts at each DeletePendingFiles).
  std::string Frames() const {
    std::string out;
    for (const std::string& s : log) {
      if (s == "DeletePendingFiles" && !out.empty()) out += "|";
      if (s == "DeletePendingFiles") out += "F";
      if (s == "SceneStep") out += "s";
      if (s == "Draw") out += "D";
    }
    return out;
  }

  ShellState& state;
  GameSettings settings;
  MainWindow* window = nullptr;
  std::vector<std::string> log;
  std::vector<std::string> switches;
  bool project = true;
  bool startsOk = true;
  const char* initError = nullptr;
  bool closeInInterpreter = false;
  int runawayCalls = 0;  // -1: a run that never yields by itself
  bool runawayExitPage = false;
  int busyCalls = 0;
  std::function<void(int call)> onBusy;
  int32_t loadAtFrame = -1;
  bool pacing = false;
  int width = 160;
  int height = 3;
  PixelBuffer back{160, 3, 0x123456};
};

struct Fixture {
  test::TempDir dir;
  ShellState state;
  FakePlatform platform;
  RecordingHost host{state};
  DataPaths paths{dir.Path()};
  TFormView form{platform, state, host, paths};

  // Runs idle passes, the clock moving 16 ms before each.
  void Idle(int passes) {
    for (int i = 0; i < passes; ++i) {
      platform.now += 16;
      bool done = false;
      form.Idle(done);
    }
  }
  void Started() {
    ASSERT_TRUE(form.FormCreate());
    host.log.clear();
  }
  // A real clock that moves 10 ms whenever the window reads it, and a log to read.
  void WatchRuns() {
    form.SetRealClock([this] { return real += 10; });
    form.SetLog(log);
  }
  uint32_t real = 0;
  MemoryLog log;
};

TEST(TFormView, OneFrameRunsTheStepsInOrder) {
  Fixture f;
  f.Started();
  f.Idle(1);
  EXPECT_EQ(f.host.log,
            (std::vector<std::string>{"DeletePendingFiles", "SceneInputStep", "RunInterpreter",
                                      "SceneStep", "EndOfFrame", "Draw", "FramePresented"}));
  EXPECT_EQ(f.state.FrameCounter, 1);
  EXPECT_EQ(f.state.FrameDelta, 16);
  EXPECT_EQ(f.form.FramesRun(), 1);
  EXPECT_EQ(f.platform.screen.Pixel(159, 2), 0x123456u);
}

TEST(TFormView, ClosingFlagSetByTheInterpreterEndsTheFrame) {
  Fixture f;
  f.Started();
  f.host.closeInInterpreter = true;
  f.Idle(3);
  EXPECT_EQ(f.host.log,
            (std::vector<std::string>{"DeletePendingFiles", "SceneInputStep", "RunInterpreter"}));
  EXPECT_EQ(f.state.FrameCounter, 0);
}

TEST(TFormView, FrameAfterALoadIsNotDrawn) {
  Fixture f;
  f.Started();
  f.host.loadAtFrame = 2;
  f.Idle(4);
  EXPECT_EQ(f.host.Frames(), "FsD|Fs|FsD|FsD");
}

TEST(TFormView, DrawDivisorDrawsEveryNthFrameAndALoadDoesNotAdvanceIt) {
  struct Case {
    int32_t divisor, loadAt;
    const char* frames;
  } cases[] = {
      {1, -1, "FsD|FsD|FsD|FsD|FsD"}, {2, -1, "Fs|FsD|Fs|FsD|Fs"},    {3, -1, "Fs|Fs|FsD|Fs|Fs"},
      {2, 2, "Fs|Fs|FsD|Fs|FsD"},     {0, -1, "FsD|FsD|FsD|FsD|FsD"},  // no divisor is taken as 1
  };
  for (const Case& c : cases) {
    Fixture f;
    f.Started();
    f.state.DrawDivisor = c.divisor;
    f.host.loadAtFrame = c.loadAt;
    f.Idle(5);
    EXPECT_EQ(f.host.Frames(), c.frames) << c.divisor << " " << c.loadAt;
  }
}

TEST(TFormView, NoFrameWhileClosingInactiveOrWithoutScreenOrProject) {
  {
    Fixture f;
    f.Started();
    f.state.Closing = true;
    bool done = false;
    f.form.Idle(done);
    EXPECT_TRUE(done);
    EXPECT_TRUE(f.host.log.empty());
  }
  {
    Fixture f;
    f.Started();
    f.form.HandleInput(InputEvent::Of(InputKind::kDeactivate));
    bool done = false;
    f.form.Idle(done);
    EXPECT_TRUE(done);
    EXPECT_EQ(f.host.log, std::vector<std::string>{"Deactivated"});
  }
  {
    Fixture f;
    f.host.width = 0;
    f.Started();
    bool done = false;
    f.form.Idle(done);
    EXPECT_TRUE(done);
    EXPECT_EQ(f.platform.window.PanelWidth, TFormView::kDefaultWidth);
  }
  {
    Fixture f;
    f.host.project = false;
    f.Started();
    f.Idle(2);  // frames pass, but without a project they do nothing
    EXPECT_EQ(f.form.FramesRun(), 2);
    EXPECT_TRUE(f.host.log.empty());
  }
}

TEST(TFormView, StallOfMoreThan3000MsRunsNoFrame) {
  Fixture f;
  f.Started();
  f.platform.now += 3001;
  bool done = false;
  f.form.Idle(done);
  EXPECT_FALSE(done);
  EXPECT_EQ(f.form.FramesRun(), 0);
  f.platform.now += 3000;
  f.form.Idle(done);
  EXPECT_EQ(f.form.FramesRun(), 1);
  EXPECT_EQ(f.state.FrameDelta, 3000);
}

TEST(TFormView, ReactivationStartsTheDeltaAfresh) {
  Fixture f;
  f.Started();
  f.Idle(1);
  f.form.HandleInput(InputEvent::Of(InputKind::kDeactivate));
  f.platform.now += 10000;
  f.form.HandleInput(InputEvent::Of(InputKind::kActivate));
  f.platform.now += 20;
  bool done = false;
  f.form.Idle(done);
  EXPECT_EQ(f.state.FrameDelta, 20);
  EXPECT_EQ(f.state.RunningClock, 36);
  EXPECT_EQ(f.host.log.front(), "DeletePendingFiles");
  EXPECT_NE(std::find(f.host.log.begin(), f.host.log.end(), "Activated"), f.host.log.end());
}

TEST(TFormView, FramePacingSleepsTheRestOfTheInterval) {
  Fixture f;
  f.host.pacing = true;
  f.Started();
  f.Idle(1);
  ASSERT_EQ(f.platform.sleeps, std::vector<uint32_t>{16});  // the fake frame took no time
  f.state.FrameInterval = 1;
  f.Idle(1);
  EXPECT_EQ(f.platform.sleeps.back(), 2u);
}

TEST(TFormView, InputRouting) {
  Fixture f;
  f.Started();
  const int dock = Toolbar::kDockHeight;
  for (const InputEvent& e : {
           InputEvent::KeyDown(65),
           InputEvent::KeyDown(65, true),
           InputEvent::KeyDown(256),
           InputEvent::KeyDown(0x1FF),
           InputEvent::KeyUp(256),
           InputEvent::KeyUp(65),
           InputEvent::MouseMove(3, 4),
           InputEvent::MouseDown(MouseButton::kRight, 3, 4),
           // captured by the panel: a release over the dock still reaches the scene
           InputEvent::MouseUp(MouseButton::kRight, 3, 5, InputTarget::kDock),
           InputEvent::Wheel(true),
           InputEvent::Wheel(false),
           // deactivated: key and button downs stop, the rest passes
           InputEvent::Of(InputKind::kDeactivate),
           InputEvent::KeyDown(66),
           InputEvent::KeyUp(66),
           InputEvent::MouseDown(MouseButton::kLeft, 1, 1),
           InputEvent::MouseUp(MouseButton::kLeft, 1, 1),
           InputEvent::MouseMove(2, 2),
           InputEvent::Of(InputKind::kActivate),
           InputEvent::KeyDown(67),
       })
    f.form.HandleInput(e);
  EXPECT_EQ(f.host.log,
            (std::vector<std::string>{"KeyDown 65", "KeyUp 65", "Move 3,4", "RDown 3,4",
                                      std::string("Up 3,") + std::to_string(5 - dock), "WheelDown",
                                      "WheelUp", "Deactivated", "KeyUp 66", "Up 1,1", "Move 2,2",
                                      "Activated", "KeyDown 67"}));
}

TEST(TFormView, TextReachesTheGameAndTextInputFollowsTheFocusedField) {
  Fixture f;
  f.Started();
  f.form.HandleInput(InputEvent::TextEditing("\xE3\x81\x82", 1));
  f.form.HandleInput(InputEvent::TextInput("ok"));
  f.form.HandleInput(InputEvent::Of(InputKind::kDeactivate));
  f.form.HandleInput(InputEvent::TextInput("lost"));
  f.form.HandleInput(InputEvent::Of(InputKind::kActivate));
  EXPECT_EQ(f.host.log, (std::vector<std::string>{"Compose \xE3\x81\x82 1", "Text ok", "Deactivated", "Activated"}));

  // The platform hears only of changes: on with the caret, a moved caret, off.
  f.Idle(1);
  f.host.wantsText = true;
  f.host.caret = Rect{5, 6, 6, 18};
  f.Idle(2);
  f.host.caret = Rect{9, 6, 10, 18};
  f.Idle(1);
  f.host.wantsText = false;
  f.Idle(2);
  EXPECT_EQ(f.platform.textInput, (std::vector<std::string>{"on 5,6", "on 9,6", "off"}));
}


// The player's extras see keys first and keep the ones they answer from the game; a click on the
// game reaches them too, and they run after every frame.
TEST(TFormView, ExtrasTakeTheirKeysBeforeTheGame) {
  struct Extras final : WindowExtras {
    bool KeyDown(int key) override {
      seen.push_back("key " + std::to_string(key));
      return key == 0x7B;
    }
    void Clicked() override { seen.push_back("click"); }
    void AfterFrame() override { seen.push_back("frame"); }
    std::vector<std::string> seen;
  } extras;
  Fixture f;
  f.Started();
  f.form.SetExtras(&extras);
  for (const InputEvent& e : {InputEvent::KeyDown(0x7B), InputEvent::KeyDown(65), InputEvent::KeyDown(0x7A),
                              InputEvent::MouseDown(MouseButton::kLeft, 1, 1)})
    f.form.HandleInput(e);
  EXPECT_EQ(extras.seen, (std::vector<std::string>{"key 123", "key 65", "click"}));
  EXPECT_EQ(f.host.log, (std::vector<std::string>{"KeyDown 65", "Down 1,1"}));
}
TEST(TFormView, QuitButtonAsksAndNoKeepsTheGameRunning) {
  Fixture f;
  f.Started();
  bool closingWhileAsked = false;
  f.platform.onMessage = [&] { closingWhileAsked = f.state.Closing; };
  const Rect quit = Toolbar().ButtonRect(Toolbar::Button::kQuit);
  auto click = [&](int x, int y) {
    f.form.HandleInput(InputEvent::MouseDown(MouseButton::kLeft, x, y, InputTarget::kDock));
    f.form.HandleInput(InputEvent::MouseUp(MouseButton::kLeft, x, y, InputTarget::kDock));
  };
  f.platform.answers = {MessageResult::kNo};
  click(quit.Left + 5, quit.Top + 5);
  ASSERT_EQ(f.platform.messages.size(), 1u);
  EXPECT_TRUE(closingWhileAsked);
  EXPECT_FALSE(f.state.Closing);
  EXPECT_FALSE(f.form.CloseRequested());
  const auto& m = f.platform.messages[0];
  EXPECT_EQ(m.caption, f.host.Title());
  EXPECT_EQ(ToUtf8(m.text), "「テスト」を終了しますか？");
  EXPECT_EQ(m.buttons, MessageButtons::kYesNo);
  EXPECT_EQ(m.icon, MessageIcon::kQuestion);

  // Pressed on the button but released beside it: no click.
  f.form.HandleInput(
      InputEvent::MouseDown(MouseButton::kLeft, quit.Left + 5, quit.Top + 5, InputTarget::kDock));
  f.form.HandleInput(
      InputEvent::MouseUp(MouseButton::kLeft, quit.Left + 5, 30, InputTarget::kPanel));
  EXPECT_EQ(f.platform.messages.size(), 1u);
  EXPECT_TRUE(f.host.log.empty());  // the panel never saw the dock's press

  f.platform.answers = {MessageResult::kYes};
  click(quit.Left + 5, quit.Top + 5);
  EXPECT_TRUE(f.form.CloseRequested());
  EXPECT_TRUE(f.state.Closing);
  EXPECT_EQ(f.form.Run(), TFormView::RunEnd::kClosed);
  f.form.FormClose();
  EXPECT_EQ(f.host.log, std::vector<std::string>{"Close(closing)"});
}

TEST(TFormView, QuitAnsweredNoKeepsAnEarlierClosingFlag) {
  Fixture f;
  f.Started();
  f.state.Closing = true;
  f.platform.answers = {MessageResult::kNo};
  f.form.QuitButtonClick();
  EXPECT_TRUE(f.state.Closing);
}

TEST(TFormView, DockIsDrawnAndShownAtStartAndOnPress) {
  Fixture f;
  f.Started();
  EXPECT_EQ(f.platform.window.DockHeight, Toolbar::kDockHeight);
  EXPECT_EQ(f.platform.dockPresents, 1);
  EXPECT_EQ(f.platform.lastDock.Width, 160);  // as wide as the panel
  EXPECT_EQ(f.platform.lastDock.Height, Toolbar::kDockHeight);
  const Rect sw = Toolbar().ButtonRect(Toolbar::Button::kScreenSwitch);
  f.form.HandleInput(
      InputEvent::MouseDown(MouseButton::kLeft, sw.Left + 1, sw.Top + 1, InputTarget::kDock));
  EXPECT_EQ(f.platform.dockPresents, 2);  // sunk
  f.form.HandleInput(InputEvent::MouseMove(sw.Left + 1, sw.Top + 1, InputTarget::kDock));
  EXPECT_EQ(f.platform.dockPresents, 2);  // nothing changed
  f.form.HandleInput(
      InputEvent::MouseUp(MouseButton::kLeft, sw.Left + 1, sw.Top + 1, InputTarget::kDock));
  EXPECT_EQ(f.platform.dockPresents, 3);
  EXPECT_TRUE(f.platform.messages.empty());
  EXPECT_TRUE(f.host.log.empty());
}

TEST(TFormView, ScreenSwitchButtonF11AndAltEnterToggleFullScreen) {
  Fixture f;
  f.Started();
  const Rect sw = Toolbar().ButtonRect(Toolbar::Button::kScreenSwitch);
  f.form.HandleInput(
      InputEvent::MouseDown(MouseButton::kLeft, sw.Left + 1, sw.Top + 1, InputTarget::kDock));
  f.form.HandleInput(
      InputEvent::MouseUp(MouseButton::kLeft, sw.Left + 1, sw.Top + 1, InputTarget::kDock));
  EXPECT_TRUE(f.form.FullScreen());
  EXPECT_EQ(f.form.PanelTop(), 0);  // no dock above the panel in full screen

  struct Case {
    InputEvent key;
    bool toggles;
  } cases[] = {
      {InputEvent::KeyDown(0x7A), true},               // F11
      {InputEvent::KeyDown(0x0D, false, true), true},  // Alt+Enter
      {InputEvent::KeyDown(0x0D), false},              // Enter alone is the game's
      {InputEvent::KeyDown(0x7A, true), false},        // a held F11 does not flicker
      {InputEvent::KeyDown(0x7A), true},
  };
  for (const Case& c : cases) {
    const bool before = f.form.FullScreen();
    f.host.log.clear();
    f.form.HandleInput(c.key);
    EXPECT_EQ(f.form.FullScreen(), c.toggles ? !before : before) << c.key.Key << " " << c.key.Alt;
    // Keys that switch never reach the game.
    EXPECT_EQ(f.host.log.empty(), c.toggles || c.key.Repeat) << c.key.Key;
  }
  EXPECT_FALSE(f.form.FullScreen());
  EXPECT_EQ(f.form.PanelTop(), Toolbar::kDockHeight);

  // Asking for the state it has already does nothing; a refusal leaves the window as it was.
  const int switches = f.platform.screenSwitches;
  f.form.SetFullScreen(false);
  EXPECT_EQ(f.platform.screenSwitches, switches);
  f.platform.refuseFullScreen = true;
  f.form.ScreenSwitchClick();
  EXPECT_FALSE(f.form.FullScreen());
  EXPECT_EQ(f.form.PanelTop(), Toolbar::kDockHeight);
}

// The game hears of a switch before and after it (MIDI, videos, a whole redraw); a switch that is
// refused before it starts (no mode, a desktop too small for the game) touches nothing, one the
// platform fails still tells the game it is over.
TEST(TFormView, FullScreenSwitchIsAnnouncedAndRefusalsKeepTheWindow) {
  Fixture f;
  f.Started();
  f.form.SetFullScreen(true);
  f.form.SetFullScreen(false);
  EXPECT_EQ(f.host.switches, (std::vector<std::string>{"before full", "after full",
                                                        "before window", "after window"}));
  ASSERT_NE(f.form.ScreenManager(), nullptr);
  EXPECT_EQ(f.form.ScreenManager()->ModeCount(), 1);

  f.host.switches.clear();
  f.platform.refuseFullScreen = true;
  f.form.SetFullScreen(true);
  EXPECT_FALSE(f.form.FullScreen());
  EXPECT_EQ(f.host.switches, (std::vector<std::string>{"before full", "after window"}));

  // A desktop smaller than the game: the game stays in its window and nothing is stopped.
  Fixture small;
  small.platform.desktop = {100, 100, 32, 60};
  small.Started();
  const int switches = small.platform.screenSwitches;
  small.form.ScreenSwitchClick();
  EXPECT_FALSE(small.form.FullScreen());
  EXPECT_EQ(small.platform.screenSwitches, switches);
  EXPECT_TRUE(small.host.switches.empty());
  EXPECT_EQ(small.form.ScreenManager()->ChosenIndex(), -1);
}

// The choice is the player's own setting of the game, restored at the next start; "game.ini"
// (the game's and the Windows player's file) is never written for it.
TEST(TFormView, FullScreenChoiceIsKeptForTheNextStart) {
  Fixture f;
  f.Started();
  f.form.ScreenSwitchClick();
  ASSERT_TRUE(f.form.FullScreen());
  IniFile ini;
  ASSERT_TRUE(ini.Load(f.paths.PlayerSettingsPath()));
  EXPECT_TRUE(ini.ReadBool("Screen", "FullScreen", false));
  EXPECT_FALSE(IsHostFile(f.dir / "game.ini"));
  f.form.FormClose();

  ShellState state;
  FakePlatform platform;
  RecordingHost host{state};
  TFormView again{platform, state, host, f.paths};
  ASSERT_TRUE(again.FormCreate());
  EXPECT_TRUE(again.FullScreen());
  again.ScreenSwitchClick();
  ASSERT_TRUE(ini.Load(f.paths.PlayerSettingsPath()));
  EXPECT_FALSE(ini.ReadBool("Screen", "FullScreen", true));

  // A first start that stays in its window writes nothing.
  Fixture fresh;
  fresh.Started();
  fresh.form.FormClose();
  EXPECT_FALSE(IsHostFile(fresh.paths.PlayerSettingsPath()));
}

TEST(TFormView, ScreenSaverHeldOffOnlyWhileTheGameRunsInTheForeground) {
  Fixture f;
  f.Started();
  f.form.HandleInput(InputEvent::Of(InputKind::kDeactivate));
  f.form.HandleInput(InputEvent::Of(InputKind::kActivate));
  f.form.FormClose();
  EXPECT_EQ(f.platform.inhibited, (std::vector<bool>{true, false, true, false}));

  Fixture background;
  background.platform.startActive = false;
  background.Started();
  EXPECT_EQ(background.platform.inhibited, (std::vector<bool>{false}));
}

// In full screen the dock shows over the top of the screen while the pointer is on its top row
// or on the dock, and goes when the pointer moves onto the game.
TEST(TFormView, DockOverTheTopRowInFullScreen) {
  Fixture f;
  f.Started();
  InputEvent top = InputEvent::MouseMove(5, 0);
  top.ScreenTop = true;
  f.form.HandleInput(top);
  EXPECT_FALSE(f.platform.overlay);  // a window has its dock already
  f.form.ScreenSwitchClick();
  f.form.HandleInput(top);
  EXPECT_TRUE(f.platform.overlay);
  const int presented = f.platform.dockPresents;
  f.form.HandleInput(InputEvent::MouseMove(5, 8, InputTarget::kDock));
  EXPECT_TRUE(f.platform.overlay);
  f.form.HandleInput(InputEvent::MouseMove(5, 40));
  EXPECT_FALSE(f.platform.overlay);
  EXPECT_GE(f.platform.dockPresents, presented);
  // The switch button on the shown dock brings the window back.
  f.form.HandleInput(top);
  const Rect sw = Toolbar().ButtonRect(Toolbar::Button::kScreenSwitch);
  f.form.HandleInput(
      InputEvent::MouseDown(MouseButton::kLeft, sw.Left + 1, sw.Top + 1, InputTarget::kDock));
  f.form.HandleInput(
      InputEvent::MouseUp(MouseButton::kLeft, sw.Left + 1, sw.Top + 1, InputTarget::kDock));
  EXPECT_FALSE(f.form.FullScreen());
  EXPECT_FALSE(f.platform.overlay);
}

// A desktop window waits out the rest of a short frame for input instead of spinning; a game
// that paces itself, or a platform without a minimum (headless), does not wait.
TEST(TFormView, LoopWaitsOutShortFramesOnADesktop) {
  for (const bool pacing : {false, true}) {
    Fixture f;
    f.platform.minFrame = 16;
    f.host.pacing = pacing;
    f.Started();
    f.form.Run([](int64_t frames) { return frames < 3; });
    if (pacing)
      EXPECT_TRUE(f.platform.waits.empty());
    else
      EXPECT_EQ(f.platform.waits, (std::vector<uint32_t>{16, 16}));
  }
}

// A screen the display cannot show (its texture too large for the renderer) is reported in a box
// and the game closes as one that did not start.
TEST(TFormView, WindowThatCannotBeMadeIsReportedAndClosesTheGame) {
  Fixture f;
  f.platform.windowError = "cannot create the screen texture: too large";
  EXPECT_FALSE(f.form.FormCreate());
  EXPECT_TRUE(f.form.CloseRequested());
  ASSERT_EQ(f.platform.messages.size(), 1u);
  EXPECT_EQ(f.platform.messages[0].text, "cannot create the screen texture: too large");
  f.form.FormClose();
  EXPECT_TRUE(f.state.Closing);
}

TEST(TFormView, NoFullScreenBeforeTheWindowOrWhileInactive) {
  Fixture f;
  f.form.SetFullScreen(true);
  EXPECT_EQ(f.platform.screenSwitches, 0);
  f.Started();
  f.form.HandleInput(InputEvent::Of(InputKind::kDeactivate));
  f.form.HandleInput(InputEvent::KeyDown(0x7A));
  EXPECT_FALSE(f.form.FullScreen());
}

TEST(TFormView, CreationReadsGameIniAndDeletesTheOldLog) {
  Fixture f;
  f.dir.Write("game.ini", "[Sound]\nDirectSound=0\nDelayTime=1234\n");
  f.dir.Write("orinplay.log", "old");
  f.Started();
  EXPECT_FALSE(f.host.settings.DirectSound);
  EXPECT_EQ(f.host.settings.DelayTime, 500);
  EXPECT_EQ(f.form.Settings().DelayTime, 500);
  EXPECT_FALSE(IsHostFile(f.dir / "orinplay.log"));
  EXPECT_EQ(f.platform.window.Caption, f.host.Title());
  EXPECT_EQ(f.platform.window.PanelWidth, 160);
  EXPECT_EQ(f.platform.window.PanelHeight, 3);
  EXPECT_EQ(f.form.PanelTop(), Toolbar::kDockHeight);
}

TEST(TFormView, GameThatDoesNotStartAsksToClose) {
  Fixture f;
  f.host.startsOk = false;
  EXPECT_FALSE(f.form.FormCreate());
  EXPECT_TRUE(f.form.CloseRequested());
  EXPECT_EQ(f.form.Run(), TFormView::RunEnd::kClosed);
  f.form.FormClose();
  f.form.FormClose();
  EXPECT_EQ(f.host.log, (std::vector<std::string>{"Initialise", "Close(closing)"}));
}

TEST(TFormView, ErrorDuringInitialisationIsShownThenTheWindowCloses) {
  Fixture f;
  static const std::string message = "初期化できません"_sj;
  f.host.initError = message.c_str();
  EXPECT_FALSE(f.form.FormCreate());
  ASSERT_EQ(f.platform.messages.size(), 1u);
  EXPECT_EQ(f.platform.messages[0].text, message);
  EXPECT_EQ(f.platform.messages[0].icon, MessageIcon::kError);
  EXPECT_TRUE(f.form.CloseRequested());
  f.form.FormClose();
  EXPECT_EQ(f.host.log.back(), "Close(closing)");
}

// A run of the interpreter that never yields still lets the close box end the game: the window
// looks for it from inside the run, sets the closing flag (which stops the run) and the loop ends.
TEST(TFormView_Runaway, CloseBoxEndsARunThatNeverYields) {
  Fixture f;
  f.Started();
  f.WatchRuns();
  f.host.runawayCalls = -1;
  f.host.onBusy = [&](int call) {
    if (call == 3)
      f.platform.pending = {InputEvent::KeyDown(65), InputEvent::Of(InputKind::kClose)};
  };
  EXPECT_EQ(f.form.Run(), TFormView::RunEnd::kClosed);
  EXPECT_TRUE(f.state.Closing);
  EXPECT_EQ(f.host.Frames(), "F");
  // The window looks only after 100 ms of the run: the tenth call at 10 ms a call.
  EXPECT_EQ(f.host.busyCalls, 10);
  EXPECT_TRUE(f.log.Has("shell: the game closes while the script has not yielded for 100 ms"));
  f.form.FormClose();
  EXPECT_EQ(f.host.log.back(), "Close(closing)");
}

TEST(TFormView_Runaway, LongFrameKeepsItsInputForAfterTheFrame) {
  Fixture f;
  f.Started();
  f.WatchRuns();
  f.host.runawayCalls = 30;
  f.host.onBusy = [&](int call) {
    if (call == 3) f.platform.pending = {InputEvent::KeyDown(65)};
  };
  auto oneFrame = [](int64_t) { return false; };
  EXPECT_EQ(f.form.Run(oneFrame), TFormView::RunEnd::kStopped);
  EXPECT_EQ(std::count(f.host.log.begin(), f.host.log.end(), "KeyDown 65"), 0);
  f.host.runawayCalls = 0;
  EXPECT_EQ(f.form.Run(oneFrame), TFormView::RunEnd::kStopped);
  EXPECT_EQ(f.host.Frames(), "FsD|FsD");
  // The key reached the game before the second frame, once.
  const auto key = std::find(f.host.log.begin(), f.host.log.end(), "KeyDown 65");
  ASSERT_NE(key, f.host.log.end());
  EXPECT_EQ(std::count(f.host.log.begin(), f.host.log.end(), "KeyDown 65"), 1);
  EXPECT_EQ(*(key + 1), "DeletePendingFiles");
  EXPECT_FALSE(f.form.CloseRequested());
}

TEST(TFormView_Runaway, StopSignalsEndTheGameAsTheCloseBoxDoes) {
  {
    // From inside a run that never yields.
    Fixture f;
    StopSignals signals;
    f.Started();
    f.WatchRuns();
    f.form.WatchSignals(&signals);
    f.host.runawayCalls = -1;
    f.host.onBusy = [&](int call) {
      if (call == 2) std::raise(SIGTERM);
    };
    EXPECT_EQ(f.form.Run(), TFormView::RunEnd::kClosed);
    EXPECT_TRUE(f.state.Closing);
    EXPECT_TRUE(f.log.Has("shell: SIGTERM: the game closes"));
  }
  {
    // Between frames of a game that runs normally.
    Fixture f;
    StopSignals signals;
    f.Started();
    f.WatchRuns();
    f.form.WatchSignals(&signals);
    f.Idle(2);
    std::raise(SIGINT);
    EXPECT_EQ(f.form.Run(), TFormView::RunEnd::kClosed);
    EXPECT_EQ(f.host.Frames(), "FsD|FsD");
    EXPECT_TRUE(f.log.Has("shell: SIGINT: the game closes"));
    f.form.FormClose();
    EXPECT_EQ(f.host.log.back(), "Close(closing)");
  }
}

TEST(TFormView_Runaway, ExitPageThatNeverYieldsIsStopped) {
  Fixture f;
  f.Started();
  f.WatchRuns();
  f.host.runawayExitPage = true;
  f.form.PostClose();
  f.form.FormClose();
  EXPECT_TRUE(f.state.Closing);
  EXPECT_EQ(f.host.busyCalls, 100);  // a second at 10 ms a call
  EXPECT_TRUE(f.log.Has("shell: the exit page has not yielded for 1000 ms"));
}

TEST(TFormView, HeadlessRunStopsAtTheObserverAndDeliversScriptedInput) {
  test::TempDir dir;
  ShellState state;
  HeadlessOptions o;
  o.DeltaMs = 20;
  o.Input = {{2, InputEvent::KeyDown(13)}, {2, InputEvent::MouseMove(1, 2)}};
  o.Messages = nullptr;
  HeadlessPlatform platform(std::move(o));
  RecordingHost host(state);
  DataPaths paths(dir.Path());
  TFormView form(platform, state, host, paths);
  ASSERT_TRUE(form.FormCreate());
  EXPECT_FALSE(platform.HasDock());
  std::vector<int64_t> seen;
  EXPECT_EQ(form.Run([&](int64_t n) {
    seen.push_back(n);
    return n < 3;
  }),
            TFormView::RunEnd::kStopped);
  EXPECT_EQ(seen, (std::vector<int64_t>{1, 2, 3}));
  EXPECT_EQ(state.RunningClock, 60);
  // The input of frame 2 arrives after two frames, before the third.
  std::vector<std::string> calls;
  for (const std::string& s : host.log)
    if (s == "KeyDown 13" || s == "Move 1,2" || s == "Draw") calls.push_back(s);
  EXPECT_EQ(calls, (std::vector<std::string>{"Draw", "Draw", "KeyDown 13", "Move 1,2", "Draw"}));
  EXPECT_EQ(platform.Presents(), 3);

  // A game that stops itself leaves nothing to wait for.
  state.Closing = true;
  EXPECT_EQ(form.Run(), TFormView::RunEnd::kNothingToDo);
}

}  // namespace
}  // namespace orin
