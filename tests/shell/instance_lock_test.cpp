#include "shell/instance_lock.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
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
  test::ScopedEnv runtime("XDG_RUNTIME_DIR", dir.Path());
  EXPECT_EQ(LockFolder(), dir.Path());
  test::ScopedEnv missing("XDG_RUNTIME_DIR", dir / "missing");
  EXPECT_NE(LockFolder(), dir / "missing/");
}

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
  return st.st_mode;
}

// Without a runtime folder the lock lives in a folder of this user only, never under a name in
// the shared temp folder that another user could take first.
TEST(InstanceLock, WithoutARuntimeFolderTheLockIsInAPrivateFolder) {
  test::TempDir dir;
  test::ScopedEnv runtime("XDG_RUNTIME_DIR", nullptr);
  test::ScopedEnv tmp("TMPDIR", dir.Path());
  const std::string own = dir / ("orinplay-" + std::to_string(getuid()) + "/");
  EXPECT_EQ(LockFolder(), own);

  InstanceLock first, second;
  EXPECT_EQ(first.Acquire("-GAME-"), InstanceLock::Result::kAcquired);
  EXPECT_TRUE(S_ISDIR(ModeOf(own)));
  EXPECT_EQ(ModeOf(own) & 0777, 0700u);
  EXPECT_EQ(second.Acquire("-GAME-"), InstanceLock::Result::kHeldElsewhere);
  first.Release();

  // A folder of ours that others can enter is made private.
  ASSERT_EQ(chmod(own.c_str(), 0777), 0);
  EXPECT_EQ(first.Acquire("-GAME-"), InstanceLock::Result::kAcquired);
  EXPECT_EQ(ModeOf(own) & 0777, 0700u);
}

TEST(InstanceLock, ForeignOrLinkedLockFolderOrFileIsRefused) {
  test::ScopedEnv runtime("XDG_RUNTIME_DIR", nullptr);
  const std::string name = "orinplay-" + std::to_string(getuid());
  struct Case {
    const char* what;
    void (*plant)(const test::TempDir& dir, const std::string& own);
  } cases[] = {
      {"a link to another folder",
       [](const test::TempDir& dir, const std::string& own) {
         std::filesystem::create_directory(dir / "elsewhere");
         std::filesystem::create_directory_symlink(dir / "elsewhere", own);
       }},
      {"a file",
       [](const test::TempDir&, const std::string& own) { test::WriteHostFile(own, "x"); }},
      {"a lock file that is a link",
       [](const test::TempDir& dir, const std::string& own) {
         std::filesystem::create_directory(own);
         chmod(own.c_str(), 0700);
         dir.Write("target", "");
         std::filesystem::create_symlink(dir / "target", own + "/" + LockFileName("-GAME-"));
       }},
  };
  for (const Case& c : cases) {
    test::TempDir dir;
    test::ScopedEnv tmp("TMPDIR", dir.Path());
    c.plant(dir, dir / name);
    InstanceLock lock;
    EXPECT_EQ(lock.Acquire("-GAME-"), InstanceLock::Result::kUnsafe) << c.what;
    EXPECT_FALSE(lock.Held()) << c.what;
    EXPECT_NE(lock.Problem().find(dir.Path()), std::string::npos) << c.what << ": " << lock.Problem();
  }

  // A folder of another user (only a privileged run can make one).
  test::TempDir dir;
  test::ScopedEnv tmp("TMPDIR", dir.Path());
  const std::string own = dir / name;
  std::filesystem::create_directory(own);
  if (chown(own.c_str(), getuid() + 1, static_cast<gid_t>(-1)) != 0)
    GTEST_SKIP() << "cannot give a folder to another user here";
  InstanceLock lock;
  EXPECT_EQ(lock.Acquire("-GAME-"), InstanceLock::Result::kUnsafe);
  EXPECT_NE(lock.Problem().find("another user"), std::string::npos) << lock.Problem();
}

}  // namespace
}  // namespace orin
