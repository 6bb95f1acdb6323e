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
//
// FRAME is the number of frames that have run when the event arrives: 0 is before the first
// frame. Coordinates are panel pixels and may be negative. Words are separated by blanks; "#"
// starts a comment; blank lines are skipped. Events of the same frame keep their order; the
// lines need not be sorted.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "shell/platform.h"

namespace orin {

struct ScriptedInput {
  int64_t Frame = 0;
  InputEvent Event;
};

// Sorted by frame. Throws Error "NAME:LINE: reason" (UTF-8 name converted to cp932) for the first
// malformed line.
std::vector<ScriptedInput> ParseInputScript(std::string_view text, const std::string& name);
// Reads and parses a file; Error when it cannot be read.
std::vector<ScriptedInput> LoadInputScript(const std::string& hostPath);

}  // namespace orin
