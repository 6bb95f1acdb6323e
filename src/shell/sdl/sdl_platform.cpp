#include "shell/sdl/sdl_platform.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <optional>

#include "core/cp932.h"
#include "core/error.h"
#include "media/sdl/sdl_audio_output.h"
#include "shell/display_scale.h"
#include "shell/sdl/vk_codes.h"

namespace orin {
namespace {

[[noreturn]] void ThrowSdl(const char* what) {
  std::string message = what;
  message.append(": ").append(SDL_GetError());
  throw Error(FromUtf8(message));
}

// Games know the left and the right button only; the others are not theirs to see.
std::optional<MouseButton> ButtonOf(Uint8 sdlButton) {
  switch (sdlButton) {
    case SDL_BUTTON_LEFT:
      return MouseButton::kLeft;
    case SDL_BUTTON_RIGHT:
      return MouseButton::kRight;
    default:
      return std::nullopt;
  }
}

DisplayMode ModeOf(const SDL_DisplayMode& m) {
  DisplayMode mode;
  mode.Width = m.w;
  mode.Height = m.h;
  // SDL counts the padding byte of 0RGB modes out (24); Windows, whose answers games see, in.
  mode.BitsPerPixel =
      SDL_BYTESPERPIXEL(m.format) == 4 ? 32 : static_cast<int>(SDL_BITSPERPIXEL(m.format));
  mode.RefreshRate = m.refresh_rate;
  return mode;
}

}  // namespace

SdlPlatform::SdlPlatform() {
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) ThrowSdl("cannot open the display");
  // Without a display SDL falls back to drivers that show nothing; a game would then run unseen
  // and never end. Only someone who asked for such a driver gets it.
  const char* driver = SDL_GetCurrentVideoDriver();
  const char* asked = SDL_getenv("SDL_VIDEODRIVER");
  if (driver && (SDL_strcmp(driver, "offscreen") == 0 || SDL_strcmp(driver, "dummy") == 0) &&
      !(asked && SDL_strcasecmp(asked, driver) == 0)) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    throw Error("cannot open the display: no X11 or Wayland display here (--headless runs a game without a window)");
  }
  // The game's screen is scaled to the window; smooth scaling suits pictures and text alike.
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
  // The player decides when the screen saver may run (InhibitScreenSaver), not SDL's default.
  SDL_EnableScreenSaver();
}

