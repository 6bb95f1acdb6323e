#include "params/build_orin_parser.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/cp932.h"
#include "core/error.h"
#include "core/text.h"
#include "params/orin_parser.h"
#include "params/param_collection.h"
#include "params/system_functions_table.h"
#include "params_test_support.h"
#include "resources/stream.h"

namespace orin {
namespace {

using namespace literals;

struct Op {
  uint8_t op;
  std::string dest;
  std::vector<std::string> operands;
  uint8_t funcCode = 0;

  bool operator==(const Op& o) const {
    return op == o.op && dest == o.dest && operands == o.operands && funcCode == o.funcCode;
  }
};

std::ostream& operator<<(std::ostream& out, const Op& o) {
  out << OpeCodeName(o.op) << " " << o.dest;
  for (const auto& s : o.operands) out << " [" << s << "]";
  return out << " #" << int{o.funcCode};
}

std::vector<Op> Compiled(std::string_view text) {
  TBuildOrinParser compiler;
  compiler.Compile(text);
  std::vector<Op> ops;
  for (const TBuildOpeData& d : compiler.Operations)
    ops.push_back({d.Op, d.Dest, d.Operands, d.FuncCode});
  return ops;
}

std::string CompileError(std::string_view text) {
  try {
    Compiled(text);
  } catch (const Error& e) {
    return e.Message();
  }
  return "(compiled)";
}

TEST(TBuildOrinParser, PrecedenceAndUnarySign) {
  EXPECT_EQ(Compiled("1 + 2 * 3"), (std::vector<Op>{
                                       {ocMul, "____0", {"2", "3"}},
                                       {ocPlus, "____1", {"1", "____0"}},
                                       {ocTo, "____arg", {"____1"}},
                                   }));
  EXPECT_EQ(Compiled("x = -y"), (std::vector<Op>{
                                    {ocMinus, "____0", {"0", "y"}},
                                    {ocTo, "x", {"____0"}},
                                }));
  EXPECT_EQ(Compiled("-a - b"), (std::vector<Op>{
                                    {ocMinus, "____0", {"0", "a"}},
                                    {ocMinus, "____1", {"____0", "b"}},
                                    {ocTo, "____arg", {"____1"}},
                                }));
}

TEST(TBuildOrinParser, ParenthesesAndCleanUp) {
  // The group's own copy "____0 = ____1" is removed and its later uses read ____1.
  EXPECT_EQ(Compiled("(1 + 2) * 3"), (std::vector<Op>{
                                         {ocPlus, "____1", {"1", "2"}},
                                         {ocMul, "____2", {"____1", "3"}},
                                         {ocTo, "____arg", {"____2"}},
                                     }));
  EXPECT_EQ(Compiled("(x)"), (std::vector<Op>{
                                 {ocTo, "____0", {"x"}},
                                 {ocTo, "____arg", {"____0"}},
                             }));
}

TEST(TBuildOrinParser, FunctionsArraysAndLiterals) {
  EXPECT_EQ(Compiled("IntToStr(a[i + 1], 3)"), (std::vector<Op>{
                                                   {ocPlus, "____2", {"i", "1"}},
                                                   {ocDimTo, "____d_3", {"a", "____2"}},
                                                   {ocTo, "____0", {"____d_3"}},
                                                   {ocFunc, "____4", {"IntToStr", "____0", "3"}, 0},
                                                   {ocTo, "____arg", {"____4"}},
                                               }));
  EXPECT_EQ(Compiled("\"a,b\" ++ s"), (std::vector<Op>{
                                          {ocTo, "____0", {"\"a,b\""}},
                                          {ocComboStr, "____1", {"____0", "s"}},
                                          {ocTo, "____arg", {"____1"}},
                                      }));
  EXPECT_EQ(Compiled("DBDelete ( )"), (std::vector<Op>{
                                          {ocFunc, "____0", {"DBDelete"}, 92},
                                          {ocTo, "____arg", {"____0"}},
                                      }));
  EXPECT_EQ(Compiled("Copy(s, , (2))"), (std::vector<Op>{
                                            {ocFunc, "____0", {"Copy", "s", "", "2"}, 7},
                                            {ocTo, "____arg", {"____0"}},
                                        }));
  EXPECT_EQ(Compiled("m[1, 2]")[0], (Op{ocDimTo, "____d_0", {"m", "1", "2"}}));
}

TEST(TBuildOrinParser, Errors) {
  const std::string syntax = "構文エラー"_sj;
  struct Case {
    const char* text;
    std::string error;
  };
  const std::vector<Case> cases = {
      {"1 +", syntax},
      {"* 2", syntax},
      {"= 5", syntax},
      {"a = b = 1", syntax},
      {"1 2 + (3", syntax},
      {"(1", syntax},
      {"1)", syntax},
      {"a[1", syntax},
      {"a]", syntax},
      {"+ [1]", syntax},
      {"[1]", syntax},
      {"IntToStr(a[1)", syntax},
      {"1 + * 2", syntax},
      {"x = ()", syntax},
      {"a[]", "配列の添え字が不正です"_sj},
      {"Foo(1)", "\"Foo\" 関数名がありません"_sj},
      {"inttostr(1)", "\"inttostr\" 関数名がありません"_sj},
      {"IntToHex(1)", "IntToHex 引数の数が不正です"_sj},
      {"Not(1, 2)", "Not 引数の数が不正です"_sj},
      {"Random()", "Random 引数の数が不正です"_sj},
  };
  for (const Case& c : cases) EXPECT_EQ(CompileError(c.text), c.error) << c.text;
  EXPECT_EQ(CompileError("SetArray(a, 1, 2, 3, 4, 5)"), "(compiled)");
}

TEST(TBuildOrinParser, DeepNestingCompilesGroupByGroup) {
  TParamCollection vars;
  EXPECT_EQ(test::Eval(vars, std::string(2000, '(') + "1" + std::string(2000, ')') + " + 1"),
            "int 2");
  EXPECT_EQ(test::Eval(vars, "Not(Not(Not(Not(1 + 1))))"), "flag FALSE");
}

// Texts past the stated limits are refused with their own error, in the compiler and so in Calc;
// up to them, long and deep texts compile and run.
TEST(TBuildOrinParser, LengthAndNestingLimits) {
  const size_t maxBytes = TBuildOrinParser::kMaxTextBytes;
  const int maxNesting = TBuildOrinParser::kMaxNesting;
  std::string sum = "1";
  while (sum.size() + 2 <= maxBytes) sum += "+1";
  EXPECT_EQ(CompileError(sum), "(compiled)");
  EXPECT_EQ(CompileError(sum + "+1"), Format("expression too long: %d bytes, at most %d", sum.size() + 2, maxBytes));

  const std::string deep = std::string(static_cast<size_t>(maxNesting), '(') + "1" +
                           std::string(static_cast<size_t>(maxNesting), ')');
  EXPECT_EQ(CompileError(deep), "(compiled)");
  EXPECT_EQ(CompileError("a[" + deep + "]"),
            Format("expression nested too deep: more than %d levels of brackets", maxNesting));
  // Brackets inside a literal are text, not nesting.
  EXPECT_EQ(CompileError("\"" + std::string(static_cast<size_t>(maxNesting) + 1, '(') + "\""), "(compiled)");

  TParamCollection vars;
  EXPECT_EQ(test::Eval(vars, "(((1 + 2) * (3 - -1)) ++ \"x\") ++ \"y\""), "str 12xy");
  EXPECT_EQ(test::Eval(vars, std::string(30000, '(') + "2" + std::string(30000, ')') + " * 3"), "int 6");
}

TEST(TBuildOrinParser, TrailBytesAreNeverOperators) {
  // "データ" holds 0x5B ("[") and "ポイント" 0x7C ("|") as trail bytes; "ソ" ends in "\".
  TParamCollection vars;
  vars.AddVariable(kTypeInt, "データ"_sj).Value->SetAsInt(20);
  vars.AddVariable(kTypeInt, "ポイント"_sj).Value->SetAsInt(3);
  TParamCollectionItem& table = vars.AddVariable(kTypeStr, "表"_sj);
  table.Value->SetDims({2});
  table.Value->SetStrAt(1, "ソ"_sj);
  EXPECT_EQ(test::Eval(vars, "データ"_sj + " + " + "ポイント"_sj + " * 2"), "int 26");
  EXPECT_EQ(test::Eval(vars, "\""_sj + "ソ"_sj + "\" ++ " + "表"_sj + "[1]"), "str " + "ソソ"_sj);
}

TEST(TBuildOrinParser, TokensAreWrittenByWhatTheyParseAs) {
  TBuildOrinParser compiler;
  TBuildOpeData op;
  op.Op = ocTo;
  op.Dest = "d";
  op.Operands = {"7", "$FF", "2.5", "TRUE", "FALSE", "\"x\"", "\"", "\"\"", "abc", "true", ""};
  compiler.Operations.push_back(op);
  MemoryStream m;
  compiler.WriteTo(m);
  m.SetPosition(0);
  TOrinParser parser;
  parser.LoadFromStream(m);
  const auto& ops = parser.Operations[0]->Operands;
  ASSERT_EQ(ops.size(), 11u);
  std::vector<std::string> shown;
  for (const auto& v : ops)
    shown.push_back(v->AsReference() ? "name " + v->AsReference()->Name : test::Show(v.get()));
  EXPECT_EQ(shown, (std::vector<std::string>{"int 7", "int 255", "float 2.5", "flag TRUE",
                                             "flag FALSE", "str x", "name \"", "str ", "name abc",
                                             "name true", "name "}));
}

TEST(SystemFunctionTable, CodesFollowTheTableOrder) {
  struct Case {
    const char* name;
    int code;
    int minArgs, maxArgs;
    uint8_t result;
  };
  for (Case c : {Case{"IntToStr", 0, 1, 2, kTypeStr}, Case{"GetProp", 2, 2, 2, kTypeStr},
                 Case{"SetArray", 21, 2, -1, kTypeInt}, Case{"Float", 38, 1, 1, kTypeFloat},
                 Case{"VarExists", 50, 1, 1, kTypeFlag}, Case{"DBInsert", 91, 0, -1, kTypeFlag},
                 Case{"Calc", 136, 1, 1, kTypeStr}, Case{"DBGetTable", 144, 2, 3, kTypeFlag}}) {
    EXPECT_EQ(FindSystemFunction(c.name), c.code) << c.name;
    const SystemFunctionInfo& info = kSystemFunctions[c.code];
    EXPECT_EQ(info.MinArgs, c.minArgs) << c.name;
    EXPECT_EQ(info.MaxArgs, c.maxArgs) << c.name;
    EXPECT_EQ(info.ResultType, c.result) << c.name;
  }
  EXPECT_EQ(FindSystemFunction("calc"), -1);
}

}  // namespace
}  // namespace orin
