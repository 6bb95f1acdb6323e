#include "shell/sdl/sdl_platform.h"

#include <SDL.h>

#include <cstdio>
#include <optional>

#include "core/cp932.h"
#include "core/error.h"
#include "media/sdl/sdl_audio_output.h"
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
}

SdlPlatform::~SdlPlatform() {
  DestroyWindow();
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void SdlPlatform::DestroyWindow() {
  if (texture_ != nullptr) SDL_DestroyTexture(texture_);
  if (renderer_ != nullptr) SDL_DestroyRenderer(renderer_);
  if (window_ != nullptr) SDL_DestroyWindow(window_);
  texture_ = nullptr;
  renderer_ = nullptr;
  window_ = nullptr;
}

void SdlPlatform::CreateWindow(const WindowLayout& layout) {
  panelWidth_ = layout.PanelWidth > 0 ? layout.PanelWidth : 1;
  panelHeight_ = layout.PanelHeight > 0 ? layout.PanelHeight : 1;
  dockHeight_ = layout.DockHeight > 0 ? layout.DockHeight : 0;
  const int clientHeight = dockHeight_ + panelHeight_;
  const std::string caption = ToUtf8(layout.Caption);

  if (window_ == nullptr) {
    window_ = SDL_CreateWindow(caption.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                               panelWidth_, clientHeight, SDL_WINDOW_RESIZABLE);
    if (window_ == nullptr) ThrowSdl("cannot create the window");
    renderer_ = SDL_CreateRenderer(window_, -1, 0);
    if (renderer_ == nullptr) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
    if (renderer_ == nullptr) {
      DestroyWindow();
      ThrowSdl("cannot draw into the window");
    }
  } else {
    SDL_SetWindowTitle(window_, caption.c_str());
    SDL_SetWindowSize(window_, panelWidth_, clientHeight);
    SDL_SetWindowPosition(window_, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
  }
  if (texture_ != nullptr) SDL_DestroyTexture(texture_);
  texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                               panelWidth_, clientHeight);
  if (texture_ == nullptr) ThrowSdl("cannot create the screen texture");
  SDL_SetTextureScaleMode(
      texture_, filter_ == ScaleFilter::kNearest ? SDL_ScaleModeNearest : SDL_ScaleModeLinear);
  ApplyLogicalSize();

  screen_.Resize(panelWidth_, panelHeight_, 0);
  PixelBuffer black(panelWidth_, clientHeight, 0);
  Upload(Rect{0, 0, panelWidth_, clientHeight}, black.View().Pixels, panelWidth_);
  Render();
}

void SdlPlatform::ApplyLogicalSize() {
  // Keeps the aspect with black bars and maps pointer positions back to client pixels; full
  // screen shows the panel without the dock.
  if (renderer_ != nullptr)
    SDL_RenderSetLogicalSize(renderer_, panelWidth_,
                             fullScreen_ ? panelHeight_ : dockHeight_ + panelHeight_);
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
  if (SDL_SetWindowFullscreen(window_, on ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) != 0) return false;
  fullScreen_ = on;
  ApplyLogicalSize();
  Render();
  return true;
}

void SdlPlatform::SetScaleFilter(ScaleFilter filter) {
  filter_ = filter;
  if (texture_ != nullptr)
    SDL_SetTextureScaleMode(
        texture_, filter == ScaleFilter::kNearest ? SDL_ScaleModeNearest : SDL_ScaleModeLinear);
  Render();
}

std::unique_ptr<AudioOutput> SdlPlatform::CreateAudioOutput() {
  return std::make_unique<SdlAudioOutput>();
}

void SdlPlatform::SetCaption(const std::string& cp932) {
  if (window_ != nullptr) SDL_SetWindowTitle(window_, ToUtf8(cp932).c_str());
}

void SdlPlatform::PollEvents(int64_t, std::vector<InputEvent>& out) {
  SDL_Event e;
  while (SDL_PollEvent(&e)) {
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
        const int x = motion ? e.motion.x : e.button.x;
        const int y = motion ? e.motion.y : e.button.y;
        // Full screen shows no dock: every position is the panel's.
        const int dock = fullScreen_ ? 0 : dockHeight_;
        const InputTarget target =
            !fullScreen_ && y < dock ? InputTarget::kDock : InputTarget::kPanel;
        const int targetY = target == InputTarget::kDock ? y : y - dock;
        if (motion) {
          out.push_back(InputEvent::MouseMove(x, targetY, target));
          break;
        }
        const std::optional<MouseButton> button = ButtonOf(e.button.button);
        if (!button) break;
        if (e.type == SDL_MOUSEBUTTONDOWN)
          out.push_back(InputEvent::MouseDown(*button, x, targetY, target));
        else
          out.push_back(InputEvent::MouseUp(*button, x, targetY, target));
        break;
      }
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
  const SDL_Rect shown = fullScreen_ ? SDL_Rect{0, dockHeight_, panelWidth_, panelHeight_}
                                     : SDL_Rect{0, 0, panelWidth_, dockHeight_ + panelHeight_};
  SDL_RenderCopy(renderer_, texture_, &shown, nullptr);
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
  Render();
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

}  // namespace orin
