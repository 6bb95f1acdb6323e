// The bundled demo game (games/demo) played by orinplay --headless: both branches of its story
// from the title to the ending and back, a save in the middle loaded again from the title in a
// later run, the history, the settings, and the bad inputs a player's machine may bring (a cut
// save.dat, a read-only game folder, no SoundFont). Checked by the trace and by a few probe
// pixels and colour counts of screenshots at chosen frames, never by whole-image hashes, so a
// change of font or of the pictures' details does not break them.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "games/game_play.h"

namespace orin::test {
namespace {

// Screen places of the demo's controls (games/demo/*.txt).
constexpr int kMesX = 640, kMesY = 600;          // the message window
constexpr int kStartX = 640, kStartY = 383;      // title: はじめから
constexpr int kContinueX = 640, kContinueY = 459;  // title: つづきから
constexpr int kNameOkX = 1000, kNameOkY = 374;   // name entry: 決定
constexpr int kQuickSaveX = 852, kQuickConfigX = 1072, kQuickY = 475;
constexpr int kSlot3X = 366, kSlot3Y = 350;
constexpr int kBackX = 1100, kBackY = 630;       // もどる of the panels
constexpr int kRiverX = 530, kRiverY = 240;      // the choice menu's first item
constexpr int kTownX = 560, kTownY = 300;        // and its second

bool Amber(uint32_t c) {
  const int r = c >> 16, g = (c >> 8) & 0xFF, b = c & 0xFF;
  return r > 200 && g > 130 && g < 215 && b < 150;
}
bool Cream(uint32_t c) {
  const int r = c >> 16, g = (c >> 8) & 0xFF, b = c & 0xFF;
  return r > 225 && g > 215 && b > 185;
}
bool NearWhite(uint32_t c) {
  const int r = c >> 16, g = (c >> 8) & 0xFF, b = c & 0xFF;
  return r > 215 && g > 215 && b > 225;
}
bool DarkIndigo(uint32_t c) {
  const int r = c >> 16, g = (c >> 8) & 0xFF, b = c & 0xFF;
  return r < 70 && g < 70 && b < 110 && b >= r;
}

// Input lines "FRAME EVENT ..." in any order; every run skips the opening movie at once.
struct Input {
  std::string Text = "5 click 640 360\n";
  Input& Click(int frame, int x, int y) {
    Text += Format("%d click %d %d\n", frame, x, y);
    return *this;
  }
  Input& Line(const std::string& line) {
    Text += line + "\n";
    return *this;
  }
  // A click on the message window every 45 frames from first to last, and one on place (x, y)
  // 20 frames after each: the menu item or map place is clicked as soon as it is there.
  Input& ClickThrough(int first, int last, int x = -1, int y = -1) {
    for (int f = first; f <= last; f += 45) {
      Click(f, kMesX, kMesY);
      if (x >= 0) Click(f + 20, x, y);
    }
    return *this;
  }
};

// From the title into the story, through the name entry and three pages; then a save into
// slot 3, the history on the wheel, and the text speed turned up in the settings.
Input StartSaveHistorySettings() {
  Input in;
  in.Click(200, kStartX, kStartY).Click(380, kNameOkX, kNameOkY);
  in.Click(520, kMesX, kMesY).Click(565, kMesX, kMesY).Click(610, kMesX, kMesY);
  in.Click(660, kQuickSaveX, kQuickY).Click(720, kSlot3X, kSlot3Y);
  in.Line(Format("799 move %d %d", kMesX, kMesY)).Line("800 wheel up").Click(860, 640, 300);
  in.Click(900, kQuickConfigX, kQuickY).Click(960, 900, 372).Click(1000, kBackX, kBackY);
  return in;
}

// The screenshots of a run made with --screenshot-every step.
class Shots {
 public:
  explicit Shots(std::string dir, int step = 10) : dir_(std::move(dir)), step_(step) {}
  Shot At(int frame) const { return Shot(dir_ + Format("/frame-%06d.png", frame)); }
  // The first shot at least `after` frames past the trace line's clock.
  Shot After(const Play& play, const std::string& line, int after) const {
    const int i = play.Find(line);
    EXPECT_GE(i, 0) << line;
    const int frame = (i < 0 ? 0 : static_cast<int>(play.Trace[static_cast<size_t>(i)].Clock / 16)) + after;
    return At((frame + step_ - 1) / step_ * step_);
  }

