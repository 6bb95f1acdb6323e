// The test game of tests/games/entry played by orinplay --headless with typed text: a click
// focuses the edit field, "太" is typed, the input method composes "ろう" in place and commits
// "郎", an emoji is refused (the field's red frame), "X" is typed and taken back with Backspace;
// the script sees "太郎" and greets. Every user change ran the change handler.
#include <gtest/gtest.h>

#include <string>

#include "core/text.h"
#include "game_play.h"

namespace orin {
namespace {

using test::Play;
using test::Shot;

bool Ink(uint32_t c) { return (c & 0xFF) < 0x80 && (c >> 8 & 0xFF) < 0x80 && (c >> 16 & 0xFF) < 0x80; }
bool Red(uint32_t c) { return c == 0xFF0000; }
bool Yellow(uint32_t c) { return (c >> 16 & 0xFF) > 0xC0 && (c >> 8 & 0xFF) > 0xC0 && (c & 0xFF) < 0x40; }

constexpr const char* kInput =
    "5 click 20 48\n"
    "10 text 太\n"
    "12 compose ろう\n"
    "14 text 郎\n"
    "16 text \xF0\x9F\x98\x80\n"
    "18 text X\n"
    "20 key 8\n"
    "21 keyup 8\n";

class EntryGame : public ::testing::Test {
 protected:
  Shot At(int frame) { return Shot(game_.Dir() / Format("shots/frame-%06d.png", frame)); }
  test::GamePlayer game_{"entry"};
};

TEST_F(EntryGame, TypedComposedRefusedAndCorrectedNameReachesTheScript) {
  const Play p = game_.Run(kInput, 1, 120, {"--screenshot-every", "1", game_.Dir() / "shots"});
  ASSERT_EQ(p.ExitCode, 0) << p.Err;
  // 太, 郎, X and Backspace: four changes, each through the handler; the emoji changed nothing.
  EXPECT_EQ(p.Count("<Event>start.osb(20)"), 4);
  EXPECT_TRUE(p.InOrder({"start.osb(10)", "<Event>start.osb(20)", "start.osb(11)", "start.osb(12)"}));

  // Frame 11: one character inked; frame 13: the composition beside it, two more characters.
  const int typed = At(11).CountIn(12, 41, 136, 14, Ink);
  const int composing = At(13).CountIn(12, 41, 136, 14, Ink);
  EXPECT_GT(typed, 10);
  EXPECT_GT(composing, typed + 10);
  // Frame 17: the refused emoji lights the field's frame red; by the end it is gone.
  EXPECT_GT(At(17).CountIn(10, 40, 140, 1, Red), 100);
  const Shot end = game_.Screen(1);
  EXPECT_EQ(end.CountIn(10, 40, 140, 1, Red), 0);
  // The greeting in yellow below the field, as wide as "ようこそ 太郎" (more than six cells).
  EXPECT_GT(end.CountIn(10, 80, 150, 16, Yellow), 20);
  EXPECT_GT(end.CountIn(70, 80, 80, 16, Yellow), 5);
}

}  // namespace
}  // namespace orin
