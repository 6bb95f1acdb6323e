// SdlPlatform: the player's window through SDL2.
//
// One window whose client area is the dock strip above the game's screen, both kept in one
// streaming texture (32-bit, 0xXXRRGGBB). Presenting uploads only the dirty rectangles and draws
// the texture scaled to the window by the scale mode and filter (display_scale.h; the GPU scales
// where the renderer has one); the window may be resized freely, down to nothing. The window is
// made in the desktop's logical pixels (HiDPI: the drawable may be larger) at the game's size, or
// shrunk with its aspect kept when the desktop's usable area is smaller. Full screen is SDL's
// desktop-sized borderless window (SDL_WINDOW_FULLSCREEN_DESKTOP) showing the panel part of the
// texture, and the dock strip over the top while asked to. Pointer positions are mapped back to
// dock or panel pixels (OutputToContent). Keys become
// Windows virtual-key numbers (vk_codes.h); focus loss and gain are deactivation and
// activation. Message boxes are SDL's, in UTF-8; when SDL cannot show one (no display) the text
// goes to stderr and the box takes its cancelling answer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/clock.h"
#include "shell/gamepad.h"
#include "shell/platform.h"

struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;
struct _SDL_GameController;

namespace orin {

class SdlPlatform final : public Platform {
 public:
  // Initialises SDL's video subsystem; throws Error with SDL's reason when it cannot.
  SdlPlatform();
  ~SdlPlatform() override;
  SdlPlatform(const SdlPlatform&) = delete;
  SdlPlatform& operator=(const SdlPlatform&) = delete;

  void CreateWindow(const WindowLayout& layout) override;
  void SetCaption(const std::string& cp932) override;
  void PollEvents(int64_t framesRun, std::vector<InputEvent>& out) override;
  bool WaitEvents(uint32_t timeoutMs) override;
  bool Present(const FrameView& panel, const std::vector<Rect>& dirty) override;
  void PresentDock(const FrameView& dock) override;
  const PixelBuffer& Screen() const override { return screen_; }
  MessageResult ShowMessage(const std::string& caption, const std::string& text,
                            MessageButtons buttons, MessageIcon icon) override;
  DisplayMode DesktopMode() const override;
  std::vector<DisplayMode> DisplayModes() const override;
  bool SetFullScreen(bool on) override;
  bool FullScreen() const override { return fullScreen_; }
  void SetScaleFilter(ScaleFilter filter) override;
  void SetScaleMode(ScaleMode mode) override;
  void ShowDockOverlay(bool on) override;
  bool DockOverlayShown() const override { return dockOverlay_; }
  void InhibitScreenSaver(bool on) override;
  void SetIcon(const PixelBuffer& icon) override;
  uint32_t MinFrameMs() const override;
  std::unique_ptr<AudioOutput> CreateAudioOutput() override;
  uint32_t Ticks() override { return MonotonicMilliseconds(); }
  void Sleep(uint32_t ms) override;
  bool IsActive() const override { return active_; }
  bool HasDock() const override { return true; }
  void SetTextInput(bool on, const Rect& caret) override;
  std::string ClipboardText() override;
  void SetClipboardText(const std::string& utf8) override;
  void SetOverlay(const PixelBuffer* picture) override;
  void EnableGamepads(bool on) override;

  SDL_Window* Window() const { return window_; }
  // SDL's name of the renderer in use ("opengl", "software" …); empty before the window.
  std::string RendererName() const;
  // Where the game's panel is drawn in the renderer's output now (output pixels).
  Rect PanelOnOutput() const;

 private:
  void Upload(const Rect& clientRect, const uint32_t* pixels, int pitchPixels);
  void Render();
  void DestroyWindow();
  int DisplayIndex() const;
  void OutputSize(int& width, int& height) const;
  // The target and position under a window position (the desktop's logical pixels).
  void MapPointer(int windowX, int windowY, InputTarget& target, int& x, int& y) const;
  // Controller events into input; true when the event was one.
  bool PadEvent(const void* sdlEvent, std::vector<InputEvent>& out);
  void CloseGamepads();
  // Puts the system pointer over a panel position (the stick moved it).
  void WarpPointer(int x, int y);

  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  int panelWidth_ = 0;
  int panelHeight_ = 0;
  int dockHeight_ = 0;
  PixelBuffer screen_;
  bool active_ = true;
  bool fullScreen_ = false;
  bool dockOverlay_ = false;
  Rect windowed_;  // the window's place and size before full screen
  ScaleFilter filter_ = ScaleFilter::kAuto;
  ScaleMode scaleMode_ = ScaleMode::kFit;
  bool textInput_ = false;
  Rect textCaret_;
  // The debug overlay's picture, drawn unscaled over the panel's top-left corner.
  SDL_Texture* overlay_ = nullptr;
  int overlayWidth_ = 0;
  int overlayHeight_ = 0;
  bool gamepads_ = false;
  std::vector<_SDL_GameController*> controllers_;
  GamepadMapper pad_;
  uint32_t padTick_ = 0;
};

}  // namespace orin
