// TFormView: the main window — start of the game, the frame loop driven from the idle handler,
// input routing, activation, the quit button and closing.
//
// Frames run while the game is running (closing flag clear), the application is active, the
// window is not closing and the game has a screen. One frame: delete pending temporary files,
// roll the scene's input state, run the interpreter; stop there when the closing flag got set;
// step the scene, count the frame, run a pending load or save (a load skips drawing this one
// frame), and on every n-th frame (the draw divisor) draw and present.
//
// Input rules: key downs are dropped while inactive, as are the system's auto-repeats (the scene
// repeats held keys itself) and codes of 256 and above; key ups below 256 always pass. Mouse
// downs reach the scene only while active; ups, moves and wheel steps always. A press keeps the
// pointer captured by its side (panel or dock) until the release.
//
// Full screen: the "画面切替" button, F11, Alt+Enter and @FullScr switch between the window and
// the platform's full screen (a desktop-sized borderless window, the game scaled to fit); those
// keys do not reach the game. The display-mode manager (TScreenManager, made once the game has a
// screen) says whether full screen is possible; when it is not, or the platform cannot make it,
// the game stays in its window. Around a switch the game is told (GameHost::BeforeDisplaySwitch,
// AfterDisplaySwitch: MIDI, videos, a whole redraw). The panel keeps its coordinates; in full
// screen it has no dock above it, but the dock is shown over the top of the screen while the
// pointer is on the screen's top row or on the dock, and hidden when it moves onto the game.
// The last state chosen is kept in the player's settings of the game (orinplay.ini, section
// "Screen", key "FullScreen") and restored at the next start.
//
// The screen saver is held off while the game runs in the foreground (Platform::
// InhibitScreenSaver) and allowed again when it loses the focus or closes.
//
// A window on a desktop that the game does not pace (the project's frame-pacing flag) still runs
// no faster than the platform's MinFrameMs: the loop waits out the rest for input, so a game
// that waits for a click takes next to no processor time.
//
// Closing order: the closing flag is set, then the host frees the game (GameHost::Close).
//
// A frame that runs long: the interpreter may loop without yielding (a chained While {TRUE}), as
// the original allows; the frame then never ends. From about kBusyLookAfterMs into such a run the
// window looks, from inside it (InterpreterBusy) and at most every kBusyLookEveryMs, for a close
// request of the platform and for SIGINT and SIGTERM; one ends the run (the closing flag) and the
// game closes as the close box closes it. Other input that arrives meanwhile is kept for after
// the frame. The exit page, which runs while the window closes, gets kExitPageLimitMs without
// yielding before it is stopped, so a game always closes within about two seconds.
//
// SIGINT and SIGTERM end a game that runs normally the same way. What the window notices goes to
// the log's shell channel.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/log.h"
#include "shell/data_paths.h"
#include "shell/frame_clock.h"
#include "shell/game_host.h"
#include "shell/game_ini.h"
#include "shell/platform.h"
#include "shell/screen_manager.h"
#include "shell/shell_state.h"
#include "shell/stop_signals.h"
#include "shell/toolbar.h"

namespace orin {

// What the player adds beyond the game (PlayerExtras): it sees key downs first and takes the ones
// it answers (true), hears of clicks, and runs after every frame.
class WindowExtras {
 public:
  virtual ~WindowExtras() = default;
  virtual bool KeyDown(int key) = 0;
  virtual void Clicked() = 0;
  virtual void AfterFrame() = 0;
};

class TFormView final : public MainWindow {
 public:
  // Called after every frame the idle handler ran, with the number of frames run so far; false
  // ends the loop.
  using FrameObserver = std::function<bool(int64_t framesRun)>;

  enum class RunEnd {
    kClosed,       // the window was asked to close (quit button, close box, the game)
    kStopped,      // the observer ended the loop
    kNothingToDo,  // no frame can run and no input can ever come (headless)
  };

  static constexpr uint32_t kBusyLookAfterMs = 100;
  static constexpr uint32_t kBusyLookEveryMs = 50;
  static constexpr uint32_t kExitPageLimitMs = 1000;

  // Caption of the window before a project names it.
  static constexpr const char* kDefaultCaption = "OrinPlayer";
  // The window's size when the game has no screen of its own.
  static constexpr int kDefaultWidth = 640;
  static constexpr int kDefaultHeight = 480;

  TFormView(Platform& platform, ShellState& state, GameHost& host, const DataPaths& paths);
  ~TFormView() override;
  TFormView(const TFormView&) = delete;
  TFormView& operator=(const TFormView&) = delete;

