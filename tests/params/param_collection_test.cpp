#include "params/param_collection.h"

#include <gtest/gtest.h>

#include <functional>

#include "core/cp932.h"
#include "core/error.h"
#include "core/text.h"
#include "params/int_list.h"
#include "params/param_system.h"
#include "resources/stream.h"

namespace orin {
namespace {

using namespace literals;

std::string ErrorText(const std::function<void()>& f) {
  try {
    f();
  } catch (const Error& e) {
    return e.Message();
  }
  return "(no error)";
}

TEST(TParamCollection, StartsWithTheFiftySystemVariables) {
  TParamCollection vars;
  ASSERT_EQ(vars.Count(), 50);
  EXPECT_EQ(vars[0].Name(), "@Result");
  EXPECT_EQ(vars[7].Name(), "@TextDelay");
  EXPECT_EQ(vars[32].Name(), "@1Hour");
  EXPECT_EQ(vars[49].Name(), "@StackCount");
  EXPECT_EQ(vars.FindVariable("@textdelay"), &vars[7]);
  for (int i = 0; i < 50; ++i) EXPECT_TRUE(vars[i].IsSystem());

  // Native types; the rest of their behaviour is tested with TParamSystem.
  EXPECT_EQ(vars[7].Value->GetType(), kTypeInt);
  EXPECT_EQ(vars[30].Value->GetType(), kTypeFloat);
  EXPECT_EQ(vars[35].Value->GetType(), kTypeFlag);
  EXPECT_EQ(vars[35].Value->GetCount(), 258);
  EXPECT_EQ(vars[39].Value->GetType(), kTypeStr);
  EXPECT_EQ(vars[0].Value->GetType(), 0);
}

TEST(TParamCollection, NameRule) {
  TParamCollection vars;
  for (const char* bad : {"", "a b", "1x", "9"}) {
    std::string expected =
        std::string("\"").append(bad).append("\"").append("：変数名が不正です"_sj);
    EXPECT_EQ(ErrorText([&] { vars.AddVariable(kTypeInt, bad); }), expected);
  }
  EXPECT_EQ(vars.Count(), 50);
  for (const char* good : {"x1", "_x", "@x", "____0", "変数"})
    EXPECT_NO_THROW(vars.AddVariable(kTypeInt, FromUtf8(good)));
}

TEST(TParamCollection, LocalHidesGlobalOnlyInItsOwnFrame) {
  TParamCollection vars;
  TParamCollectionItem& global = vars.AddVariable(kTypeInt, "x");
  vars.CurrentFrame = 1;
  TParamCollectionItem& local = vars.AddVariable(kTypeInt, "X");
  local.IsLocal = true;
  local.Frame = 1;
  EXPECT_EQ(vars.FindVariable("x"), &local);
  vars.CurrentFrame = 2;
  EXPECT_EQ(vars.FindVariable("x"), &global);
  vars.CurrentFrame = 1;
  vars.DeleteFrame(1);
  EXPECT_EQ(vars.FindVariable("x"), &global);
}

TEST(TParamCollection, OldestGlobalWinsAndLocalsOfOtherFramesAreInvisible) {
  TParamCollection vars;
  TParamCollectionItem& first = vars.AddVariable(kTypeInt, "v");
  vars.AddVariable(kTypeStr, "V");
  EXPECT_EQ(vars.FindVariable("v"), &first);
  EXPECT_EQ(vars.FindDeclared("v", false), &first);

  TParamCollectionItem& other = vars.AddVariable(kTypeInt, "only");
  other.IsLocal = true;
  other.Frame = 3;
  EXPECT_EQ(vars.FindVariable("only"), nullptr);
  EXPECT_EQ(vars.FindDeclared("only", true), nullptr);
  EXPECT_EQ(vars.FindDeclared("only", false), nullptr);
  vars.CurrentFrame = 3;
  EXPECT_EQ(vars.FindDeclared("only", true), &other);
  EXPECT_EQ(vars.FindDeclared("ONLY", false), nullptr);
  EXPECT_EQ(vars.FindVariable("missing"), nullptr);
}

TEST(TParamCollection, DeleteFrameKeepsOtherFramesAndSystemVariables) {
  TParamCollection vars;
  vars.AddVariable(kTypeInt, "a").Frame = 1;
  vars.AddVariable(kTypeInt, "b").Frame = 2;
  vars.AddVariable(kTypeInt, "c").Frame = 1;
  vars.AddVariable(kTypeInt, "d");
  vars.DeleteFrame(1);
  EXPECT_EQ(vars.Count(), 52);
  EXPECT_NE(vars.FindVariable("b"), nullptr);
  EXPECT_NE(vars.FindVariable("d"), nullptr);
  vars.DeleteFrame(-1);  // system variables are never freed, whatever their frame
  EXPECT_EQ(vars.Count(), 51);
  vars.DeleteVariable("@Result");
  vars.DeleteVariable("nothing");
  EXPECT_EQ(vars.Count(), 51);
  vars.DeleteVariable("B");
  EXPECT_EQ(vars.Count(), 50);
}

TEST(TParamCollection, ExtractValueCopy) {
  TParamCollection vars;
  TParamCollectionItem& a = vars.AddVariable(kTypeStr, "a");
  a.Value->SetDims({2});
  a.Value->SetStrAt(1, "z");
  std::unique_ptr<TCustomParam> copy = vars.ExtractValueCopy("A");
  ASSERT_NE(copy, nullptr);
  a.Value->SetStrAt(1, "changed");
  EXPECT_EQ(copy->GetType(), kTypeStr);
  EXPECT_EQ(copy->Dims, (std::vector<int32_t>{2}));
  EXPECT_EQ(copy->GetStrAt(1), "z");
  EXPECT_EQ(vars.ExtractValueCopy("none"), nullptr);

  vars.AddVariable(kTypeVar, "r");  // an unbound reference has type 0
  EXPECT_EQ(ErrorText([&] { vars.ExtractValueCopy("r"); }), "r:不正な変数です"_sj);

  auto* ref = vars.AddVariable(kTypeVar, "e").Value->AsReference();
  ref->Target = &a;
  ref->Index = 0;
  copy = vars.ExtractValueCopy("e");
  EXPECT_EQ(copy->GetType(), kTypeStr);
  EXPECT_EQ(copy->GetCount(), 2);
  EXPECT_EQ(copy->GetStrAt(1), "changed");
}

TEST(TParamCollection, ClearGameKeepsSystemAndPersistentVariables) {
  TParamCollection vars;
  vars.AddVariable(kTypeInt, "game");
  vars.AddVariable(kTypeInt, "kept").IsPersistent = true;
  vars.TextDelay = 10;
  vars.Cursor = "c";
  vars.HistoryLayout = {1, 2, 3, 4, 5, 6};
  vars.ClearGame();
  EXPECT_EQ(vars.Count(), 51);
  EXPECT_NE(vars.FindVariable("kept"), nullptr);
  EXPECT_EQ(vars.TextDelay, 50);
  EXPECT_EQ(vars.Cursor, "");
  EXPECT_EQ(vars.HistoryLayout, (std::array<int32_t, 6>{}));
}

// A collection with every scope, arrays and references, one of which comes before its target.
void FillGame(TParamCollection& vars) {
  vars.AddVariable(kTypeVar, "early");  // bound below to "late"
  TParamCollectionItem& arr = vars.AddVariable(kTypeFloat, "arr");
  arr.Value->SetDims({2, 2});
  arr.Value->SetFloatAt(3, 1.0L / 3);
  TParamCollectionItem& text = vars.AddVariable(kTypeStr, "text");
  text.Value->SetAsStr("表示"_sj);
  TParamCollectionItem& local = vars.AddVariable(kTypeFlag, "loc");
  local.IsLocal = true;
  local.Frame = 2;
  local.Value->SetAsFlag(true);
  TParamCollectionItem& owned = vars.AddVariable(kTypeInt, "owned");
  owned.Frame = 1;
  owned.Extra = 7;
  owned.Value->SetAsInt(-9);
  vars.AddVariable(kTypeInt, "persist").IsPersistent = true;
  TParamCollectionItem& late = vars.AddVariable(kTypeInt, "late");
  late.Value->SetDims({3});
  late.Value->SetIntAt(2, 77);
  auto* early = vars.FindVariable("early")->Value->AsReference();
  early->Target = &late;
  early->Index = 2;
  early->RefFlag = 1;
  early->Name = "late[2]";
  auto* toSystem = vars.AddVariable(kTypeVar, "sys").Value->AsReference();
  toSystem->Target = vars.FindVariable("@Title");
  vars.TextDelay = 30;
  vars.Cursor = "cur";
  vars.SelStr = "sel";
  vars.SelIndex = 4;
  vars.HistoryLayout = {1, 2, 3, 4, 5, 6};
  vars.TempName = "text";
}

TEST(TParamCollection, SaveGameRoundTrip) {
  TParamCollection vars;
  FillGame(vars);
  MemoryStream saved;
  vars.SaveGame(saved);

  TParamCollection loaded;
  loaded.AddVariable(kTypeInt, "stale");
  loaded.AddVariable(kTypeInt, "persist2").IsPersistent = true;
  saved.SetPosition(0);
  loaded.LoadGame(saved, 134);
  EXPECT_EQ(saved.Remaining(), 0);
  EXPECT_EQ(loaded.FindVariable("stale"), nullptr);
  EXPECT_NE(loaded.FindVariable("persist2"), nullptr);
  EXPECT_EQ(loaded.FindVariable("persist"), nullptr);  // persistent variables are not in a game
  EXPECT_EQ(loaded.Count(), 50 + 1 + 7);

  auto* arr = loaded.FindVariable("arr");
  ASSERT_NE(arr, nullptr);
  EXPECT_EQ(arr->Value->Dims, (std::vector<int32_t>{2, 2}));
  EXPECT_EQ(arr->Value->GetFloatAt(3), 1.0L / 3);
  EXPECT_EQ(loaded.FindVariable("text")->Value->GetAsStr(), "表示"_sj);
  loaded.CurrentFrame = 2;
  auto* loc = loaded.FindVariable("loc");
  ASSERT_NE(loc, nullptr);
  EXPECT_TRUE(loc->IsLocal);
  EXPECT_EQ(loc->Frame, 2);
  EXPECT_TRUE(loc->Value->GetAsFlag());
  auto* owned = loaded.FindVariable("owned");
  EXPECT_EQ(owned->Frame, 1);
  EXPECT_EQ(owned->Extra, 7);
  EXPECT_EQ(owned->Value->GetAsInt(), -9);

  // The reference was written after its target and binds to it again.
  auto* early = loaded.FindVariable("early")->Value->AsReference();
  ASSERT_NE(early, nullptr);
  EXPECT_EQ(early->Target, loaded.FindVariable("late"));
  EXPECT_EQ(early->Name, "late[2]");
  EXPECT_EQ(early->RefFlag, 1);
  EXPECT_EQ(early->GetAsInt(), 77);
  // A reference to a variable that is never written is still written, and binds by name.
  EXPECT_EQ(loaded.FindVariable("sys")->Value->AsReference()->Target,
            loaded.FindVariable("@Title"));

  EXPECT_EQ(loaded.TextDelay, 30);
  EXPECT_EQ(loaded.Cursor, "cur");
  EXPECT_EQ(loaded.SelStr, "sel");
  EXPECT_EQ(loaded.SelIndex, 4);
  EXPECT_EQ(loaded.HistoryLayout, (std::array<int32_t, 6>{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(loaded.TempName, "text");
}

TEST(TParamCollection, ReferencesFollowTheirTargetsEvenInChainsAndCycles) {
  TParamCollection vars;
  auto ref = [&](const char* name) {
    return vars.AddVariable(kTypeVar, name).Value->AsReference();
  };
  TParamVar* r1 = ref("r1");
  TParamVar* r2 = ref("r2");
  TParamVar* c1 = ref("c1");
  TParamVar* c2 = ref("c2");
  vars.AddVariable(kTypeInt, "t");
  r1->Target = vars.FindVariable("r2");  // r1 -> r2 -> t, all before t in the collection
  r2->Target = vars.FindVariable("t");
  c1->Target = vars.FindVariable("c2");  // a cycle that no order can satisfy
  c2->Target = vars.FindVariable("c1");

  MemoryStream saved;
  vars.SaveGame(saved);
  saved.SetPosition(4);
  std::vector<std::string> order;
  for (int i = 0; i < 5; ++i) {
    ReadByte(saved);
    order.push_back(ReadString(saved));
    TParamVar skip;
    if (order.back() == "t") {
      TParamInt v;
      v.LoadFromStream(saved, nullptr);
    } else {
      skip.LoadFromStream(saved, nullptr);
    }
    saved.Seek(1 + 1 + 4 + 1, Stream::kFromCurrent);
  }
  auto pos = [&](const char* n) {
    return std::find(order.begin(), order.end(), n) - order.begin();
  };
  EXPECT_LT(pos("t"), pos("r2"));
  EXPECT_LT(pos("r2"), pos("r1"));
  EXPECT_EQ(order.size(), 5u);

  TParamCollection loaded;
  saved.SetPosition(0);
  loaded.LoadGame(saved, 134);
  EXPECT_EQ(loaded.FindVariable("r1")->Value->AsReference()->Target, loaded.FindVariable("r2"));
  EXPECT_EQ(loaded.FindVariable("r2")->Value->AsReference()->Target, loaded.FindVariable("t"));
}

TEST(TParamCollection, OlderSaveVersionsLackTheLaterFields) {
  struct Case {
    int version;
    bool sel, layout, temp;
  };
  for (Case c : {Case{102, false, false, false}, Case{103, true, false, false},
                 Case{113, true, true, false}, Case{121, true, true, true}}) {
    MemoryStream m;
    WriteInt32(m, 0);
    WriteInt32(m, 20);
    WriteString(m, "cursor");
    if (c.sel) {
      WriteString(m, "s");
      WriteInt32(m, 3);
    }
    if (c.layout)
      for (int i = 0; i < 6; ++i) WriteInt32(m, i + 1);
    if (c.temp) WriteString(m, "t");
    m.SetPosition(0);
    TParamCollection vars;
    vars.LoadGame(m, c.version);
    EXPECT_EQ(m.Remaining(), 0) << c.version;
    EXPECT_EQ(vars.TextDelay, 20);
    EXPECT_EQ(vars.Cursor, "cursor");
    EXPECT_EQ(vars.SelIndex, c.sel ? 3 : 0);
    EXPECT_EQ(vars.HistoryLayout[5], c.layout ? 6 : 0);
    EXPECT_EQ(vars.TempName, c.temp ? "t" : "");
  }
}

TEST(TParamCollection, PersistentSetRoundTrip) {
  TParamCollection vars;
  FillGame(vars);
  vars.FindVariable("persist")->Value->SetAsInt(12);
  MemoryStream saved;
  vars.SavePersistent(saved);
  TParamCollection loaded;
  saved.SetPosition(0);
  loaded.LoadPersistent(saved, 103);
  EXPECT_EQ(saved.Remaining(), 0);
  ASSERT_EQ(loaded.Count(), 51);
  EXPECT_TRUE(loaded[50].IsPersistent);
  EXPECT_EQ(loaded[50].Value->GetAsInt(), 12);
}

TEST(TParamCollection, RecordsWithEmptyNamesAreReadAndDropped) {
  MemoryStream m;
  WriteInt32(m, 2);
  for (const char* name : {"", "kept"}) {
    WriteByte(m, kTypeInt);
    WriteString(m, name);
    TParamInt v;
    v.SetAsInt(5);
    v.SaveToStream(m);
    WriteByte(m, 0);
    WriteByte(m, 0);
    WriteInt32(m, -1);
    WriteByte(m, 0);
  }
  m.SetPosition(0);
  TParamCollection vars;
  vars.LoadPersistent(m, 103);
  EXPECT_EQ(vars.Count(), 51);
  EXPECT_EQ(vars.FindVariable("kept")->Value->GetAsInt(), 5);
}

TEST(TParamCollection, DamagedSavesFailCleanly) {
  auto load = [](const std::string& bytes) {
    MemoryStream m;
    m.Assign(bytes);
    TParamCollection vars;
    vars.LoadGame(m, 134);
  };
  EXPECT_THROW(load(std::string("\xFF\xFF\xFF\x7F", 4)), Error);  // count past the end
  EXPECT_THROW(load(std::string("\xFF\xFF\xFF\xFF", 4)), Error);  // negative count
  // A record whose type code has no class.
  EXPECT_THROW(load(std::string("\x01\0\0\0\x09", 5) + std::string(30, '\0')), Error);
  // A valid record cut short.
  MemoryStream good;
  TParamCollection vars;
  FillGame(vars);
  vars.SaveGame(good);
  std::string bytes(good.View());
  for (size_t cut : {5u, 20u, 60u, static_cast<unsigned>(bytes.size() - 3)})
    EXPECT_THROW(load(bytes.substr(0, cut)), Error) << cut;
}

TEST(TIntList, PutGrowsWithZeros) {
  TIntList list;
  list.Add(4);
  list.Put(3, 9);
  EXPECT_EQ(list.Count(), 4);
  EXPECT_EQ(list.Get(0), 4);
  EXPECT_EQ(list.Get(2), 0);
  EXPECT_EQ(list.Get(3), 9);
  EXPECT_THROW(list.Get(4), Error);
  EXPECT_THROW(list.Put(-1, 0), Error);
}

}  // namespace
}  // namespace orin
