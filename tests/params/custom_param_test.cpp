#include "params/custom_param.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "core/error.h"
#include "core/text.h"
#include "params/param_collection.h"
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

// One value of a given type and what it reads as in each type. Setting that value into an
// element of another type must store what reading it as that type gives, so the same rows
// check the getters and the setters.
struct ConversionRow {
  const char* label;
  uint8_t type;
  std::function<void(TCustomParam&)> set;
  int32_t asInt;
  long double asFloat;
  bool asFlag;
  std::string asStr;
};

std::vector<ConversionRow> ConversionRows() {
  auto i = [](int32_t v) { return [v](TCustomParam& p) { p.SetAsInt(v); }; };
  auto f = [](long double v) { return [v](TCustomParam& p) { p.SetAsFloat(v); }; };
  auto b = [](bool v) { return [v](TCustomParam& p) { p.SetAsFlag(v); }; };
  auto s = [](std::string v) { return [v](TCustomParam& p) { p.SetAsStr(v); }; };
  return {
      {"int 7", kTypeInt, i(7), 7, 7, true, "7"},
      {"int -3", kTypeInt, i(-3), -3, -3, true, "-3"},
      {"int 0", kTypeInt, i(0), 0, 0, false, "0"},
      {"float 2.9", kTypeFloat, f(2.9L), 2, 2.9L, true, "2.9"},
      {"float -2.9", kTypeFloat, f(-2.9L), -2, -2.9L, true, "-2.9"},
      {"float 0", kTypeFloat, f(0), 0, 0, false, "0"},
      {"flag TRUE", kTypeFlag, b(true), 1, 1, true, "TRUE"},
      {"flag FALSE", kTypeFlag, b(false), 0, 0, false, "FALSE"},
      {"str 12", kTypeStr, s("12"), 12, 12, false, "12"},
      {"str 12abc", kTypeStr, s("12abc"), 0, 0, false, "12abc"},
      {"str 3.5", kTypeStr, s("3.5"), 0, 3.5L, false, "3.5"},
      {"str TRUE", kTypeStr, s("TRUE"), 0, 0, true, "TRUE"},
      {"str true", kTypeStr, s("true"), 0, 0, false, "true"},
      {"str $10", kTypeStr, s("$10"), 16, 0, false, "$10"},
  };
}

TEST(TCustomParam, ConversionTable) {
  for (const ConversionRow& row : ConversionRows()) {
    SCOPED_TRACE(row.label);
    std::unique_ptr<TCustomParam> value = CreateParam(row.type);
    row.set(*value);
    EXPECT_EQ(value->GetType(), row.type);
    EXPECT_EQ(value->GetAsInt(), row.asInt);
    EXPECT_EQ(value->GetAsFloat(), row.asFloat);
    EXPECT_EQ(value->GetAsFlag(), row.asFlag);
    EXPECT_EQ(value->GetAsStr(), row.asStr);
    EXPECT_EQ(value->GetIntAt(0), row.asInt);
    EXPECT_EQ(value->GetFloatAt(0), row.asFloat);
    EXPECT_EQ(value->GetFlagAt(0), row.asFlag);
    EXPECT_EQ(value->GetStrAt(0), row.asStr);

    // The setters of every other type convert the same way.
    TParamInt i;
    row.set(i);
    EXPECT_EQ(i.Items[0], row.asInt);
    TParamFloat f;
    row.set(f);
    EXPECT_EQ(f.Items[0], row.asFloat);
    TParamFlag b;
    row.set(b);
    EXPECT_EQ(b.Items[0], row.asFlag ? 1 : 0);
    TParamStr s;
    row.set(s);
    EXPECT_EQ(s.Items[0], row.asStr);
  }
}

