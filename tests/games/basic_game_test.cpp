// The test game of tests/games/basic played by orinplay --headless: calls with arguments and
// results, events from a click and a timer interrupting a wait, an uninterruptible wait, a flip
// with a selection, a save made inside a call in one run and loaded in the next, the three kinds
// of PCReset, Terminate, and a damaged save.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "core/text.h"
#include "game_play.h"
#include "resources/file_collection.h"
#include "resources/host_fs.h"
#include "resources/stream.h"

namespace orin {
namespace {

using test::Play;

class BasicGame : public ::testing::Test {
 protected:
  Play Run(const std::string& input, int run, const std::vector<std::string>& extra = {}) {
    return game_.Run(input, run, 300, extra);
  }
  uint32_t Pixel(int run, int x, int y) const { return game_.Screen(run).Pixel(x, y); }

  test::GamePlayer game_{"basic"};
  test::TempDir& dir_ = game_.Dir();
};

constexpr const char* kFirstInput =
    "5 click 5 5\n"    // the red box during the first wait
    "40 click 5 5\n";  // again, during the uninterruptible wait
constexpr const char* kSecondInput =
    "5 click 50 36\n"  // the green box: redirect the main script
    "10 click 50 4\n";  // the white box: back to a page from anywhere

TEST_F(BasicGame, FirstRunCallsWaitsForEventsFlipsAndSaves) {
  const Play p = Run(kFirstInput, 1);
  ASSERT_EQ(p.ExitCode, 0) << p.Err;
  EXPECT_TRUE(p.InOrder({
      "start.osb(10)", "sub.osb(201)", "start.osb(12)",  // the call's result was 22
      "start.osb(22)", "<Event>start.osb(90)", "<Event>events.osb(401)",
      "start.osb(24)",                                    // one click and one tick in the wait
      "start.osb(30)", "<Event>start.osb(90)", "start.osb(31)", "start.osb(33)",
      "start.osb(42)", "start.osb(50)", "save.osb(301)", "save.osb(302)", "start.osb(51)",
      "start.osb(53)",  // Terminate
  }));
  EXPECT_FALSE(p.Has("start.osb(52)"));

  // The click of frame 40 came during the uninterruptible wait and ran only after its 300 ms.
  const int wait = p.Find("start.osb(30)");
  const int event = p.Find("<Event>start.osb(90)", wait);
  ASSERT_GE(event, 0);
  EXPECT_GE(p.Trace[static_cast<size_t>(event)].Clock, p.Trace[static_cast<size_t>(wait)].Clock + 300);
  // (The click reaches the scene in the 41st frame, at 41 × 16 ms, while the wait runs.)
  const uint32_t waitClock = p.Trace[static_cast<size_t>(wait)].Clock;
  EXPECT_LT(waitClock, 16u * 41);
  EXPECT_LT(16u * 41, waitClock + 300);

  // After the flip only "a" (blue) shows; the red and the yellow box were on the old screen.
  EXPECT_EQ(Pixel(1, 40, 10), 0x0000FFu);
  EXPECT_EQ(Pixel(1, 5, 5), 0x000000u);
  EXPECT_EQ(Pixel(1, 5, 30), 0x000000u);

  // The save went to the save folder, not beside the game.
  EXPECT_FALSE(IsHostFile(dir_ / "game/save.dat"));
  HostFileSystem fs;
  TVrFileCollection saves(fs);
  saves.Open(dir_ / "saves/save.dat");
  EXPECT_GE(saves.IndexOf("GAMESAVEDATA1"), 0);
  EXPECT_GE(saves.IndexOf("STATUSSAVEDATA"), 0);
}

TEST_F(BasicGame, SecondRunLoadsTheSaveAndResets) {
  ASSERT_EQ(Run(kFirstInput, 1).ExitCode, 0);
  const Play p = Run(kSecondInput, 2);
  ASSERT_EQ(p.ExitCode, 0) << p.Err;
  EXPECT_TRUE(p.InOrder({
      "start.osb(7)",    // GameLoad
      "save.osb(302)",   // the called page goes on where it was saved
      "start.osb(51)",   // and returns to its caller
      "start.osb(52)", "start.osb(54)",
      "start.osb(56)", "start.osb(58)",  // PCReset without flag in the main script: a jump
      "start.osb(60)",
      "<Event>start.osb(93)", "start.osb(94)", "start.osb(95)",  // the handler goes on
      "start.osb(62)",                                            // then the main script is redirected
      "<Event>start.osb(97)", "start.osb(98)", "start.osb(70)", "start.osb(71)",
  }));
  for (const char* skipped : {"start.osb(10)", "start.osb(57)", "start.osb(61)", "start.osb(99)"})
    EXPECT_FALSE(p.Has(skipped)) << skipped;

  EXPECT_EQ(Pixel(2, 40, 10), 0x0000FFu);  // "a", restored from the slot
  EXPECT_EQ(Pixel(2, 5, 30), 0xFF00FFu);   // made after the load
  EXPECT_EQ(Pixel(2, 50, 36), 0x00FF00u);
  EXPECT_EQ(Pixel(2, 50, 4), 0xFFFFFFu);
}

TEST_F(BasicGame, DamagedSaveEndsTheGameWithTheMessage) {
  std::filesystem::create_directories(dir_ / "saves");
  {
    HostFileSystem fs;
    TVrFileCollection saves(fs);
    saves.Open("");
    MemoryStream& slot = *saves.AddMemoryEntry("GAMESAVEDATA1").Content;
    WriteInt32(slot, 106);
    WriteString(slot, "old");
    TTpBigFileStream out(dir_ / "saves/save.dat", TTpBigFileStream::kCreate);
    saves.Save(out);
  }
  const Play p = Run("", 3, {"--answer", "ok"});
  EXPECT_EQ(p.ExitCode, 0) << p.Err;
  EXPECT_NE(p.Err.find("このセーブデータは使用できません\r\n終了してください -> ok"), std::string::npos) << p.Err;
  EXPECT_TRUE(p.Has("start.osb(7)"));
  EXPECT_FALSE(p.Has("save.osb(302)"));
}

}  // namespace
}  // namespace orin
