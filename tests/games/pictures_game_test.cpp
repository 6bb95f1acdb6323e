// The test game of tests/games/pictures played by orinplay --headless.
#include <gtest/gtest.h>

#include "game_play.h"

namespace orin {
namespace {
}  // namespace
}  // namespace orin
