// orintool arc, run as a user runs it: pack a folder, list, verify, extract, wrap into a program.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "run_program.h"
#include "support/test_support.h"

namespace orin {
namespace {

using test::Exits;
using test::RunOrintool;

// A small game folder: a script, a Japanese-named picture that does not compress, a sound that
// stays stored because it is streamed.
struct GameFolder {
  test::TempDir dir;
  std::string src;
  GameFolder() {
    dir.Write("src/script.txt", test::PatternBytes(5000));
    dir.Write("src/bg/部屋.png", test::NoiseBytes(3000));
    dir.Write("src/se/Click.WAV", std::string(2000, '\0'));
    src = dir / "src";
  }
};

TEST(OrintoolArc, PackListVerifyExtractRoundTrip) {
  GameFolder g;
  const std::string archive = g.dir / "game.dat";
  auto pack = RunOrintool({"arc", "pack", g.src, archive});
  ASSERT_TRUE(Exits(pack, 0));
  EXPECT_FALSE(std::filesystem::exists(archive + ".partial"));

  auto list = RunOrintool({"arc", "list", archive});
  ASSERT_TRUE(Exits(list, 0));
  // Sorted by name bytes; tab-separated name, size, stored, crc, crc-uncompressed, time.
  std::vector<std::string> lines;
  for (size_t start = 0, nl; (nl = list.out.find('\n', start)) != std::string::npos; start = nl + 1)
    lines.push_back(list.out.substr(start, nl - start));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].substr(0, lines[0].find('\t')), "bg\\部屋.png");
  EXPECT_NE(lines[0].find("\t3000\t1\t"), std::string::npos) << "noise is stored: " << lines[0];
  EXPECT_EQ(lines[1].substr(0, lines[1].find('\t')), "script.txt");
  EXPECT_NE(lines[1].find("\t0\t"), std::string::npos) << "text is compressed: " << lines[1];
  EXPECT_NE(lines[2].find("se\\Click.WAV\t2000\t1\t"), std::string::npos) << "media stay stored: " << lines[2];

  auto json = RunOrintool({"arc", "list", "--json", archive});
  ASSERT_TRUE(Exits(json, 0));
  EXPECT_NE(json.out.find("{\"name\": \"bg\\\\部屋.png\", \"size\": 3000, \"stored\": true"), std::string::npos)
      << json.out;

  auto verify = RunOrintool({"arc", "verify", archive});
  EXPECT_TRUE(Exits(verify, 0));

  auto extract = RunOrintool({"arc", "extract", archive, g.dir / "out"});
  ASSERT_TRUE(Exits(extract, 0));
  EXPECT_EQ(extract.out, "");
  for (const char* name : {"script.txt", "bg/部屋.png", "se/Click.WAV"})
    EXPECT_EQ(test::ReadHostFile(g.dir / (std::string("out/") + name)),
              test::ReadHostFile(g.dir / (std::string("src/") + name)))
        << name;

  // Extracted files keep their times, so packing them again gives the same archive.
  auto repack = RunOrintool({"arc", "pack", g.dir / "out", g.dir / "again.dat"});
  ASSERT_TRUE(Exits(repack, 0));
  EXPECT_EQ(test::ReadHostFile(g.dir / "again.dat"), test::ReadHostFile(archive));
}

TEST(OrintoolArc, ExtractNamedEntriesCaseInsensitively) {
  GameFolder g;
  const std::string archive = g.dir / "game.dat";
  ASSERT_TRUE(Exits(RunOrintool({"arc", "pack", g.src, archive}), 0));
  auto r = RunOrintool({"arc", "extract", archive, g.dir / "out", "SE\\click.wav", "se\\Click.WAV"});
  ASSERT_TRUE(Exits(r, 0));
  EXPECT_TRUE(std::filesystem::exists(g.dir / "out/se/Click.WAV"));
  EXPECT_FALSE(std::filesystem::exists(g.dir / "out/script.txt"));

  auto missing = RunOrintool({"arc", "extract", archive, g.dir / "out2", "script.txt", "nothing.txt"});
  EXPECT_TRUE(Exits(missing, 1, "nothing.txt"));
  EXPECT_FALSE(std::filesystem::exists(g.dir / "out2/script.txt")) << "nothing is written when a name is missing";
}