  // The window's creation: deletes the old log, reads "game.ini", initialises the game and makes
  // the window of the game's size. True when the game runs; false when it did not start (the
  // window then asks to close).
  bool FormCreate();
  // The message loop. Does not close the window: call FormClose afterwards.
  RunEnd Run(const FrameObserver& afterFrame = {});
  // Sets the closing flag and frees the game; only the first call does anything.
  void FormClose();

  // The idle handler: one pass. done tells whether the loop may wait for input.
  void Idle(bool& done);
  // One frame, as the idle handler and message 0x6B0 run it.
  void OneFrame();
  // Turns the platform's text input on while the focused control takes text.
  void UpdateTextInput();
  void HandleInput(const InputEvent& event);
  // The "終了" button: asks whether to end the game.
  void QuitButtonClick();
  // The "画面切替" button: full screen on or off.
  void ScreenSwitchClick() { SetFullScreen(!platform_.FullScreen()); }
  // Nothing when the state is already the requested one or there is no window yet.
  void SetFullScreen(bool on) override;
  bool FullScreen() const override { return platform_.FullScreen(); }
  TScreenManager* ScreenManager() override { return screens_.get(); }

  // MainWindow
  void PostClose() override { closeRequested_ = true; }
  void SetCaption(const std::string& cp932) override;
  MessageResult ShowMessage(const std::string& caption, const std::string& text,
                            MessageButtons buttons, MessageIcon icon) override;
  void RunFrameNow() override { OneFrame(); }

  uint32_t InterpreterBusy() override;

  void SetCaptionRenderer(CaptionRenderer* renderer);
  // The log of the run (the null log until one is given); not owned.
  void SetLog(Log& log) { log_ = &log; }
  // The stop signals to heed (none until given); not owned.
  void WatchSignals(const StopSignals* signals) { signals_ = signals; }
  // What the player adds beyond the game (none until given); not owned.
  void SetExtras(WindowExtras* extras) { extras_ = extras; }
  // The real millisecond clock that measures a long run (tests give their own).
  void SetRealClock(std::function<uint32_t()> clock) { realClock_ = std::move(clock); }

  bool Active() const { return active_; }
  bool CloseRequested() const { return closeRequested_; }
  bool Closed() const { return closed_; }
  const GameSettings& Settings() const { return settings_; }
  int64_t FramesRun() const { return framesRun_; }
  const FrameClock& Clock() const { return clock_; }
  int PanelLeft() const { return panelLeft_; }
  int PanelTop() const { return panelTop_; }
  int DockHeight() const { return platform_.HasDock() ? Toolbar::kDockHeight : 0; }

 private:
  void Activate();
  void Deactivate();
  void DrawAndPresent();
  void RouteDock(const InputEvent& event);
  void RoutePanel(const InputEvent& event);
  void PresentDockIfChanged();
  void PlacePanel();
  void TrackDockOverlay(const InputEvent& event);
  void RememberFullScreen(bool on);
  std::string ApplicationTitle() const;
  // A stop signal came: the game closes. True when one did.
  bool HeedSignals();
  void BeginRun(bool exiting);

  Platform& platform_;
  ShellState& state_;
  GameHost& host_;
  const DataPaths& paths_;
  FrameClock clock_;
  Toolbar toolbar_;
  GameSettings settings_;
  std::unique_ptr<TScreenManager> screens_;

  bool active_ = true;
  bool hasScreen_ = false;
  bool windowCreated_ = false;
  bool closeRequested_ = false;
  bool closed_ = false;
  bool initialised_ = false;
  int32_t drawPhase_ = 0;
  int32_t skipDraw_ = 0;
  bool textInput_ = false;
  Rect textCaret_;
  int panelLeft_ = 0;
  int panelTop_ = 0;
  int64_t framesRun_ = 0;
  Log quiet_;
  Log* log_ = &quiet_;
  const StopSignals* signals_ = nullptr;
  WindowExtras* extras_ = nullptr;
  std::function<uint32_t()> realClock_;
  // The run of the interpreter under way: when it began and when the window last looked.
  bool inRun_ = false;
  bool exiting_ = false;
  uint32_t runStart_ = 0;
  uint32_t lastLook_ = 0;
  // Input that came while a frame ran long, for after it.
  std::vector<InputEvent> held_;
  // Which side holds the pointer between a press and its release.
  enum class Capture { kNone, kPanel, kDock } capture_ = Capture::kNone;
};

}  // namespace orin
