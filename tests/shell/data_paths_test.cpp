#include "shell/data_paths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "resources/host_fs.h"
#include "shell/optical_media.h"
#include "support/test_support.h"

namespace orin {
namespace {

using test::ScopedEnv;

TEST(DataPaths, WritableGameFolderKeepsEverything) {
  test::TempDir dir;
  DataPaths paths(dir.Path());
  EXPECT_EQ(paths.WritableFolder(), dir.Path());
  EXPECT_EQ(paths.SaveFilePath(), dir / "save.dat");
  EXPECT_EQ(paths.LogPath(), dir / "orinplay.log");
  EXPECT_EQ(paths.GameIniReadPath(), dir / "game.ini");
}

TEST(DataPaths, FallbackFolderIsNamedAfterTheGameFolderAndItsPath) {
  test::TempDir dir;
  {
    ScopedEnv data("XDG_DATA_HOME", dir / "data");
    EXPECT_EQ(DataPaths::FallbackFolder("/media/disc/My Game/"),
              dir / ("data/orinplay/My Game-" + DataPaths::FolderHash("/media/disc/My Game") + "/"));
    EXPECT_EQ(DataPaths::FallbackFolder("/"), dir / "data/orinplay/game-37706990/");
    EXPECT_EQ(DataPaths::OldFallbackFolder("/media/disc/My Game/"),
              dir / "data/orinplay/My Game/");
  }
  {
    ScopedEnv data("XDG_DATA_HOME", "relative/is/ignored");
    ScopedEnv home("HOME", dir / "home");
    EXPECT_EQ(DataPaths::FallbackFolder("/g/x"),
              dir / ("home/.local/share/orinplay/x-" + DataPaths::FolderHash("/g/x") + "/"));
  }
}

// Folder names of saves depend on the hash: it must never change.
TEST(DataPaths, FolderHashIsStableAndFollowsTheFolderNotItsSpelling) {
  EXPECT_EQ(DataPaths::FolderHash("/nonexistent/games/game"), "47223f40");
  EXPECT_EQ(DataPaths::FolderHash("/nonexistent/games/game/"), "47223f40");
  test::TempDir dir;
  std::filesystem::create_directories(dir / "a/game");
  std::filesystem::create_directories(dir / "b/game");
  std::filesystem::create_directory_symlink(dir / "a/game", dir / "link");
  EXPECT_EQ(DataPaths::FolderHash(dir / "link"), DataPaths::FolderHash(dir / "a/game"));
  EXPECT_NE(DataPaths::FolderHash(dir / "b/game"), DataPaths::FolderHash(dir / "a/game"));
}

TEST(DataPaths, MissingGameFolderFallsBackAndCreatesOnDemand) {
  test::TempDir dir;
  ScopedEnv data("XDG_DATA_HOME", dir / "data");
  DataPaths paths(dir / "gone/Game");
  const std::string folder =
      dir / ("data/orinplay/Game-" + DataPaths::FolderHash(dir / "gone/Game") + "/");
  EXPECT_EQ(paths.WritableFolder(), folder);
  EXPECT_FALSE(IsHostDirectory(paths.WritableFolder()));
  EXPECT_EQ(paths.SaveFilePath(), folder + "save.dat");
  EXPECT_TRUE(IsHostDirectory(paths.WritableFolder()));
}

// Two unwritable games in folders of the same name: each has its own saves, and both find the
// saves an earlier version kept under the shared name, as copies.
TEST(DataPaths, GamesOfTheSameFolderNameNeverShareSavesAndOldSavesAreCopied) {
  test::TempDir dir;
  ScopedEnv data("XDG_DATA_HOME", dir / "data");
  DataPaths a(dir / "gone/a/game"), b(dir / "gone/b/game");
  ASSERT_NE(a.WritableFolder(), b.WritableFolder());
  EXPECT_EQ(a.CarryOverOldSaves(), "");  // nothing old: nothing to say

  dir.Write("data/orinplay/game/save.dat", "old saves");
  dir.Write("data/orinplay/game/game.ini", "[Sound]\nDelayTime=200\n");
  const std::string note = a.CarryOverOldSaves();
  EXPECT_NE(note.find("save.dat and game.ini"), std::string::npos) << note;
  EXPECT_NE(note.find(dir / "data/orinplay/game"), std::string::npos) << note;
  EXPECT_EQ(test::ReadHostFile(a.SaveFilePath()), "old saves");
  EXPECT_EQ(test::ReadHostFile(a.WritableFolder() + "game.ini"), "[Sound]\nDelayTime=200\n");
  EXPECT_EQ(test::ReadHostFile(dir / "data/orinplay/game/save.dat"), "old saves");  // copied

  // Once the new folder has saves of its own they are never replaced.
  test::WriteHostFile(a.SaveFilePath(), "a's saves");
  EXPECT_EQ(a.CarryOverOldSaves(), "");
  EXPECT_EQ(test::ReadHostFile(a.SaveFilePath()), "a's saves");

  // The other game of the same name gets its own copy; a game.ini of its own stays.
  dir.Write(b.WritableFolder().substr(dir.Path().size()) + "game.ini", "mine");
  EXPECT_NE(b.CarryOverOldSaves().find("copied save.dat of"), std::string::npos);
  EXPECT_EQ(test::ReadHostFile(b.SaveFilePath()), "old saves");
  EXPECT_EQ(test::ReadHostFile(b.WritableFolder() + "game.ini"), "mine");
  EXPECT_EQ(test::ReadHostFile(a.SaveFilePath()), "a's saves");

  // Saves beside the game or in a chosen folder never take old ones.
  test::TempDir game;
  dir.Write("data/orinplay/" + HostBaseName(game.Path().substr(0, game.Path().size() - 1)) +
                "/save.dat",
            "old");
  EXPECT_EQ(DataPaths(game.Path()).CarryOverOldSaves(), "");
  EXPECT_EQ(DataPaths(dir / "gone/a/game", dir / "chosen").CarryOverOldSaves(), "");
  EXPECT_FALSE(IsHostFile(game / "save.dat"));
}

TEST(DataPaths, OverrideFolderTakesWritesAndShippedIniIsRead) {
  test::TempDir game, saves;
  DataPaths paths(game.Path(), saves / "run1");
  EXPECT_EQ(paths.SaveFilePath(), saves / "run1/save.dat");
  EXPECT_EQ(paths.GameIniReadPath(), saves / "run1/game.ini");  // none anywhere: where it will be
  game.Write("game.ini", "[Sound]\n");
  EXPECT_EQ(paths.GameIniReadPath(), game / "game.ini");
  saves.Write("run1/game.ini", "[Sound]\n");
  EXPECT_EQ(paths.GameIniReadPath(), saves / "run1/game.ini");
}

TEST(OpticalMedia, TypesAndRoots) {
  EXPECT_TRUE(IsOpticalFileSystemType(0x9660));
  EXPECT_TRUE(IsOpticalFileSystemType(0x15013346));
  EXPECT_FALSE(IsOpticalFileSystemType(0xEF53));  // ext4
  const std::vector<std::string> roots{"/media/cd/"};
  EXPECT_TRUE(IsBelowAnyRoot("/media/cd", roots));
  EXPECT_TRUE(IsBelowAnyRoot("/media/cd/game/GAME.exe", roots));
  EXPECT_FALSE(IsBelowAnyRoot("/media/cdrom2/game", roots));
  test::TempDir dir;
  EXPECT_FALSE(IsOnOpticalMedia(dir.Path()));
}

}  // namespace
}  // namespace orin