TEST(TCustomParam, FreshValues) {
  for (uint8_t type = kTypeInt; type <= kTypeStr; ++type) {
    auto v = CreateParam(type);
    EXPECT_EQ(v->GetCount(), 1);
    EXPECT_EQ(v->GetAsInt(), 0);
    EXPECT_EQ(v->GetAsFlag(), false);
  }
  EXPECT_EQ(CreateParam(0x81)->GetType(), kTypeInt);  // the top bit is ignored
  EXPECT_EQ(CreateParam(5), nullptr);
  EXPECT_EQ(CreateParam(kTypeVar)->GetType(), kTypeVar);
}

TEST(TCustomParam, ScalarSetterTurnsAnArrayIntoAScalar) {
  TParamInt a;
  a.SetDims({3, 4});
  ASSERT_EQ(a.GetCount(), 12);
  a.SetIntAt(0, 9);
  a.SetIntAt(11, 5);
  a.SetAsInt(1);
  EXPECT_EQ(a.GetCount(), 1);
  EXPECT_TRUE(a.Dims.empty());
  EXPECT_EQ(a.GetAsInt(), 1);
}

TEST(TCustomParam, ShapeQueries) {
  TParamStr s;
  EXPECT_EQ(s.GetDimCount(), 1);
  EXPECT_EQ(s.GetDim(0), 1);
  EXPECT_EQ(s.GetDim(5), 1);
  s.SetDims({2, 3});
  EXPECT_EQ(s.GetDimCount(), 2);
  EXPECT_EQ(s.GetDim(0), 2);
  EXPECT_EQ(s.GetDim(1), 3);
  EXPECT_EQ(s.GetDim(-1), 1);
  EXPECT_EQ(s.GetDim(5), 1);
}

TEST(TCustomParam, SetDimsRejectsBadSizesBeforeChangingAnything) {
  TParamInt a;
  a.SetDims({2, 3});
  EXPECT_EQ(ErrorText([&] { a.SetDims({2, 0}); }), Format("配列の要素数[%s]が不正です"_sj, "2,0"));
  EXPECT_EQ(ErrorText([&] { a.SetDims({-1}); }), Format("配列の要素数[%s]が不正です"_sj, "-1"));
  // An element count beyond what an int holds is refused the same way instead of allocating.
  EXPECT_EQ(ErrorText([&] {
              a.SetDims({65536, 65536});
            }),
            Format("配列の要素数[%s]が不正です"_sj, "65536,65536"));
  EXPECT_EQ(a.Dims, (std::vector<int32_t>{2, 3}));
  EXPECT_EQ(a.GetCount(), 6);
}

TEST(TCustomParam, ReshapingKeepsFlatPositions) {
  TParamInt a;
  a.SetDims({2, 3});
  for (int i = 0; i < 6; ++i) a.SetIntAt(i, i + 10);
  a.SetDims({3, 2});
  EXPECT_EQ(a.Items, (std::vector<int32_t>{10, 11, 12, 13, 14, 15}));
  a.SetDims({4, 2});
  EXPECT_EQ(a.Items, (std::vector<int32_t>{10, 11, 12, 13, 14, 15, 0, 0}));
  a.SetDims({2});
  EXPECT_EQ(a.Items, (std::vector<int32_t>{10, 11}));
}

TEST(TCustomParam, ElementIndexOutsideTheArrayRaises) {
  TParamFloat f;
  f.SetDims({3});
  const std::string bad = "配列の添字が不正です"_sj;
  EXPECT_EQ(ErrorText([&] { f.GetFloatAt(3); }), bad);
  EXPECT_EQ(ErrorText([&] { f.SetIntAt(-1, 0); }), bad);
  EXPECT_EQ(ErrorText([&] { f.GetStrAt(2); }), "(no error)");
}

TEST(TCustomParam, FillActsOnlyOnItsOwnType) {
  TParamInt a;
  a.SetDims({3});
  a.FillStr("5");
  a.FillFloat(2);
  EXPECT_EQ(a.Items, (std::vector<int32_t>{0, 0, 0}));
  a.FillInt(4);
  EXPECT_EQ(a.Items, (std::vector<int32_t>{4, 4, 4}));
}

