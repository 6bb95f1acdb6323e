#include "shell/game_location.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/error.h"
#include "resources/big_stream.h"
#include "resources/file_collection.h"
#include "resources/file_manager.h"
#include "resources/stream.h"
#include "support/test_support.h"

namespace orin {
namespace {

// An archive holding one text entry per name, as bytes.
std::string ArchiveBytes(const test::TempDir& dir, const std::vector<std::string>& names) {
  HostFileSystem fs;
  TVrFileCollection c(fs);
  for (const std::string& n : names)
    c.AddMemoryEntry(n).Content->Assign(std::string("content of ").append(n));
  const std::string path = dir / "staging.dat";
  {
    TTpBigFileStream out(path, TTpBigFileStream::kCreate);
    EXPECT_TRUE(c.Save(out));
  }
  std::string bytes = test::ReadHostFile(path);
  std::filesystem::remove(path);
  return bytes;
}

struct Files {
  TempFolder temp;
  PendingDeletes pending;
  TVrFileManager manager{temp, pending, {}};
};

TEST(FindGame, ArgumentsNameTheGame) {
  test::TempDir dir;
  dir.Write("Game/orin.opb", "x");
  dir.Write("Game/GAME.exe", "x");
  std::filesystem::create_directory(dir / "Extra");

  GameLocation folder = FindGame({dir / "Game", dir / "Extra"}, {});
  EXPECT_EQ(folder.Folder, dir / "Game/");
  EXPECT_TRUE(folder.Executable.empty());
  EXPECT_EQ(folder.ExtraFolders, std::vector<std::string>{dir / "Extra/"});

  GameLocation exe = FindGame({dir / "Game/GAME.exe"}, {});
  EXPECT_EQ(exe.Folder, dir / "Game/");
  EXPECT_EQ(exe.Executable, dir / "Game/GAME.exe");

  EXPECT_THROW(FindGame({dir / "Missing"}, {}), Error);
  EXPECT_THROW(FindGame({dir / "Game", dir / "Game/GAME.exe"}, {}),
               Error);  // a FOLDER that is a file
}

TEST(FindGame, WithoutArgumentsTheFirstFolderHoldingAGameWins) {
  test::TempDir dir;
  std::filesystem::create_directories(dir / "bin");
  dir.Write("cwd/GAME.DAT", "x");  // names match without regard to case
  dir.Write("demo/orin.opb", "x");
  GameSearch search{dir / "bin/", dir / "cwd/", {dir / "missing/", dir / "demo/"}};
  EXPECT_EQ(FindGame({}, search).Folder, dir / "cwd/");
  search.CurrentFolder = dir / "bin/";
  EXPECT_EQ(FindGame({}, search).Folder, dir / "demo/");
  search.DemoFolders.clear();
  EXPECT_THROW(FindGame({}, search), Error);
}

TEST(LocateGameData, FolderAndExtraFoldersAddTheirArchives) {
  test::TempDir dir;
  dir.Write("Game/Game.dat", ArchiveBytes(dir, {"orin.opb"}));
  dir.Write("Disc2/game.dat", ArchiveBytes(dir, {"bgm\\two.ogg"}));
  dir.Write("Game/loose.txt", "loose");
  GameLocation game = FindGame({dir / "Game", dir / "Disc2", dir / "Game"}, {});
  Files f;
  LocateGameData(f.manager, game);
  EXPECT_EQ(f.manager.Count(), 3);  // memory, Game.dat, Disc2's; the repeated folder adds nothing
  EXPECT_EQ(f.manager.BaseFolder, dir / "Game/");
  EXPECT_TRUE(f.manager.Exists("ORIN.OPB"));
  EXPECT_TRUE(f.manager.Exists("bgm\\two.ogg"));
  EXPECT_TRUE(f.manager.Exists("loose.txt"));
}

TEST(LocateGameData, ExecutableWithAppendedArchive) {
  test::TempDir dir;
  const std::string stub = "not a program, but long enough to stand in front of an archive";
  std::string exe = stub + ArchiveBytes(dir, {"orin.opb"});
  const uint32_t start = static_cast<uint32_t>(stub.size());
  for (int i = 0; i < 4; ++i) exe += static_cast<char>((start >> (8 * i)) & 0xFF);
  exe += "qz";
  dir.Write("Game/GAME.exe", exe);
  dir.Write("Game/game.dat", ArchiveBytes(dir, {"other.txt"}));
  Files f;
  LocateGameData(f.manager, FindGame({dir / "Game/GAME.exe"}, {}));
  // The program's folder's game.dat is the install step's to add, not this one's.
  EXPECT_EQ(f.manager.Count(), 2);
  EXPECT_TRUE(f.manager.Exists("orin.opb"));
  EXPECT_FALSE(f.manager.Exists("other.txt"));
}

TEST(LocateGameData, ExecutableWithoutArchiveAddsOnlyTheFolder) {
  test::TempDir dir;
  dir.Write("Game/GAME.exe", "MZ and nothing else");
  dir.Write("Game/orin.opb", "project");
  Files f;
  LocateGameData(f.manager, FindGame({dir / "Game/GAME.exe"}, {}));
  EXPECT_EQ(f.manager.Count(), 1);
  EXPECT_TRUE(f.manager.Exists("orin.opb"));
}

}  // namespace
}  // namespace orin