TEST(OrintoolArc, OlderVersionsAndUncompressedCrcs) {
  GameFolder g;
  for (const char* version : {"100", "101", "102"}) {
    const std::string archive = g.dir / (std::string("v") + version + ".dat");
    auto pack = RunOrintool({"arc", "pack", "--version", version, "--crc-uncompressed", g.src, archive});
    ASSERT_TRUE(Exits(pack, 0)) << version;
    auto verify = RunOrintool({"arc", "verify", archive});
    EXPECT_TRUE(Exits(verify, 0)) << version;
    auto list = RunOrintool({"arc", "list", archive});
    // Version 100 has no stored flags: everything is compressed there.
    EXPECT_EQ(list.out.find("\t1\t") == std::string::npos, std::string(version) == "100") << version << list.out;
  }
}

TEST(OrintoolArc, ProgramWithTrailer) {
  GameFolder g;
  const std::string archive = g.dir / "game.dat";
  ASSERT_TRUE(Exits(RunOrintool({"arc", "pack", g.src, archive}), 0));
  const std::string program = g.dir.Write("player.exe", "MZ" + test::NoiseBytes(1000));
  auto exe = RunOrintool({"arc", "exe", program, archive, g.dir / "game.exe"});
  ASSERT_TRUE(Exits(exe, 0));
  std::string bytes = test::ReadHostFile(g.dir / "game.exe");
  EXPECT_EQ(bytes.substr(bytes.size() - 2), "qz");
  auto list = RunOrintool({"arc", "list", g.dir / "game.exe"});
  EXPECT_TRUE(Exits(list, 0));
  EXPECT_EQ(list.out, RunOrintool({"arc", "list", archive}).out);
  EXPECT_TRUE(Exits(RunOrintool({"arc", "verify", g.dir / "game.exe"}), 0));

  auto plain = RunOrintool({"arc", "list", program});
  EXPECT_TRUE(Exits(plain, 1, "carries no archive"));
}

TEST(OrintoolArc, VerifyReportsDamage) {
  GameFolder g;
  const std::string archive = g.dir / "game.dat";
  ASSERT_TRUE(Exits(RunOrintool({"arc", "pack", g.src, archive}), 0));
  std::string bytes = test::ReadHostFile(archive);
  bytes[bytes.size() - 1000] ^= 0x55;  // inside the stored sound at the end
  test::WriteHostFile(archive, bytes);
  auto r = RunOrintool({"arc", "verify", archive});
  EXPECT_TRUE(Exits(r, 1, "", "se\\Click.WAV: CRC mismatch"));
}

TEST(OrintoolArc, ErrorsAndUsage) {
  test::TempDir dir;
  struct Case {
    std::vector<std::string> args;
    int exitCode;
    const char* inErr;
  };
  const std::string garbage = dir.Write("garbage.dat", "vf\x66\x00\x00\x00\xff\xff\xff\x7f");
  const Case cases[] = {
      {{"arc"}, 2, "missing subcommand"},
      {{"arc", "frobnicate"}, 2, "unknown subcommand"},
      {{"arc", "list"}, 2, "missing arguments"},
      {{"arc", "list", "--bogus", garbage}, 2, "unknown option"},
      {{"arc", "pack", "--version", "103", dir.Path(), dir / "x.dat"}, 2, "--version"},
      {{"arc", "list", dir / "missing.dat"}, 1, "no such file"},
      {{"arc", "list", garbage}, 1, "damaged archive"},
      {{"arc", "pack", dir / "missing", dir / "x.dat"}, 1, "no such folder"},
      {{"nosuchcommand"}, 2, "unknown command"},
  };
  for (const auto& c : cases) {
    auto r = RunOrintool(c.args);
    EXPECT_TRUE(Exits(r, c.exitCode, c.inErr)) << c.args.back();
  }
}

TEST(OrintoolArc, ExtractRefusesNamesThatLeaveTheFolder) {
  test::TempDir dir;
  // An archive whose entry is named "..\evil.txt", made by packing and renaming in the index.
  dir.Write("src/aa/evil.txt", "x");
  ASSERT_TRUE(Exits(RunOrintool({"arc", "pack", "--version", "0", dir / "src", dir / "a.dat"}), 0));
  std::string bytes = test::ReadHostFile(dir / "a.dat");
  size_t at = bytes.find("aa\\evil.txt");
  ASSERT_NE(at, std::string::npos);
  bytes.replace(at, 2, "..");
  test::WriteHostFile(dir / "a.dat", bytes);
  auto r = RunOrintool({"arc", "extract", dir / "a.dat", dir / "out"});
  EXPECT_TRUE(Exits(r, 1, "leaves the target folder"));
  EXPECT_FALSE(std::filesystem::exists(dir / "evil.txt"));
}


