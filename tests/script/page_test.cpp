// TPage and the command records: every kind written and read back, the version branches, the
// kind table, and hand-made bytes for the edges of the format.
#include <gtest/gtest.h>

#include "core/endian.h"
#include "core/error.h"
#include "core/text.h"
#include "params/param_collection.h"
#include "resources/file_manager.h"
#include "resources/temp_folder.h"
#include "support/test_support.h"
#include "script/commands_flow.h"
#include "script/commands_object.h"
#include "script/commands_text.h"
#include "script/property_order.h"
#include "script_test_support.h"
#include "support/byte_builder.h"

namespace orin {
namespace {

using namespace literals;
using test::BuildEveryKindPage;
using test::FieldDump;
using test::LoadPageBytes;
using test::PageBytes;

// The byte builder with the records of hand-made pages.
struct Bytes : test::BasicBytes<Bytes> {
  // Version, return type 1 and a kind table of 61 empty records (or the given sets).
  Bytes& Head(int32_t version) { return I32(version).U8(1).I32(61).I32(21).Zeros(61 * 21); }
  // Kind byte and header: indent 0, enabled, not chained, id.
  Bytes& Command(uint8_t kind, int32_t id = 0) { return U8(kind).I32(0).U8(0).U8(0).I32(id); }
  // The expression "____arg = v" with an integer constant.
  Bytes& IntExpr(int32_t v) { return I32(1).U8(1).Str("____arg").I32(1).U8(1).I32(v); }
  Bytes& EmptyExpr() { return I32(0); }
};

const int32_t kVersions[] = {103, 104, 106, 107, 108, 110};

class TPage_EveryKind : public ::testing::TestWithParam<int32_t> {};

TEST_P(TPage_EveryKind, WrittenAndReadBackGivesTheSameFieldsAndBytes) {
  TPage page;
  BuildEveryKindPage(page, GetParam());
  const std::string bytes = PageBytes(page);

  TPage read;
  LoadPageBytes(read, bytes);
  ASSERT_EQ(read.Count(), page.Count());
  EXPECT_EQ(read.Version, GetParam());
  EXPECT_EQ(read.ReturnType, 3);
  EXPECT_EQ(read.PropSets, page.PropSets);
  for (int32_t i = 0; i < page.Count(); ++i) {
    TCommand& a = *page.Commands[static_cast<size_t>(i)];
    TCommand& b = *read.Commands[static_cast<size_t>(i)];
    EXPECT_EQ(b.Page, &read);
    EXPECT_EQ(FieldDump::Of(b), FieldDump::Of(a)) << "command " << i;
  }
  EXPECT_EQ(PageBytes(read), bytes);
}

INSTANTIATE_TEST_SUITE_P(Versions, TPage_EveryKind, ::testing::ValuesIn(kVersions));

// What each version branch adds, measured as the record size difference of one command.
TEST(TPage_Versions, FieldsAppearWithTheirVersions) {
  struct Case {
    ComKind kind;
    int32_t before, after;
    size_t added;  // bytes the field adds when empty
  } cases[] = {
      {ComKind::Wait, 106, 107, 4},      {ComKind::TextIns, 106, 107, 4},
      {ComKind::MovieStop, 106, 107, 4}, {ComKind::Flip, 106, 107, 4},
      {ComKind::GameSave, 104, 105, 4},  {ComKind::PropMotion, 107, 108, 4},
  };
  for (const Case& c : cases) {
    auto size = [&](int32_t version) {
      TPage page;
      page.Version = version;
      page.Add(static_cast<int>(c.kind));
      return PageBytes(page).size();
    };
    EXPECT_EQ(size(c.after) - size(c.before), c.added) << CommandKindName(static_cast<int>(c.kind));
  }
}

TEST(TPage_Versions, GameSaveBeforeVersion105HasNoResumeIndex) {
  TPage page;
  page.Version = 104;
  auto& save = page.Add<TComGameSave>(ComKind::GameSave);
  save.ResumePage = "a.osb";
  save.ResumeIndex = 12;  // not stored in this version
  TPage read;
  LoadPageBytes(read, PageBytes(page));
  auto& back = static_cast<TComGameSave&>(*read.Commands[0]);
  EXPECT_EQ(back.ResumePage, "a.osb");
  EXPECT_EQ(back.ResumeIndex, 0);
}

TEST(TPage_Records, KindByteWithTopBitReadsAsItsKind) {
  Bytes b;
  b.Head(110).I32(1);
  b.Command(0x85, 42).Str("sub.osb").I32(3).Str("r").IntExpr(1).I32(1).IntExpr(9);
  TPage page;
  LoadPageBytes(page, b.Get());
  ASSERT_EQ(page.Count(), 1);
  auto* call = dynamic_cast<TComCall*>(page.Commands[0].get());
  ASSERT_NE(call, nullptr);
  EXPECT_TRUE(call->KindHighBit);
  EXPECT_EQ(call->Id, 42);
  EXPECT_EQ(call->PageName, "sub.osb");
  EXPECT_EQ(call->Target, 3);
  EXPECT_EQ(call->ResultName, "r");
  ASSERT_EQ(call->Arguments.size(), 1u);
  TParamCollection vars;
  EXPECT_EQ(call->Arguments[0].GetInt(vars), 9);
  EXPECT_EQ(PageBytes(page), b.Get()) << "the top bit is written back";
}

TEST(TPage_Records, Version103WaitHasTwoExpressions) {
  Bytes b;
  b.Head(103).I32(2);
  b.Command(7).EmptyExpr().IntExpr(500);
  b.Command(14).IntExpr(1);
  TPage page;
  LoadPageBytes(page, b.Get());
  ASSERT_EQ(page.Count(), 2);
  auto& wait = static_cast<TComWait&>(*page.Commands[0]);
  TParamCollection vars;
  EXPECT_EQ(wait.Duration.GetInt(vars), 500);
  EXPECT_TRUE(wait.NoInterrupt.Empty());
  EXPECT_EQ(page.Commands[1]->Kind(), ComKind::Calc);
  EXPECT_EQ(PageBytes(page), b.Get());
}

TEST(TPage_Records, EmptyPropertySetReadsTheBareHeader) {
  Bytes b;
  b.Head(110).I32(2);
  b.Command(8, 1);  // BoxNew: no property of its kind is in the set
  b.Command(6, 2).IntExpr(1);
  TPage page;
  LoadPageBytes(page, b.Get());
  ASSERT_EQ(page.Count(), 2);
  EXPECT_TRUE(static_cast<TComComponent&>(*page.Commands[0]).Properties.empty());
  EXPECT_EQ(page.Commands[1]->Id, 2);
}

TEST(TPage_Records, PropertiesFollowTheSetOfTheirKindInAscendingOrder) {
  Bytes b;
  b.I32(110).U8(1).I32(61).I32(21);
  for (int k = 0; k < 61; ++k) {
    std::string set(21, '\0');
    if (k == 9) set[0] = 0x09, set[20] = 0x02;  // ImgNew: properties 0, 3 and 161
    b.Raw(set);
  }
  b.I32(1).Command(9).IntExpr(10).IntExpr(30).IntExpr(1610);
  TPage page;
  LoadPageBytes(page, b.Get());
  auto& img = static_cast<TComComponent&>(*page.Commands[0]);
  ASSERT_EQ(img.Properties.size(), 3u);
  TParamCollection vars;
  EXPECT_EQ(img.GetInt(0, vars), 10);
  EXPECT_EQ(img.GetInt(3, vars), 30);
  EXPECT_EQ(img.GetInt(161, vars), 1610);
  EXPECT_EQ(img.Property(5), nullptr);
}

TEST(TPage_Records, KindAbove60FailsWithTheSystemsMessage) {
  Bytes b;
  b.Head(110).I32(2);
  b.Command(14).IntExpr(1);
  b.Command(61);
  TPage page;
  page.Name = "bad.osb";
  try {
    LoadPageBytes(page, b.Get());
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.Message(), "不正なコマンド"_sj);
  }
  EXPECT_EQ(page.Count(), 0) << "a page that fails is not half loaded";
}

TEST(TPage_Records, CutAtEveryPointFailsCleanly) {
  TPage page;
  BuildEveryKindPage(page, 110, 1);
  const std::string bytes = PageBytes(page);
  for (size_t cut = 0; cut < bytes.size(); ++cut) {
    TPage read;
    EXPECT_THROW(LoadPageBytes(read, std::string_view(bytes).substr(0, cut)), Error) << "cut at " << cut;
    EXPECT_EQ(read.Count(), 0);
  }
}

TEST(TPage_Records, CountsBeyondTheDataFailWithoutAllocating) {
  // The message names the page, the command and the field, without the context lines.
  struct Case {
    const char* what;
    std::string bytes;
    const char* message;
  } cases[] = {
      {"negative kind records", Bytes().I32(110).U8(1).I32(-1).I32(21).I32(0).Get(),
       "start.osb: damaged page: the kind table: negative count"},
      {"kind table larger than the file", Bytes().I32(110).U8(1).I32(0x7FFFFFFF).I32(0x7FFFFFFF).Get(),
       "start.osb: damaged page: the kind table: count runs past the end"},
      {"command count beyond the data", Bytes().Head(110).I32(0x7FFFFFFF).Get(),
       "start.osb: damaged page: the commands: count runs past the end"},
      {"call argument count beyond the data",
       Bytes().Head(110).I32(1).Command(5).Str("").I32(0).Str("").EmptyExpr().I32(0x40000000).Get(),
       "start.osb: damaged page: command 0: "},
      {"text data beyond the data", Bytes().Head(110).I32(1).Command(20).I32(0x7FFFFFF0).Get(),
       "start.osb: damaged page: command 0: "},
      {"negative text data length", Bytes().Head(110).I32(1).Command(20).I32(-1).Get(),
       "start.osb: damaged page: command 0: "},
      {"expression operation count beyond the data", Bytes().Head(110).I32(1).Command(14).I32(0x10000000).Get(),
       "start.osb: damaged page: command 0: "},
  };
  for (const Case& c : cases) {
    TPage page;
    page.Name = "start.osb";
    try {
      LoadPageBytes(page, c.bytes);
      ADD_FAILURE() << c.what << ": no error";
    } catch (const Error& e) {
      EXPECT_EQ(e.Message().rfind(c.message, 0), 0u) << c.what << ": " << e.Message();
    }
  }
}

class RecordingMessages : public PageMessages {
 public:
  std::vector<std::string> texts;
  void RebuildRequired(const std::string& text) override { texts.push_back(text); }
};

TEST(TPage_Versions, TooNewIsEmptyAndTooOldAsksForARebuild) {
  RecordingMessages messages;
  TPage page;
  page.Name = "old.osb";
  MemoryStream newer;
  newer.Assign(Bytes().Head(111).I32(1).Command(14).IntExpr(1).Get());
  EXPECT_EQ(page.LoadFromStream(newer, &messages), PageLoadResult::kTooNew);
  EXPECT_EQ(page.Count(), 0);
  EXPECT_TRUE(messages.texts.empty());

  MemoryStream old;
  old.Assign(Bytes().Head(102).I32(1).Command(14).IntExpr(1).Get());
  EXPECT_EQ(page.LoadFromStream(old, &messages), PageLoadResult::kTooOld);
  EXPECT_EQ(page.Count(), 0);
  ASSERT_EQ(messages.texts.size(), 1u);
  EXPECT_EQ(messages.texts[0], "old.osb\r\n" + "リビルドしてください"_sj);

  MemoryStream oldest;
  oldest.Assign(Bytes().I32(103).Get());  // the oldest readable version, cut short
  EXPECT_THROW(page.LoadFromStream(oldest, &messages), Error);
}

TEST(TPage_KindTable, SurplusBytesAndRecordsAreKeptAndOnlyTheSetIsUsed) {
  // 63 records of 24 bytes: the last three bytes of each and the two extra records hold junk.
  Bytes b;
  b.I32(110).U8(2).I32(63).I32(24);
  for (int k = 0; k < 63; ++k) {
    std::string record(24, '\0');
    if (k == 14) record[0] = 0x01;  // Calc: property 0 (ignored: Calc has no property record)
    if (k == 9) record[0] = 0x01;   // ImgNew: property 0
    record[22] = static_cast<char>(k);
    b.Raw(record);
  }
  b.I32(1).Command(9).IntExpr(5);
  TPage page;
  LoadPageBytes(page, b.Get());
  EXPECT_TRUE(page.PropSets[9].Test(0));
  EXPECT_FALSE(page.PropSets[9].Test(22 * 8 + 1));
  ASSERT_EQ(page.Count(), 1);
  EXPECT_EQ(static_cast<TComComponent&>(*page.Commands[0]).Properties.size(), 1u);
  EXPECT_EQ(page.KindRecordCount, 63);
  EXPECT_EQ(page.KindRecordLength, 24);
  EXPECT_EQ(PageBytes(page), b.Get());
}

TEST(TPage_KindTable, ShortRecordsFillTheStartOfTheSet) {
  Bytes b;
  b.I32(110).U8(1).I32(10).I32(2);
  for (int k = 0; k < 10; ++k) b.U8(k == 9 ? 0x04 : 0).U8(k == 9 ? 0x01 : 0);  // ImgNew: 2 and 8
  b.I32(1).Command(9).IntExpr(2).IntExpr(8);
  TPage page;
  LoadPageBytes(page, b.Get());
  auto& img = static_cast<TComComponent&>(*page.Commands[0]);
  ASSERT_EQ(img.Properties.size(), 2u);
  EXPECT_EQ(img.Properties[0].Number, 2);
  EXPECT_EQ(img.Properties[1].Number, 8);
  EXPECT_EQ(PageBytes(page), b.Get());

  page.PropSets[9].Set(40);  // byte 5 of the set: beyond a 2-byte record
  EXPECT_THROW(PageBytes(page), Error);
}

TEST(TPage_Records, TrailingBytesAreKept) {
  Bytes b;
  b.Head(110).I32(1).Command(22).Raw("tail");
  TPage page;
  LoadPageBytes(page, b.Get());
  EXPECT_EQ(page.Trailer, "tail");
  EXPECT_EQ(PageBytes(page), b.Get());
}

TEST(TPage_Records, NonCanonicalExpressionBytesAreWrittenBackAsRead) {
  // Operand kind 0x81 (an integer with the top bit), a flag byte 2 and a variable kind 9.
  Bytes e;
  e.I32(1).U8(2).Str("____0").I32(3).U8(0x81).I32(5).U8(3).U8(2).U8(9).Str("v");
  Bytes b;
  b.Head(110).I32(1).Command(14).Raw(e.Get());
  TPage page;
  LoadPageBytes(page, b.Get());
  EXPECT_EQ(static_cast<TComCalc&>(*page.Commands[0]).Expression.Record(), e.Get());
  EXPECT_EQ(PageBytes(page), b.Get());
}

TEST(TPage, LoadReadsThroughTheFileManager) {
  test::TempDir dir;
  TPage source;
  source.Add<TComLabel>(ComKind::Label).LabelName = "here";
  dir.Write("game/script/start.osb", PageBytes(source));
  TempFolder temp(dir.Path());
  PendingDeletes pending;
  TVrFileManager files(temp, pending, {});
  files.SetBaseFolder(dir / "game");

  TPage page;
  EXPECT_EQ(page.Load(files, "script\\START.osb", nullptr), PageLoadResult::kLoaded);
  EXPECT_EQ(page.Name, "script\\START.osb");
  EXPECT_EQ(page.FindLabel("here"), 0);
  try {
    page.Load(files, "none.osb", nullptr);
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.Message(), Format("%s:ファイルがありません"_sj, "none.osb"));
  }
  EXPECT_EQ(page.Count(), 0);
}

