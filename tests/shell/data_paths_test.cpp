#include "shell/data_paths.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "resources/host_fs.h"
#include "shell/optical_media.h"
#include "support/test_support.h"

namespace orin {
namespace {

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) {
      saved_ = old;
      had_ = true;
    }
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (had_)
      setenv(name_, saved_.c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char* name_;
  std::string saved_;
  bool had_ = false;
};

TEST(DataPaths, WritableGameFolderKeepsEverything) {
  test::TempDir dir;
  DataPaths paths(dir.Path());
  EXPECT_EQ(paths.WritableFolder(), dir.Path());
  EXPECT_EQ(paths.SaveFilePath(), dir / "save.dat");
  EXPECT_EQ(paths.LogPath(), dir / "orinplay.log");
  EXPECT_EQ(paths.GameIniReadPath(), dir / "game.ini");
}

TEST(DataPaths, FallbackFolderIsNamedAfterTheGameFolder) {
  test::TempDir dir;
  {
    ScopedEnv data("XDG_DATA_HOME", dir / "data");
    EXPECT_EQ(DataPaths::FallbackFolder("/media/disc/My Game/"), dir / "data/orinplay/My Game/");
    EXPECT_EQ(DataPaths::FallbackFolder("/"), dir / "data/orinplay/game/");
  }
  {
    ScopedEnv data("XDG_DATA_HOME", "relative/is/ignored");
    ScopedEnv home("HOME", dir / "home");
    EXPECT_EQ(DataPaths::FallbackFolder("/g/x"), dir / "home/.local/share/orinplay/x/");
  }
}

TEST(DataPaths, MissingGameFolderFallsBackAndCreatesOnDemand) {
  test::TempDir dir;
  ScopedEnv data("XDG_DATA_HOME", dir / "data");
  DataPaths paths(dir / "gone/Game");
  EXPECT_EQ(paths.WritableFolder(), dir / "data/orinplay/Game/");
  EXPECT_FALSE(IsHostDirectory(paths.WritableFolder()));
  EXPECT_EQ(paths.SaveFilePath(), dir / "data/orinplay/Game/save.dat");
  EXPECT_TRUE(IsHostDirectory(paths.WritableFolder()));
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
