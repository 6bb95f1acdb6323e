// String functions run through compiled expressions, as scripts call them.
#include <gtest/gtest.h>

#include "fake_param_host.h"

namespace orin {
namespace {

using test::EvalCase;
using test::ExpectEvals;
using test::ScriptRuntime;

TEST(StringFunctions, NumbersAsText) {
  ScriptRuntime rt;
  ExpectEvals(rt, {
                      {"IntToStr(7, 3)", "str 007"},
                      {"IntToStr(-5, 3)", "str -005"},
                      {"IntToStr(42)", "str 42"},
                      {"IntToStr(1234, 2)", "str 1234"},
                      {"IntToStr(5, 0)", "str 5"},
                      {"IntToStr(2.9)", "str 2"},
                      {"IntToHex(255, 4)", "str 00FF"},
                      {"IntToHex(-1, 2)", "str FFFFFFFF"},
                      {"StrToIntDef(\"12\", 5)", "int 12"},
                      {"StrToIntDef(\"12abc\", 5)", "int 5"},
                      {"StrToIntDef(\"$FF\", 0)", "int 255"},
                      {"StrToIntDef(\"\", -1)", "int -1"},
                      {"StrToFloatDef(\"2.5\", 1)", "float 2.5"},
                      {"StrToFloatDef(\"x\", 1.5)", "float 1.5"},
                  });
}

TEST(StringFunctions, BytesAndCharacters) {
  ScriptRuntime rt;
  ExpectEvals(rt, {
                      {"Length(\"あいう\")", "int 6"},
                      {"JLength(\"あいう\")", "int 3"},
                      {"JLength(\"aｱあ\")", "int 3"},
                      {"Copy(\"abcdef\", 2, 3)", "str bcd"},
                      {"Copy(\"abcdef\", 2)", "str bcdef"},
                      // Below 1 the copy starts at the first byte without shortening the count.
                      {"Copy(\"abcdef\", 0, 2)", "str ab"},
                      {"Copy(\"abcdef\", -5, 2)", "str ab"},
                      {"Copy(\"abcdef\", 7)", "str "},
                      {"Copy(\"abc\", 2, -1)", "str "},
                      {"Length(Copy(\"あいう\", 2, 2))", "int 2"},
                      {"JCopy(\"あいうえ\", 2, 2)", "str いう"},
                      {"JCopy(\"aあb\", 2)", "str あb"},
                      {"JCopy(\"あい\", 3)", "str "},
                      {"Pos(\"c\", \"abc\")", "int 3"},
                      {"Pos(\"z\", \"abc\")", "int 0"},
                      {"Pos(\"\", \"abc\")", "int 0"},
                      {"Pos(\"う\", \"あいう\")", "int 5"},
                      {"JPos(\"う\", \"あいう\")", "int 3"},
                      // The trail byte of "ソ" is a backslash; only the real one is found.
                      {"Pos(\"\\\\\", \"ソ\\\\\")", "int 3"},
                      {"Pos(\"\\\\\", \"ソ\")", "int 0"},
                      {"Trim(\"  a b \t\")", "str a b"},
                      {"JTrim(\"　a\")", "str 　a"},
                      {"JTrim(\" \t\")", "str "},
                      {"CompareStr(\"a\", \"b\") < 0", "flag TRUE"},
                      {"CompareStr(\"b\", \"a\") > 0", "flag TRUE"},
                      {"CompareStr(\"ab\", \"a\") > 0", "flag TRUE"},
                      {"CompareStr(\"A\", \"a\") < 0", "flag TRUE"},
                      {"CompareStr(\"a\", \"a\")", "int 0"},
                      {"CompareText(\"A\", \"a\")", "int 0"},
                      {"CompareText(\"ａ\", \"Ａ\")", "int 0"},
                      {"CompareText(\"a\", \"B\") < 0", "flag TRUE"},
                      {"LowerCase(\"ABCａＢΑ\")", "str abcａｂα"},
                      {"UpperCase(\"abcあｱ\")", "str ABCあｱ"},
                      {"FixStr(\"aあ\")", "str aあ"},
                      {"Not(TRUE)", "flag FALSE"},
                      {"Not(0)", "flag TRUE"},
                  });
  rt.Declare(kTypeStr, "s").Value->SetAsStr("ab\x82");
  ExpectEvals(rt, {{"Length(FixStr(s))", "int 2"}, {"JLength(s)", "int 3"}});
}

TEST(StringFunctions, FileNamesAndDelimiters) {
  ScriptRuntime rt;
  ExpectEvals(rt, {
                      {R"(ExtractFilePath("c:\\dir\\file.txt"))", R"(str c:\dir\)"},
                      {R"(ExtractFileName("c:\\dir\\file.txt"))", "str file.txt"},
                      {R"(ExtractFileExt("c:\\dir\\file.txt"))", "str .txt"},
                      {R"(ExtractFilePath("c:file"))", "str c:"},
                      {R"(ExtractFilePath("file"))", "str "},
                      {R"(ExtractFileExt("a.b\\c"))", "str "},
                      {R"(ExtractFileName("表"))", "str 表"},
                      {R"(ExtractFilePath("表\\a"))", R"(str 表\)"},
                      {R"(ChangeFileExt("a\\b.txt", ".bmp"))", R"(str a\b.bmp)"},
                      {R"(ChangeFileExt("a.b\\c", ".x"))", R"(str a.b\c.x)"},
                      {R"(IsPathDelimiter("a\\b", 2))", "flag TRUE"},
                      {R"(IsPathDelimiter("表", 2))", "flag FALSE"},
                      {R"(IsPathDelimiter("a", 5))", "flag FALSE"},
                      {R"(AddBackSlash("a"))", R"(str a\)"},
                      {R"(AddBackSlash("a\\"))", R"(str a\)"},
                      {R"(AddBackSlash("表"))", R"(str 表\)"},
                      {R"(AddBackSlash(""))", R"(str \)"},
                      {R"(IsDelimiter(",;", "a;b", 2))", "flag TRUE"},
                      {R"(IsDelimiter(",;", "a;b", 1))", "flag FALSE"},
                      {R"(IsDelimiter("\\", "表", 2))", "flag FALSE"},
                      {R"(IsDelimiter(",", "a,", 0))", "flag FALSE"},
                      {R"(AddDelimiter(",", ""))", "str "},
                      {R"(AddDelimiter(",", "a"))", "str a,"},
                  });
}

TEST(StringFunctions, ReplaceRepeatAndWidth) {
  ScriptRuntime rt;
  ExpectEvals(rt, {
                      {"StringOfChar(\"ab\", 3)", "str ababab"},
                      {"StringOfChar(\"x\", 0)", "str "},
                      {"StringOfChar(\"x\", -3)", "str "},
                      {"StringReplace(\"aAbA\", \"a\", \"x\")", "str xAbA"},
                      {"StringReplace(\"aAba\", \"a\", \"x\", TRUE)", "str xAbx"},
                      {"StringReplace(\"aAbA\", \"a\", \"x\", TRUE, TRUE)", "str xxbx"},
                      {"StringReplace(\"ａＡ\", \"ａ\", \"b\", TRUE, TRUE)", "str bb"},
                      {"StringReplace(\"abc\", \"\", \"x\", TRUE)", "str abc"},
                      {"StringReplace(\"aaa\", \"a\", \"aa\", TRUE)", "str aaaaaa"},
                      // A match never starts on a trail byte.
                      {"StringReplace(\"ソ\\\\\", \"\\\\\", \"/\", TRUE)", "str ソ/"},
                      {"HanToZen(\"ｶﾞa \")", "str ガａ　"},
                      {"ZenToHan(\"ガＡ“”\")", "str ｶﾞA\"\""},
                  });
  // Asking for gigabytes stops the expression instead of exhausting memory.
  ExpectEvals(rt, {{"StringOfChar(\"abcdefgh\", 2000000000)", "none"}});
}

TEST(StringFunctions, DeleteAndInsertChangeTheVariable) {
  ScriptRuntime rt;
  TCustomParam& s = *rt.Declare(kTypeStr, "s").Value;
  struct Step {
    const char* start;
    const char* call;
    const char* after;
  };
  const Step steps[] = {
      {"abcdef", "Delete(s, 2, 3)", "aef"},
      {"abcdef", "Delete(s, 4)", "abc"},
      {"abcdef", "Delete(s, 0, 2)", "abcdef"},
      {"abcdef", "Delete(s, 7, 1)", "abcdef"},
      {"abcdef", "Delete(s, 2, 0)", "abcdef"},
      {"abcdef", "Delete(s, 5, 100)", "abcd"},
      {"あいうえ", "JDelete(s, 2, 1)", "あうえ"},
      {"あいうえ", "JDelete(s, 3)", "あい"},
      {"abef", "Insert(\"cd\", s, 3)", "abcdef"},
      {"abc", "Insert(\"X\", s, 0)", "Xabc"},
      {"abc", "Insert(\"X\", s, 100)", "abcX"},
      {"あう", "JInsert(\"い\", s, 2)", "あいう"},
      {"あう", "JInsert(\"え\", s, 9)", "あうえ"},
  };
  for (const Step& step : steps) {
    s.SetAsStr(FromUtf8(step.start));
    rt.Eval(FromUtf8(step.call));
    EXPECT_EQ(ToUtf8(s.GetAsStr()), step.after) << step.call;
  }
  // A constant in the variable's place is left alone: the compiled text must not change.
  TOrinParser parser;
  test::CompileInto(parser, "Delete(\"abc\", 1, 1)");
  parser.Execute(rt.vars);
  EXPECT_EQ(parser.Operations[0]->Operands[0]->GetAsStr(), "abc");
}

TEST(StringFunctions, ArgumentCountsAreCheckedWhenCompiling) {
  struct Case {
    const char* text;
    const char* error;
  };
  const Case cases[] = {
      {"Copy(\"a\")", "Copy 引数の数が不正です"},
      {"IntToStr(1, 2, 3)", "IntToStr 引数の数が不正です"},
      {"StringReplace(\"a\", \"b\")", "StringReplace 引数の数が不正です"},
      {"Trim()", "Trim 引数の数が不正です"},
      {"trim(\"a\")", "\"trim\" 関数名がありません"},
      {"StringReplace(\"a\", \"b\", \"c\", TRUE, TRUE)", "(compiles)"},
      {"DBInsert()", "(compiles)"},
      {"SetArray(a, 1, 2, 3, 4, 5, 6)", "(compiles)"},
      {"SetArray(a)", "SetArray 引数の数が不正です"},
  };
  for (const Case& c : cases) EXPECT_EQ(test::CompileError(c.text), c.error) << c.text;
}

}  // namespace
}  // namespace orin