TEST(TPage, FindLabelIsExactAndSkipsComments) {
  TPage page;
  page.Add<TComComment>(ComKind::Comment).LabelName = "start";
  page.Add<TComLabel>(ComKind::Label).LabelName = "Start";
  page.Add<TComLabel>(ComKind::Label).LabelName = "start";
  page.Add<TComLabel>(ComKind::Label).LabelName = "start";
  EXPECT_EQ(page.FindLabel("start"), 2);
  EXPECT_EQ(page.FindLabel("Start"), 1);
  EXPECT_EQ(page.FindLabel("START"), -1);
  EXPECT_EQ(page.IndexOf(page.Commands[3].get()), 3);
}

TEST(TCommand, KindsThatDecideTheirOwnChainAndDisabledFlags) {
  TPage page;
  struct Case {
    ComKind kind;
    bool chainWhenClear, chainWhenSet, disabledWhenClear;
  } cases[] = {
      {ComKind::Calc, false, true, false},     {ComKind::Else, true, true, false},
      {ComKind::WhileInit, true, true, false}, {ComKind::WhileLoop, true, true, false},
      {ComKind::Comment, false, false, true},  {ComKind::GameSave, false, false, false},
      {ComKind::GameLoad, false, false, false}, {ComKind::DoEvent, false, false, false},
  };
  for (const Case& c : cases) {
    TCommand& command = page.Add(static_cast<int>(c.kind));
    const char* name = CommandKindName(static_cast<int>(c.kind));
    EXPECT_EQ(command.GetChain(), c.chainWhenClear) << name;
    EXPECT_EQ(command.GetDisabled(), c.disabledWhenClear) << name;
    command.Chain = 1;
    EXPECT_EQ(command.GetChain(), c.chainWhenSet) << name;
  }
}