SdlPlatform::~SdlPlatform() {
  CloseGamepads();
  DestroyWindow();
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void SdlPlatform::DestroyWindow() {
  if (overlay_ != nullptr) SDL_DestroyTexture(overlay_);
  overlay_ = nullptr;
  if (texture_ != nullptr) SDL_DestroyTexture(texture_);
  if (renderer_ != nullptr) SDL_DestroyRenderer(renderer_);
  if (window_ != nullptr) SDL_DestroyWindow(window_);
  texture_ = nullptr;
  renderer_ = nullptr;
  window_ = nullptr;
}

void SdlPlatform::CreateWindow(const WindowLayout& layout) {
  // SDL starts with text input on; the input method then takes keys even where the game has
  // no entry field, so it is on only while one has the focus (SetTextInput).
  if (window_ == nullptr && !textInput_) SDL_StopTextInput();
  panelWidth_ = layout.PanelWidth > 0 ? layout.PanelWidth : 1;
  panelHeight_ = layout.PanelHeight > 0 ? layout.PanelHeight : 1;
  dockHeight_ = layout.DockHeight > 0 ? layout.DockHeight : 0;
  const int clientHeight = dockHeight_ + panelHeight_;
  const std::string caption = ToUtf8(layout.Caption);

  // A game larger than the desktop's usable area gets a window that fits it, aspect kept; the
  // picture is scaled down into it.
  int windowWidth = panelWidth_, windowHeight = clientHeight;
  SDL_Rect usable{};
  if (SDL_GetDisplayUsableBounds(DisplayIndex(), &usable) == 0 && usable.w > 0 && usable.h > 0 &&
      (windowWidth > usable.w || windowHeight > usable.h)) {
    const Rect fitted = ScaledRect(ScaleMode::kFit, windowWidth, windowHeight, usable.w, usable.h);
    windowWidth = fitted.Width();
    windowHeight = fitted.Height();
  }

  if (window_ == nullptr) {
    window_ = SDL_CreateWindow(caption.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                               windowWidth, windowHeight,
                               SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
    if (window_ == nullptr) ThrowSdl("cannot create the window");
    renderer_ = SDL_CreateRenderer(window_, -1, 0);
    if (renderer_ == nullptr) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
    if (renderer_ == nullptr) {
      DestroyWindow();
      ThrowSdl("cannot draw into the window");
    }
  } else {
    SDL_SetWindowTitle(window_, caption.c_str());
    if (!fullScreen_) {
      SDL_SetWindowSize(window_, windowWidth, windowHeight);
      SDL_SetWindowPosition(window_, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
    }
  }
  if (texture_ != nullptr) SDL_DestroyTexture(texture_);
  texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                               panelWidth_, clientHeight);
  if (texture_ == nullptr) ThrowSdl("cannot create the screen texture");

  screen_.Resize(panelWidth_, panelHeight_, 0);
  PixelBuffer black(panelWidth_, clientHeight, 0);
  Upload(Rect{0, 0, panelWidth_, clientHeight}, black.View().Pixels, panelWidth_);
  Render();
}

std::string SdlPlatform::RendererName() const {
  SDL_RendererInfo info{};
  if (renderer_ == nullptr || SDL_GetRendererInfo(renderer_, &info) != 0 || info.name == nullptr)
    return {};
  return info.name;
}

void SdlPlatform::OutputSize(int& width, int& height) const {
  width = height = 0;
  if (renderer_ == nullptr || SDL_GetRendererOutputSize(renderer_, &width, &height) != 0)
    width = height = 0;
}

Rect SdlPlatform::PanelOnOutput() const {
  int w = 0, h = 0;
  OutputSize(w, h);
  if (fullScreen_) return ScaledRect(scaleMode_, panelWidth_, panelHeight_, w, h);
  Rect client = ScaledRect(scaleMode_, panelWidth_, dockHeight_ + panelHeight_, w, h);
  if (client.IsEmpty()) return {};
  // The dock's rows of the scaled client area, in whole output pixels.
  client.Top += static_cast<int>(int64_t{dockHeight_} * client.Height() /
                                 (dockHeight_ + panelHeight_));
  return client;
}

void SdlPlatform::MapPointer(int windowX, int windowY, InputTarget& target, int& x,
                             int& y) const {
  int outW = 0, outH = 0, winW = 0, winH = 0;
  OutputSize(outW, outH);
  SDL_GetWindowSize(window_, &winW, &winH);
  const int ox = WindowToOutput(windowX, winW, outW), oy = WindowToOutput(windowY, winH, outH);
  if (fullScreen_) {
    const Rect panel = ScaledRect(scaleMode_, panelWidth_, panelHeight_, outW, outH);
    if (dockOverlay_ && dockHeight_ > 0 && !panel.IsEmpty()) {
      const int dockRows = static_cast<int>(int64_t{dockHeight_} * panel.Height() / panelHeight_);
      const Rect dock{panel.Left, 0, panel.Right, dockRows};
      if (oy < dock.Bottom && ox >= dock.Left && ox < dock.Right) {
        const ContentPoint p = OutputToContent(dock, panelWidth_, dockHeight_, ox, oy);
        target = InputTarget::kDock;
        x = p.X;
        y = p.Y;
        return;
      }
    }
    const ContentPoint p = OutputToContent(panel, panelWidth_, panelHeight_, ox, oy);
    target = InputTarget::kPanel;
    x = p.X;
    y = p.Y;
    return;
  }
  const int clientHeight = dockHeight_ + panelHeight_;
  const Rect client = ScaledRect(scaleMode_, panelWidth_, clientHeight, outW, outH);
  const ContentPoint p = OutputToContent(client, panelWidth_, clientHeight, ox, oy);
  target = p.Y < dockHeight_ ? InputTarget::kDock : InputTarget::kPanel;
  x = p.X;
  y = target == InputTarget::kDock ? p.Y : p.Y - dockHeight_;
}

int SdlPlatform::DisplayIndex() const {
  const int index = window_ != nullptr ? SDL_GetWindowDisplayIndex(window_) : 0;
  return index >= 0 ? index : 0;
}

DisplayMode SdlPlatform::DesktopMode() const {
  SDL_DisplayMode m{};
  if (SDL_GetDesktopDisplayMode(DisplayIndex(), &m) != 0) return {};
  return ModeOf(m);
}

std::vector<DisplayMode> SdlPlatform::DisplayModes() const {
  std::vector<DisplayMode> modes;
  const int display = DisplayIndex();
  const int count = SDL_GetNumDisplayModes(display);
  for (int i = 0; i < count; ++i) {
    SDL_DisplayMode m{};
    if (SDL_GetDisplayMode(display, i, &m) != 0) continue;
    const DisplayMode mode = ModeOf(m);
    // SDL lists a mode once per pixel format; two formats of one depth are one mode here.
    bool seen = false;
    for (const DisplayMode& other : modes) seen = seen || other == mode;
    if (!seen) modes.push_back(mode);
  }
  return modes;
}

bool SdlPlatform::SetFullScreen(bool on) {
  if (window_ == nullptr) return fullScreen_ == on;
  if (on == fullScreen_) return true;
  dockOverlay_ = false;
  if (on) {
    SDL_GetWindowPosition(window_, &windowed_.Left, &windowed_.Top);
    int w = 0, h = 0;
    SDL_GetWindowSize(window_, &w, &h);
    windowed_.Right = windowed_.Left + w;
    windowed_.Bottom = windowed_.Top + h;
  }
  if (SDL_SetWindowFullscreen(window_, on ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) != 0) return false;
  fullScreen_ = on;
  // Without a window manager (or with one that forgets) the window would keep the screen's size:
  // it gets its own size and place back explicitly.
  if (!on && !windowed_.IsEmpty()) {
    SDL_SetWindowSize(window_, windowed_.Width(), windowed_.Height());
    SDL_SetWindowPosition(window_, windowed_.Left, windowed_.Top);
  }
  Render();
  return true;
}

void SdlPlatform::SetScaleFilter(ScaleFilter filter) {
  filter_ = filter;
  Render();
}

void SdlPlatform::SetScaleMode(ScaleMode mode) {
  scaleMode_ = mode;
  Render();
}

void SdlPlatform::ShowDockOverlay(bool on) {
  on = on && fullScreen_ && dockHeight_ > 0;
  if (on == dockOverlay_) return;
  dockOverlay_ = on;
  Render();
}

void SdlPlatform::InhibitScreenSaver(bool on) {
  if (on)
    SDL_DisableScreenSaver();
  else
    SDL_EnableScreenSaver();
}

void SdlPlatform::SetIcon(const PixelBuffer& icon) {
  if (window_ == nullptr || icon.Width() <= 0 || icon.Height() <= 0) return;
  // The icon's top byte is its alpha.
  const FrameView view = icon.View();
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
      const_cast<uint32_t*>(view.Pixels), view.Width, view.Height, 32, view.Pitch * 4,
      SDL_PIXELFORMAT_ARGB8888);
  if (surface == nullptr) return;
  SDL_SetWindowIcon(window_, surface);
  SDL_FreeSurface(surface);
}

uint32_t SdlPlatform::MinFrameMs() const {
  // One refresh of the display the window is on; 60 Hz where it does not say.
  const int rate = DesktopMode().RefreshRate;
  return rate > 0 ? static_cast<uint32_t>(1000 / rate) : 16;
}

std::unique_ptr<AudioOutput> SdlPlatform::CreateAudioOutput() {
  return std::make_unique<SdlAudioOutput>();
}

void SdlPlatform::SetCaption(const std::string& cp932) {
  if (window_ != nullptr) SDL_SetWindowTitle(window_, ToUtf8(cp932).c_str());
}

void SdlPlatform::PollEvents(int64_t, std::vector<InputEvent>& out) {
  if (gamepads_) {
    const uint32_t now = MonotonicMilliseconds();
    if (!controllers_.empty()) {
      pad_.SetPanelSize(panelWidth_, panelHeight_);
      const size_t before = out.size();
      pad_.Tick(now - padTick_, out);
      if (out.size() != before) WarpPointer(pad_.PointerX(), pad_.PointerY());
    }
    padTick_ = now;
  }
  SDL_Event e;
  while (SDL_PollEvent(&e)) {
    if (PadEvent(&e, out)) continue;
    switch (e.type) {
      case SDL_QUIT:
        out.push_back(InputEvent::Of(InputKind::kClose));
        break;
      case SDL_WINDOWEVENT:
        switch (e.window.event) {
          case SDL_WINDOWEVENT_FOCUS_GAINED:
            active_ = true;
            out.push_back(InputEvent::Of(InputKind::kActivate));
            break;
          case SDL_WINDOWEVENT_FOCUS_LOST:
            active_ = false;
            out.push_back(InputEvent::Of(InputKind::kDeactivate));
            break;
          case SDL_WINDOWEVENT_CLOSE:
            out.push_back(InputEvent::Of(InputKind::kClose));
            break;
          case SDL_WINDOWEVENT_EXPOSED:
          case SDL_WINDOWEVENT_SIZE_CHANGED:
            Render();
            break;
          default:
            break;
        }
        break;
      case SDL_DISPLAYEVENT:
        // A monitor unplugged under full screen: the window comes back as a window, which the
        // desktop moves onto a display that is still there.
        if (e.display.event == SDL_DISPLAYEVENT_DISCONNECTED && fullScreen_) SetFullScreen(false);
        Render();
        break;
      case SDL_KEYDOWN:
      case SDL_KEYUP: {
        const int vk = VirtualKeyFromSdl(e.key.keysym.scancode, e.key.keysym.sym, e.key.keysym.mod);
        if (vk == 0) break;
        out.push_back(
            e.type == SDL_KEYDOWN
                ? InputEvent::KeyDown(vk, e.key.repeat != 0, (e.key.keysym.mod & KMOD_ALT) != 0)
                : InputEvent::KeyUp(vk));
        break;
      }
      case SDL_MOUSEMOTION:
      case SDL_MOUSEBUTTONDOWN:
      case SDL_MOUSEBUTTONUP: {
        const bool motion = e.type == SDL_MOUSEMOTION;
        const int wx = motion ? e.motion.x : e.button.x;
        const int wy = motion ? e.motion.y : e.button.y;
        InputTarget target = InputTarget::kPanel;
        int x = 0, targetY = 0;
        MapPointer(wx, wy, target, x, targetY);
        const bool top = wy <= 0;
        auto mark = [top](InputEvent ev) {
          ev.ScreenTop = top;
          return ev;
        };
        if (motion) {
          if (target == InputTarget::kPanel) pad_.PointerMoved(x, targetY);
          out.push_back(mark(InputEvent::MouseMove(x, targetY, target)));
          break;
        }
        const std::optional<MouseButton> button = ButtonOf(e.button.button);
        if (!button) break;
        if (e.type == SDL_MOUSEBUTTONDOWN)
          out.push_back(mark(InputEvent::MouseDown(*button, x, targetY, target)));
        else
          out.push_back(mark(InputEvent::MouseUp(*button, x, targetY, target)));
        break;
      }
      case SDL_TEXTINPUT:
        if (textInput_) out.push_back(InputEvent::TextInput(e.text.text));
        break;
      case SDL_TEXTEDITING:
        if (textInput_) out.push_back(InputEvent::TextEditing(e.edit.text, e.edit.start));
        break;
      case SDL_MOUSEWHEEL: {
        int steps = e.wheel.y;
        if (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) steps = -steps;
        if (steps != 0) out.push_back(InputEvent::Wheel(steps < 0));
        break;
      }
      default:
        break;
    }
  }
}

bool SdlPlatform::WaitEvents(uint32_t timeoutMs) {
  SDL_WaitEventTimeout(nullptr, static_cast<int>(timeoutMs));
  return true;
}

void SdlPlatform::Upload(const Rect& clientRect, const uint32_t* pixels, int pitchPixels) {
  if (texture_ == nullptr) return;
  const SDL_Rect r{clientRect.Left, clientRect.Top, clientRect.Width(), clientRect.Height()};
  SDL_UpdateTexture(texture_, &r, pixels, pitchPixels * 4);
}

void SdlPlatform::Render() {
  if (renderer_ == nullptr || texture_ == nullptr) return;
  SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
  SDL_RenderClear(renderer_);
  int outW = 0, outH = 0;
  OutputSize(outW, outH);
  const int clientHeight = dockHeight_ + panelHeight_;
  const SDL_Rect source = fullScreen_ ? SDL_Rect{0, dockHeight_, panelWidth_, panelHeight_}
                                      : SDL_Rect{0, 0, panelWidth_, clientHeight};
  const Rect shown = ScaledRect(scaleMode_, source.w, source.h, outW, outH);
  if (!shown.IsEmpty()) {
    const bool nearest = filter_ == ScaleFilter::kNearest ||
                         (filter_ == ScaleFilter::kAuto &&
                          IsWholeMultiple(shown, source.w, source.h));
    SDL_SetTextureScaleMode(texture_, nearest ? SDL_ScaleModeNearest : SDL_ScaleModeLinear);
    const SDL_Rect target{shown.Left, shown.Top, shown.Width(), shown.Height()};
    SDL_RenderCopy(renderer_, texture_, &source, &target);
    if (fullScreen_ && dockOverlay_) {
      const SDL_Rect dockSource{0, 0, panelWidth_, dockHeight_};
      const SDL_Rect dockTarget{shown.Left, 0, shown.Width(),
                                static_cast<int>(int64_t{dockHeight_} * shown.Height() /
                                                 panelHeight_)};
      SDL_RenderCopy(renderer_, texture_, &dockSource, &dockTarget);
    }
  }
  if (overlay_ != nullptr) {
    const Rect panel = PanelOnOutput();
    const int w = std::min(overlayWidth_, panel.Width()), h = std::min(overlayHeight_, panel.Height());
    if (w > 0 && h > 0) {
      const SDL_Rect overlaySource{0, 0, w, h};
      const SDL_Rect overlayTarget{panel.Left, panel.Top, w, h};
      SDL_RenderCopy(renderer_, overlay_, &overlaySource, &overlayTarget);
    }
  }
  SDL_RenderPresent(renderer_);
}

bool SdlPlatform::Present(const FrameView& panel, const std::vector<Rect>& dirty) {
  if (window_ == nullptr || panel.Empty()) return false;
  const Rect sourceBounds{0, 0, panel.Width, panel.Height};
  bool copied = false;
  for (const Rect& d : dirty) {
    Rect cut;
    if (!IntersectRect(cut, d, sourceBounds) || !IntersectRect(cut, cut, screen_.Bounds()))
      continue;
    screen_.CopyRects(panel, {cut});
    Upload(Rect{cut.Left, cut.Top + dockHeight_, cut.Right, cut.Bottom + dockHeight_},
           screen_.Row(cut.Top) + cut.Left, screen_.Width());
    copied = true;
  }
  if (copied) Render();
  return copied;
}

void SdlPlatform::PresentDock(const FrameView& dock) {
  if (window_ == nullptr || dockHeight_ == 0 || dock.Empty()) return;
  const int width = dock.Width < panelWidth_ ? dock.Width : panelWidth_;
  const int height = dock.Height < dockHeight_ ? dock.Height : dockHeight_;
  Upload(Rect{0, 0, width, height}, dock.Pixels, dock.Pitch);
  // Full screen shows the dock only as its overlay.
  if (!fullScreen_ || dockOverlay_) Render();
}

MessageResult SdlPlatform::ShowMessage(const std::string& caption, const std::string& text,
                                       MessageButtons buttons, MessageIcon icon) {
  std::vector<SDL_MessageBoxButtonData> data;
  MessageResult cancelling = MessageResult::kOk;
  switch (buttons) {
    case MessageButtons::kOk:
      data = {{SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT,
               static_cast<int>(MessageResult::kOk), "OK"}};
      break;
    case MessageButtons::kOkCancel:
      data = {{SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, static_cast<int>(MessageResult::kOk), "OK"},
              {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, static_cast<int>(MessageResult::kCancel),
               "キャンセル"}};
      cancelling = MessageResult::kCancel;
      break;
    case MessageButtons::kYesNo:
      data = {
          {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, static_cast<int>(MessageResult::kYes), "はい"},
          {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, static_cast<int>(MessageResult::kNo),
           "いいえ"}};
      cancelling = MessageResult::kNo;
      break;
  }
  Uint32 flags = SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT;
  switch (icon) {
    case MessageIcon::kError:
      flags |= SDL_MESSAGEBOX_ERROR;
      break;
    case MessageIcon::kWarning:
      flags |= SDL_MESSAGEBOX_WARNING;
      break;
    default:
      flags |= SDL_MESSAGEBOX_INFORMATION;
      break;
  }
  const std::string title = ToUtf8(caption), message = ToUtf8(text);
  SDL_MessageBoxData box{};
  box.flags = flags;
  box.window = window_;
  box.title = title.c_str();
  box.message = message.c_str();
  box.numbuttons = static_cast<int>(data.size());
  box.buttons = data.data();
  int chosen = -1;
  if (SDL_ShowMessageBox(&box, &chosen) != 0) {
    std::fprintf(stderr, "[%s] %s\n", title.c_str(), message.c_str());
    return cancelling;
  }
  // Closing the box without a button (-1) cancels it.
  return chosen < 0 ? cancelling : static_cast<MessageResult>(chosen);
}

void SdlPlatform::Sleep(uint32_t ms) {
  SDL_Delay(ms);
}

void SdlPlatform::SetOverlay(const PixelBuffer* picture) {
  if (renderer_ == nullptr) return;
  if (picture == nullptr || picture->Width() <= 0 || picture->Height() <= 0) {
    if (overlay_ == nullptr) return;
    SDL_DestroyTexture(overlay_);
    overlay_ = nullptr;
    Render();
    return;
  }
  if (overlay_ == nullptr || overlayWidth_ != picture->Width() || overlayHeight_ != picture->Height()) {
    if (overlay_ != nullptr) SDL_DestroyTexture(overlay_);
    overlay_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                 picture->Width(), picture->Height());
    if (overlay_ == nullptr) return;
    SDL_SetTextureBlendMode(overlay_, SDL_BLENDMODE_BLEND);
    overlayWidth_ = picture->Width();
    overlayHeight_ = picture->Height();
  }
  const FrameView view = picture->View();
  SDL_UpdateTexture(overlay_, nullptr, view.Pixels, view.Pitch * 4);
  Render();
}

