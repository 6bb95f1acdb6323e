// Value budgets: one value and all the variables of a collection together may take only so many
// bytes. A command that would pass either limit fails before it allocates, leaves the value as
// it was, and the game goes on. The limits are made small here; no test allocates much.
#include "params/value_budget.h"

#include <gtest/gtest.h>

#include "core/error.h"
#include "fake_param_host.h"

namespace orin {
namespace {

using test::ScriptRuntime;

struct SmallBudget : ScriptRuntime {
  SmallBudget() { vars.Budget().SetLimits(1000, 4000); }
};

TEST(ValueBudget, ArrayTooLargeFailsTheCommandAndKeepsTheValue) {
  SmallBudget rt;
  rt.Declare(kTypeInt, "a").Value->SetAsInt(5);
  const int64_t before = rt.vars.Budget().Used();
  test::ExpectEvals(rt, {{"SetArray(a, 30000, 30000)", "none"},  // 3.6 GB at full size
                         {"SetArray(a, 16, 16)", "none"},        // 1024 bytes: just too much
                         {"GetArraySize(a)", "int 1"},
                         {"a", "int 5"},
                         {"SetArray(a, 10, 10)", "int 0"},
                         {"GetArraySize(a)", "int 100"}});
  EXPECT_EQ(rt.vars.Budget().Used(), before + 99 * 4);
}

TEST(ValueBudget, TextJoinedToItselfStopsAtTheLimit) {
  SmallBudget rt;
  rt.Declare(kTypeStr, "s").Value->SetAsStr("0123456789");
  for (int i = 0; i < 40; ++i) rt.Eval("s = s ++ s");
  const std::string s = rt.vars.FindVariable("s")->Value->GetAsStr();
  EXPECT_EQ(s.size(), 640u);  // 1280 bytes would pass the limit of one value
  test::ExpectEvals(rt, {{"Length(s)", "int 640"}, {"StringOfChar(\"ab\", 600)", "none"}});
}

TEST(ValueBudget, AllVariablesTogetherAndBytesGivenBack) {
  SmallBudget rt;
  const int64_t baseline = rt.vars.Budget().Used();
  for (const char* name : {"a", "b", "c", "d", "e"}) rt.Declare(kTypeInt, name);
  // Four arrays of 900 bytes fit; the fifth passes 4000 bytes together.
  test::ExpectEvals(rt, {{"SetArray(a, 225)", "int 0"},
                         {"SetArray(b, 225)", "int 0"},
                         {"SetArray(c, 225)", "int 0"},
                         {"SetArray(d, 225)", "int 0"},
                         {"SetArray(e, 225)", "none"},
                         {"GetArraySize(e)", "int 1"}});
  rt.vars.DeleteVariable("a");
  test::ExpectEvals(rt, {{"SetArray(e, 225)", "int 0"}});
  // Temporaries of finished runs and deleted variables give their bytes back.
  for (const char* name : {"b", "c", "d", "e"}) rt.vars.DeleteVariable(name);
  EXPECT_EQ(rt.vars.Budget().Used(), baseline);
}

TEST(ValueBudget, ValueOutsideACollectionHasTheSingleValueLimit) {
  TParamInt v;
  EXPECT_THROW(v.SetDims({30000, 30000}), Error);
  EXPECT_EQ(v.GetCount(), 1);
  TParamStr s;
  s.SetDims({3});
  EXPECT_THROW(s.SetCount(static_cast<int>(kMaxValueBytes / 32 + 1)), Error);
  EXPECT_EQ(s.GetCount(), 3);
  s.SetStrAt(2, "abc");
  EXPECT_EQ(s.Bytes(), 3 * 32 + 3);
  s.ResetToScalar();
  EXPECT_EQ(s.Bytes(), 32);
}

}  // namespace
}  // namespace orin
