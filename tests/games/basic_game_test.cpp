// The test game of tests/games/basic played by orinplay --headless: calls with arguments and
// results, events from a click and a timer interrupting a wait, an uninterruptible wait, a flip
// with a selection, a save made inside a call in one run and loaded in the next, the three kinds
// of PCReset, Terminate, and a damaged save.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "app/run_program.h"
#include "core/cp932.h"
#include "core/text.h"
#include "imaging/image_codecs.h"
#include "resources/file_collection.h"
#include "resources/host_fs.h"
#include "resources/stream.h"
#include "support/test_support.h"

namespace orin {
namespace {

struct TraceLine {
  uint32_t Clock;
  std::string Text;
};

struct Play {
  int ExitCode = -1;
  std::vector<TraceLine> Trace;
  std::string Err;

  // Index of the first line with this text at or after from; -1 when none.
  int Find(const std::string& text, int from = 0) const {
    for (int i = from; i < static_cast<int>(Trace.size()); ++i)
      if (Trace[static_cast<size_t>(i)].Text == text) return i;
    return -1;
  }
  bool Has(const std::string& text) const { return Find(text) >= 0; }
  // True when the texts appear in this order (not necessarily next to each other).
  ::testing::AssertionResult InOrder(const std::vector<std::string>& texts) const {
    int at = 0;
    for (const std::string& t : texts) {
      const int found = Find(t, at);
      if (found < 0) return ::testing::AssertionFailure() << t << " missing after line " << at;
      at = found + 1;
    }
    return ::testing::AssertionSuccess();
  }
};

class BasicGame : public ::testing::Test {
 protected:
  void SetUp() override {
    // A copy of its own: the player allows one instance per game folder.
    std::filesystem::create_directories(dir_ / "game");
    std::filesystem::copy_file(std::string(BASIC_GAME_DIR) + "/game.dat", dir_ / "game/game.dat");
  }

  Play Run(const std::string& input, int run, const std::vector<std::string>& extra = {}) {
    const std::string inputFile = dir_.Write(Format("input%d.txt", run), input);
    std::vector<std::string> args{"--headless", "--frames",  "300",        "--trace",
                                  "--input",    inputFile,   "--save-dir", dir_ / "saves",
                                  "--screenshot", Shot(run)};
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back(dir_ / "game");
    const test::ProgramResult r = test::RunProgram(ORINPLAY_PATH, args);
    Play play;
    play.ExitCode = r.exitCode;
    play.Err = r.err;
    size_t start = 0;
    while (start < r.out.size()) {
      size_t end = r.out.find('\n', start);
      if (end == std::string::npos) end = r.out.size();
      const std::string line = r.out.substr(start, end - start);
      start = end + 1;
      if (line.size() < 11 || line.compare(8, 3, " : ") != 0) continue;
      play.Trace.push_back({static_cast<uint32_t>(std::stoul(line.substr(0, 8), nullptr, 16)), line.substr(11)});
    }
    return play;
  }

  std::string Shot(int run) const { return dir_ / Format("end%d.png", run); }

  // The colour 0xRRGGBB of a screenshot's pixel.
  uint32_t Pixel(int run, int x, int y) const {
    const std::string bytes = test::ReadHostFile(Shot(run));
    DecodedPicture picture = DecodePng(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    const Rgb c = picture.Surface.PixelToRGB(picture.Surface.GetPixel(x, y), false);
    return static_cast<uint32_t>(c.Red) << 16 | static_cast<uint32_t>(c.Green) << 8 | c.Blue;
  }

  test::TempDir dir_;
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