 private:
  std::string dir_;
  int step_;
};

std::vector<std::string> EveryTenth(const std::string& dir) { return {"--screenshot-every", "10", dir}; }

// The loudness (root mean square of the samples, both channels) of an --audio-out recording
// over ms milliseconds from a point of the run's clock.
double Loudness(const std::string& wav, uint32_t fromMs, uint32_t ms) {
  const size_t data = wav.find("data");
  if (data == std::string::npos) return -1;
  const size_t first = data + 8 + static_cast<size_t>(fromMs) * 441 / 10 * 4;
  const size_t last = std::min(wav.size(), first + static_cast<size_t>(ms) * 441 / 10 * 4);
  double sum = 0;
  size_t n = 0;
  for (size_t at = first; at + 1 < last; at += 2, ++n) {
    const auto v = static_cast<int16_t>(static_cast<uint8_t>(wav[at]) | static_cast<uint8_t>(wav[at + 1]) << 8);
    sum += static_cast<double>(v) * v;
  }
  return n ? std::sqrt(sum / static_cast<double>(n)) : 0;
}

uint32_t ClockOf(const Play& play, const std::string& line) {
  const int i = play.Find(line);
  EXPECT_GE(i, 0) << line;
  return i < 0 ? 0 : play.Trace[static_cast<size_t>(i)].Clock;
}

TEST(DemoGame, RiverWayWithSaveHistoryAndSettingsThenLoadedFromTheTitle) {
  GamePlayer game("demo");
  const std::string dir = game.Dir() / "shots1";
  Input in = StartSaveHistorySettings();
  in.ClickThrough(1060, 3800, kRiverX, kRiverY);
  // Every 30th frame only: this run is long.
  std::vector<std::string> extra{"--screenshot-every", "30", dir};
  const std::string audio = game.Dir() / "run1.wav";
  extra.insert(extra.end(), {"--audio-out", audio});
  const Play run = game.Run(in.Text, 1, 3900, extra);
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_TRUE(run.InOrder({"start.osb(31)",     // the title waits for a button
                           "story.osb(16)",     // the name entry
                           "story.osb(108)",    // the first page of the park
                           "saveload.osb(19)",  // the save into slot 3
                           "history.osb(9)",    // the history shows
                           "config.osb(49)",    // the text speed changes
                           "story.osb(135)",    // the choice menu
                           "story.osb(200)",    // the river
                           "story.osb(402)",    // the hill
                           "story.osb(413)",    // the voice line
                           "ending.osb(12)",    // the ending is remembered
                           "ending.osb(22)",    // back to the title
                           "start.osb(31)"}));
  EXPECT_FALSE(run.Has("story.osb(300)"));  // the town is the other way

  // Music all along: the title waltz, the park's MIDI theme, the river's Ogg track, the ending.
  const std::string wav = ReadHostFile(audio);
  for (const char* at : {"start.osb(31)", "story.osb(108)", "story.osb(206)", "ending.osb(11)"})
    EXPECT_GT(Loudness(wav, ClockOf(run, at) + 500, 2000), 100.0) << at;

  const Shots shots(dir, 30);
  {
    const Shot title = shots.At(180);
    EXPECT_TRUE(DarkIndigo(title.Pixel(510, 370))) << std::hex << title.Pixel(510, 370);  // a button's face
    EXPECT_GT(title.CountIn(350, 120, 580, 100, [](uint32_t c) { return Amber(c) || Cream(c); }), 2000);
  }
  {
    // The park with the message window: dark glass below, cream text on it, Yuki above.
    const Shot scene = shots.At(660);
    EXPECT_GT(scene.CountIn(60, 640, 1160, 50, DarkIndigo), 1160 * 50 * 7 / 10);
    EXPECT_GT(scene.CountIn(84, 528, 1112, 50, Cream), 300);
    // Coloured words of the markup: a teal coat and a pink scarf.
    EXPECT_GT(scene.CountIn(300, 528, 220, 40, [](uint32_t c) { return (c >> 16) < 110 && ((c >> 8) & 0xFF) > 140; }),
              150);
    EXPECT_GT(scene.CountIn(550, 528, 260, 40, [](uint32_t c) {
      return (c >> 16) > 220 && ((c >> 8) & 0xFF) < 170 && (c & 0xFF) > 130;
    }), 150);
  }
  {
    const Shot save = shots.At(690);
    EXPECT_GT(save.CountIn(56, 200, 10, 300, Amber), 300);  // the panel's edge
    EXPECT_GT(save.CountIn(118, 150, 300, 30, Cream), 200);                        // "No.01 ..."
  }
  {
    const Shot history = shots.At(840);
    EXPECT_GT(history.CountIn(160, 150, 960, 220, Cream), 1500);
  }
  {
    // The text speed slider's thumb sits where it was clicked.
    const Shot settings = shots.At(990);
    auto thumb = [](uint32_t c) { return (c >> 16) > 240 && ((c >> 8) & 0xFF) > 200 && (c & 0xFF) > 140; };
    EXPECT_GT(settings.CountIn(885, 360, 30, 28, thumb), 100);
    EXPECT_EQ(settings.CountIn(660, 360, 40, 28, thumb), 0);
  }
  {
    // The ending: snow in the sky, the credits in the picture font.
    const Shot ending = shots.After(run, "ending.osb(10)", 300);
    EXPECT_GT(ending.CountIn(0, 0, 1280, 300, NearWhite), 100);
    EXPECT_GT(ending.CountIn(0, 0, 1280, 720, Amber), 500);
  }
  // The title again, now saying the game was finished once.
  EXPECT_GT(game.Screen(1).CountIn(1000, 688, 260, 24, Amber), 30);

  // A later run: the same words in the title, and the save of slot 3 loads from it.
  Input again;
  again.Click(220, kContinueX, kContinueY).Click(280, kSlot3X, kSlot3Y).Click(400, kMesX, kMesY);
  const std::string dir2 = game.Dir() / "shots2";
  const Play load = game.Run(again.Text, 2, 460, EveryTenth(dir2));
  ASSERT_EQ(load.ExitCode, 0) << load.Err;
  EXPECT_TRUE(load.InOrder({"start.osb(35)", "saveload.osb(22)", "saveload.osb(60)", "saveload.osb(30)"}));
  const Shots shots2(dir2);
  EXPECT_GT(shots2.At(190).CountIn(1000, 688, 260, 24, Amber), 30);
  {
    // Slot 3 shows its caption (chapter, date and time), slot 4 says it is free.
    const Shot list = shots2.At(270);
    EXPECT_GT(list.CountIn(420, 338, 200, 28, Cream), 100);
    EXPECT_EQ(list.CountIn(420, 430, 200, 28, Cream), 0);
  }
  // The page after the loaded one was read in the first run: the read mark shows.
  EXPECT_GT(shots2.At(440).CountIn(1160, 668, 40, 22, Amber), 10);
  EXPECT_EQ(shots.At(570).CountIn(1160, 668, 40, 22, Amber), 0);
}

TEST(DemoGame, OpeningMoviePlaysOnceARunThenTheTitle) {
  GamePlayer game("demo");
  const std::string dir = game.Dir() / "shots";
  const Play run = game.Run("", 1, 300, EveryTenth(dir));
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  // The movie runs to its end (its finished label), then the title fades in.
  EXPECT_TRUE(run.InOrder({"start.osb(83)", "start.osb(84)", "start.osb(86)", "start.osb(85)", "start.osb(14)"}));
  {
    // Mid-movie: a warm light in the middle of a night sky, drawn at twice the movie's size.
    const Shots shots(dir);
    const Shot movie = shots.At(60);
    const uint32_t middle = movie.Pixel(640, 418), sky = movie.Pixel(640, 20);
    EXPECT_GT(middle >> 16, 120u) << std::hex << middle;
    EXPECT_GT(middle >> 16, middle & 0xFF) << std::hex << middle;
    EXPECT_LT(sky >> 16, 60u) << std::hex << sky;
    EXPECT_GT(sky & 0xFF, sky >> 16) << std::hex << sky;
  }
  // The next run shows it again (the exit page forgets it), and a click skips it.
  const Play again = game.Run("5 click 640 360\n", 2, 40);
  EXPECT_TRUE(again.InOrder({"start.osb(83)", "start.osb(85)", "start.osb(14)"}));
  EXPECT_FALSE(again.Has("start.osb(86)"));
}

TEST(DemoGame, TownWayThroughTheMap) {
  GamePlayer game("demo");
  const std::string dir = game.Dir() / "shots";
  Input in;
  // The name: into the field, to its end, three backspaces for the default name, a new one.
  in.Click(200, kStartX, kStartY).Click(345, 400, 374).Line("348 key 0x23");
  for (int f : {350, 352, 354}) in.Line(Format("%d key 8", f)).Line(Format("%d keyup 8", f + 1));
  in.Line("360 text ユウ").Click(380, kNameOkX, kNameOkY).ClickThrough(520, 880);
  in.Click(940, kTownX, kTownY);
  in.Line("1030 move 270 400").Click(1100, 270, 400).Click(1160, kMesX, kMesY).Click(1230, 970, 300);
  in.ClickThrough(1300, 2000);
  const Play run = game.Run(in.Text, 1, 2000, EveryTenth(dir));
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_TRUE(run.InOrder({"story.osb(135)", "story.osb(300)", "story.osb(312)", "story.osb(319)",
                           "story.osb(402)"}));
  EXPECT_FALSE(run.Has("story.osb(200)"));
  const Shots shots(dir);
  {
    // The player's own line: the name plate holds the typed name of two characters, not the
    // default's three.
    const Shot plate = shots.After(run, "story.osb(121)", 30);
    auto ink = [](uint32_t c) { return (c >> 16) < 120 && (c & 0xFF) < 140; };
    EXPECT_GT(plate.CountIn(88, 482, 52, 30, ink), 40);
    EXPECT_EQ(plate.CountIn(142, 482, 30, 30, ink), 0);
  }
  {
    // The choice menu is open over the park and the text stays below it.
    const Shot menu = shots.At(930);
    EXPECT_GT(menu.CountIn(450, 200, 230, 140, DarkIndigo), 10000);
    EXPECT_GT(menu.CountIn(450, 200, 230, 140, Cream), 300);
    EXPECT_GT(menu.CountIn(84, 528, 1112, 50, Cream), 300);
  }
  {
    // The library under the pointer lights up; the clock tower does not.
    const Shot map = shots.At(1080);
    EXPECT_TRUE(Cream(map.Pixel(185, 330))) << std::hex << map.Pixel(185, 330);
    EXPECT_FALSE(Cream(map.Pixel(970, 420))) << std::hex << map.Pixel(970, 420);
  }
}

// setenv for one test.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old, had_ = true;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (had_) setenv(name_, old_.c_str(), 1);
    else unsetenv(name_);
  }

