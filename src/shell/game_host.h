// GameHost: the game as the main window drives it — the project, the scene, the media and the
// file manager behind one small interface, so that the window's frame loop and input routing
// work (and are tested) without them.
//
// TFormView calls, per frame, in this order: DeletePendingFiles, SceneInputStep, RunInterpreter,
// (stop when the closing flag is set) SceneStep, EndOfFrame, and on drawn frames Draw then
// FramePresented. Everything runs on the user-interface thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "imaging/geometry.h"
#include "script/game_context.h"  // TraceSink
#include "shell/game_ini.h"
#include "shell/pixels.h"
#include "shell/platform.h"

namespace orin {

class TScreenManager;

// What one drawn frame hands to the presenter: the back buffer and the rectangles of it that
// changed (the whole screen, or the active root's list).
struct DrawnFrame {
  FrameView BackBuffer;
  std::vector<Rect> Dirty;
};

// What the game may ask of the main window.
class MainWindow {
 public:
  virtual ~MainWindow() = default;
  // Posts a close message: the loop ends and the window closes (the game ends).
  virtual void PostClose() = 0;
  virtual void SetCaption(const std::string& cp932) = 0;
  virtual MessageResult ShowMessage(const std::string& caption, const std::string& text,
                                    MessageButtons buttons, MessageIcon icon) = 0;
  // Window message 0x6B0: runs one frame at once.
  virtual void RunFrameNow() = 0;
  // Called from inside a run of the interpreter that has not yielded for a while (through
  // GameContext::Busy): the window looks for a close request and the stop signals at a bounded
  // rate, and sets the closing flag when the game must end. Returns the real milliseconds the run
  // has gone on (0: not measured).
  virtual uint32_t InterpreterBusy() { return 0; }
  // Full screen as @FullScr reads and writes it (a switch that cannot be made leaves the window).
  virtual bool FullScreen() const { return false; }
  virtual void SetFullScreen(bool) {}
  // The display-mode manager, once the game has a screen; null before.
  virtual TScreenManager* ScreenManager() { return nullptr; }
};

class GameHost {
 public:
  virtual ~GameHost() = default;

  // --- Start and end ---
  // Creates the scene, the project (which reads the project file, restores the status data and
  // starts the first page, clearing the closing flag on success) and the media managers. An Error
  // thrown here is shown in a message box and the window closes. The window stays valid until
  // Close.
  virtual void Initialise(const GameSettings& settings, MainWindow& window) = 0;
  // Frees, in this order: the project (its exit page runs and the status data is written), the
  // system functions, the variable collection, the scene, the media managers — whatever of them
  // exists: Close also follows an Initialise that threw. Called once, with the closing flag set.
  virtual void Close() = 0;

  // --- What the window needs to know ---
  virtual bool HasProject() const = 0;
  // The project's title (cp932): window caption and application title.
  virtual std::string Title() const = 0;
  // The game's screen; no frame runs while either is not positive.
  virtual int ScreenWidth() const = 0;
  virtual int ScreenHeight() const = 0;
  // The project asks the loop to sleep out the rest of each frame.
  virtual bool FramePacing() const = 0;
  // The project's preferred full-screen size (0 × 0: none).
  virtual int PreferredFullScreenWidth() const { return 0; }
  virtual int PreferredFullScreenHeight() const { return 0; }

  // --- One frame ---
  virtual void DeletePendingFiles() = 0;
  virtual void SceneInputStep() = 0;
  virtual void RunInterpreter() = 0;
  virtual void SceneStep() = 0;
  // A pending game load, then a pending save; true when a load ran.
  virtual bool EndOfFrame() = 0;
  // Draws the scene and a running transition into the back buffer.
  virtual DrawnFrame Draw() = 0;
  // After presenting: clears the dirty lists of both screen roots.
  virtual void FramePresented() = 0;

  // --- Input, already filtered by the window's rules ---
  // key < 256. KeyDown marks it down and raises the scene's key-press handling.
  virtual void KeyDown(int key) = 0;
  virtual void KeyUp(int key) = 0;
  // Both roots: left-down = (button is left), right-down = (button is right); the active root
  // gets its press flag. Panel coordinates.
  virtual void MouseDown(MouseButton button, int x, int y) = 0;
  // Clears the button states of both roots.
  virtual void MouseUp(MouseButton button, int x, int y) = 0;
  // Hover tracking on both roots.
  virtual void MouseMove(int x, int y) = 0;
  // The active root's wheel-down or wheel-up flag.
  virtual void Wheel(bool down) = 0;

  // --- Text entry (platform.h: kTextInput, kTextEditing; UTF-8) ---
  virtual void TextInput(const std::string& /*utf8*/) {}
  virtual void TextEditing(const std::string& /*utf8*/, int /*cursor*/) {}
  // Whether the focused control takes text now, and where its caret is (panel coordinates).
  virtual bool WantsTextInput(Rect& /*caret*/) { return false; }

  // --- Activation ---
  // Deactivated: suspend the media managers, put the CD line's mixer levels back and release
  // every key and button held in the scene.
  virtual void Deactivated() = 0;
  // Activated: remember the CD line's mixer levels again and resume the media managers.
  virtual void Activated() = 0;

  // --- Around a switch between the window and full screen ---
  // Before: the MIDI sequence stops and its device closes, videos prepare. After (also when the
  // switch failed): the screen is drawn whole again, the MIDI device reopens and a sequence that
  // played resumes, videos resume.
  virtual void BeforeDisplaySwitch(bool /*toFullScreen*/) {}
  virtual void AfterDisplaySwitch(bool /*fullScreen*/) {}
};

}  // namespace orin