void SdlPlatform::EnableGamepads(bool on) {
  if (on == gamepads_) return;
  if (!on) {
    CloseGamepads();
    return;
  }
  // Controllers already plugged in arrive as "added" events, like the ones plugged in later.
  if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) return;
  gamepads_ = true;
  padTick_ = MonotonicMilliseconds();
}

void SdlPlatform::CloseGamepads() {
  if (!gamepads_) return;
  for (SDL_GameController* c : controllers_) SDL_GameControllerClose(c);
  controllers_.clear();
  SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
  gamepads_ = false;
}

namespace {

PadButton PadButtonOf(uint8_t b) {
  switch (b) {
    case SDL_CONTROLLER_BUTTON_A: return PadButton::kA;
    case SDL_CONTROLLER_BUTTON_B: return PadButton::kB;
    case SDL_CONTROLLER_BUTTON_BACK: return PadButton::kBack;
    case SDL_CONTROLLER_BUTTON_START: return PadButton::kStart;
    case SDL_CONTROLLER_BUTTON_LEFTSHOULDER: return PadButton::kLeftShoulder;
    case SDL_CONTROLLER_BUTTON_RIGHTSHOULDER: return PadButton::kRightShoulder;
    case SDL_CONTROLLER_BUTTON_DPAD_UP: return PadButton::kUp;
    case SDL_CONTROLLER_BUTTON_DPAD_DOWN: return PadButton::kDown;
    case SDL_CONTROLLER_BUTTON_DPAD_LEFT: return PadButton::kLeft;
    case SDL_CONTROLLER_BUTTON_DPAD_RIGHT: return PadButton::kRight;
    default: return PadButton::kOther;
  }
}

}  // namespace

