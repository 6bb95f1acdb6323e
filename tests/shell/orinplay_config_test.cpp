// orinplay --config: the settings dialog run headless through an input script, checked by the
// "game.ini" it writes and by a screenshot.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/run_program.h"
#include "imaging/image_codecs.h"
#include "resources/host_fs.h"
#include "shell/form_config.h"
#include "shell/ini_file.h"
#include "support/test_support.h"

namespace orin {
namespace {

test::ProgramResult RunOrinplay(const std::vector<std::string>& args) {
  return test::RunProgram(ORINPLAY_PATH, args);
}

TEST(OrinplayConfig, KeysChangeTheDelayAndOkWritesItBesideTheGame) {
  test::TempDir dir;
  dir.Write("game/game.ini", "[Sound]\r\nDirectSound=0\r\nDelayTime=250\r\n");
  // Tab to the track bar, two steps right, Enter presses OK.
  const std::string input = dir.Write("in.txt", "1 key 9\n2 key 0x27\n3 key 0x27\n4 key 13\n");
  auto r = RunOrinplay({"--headless", "--config", "--input", input, dir / "game"});
  ASSERT_TRUE(test::Exits(r, 0));
  IniFile ini;
  ASSERT_TRUE(ini.Load(dir / "game/game.ini"));
  EXPECT_EQ(ini.ReadString("Sound", "DelayTime", ""), "400");
  EXPECT_EQ(ini.ReadString("Sound", "DirectSound", ""), "0");
}

TEST(OrinplayConfig, AScriptThatEndsWithTheDialogOpenWritesNothingAndShowsIt) {
  test::TempDir dir;
  std::filesystem::create_directories(dir / "game");
  // The Windows spelling of the switch; a click ticks the check box.
  const std::string input = dir.Write("in.txt", "1 click 34 32\n");
  auto r = RunOrinplay({"--headless", "--input", input, "--save-dir", dir / "save",
                        "--screenshot", dir / "shot.png", "/config", dir / "game"});
  ASSERT_TRUE(test::Exits(r, 0));
  EXPECT_FALSE(IsHostFile(dir / "save/game.ini"));
  EXPECT_FALSE(IsHostFile(dir / "game/game.ini"));
  const std::string png = test::ReadHostFile(dir / "shot.png");
  DecodedPicture shot = DecodePng(reinterpret_cast<const uint8_t*>(png.data()), png.size());
  ASSERT_EQ(shot.Surface.Width(), TFormConfig::kClientWidth);
  ASSERT_EQ(shot.Surface.Height(), TFormConfig::kClientHeight);
  EXPECT_EQ(shot.Surface.PixelToRGB(shot.Surface.GetPixel(2, 2), false), (Rgb{0xD4, 0xD0, 0xC8}));
  // Without a stored file the box starts ticked; the click cleared it: no ink in the box.
  for (int y = 27; y < 37; ++y)
    for (int x = 30; x < 39; ++x)
      EXPECT_NE(shot.Surface.PixelToRGB(shot.Surface.GetPixel(x, y), false), (Rgb{0, 0, 0}))
          << x << "," << y;
}

}  // namespace
}  // namespace orin
