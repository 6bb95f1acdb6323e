// orintool page, project and install, run as a user runs them.
#include <gtest/gtest.h>

#include <filesystem>

#include "run_program.h"
#include "script/script_test_support.h"
#include "support/test_support.h"

namespace orin {
namespace {

using test::Exits;
using test::RunOrintool;

const char* const kPageText =
    "page version=110 return=int\n"
    "propset ImgNew name file left\n"
    "\n"
    "VarNew name=\"i\" type=int value={0}\n"
    "loop:\n"
    "While {i < 3} exit=@done\n"
    "  Calc {i = i + 1} chain\n"
    "  ImgNew\n"
    "      name={\"bg\" ++ i}\n"
    "      file={\"bg\\\\back.mur\"}\n"
    "      left={i * 10}\n"
    "  Jump page=\"start.osb\" target=@loop cond={TRUE}\n"
    "WhileLoop {} start=@loop\n"
    "done:\n"
    "Comment \"日本語\"\n";

TEST(OrintoolPage, AsmDisAsmGivesTheSameBytes) {
  test::TempDir dir;
  std::string text = dir.Write("start.txt", kPageText);
  auto a = RunOrintool({"page", "asm", text, "-o", dir / "start.osb"});
  ASSERT_TRUE(Exits(a, 0));
  EXPECT_FALSE(std::filesystem::exists(dir / "start.osb.partial"));

  auto d = RunOrintool({"page", "dis", dir / "start.osb"});
  ASSERT_TRUE(Exits(d, 0));
  EXPECT_EQ(d.err, "");
  EXPECT_NE(d.out.find("Jump page=\"start.osb\" target=@L1"), std::string::npos) << d.out;
  EXPECT_NE(d.out.find("Comment \"日本語\""), std::string::npos) << d.out;

  dir.Write("back.txt", d.out);
  auto again = RunOrintool({"page", "asm", dir / "back.txt", "-o", dir / "back.osb"});
  ASSERT_TRUE(Exits(again, 0));
  EXPECT_EQ(test::ReadHostFile(dir / "back.osb"), test::ReadHostFile(dir / "start.osb"));
}

TEST(OrintoolPage, EveryKindPageSurvivesDisAndAsm) {
  test::TempDir dir;
  TPage page;
  test::BuildEveryKindPage(page, 107);
  const std::string bytes = test::PageBytes(page);
  dir.Write("every.osb", bytes);
  auto d = RunOrintool({"page", "dis", dir / "every.osb", "-o", dir / "every.txt"});
  ASSERT_TRUE(Exits(d, 0));
  auto a = RunOrintool({"page", "asm", dir / "every.txt", "-o", dir / "back.osb"});
  ASSERT_TRUE(Exits(a, 0));
  EXPECT_EQ(test::ReadHostFile(dir / "back.osb"), bytes);
}

TEST(OrintoolPage, BadInputFailsWithALineAndWritesNothing) {
  test::TempDir dir;
  std::string text = dir.Write("bad.txt", "Calc {1}\nIf {x >}\n");
  auto r = RunOrintool({"page", "asm", text, "-o", dir / "bad.osb"});
  EXPECT_TRUE(Exits(r, 1, "bad.txt: line 2: the expression {x >} does not compile"));
  EXPECT_FALSE(std::filesystem::exists(dir / "bad.osb"));
  EXPECT_FALSE(std::filesystem::exists(dir / "bad.osb.partial"));

  dir.Write("new.osb", std::string("\x6f\x00\x00\x00", 4));  // version 111
  auto tooNew = RunOrintool({"page", "dis", dir / "new.osb"});
  EXPECT_TRUE(Exits(tooNew, 1, "newer than 110"));

  dir.Write("cut.osb", std::string("\x6e\x00\x00\x00\x01", 5));
  EXPECT_TRUE(Exits(RunOrintool({"page", "dis", dir / "cut.osb"}), 1));
  EXPECT_TRUE(Exits(RunOrintool({"page", "dis", dir / "missing.osb"}), 1));
}


TEST(OrintoolPage, PatchBuildsEveryTextUnderItsNameAndWritesNothingOnAMistake) {
  test::TempDir dir;
  dir.Write("text/start.txt", "Wait id=1\n");
  dir.Write("text/scn/一章.txt", "Wait id=2\n");
  dir.Write("text/notes.md", "not a page");
  ASSERT_TRUE(Exits(RunOrintool({"page", "patch", dir / "text", "-o", dir / "patch"}), 0, "", "2 pages"));
  EXPECT_TRUE(std::filesystem::is_regular_file(dir / "patch/start.osb"));
  EXPECT_TRUE(std::filesystem::is_regular_file(dir / "patch/scn/一章.osb"));
  EXPECT_FALSE(std::filesystem::exists(dir / "patch/notes.osb"));
  auto dis = RunOrintool({"page", "dis", dir / "patch/scn/一章.osb"});
  EXPECT_NE(dis.out.find("id=2"), std::string::npos) << dis.out;

  dir.Write("text/zz-broken.txt", "NoSuchCommand id=3\n");
  std::filesystem::remove(dir / "patch/start.osb");
  EXPECT_TRUE(Exits(RunOrintool({"page", "patch", dir / "text", "-o", dir / "patch"}), 1, "zz-broken.txt"));
  EXPECT_FALSE(std::filesystem::exists(dir / "patch/start.osb"));
  EXPECT_TRUE(Exits(RunOrintool({"page", "patch", dir / "none", "-o", dir / "patch"}), 1, "not a folder"));
  EXPECT_TRUE(Exits(RunOrintool({"page", "patch", dir / "text"}), 2, "needs -o"));
}
TEST(OrintoolPage, UsageErrors) {
  EXPECT_TRUE(Exits(RunOrintool({"page"}), 2));
  EXPECT_TRUE(Exits(RunOrintool({"page", "frob", "x"}), 2));
  EXPECT_TRUE(Exits(RunOrintool({"page", "asm", "x.txt"}), 2)) << "no -o";
  EXPECT_TRUE(Exits(RunOrintool({"project", "asm", "x.txt"}), 2));
  EXPECT_TRUE(Exits(RunOrintool({"install", "asm", "x.txt"}), 2));
}

TEST(OrintoolProject, AsmDisAsmGivesTheSameBytes) {
  test::TempDir dir;
  std::string text = dir.Write("project.txt",
                               "version 110\ntitle \"ゲーム\"\nscreen 800 600\nstart \"start.osb\"\n"
                               "var int score 0\nvar float rate 0.1\nfolder \"bgm\" 2\n");
  auto a = RunOrintool({"project", "asm", text, "-o", dir / "orin.opb"});
  ASSERT_TRUE(Exits(a, 0));
  auto d = RunOrintool({"project", "dis", dir / "orin.opb"});
  ASSERT_TRUE(Exits(d, 0));
  EXPECT_EQ(d.err, "");
  EXPECT_NE(d.out.find("title \"ゲーム\"\n"), std::string::npos) << d.out;
  EXPECT_NE(d.out.find("var float \"rate\" 0.1\n"), std::string::npos) << d.out;
  dir.Write("back.txt", d.out);
  ASSERT_TRUE(Exits(RunOrintool({"project", "asm", dir / "back.txt", "-o", dir / "back.opb"}), 0));
  EXPECT_EQ(test::ReadHostFile(dir / "back.opb"), test::ReadHostFile(dir / "orin.opb"));

  dir.Write("old.txt", "version 108\nstreamed \".ogg\"\n");
  auto old = RunOrintool({"project", "asm", dir / "old.txt", "-o", dir / "old.opb"});
  EXPECT_TRUE(Exits(old, 1, "line 2: streamed needs version 109 or later"));
}

TEST(OrintoolInstall, AsmWritesAnInstallSetThatDisShows) {
  test::TempDir dir;
  std::string text = dir.Write("install.txt", "identifier \"GAME-01\"\ndisc 0\nfullinstall 1\n");
  auto a = RunOrintool({"install", "asm", text, "-o", dir / "install.dat"});
  ASSERT_TRUE(Exits(a, 0));
  EXPECT_EQ(test::ReadHostFile(dir / "install.dat").substr(0, 5), "is107");
  auto d = RunOrintool({"install", "dis", dir / "install.dat"});
  ASSERT_TRUE(Exits(d, 0));
  EXPECT_EQ(d.out, "identifier \"GAME-01\"\ndisc 0\nfullinstall 1\n");
}

// The complete examples of the documentation: every code block that begins with a comment.
std::vector<std::string> DocExamples(const std::string& file) {
  std::string doc = test::ReadHostFile(std::string(DOCS_DIR) + "/" + file);
  std::vector<std::string> blocks;
  for (size_t at = 0; (at = doc.find("```\n", at)) != std::string::npos;) {
    size_t end = doc.find("```", at + 4);
    std::string block = doc.substr(at + 4, end - at - 4);
    if (block.rfind("# ", 0) == 0) blocks.push_back(block);
    at = end + 3;
  }
  return blocks;
}

TEST(OrintoolDocs, TheExamplesAssembleAndComeBack) {
  test::TempDir dir;
  struct Case {
    const char* doc;
    size_t index;
    const char* command;
  } cases[] = {{"page-text.md", 0, "page"}, {"project-text.md", 0, "project"}, {"project-text.md", 1, "install"}};
  for (const Case& c : cases) {
    std::vector<std::string> examples = DocExamples(c.doc);
    ASSERT_GT(examples.size(), c.index) << c.doc;
    std::string text = dir.Write("example.txt", examples[c.index]);
    auto a = RunOrintool({c.command, "asm", text, "-o", dir / "example.bin"});
    ASSERT_TRUE(Exits(a, 0)) << c.doc << ": ";
    auto d = RunOrintool({c.command, "dis", dir / "example.bin", "-o", dir / "back.txt"});
    ASSERT_TRUE(Exits(d, 0)) << c.doc << ": ";
    EXPECT_EQ(d.err, "");
    auto again = RunOrintool({c.command, "asm", dir / "back.txt", "-o", dir / "back.bin"});
    ASSERT_TRUE(Exits(again, 0));
    EXPECT_EQ(test::ReadHostFile(dir / "back.bin"), test::ReadHostFile(dir / "example.bin")) << c.doc;
  }
}

}  // namespace
}  // namespace orin
