#include "resources/host_fs.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "core/text.h"
#include "support/test_support.h"

namespace orin {
namespace {

using namespace literals;

TEST(HostFileSystem, ResolvesComponentByComponentWithoutRegardToCase) {
  test::TempDir dir;
  dir.Write("Data/Sub/File.TXT", "x");
  HostFileSystem fs;
  for (const char* name : {"data\\SUB\\file.txt", "DATA/sub/FILE.txt", "Data\\Sub\\File.TXT", "\\data\\\\sub\\file.txt",
                           ".\\data\\.\\sub\\file.txt"}) {
    EXPECT_EQ(fs.Resolve(dir.Path(), name), dir / "Data/Sub/File.TXT") << name;
  }
  EXPECT_EQ(fs.Resolve(dir.Path(), "data"), dir / "Data");
  EXPECT_EQ(fs.FindFile(dir.Path(), "data"), std::nullopt);  // a folder
  EXPECT_EQ(fs.FindFile(dir.Path(), "data\\sub\\file.txt"), dir / "Data/Sub/File.TXT");
  EXPECT_EQ(fs.Resolve(dir.Path(), "data\\nope\\file.txt"), std::nullopt);
  EXPECT_EQ(fs.Resolve(dir.Path(), ""), std::nullopt);
  EXPECT_TRUE(fs.FileExists(dir.Path(), "DATA\\SUB\\FILE.TXT"));
  // The folder may be given without its trailing slash.
  std::string noSlash = dir.Path().substr(0, dir.Path().size() - 1);
  EXPECT_EQ(fs.Resolve(noSlash, "data\\sub\\file.txt"), dir / "Data/Sub/File.TXT");
}

TEST(HostFileSystem, ExactMatchIsPreferred) {
  test::TempDir dir;
  dir.Write("A.txt", "upper");
  dir.Write("a.txt", "lower");
  HostFileSystem fs;
  EXPECT_EQ(fs.Resolve(dir.Path(), "a.txt"), dir / "a.txt");
  EXPECT_EQ(fs.Resolve(dir.Path(), "A.txt"), dir / "A.txt");
  // Neither matches exactly: one of them, the same every time.
  auto either = fs.Resolve(dir.Path(), "A.TXT");
  ASSERT_TRUE(either);
  EXPECT_TRUE(*either == dir / "A.txt" || *either == dir / "a.txt") << *either;
  EXPECT_EQ(fs.Resolve(dir.Path(), "A.TXT"), either);
}

TEST(HostFileSystem, Utf8NamesOnDiskMatchCp932GameNames) {
  test::TempDir dir;
  // 画像/ソフト/背景.Png in UTF-8 on disk; "ソ" ends in the byte of "\" in cp932.
  dir.Write("\xE7\x94\xBB\xE5\x83\x8F/\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88/\xE8\x83\x8C\xE6\x99\xAF.Png", "x");
  HostFileSystem fs;
  const std::string expected =
      dir / "\xE7\x94\xBB\xE5\x83\x8F/\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88/\xE8\x83\x8C\xE6\x99\xAF.Png";
  EXPECT_EQ(fs.Resolve(dir.Path(), "画像\\ソフト\\背景.png"_sj), expected);
  EXPECT_EQ(fs.Resolve(dir.Path(), "画像\\ソフト\\背景.PNG"_sj), expected);
  EXPECT_EQ(fs.Resolve(dir.Path(), "画像/ソフト/背景.Png"_sj), expected);
  // The trail byte of ソ is no separator: "ソフト" must not split into "\x83" and "フト".
  EXPECT_EQ(fs.Resolve(dir.Path(), "画像\\ソ"_sj), std::nullopt);
}

TEST(HostFileSystem, RawCp932NamesOnDisk) {
  test::TempDir dir;
  // ソフト.txt and ア.Dat as raw cp932 bytes, as a folder copied from a Japanese system keeps them.
  const std::string soft = "\x83\x5C\x83\x74\x83\x67.txt";
  const std::string a = "\x83\x41.Dat";
  dir.Write(soft, "x");
  dir.Write(a, "y");
  HostFileSystem fs;
  EXPECT_EQ(fs.Resolve(dir.Path(), "ソフト.txt"_sj), dir / soft);
  EXPECT_EQ(fs.Resolve(dir.Path(), "ソフト.TXT"_sj), dir / soft);
  EXPECT_EQ(fs.Resolve(dir.Path(), "\x83\x41.DAT"), dir / a);
  // Only single-byte letters fold: 0x83 0x61 is another character.
  EXPECT_EQ(fs.Resolve(dir.Path(), "\x83\x61.DAT"), std::nullopt);
}

TEST(HostFileSystem, DotDotNeverLeavesTheFolder) {
  test::TempDir dir;
  dir.Write("secret.txt", "outside");
  dir.Write("game/file.txt", "inside");
  dir.Write("game/sub/x.txt", "inside");
  const std::string game = dir / "game/";
  HostFileSystem fs;
  EXPECT_EQ(fs.Resolve(game, "sub\\..\\file.txt"), game + "file.txt");
  EXPECT_EQ(fs.Resolve(game, "sub\\..\\sub\\x.txt"), game + "sub/x.txt");
  for (const char* escape : {"..\\secret.txt", "../secret.txt", "sub\\..\\..\\secret.txt", "..\\game\\file.txt",
                             ".\\..\\secret.txt", "sub\\..\\..", ".."}) {
    EXPECT_EQ(fs.Resolve(game, escape), std::nullopt) << escape;
    EXPECT_EQ(fs.PathForWrite(game, escape), std::nullopt) << escape;
  }
  // A rooted game name is still inside the folder.
  EXPECT_EQ(fs.Resolve(game, "\\file.txt"), game + "file.txt");
  EXPECT_EQ(fs.Resolve(game, "/etc/passwd"), std::nullopt);
}

// Runs change, then puts the folder's modification time back as it was: what a file system with
// coarse times (a clock tick, whole seconds, FAT's two seconds) shows for a change made right
// after the folder was listed.
template <class F>
void WithinOneTimeTick(const std::string& folder, F&& change) {
  struct stat before {};
  ASSERT_EQ(::stat(folder.c_str(), &before), 0);
  change();
  const struct timespec times[2] = {before.st_atim, before.st_mtim};
  ASSERT_EQ(::utimensat(AT_FDCWD, folder.c_str(), times, 0), 0);
}

TEST(HostFileSystem, ListingIsRefreshedWhenTheFolderChanges) {
  test::TempDir dir;
  dir.Write("old.txt", "x");
  HostFileSystem fs;
  EXPECT_EQ(fs.Resolve(dir.Path(), "NEW.TXT"), std::nullopt);  // the listing is cached now
  EXPECT_EQ(fs.Resolve(dir.Path(), "OLD.TXT"), dir / "old.txt");
  dir.Write("new.txt", "y");
  EXPECT_EQ(fs.Resolve(dir.Path(), "NEW.TXT"), dir / "new.txt");
  ASSERT_EQ(::unlink((dir / "old.txt").c_str()), 0);
  EXPECT_EQ(fs.Resolve(dir.Path(), "OLD.TXT"), std::nullopt);
  EXPECT_EQ(fs.FindFile(dir.Path(), "old.txt"), std::nullopt);

  // The same when the folder's time does not move.
  WithinOneTimeTick(dir.Path(), [&] { dir.Write("third.txt", "z"); });
  EXPECT_EQ(fs.Resolve(dir.Path(), "THIRD.TXT"), dir / "third.txt");
  WithinOneTimeTick(dir.Path(), [&] { ASSERT_EQ(::unlink((dir / "new.txt").c_str()), 0); });
  EXPECT_EQ(fs.Resolve(dir.Path(), "NEW.TXT"), std::nullopt);
}

TEST(HostFileSystem, PathForWrite) {
  test::TempDir dir;
  dir.Write("Save/Slot1.DAT", "x");
  HostFileSystem fs;
  struct Case {
    std::string gameName;
    std::optional<std::string> expected;
  };
  const std::vector<Case> cases = {
      {"save\\slot1.dat", dir / "Save/Slot1.DAT"},  // an existing entry keeps its name
      {"save\\slot2.dat", dir / "Save/slot2.dat"},  // the folder's own name, the new name as given
      {"SAVE/New.txt", dir / "Save/New.txt"},
      {"new.txt", dir / "new.txt"},
      {".\\here.txt", dir / "here.txt"},  // the folder part comes back to the game folder
      {"save\\..\\back.txt", dir / "back.txt"},
      {"\\rooted.txt", dir / "rooted.txt"},
      {"save", std::nullopt},  // an existing folder is no place for a file
      {"セーブ.dat"_sj, dir / "\xE3\x82\xBB\xE3\x83\xBC\xE3\x83\x96.dat"},  // as UTF-8
      {"\x85\x40.dat", dir / "\x85\x40.dat"},  // no UTF-8 form: the raw bytes
      {"missing\\x.txt", std::nullopt},
      {"save\\", std::nullopt},
      {"save\\.", std::nullopt},
      {"save\\slot1.dat\\x", std::nullopt},  // a file is no folder
  };
  for (const auto& c : cases) EXPECT_EQ(fs.PathForWrite(dir.Path(), c.gameName), c.expected) << c.gameName;
}

TEST(HostFileSystem, DosTimeRoundTrip) {
  test::TempDir dir;
  const std::string f = dir.Write("f.txt", "x");
  // 2005-06-15 13:45:30 and 1999-12-31 23:59:58
  const uint32_t times[] = {((25u << 9 | 6u << 5 | 15u) << 16) | (13u << 11 | 45u << 5 | 15u),
                            ((19u << 9 | 12u << 5 | 31u) << 16) | (23u << 11 | 59u << 5 | 29u)};
  for (uint32_t t : times) {
    ASSERT_TRUE(SetHostFileDosTime(f, t));
    EXPECT_EQ(HostFileDosTime(f), t);
  }
  EXPECT_FALSE(SetHostFileDosTime(f, (25u << 9 | 0u << 5 | 15u) << 16));  // month 0
  EXPECT_FALSE(SetHostFileDosTime(f, (25u << 9 | 13u << 5 | 15u) << 16));  // month 13
  EXPECT_FALSE(SetHostFileDosTime(dir / "missing.txt", times[0]));
  EXPECT_EQ(HostFileDosTime(dir / "missing.txt"), 0u);
  // Before 1980 there is no DOS time: the earliest one.
  struct timespec old[2] = {{86400 * 365, 0}, {86400 * 365, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, f.c_str(), old, 0), 0);
  EXPECT_EQ(HostFileDosTime(f), (1u << 5 | 1u) << 16);
}

TEST(HostPaths, Helpers) {
  struct Case {
    std::string name, extension;
  };
  const std::vector<Case> cases = {
      {"a.txt", ".txt"}, {"dir.x\\file", ""},  {"dir.x/file", ""}, {"a.b.C", ".C"},
      {"file.", "."},    {"dir\\.hidden", ".hidden"}, {"", ""},  {"\x83\x5C.ogg", ".ogg"},
  };
  for (const auto& c : cases) EXPECT_EQ(ExtensionOf(c.name), c.extension) << c.name;
  EXPECT_EQ(HostDirOf("/a/b/c.txt"), "/a/b/");
  EXPECT_EQ(HostDirOf("c.txt"), "");
  EXPECT_EQ(HostBaseName("/a/b/c.txt"), "c.txt");
  EXPECT_EQ(HostBaseName("c.txt"), "c.txt");
  EXPECT_EQ(WithTrailingSlash("/a"), "/a/");
  EXPECT_EQ(WithTrailingSlash("/a/"), "/a/");
  EXPECT_EQ(WithTrailingSlash(""), "");
}

}  // namespace
}  // namespace orin