// The names of an archive's entries, from its listing.
std::vector<std::string> EntryNames(const std::string& archive) {
  std::vector<std::string> names;
  const auto list = RunOrintool({"arc", "list", archive});
  EXPECT_TRUE(Exits(list, 0));
  for (size_t start = 0, nl; (nl = list.out.find('\n', start)) != std::string::npos; start = nl + 1)
    names.push_back(list.out.substr(start, list.out.find('\t', start) - start));
  return names;
}

TEST(OrintoolArc, PackStoresLinksToFilesUnderTheirOwnNames) {
  test::TempDir dir;
  dir.Write("src/data/x.txt", "inside");
  dir.Write("outside/y.txt", "outside");
  std::filesystem::create_directories(dir / "src/other");
  std::filesystem::create_symlink("../data/x.txt", dir / "src/other/alias.txt");
  std::filesystem::create_symlink("../../outside/y.txt", dir / "src/other/far.txt");
  ASSERT_TRUE(Exits(RunOrintool({"arc", "pack", dir / "src", dir / "a.dat"}), 0));
  EXPECT_EQ(EntryNames(dir / "a.dat"),
            (std::vector<std::string>{"data\\x.txt", "other\\alias.txt", "other\\far.txt"}));
  ASSERT_TRUE(Exits(RunOrintool({"arc", "extract", dir / "a.dat", dir / "out"}), 0));
  EXPECT_EQ(test::ReadHostFile(dir / "out/other/alias.txt"), "inside");
  EXPECT_EQ(test::ReadHostFile(dir / "out/other/far.txt"), "outside");
  EXPECT_FALSE(std::filesystem::is_symlink(dir / "out/other/alias.txt"));
}

TEST(OrintoolArc, PackRefusesLinksToFoldersAndToNothing) {
  struct Case {
    const char* target;
    const char* inErr;
  };
  const Case cases[] = {
      {"data", "a link to a folder"},
      {"data/missing.txt", "a link to something that does not exist"},
  };
  for (const Case& c : cases) {
    test::TempDir dir;
    dir.Write("src/data/x.txt", "x");
    std::filesystem::create_symlink(c.target, dir / "src/link");
    EXPECT_TRUE(Exits(RunOrintool({"arc", "pack", dir / "src", dir / "a.dat"}), 1, c.inErr)) << c.target;
    EXPECT_FALSE(std::filesystem::exists(dir / "a.dat")) << c.target;
  }
}

// An archive of version 0 (its index holds the names as they are) of files named by the first of
// each pair, whose entries the test then renames to the second.
std::string PackAndRename(const test::TempDir& dir, const std::vector<std::pair<std::string, std::string>>& renames) {
  for (const auto& [from, to] : renames) dir.Write("src/" + from, "content of " + from);
  EXPECT_TRUE(Exits(RunOrintool({"arc", "pack", "--version", "0", dir / "src", dir / "a.dat"}), 0));
  std::string bytes = test::ReadHostFile(dir / "a.dat");
  for (const auto& [from, to] : renames) {
    std::string stored = from;
    std::replace(stored.begin(), stored.end(), '/', '\\');
    const size_t at = bytes.find(stored);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) bytes.replace(at, from.size(), to);
  }
  test::WriteHostFile(dir / "a.dat", bytes);
  return dir / "a.dat";
}

TEST(OrintoolArc, ExtractRefusesNamesWithANulByteAndNamesThatMeet) {
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, std::string>> renames;
    const char* inErr;
  };
  const Case cases[] = {
      {"nul", {{"xa.txt", std::string("x\0.txt", 6)}, {"xb.txt", std::string("x\0.txt", 6)}},
       "x\\0.txt: the entry name holds a NUL byte"},
      {"separators", {{"d/a.txt", "d/a.txt"}, {"d_a.txt", "d/a.txt"}}, "extracted to the same file"},
  };
  for (const Case& c : cases) {
    test::TempDir dir;
    const std::string archive = PackAndRename(dir, c.renames);
    EXPECT_TRUE(Exits(RunOrintool({"arc", "extract", archive, dir / "out"}), 1, c.inErr)) << c.what;
    EXPECT_FALSE(std::filesystem::exists(dir / "out")) << c.what;
  }
}

