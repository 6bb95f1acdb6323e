// Array and variable functions, and the dispatcher's argument rules.
#include <gtest/gtest.h>

#include "fake_param_host.h"
#include "params/build_orin_parser.h"
#include "params/system_functions_table.h"

namespace orin {
namespace {

using test::ExpectEvals;
using test::ScriptRuntime;

std::string Elements(const TCustomParam& v) {
  std::string out;
  for (int i = 0; i < v.GetCount(); ++i) {
    if (i) out += ',';
    out += v.GetStrAt(i);
  }
  return out;
}

TEST(ArrayFunctions, ShapesFillAndCopy) {
  ScriptRuntime rt;
  TCustomParam& a = *rt.Declare(kTypeInt, "a").Value;
  TCustomParam& f = *rt.Declare(kTypeFloat, "f").Value;
  rt.Declare(kTypeStr, "s");
  rt.Declare(kTypeFlag, "b");
  rt.Declare(kTypeInt, "c");
  ExpectEvals(rt, {
                      {"SetArray(a, 2, 3)", "int 0"},
                      {"GetArraySize(a)", "int 6"},
                      {"GetArraySize(a, 0)", "int 3"},
                      {"GetArraySize(a, 1)", "int 2"},
                      {"GetArraySize(a, 5)", "int 1"},
                      {"GetArraySize(f)", "int 1"},
                      {"FillMem(a, \"7\")", "int 0"},
                      {"a[1, 2]", "int 7"},
                      {"FillMem(f, 2.5)", "int 0"},
                      {"f", "float 2.5"},
                      {"FillMem(s, 1)", "int 0"},
                      {"s", "str 1"},
                      {"FillMem(b, \"TRUE\")", "int 0"},
                      {"b", "flag TRUE"},
                      {"CopyMem(c, a)", "int 0"},
                      {"GetArraySize(c, 1)", "int 2"},
                      {"c[0, 1]", "int 7"},
                      // Different classes: the type error stops the expression; f keeps its value.
                      {"CopyMem(f, a)", "none"},
                      {"f", "float 2.5"},
                      {"SetArray(a, 2, 0)", "none"},
                      {"GetArraySize(a)", "int 6"},
                      {"CopyArray(f, a)", "flag TRUE"},
                      {"GetArraySize(f, 1)", "int 2"},
                      {"f[1, 1]", "float 7"},
                  });
  EXPECT_EQ(a.GetCount(), 6);
  EXPECT_EQ(f.GetCount(), 6);
}

TEST(ArrayFunctions, VariableArgumentsMustBeVariables) {
  ScriptRuntime rt;
  rt.Declare(kTypeInt, "a");
  for (const char* name : {"GetArraySize", "SetArray", "FillMem", "CopyMem"}) {
    const int code = FindSystemFunction(name);
    TParamCollectionItem& dest = rt.vars.AddVariable(kTypeInt, std::string("____t") + name);
    std::vector<std::unique_ptr<TCustomParam>> args;
    args.push_back(std::make_unique<TParamInt>());
    args.push_back(std::make_unique<TParamInt>());
    std::string message;
    try {
      rt.functions.Call(code, dest, args, rt.vars);
    } catch (const Error& e) {
      message = ToUtf8(e.Message());
    }
    EXPECT_EQ(message, std::string(name) + ":変数が見つかりません");
  }
  // An undeclared name cannot be bound: the expression stops before the function runs.
  ExpectEvals(rt, {{"GetVarType(nope)", "none"}, {"GetArraySize(nope)", "none"}});
  // Codes beyond the table do nothing.
  TParamCollectionItem& dest = rt.vars.AddVariable(kTypeInt, "____beyond");
  rt.functions.Call(200, dest, {}, rt.vars);
  EXPECT_EQ(dest.Value->GetAsInt(), 0);
}

TEST(ArrayFunctions, TextAndArrays) {
  ScriptRuntime rt;
  TCustomParam& v = *rt.Declare(kTypeStr, "v").Value;
  TCustomParam& n = *rt.Declare(kTypeInt, "n").Value;
  ExpectEvals(rt, {
                      {"StringToArray(\"a,b,,c\", v, \",\")", "int 0"},
                      {"GetArraySize(v)", "int 4"},
                      {"ArrayToString(v, \"|\")", "str a|b||c"},
                      {"StringToArray(\"x\\ny\", v)", "int 0"},
                      {"ArrayToString(v)", "str x\r\ny"},
                      {"StringToArray(\"p::q\", v, \"::\")", "int 0"},
                      {"ArrayToString(v, \"/\")", "str p/q"},
                      {"StringToArray(\"\", v)", "int 0"},
                      {"GetArraySize(v)", "int 1"},
                      {"ArrayToString(\"one\")", "str one"},
                      {"StringToArray(\"4\\n5\\nx\", n)", "int 0"},
                      {"ArrayToString(n, \"+\")", "str 4+5+0"},
                  });
  EXPECT_EQ(v.GetDimCount(), 1);
  EXPECT_TRUE(v.Dims.empty());
  EXPECT_EQ(n.GetCount(), 3);

  v.SetDims({4});
  for (int i = 0; i < 4; ++i) v.SetStrAt(i, std::string(1, "bAca"[i]));
  ExpectEvals(rt, {
                      {"IndexOfStr(v, \"A\")", "int 1"},
                      {"IndexOfStr(v, \"a\")", "int 3"},
                      {"IndexOfStr(v, \"C\")", "int -1"},
                      {"IndexOfStr(v, \"C\", FALSE)", "int 2"},
                      {"IndexOfStr(v, \"z\", FALSE, TRUE)", "int -1"},
                      {"SortStr(v)", "int 0"},
                  });
  EXPECT_EQ(Elements(v), "A,a,b,c");
}

TEST(ArrayFunctions, GrowAndShrinkOneDimension) {
  ScriptRuntime rt;
  TCustomParam& a = *rt.Declare(kTypeInt, "a").Value;
  TCustomParam& t = *rt.Declare(kTypeStr, "t").Value;
  TCustomParam& m = *rt.Declare(kTypeInt, "m").Value;
  a.SetDims({2});
  a.SetIntAt(0, 1);
  a.SetIntAt(1, 2);
  t.SetDims({2});
  t.SetStrAt(0, "3");
  t.SetStrAt(1, "x");
  m.SetDims({2, 2});
  struct Step {
    const char* call;
    const char* result;
    const char* elements;  // of a afterwards
  };
  const Step steps[] = {
      {"AddArray(a, t)", "int 4", "1,2,3,0"},
      {"AddArray(a, a)", "int 8", "1,2,3,0,1,2,3,0"},
      {"DeleteArray(a, 4, 10)", "int 4", "1,2,3,0"},
      {"InsertArray(a, 1, 9)", "int 5", "1,9,2,3,0"},
      {"InsertArray(a, -5, t)", "int 7", "3,0,1,9,2,3,0"},
      {"InsertArray(a, 99, 8)", "int 8", "3,0,1,9,2,3,0,8"},
      {"DeleteArray(a, -3, 2)", "int 6", "1,9,2,3,0,8"},
      {"DeleteArray(a, 99, 1)", "int 5", "1,9,2,3,0"},
      {"DeleteArray(a, 1, 0)", "int 5", "1,9,2,3,0"},
      {"AddArray(a, m)", "int 5", "1,9,2,3,0"},
      {"AddArray(m, a)", "int 4", "1,9,2,3,0"},
      {"DeleteArray(m, 0, 1)", "int 4", "1,9,2,3,0"},
      {"DeleteArray(a, 0, 5)", "int 0", ""},
      {"GetArraySize(a)", "int 0", ""},
      {"AddArray(a, 6)", "int 1", "6"},
  };
  for (const Step& step : steps) {
    EXPECT_EQ(rt.Eval(step.call), step.result) << step.call;
    EXPECT_EQ(Elements(a), step.elements) << step.call;
  }
  EXPECT_EQ(m.GetCount(), 4);
}

TEST(ArrayFunctions, VariablesAliasesAndCalc) {
  ScriptRuntime rt;
  TCustomParam& x = *rt.Declare(kTypeInt, "x").Value;
  rt.Declare(kTypeStr, "self").Value->SetAsStr("Calc(self)");
  // One byte past the compiler's length limit: refused like any text that does not compile.
  rt.Declare(kTypeStr, "huge").Value->SetAsStr(std::string(TBuildOrinParser::kMaxTextBytes + 1, '1'));
  ExpectEvals(rt, {
                      {"VarExists(\"x\")", "flag TRUE"},
                      {"VarExists(\"X\")", "flag TRUE"},
                      {"VarExists(\"y\")", "flag FALSE"},
                      {"GetVarType(x)", "int 1"},
                      {"GetVarType(\"s\")", "int 4"},
                      {"GetVarType(1.5)", "int 2"},
                      {"Calc(\"x = x + 1\")", "str TRUE"},
                      {"Calc(\"  x = x + 1  \")", "str TRUE"},
                      {"x", "int 2"},
                      {"Calc(\"\")", "str "},
                      {"Calc(\"   \")", "str "},
                      {"Calc(\"1 +\")", "str "},
                      {"Calc(\"nope + 1\")", "str TRUE"},
                      {"Calc(huge)", "str "},
                      // A text that runs itself stops at a fixed depth instead of overflowing.
                      {"Calc(self)", "str TRUE"},
                  });
  EXPECT_EQ(x.GetAsInt(), 2);
  EXPECT_EQ(rt.functions.CalcDepth, 0);
  EXPECT_EQ(rt.vars.Count(), 53);
}

}  // namespace
}  // namespace orin
