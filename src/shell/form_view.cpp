#include "shell/form_view.h"

#include <csignal>
#include <cstdio>
#include <exception>

#include "core/clock.h"
#include "core/cp932.h"
#include "core/error.h"
#include "core/text.h"
#include "shell/ini_file.h"

namespace orin {

using namespace literals;

namespace {

// How long the loop waits for input while no frame can run before it looks again.
constexpr uint32_t kWaitMs = 250;

constexpr const char* kScreenSection = "Screen";
constexpr const char* kFullScreenKey = "FullScreen";

constexpr int kVkReturn = 0x0D;
constexpr int kVkF11 = 0x7A;

bool IsFullScreenKey(const InputEvent& e) {
  return e.Key == kVkF11 || (e.Key == kVkReturn && e.Alt);
}

}  // namespace

TFormView::TFormView(Platform& platform, ShellState& state, GameHost& host, const DataPaths& paths)
    : platform_(platform),
      state_(state),
      host_(host),
      paths_(paths),
      clock_(state),
      realClock_(MonotonicMilliseconds) {}

TFormView::~TFormView() {
  FormClose();
}

std::string TFormView::ApplicationTitle() const {
  return host_.HasProject() ? host_.Title() : std::string(kDefaultCaption);
}

bool TFormView::FormCreate() {
  // The log of the previous run goes; a missing file is no error.
  std::remove(paths_.LogPath().c_str());
  settings_ = ReadGameIni(paths_.GameIniReadPath(), settings_);
  active_ = platform_.IsActive();

  try {
    initialised_ = true;
    host_.Initialise(settings_, *this);
  } catch (const Error& e) {
    ShowMessage(ApplicationTitle(), e.Message(), MessageButtons::kOk, MessageIcon::kError);
    PostClose();
    return false;
  } catch (const std::exception& e) {
    ShowMessage(ApplicationTitle(), FromUtf8(e.what()), MessageButtons::kOk, MessageIcon::kError);
    PostClose();
    return false;
  }

  const int width = host_.ScreenWidth(), height = host_.ScreenHeight();
  hasScreen_ = width > 0 && height > 0;
  if (hasScreen_)
    screens_ = std::make_unique<TScreenManager>(
        platform_.DesktopMode(), platform_.DisplayModes(), width, height,
        host_.PreferredFullScreenWidth(), host_.PreferredFullScreenHeight());
  WindowLayout layout;
  layout.Caption = ApplicationTitle();
  layout.PanelWidth = hasScreen_ ? width : kDefaultWidth;
  layout.PanelHeight = hasScreen_ ? height : kDefaultHeight;
  layout.DockHeight = DockHeight();
  try {
    platform_.CreateWindow(layout);
  } catch (const Error& e) {
    // A screen the display cannot hold (a texture larger than the renderer takes) is said
    // plainly; the game closes as one that did not start.
    ShowMessage(ApplicationTitle(), e.Message(), MessageButtons::kOk, MessageIcon::kError);
    PostClose();
    return false;
  }
  windowCreated_ = true;
  PlacePanel();
  if (platform_.HasDock()) {
    toolbar_.SetWidth(layout.PanelWidth);
    platform_.PresentDock(toolbar_.Draw().View());
  }

  clock_.Start(platform_.Ticks());
  if (state_.Closing) {
    PostClose();
    return false;
  }
  IniFile playerSettings;
  if (playerSettings.Load(paths_.PlayerSettingsPath()) &&
      playerSettings.ReadBool(kScreenSection, kFullScreenKey, false))
    SetFullScreen(true);
  platform_.InhibitScreenSaver(active_);
  return true;
}

TFormView::RunEnd TFormView::Run(const FrameObserver& afterFrame) {
  std::vector<InputEvent> events;
  while (!closeRequested_) {
    if (HeedSignals()) break;
    // What came while the last frame ran long comes first.
    events.swap(held_);
    held_.clear();
    platform_.PollEvents(framesRun_, events);
    for (const InputEvent& e : events) HandleInput(e);
    if (closeRequested_) break;
    bool done = false;
    const int64_t before = framesRun_;
    const uint32_t frameStart = platform_.Ticks();
    Idle(done);
    if (framesRun_ != before && extras_) extras_->AfterFrame();
    if (framesRun_ != before && afterFrame && !afterFrame(framesRun_)) return RunEnd::kStopped;
    if (done && !closeRequested_ && !platform_.WaitEvents(kWaitMs)) return RunEnd::kNothingToDo;
    const uint32_t minFrame = platform_.MinFrameMs();
    if (!done && minFrame > 0 && !host_.FramePacing() && !closeRequested_) {
      const uint32_t spent = platform_.Ticks() - frameStart;
      if (spent < minFrame) platform_.WaitEvents(minFrame - spent);
    }
  }
  return RunEnd::kClosed;
}

void TFormView::FormClose() {
  if (closed_) return;
  closed_ = true;
  state_.Closing = true;
  if (windowCreated_) platform_.InhibitScreenSaver(false);
  if (!initialised_) return;
  // The exit page runs in there.
  BeginRun(true);
  host_.Close();
  inRun_ = false;
}

bool TFormView::HeedSignals() {
  const int signal = signals_ ? signals_->Raised() : 0;
  if (signal == 0 || closeRequested_) return closeRequested_;
  log_->Info(LogChannel::kShell,
             signal == SIGINT ? "SIGINT: the game closes" : "SIGTERM: the game closes");
  PostClose();
  return true;
}

void TFormView::BeginRun(bool exiting) {
  inRun_ = true;
  exiting_ = exiting;
  runStart_ = realClock_();
  lastLook_ = runStart_;
}

uint32_t TFormView::InterpreterBusy() {
  if (!inRun_) return 0;
  const uint32_t now = realClock_();
  const uint32_t elapsed = now - runStart_;
  if (elapsed < kBusyLookAfterMs || now - lastLook_ < kBusyLookEveryMs || state_.Closing)
    return elapsed;
  lastLook_ = now;
  if (exiting_) {
    if (elapsed >= kExitPageLimitMs) {
      log_->Warn(
          LogChannel::kShell,
          Format("the exit page has not yielded for %d ms: it is stopped so that the game closes",
                 static_cast<int>(elapsed)));
      state_.Closing = true;
    }
    return elapsed;
  }
  const size_t before = held_.size();
  platform_.PollEventsInFrame(framesRun_, held_);
  for (size_t i = before; i < held_.size(); ++i)
    if (held_[i].Kind == InputKind::kClose) PostClose();
  if (!HeedSignals() && !closeRequested_) return elapsed;
  log_->Warn(
      LogChannel::kShell,
      Format("the game closes while the script has not yielded for %d ms: the run is stopped",
             static_cast<int>(elapsed)));
  state_.Closing = true;
  return elapsed;
}

void TFormView::Idle(bool& done) {
  if (state_.Closing || !active_ || closeRequested_ || closed_ || !hasScreen_) {
    done = true;
    return;
  }
  done = false;
  const uint32_t now = platform_.Ticks();
  if (!clock_.BeginFrame(now)) return;
  log_->SetClock(state_.RunningClock);
  OneFrame();
  UpdateTextInput();
  ++framesRun_;
  if (const auto fps = clock_.UpdateFrameRate(now); fps && screens_) screens_->SetFrameRate(*fps);
  if (host_.FramePacing())
    platform_.Sleep(FrameClock::PacingSleep(state_.FrameInterval, now, platform_.Ticks()));
}

void TFormView::OneFrame() {
  if (!host_.HasProject()) return;
  host_.DeletePendingFiles();
  host_.SceneInputStep();
  // A frame run from inside another (message 0x6B0) belongs to the run that holds it.
  const bool nested = inRun_;
  if (!nested) BeginRun(false);
  host_.RunInterpreter();
  if (!nested) inRun_ = false;
  if (state_.Closing) return;
  host_.SceneStep();
  ++state_.FrameCounter;
  if (host_.EndOfFrame()) skipDraw_ = 1;
  if (skipDraw_ > 0) {
    --skipDraw_;
    return;
  }
  // The divisor has no user interface; a value below 1 would divide by zero.
  const int32_t divisor = state_.DrawDivisor > 0 ? state_.DrawDivisor : 1;
  drawPhase_ = (drawPhase_ + 1) % divisor;
  if (drawPhase_ != 0) return;
  DrawAndPresent();
}

void TFormView::DrawAndPresent() {
  DrawnFrame frame = host_.Draw();
  if (platform_.Present(frame.BackBuffer, frame.Dirty)) clock_.CountPresented();
  host_.FramePresented();
}

void TFormView::HandleInput(const InputEvent& event) {
  switch (event.Kind) {
    case InputKind::kKeyDown:
      if (!active_ || event.Repeat || event.Key < 0 || event.Key >= 256) return;
      if (IsFullScreenKey(event)) {
        ScreenSwitchClick();
        return;
      }
      if (extras_ && extras_->KeyDown(event.Key)) return;
      host_.KeyDown(event.Key);
      return;
    case InputKind::kKeyUp:
      if (event.Key >= 0 && event.Key < 256) host_.KeyUp(event.Key);
      return;
    case InputKind::kMouseDown:
    case InputKind::kMouseUp:
    case InputKind::kMouseMove: {
      TrackDockOverlay(event);
      const bool toDock = capture_ == Capture::kDock ||
                          (capture_ == Capture::kNone && event.Target == InputTarget::kDock);
      if (toDock)
        RouteDock(event);
      else
        RoutePanel(event);
      return;
    }
    case InputKind::kWheel:
      host_.Wheel(event.WheelDown);
      return;
    case InputKind::kActivate:
      Activate();
      return;
    case InputKind::kDeactivate:
      Deactivate();
      return;
    case InputKind::kClose:
      PostClose();
      return;
    case InputKind::kTextInput:
      if (active_) host_.TextInput(event.Text);
      return;
    case InputKind::kTextEditing:
      if (active_) host_.TextEditing(event.Text, event.Cursor);
      return;
  }
}

void TFormView::UpdateTextInput() {
  Rect caret;
  const bool on = active_ && host_.HasProject() && host_.WantsTextInput(caret);
  if (on == textInput_ && (!on || caret == textCaret_)) return;
  textInput_ = on;
  textCaret_ = caret;
  platform_.SetTextInput(on, caret);
}

void TFormView::RoutePanel(const InputEvent& event) {
  int x = event.X, y = event.Y;
  if (event.Target == InputTarget::kDock) y -= DockHeight();
  switch (event.Kind) {
    case InputKind::kMouseDown:
      if (!active_) return;
      capture_ = Capture::kPanel;
      if (extras_) extras_->Clicked();
      host_.MouseDown(event.Button, x, y);
      return;
    case InputKind::kMouseUp:
      capture_ = Capture::kNone;
      host_.MouseUp(event.Button, x, y);
      return;
    default:
      host_.MouseMove(x, y);
      return;
  }
}

void TFormView::RouteDock(const InputEvent& event) {
  if (!platform_.HasDock()) return;
  int x = event.X, y = event.Y;
  // In the window the dock lies above the panel; in full screen it lies over the panel's top.
  if (event.Target == InputTarget::kPanel && !platform_.FullScreen()) y += DockHeight();
  Toolbar::Button clicked = Toolbar::Button::kNone;
  switch (event.Kind) {
    case InputKind::kMouseDown:
      if (event.Button != MouseButton::kLeft) return;
      capture_ = Capture::kDock;
      toolbar_.MouseDown(x, y);
      break;
    case InputKind::kMouseUp:
      if (event.Button != MouseButton::kLeft) return;
      capture_ = Capture::kNone;
      clicked = toolbar_.MouseUp(x, y);
      break;
    default:
      toolbar_.MouseMove(x, y);
      break;
  }
  PresentDockIfChanged();
  if (clicked == Toolbar::Button::kQuit) QuitButtonClick();
  if (clicked == Toolbar::Button::kScreenSwitch) ScreenSwitchClick();
}

void TFormView::SetFullScreen(bool on) {
  if (!windowCreated_ || closed_ || platform_.FullScreen() == on) return;
  // Checked before anything is stopped, so that a refused switch leaves the music playing.
  if (on && (!screens_ || !screens_->CanFullScreen())) {
    log_->Info(LogChannel::kShell,
               "full screen is not possible here (no display mode holds the game's screen): the "
               "game stays in its window");
    return;
  }
  host_.BeforeDisplaySwitch(on);
  platform_.ShowDockOverlay(false);
  if (!platform_.SetFullScreen(on) && on) {
    log_->Warn(LogChannel::kShell, "the switch to full screen failed: the game stays in its window");
    platform_.SetFullScreen(false);
  }
  PlacePanel();
  host_.AfterDisplaySwitch(platform_.FullScreen());
  if (!platform_.FullScreen() && platform_.HasDock()) platform_.PresentDock(toolbar_.Draw().View());
  RememberFullScreen(platform_.FullScreen());
}

void TFormView::RememberFullScreen(bool on) {
  IniFile ini;
  const bool existed = ini.Load(paths_.PlayerSettingsPath());
  if (existed && ini.ReadBool(kScreenSection, kFullScreenKey, false) == on) return;
  if (!existed && !on) return;
  ini.WriteBool(kScreenSection, kFullScreenKey, on);
  try {
    ini.Save(paths_.WritePath("orinplay.ini"));
  } catch (const Error& e) {
    log_->Warn(LogChannel::kShell, "the full-screen choice is not kept: " + e.Message());
  }
}

void TFormView::TrackDockOverlay(const InputEvent& event) {
  if (!platform_.FullScreen() || !platform_.HasDock()) return;
  const bool shown = platform_.DockOverlayShown();
  if (event.ScreenTop && !shown) {
    platform_.ShowDockOverlay(true);
    platform_.PresentDock(toolbar_.Draw().View());
  } else if (shown && !event.ScreenTop && event.Target == InputTarget::kPanel &&
             capture_ != Capture::kDock) {
    platform_.ShowDockOverlay(false);
  }
}

void TFormView::PlacePanel() {
  // The platform scales the client area, which is as wide as the game's screen; a window has the
  // dock above the panel, full screen none.
  panelLeft_ = 0;
  panelTop_ = platform_.FullScreen() ? 0 : DockHeight();
}

void TFormView::PresentDockIfChanged() {
  if (windowCreated_ && toolbar_.NeedsRedraw()) platform_.PresentDock(toolbar_.Draw().View());
}

void TFormView::Activate() {
  if (active_) return;
  active_ = true;
  // The time spent inactive is not a frame delta.
  clock_.Reset(platform_.Ticks());
  if (windowCreated_ && !closed_) platform_.InhibitScreenSaver(true);
  if (initialised_ && !closed_) host_.Activated();
}

void TFormView::Deactivate() {
  if (!active_) return;
  active_ = false;
  capture_ = Capture::kNone;
  if (windowCreated_ && !closed_) platform_.InhibitScreenSaver(false);
  if (initialised_ && !closed_) host_.Deactivated();
}

void TFormView::QuitButtonClick() {
  const bool previous = state_.Closing;
  state_.Closing = true;
  const std::string title = ApplicationTitle();
  const MessageResult answer = ShowMessage(title, Format("「%s」を終了しますか？"_sj, title),
                                           MessageButtons::kYesNo, MessageIcon::kQuestion);
  if (answer == MessageResult::kYes)
    PostClose();
  else
    state_.Closing = previous;
}

void TFormView::SetCaption(const std::string& cp932) {
  if (windowCreated_) platform_.SetCaption(cp932);
}

MessageResult TFormView::ShowMessage(const std::string& caption, const std::string& text,
                                     MessageButtons buttons, MessageIcon icon) {
  return platform_.ShowMessage(caption, text, buttons, icon);
}

void TFormView::SetCaptionRenderer(CaptionRenderer* renderer) {
  toolbar_.SetCaptionRenderer(renderer);
  PresentDockIfChanged();
}

}  // namespace orin
