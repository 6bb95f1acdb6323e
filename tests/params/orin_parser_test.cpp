#include "params/orin_parser.h"

#include <gtest/gtest.h>

#include <limits>

#include <vector>

#include "core/error.h"
#include "core/text.h"
#include "params/function_dispatcher.h"
#include "params/param_collection.h"
#include "params/param_host.h"
#include "params/param_system.h"
#include "params/system_functions_table.h"
#include "params_test_support.h"
#include "resources/stream.h"

namespace orin {
namespace {

using namespace literals;
using test::Eval;

struct Case {
  const char* text;
  const char* result;
};

void ExpectResults(TParamCollection& vars, const std::vector<Case>& cases) {
  for (const Case& c : cases) EXPECT_EQ(Eval(vars, c.text), c.result) << c.text;
}

TEST(TOrinParser, ArithmeticAndPrecedence) {
  TParamCollection vars;
  ExpectResults(vars, {
                          {"1 + 2 * 3", "int 7"},     {"10 - 4 - 3", "int 3"},
                          {"7 / 2", "int 3"},         {"-7 / 2", "int -3"},
                          {"7.0 / 2", "float 3.5"},   {"1 + 1.5", "float 2.5"},
                          {"-7 % 3", "int -1"},       {"7 % -3", "int 1"},
                          {"-5 * 2", "int -10"},      {"3 * -2", "int -6"},
                          {"2 * +3", "int 6"},        {"- - 5", "int 5"},
                          {"-(2 + 3)", "int -5"},     {"(1 + 2) * 3", "int 9"},
                          {"((2))", "int 2"},         {"2147483647 + 1", "int -2147483648"},
                          {"65536 * 65536", "int 0"}, {"6 & 3 | 8", "int 10"},
                          {"1 | 2 ^ 3", "int 1"},     {"12 ^ 10 & 6", "int 14"},
                          {"$10 + 1", "int 17"},      {"1E3", "float 1000"},
                          {"TRUE + 1", "int 2"},      {"1 + 2 == 3", "flag TRUE"},
                      });
}

TEST(TOrinParser, ShiftsWrapTheirCountAndShiftRightIsLogical) {
  TParamCollection vars;
  ExpectResults(vars, {
                          {"-1 >> 28", "int 15"},
                          {"1 << 31", "int -2147483648"},
                          {"1 << 33", "int 2"},
                          {"256 >> -28", "int 16"},
                          {"1 + 1 << 2", "int 8"},
                      });
}

TEST(TOrinParser, StringsJoinOnlyWithComboStr) {
  TParamCollection vars;
  ExpectResults(vars, {
                          {"\"ab\" ++ 1 == 1", "str abTRUE"},
                          {"\"abc\" + \"def\"", "str 0"},
                          {"\"1\" + 2", "str 3"},
                          {"1 + \"2\"", "int 3"},
                          {"\"x\" ++ 1.5 ++ FALSE", "str x1.5FALSE"},
                          {"\"a\\nb\"", "str a\r\nb"},
                          {"\"say \\\"hi\\\" \\\\ \\t\"", "str say \"hi\" \\ \\t"},
                          {"\"a,b(c)[d]\" ++ \"+\"", "str a,b(c)[d]+"},
                          {"\"\"", "str "},
                      });
}

TEST(TOrinParser, ComparisonsAreTypedByTheFirstOperand) {
  TParamCollection vars;
  ExpectResults(vars, {
                          {"2 < 2.5", "flag FALSE"},
                          {"2.5 > 2", "flag TRUE"},
                          {"\"10\" < \"9\"", "flag TRUE"},
                          {"10 < \"9\"", "flag FALSE"},
                          {"\"b\" > \"abc\"", "flag TRUE"},
                          {"\"ab\" < \"abc\"", "flag TRUE"},
                          {"\"\x83\x41\" > \"z\"", "flag TRUE"},  // bytes compare unsigned
                          {"TRUE > FALSE", "flag TRUE"},
                          {"TRUE == 5", "flag TRUE"},
                          {"3 <> 3", "flag FALSE"},
                          {"3 >= 3", "flag TRUE"},
                          {"3 <= 2", "flag FALSE"},
                      });
}

TEST(TOrinParser, FailuresStopSilentlyWithoutAResult) {
  TParamCollection vars;
  vars.AddVariable(kTypeInt, "m").Value->SetAsInt(std::numeric_limits<int32_t>::min());
  ExpectResults(vars, {
                          {"undeclared + 1", "none"},
                          {"1 / 0", "none"},
                          {"5 % 0", "none"},
                          {"m / -1", "none"},
                          {"m % -1", "none"},
                          {"1.5E-3", "none"},  // "1.5E" - 3: the sign splits the number
                          {"", "none"},
                          {"x = 5", "none"},
                      });
  EXPECT_EQ(Eval(vars, "1.0 / 0"), "float INF");
  EXPECT_EQ(vars.Count(), 51);  // no temporaries are left behind
}

TEST(TOrinParser, AssignmentsConvertToTheDestinationType) {
  TParamCollection vars;
  vars.AddVariable(kTypeInt, "i");
  vars.AddVariable(kTypeStr, "s");
  vars.AddVariable(kTypeFlag, "b");
  vars.AddVariable(kTypeFloat, "f");
  ExpectResults(vars, {{"i = 2.9", "none"},
                       {"s = 1.5 * 2", "none"},
                       {"b = \"TRUE\"", "none"},
                       {"f = \"2.25\"", "none"}});
  ExpectResults(vars, {{"i", "int 2"}, {"s", "str 3"}, {"b", "flag TRUE"}, {"f", "float 2.25"}});
  ExpectResults(
      vars, {{"i = i + 1", "none"}, {"i", "int 3"}, {"s + 1", "str 4"}, {"f * 2", "float 4.5"}});
}

TEST(TOrinParser, ArrayElements) {
  TParamCollection vars;
  TParamCollectionItem& a = vars.AddVariable(kTypeInt, "a");
  a.Value->SetDims({2, 3});
  for (int i = 0; i < 6; ++i) a.Value->SetIntAt(i, i * 10);
  vars.AddVariable(kTypeInt, "k").Value->SetAsInt(1);
  ExpectResults(vars, {
                          {"a[1, 2]", "int 50"},
                          {"a[k, k + 1] + a[0, 0]", "int 50"},
                          {"a[(k), 1 - 1]", "int 30"},
                          {"a[0, 5]", "int 50"},  // only the flat index is checked
                          {"a[2, 0]", "none"},
                          {"a[1]", "none"},
                          // The negative flat index fails only when "____arg" reads it, after
                          // "____arg" was made: the run stops, its fresh value is the result.
                          {"a[0, -1]", "int 0"},
                          {"a[1, 2] = 7", "none"},
                          {"a[1, 2]", "int 7"},
                          {"a[0, 0] = a[1, 2] * 2", "none"},
                      });
  EXPECT_EQ(a.Value->GetIntAt(0), 14);
  EXPECT_EQ(a.Value->GetCount(), 6);
  EXPECT_EQ(Eval(vars, "a = 3"), "none");  // a whole-variable assignment makes it a scalar
  EXPECT_EQ(a.Value->GetCount(), 1);
}

TEST(TOrinParser, ReferenceVariablesReadTheirElement) {
  TParamCollection vars;
  TParamCollectionItem& a = vars.AddVariable(kTypeStr, "a");
  a.Value->SetDims({5});
  a.Value->SetStrAt(4, "four");
  TParamVar* r = vars.AddVariable(kTypeVar, "r").Value->AsReference();
  r->Target = &a;
  r->Index = 4;
  ExpectResults(vars, {{"r ++ \"!\"", "str four!"}, {"r = \"x\"", "none"}});
  EXPECT_EQ(a.Value->GetStrAt(4), "x");
  EXPECT_EQ(a.Value->GetCount(), 5);
}

TEST(TOrinParser, EarlierEffectsStayWhenALaterOperationFails) {
  TParamCollection vars;
  vars.AddVariable(kTypeInt, "x");
  TOrinParser parser;
  auto op = [](uint8_t code, const char* dest, std::unique_ptr<TCustomParam> operand) {
    auto d = std::make_unique<TOpeData>();
    d->Op = code;
    d->Dest = dest;
    d->Operands.push_back(std::move(operand));
    return d;
  };
  auto five = std::make_unique<TParamInt>();
  five->SetAsInt(5);
  auto missing = std::make_unique<TParamVar>();
  missing->Name = "missing";
  parser.Operations.push_back(op(ocTo, "x", std::move(five)));
  parser.Operations.push_back(op(ocTo, "____arg", std::move(missing)));
  parser.Execute(vars);
  EXPECT_EQ(vars.FindVariable("x")->Value->GetAsInt(), 5);
  EXPECT_EQ(parser.Result, nullptr);

  // Unknown operation codes stop the run the same way.
  for (uint8_t code : {uint8_t{ocNone}, uint8_t{21}, uint8_t{200}}) {
    auto one = std::make_unique<TParamInt>();
    parser.Operations[0] = op(code, "____0", std::move(one));
    parser.Execute(vars);
    EXPECT_EQ(parser.Result, nullptr);
  }
  EXPECT_EQ(vars.Count(), 51);
}

TEST(TOrinParser, ResultIsACopyThatOutlivesTheRun) {
  TParamCollection vars;
  TOrinParser parser;
  test::CompileInto(parser, "\"abc\" ++ 1");
  parser.Execute(vars);
  ASSERT_NE(parser.Result, nullptr);
  EXPECT_EQ(parser.Result->GetAsStr(), "abc1");
  EXPECT_EQ(vars.FindVariable("____arg"), nullptr);
  parser.Execute(vars);  // runs again from a clean state
  EXPECT_EQ(parser.Result->GetAsStr(), "abc1");
}

// A dispatcher that records what it is handed and answers every call with 7.
struct RecordingDispatcher : FunctionDispatcher {
  void Call(int code, TParamCollectionItem& dest, FunctionArgs args, TParamCollection&) override {
    calls.push_back(code);
    argTexts.clear();
    for (const auto& a : args) argTexts.push_back(a->GetAsStr());
    destType = dest.Value->GetType();
    dest.Value->SetAsInt(7);
  }
  std::vector<int> calls;
  std::vector<std::string> argTexts;
  uint8_t destType = 0;
};

// The scene's answer to GetProp's destination type.
struct PropertyHost : NullSceneObjects {
  uint8_t PropertyValueType(int property) override {
    lastProperty = property;
    return kTypeInt;
  }
  int lastProperty = -1;
};

TEST(TOrinParser, FunctionsGoThroughTheDispatcher) {
  TParamCollection vars;
  EXPECT_EQ(Eval(vars, "IntToStr(5)"), "str ");  // nothing built yet: the fresh value

  RecordingDispatcher functions;
  PropertyHost host;
  NullParamHost nulls;
  ParamHost roles = nulls.With({.Objects = &host});
  vars.SetFunctions(&functions);
  vars.SetHost(&roles);
  vars.AddVariable(kTypeStr, "name").Value->SetAsStr("obj");
  EXPECT_EQ(Eval(vars, "IntToStr(2 + 3, name)"), "str 7");
  EXPECT_EQ(functions.calls, (std::vector<int>{0}));
  EXPECT_EQ(functions.argTexts, (std::vector<std::string>{"5", "obj"}));
  EXPECT_EQ(functions.destType, kTypeStr);
  EXPECT_EQ(Eval(vars, "Sin(1)"), "float 7");
  EXPECT_EQ(Eval(vars, "Exists(name)"), "flag TRUE");

  // GetProp's destination is typed by the property; numbers beyond the table stop the run.
  EXPECT_EQ(Eval(vars, "GetProp(name, 47)"), "int 7");
  EXPECT_EQ(host.lastProperty, 47);
  functions.calls.clear();
  EXPECT_EQ(Eval(vars, "GetProp(name, 162)"), "none");
  EXPECT_EQ(Eval(vars, "GetProp(name, -1)"), "none");
  EXPECT_TRUE(functions.calls.empty());
  EXPECT_EQ(Eval(vars, "GetArraySize(missing)"), "none");
  EXPECT_TRUE(functions.calls.empty());
}

TEST(TOrinParser, TemporariesStartFreshOnEveryRun) {
  TParamCollection vars;
  TOrinParser parser;
  test::CompileInto(parser, "v + 1");
  const int base = vars.Count();
  vars.AddVariable(kTypeInt, "v").Value->SetAsInt(1);
  parser.Execute(vars);
  EXPECT_EQ(test::Show(parser.Result.get()), "int 2");
  vars.DeleteVariable("v");
  vars.AddVariable(kTypeFloat, "v").Value->SetAsFloat(1.5L);
  parser.Execute(vars);
  EXPECT_EQ(test::Show(parser.Result.get()), "float 2.5");
  vars.DeleteVariable("v");
  vars.AddVariable(kTypeStr, "v").Value->SetAsStr("x");
  parser.Execute(vars);
  EXPECT_EQ(test::Show(parser.Result.get()), "str 1");
  EXPECT_EQ(vars.Count(), base + 1);

  TParamCollectionItem& a = vars.AddVariable(kTypeInt, "a");
  a.Value->SetDims({3});
  a.Value->SetIntAt(2, 9);
  vars.AddVariable(kTypeInt, "n");
  TOrinParser element;
  test::CompileInto(element, "a[n]");
  for (int n = 0; n < 3; ++n) {
    vars.FindVariable("n")->Value->SetAsInt(n);
    element.Execute(vars);
    EXPECT_EQ(test::Show(element.Result.get()), n == 2 ? "int 9" : "int 0");
  }
}

TEST(TOrinParser, VariablesFreedDuringARunAreLookedUpAgain) {
  // Reading @MouseX frees the temporary that the group (1 + 2) made; the last operation must
  // not use what the run remembered of it.
  struct Host : NullInput {
    int32_t MouseX() override {
      vars->DeleteVariable("____1");
      return 1;
    }
    TParamCollection* vars = nullptr;
  } host;
  NullParamHost nulls;
  ParamHost roles = nulls.With({.Input = &host});
  TParamCollection vars;
  host.vars = &vars;
  vars.SetHost(&roles);
  TOrinParser parser;
  test::CompileInto(parser, "(@MouseX * 1) + (1 + 2)");
  parser.Execute(vars);
  EXPECT_EQ(parser.Result, nullptr);
  EXPECT_EQ(vars.Count(), 50);
}

TEST(TOrinParser, NestedRunsFreeTheirOwnTemporaries) {
  struct Nested : FunctionDispatcher {
    void Call(int, TParamCollectionItem& dest, FunctionArgs, TParamCollection& vars) override {
      TOrinParser inner;
      test::CompileInto(inner, "10 * 2 + 1");
      inner.Execute(vars);
      if (inner.Result) dest.Value->SetAsStr(inner.Result->GetAsStr());
    }
  } functions;
  TParamCollection vars;
  vars.SetFunctions(&functions);
  EXPECT_EQ(Eval(vars, "IntToStr(5) ++ (3 + 4)"), "str 217");
  EXPECT_EQ(vars.Count(), 50);
}

TEST(TOrinParser, RecordLayoutAndRoundTrip) {
  TBuildOrinParser compiler;
  compiler.Compile("x = IntToStr(7, 2.5) ++ \"q\" ++ TRUE");
  MemoryStream written;
  compiler.WriteTo(written);

  TOrinParser parser;
  written.SetPosition(0);
  parser.LoadFromStream(written);
  MemoryStream rewritten;
  parser.SaveToStream(rewritten);
  EXPECT_EQ(rewritten.View(), written.View());

  // "x = 5": one operation, ocTo into x, one integer constant.
  TBuildOrinParser simple;
  simple.Compile("x = 5");
  MemoryStream m;
  simple.WriteTo(m);
  EXPECT_EQ(m.View(), std::string("\x01\0\0\0"
                                  "\x01"
                                  "\x01\0\0\0x"
                                  "\x01\0\0\0"
                                  "\x01\x05\0\0\0",
                                  19));
}

TEST(TOrinParser, OperandKindsAreMaskedAndUnknownKindsAreNames) {
  MemoryStream m;
  WriteInt32(m, 1);
  WriteByte(m, ocTo);
  WriteString(m, "____arg");
  WriteInt32(m, 1);
  WriteByte(m, 0x81);
  WriteInt32(m, 9);
  m.SetPosition(0);
  TOrinParser parser;
  parser.LoadFromStream(m);
  TParamCollection vars;
  parser.Execute(vars);
  EXPECT_EQ(test::Show(parser.Result.get()), "int 9");

  MemoryStream named;
  WriteInt32(named, 1);
  WriteByte(named, ocFunc);
  WriteString(named, "____0");
  WriteInt32(named, 1);
  WriteByte(named, 5);  // FuncCode comes before the operands
  WriteByte(named, 9);
  WriteString(named, "v");
  named.SetPosition(0);
  parser.LoadFromStream(named);
  ASSERT_EQ(parser.Operations.size(), 1u);
  EXPECT_EQ(parser.Operations[0]->FuncCode, 5);
  ASSERT_NE(parser.Operations[0]->Operands[0]->AsReference(), nullptr);
  EXPECT_EQ(parser.Operations[0]->Operands[0]->AsReference()->Name, "v");
}

TEST(TOrinParser, DamagedRecordsFailAndLeaveTheParserAsItWas) {
  TOrinParser parser;
  test::CompileInto(parser, "1 + 2");
  ASSERT_EQ(parser.Operations.size(), 2u);
  auto load = [&](const std::string& bytes) {
    MemoryStream m;
    m.Assign(bytes);
    parser.LoadFromStream(m);
  };
  EXPECT_THROW(load(std::string("\xFF\xFF\xFF\x7F", 4)), Error);
  EXPECT_THROW(load(std::string("\xFF\xFF\xFF\xFF", 4)), Error);
  EXPECT_THROW(load(std::string("\x01\0\0\0\x01\0\0\0\0\xFF\xFF\xFF\x7F", 13)), Error);
  EXPECT_THROW(load(std::string("\x01\0\0\0\x01\0\0\0\0\x01\0\0\0\x04\x10\0\0\0ab", 20)), Error);
  EXPECT_THROW(load(std::string("\x01\0\0\0\x01\0\0\0\0\x01\0\0\0\x02\0\0", 16)), Error);
  EXPECT_EQ(parser.Operations.size(), 2u);
}

TEST(TOrinParser, AssignCopiesDeeply) {
  TOrinParser original;
  test::CompileInto(original, "v ++ \"s\" ++ 2.5");
  TOrinParser copy;
  copy.Assign(original);
  original.Operations[0]->Operands[0]->SetAsStr("changed");
  original.Operations.clear();

  TParamCollection vars;
  vars.AddVariable(kTypeStr, "v").Value->SetAsStr("v");
  copy.Execute(vars);
  EXPECT_EQ(test::Show(copy.Result.get()), "str vs2.5");
  for (const auto& op : copy.Operations)
    for (const auto& operand : op->Operands)
      if (const TParamVar* ref = operand->AsReference()) {
        EXPECT_EQ(ref->Target, nullptr);
      }
}

}  // namespace
}  // namespace orin
