// The project file: its version branches, initial variables and folder-disk list, its text form,
// and the install-set text.
#include <gtest/gtest.h>

#include <cmath>

#include "core/cp932.h"
#include "core/endian.h"
#include "core/error.h"
#include "core/extended.h"
#include "core/text.h"
#include "params/custom_param.h"
#include "params/param_collection.h"
#include "resources/install_set.h"
#include "resources/stream.h"
#include "script/project_file.h"
#include "script/project_text.h"
#include "support/byte_builder.h"

namespace orin {
namespace {

using namespace literals;

using test::Bytes;

ProjectFile Sample(int32_t version) {
  ProjectFile p;
  p.Version = version;
  p.Title = "テストゲーム"_sj;
  p.ScreenWidth = 800;
  p.ScreenHeight = 600;
  p.FullScreenWidth = 1024;
  p.FullScreenHeight = 768;
  p.StartPage = "start.osb";
  if (version > 109) p.ExitPage = "exit.osb";
  p.RegistryKey = "Orin\\Test";
  p.ImageCode = 1234;
  if (version > 103) p.SaveEnabled = 0;
  p.FramePacing = version > 105 ? 1 : 0;
  if (version > 108) p.StreamedExtensions = ".ogg";
  p.DiscPrompt = "disc %d";
  p.QuitMessage = "bye";
  ProjectVariable i{1, "score", -5, {}, 0, {}};
  ProjectVariable f{2, "rate", 0, LongDoubleToExtended(2.5L), 0, {}};
  ProjectVariable b{3, "seen", 0, {}, 2, {}};
  ProjectVariable s{4, "名前"_sj, 0, {}, 0, "太郎"_sj};
  p.InitialVariables = {i, f, b, s};
  p.FolderDisks.AddFolder("bgm", 2);
  p.FolderDisks.AddFolder("movie\\op", 3);
  return p;
}

std::string Saved(const ProjectFile& p) {
  MemoryStream s;
  p.SaveToStream(s);
  return std::string(s.View());
}

ProjectFile Loaded(std::string_view bytes) {
  MemoryStream s;
  s.Assign(bytes);
  ProjectFile p;
  EXPECT_TRUE(p.LoadFromStream(s));
  EXPECT_EQ(s.Remaining(), 0);
  return p;
}

class ProjectFile_Versions : public ::testing::TestWithParam<int32_t> {};

TEST_P(ProjectFile_Versions, WrittenReadAndTextRoundTripsAreExact) {
  const ProjectFile p = Sample(GetParam());
  const std::string bytes = Saved(p);
  ProjectFile back = Loaded(bytes);
  EXPECT_EQ(back.Title, p.Title);
  EXPECT_EQ(back.ExitPage, p.ExitPage);
  EXPECT_EQ(back.SaveEnabled, p.SaveEnabled);
  EXPECT_EQ(back.FramePacing, p.FramePacing);
  EXPECT_EQ(back.StreamedExtensions, p.StreamedExtensions);
  ASSERT_EQ(back.InitialVariables.size(), 4u);
  EXPECT_EQ(back.InitialVariables[2].Flag, 2);
  EXPECT_EQ(back.FolderDisks.DiskOf("MOVIE\\OP\\a.mpg"), 3);
  EXPECT_EQ(Saved(back), bytes);

  ProjectFile fromText;
  ProjectFromText(ProjectToText(back), fromText);
  EXPECT_EQ(Saved(fromText), bytes);
}

INSTANTIATE_TEST_SUITE_P(All, ProjectFile_Versions, ::testing::Values(100, 103, 104, 105, 106, 108, 109, 110));

TEST(ProjectFile, Version103KeepsTheDefaultsOfTheFieldsItLacks) {
  Bytes b;
  b.I32(103).Str("T").I32(640).I32(480).I32(640).I32(480).Str("s.osb").Str("key").I32(7);
  b.Str("prompt").Str("quit").I32(0).I32(0);
  ProjectFile p = Loaded(b.Get());
  EXPECT_EQ(p.SaveEnabled, 1);
  EXPECT_EQ(p.FramePacing, 0);
  EXPECT_EQ(p.StreamedExtensions, ".wav.wma.ogg.mid");
  EXPECT_EQ(p.ExitPage, "");
  EXPECT_EQ(p.RegistryKey, "key");
  EXPECT_EQ(p.ImageCode, 7);
  EXPECT_EQ(p.DiscPrompt, "prompt");
  EXPECT_EQ(Saved(p), b.Get());
}

TEST(ProjectFile, TooNewIsNotRead) {
  MemoryStream s;
  s.Assign(Bytes().I32(111).Str("T").Get());
  ProjectFile p;
  p.Title = "kept";
  EXPECT_FALSE(p.LoadFromStream(s));
  EXPECT_EQ(p.Version, 111);
  EXPECT_EQ(p.Title, "kept");
}

TEST(ProjectFile, DamageFailsCleanly) {
  const std::string good = Saved(Sample(110));
  for (size_t cut = 0; cut < good.size(); ++cut) {
    MemoryStream s;
    s.Assign(std::string_view(good).substr(0, cut));
    ProjectFile p;
    EXPECT_THROW(p.LoadFromStream(s), Error) << "cut at " << cut;
  }
  Bytes head;
  head.I32(110).Str("").I32(0).I32(0).I32(0).I32(0).Str("").Str("").Str("").I32(0).U8(1).U8(1);
  head.Str("").Str("").Str("");
  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"a variable type without a value", Bytes(head).I32(1).U8(5).Str("v").I32(0).Get()},
      {"a variable count beyond the data", Bytes(head).I32(0x10000000).Get()},
      {"a negative variable count", Bytes(head).I32(-1).I32(0).Get()},
  };
  for (const Case& c : cases) {
    MemoryStream s;
    s.Assign(c.bytes);
    ProjectFile p;
    EXPECT_THROW(p.LoadFromStream(s), Error) << c.what;
  }
}