 private:
  const char* name_;
  std::string old_;
  bool had_ = false;
};

TEST(DemoGame, SaveDatCutInHalfStartsOffersNoSlotsAndIsNotWrittenOver) {
  GamePlayer game("demo");
  Input save;
  save.Click(200, kStartX, kStartY).Click(380, kNameOkX, kNameOkY);
  save.Click(520, kMesX, kMesY).Click(660, kQuickSaveX, kQuickY).Click(720, kSlot3X, kSlot3Y);
  ASSERT_EQ(game.Run(save.Text, 1, 760).ExitCode, 0);
  const std::string path = game.Dir() / "saves/save.dat";
  const std::string whole = ReadHostFile(path);
  const std::string half = whole.substr(0, whole.size() / 2);
  WriteHostFile(path, half);

  // The title comes; the load screen has no slot to offer; a save says why it cannot be made.
  Input again;
  again.Click(220, kContinueX, kContinueY).Click(280, kSlot3X, kSlot3Y).Click(330, kBackX, kBackY);
  again.Click(400, kStartX, kStartY).Click(580, kNameOkX, kNameOkY).Click(720, kMesX, kMesY);
  again.Click(860, kQuickSaveX, kQuickY).Click(920, kSlot3X, kSlot3Y);
  const Play run = game.Run(again.Text, 2, 980);
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_TRUE(run.InOrder({"start.osb(31)", "saveload.osb(15)", "saveload.osb(30)", "story.osb(16)",
                           "saveload.osb(19)"}));
  EXPECT_FALSE(run.Has("saveload.osb(22)"));  // nothing to load
  EXPECT_NE(run.Err.find("セーブデータが壊れているため保存できません"), std::string::npos) << run.Err;
  EXPECT_EQ(ReadHostFile(path), half);
}

