#include "shell/instance_lock.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "support/test_support.h"

namespace orin {
namespace {

TEST(InstanceName, UpperCasedWithTrailingSeparatorReplaced) {
  struct Case {
    const char* path;
    char separator;
    const char* name;
  } cases[] = {
      {"c:\\game", '\\', "C:-GAME-"},
      {"C:\\GAME\\", '\\', "C:-GAME-"},
      {"d:\\Games\\My Game", '\\', "D:-GAMES-MY GAME-"},
      {"/home/u/game", '/', "-HOME-U-GAME-"},
      {"/home/u/Game/", '/', "-HOME-U-GAME-"},
      {"/", '/', "-"},
      // Bytes of UTF-8 names stay as they are; only ASCII letters change.
      {"/g/ゲームa", '/', "-G-ゲームA-"},
  };
  for (const Case& c : cases) EXPECT_EQ(InstanceName(c.path, c.separator), c.name) << c.path;
}

TEST(InstanceName, SameFolderReachedDifferentlyIsOneInstance) {
  test::TempDir dir;
  std::filesystem::create_directories(dir / "Game/sub");
  std::filesystem::create_directory_symlink(dir / "Game", dir / "link");
  const std::string name = HostInstanceName(dir / "Game");
  EXPECT_EQ(HostInstanceName(dir / "Game/"), name);
  EXPECT_EQ(HostInstanceName(dir / "Game/sub/.."), name);
  EXPECT_EQ(HostInstanceName(dir / "link"), name);
  EXPECT_NE(HostInstanceName(dir / "Game/sub"), name);

  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(chdir(dir.Path().c_str()), 0);
  const std::string relative = HostInstanceName("Game");
  ASSERT_EQ(chdir(cwd), 0);
  EXPECT_EQ(relative, name);
}

TEST(InstanceLock, SecondHolderOfTheSameNameIsRefused) {
  test::TempDir dir;
  InstanceLock first, second, other;
  EXPECT_EQ(first.Acquire("-GAME-", dir.Path()), InstanceLock::Result::kAcquired);
  EXPECT_EQ(second.Acquire("-GAME-", dir.Path()), InstanceLock::Result::kHeldElsewhere);
  EXPECT_EQ(other.Acquire("-OTHER-", dir.Path()), InstanceLock::Result::kAcquired);
  first.Release();
  EXPECT_EQ(second.Acquire("-GAME-", dir.Path()), InstanceLock::Result::kAcquired);
}

TEST(InstanceLock, MissingFolderRunsWithoutALock) {
  test::TempDir dir;
  InstanceLock lock;
  EXPECT_EQ(lock.Acquire("-GAME-", dir / "missing/"), InstanceLock::Result::kUnavailable);
  EXPECT_FALSE(lock.Held());
}

TEST(InstanceLock, LongNamesStayValidAndDistinct) {
  const std::string a = std::string("-").append(300, 'A').append("-X-"),
                    b = std::string("-").append(300, 'A').append("-Y-");
  const std::string fa = LockFileName(a), fb = LockFileName(b);
  EXPECT_LE(fa.size(), 255u);
  EXPECT_NE(fa, fb);
  test::TempDir dir;
  InstanceLock la, lb;
  EXPECT_EQ(la.Acquire(a, dir.Path()), InstanceLock::Result::kAcquired);
  EXPECT_EQ(lb.Acquire(b, dir.Path()), InstanceLock::Result::kAcquired);
}

TEST(InstanceLock, LockFolderPrefersTheRuntimeFolder) {
  test::TempDir dir;
  const char* saved = std::getenv("XDG_RUNTIME_DIR");
  const std::string restore = saved ? saved : "";
  setenv("XDG_RUNTIME_DIR", dir.Path().c_str(), 1);
  EXPECT_EQ(LockFolder(), dir.Path());
  setenv("XDG_RUNTIME_DIR", (dir / "missing").c_str(), 1);
  EXPECT_NE(LockFolder(), dir / "missing/");
  if (saved)
    setenv("XDG_RUNTIME_DIR", restore.c_str(), 1);
  else
    unsetenv("XDG_RUNTIME_DIR");
}

}  // namespace
}  // namespace orin