TEST(ProjectFile, InitialVariablesNeverReplaceExistingOnes) {
  ProjectFile p = Sample(110);
  TParamCollection vars;
  TParamCollectionItem& kept = vars.AddVariable(kTypeStr, "score");  // e.g. from the status data
  kept.Value->SetAsStr("from status");
  p.ApplyInitialVariables(vars);

  TParamCollectionItem* score = vars.FindVariable("score");
  ASSERT_EQ(score, &kept);
  EXPECT_EQ(score->Value->GetType(), kTypeStr);
  EXPECT_EQ(score->Value->GetAsStr(), "from status");
  EXPECT_FALSE(score->IsPersistent);

  TParamCollectionItem* rate = vars.FindVariable("rate");
  ASSERT_NE(rate, nullptr);
  EXPECT_TRUE(rate->IsPersistent);
  EXPECT_EQ(rate->Value->GetType(), kTypeFloat);
  EXPECT_EQ(rate->Value->GetAsFloat(), 2.5L);
  EXPECT_TRUE(vars.FindVariable("seen")->Value->GetAsFlag());
  EXPECT_EQ(vars.FindVariable("名前"_sj)->Value->GetAsStr(), "太郎"_sj);
}

TEST(ProjectText, FloatsThatDecimalsCannotCarryUseTheirBytes) {
  ProjectFile p = Sample(110);
  Extended nan = LongDoubleToExtended(std::numeric_limits<long double>::quiet_NaN());
  nan[0] = 0x33;
  p.InitialVariables[1].Float = nan;
  std::string text = ProjectToText(p);
  EXPECT_NE(text.find("var float \"rate\" hex{"), std::string::npos) << text;
  EXPECT_NE(text.find("var flag \"seen\" 2\n"), std::string::npos) << text;
  EXPECT_NE(text.find("title \"テストゲーム\"\n"), std::string::npos) << text;
  ProjectFile back;
  ProjectFromText(text, back);
  EXPECT_EQ(Saved(back), Saved(p));
}

TEST(ProjectText, WrittenByHandWithDefaults) {
  ProjectFile p;
  ProjectFromText(
      "# a small game\n"
      "title \"Demo\"\n"
      "start \"start.osb\"\n"
      "var int score 10\n"
      "var float speed 0.25\n"
      "var flag seen TRUE\n"
      "folder \"bgm\" 2\n",
      p);
  EXPECT_EQ(p.Version, 110);
  EXPECT_EQ(p.ScreenWidth, 640);
  EXPECT_EQ(p.SaveEnabled, 1);
  EXPECT_EQ(p.FramePacing, 1);
  EXPECT_EQ(p.DiscPrompt, "ディスク%dを入れてから[OK]をクリックしてください"_sj);
  EXPECT_EQ(p.QuitMessage, "終了します"_sj);
  ASSERT_EQ(p.InitialVariables.size(), 3u);
  EXPECT_EQ(ExtendedToLongDouble(p.InitialVariables[1].Float.data()), 0.25L);
  EXPECT_EQ(p.InitialVariables[2].Flag, 1);
  EXPECT_EQ(p.FolderDisks.DiskOf("bgm\\a.ogg"), 2);
}

TEST(ProjectText, ErrorsNameTheLine) {
  struct Case {
    const char* text;
    const char* message;
  } cases[] = {
      {"version 109\nexit \"e.osb\"", "line 2: exit needs version 110 or later"},
      {"version 105\npacing 1", "line 2: pacing needs version 106 or later"},
      {"title \"a\"\ntitle \"b\"", "line 2: title is given twice"},
      {"screen 640", "line 1: screen takes 2 values"},
      {"colour 3", "line 1: unknown setting 'colour'"},
      {"var list x 1", "line 1: unknown variable type 'list'"},
      {"var float x abc", "line 1: 'abc' is not a float"},
      {"var int x 99999999999", "line 1: the value must be between"},
      {"save=1", "line 1: settings take plain values"},
  };
  for (const Case& c : cases) {
    ProjectFile p;
    try {
      ProjectFromText(c.text, p);
      ADD_FAILURE() << "no error for: " << c.text;
    } catch (const Error& e) {
      std::string message = ToUtf8(e.Message());
      EXPECT_EQ(message.rfind(c.message, 0), 0u) << c.text << "\n  gave: " << message;
    }
  }
}

TEST(InstallText, WritesWhatThePlayerUsesAndEmptyInstallerFields) {
  TOrinInstallSet set;
  InstallSetFromText("identifier \"ゲーム\"\ndisc 1\nfullinstall 1\n", set);
  MemoryStream s;
  set.SaveToStream(s);
  s.SetPosition(0);
  TOrinInstallSet back;
  back.LoadFromStream(s);
  EXPECT_EQ(back.Version, 107);
  EXPECT_EQ(back.Title, "ゲーム"_sj);
  EXPECT_EQ(back.DiscIndex, 1);
  EXPECT_EQ(back.FullInstall, 1);
  EXPECT_TRUE(back.Text1.empty());
  EXPECT_TRUE(back.Entries.empty());
  EXPECT_TRUE(back.FileList.empty());
  EXPECT_EQ(back.Values[0], 0);
  EXPECT_EQ(InstallSetToText(back), "identifier \"ゲーム\"\ndisc 1\nfullinstall 1\n");
  EXPECT_THROW(InstallSetFromText("identifier \"a\"\ntitle \"b\"\n", set), Error);
}

}  // namespace
}  // namespace orin
