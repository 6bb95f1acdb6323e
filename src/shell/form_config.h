// TFormConfig: the sound settings dialog that "orinplay --config" (and the Windows spelling
// "/config") shows instead of the game, and RunConfigDialog, its little message loop.
//
// The dialog edits section "Sound" of "game.ini": "DirectSound" (a check box) and "DelayTime"
// (a track bar of 1..5 hundreds of milliseconds with a value label "%dms"). The delay controls are
// enabled only while the check box is clear, since the delay applies only to the output without
// DirectSound. OK writes both keys and closes; キャンセル, Escape and the window's close box close
// without writing.
//
// The dialog draws itself into a 270 × 179 picture with the player's own glyphs (a missing outline
// font leaves the texts out; the controls still work) and takes the platform's input events, so
// the SDL window and a headless run (scripted clicks and keys, screenshots) drive the same code.
//
// Keyboard: Tab and Shift+Tab move the focus (a disabled track bar is skipped); Space toggles the
// check box or presses the focused button; on the track bar the arrows, Page Up/Down, Home and End
// move it, elsewhere the arrows move the focus; Enter presses the focused button, else OK;
// Escape cancels; S and D (with or without Alt) are the mnemonics of the check box and the delay.
//
// "game.ini" is read from one path and written to another (DataPaths: the file the game ships
// with, or the user's copy where the game's folder is not writable); keys other than the two are
// kept. The track bar starts at the stored delay div 100, held to 1..5, so a stored 250 shows 200
// and writes 200 back.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "imaging/geometry.h"
#include "shell/ini_file.h"
#include "shell/pixels.h"
#include "shell/platform.h"

namespace orin {

class TFontPixelManager;

class TFormConfig {
 public:
  enum class Control { kCheckBox, kTrackBar, kOk, kCancel };

  static constexpr int kClientWidth = 270;
  static constexpr int kClientHeight = 179;
  static constexpr int kMinPosition = 1;
  static constexpr int kMaxPosition = 5;

  static constexpr uint32_t kFace = 0xD4D0C8;
  static constexpr uint32_t kHighlight = 0xFFFFFF;
  static constexpr uint32_t kShadow = 0x808080;
  static constexpr uint32_t kDarkShadow = 0x404040;
  static constexpr uint32_t kText = 0x000000;

  // Reads the settings from readPath (a missing or unreadable file reads as empty). glyphs may be
  // null.
  TFormConfig(std::string readPath, std::string writePath, TFontPixelManager* glyphs);

  // The dialog's caption and the application's title, cp932.
  static const std::string& Caption();

  bool DirectSound() const { return directSound_; }
  int Position() const { return position_; }
  // What the value label shows, cp932: "%dms" of position × 100.
  std::string ValueText() const;
  // The delay label, the track bar and the value label.
  bool DelayEnabled() const { return !directSound_; }
  Control Focus() const { return focus_; }
  bool Visible() const { return visible_; }
  // True once OK has written the file.
  bool Accepted() const { return accepted_; }

  void SetDirectSound(bool on);
  // Held to 1..5.
  void SetPosition(int position);

  // Writes both keys and closes. Throws Error when the file cannot be written; the dialog then
  // stays open.
  void Ok();
  void Cancel();

  // Input in client coordinates (the platform's panel). OK may throw as Ok() does.
  void HandleInput(const InputEvent& event);

  Rect ControlRect(Control c) const;
  bool NeedsRedraw() const { return dirty_; }
  const PixelBuffer& Draw();
  const PixelBuffer& Picture() const { return picture_; }

 private:
  bool CanFocus(Control c) const;
  void MoveFocus(int step);
  void Press(Control c);
  void KeyDown(int vk);
  void MouseDown(int x, int y);
  void MouseMove(int x, int y);
  void MouseUp(int x, int y);
  int PositionAt(int x) const;
  int ThumbCentre(int position) const;

  void DrawText(int x, int y, const std::string& cp932, uint32_t colour, bool mnemonics);
  void DrawLabel(int x, int y, const std::string& cp932, bool enabled, bool mnemonics);
  int TextWidth(const std::string& cp932, bool mnemonics);
  void DrawFocus(const Rect& r);
  void DrawButton(Control c, const std::string& caption);
  void DrawCheckBox();
  void DrawTrackBar();

  std::string writePath_;
  IniFile ini_;  // the file as read: its other keys are written back
  TFontPixelManager* glyphs_;
  PixelBuffer picture_;
  bool directSound_ = true;
  int position_ = 5;
  Control focus_ = Control::kCheckBox;
  bool visible_ = true;
  bool accepted_ = false;
  bool dirty_ = true;
  bool shift_ = false;
  // The control the left button went down on, and whether the pointer is still over it.
  int pressed_ = -1;
  bool over_ = false;
  bool dragging_ = false;
};

// Shows the dialog in the platform's window until it closes. keepGoing is asked after every pass
// with the number of passes run; false ends the loop with the dialog cancelled (a headless run
// whose script is over). An error writing the file is shown in a message box and the dialog stays.
// Returns whether OK wrote the file.
bool RunConfigDialog(Platform& platform, TFormConfig& dialog,
                     const std::function<bool(int64_t framesRun)>& keepGoing);

}  // namespace orin