TEST(TCustomParam, CopyMemNeedsTheSameClass) {
  TParamFloat source;
  source.SetDims({2});
  TParamInt dest;
  EXPECT_EQ(ErrorText([&] { dest.CopyMem(source); }), "CopyMem:変数の型があいません"_sj);

  TParamInt ints;
  ints.SetDims({2, 2});
  ints.FillInt(3);
  dest.CopyMem(ints);
  EXPECT_EQ(dest.Dims, (std::vector<int32_t>{2, 2}));
  EXPECT_EQ(dest.Items, ints.Items);

  TParamInt scalar;
  scalar.SetAsInt(8);
  dest.CopyMem(scalar);
  EXPECT_EQ(dest.Dims, (std::vector<int32_t>{1}));
  EXPECT_EQ(dest.Items, (std::vector<int32_t>{8}));
}

TEST(TCustomParam, CopyArrayFromConverts) {
  TParamFloat source;
  source.SetDims({2, 2});
  source.Items = {1.9L, -1.9L, 0.5L, 3};
  TParamInt dest;
  dest.CopyArrayFrom(source);
  EXPECT_EQ(dest.Dims, (std::vector<int32_t>{2, 2}));
  EXPECT_EQ(dest.Items, (std::vector<int32_t>{1, -1, 0, 3}));

  TParamStr text;
  text.CopyArrayFrom(source);
  EXPECT_EQ(text.Items, (std::vector<std::string>{"1.9", "-1.9", "0.5", "3"}));
}

