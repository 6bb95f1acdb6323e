#include "shell/game_ini.h"

#include <gtest/gtest.h>

#include "core/error.h"
#include "shell/ini_file.h"
#include "support/test_support.h"

namespace orin {
namespace {

TEST(GameIni, DelayRoundedDownThenClamped) {
  struct Case {
    int32_t stored, used;
  } cases[] = {{1234, 500}, {50, 100}, {250, 200},  {100, 100},       {599, 500},
               {499, 400},  {0, 100},  {-150, 100}, {INT32_MAX, 500}, {INT32_MIN, 100}};
  for (const Case& c : cases) EXPECT_EQ(NormalizeDelayTime(c.stored), c.used) << c.stored;
}

TEST(GameIni, MissingFileKeepsTheCurrentValues) {
  test::TempDir dir;
  GameSettings current;
  current.DirectSound = false;
  current.DelayTime = 300;
  GameSettings s = ReadGameIni(dir / "game.ini", current);
  EXPECT_FALSE(s.DirectSound);
  EXPECT_EQ(s.DelayTime, 300);
  s = ReadGameIni(dir / "game.ini");
  EXPECT_TRUE(s.DirectSound);
  EXPECT_EQ(s.DelayTime, 500);
}

TEST(GameIni, ReadsKeysWithoutRegardToCase) {
  test::TempDir dir;
  dir.Write("game.ini", "; settings\r\n[sound]\r\ndirectsound = 0\r\n  DELAYTIME=1234  \r\n");
  GameSettings s = ReadGameIni(dir / "game.ini");
  EXPECT_FALSE(s.DirectSound);
  EXPECT_EQ(s.DelayTime, 500);
}

TEST(GameIni, ValuesThatAreNotIntegersKeepTheDefault) {
  struct Case {
    const char* text;
    bool directSound;
    int32_t delay;
  } cases[] = {
      {"[Sound]\nDirectSound=yes\nDelayTime=fast\n", true, 500},
      {"[Sound]\nDirectSound=\nDelayTime=\n", true, 500},
      {"[Sound]\nDirectSound=2\nDelayTime=0x12C\n", true, 300},
      {"[Sound]\nDelayTime=$C8\n", true, 200},
      {"[Sound]\nDelayTime=250ms\n", true, 500},
      {"[Sound]\nDelayTime=99999999999\n", true, 500},
      {"DelayTime=200\n[Other]\nDelayTime=200\n", true, 500},  // outside the section
  };
  for (const Case& c : cases) {
    GameSettings s = ReadGameSettings(IniFile(c.text));
    EXPECT_EQ(s.DirectSound, c.directSound) << c.text;
    EXPECT_EQ(s.DelayTime, c.delay) << c.text;
  }
}

TEST(GameIni, WriteKeepsTheRestOfTheFile) {
  test::TempDir dir;
  const std::string path =
      dir.Write("game.ini", "[Other]\nName=x\n[Sound]\nDelayTime=400\nExtra=1\n");
  WriteGameIni(path, GameSettings{false, 200});
  IniFile ini;
  ASSERT_TRUE(ini.Load(path));
  EXPECT_EQ(ini.ReadString("Other", "Name", ""), "x");
  EXPECT_EQ(ini.ReadString("Sound", "Extra", ""), "1");
  EXPECT_EQ(ini.ReadString("Sound", "DirectSound", ""), "0");
  EXPECT_EQ(ini.ReadString("Sound", "DelayTime", ""), "200");
  EXPECT_EQ(
      ini.Text(),
      "[Other]\r\nName=x\r\n\r\n[Sound]\r\nDelayTime=200\r\nExtra=1\r\nDirectSound=0\r\n\r\n");
  GameSettings back = ReadGameIni(path);
  EXPECT_FALSE(back.DirectSound);
  EXPECT_EQ(back.DelayTime, 200);
}

TEST(IniFile, FirstOfRepeatedKeysWinsAndSectionsMerge) {
  IniFile ini("[A]\nk=1\nk=2\n[B]\nk=3\n[a]\nj=4\nnot a key\n");
  EXPECT_EQ(ini.ReadInteger("A", "K", 0), 1);
  EXPECT_EQ(ini.ReadInteger("a", "j", 0), 4);
  EXPECT_EQ(ini.ReadInteger("B", "k", 0), 3);
  EXPECT_FALSE(ini.ReadString("B", "not a key").has_value());
}

TEST(IniFile, ParseIntegerRange) {
  EXPECT_EQ(IniFile::ParseInteger("-2147483648"), INT32_MIN);
  EXPECT_EQ(IniFile::ParseInteger("2147483647"), INT32_MAX);
  EXPECT_FALSE(IniFile::ParseInteger("2147483648").has_value());
  EXPECT_EQ(IniFile::ParseInteger("0xFFFFFFFF"), -1);
  EXPECT_FALSE(IniFile::ParseInteger("0x100000000").has_value());
  EXPECT_FALSE(IniFile::ParseInteger("-").has_value());
  EXPECT_FALSE(IniFile::ParseInteger("0x").has_value());
}

TEST(IniFile, SaveIntoMissingFolderFails) {
  test::TempDir dir;
  IniFile ini;
  ini.WriteInteger("Sound", "DelayTime", 100);
  EXPECT_THROW(ini.Save(dir / "no/such/game.ini"), Error);
}

}  // namespace
}  // namespace orin