bool SdlPlatform::PadEvent(const void* sdlEvent, std::vector<InputEvent>& out) {
  if (!gamepads_) return false;
  const SDL_Event& e = *static_cast<const SDL_Event*>(sdlEvent);
  switch (e.type) {
    case SDL_CONTROLLERDEVICEADDED:
      if (SDL_GameController* c = SDL_GameControllerOpen(e.cdevice.which)) controllers_.push_back(c);
      break;
    case SDL_CONTROLLERDEVICEREMOVED:
      for (size_t i = 0; i < controllers_.size(); ++i) {
        if (SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(controllers_[i])) != e.cdevice.which) continue;
        SDL_GameControllerClose(controllers_[i]);
        controllers_.erase(controllers_.begin() + static_cast<ptrdiff_t>(i));
        break;
      }
      if (controllers_.empty()) pad_.AllRemoved(out);
      break;
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP:
      pad_.SetPanelSize(panelWidth_, panelHeight_);
      pad_.Button(PadButtonOf(e.cbutton.button), e.type == SDL_CONTROLLERBUTTONDOWN, out);
      break;
    case SDL_CONTROLLERAXISMOTION:
      pad_.Axis(e.caxis.axis == SDL_CONTROLLER_AXIS_LEFTX   ? PadAxis::kLeftX
                : e.caxis.axis == SDL_CONTROLLER_AXIS_LEFTY ? PadAxis::kLeftY
                                                             : PadAxis::kOther,
                e.caxis.value);
      break;
    default:
      return false;
  }
  return true;
}

