// Platform: what the shell needs from the system it runs on — one window with a dock strip above
// the drawing panel, input, presenting frames, full screen and the display modes, message boxes,
// a millisecond clock and the sound device.
//
// Two implementations: shell/sdl/ (an SDL2 window) and shell/headless/ (no window and no sound
// device, a fixed frame delta, scripted input; tests and automation). Texts are cp932.
//
// Coordinates of input events are those of the panel (the game's screen, 0,0 at its top-left
// corner, one unit per game pixel) or of the dock strip, whatever the window's real size, in a
// window and in full screen alike.
//
// The window and full screen scale the picture by a scale mode (display_scale.h) and a filter.
// Full screen is a borderless window as large as the desktop with the game scaled to fit, its
// aspect kept (black bars beside or above it); the display's video mode never changes. The dock
// strip is not shown there, except on request (ShowDockOverlay) over the top of the screen while
// the pointer is on the screen's top row.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/mouse_button.h"
#include "imaging/geometry.h"
#include "media/audio_output.h"
#include "scene/model/clipboard.h"
#include "script/message_box.h"
#include "shell/pixels.h"

namespace orin {


enum class InputKind {
  kKeyDown,     // Key; Repeat for a key held down by the system's auto-repeat
  kKeyUp,       // Key
  kMouseDown,   // Button, X, Y
  kMouseUp,     // Button, X, Y
  kMouseMove,   // X, Y
  kWheel,       // WheelDown: a step toward the user
  kActivate,    // the application became the foreground application
  kDeactivate,  // it lost that place
  kClose,       // the user closed the window
  kTextInput,   // Text: characters the user typed (after the input method, if any)
  kTextEditing, // Text: the input method's composition string, Cursor in characters (empty: ended)
};

enum class InputTarget { kPanel, kDock };

struct InputEvent {
  InputKind Kind = InputKind::kMouseMove;
  InputTarget Target = InputTarget::kPanel;  // mouse events only
  int Key = 0;                               // a Windows virtual-key number (may be 256 or more)
  bool Repeat = false;
  bool Alt = false;                          // key events: an Alt key was held
  bool ScreenTop = false;                    // mouse events: on the top row of the window/screen
  MouseButton Button = MouseButton::kLeft;
  int X = 0;
  int Y = 0;
  bool WheelDown = false;
  std::string Text;  // text events: UTF-8, as the desktop gives it
  int Cursor = 0;

  static InputEvent KeyDown(int key, bool repeat = false, bool alt = false);
  static InputEvent KeyUp(int key);
  static InputEvent MouseDown(MouseButton button, int x, int y,
                              InputTarget target = InputTarget::kPanel);
  static InputEvent MouseUp(MouseButton button, int x, int y,
                            InputTarget target = InputTarget::kPanel);
  static InputEvent MouseMove(int x, int y, InputTarget target = InputTarget::kPanel);
  static InputEvent Wheel(bool down);
  static InputEvent TextInput(std::string utf8);
  static InputEvent TextEditing(std::string utf8, int cursor);
  static InputEvent Of(InputKind kind);
};

// A display mode as the system reports it. Modes of four bytes per pixel count as 32 bits, as
// Windows reports them. 0 stands for what the system does not tell.
struct DisplayMode {
  int Width = 0;
  int Height = 0;
  int BitsPerPixel = 0;
  int RefreshRate = 0;  // Hz

  bool operator==(const DisplayMode&) const = default;
};

// How the game's pixels are scaled to the window or the screen: the filter (kAuto: nearest
// where the picture is shown at a whole multiple of its size, linear otherwise) and the mode
// (display_scale.h).
enum class ScaleFilter { kNearest, kLinear, kAuto };
enum class ScaleMode { kFit, kInteger, kStretch };

struct WindowLayout {
  std::string Caption;  // cp932
  int PanelWidth = 0;
  int PanelHeight = 0;
  int DockHeight = 0;  // 0: no dock
};

class Platform {
 public:
  virtual ~Platform() = default;

  // Creates the window, or gives the existing one this caption and size. The client area is
  // PanelWidth × (DockHeight + PanelHeight), the dock on top; both start black.
  virtual void CreateWindow(const WindowLayout& layout) = 0;
  virtual void SetCaption(const std::string& cp932) = 0;

