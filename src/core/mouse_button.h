// MouseButton: the two pointer buttons a game knows. The scene routes them and the platforms
// report them; the others (middle, side buttons) never reach a game.
#pragma once

#include <cstdint>

namespace orin {

enum class MouseButton : uint8_t { kLeft, kRight };

}  // namespace orin
