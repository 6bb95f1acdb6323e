// orinplay playing MIDI music headless: the recording of --audio-out holds the synthesized music
// from the note's time on, and without a SoundFont the game runs on silently with one log line.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "app/run_program.h"
#include "media/midi_fixtures.h"
#include "support/test_support.h"

namespace orin {
namespace {

using test::RunOrintool;

// A game whose start page makes a sound object playing tune.mid (a note at 500 ms), then waits.
std::string MakeMidiGame(const test::TempDir& dir) {
  std::filesystem::create_directories(dir / "game");
  auto run = [&](const std::vector<std::string>& args) {
    auto r = RunOrintool(args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
  };
  run({"project", "asm", dir.Write("project.txt", "version 110\ntitle \"midi\"\nscreen 64 48\nstart \"start.osb\"\n"), "-o",
       dir / "game/orin.opb"});
  run({"install", "asm", dir.Write("install.txt", "identifier \"midi\"\nfullinstall 1\n"), "-o", dir / "game/install.dat"});
  run({"page", "asm", dir.Write("start.txt", "Sound name={\"bgm\"} file={\"tune.mid\"}\nWait\n"), "-o",
       dir / "game/start.osb"});
  test::SmfTrack t;
  t.Program(0, 0, 16).Control(0, 0, 91, 0).NoteOn(480, 0, 69, 110).NoteOff(480, 0, 69).End();
  dir.Write("game/tune.mid", test::AsString(test::Smf(0, 480, {t})));
  return dir / "game";
}

// The first millisecond of the recording with sound in it.
int64_t OnsetMs(const std::string& wav) {
  for (size_t i = 44; i + 1 < wav.size(); i += 2) {
    int16_t s = static_cast<int16_t>(static_cast<uint8_t>(wav[i]) | static_cast<uint8_t>(wav[i + 1]) << 8);
    if (s > 200 || s < -200) return static_cast<int64_t>((i - 44) / 4 * 10 / 441);
  }
  return -1;
}

TEST(Orinplay_Midi, AudioOutHoldsTheMusicFromTheNotesTime) {
  test::TempDir dir;
  const std::string game = MakeMidiGame(dir);
  unsetenv("ORIN_SOUNDFONT");
  auto r = test::RunProgram(ORINPLAY_PATH, {"--headless", "--frames", "50", "--delta", "20", "--audio-out", dir / "run.wav",
                                            "--save-dir", dir / "saves", game});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::string logPath = dir / "saves/orinplay.log";
  if (std::filesystem::exists(logPath) && test::ReadHostFile(logPath).find("no SoundFont") != std::string::npos)
    GTEST_SKIP() << "no General MIDI SoundFont installed";
  // The sound starts in the first frame; the note is due 500 ms later and sounds within a step.
  int64_t onset = OnsetMs(test::ReadHostFile(dir / "run.wav"));
  EXPECT_GE(onset, 500);
  EXPECT_LE(onset, 560);
}

TEST(Orinplay_Midi, WithoutASoundFontTheGameGoesOnSilently) {
  test::TempDir dir;
  const std::string game = MakeMidiGame(dir);
  setenv("ORIN_SOUNDFONT", (dir / "none.sf2").c_str(), 1);
  auto r = test::RunProgram(ORINPLAY_PATH, {"--headless", "--trace", "--frames", "50", "--delta", "20", "--audio-out", dir / "run.wav",
                                            "--save-dir", dir / "saves", game});
  unsetenv("ORIN_SOUNDFONT");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(OnsetMs(test::ReadHostFile(dir / "run.wav")), -1);
  const std::string log = test::ReadHostFile(dir / "saves/orinplay.log");
  size_t line = log.find("MIDI music is silent: no SoundFont could be loaded (tried " + dir / "none.sf2" + ")");
  EXPECT_NE(line, std::string::npos) << log;
  EXPECT_EQ(log.find("MIDI music is silent", line + 1), std::string::npos) << log;
  line = r.out.find("MIDI music is silent");
  EXPECT_NE(line, std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("MIDI music is silent", line + 1), std::string::npos) << r.out;
}

}  // namespace
}  // namespace orin
