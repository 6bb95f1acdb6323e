// Platform: what the shell needs from the system it runs on — one window with a dock strip above
// the drawing panel, input, presenting frames, message boxes and a millisecond clock.
//
// Two implementations: shell/sdl/ (an SDL2 window) and shell/headless/ (no window and no sound
// device, a fixed frame delta, scripted input; tests and automation). Texts are cp932.
//
// Coordinates of input events are those of the panel (the game's screen, 0,0 at its top-left
// corner, one unit per game pixel) or of the dock strip, whatever the window's real size.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/mouse_button.h"
#include "imaging/geometry.h"
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
};

enum class InputTarget { kPanel, kDock };

struct InputEvent {
  InputKind Kind = InputKind::kMouseMove;
  InputTarget Target = InputTarget::kPanel;  // mouse events only
  int Key = 0;                               // a Windows virtual-key number (may be 256 or more)
  bool Repeat = false;
  MouseButton Button = MouseButton::kLeft;
  int X = 0;
  int Y = 0;
  bool WheelDown = false;

  static InputEvent KeyDown(int key, bool repeat = false);
  static InputEvent KeyUp(int key);
  static InputEvent MouseDown(MouseButton button, int x, int y,
                              InputTarget target = InputTarget::kPanel);
  static InputEvent MouseUp(MouseButton button, int x, int y,
                            InputTarget target = InputTarget::kPanel);
  static InputEvent MouseMove(int x, int y, InputTarget target = InputTarget::kPanel);
  static InputEvent Wheel(bool down);
  static InputEvent Of(InputKind kind);
};

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

  // Whether the application is the foreground application now.
  virtual bool IsActive() const = 0;
  // Headless runs have no dock and no pointer of their own.
  virtual bool HasDock() const = 0;
};

}  // namespace orin