void SdlPlatform::WarpPointer(int x, int y) {
  if (window_ == nullptr || panelWidth_ <= 0 || panelHeight_ <= 0) return;
  const Rect panel = PanelOnOutput();
  int outW = 0, outH = 0, winW = 0, winH = 0;
  OutputSize(outW, outH);
  SDL_GetWindowSize(window_, &winW, &winH);
  if (panel.IsEmpty() || outW <= 0 || outH <= 0) return;
  // The centre of the game pixel, back through the scaling and the HiDPI factor.
  const int64_t ox = panel.Left + (int64_t{x} * 2 + 1) * panel.Width() / (int64_t{panelWidth_} * 2);
  const int64_t oy = panel.Top + (int64_t{y} * 2 + 1) * panel.Height() / (int64_t{panelHeight_} * 2);
  SDL_WarpMouseInWindow(window_, static_cast<int>(ox * winW / outW), static_cast<int>(oy * winH / outH));
}

}  // namespace orin

namespace orin {

void SdlPlatform::SetTextInput(bool on, const Rect& caret) {
  if (on != textInput_) {
    textInput_ = on;
    if (on)
      SDL_StartTextInput();
    else
      SDL_StopTextInput();
  }
  if (!on || window_ == nullptr || caret == textCaret_) return;
  textCaret_ = caret;
  // The input method places its candidate list in window coordinates.
  int outW = 0, outH = 0, winW = 0, winH = 0;
  OutputSize(outW, outH);
  SDL_GetWindowSize(window_, &winW, &winH);
  const Rect panel = PanelOnOutput();
  if (outW <= 0 || outH <= 0 || panelWidth_ <= 0 || panelHeight_ <= 0) return;
  auto toWindowX = [&](int x) {
    const int64_t o = panel.Left + int64_t{x} * panel.Width() / panelWidth_;
    return static_cast<int>(o * winW / outW);
  };
  auto toWindowY = [&](int y) {
    const int64_t o = panel.Top + int64_t{y} * panel.Height() / panelHeight_;
    return static_cast<int>(o * winH / outH);
  };
  SDL_Rect r{toWindowX(caret.Left), toWindowY(caret.Top), 0, 0};
  r.w = std::max(1, toWindowX(caret.Right) - r.x);
  r.h = std::max(1, toWindowY(caret.Bottom) - r.y);
  SDL_SetTextInputRect(&r);
}

std::string SdlPlatform::ClipboardText() {
  char* text = SDL_GetClipboardText();
  if (text == nullptr) return {};
  std::string result(text);
  SDL_free(text);
  return result;
}

void SdlPlatform::SetClipboardText(const std::string& utf8) { SDL_SetClipboardText(utf8.c_str()); }

}  // namespace orin