TEST(DemoGame, PlaysWithoutASoundFont) {
  ScopedEnv soundFont("ORIN_SOUNDFONT", "/nonexistent/none.sf2");
  GamePlayer game("demo");
  Input in;
  in.Click(200, kStartX, kStartY).Click(380, kNameOkX, kNameOkY).ClickThrough(520, 700);
  const std::string audio = game.Dir() / "run1.wav";
  const Play run = game.Run(in.Text, 1, 700, {"--audio-out", audio});
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_TRUE(run.InOrder({"start.osb(31)", "story.osb(16)", "story.osb(108)", "story.osb(114)"}));
  // The title's MIDI waltz is silent (the click on a button comes later).
  EXPECT_LT(Loudness(ReadHostFile(audio), ClockOf(run, "start.osb(31)") + 200, 1000), 5.0);
}

TEST(DemoGame, ReadOnlyFolderSavesIntoTheDataFolder) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  TempDir dir;
  const std::string gameDir = dir / "demo";
  std::filesystem::create_directories(gameDir);
  std::filesystem::copy_file(std::string(GAMES_DIR) + "/demo/game.dat", gameDir + "/game.dat");
  chmod(gameDir.c_str(), 0555);
  ScopedEnv data("XDG_DATA_HOME", dir / "data");
  Input in;
  in.Click(200, kStartX, kStartY).Click(380, kNameOkX, kNameOkY);
  in.Click(520, kMesX, kMesY).Click(660, kQuickSaveX, kQuickY).Click(720, kSlot3X, kSlot3Y);
  const std::string inputFile = dir.Write("input.txt", in.Text);
  const ProgramResult r =
      RunProgram(ORINPLAY_PATH, {"--headless", "--frames", "760", "--input", inputFile, gameDir});
  chmod(gameDir.c_str(), 0755);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_FALSE(std::filesystem::exists(gameDir + "/save.dat"));
  bool found = false;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir / "data/orinplay"))
    found = found || entry.path().filename() == "save.dat";
  EXPECT_TRUE(found);
}

}  // namespace
}  // namespace orin::test
