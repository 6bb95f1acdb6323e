// The fifty system variables: what they read from the host and the collection, their own
// conversion rules, writes and ignored writes, element counts and the forwarding of @Result and
// @Temp.
#include "params/param_system.h"

#include <gtest/gtest.h>

#include <array>

#include "fake_param_host.h"
#include "resources/stream.h"

namespace orin {
namespace {

using test::ExpectEvals;
using test::ScriptRuntime;

TCustomParam& Sys(ScriptRuntime& rt, const char* name) {
  TParamCollectionItem* item = rt.vars.FindVariable(name);
  EXPECT_NE(item, nullptr) << name;
  return *item->Value;
}

void SetUpHost(test::FakeParamHost& h) {
  h.lClick = true;
  h.rPush = true;
  h.mouseX = 120;
  h.mouseY = -4;
  h.historyCount = 9;
  h.historyMaxCount = 100;
  h.params = {"first", "second"};
  h.sender = "button1";
  h.screenWidth = 800;
  h.screenHeight = 600;
  h.tickCount = 1000;
  h.pcTickCount = -5;
  h.updateCount = 77;
  h.now = {2024, 2, 29, 5, 13, 45, 30};
  h.fonts = {" Gothic", "Mincho  "};
  h.fixedFonts = {"Mono"};
  h.fullScreen = true;
  h.cgDither = true;
  h.keyPush[13] = true;
  h.keyClick[32] = true;
  h.keyRepeat[40] = true;
  h.wheelDown = true;
  h.displayModes = {{640, 480, 32, 60}, {800, 600, 32, 60}};
  h.displayModeIndex = 1;
  h.title = "Game";
  h.soundOn = false;
  h.activeCompo = "edit1";
  h.midiPort = "port B";
  h.midiPorts = {"port A", "port B"};
  h.stack = {"a.osb", "b.osb", "c.osb"};
}

TEST(TParamSystem, ReadsThePlayersState) {
  ScriptRuntime rt;
  SetUpHost(rt.host);
  rt.vars.TextDelay = 35;
  rt.vars.Cursor = "hand";
  rt.vars.SelStr = "yes";
  rt.vars.SelIndex = 2;
  ExpectEvals(rt, {
                      {"@LClick", "flag TRUE"},
                      {"@RClick", "flag FALSE"},
                      {"@LPush", "flag FALSE"},
                      {"@RPush", "flag TRUE"},
                      {"@MouseX", "int 120"},
                      {"@MouseY", "int -4"},
                      {"@TextDelay", "int 35"},
                      {"@HistoryCount", "int 9"},
                      {"@ParamCount", "int 2"},
                      {"@ParamStr[0]", "str first"},
                      {"@ParamStr[1]", "str second"},
                      {"@Sender", "str button1"},
                      {"@ScrWidth", "int 800"},
                      {"@ScrHeight", "int 600"},
                      {"@TickCount", "int 1000"},
                      {"@PCTickCount", "int -5"},
                      {"@UpdateCount", "int 77"},
                      {"@Year * 10000 + @Month * 100 + @Day", "int 20240229"},
                      {"@Week", "int 5"},
                      {"@Hour * 10000 + @Min * 100 + @Sec", "int 134530"},
                      {"@Fonts", "str Gothic\r\nMincho"},
                      {"@FixedFonts", "str Mono"},
                      {"@FullScr", "flag TRUE"},
                      {"@Cursor", "str hand"},
                      {"@SelStr", "str yes"},
                      {"@SelIndex", "int 2"},
                      {"@Pi", "float 3.14159265358979"},
                      {"@CGDither", "flag TRUE"},
                      {"@1Hour * 24", "float 1"},
                      {"@1Min * 1440", "float 1"},
                      {"@1Sec * 86400", "float 1"},
                      {"@KeyPush[13]", "flag TRUE"},
                      {"@KeyPush[14]", "flag FALSE"},
                      {"@KeyClick[32]", "flag TRUE"},
                      {"@KeyRepeat[40]", "flag TRUE"},
                      {"@DisplayModeCount", "int 2"},
                      {"@DisplayModeIndex", "int 1"},
                      {"@Title", "str Game"},
                      {"@SoundON", "flag FALSE"},
                      {"@ActiveCompo", "str edit1"},
                      {"@HistoryMaxCount", "int 100"},
                      {"@MidiPort", "str port B"},
                      {"@MidiPorts", "str port A"},
                      {"@MidiPorts[1]", "str port B"},
                      {"@WheelDown", "flag TRUE"},
                      {"@WheelUp", "flag FALSE"},
                      {"@StackCount", "int 3"},
                  });
  // Read as a whole, the parameter list is empty; the port list is its first port.
  EXPECT_EQ(Sys(rt, "@ParamStr").GetAsStr(), "");
  EXPECT_EQ(Sys(rt, "@MidiPorts").GetAsStr(), "port A");
}

TEST(TParamSystem, KeyTablesEndWithTheWheel) {
  ScriptRuntime rt;
  for (bool down : {false, true}) {
    for (bool up : {false, true}) {
      rt.host.wheelDown = down;
      rt.host.wheelUp = up;
      ExpectEvals(rt, {
                          {"@KeyPush[256] == @WheelDown", "flag TRUE"},
                          {"@KeyClick[256] == @WheelDown", "flag TRUE"},
                          {"@KeyRepeat[257] == @WheelUp", "flag TRUE"},
                      });
    }
  }
  ExpectEvals(rt, {
                      {"GetArraySize(@KeyPush)", "int 258"},
                      {"GetArraySize(@KeyClick, 0)", "int 258"},
                      {"GetArraySize(@KeyRepeat, 1)", "int 1"},
                      {"@KeyPush[258]", "none"},
                  });
  EXPECT_FALSE(Sys(rt, "@KeyPush").GetFlagAt(1000));
  EXPECT_FALSE(Sys(rt, "@KeyPush").GetFlagAt(-1));
}

TEST(TParamSystem, ElementCountsAndShapes) {
  ScriptRuntime rt;
  SetUpHost(rt.host);
  struct Case {
    const char* name;
    int count;
  };
  const Case cases[] = {
      {"@ParamStr", 2}, {"@MidiPorts", 2}, {"@KeyPush", 258}, {"@MouseX", 1}, {"@Title", 1},
  };
  for (const Case& c : cases) {
    TCustomParam& v = Sys(rt, c.name);
    EXPECT_EQ(v.GetCount(), c.count) << c.name;
    EXPECT_EQ(v.GetDimCount(), 1) << c.name;
    EXPECT_EQ(v.GetDim(0), c.count) << c.name;
    EXPECT_EQ(v.GetDim(1), 1) << c.name;
    // Reshaping changes nothing; sizes are still checked.
    v.SetDims({3, 3});
    v.SetCount(40);
    EXPECT_EQ(v.GetCount(), c.count) << c.name;
    EXPECT_EQ(v.GetDimCount(), 1) << c.name;
    EXPECT_THROW(v.SetDims({0}), Error);
  }
  rt.host.params.clear();
  rt.host.midiPorts.clear();
  EXPECT_EQ(Sys(rt, "@ParamStr").GetCount(), 0);
  EXPECT_EQ(Sys(rt, "@MidiPorts").GetCount(), 0);
  EXPECT_EQ(Sys(rt, "@MidiPorts").GetAsStr(), "");
  EXPECT_EQ(Sys(rt, "@ParamStr").GetStrAt(0), "");
  // Element access on a scalar variable reads and writes the variable itself.
  EXPECT_EQ(Sys(rt, "@MouseX").GetIntAt(7), 120);
  Sys(rt, "@MouseX").SetIntAt(5, 33);
  EXPECT_EQ(rt.host.mouseX, 33);
}

TEST(TParamSystem, OwnConversionTable) {
  ScriptRuntime rt;
  TCustomParam& title = Sys(rt, "@Title");
  struct Case {
    const char* text;
    int32_t asInt;
    long double asFloat;
    bool asFlag;
  };
  // Text reads as a float by the integer parse, and as a flag when it is not empty.
  const Case cases[] = {
      {"12", 12, 12, true},   {"3.5", 0, 0, true},    {"$10", 16, 16, true},
      {"", 0, 0, false},      {"FALSE", 0, 0, true},  {" 7", 7, 7, true},
  };
  for (const Case& c : cases) {
    rt.host.title = c.text;
    EXPECT_EQ(title.GetAsInt(), c.asInt) << c.text;
    EXPECT_EQ(title.GetAsFloat(), c.asFloat) << c.text;
    EXPECT_EQ(title.GetAsFlag(), c.asFlag) << c.text;
  }
  // Unlike a stored text, which reads as 3.5.
  rt.host.title = "3.5";
  rt.Declare(kTypeStr, "t").Value->SetAsStr("3.5");
  ExpectEvals(rt, {{"0.5 + @Title", "float 0.5"}, {"0.5 + t", "float 4"}});

  rt.host.mouseX = -3;
  rt.host.lClick = true;
  EXPECT_EQ(Sys(rt, "@MouseX").GetAsStr(), "-3");
  EXPECT_TRUE(Sys(rt, "@MouseX").GetAsFlag());
  EXPECT_EQ(Sys(rt, "@LClick").GetAsStr(), "TRUE");
  EXPECT_EQ(Sys(rt, "@LClick").GetAsFloat(), 1);
  EXPECT_EQ(Sys(rt, "@Pi").GetAsInt(), 3);
  EXPECT_EQ(Sys(rt, "@1Sec").GetAsInt(), 0);
  EXPECT_TRUE(Sys(rt, "@1Sec").GetAsFlag());
}

TEST(TParamSystem, WritesConvertToTheNativeType) {
  ScriptRuntime rt;
  TCustomParam& mouse = Sys(rt, "@MouseX");
  TCustomParam& click = Sys(rt, "@LClick");
  TCustomParam& cursor = Sys(rt, "@Cursor");

  rt.host.mouseX = 5;
  mouse.SetAsStr("12");
  EXPECT_EQ(rt.host.mouseX, 12);
  mouse.SetAsStr("abc");  // does not parse: unchanged
  EXPECT_EQ(rt.host.mouseX, 12);
  mouse.SetAsStr("3.5");
  EXPECT_EQ(rt.host.mouseX, 12);
  mouse.SetAsFloat(-2.9L);
  EXPECT_EQ(rt.host.mouseX, -2);
  mouse.SetAsFlag(true);
  EXPECT_EQ(rt.host.mouseX, 1);

  click.SetAsStr("2");
  EXPECT_TRUE(rt.host.lClick);
  click.SetAsStr("TRUE");  // integer parse fails: 0
  EXPECT_FALSE(rt.host.lClick);
  click.SetAsFloat(0.5L);
  EXPECT_TRUE(rt.host.lClick);
  click.SetAsInt(0);
  EXPECT_FALSE(rt.host.lClick);

  cursor.SetAsFlag(true);
  EXPECT_EQ(rt.vars.Cursor, "TRUE");
  cursor.SetAsFloat(1.5L);
  EXPECT_EQ(rt.vars.Cursor, "1.5");
  cursor.SetAsInt(-7);
  EXPECT_EQ(rt.vars.Cursor, "-7");

  ExpectEvals(rt, {
                      {"@MouseY = 40", "none"},
                      {"@RClick = TRUE", "none"},
                      {"@TextDelay = 10", "none"},
                      {"@SelStr = \"s\"", "none"},
                      {"@SelIndex = 3", "none"},
                      {"@FullScr = TRUE", "none"},
                      {"@CGDither = TRUE", "none"},
                      {"@DisplayModeIndex = 1", "none"},
                      {"@SoundON = FALSE", "none"},
                      {"@ActiveCompo = \"list\"", "none"},
                      {"@HistoryMaxCount = 50", "none"},
                      {"@MidiPort = \"p\"", "none"},
                  });
  EXPECT_EQ(rt.host.mouseY, 40);
  EXPECT_TRUE(rt.host.rClick);
  EXPECT_EQ(rt.vars.TextDelay, 10);
  EXPECT_EQ(rt.vars.SelStr, "s");
  EXPECT_EQ(rt.vars.SelIndex, 3);
  EXPECT_TRUE(rt.host.fullScreen);
  EXPECT_TRUE(rt.host.cgDither);
  EXPECT_EQ(rt.host.displayModeIndex, 1);
  EXPECT_FALSE(rt.host.soundOn);
  EXPECT_EQ(rt.host.activeCompo, "list");
  EXPECT_EQ(rt.host.historyMaxCount, 50);
  EXPECT_EQ(rt.host.midiPort, "p");
}

TEST(TParamSystem, WritesToReadOnlyVariablesAreIgnored) {
  ScriptRuntime rt;
  SetUpHost(rt.host);
  const char* const readOnly[] = {
      "@LPush",        "@RPush",       "@HistoryCount", "@ParamCount",       "@ParamStr",
      "@Sender",       "@ScrWidth",    "@ScrHeight",    "@TickCount",        "@PCTickCount",
      "@UpdateCount",  "@Year",        "@Month",        "@Day",              "@Week",
      "@Hour",         "@Min",         "@Sec",          "@Fonts",            "@FixedFonts",
      "@Pi",           "@1Hour",       "@1Min",         "@1Sec",             "@KeyPush",
      "@KeyClick",     "@DisplayModeCount", "@Title",   "@KeyRepeat",        "@MidiPorts",
      "@WheelDown",    "@WheelUp",     "@StackCount",
  };
  for (const char* name : readOnly) {
    TCustomParam& v = Sys(rt, name);
    const std::string before = v.GetAsStr(), element = v.GetStrAt(1);
    v.SetAsInt(1999);
    v.SetAsStr("1999");
    v.SetAsFlag(false);
    v.SetAsFloat(19.5L);
    v.SetStrAt(1, "x");
    v.FillStr("x");
    EXPECT_EQ(v.GetAsStr(), before) << name;
    EXPECT_EQ(v.GetStrAt(1), element) << name;
    EXPECT_EQ(test::Eval(rt.vars, std::string(name) + " = 1999"), "none");
    EXPECT_EQ(v.GetAsStr(), before) << name;
  }
  EXPECT_EQ(rt.host.now.Year, 2024);
  EXPECT_EQ(rt.host.stack.size(), 3u);
}

TEST(TParamSystem, ResultActsOnTheCallsReturnValue) {
  ScriptRuntime rt;
  // No call: reads give 0 or empty, writes vanish; the type is the running page's.
  rt.host.pageResultType = kTypeStr;
  ExpectEvals(rt, {{"@Result", "str "}, {"@Result = \"x\"", "none"}, {"@Result", "str "}});
  EXPECT_EQ(Sys(rt, "@Result").GetType(), kTypeStr);
  rt.host.pageResultType = 0;
  EXPECT_EQ(Sys(rt, "@Result").GetType(), 0);
  EXPECT_EQ(Sys(rt, "@Result").GetAsInt(), 0);

  TParamInt value;
  value.SetDims({3});
  rt.host.result = &value;
  ExpectEvals(rt, {
                      {"@Result[2] = 5", "none"},
                      {"GetArraySize(@Result)", "int 3"},
                      {"SetArray(@Result, 2, 2)", "int 0"},
                      {"GetArraySize(@Result)", "int 4"},
                      {"@Result[1, 0] = 9", "none"},
                      {"@Result[1, 0] + 1", "int 10"},
                  });
  EXPECT_EQ(value.GetIntAt(2), 9);
  ExpectEvals(rt, {{"@Result = 6", "none"}, {"@Result", "int 6"}});
  EXPECT_EQ(value.GetCount(), 1);
  rt.host.result = nullptr;
}

TEST(TParamSystem, TempAliasesTheNamedVariable) {
  ScriptRuntime rt;
  TCustomParam& temp = Sys(rt, "@Temp");
  EXPECT_EQ(temp.GetType(), 0);
  EXPECT_EQ(temp.GetAsInt(), 0);
  EXPECT_EQ(temp.GetAsStr(), "");
  temp.SetAsInt(5);  // nothing to write to

  rt.Declare(kTypeInt, "x").Value->SetAsInt(3);
  rt.Declare(kTypeStr, "s").Value->SetDims({2});
  ExpectEvals(rt, {
                      {"AssignTemp(\"x\")", "flag TRUE"},
                      {"@Temp + 1", "int 4"},
                      {"@Temp = 10", "none"},
                      {"x", "int 10"},
                      {"GetVarType(@Temp)", "int 1"},
                      {"AssignTemp(\"nope\")", "flag FALSE"},
                      {"@Temp", "int 10"},
                      {"AssignTemp(\"s\")", "flag TRUE"},
                      {"GetArraySize(@Temp)", "int 2"},
                      {"@Temp[1] = \"b\"", "none"},
                      {"s[1]", "str b"},
                  });
  EXPECT_EQ(rt.vars.TempName, "s");
  // Deleting the variable leaves @Temp aliasing nothing.
  rt.vars.DeleteVariable("s");
  EXPECT_EQ(temp.GetType(), 0);
  EXPECT_EQ(temp.GetAsStr(), "");
}

TEST(TParamSystem, TempAliasLoopsReadAsNothing) {
  ScriptRuntime rt;
  TCustomParam& temp = Sys(rt, "@Temp");
  rt.vars.TempName = "@Temp";
  EXPECT_EQ(temp.GetAsInt(), 0);
  temp.SetAsInt(1);
  // A reference back to @Temp: the chain is cut instead of recursing.
  TParamCollectionItem& r = rt.vars.AddVariable(kTypeVar, "r");
  r.Value->AsReference()->Target = rt.vars.FindVariable("@Temp");
  rt.vars.TempName = "r";
  EXPECT_EQ(temp.GetAsInt(), 0);
  EXPECT_EQ(temp.GetAsStr(), "");
  temp.SetAsStr("x");
  EXPECT_EQ(temp.GetCount(), 1);
}

TEST(TParamSystem, StateOfThisFolderIsSavedWithTheGame) {
  ScriptRuntime rt;
  rt.Declare(kTypeInt, "x");
  ExpectEvals(rt, {
                      {"@TextDelay = 20", "none"},
                      {"@Cursor = \"wait\"", "none"},
                      {"@SelStr = \"no\"", "none"},
                      {"@SelIndex = 7", "none"},
                      {"AssignTemp(\"x\")", "flag TRUE"},
                  });
  MemoryStream saved;
  rt.vars.SaveGame(saved);
  saved.SetPosition(0);
  ScriptRuntime loaded;
  loaded.vars.LoadGame(saved, 134);
  ExpectEvals(loaded, {
                          {"@TextDelay", "int 20"},
                          {"@Cursor", "str wait"},
                          {"@SelStr", "str no"},
                          {"@SelIndex", "int 7"},
                          {"@Temp = 4", "none"},
                          {"x", "int 4"},
                      });
}

TEST(TParamSystem, NumberOutsideTheTableIsAnInternalError) {
  TParamCollection vars;
  TParamSystem broken(vars, 50);
  EXPECT_THROW(broken.GetAsInt(), Error);
  EXPECT_THROW(broken.SetAsStr("x"), Error);
  EXPECT_THROW(broken.GetType(), Error);
  try {
    broken.GetAsStr();
  } catch (const Error& e) {
    EXPECT_EQ(ToUtf8(e.Message()), "内部エラー");
  }
}

// Without a player the clock stands still at the fixed start date, so a run is repeatable.
TEST(NullParamHost, ClockStandsStillAtTheFixedStartDate) {
  TParamCollection vars;
  EXPECT_EQ(test::Eval(vars, "@PCTickCount + @TickCount + @UpdateCount"), "int 0");
  EXPECT_EQ(test::Eval(vars, "@Year * 10000 + @Month * 100 + @Day"), "int 20000101");
  EXPECT_EQ(test::Eval(vars, "@Week ++ \" \" ++ @Hour ++ \":\" ++ @Min ++ \":\" ++ @Sec"), "str 7 12:0:0");
}

TEST(NullParamHost, FixedDateAdvancesByMilliseconds) {
  struct Case {
    uint32_t ms;
    std::array<int, 7> expected;  // year, month, day, week, hour, min, sec
  };
  const Case cases[] = {
      {0, {2000, 1, 1, 7, 12, 0, 0}},
      {999, {2000, 1, 1, 7, 12, 0, 0}},
      {43'199'999, {2000, 1, 1, 7, 23, 59, 59}},
      {43'200'000, {2000, 1, 2, 1, 0, 0, 0}},
      {40u * 86'400'000u, {2000, 2, 10, 5, 12, 0, 0}},
      {UINT32_MAX, {2000, 2, 20, 1, 5, 2, 47}},           // where the 32-bit clock wraps
  };
  for (const Case& c : cases) {
    const LocalDateTime d = FixedDateAfter(c.ms);
    EXPECT_EQ((std::array{d.Year, d.Month, d.Day, d.Week, d.Hour, d.Min, d.Sec}), c.expected) << c.ms;
  }
}

}  // namespace
}  // namespace orin
