// These tests rely on the IPA fonts that scripts/setup.sh installs, and on nothing else of the
// machine's fonts.
#include "imaging/font_finder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/cp932.h"
#include "core/text.h"
#include "support/test_support.h"

namespace orin {
namespace {

using namespace literals;

FontFinder& Finder() {
  static FontFinder finder;
  return finder;
}

TEST(FontFinder, WindowsFacesMapToTheirStandIns) {
  struct Case {
    std::string name;
    const char* family;
  } cases[] = {
      {"ＭＳ ゴシック"_sj, "IPAGothic"}, {"ＭＳ Ｐゴシック"_sj, "IPAPGothic"}, {"ＭＳ 明朝"_sj, "IPAMincho"},
      {"ＭＳ Ｐ明朝"_sj, "IPAPMincho"},  {"ms gothic", "IPAGothic"},         {"MS PMincho", "IPAPMincho"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.family);
    const FontChoice& choice = Finder().Find(c.name);
    EXPECT_EQ(choice.Family, c.family);
    EXPECT_EQ(choice.How, FontMatch::kStandIn);
    EXPECT_TRUE(choice.StandIn());
    ASSERT_FALSE(choice.Faces.empty());
    EXPECT_NE(choice.Faces.front()->File.find("ipa"), std::string::npos);
  }
}

TEST(FontFinder, InstalledFamiliesByAnyOfTheirNames) {
  for (const std::string& name : {std::string("IPAMincho"), std::string("ipamincho"), "IPA明朝"_sj}) {
    const FontChoice& choice = Finder().Find(name);
    EXPECT_EQ(choice.Family, "IPAMincho");
    EXPECT_EQ(choice.How, FontMatch::kInstalled);
    EXPECT_FALSE(choice.StandIn());
  }
}

TEST(FontFinder, UnknownAndVerticalNamesDrawInTheDefaultStandIn) {
  for (const std::string& name : {std::string("No Such Face 12345"), "@ＭＳ ゴシック"_sj, "@IPAMincho"_sj,
                                  std::string(), std::string("\x85\x40")}) {
    const FontChoice& choice = Finder().Find(name);
    EXPECT_EQ(choice.Family, "IPAGothic");
    EXPECT_EQ(choice.How, FontMatch::kDefaultStandIn);
  }
}

TEST(FontFinder, AnswersAreKeptPerName) {
  const FontChoice& a = Finder().Find("ＭＳ 明朝"_sj);
  EXPECT_EQ(&a, &Finder().Find("ＭＳ 明朝"_sj));
}

TEST(FontFinder, ExtraFolderComesFirst) {
  test::TempDir dir;
  const FontChoice& system = Finder().Find("IPAPGothic");
  ASSERT_FALSE(system.Faces.empty());
  test::WriteHostFile(dir / "copy.ttf", test::ReadHostFile(system.Faces.front()->File));
  FontFinder finder(dir.Path());
  const FontChoice& choice = finder.Find("IPAPGothic");
  EXPECT_EQ(choice.How, FontMatch::kFontDir);
  ASSERT_FALSE(choice.Faces.empty());
  EXPECT_TRUE(choice.Faces.front()->FromFontDir);
  EXPECT_NE(choice.Faces.front()->File.find("copy.ttf"), std::string::npos);
  // A Windows name still finds its stand-in when the folder has no face of that name.
  EXPECT_EQ(finder.Find("ＭＳ Ｐゴシック"_sj).How, FontMatch::kStandIn);
}

TEST(FontFinder, StylesTheFamilyLacksAreSynthesised) {
  const FontChoice& choice = Finder().Find("ＭＳ ゴシック"_sj);
  struct Case {
    bool bold, italic;
  } cases[] = {{false, false}, {true, false}, {false, true}, {true, true}};
  for (const Case& c : cases) {
    const StyledFace s = FontFinder::PickFace(choice, c.bold, c.italic);
    ASSERT_NE(s.Face, nullptr);
    EXPECT_EQ(s.SynthesizeBold, c.bold);
    EXPECT_EQ(s.SynthesizeItalic, c.italic);
  }
  // A family with a bold and an italic face of its own picks them.
  FontFaceInfo regular, bold, italic;
  bold.Weight = 200;
  italic.Slant = 100;
  FontChoice own;
  own.Faces = {&regular, &bold, &italic};
  EXPECT_EQ(FontFinder::PickFace(own, true, false).Face, &bold);
  EXPECT_FALSE(FontFinder::PickFace(own, true, false).SynthesizeBold);
  EXPECT_EQ(FontFinder::PickFace(own, false, true).Face, &italic);
  EXPECT_EQ(FontFinder::PickFace(own, false, false).Face, &regular);
  const StyledFace both = FontFinder::PickFace(own, true, true);
  EXPECT_EQ(both.Face, &italic);
  EXPECT_TRUE(both.SynthesizeBold);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t from = 0;
  while (true) {
    size_t at = FindText(text, "\r\n", from);
    lines.push_back(text.substr(from, at == std::string::npos ? std::string::npos : at - from));
    if (at == std::string::npos) break;
    from = at + 2;
  }
  return lines;
}

bool Contains(const std::vector<std::string>& lines, const std::string& name) {
  for (const auto& l : lines)
    if (l == name) return true;
  return false;
}

TEST(InstalledFontNames, ListsFamiliesAndWindowsNamesOnce) {
  const std::string all = InstalledFontNames(Finder(), false);
  ASSERT_FALSE(all.empty());
  EXPECT_NE(all.substr(all.size() - 1), "\n");
  const auto lines = Lines(all);
  for (const std::string& name : {"ＭＳ ゴシック"_sj, "ＭＳ Ｐゴシック"_sj, "ＭＳ 明朝"_sj, "ＭＳ Ｐ明朝"_sj,
                                   "IPAゴシック"_sj, "IPA P明朝"_sj})
    EXPECT_TRUE(Contains(lines, name)) << ToUtf8(name);
  // The English name of a face with a Japanese one is not listed again.
  EXPECT_FALSE(Contains(lines, "IPAGothic"));
  EXPECT_FALSE(Contains(lines, "MS Gothic"));
  for (size_t i = 1; i < lines.size(); ++i) {
    EXPECT_LT(CompareText(lines[i - 1], lines[i]), 0) << ToUtf8(lines[i]);
    EXPECT_FALSE(lines[i].empty());
  }
}

TEST(InstalledFontNames, FixedPitchOnly) {
  const auto lines = Lines(InstalledFontNames(Finder(), true));
  EXPECT_TRUE(Contains(lines, "ＭＳ ゴシック"_sj));
  EXPECT_TRUE(Contains(lines, "ＭＳ 明朝"_sj));
  EXPECT_TRUE(Contains(lines, "IPAゴシック"_sj));
  EXPECT_FALSE(Contains(lines, "ＭＳ Ｐゴシック"_sj));
  EXPECT_FALSE(Contains(lines, "IPA Pゴシック"_sj));
}

}  // namespace
}  // namespace orin
