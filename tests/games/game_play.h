// Playing a test game with orinplay --headless: a private copy of the game folder, scripted
// input, the trace lines of the run and screenshots read back as pixels.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/run_program.h"
#include "core/text.h"
#include "imaging/image_codecs.h"
#include "support/test_support.h"

namespace orin::test {

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
  int Count(const std::string& text) const {
    int n = 0;
    for (const TraceLine& line : Trace) n += line.Text == text ? 1 : 0;
    return n;
  }
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

// A screenshot's pixels as 0xRRGGBB.
class Shot {
 public:
  explicit Shot(const std::string& path) {
    const std::string bytes = ReadHostFile(path);
    picture_ = DecodePng(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  }
  uint32_t Pixel(int x, int y) const {
    const Rgb c = picture_.Surface.PixelToRGB(picture_.Surface.GetPixel(x, y), false);
    return static_cast<uint32_t>(c.Red) << 16 | static_cast<uint32_t>(c.Green) << 8 | c.Blue;
  }
  // How many pixels of the rectangle satisfy the test.
  template <class Test>
  int CountIn(int left, int top, int width, int height, Test test) const {
    int n = 0;
    for (int y = top; y < top + height; ++y)
      for (int x = left; x < left + width; ++x) n += test(Pixel(x, y)) ? 1 : 0;
    return n;
  }

 private:
  DecodedPicture picture_;
};

// Plays the game built under GAMES_DIR/name; each test has a copy of its own (the player allows
// one instance per game folder) and its own save folder.
class GamePlayer {
 public:
  explicit GamePlayer(const std::string& name) {
    std::filesystem::create_directories(dir_ / "game");
    std::filesystem::copy_file(std::string(GAMES_DIR) + "/" + name + "/game.dat", dir_ / "game/game.dat");
  }

  // Plays with the input lines for at most frames frames; the last screen goes to ShotPath(run).
  Play Run(const std::string& input, int run, int frames = 300, const std::vector<std::string>& extra = {}) {
    const std::string inputFile = dir_.Write(Format("input%d.txt", run), input);
    std::vector<std::string> args{"--headless", "--frames",  std::to_string(frames), "--trace",
                                  "--input",    inputFile,   "--save-dir",           dir_ / "saves",
                                  "--screenshot", ShotPath(run)};
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back(dir_ / "game");
    const ProgramResult r = RunProgram(ORINPLAY_PATH, args);
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

  std::string ShotPath(int run) const { return dir_ / Format("end%d.png", run); }
  Shot Screen(int run) const { return Shot(ShotPath(run)); }
  TempDir& Dir() { return dir_; }

 private:
  TempDir dir_;
};

}  // namespace orin::test