TEST(TComComponent, AccessorsAnswerTheDefaultForAbsentOrValuelessProperties) {
  TPage page;
  page.PropSets[static_cast<size_t>(ComKind::ImgNew)].Set(5);
  page.PropSets[static_cast<size_t>(ComKind::ImgNew)].Set(7);
  page.PropSets[static_cast<size_t>(ComKind::ImgNew)].Set(8);
  auto& img = page.Add<TComImgNew>(ComKind::ImgNew);
  ASSERT_EQ(img.Properties.size(), 3u);
  img.Property(5)->Compile("undeclared");  // yields no value
  img.Property(7)->Compile("300");
  TParamCollection vars;
  EXPECT_EQ(img.GetInt(5, vars, CreationIntDefault(5)), 0);
  EXPECT_EQ(img.GetInt(7, vars, CreationIntDefault(7)), 300);
  EXPECT_EQ(img.GetInt(8, vars, CreationIntDefault(8)), -1) << "empty expression";
  EXPECT_EQ(img.Property(6), nullptr);
  EXPECT_EQ(img.GetStr(2, vars, "keep"), "keep");
}

TEST(PropertyOrder, EveryPropertyOnceInTheFixedOrder) {
  std::vector<int> seen(162, 0);
  for (uint8_t p : kPropertyApplyOrder) ++seen.at(p);
  for (int p = 0; p < 162; ++p) EXPECT_EQ(seen[static_cast<size_t>(p)], 1) << p;
  const uint8_t head[] = {0, 1, 2, 7, 132, 100, 5, 6, 3, 4, 8, 157, 9};
  for (size_t i = 0; i < std::size(head); ++i) EXPECT_EQ(kPropertyApplyOrder[i], head[i]);
  EXPECT_EQ(kPropertyApplyOrder.back(), 158);
  for (int p : {78, 79, 92, 93, 138, 140, 159, 160, 161}) EXPECT_FALSE(AppliedAtCreation(p)) << p;
  EXPECT_TRUE(AppliedAtCreation(0));
  EXPECT_EQ(CreationIntDefault(132), 256);
  EXPECT_EQ(CreationIntDefault(12), 0);
  EXPECT_TRUE(CreationFlagDefault(47));
  EXPECT_FALSE(CreationFlagDefault(27));
}

}  // namespace
}  // namespace orin