TEST(TCustomParam, IndexOfStr) {
  TParamStr s;
  s.SetDims({4});
  s.Items = {"Apple", "banana", "Cherry", "apple"};
  struct Case {
    const char* text;
    bool caseSensitive, partial;
    int index;
  };
  const std::vector<Case> cases = {
      {"apple", true, false, 3}, {"apple", false, false, 0}, {"APPLE", true, false, -1},
      {"an", true, true, 1},     {"ERR", false, true, 2},    {"ERR", true, true, -1},
      {"x", false, true, -1},    {"Apple", true, false, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(s.IndexOfStr(c.text, c.caseSensitive, c.partial), c.index)
        << c.text << c.caseSensitive << c.partial;

  TParamInt numbers;
  numbers.SetDims({3});
  numbers.Items = {5, 10, 15};
  EXPECT_EQ(numbers.IndexOfStr("10", true, false), 1);
}

TEST(TCustomParam, PartialMatchDoesNotMatchInsideADoubleByteCharacter) {
  TParamStr s;
  s.SetAsStr("\x83\x5C");  // "ソ": its trail byte is "\"
  EXPECT_EQ(s.IndexOfStr("\\", true, true), -1);
}

TEST(TCustomParam, StreamRoundTrip) {
  TParamInt ints;
  ints.SetDims({2, 3});
  for (int i = 0; i < 6; ++i) ints.SetIntAt(i, -i);
  TParamFloat floats;
  floats.SetAsFloat(1.0L / 3);
  TParamFlag flags;
  flags.SetDims({2});
  flags.SetFlagAt(1, true);
  TParamStr strs;
  strs.SetDims({2});
  strs.SetStrAt(0, "ファイル"_sj);

  MemoryStream m;
  for (const TCustomParam* v : std::vector<const TCustomParam*>{&ints, &floats, &flags, &strs})
    v->SaveToStream(m);
  m.SetPosition(0);
  TParamInt ints2;
  TParamFloat floats2;
  TParamFlag flags2;
  TParamStr strs2;
  for (TCustomParam* v : std::vector<TCustomParam*>{&ints2, &floats2, &flags2, &strs2})
    v->LoadFromStream(m, nullptr);
  EXPECT_EQ(m.Remaining(), 0);
  EXPECT_EQ(ints2.Dims, ints.Dims);
  EXPECT_EQ(ints2.Items, ints.Items);
  EXPECT_TRUE(floats2.Dims.empty());
  EXPECT_EQ(floats2.Items, floats.Items);
  EXPECT_EQ(flags2.Items, flags.Items);
  EXPECT_EQ(strs2.Items, strs.Items);

  // Layout of the integer array: D, sizes, N, elements.
  MemoryStream one;
  ints.SaveToStream(one);
  ASSERT_EQ(one.Size(), 4u + 8 + 4 + 24);
  EXPECT_EQ(one.View().substr(0, 16), std::string("\x02\0\0\0\x02\0\0\0\x03\0\0\0\x06\0\0\0", 16));
}

TEST(TCustomParam, DamagedStreamsFailCleanly) {
  auto load = [](std::string bytes) {
    MemoryStream m;
    m.Assign(bytes);
    TParamStr s;
    s.LoadFromStream(m, nullptr);
    return s.GetCount();
  };
  // A count larger than what remains, a negative count, a truncated string, a missing count.
  EXPECT_THROW(load(std::string("\0\0\0\0\xFF\xFF\xFF\x7F", 8)), Error);
  EXPECT_THROW(load(std::string("\0\0\0\0\xFE\xFF\xFF\xFF", 8)), Error);
  EXPECT_THROW(load(std::string("\xFF\xFF\xFF\x7F", 4)), Error);
  EXPECT_THROW(load(std::string("\0\0\0\0\x01\0\0\0\x10\0\0\0ab", 14)), Error);
  EXPECT_THROW(load(std::string("\0\0\0\0", 4)), Error);
  // A count that differs from the shape is taken as stored; no elements at all still reads.
  EXPECT_EQ(load(std::string("\x01\0\0\0\x05\0\0\0\x01\0\0\0\0\0\0\0", 16)), 1);
  MemoryStream m;
  m.Assign(std::string("\0\0\0\0\0\0\0\0", 8));
  TParamInt empty;
  empty.LoadFromStream(m, nullptr);
  EXPECT_EQ(empty.GetCount(), 0);
  EXPECT_EQ(empty.GetAsInt(), 0);
  EXPECT_THROW(empty.GetIntAt(0), Error);
  empty.SetAsInt(4);
  EXPECT_EQ(empty.GetAsInt(), 4);
}

TEST(TParamVar, ForwardsToTheTargetElement) {
  TParamCollection vars;
  TParamCollectionItem& array = vars.AddVariable(kTypeInt, "a");
  array.Value->SetDims({2, 3});
  array.Value->SetIntAt(5, 42);

  TParamVar ref;
  ref.Target = &array;
  ref.Index = 5;
  EXPECT_EQ(ref.GetType(), kTypeInt);
  EXPECT_EQ(ref.GetAsInt(), 42);
  EXPECT_EQ(ref.GetAsStr(), "42");
  EXPECT_EQ(ref.GetCount(), 6);
  EXPECT_EQ(ref.GetDimCount(), 2);
  EXPECT_EQ(ref.GetDim(1), 3);
  ref.SetAsStr("7");  // a write through the reference keeps the array
  EXPECT_EQ(array.Value->GetCount(), 6);
  EXPECT_EQ(array.Value->GetIntAt(5), 7);
  EXPECT_EQ(ref.GetIntAt(0), 0);  // element operations use their own index
  ref.Index = 6;
  EXPECT_THROW(ref.GetAsInt(), Error);

  TParamVar unbound;
  EXPECT_EQ(unbound.GetType(), kTypeVar);
  EXPECT_EQ(unbound.GetAsStr(), "");
  EXPECT_EQ(unbound.IndexOfStr("", true, false), -1);
  unbound.SetAsInt(3);
  EXPECT_EQ(unbound.GetAsInt(), 0);
}

}  // namespace
}  // namespace orin