TEST(OrintoolArc, ExtractIsAllOrNothingAndNamesTheDamagedEntry) {
  test::TempDir dir;
  dir.Write("src/a.txt", "first");
  dir.Write("src/b.txt", test::PatternBytes(20000));  // compressed
  const std::string archive = dir / "game.dat";
  ASSERT_TRUE(Exits(RunOrintool({"arc", "pack", dir / "src", archive}), 0));
  // Damage the compressed data of the later entry.
  const auto json = RunOrintool({"arc", "list", "--json", archive});
  const size_t entry = json.out.find("\"b.txt\"");
  ASSERT_NE(entry, std::string::npos) << json.out;
  const size_t offsetAt = json.out.find("\"offset\": ", entry) + 10;
  const size_t offset = std::stoul(json.out.substr(offsetAt));
  std::string bytes = test::ReadHostFile(archive);
  for (size_t i = offset + 2; i < offset + 40; ++i) bytes[i] = static_cast<char>(0xFF);
  test::WriteHostFile(archive, bytes);

  for (const bool existing : {false, true}) {
    const std::string out = dir / (existing ? "existing" : "fresh");
    if (existing) dir.Write(std::string("existing/a.txt"), "kept");
    EXPECT_TRUE(Exits(RunOrintool({"arc", "extract", archive, out}), 1, "b.txt: ")) << out;
    if (existing)
      EXPECT_EQ(test::ReadHostFile(out + "/a.txt"), "kept");
    else
      EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_FALSE(std::filesystem::exists(out + "/b.txt"));
  }
  // Nothing is left beside the destination either.
  for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
    EXPECT_EQ(e.path().filename().string().find(".orintool"), std::string::npos) << e.path();
}

TEST(OrintoolArc, ExtractIntoAnExistingFolderReplacesOnlyItsOwnFiles) {
  GameFolder g;
  const std::string archive = g.dir / "game.dat";
  ASSERT_TRUE(Exits(RunOrintool({"arc", "pack", g.src, archive}), 0));
  g.dir.Write("out/script.txt", "old");
  g.dir.Write("out/mine.txt", "mine");
  ASSERT_TRUE(Exits(RunOrintool({"arc", "extract", archive, g.dir / "out"}), 0));
  EXPECT_EQ(test::ReadHostFile(g.dir / "out/script.txt"), test::ReadHostFile(g.src + "/script.txt"));
  EXPECT_EQ(test::ReadHostFile(g.dir / "out/mine.txt"), "mine");

  // A new folder deep down, and an existing folder reached through a link.
  ASSERT_TRUE(Exits(RunOrintool({"arc", "extract", archive, g.dir / "deep/er/out"}), 0));
  EXPECT_EQ(test::ReadHostFile(g.dir / "deep/er/out/se/Click.WAV"), test::ReadHostFile(g.src + "/se/Click.WAV"));
  std::filesystem::create_symlink("out", g.dir / "linked");
  g.dir.Write("out/script.txt", "old");
  ASSERT_TRUE(Exits(RunOrintool({"arc", "extract", archive, g.dir / "linked"}), 0));
  EXPECT_EQ(test::ReadHostFile(g.dir / "out/script.txt"), test::ReadHostFile(g.src + "/script.txt"));
  for (const char* folder : {"", "out", "deep/er"})
    for (const auto& e : std::filesystem::directory_iterator(g.dir / folder))
      EXPECT_EQ(e.path().filename().string().find(".orintool"), std::string::npos) << e.path();

  // A file where the archive needs a folder stops the extraction before anything moves.
  g.dir.Write("out2/se", "a file");
  EXPECT_TRUE(Exits(RunOrintool({"arc", "extract", archive, g.dir / "out2"}), 1, "in the way"));
  EXPECT_FALSE(std::filesystem::exists(g.dir / "out2/script.txt"));
}

}  // namespace
}  // namespace orin
