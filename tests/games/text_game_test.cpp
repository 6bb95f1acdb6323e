// The test game of tests/games/text played by orinplay --headless: a message window reveals three
// pages of Japanese text (ruby, a red word, a link, a slow part, an EVENT mark), clicks advance the
// pages and click the link, the waiting text command goes on once the window is cleared, and the
// history shows every page in a second window; a second run finds the pages read; a game saved in
// the middle of a page and loaded in the next run goes on revealing where it was.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "game_play.h"
#include "resources/host_fs.h"

namespace orin {
namespace {

using test::Play;
using test::Shot;

bool White(uint32_t c) { return (c >> 16 & 0xFF) > 160 && (c >> 8 & 0xFF) > 160 && (c & 0xFF) > 160; }
bool Red(uint32_t c) { return (c >> 16 & 0xFF) > 160 && (c >> 8 & 0xFF) < 90 && (c & 0xFF) < 90; }
bool Blue(uint32_t c) { return (c >> 16 & 0xFF) < 90 && (c >> 8 & 0xFF) < 90 && (c & 0xFF) > 160; }
bool Lit(uint32_t c) { return c != 0; }

// Frame 100: page 1 is complete and clicked on; 202: the link (the pointer moved onto it first);
// 210: page 3; 300: page 3 is complete, the click clears the window; 330: the end.
constexpr const char* kReadInput =
    "100 click 100 100\n"
    "200 move 190 12\n"
    "202 click 190 12\n"
    "210 click 100 100\n"
    "300 click 100 100\n"
    "330 click 160 200\n";

class TextGame : public ::testing::Test {
 protected:
  test::GamePlayer game_{"text"};
};

TEST_F(TextGame, PagesRevealAdvanceAndGoToTheHistory) {
  const std::string shots = game_.Dir() / "shots";
  const Play p = game_.Run(kReadInput, 1, 400, {"--screenshot-every", "100", shots});
  ASSERT_EQ(p.ExitCode, 0) << p.Err;
  EXPECT_TRUE(p.InOrder({
      "start.osb(10)",                                   // TextIns
      "<Event>start.osb(100)", "<Event>start.osb(110)",  // page 1 starts and completes
      "<Event>start.osb(90)", "start.osb(92)",           // the click shows page 2
      "<Event>start.osb(100)", "<Event>start.osb(110)",
      "<Event>start.osb(120)", "start.osb(122)",         // the link, with its text and target
      "<Event>start.osb(90)", "<Event>start.osb(100)",   // page 3
      "<Event>start.osb(130)", "start.osb(132)",         // its EVENT mark, with its one line
      "<Event>start.osb(110)",
      "<Event>start.osb(90)", "start.osb(94)",           // the last click clears the window
      "start.osb(11)",                                   // and only then the text command ends
      "start.osb(21)",                                   // every page started unread
      "start.osb(25)",                                   // one link click, one EVENT, three pages
      "start.osb(26)",
  }));
  EXPECT_LT(p.Find("start.osb(94)"), p.Find("start.osb(11)"));
  // The link click is no ordinary click: three clicks reach the window's left-up label.
  EXPECT_EQ(p.Count("<Event>start.osb(90)"), 3);

  // Page 1, complete: ruby over 猫 (the fourth cell) and nothing over 吾輩, the red 名前 (cells 9
  // and 10) and nothing red elsewhere, the second row.
  const Shot page1(shots + "/frame-000100.png");
  EXPECT_GT(page1.CountIn(72, 0, 24, 8, White), 5);
  EXPECT_EQ(page1.CountIn(0, 0, 48, 8, Lit), 0);
  EXPECT_GT(page1.CountIn(192, 8, 48, 32, Red), 30);
  EXPECT_EQ(page1.CountIn(0, 0, 190, 120, Red), 0);
  EXPECT_EQ(page1.CountIn(242, 0, 78, 120, Red), 0);
  EXPECT_GT(page1.CountIn(0, 36, 48, 28, White), 20);
  EXPECT_EQ(page1.CountIn(0, 120, 320, 100, Lit), 0) << "no history shown yet";

  // The end: the message window is empty; the history window below shows the text of all three
  // pages, with its red word and its link in the link colour.
  const Shot end = game_.Screen(1);
  EXPECT_EQ(end.CountIn(0, 0, 320, 120, Lit), 0);
  EXPECT_GT(end.CountIn(0, 120, 300, 120, White), 300);
  EXPECT_GT(end.CountIn(0, 120, 300, 120, Red), 10);
  EXPECT_GT(end.CountIn(0, 120, 300, 120, Blue), 10);
}

TEST_F(TextGame, ASecondRunFindsThePagesRead) {
  ASSERT_EQ(game_.Run(kReadInput, 1, 400).ExitCode, 0);
  const Play p = game_.Run(kReadInput, 2, 400);
  ASSERT_EQ(p.ExitCode, 0) << p.Err;
  EXPECT_TRUE(p.InOrder({"start.osb(11)", "start.osb(23)", "start.osb(26)"}));
  EXPECT_FALSE(p.Has("start.osb(21)"));
}

TEST_F(TextGame, ASaveInTheMiddleOfAPageGoesOnFromThere) {
  // Page 2 starts at frame 100 and is still revealing when the box saves at frame 110.
  const Play a = game_.Run("100 click 100 100\n110 click 310 230\n", 1, 112);
  ASSERT_EQ(a.ExitCode, 0) << a.Err;
  ASSERT_TRUE(a.InOrder({"<Event>start.osb(140)", "start.osb(141)"}));

  const std::string shots = game_.Dir() / "shots";
  const Play b =
      game_.Run("60 click 100 100\n160 click 100 100\n200 click 160 200\n", 2, 400, {"--screenshot-every", "2", shots});
  ASSERT_EQ(b.ExitCode, 0) << b.Err;
  EXPECT_TRUE(b.InOrder({
      "start.osb(31)",  // GameLoad
      "start.osb(10)",  // back in the waiting text command
      "<Event>start.osb(110)",                          // page 2 completes, not started again
      "<Event>start.osb(90)", "<Event>start.osb(100)",  // page 3
      "<Event>start.osb(110)", "<Event>start.osb(90)", "start.osb(94)", "start.osb(11)",
      "start.osb(21)",  // pages 1 and 2 started before the save, page 3 after: all unread
      "start.osb(26)",
  }));
  EXPECT_LT(b.Find("<Event>start.osb(110)"), b.Find("<Event>start.osb(100)"));

  // Right after the load the characters revealed before the save are there at once.
  const Shot loaded(shots + "/frame-000002.png");
  EXPECT_GT(loaded.CountIn(0, 0, 48, 40, White), 40);
  // The history holds page 1 from before the save (its red word) and pages 2 and 3.
  const Shot end = game_.Screen(2);
  EXPECT_GT(end.CountIn(0, 120, 300, 120, Red), 10);
  EXPECT_GT(end.CountIn(0, 120, 300, 120, Blue), 10);
}

// The same game in a window: SDL2 on a virtual X server, in real time (the project paces its
// frames at 16 ms), so the window's own paths — creation, the dock, presenting — run too.
TEST_F(TextGame, PlaysInAWindowOnAVirtualDisplay) {
  const char* xvfbRun = "/usr/bin/xvfb-run";
  if (!IsHostFile(xvfbRun)) GTEST_SKIP() << "xvfb-run is not installed (scripts/setup.sh installs it)";
  unsetenv("ORIN_PLATFORM");
  // The display's own libraries (D-Bus, GL drivers loaded and unloaded at run time) keep memory
  // to the end, which a sanitizer build would report as leaks of ours; the headless runs check
  // the player's leaks.
  const char* asan = std::getenv("ASAN_OPTIONS");
  setenv("ASAN_OPTIONS", (std::string(asan ? asan : "") + ":detect_leaks=0").c_str(), 1);
  const std::string shot = game_.Dir() / "window.png";
  const test::ProgramResult r = test::RunProgram(
      xvfbRun, {"-a", ORINPLAY_PATH, "--frames", "150", "--save-dir", game_.Dir() / "saves", "--screenshot", shot,
                game_.Dir() / "game"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  // About 2.4 s in, page 1 is on the screen.
  EXPECT_GT(Shot(shot).CountIn(0, 0, 320, 120, White), 100);
}

}  // namespace
}  // namespace orin