  // Appends the input that arrived since the last call. framesRun is the number of frames the
  // loop has run so far (scripted input is timed by it).
  virtual void PollEvents(int64_t framesRun, std::vector<InputEvent>& out) = 0;
  // The same from inside a frame that runs long (the window looks for a close request there): it
  // must not move a virtual clock. The default is PollEvents.
  virtual void PollEventsInFrame(int64_t framesRun, std::vector<InputEvent>& out) {
    PollEvents(framesRun, out);
  }
  // Waits until input may have arrived or timeoutMs passed. False when no input can ever arrive
  // (headless), so a loop that waits for input would wait forever.
  virtual bool WaitEvents(uint32_t timeoutMs) = 0;

  // Copies the rectangles of the panel picture (cut to it) to the screen and shows the result.
  // Returns whether anything was copied.
  virtual bool Present(const FrameView& panel, const std::vector<Rect>& dirty) = 0;
  // Shows the dock strip (DockHeight rows as wide as the panel).
  virtual void PresentDock(const FrameView& dock) = 0;
  // What the panel shows now (black where nothing was presented yet).
  virtual const PixelBuffer& Screen() const = 0;

  // A modal message box; returns the button chosen.
  virtual MessageResult ShowMessage(const std::string& caption, const std::string& text,
                                    MessageButtons buttons, MessageIcon icon) = 0;

  // A millisecond clock that wraps around at 2^32, and a sleep in the same unit.
  virtual uint32_t Ticks() = 0;
  virtual void Sleep(uint32_t ms) = 0;

  // --- Screen ---
  // The desktop's own mode (its size is the size of full screen).
  virtual DisplayMode DesktopMode() const = 0;
  // The modes of the display the window is on, largest first, without repeats.
  virtual std::vector<DisplayMode> DisplayModes() const = 0;
  // Switches between the window and full screen (see above); returns whether the requested state
  // holds now. Without a window nothing changes.
  virtual bool SetFullScreen(bool on) = 0;
  virtual bool FullScreen() const = 0;
  virtual void SetScaleFilter(ScaleFilter filter) = 0;
  virtual void SetScaleMode(ScaleMode) {}
  // Full screen only: shows the dock strip over the top of the screen (input there then goes to
  // the dock) or hides it again.
  virtual void ShowDockOverlay(bool) {}
  virtual bool DockOverlayShown() const { return false; }

  // The screen saver and the display's power saving: held off (true) while the game runs in the
  // foreground, allowed again (false) when it loses the focus or ends.
  virtual void InhibitScreenSaver(bool) {}
  // The window's icon (ignored when empty).
  virtual void SetIcon(const PixelBuffer&) {}
  // The shortest frame the loop should run while the game itself asks for no pacing: a window
  // on a desktop waits out the rest of it for input instead of spinning (0: no wait).
  virtual uint32_t MinFrameMs() const { return 0; }

  // --- Text entry ---
  // While on, typed characters arrive as kTextInput and the input method's composition as
  // kTextEditing; caret is the panel rectangle where the composition is shown, so that the
  // input method puts its candidate list beside it. Off: keys only.
  virtual void SetTextInput(bool /*on*/, const Rect& /*caret*/) {}
  // The desktop's clipboard as UTF-8 text (empty when it holds no text), and setting it.
  virtual std::string ClipboardText() { return {}; }
  virtual void SetClipboardText(const std::string& /*utf8*/) {}

  // --- What the player adds beyond the game ---
  // A picture shown over the game's at the top-left of the panel, its alpha in the top byte,
  // without touching Screen(); null hides it. The platform may keep the pointer until the next
  // call. Headless runs show nothing.
  virtual void SetOverlay(const PixelBuffer*) {}
  // Game controllers move the pointer and press buttons and keys (shell/gamepad.h); on by
  // default where there are any.
  virtual void EnableGamepads(bool) {}

  // --- Sound ---
  // An output on the platform's sound device, not yet open (media/audio_output.h). It must not
  // outlive the platform.
  virtual std::unique_ptr<AudioOutput> CreateAudioOutput() = 0;

  // Whether the application is the foreground application now.
  virtual bool IsActive() const = 0;
  // Headless runs have no dock and no pointer of their own.
  virtual bool HasDock() const = 0;
};

// The platform's clipboard as the scene's entry fields see it.
class PlatformClipboard final : public Clipboard {
 public:
  explicit PlatformClipboard(Platform& platform) : platform_(platform) {}
  std::string Text() override { return platform_.ClipboardText(); }
  void SetText(const std::string& utf8) override { platform_.SetClipboardText(utf8); }

 private:
  Platform& platform_;
};

}  // namespace orin
