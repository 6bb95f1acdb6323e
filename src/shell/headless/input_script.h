// The input script of a headless run: one event per line, timed by frame number.
//
//   FRAME click X Y      left button pressed and released at X,Y (the pointer moves there first)
//   FRAME rclick X Y     the same with the right button
//   FRAME down X Y       left button pressed at X,Y (after a move there)
//   FRAME up X Y         left button released at X,Y (after a move there)
//   FRAME move X Y       the pointer moves to X,Y
//   FRAME wheel up|down  one wheel step
//   FRAME key VK         key down (VK: a Windows virtual-key number, decimal or 0x hexadecimal)
//   FRAME keyup VK       key up
//   FRAME text TEXT      TEXT typed (through the input method when one is on)
//   FRAME compose TEXT   the input method shows TEXT as its composition, cursor at its end;
//                        "compose" alone ends the composition
//   FRAME clip TEXT      the clipboard holds TEXT from now on
//
// TEXT is the rest of the line after one blank, UTF-8, taken as it is ("#" included), with the
// escapes \n (line break), \t (tab), \\ (backslash) and \xHH (any byte, to write invalid text).
//
// FRAME is the number of frames that have run when the event arrives: 0 is before the first
// frame. Coordinates are panel pixels and may be negative. Words are separated by blanks; "#"
// starts a comment; blank lines are skipped. Events of the same frame keep their order; the
// lines need not be sorted.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "shell/platform.h"

namespace orin {

struct ScriptedInput {
  int64_t Frame = 0;
  InputEvent Event;
  // Set: the line puts this text (UTF-8) on the clipboard instead of delivering Event.
  std::optional<std::string> Clipboard = std::nullopt;
};

// Sorted by frame. Throws Error "NAME:LINE: reason" (UTF-8 name converted to cp932) for the first
// malformed line.
std::vector<ScriptedInput> ParseInputScript(std::string_view text, const std::string& name);
// Reads and parses a file; Error when it cannot be read.
std::vector<ScriptedInput> LoadInputScript(const std::string& hostPath);

}  // namespace orin
