// The object functions and input variables as scripts reach them: expressions compiled and run
// against a scene through SceneParamHost.
#include "scene/model/scene_param_host.h"

#include <gtest/gtest.h>

#include "core/error.h"
#include "core/text.h"
#include "params/db_manager.h"
#include "params/param_collection.h"
#include "params/params_test_support.h"
#include "params/system_functions.h"
#include "scene/objects/orin_timer.h"
#include "scene/model/property_table.h"
#include "scene/scene_test_support.h"

namespace orin {
namespace {

using namespace literals;

struct Runtime {
  Runtime() : host(scene.list), roles(nulls.With({.Input = &host, .Objects = &host})) {
    vars.SetHost(&roles);
    vars.SetFunctions(&functions);
  }
  ~Runtime() {
    vars.SetFunctions(nullptr);
    vars.SetHost(nullptr);
  }
  std::string Eval(const std::string& text) { return test::Eval(vars, text); }

  test::Scene scene;
  SceneParamHost host;
  NullParamHost nulls;
  ParamHost roles;
  TDBManager tables;
  SystemFunctions functions{tables};
  TParamCollection vars;
};

TEST(SceneParamHost, PropertiesByNameWithTheirTypes) {
  Runtime rt;
  TOrinBox& box = rt.scene.Box("box", 5, 6, 7, 8);
  struct Case {
    const char* text;
    const char* result;
  };
  const Case cases[] = {
      {"GetProp(\"box\", 3)", "int 5"},
      {"GetProp(\"box\", 3) + 1", "int 6"},
      {"GetProp(\"box\", 0)", "str box"},
      {"GetProp(\"box\", 47)", "flag TRUE"},
      {"SetProp(\"box\", 3, \"42\")", "str "},
      {"GetProp(\"box\", 3)", "int 42"},
      {"SetProp(\"box\", 4, 2.9)", "str "},  // floats reach integer properties truncated
      {"GetProp(\"box\", 4)", "int 2"},
      {"GetProp(\"box\", 140)", "int 2"},
      {"SetProp(\"box\", 140, 9)", "str "},  // read only: nothing happens
      {"GetProp(\"box\", 140)", "int 2"},
      {"GetProp(\"box\", 92)", "int 0"},
      {"GetProp(\"nobody\", 3)", "int 0"},
      {"GetProp(\"\", 5)", "int 64"},  // the active root
      {"Exists(\"box\")", "flag TRUE"},
      {"Exists(\"nobody\")", "flag FALSE"},
      {"InPrimary(\"box\")", "flag TRUE"},
      {"ToScreenX(\"box\", 3)", "int 45"},
      {"ToClientY(\"box\", 10)", "int 8"},
      {"GetVisible(\"box\", 0)", "flag TRUE"},
      {"SetVisible(\"box\", 0, FALSE)", "flag FALSE"},
      {"GetProp(\"box\", 47)", "flag FALSE"},
      {"GetEnabled(\"box\", 0)", "flag TRUE"},
      {"SetEnabled(\"box\", 0, FALSE)", "int 0"},
      {"GetProp(\"box\", 27)", "flag TRUE"},
      {"GetCheck(\"box\", 0)", "flag FALSE"},
      {"IndexOfMenu(\"box\", \"x\")", "int -1"},
  };
  for (const Case& c : cases) EXPECT_EQ(rt.Eval(c.text), c.result) << c.text;
  EXPECT_EQ(box.Top(), 2);
}

TEST(SceneParamHost, BadPropertyNumbersStopTheExpression) {
  Runtime rt;
  rt.scene.Box("box", 0, 0, 1, 1);
  for (const char* text : {"GetProp(\"box\", 162)", "GetProp(\"box\", -1)", "SetProp(\"box\", 93, 1)",
                           "SetProp(\"box\", 200, 1)"})
    EXPECT_EQ(rt.Eval(text), "none") << text;
  EXPECT_THROW(rt.scene.list.SetProp("box", 162, TParamInt()), Error);
  try {
    TParamInt v;
    rt.scene.list.GetProp("box", 999, v);
  } catch (const Error& e) {
    EXPECT_EQ(e.Message(), "GetPropエラー"_sj);
  }
  EXPECT_EQ(SetPropErrorMessage(), "SetPropエラー"_sj);
  EXPECT_EQ(PropertyMissingMessage(), "プロパティ指定が不正です"_sj);
}

TEST(SceneParamHost, PropertyTypesTypeGetPropResults) {
  struct Case {
    int number;
    uint8_t type;
  };
  const Case cases[] = {{0, kTypeStr}, {3, kTypeInt}, {27, kTypeFlag}, {47, kTypeFlag}, {33, kTypeStr},
                        {95, kTypeFloat}, {102, kTypeFloat}, {113, kTypeStr}, {138, kTypeFlag}, {140, kTypeInt},
                        {151, kTypeStr}, {160, kTypeInt}, {161, kTypeInt}, {162, kTypeStr}};
  for (const Case& c : cases) EXPECT_EQ(PropertyValueType(c.number), c.type) << c.number;
}

TEST(SceneParamHost, ListCompo) {
  Runtime rt;
  TOrinBox& a = rt.scene.Box("a", 0, 0, 1, 1);
  rt.scene.Box("b", 0, 0, 1, 1, -1, &a);
  rt.scene.Box("c", 0, 0, 1, 1);
  rt.scene.Box("\001hidden", 0, 0, 1, 1);
  rt.scene.list.Create(kKindTimer)->Rename("t");
  rt.vars.AddVariable(kTypeStr, "names");
  struct Case {
    const char* text;
    const char* result;
  };
  const Case cases[] = {
      {"ListCompo(names)", "int 4"},
      {"ArrayToString(names, \",\")", "str a,b,c,t"},
      {"ListCompo(names, \"a\")", "int 1"},
      {"names[0]", "str b"},
      {"ListCompo(names, \"\", 15)", "int 1"},
      {"names", "str t"},
      {"ListCompo(names, \"nobody\")", "int 0"},
      {"names", "str "},
  };
  for (const Case& c : cases) EXPECT_EQ(rt.Eval(c.text), c.result) << c.text;
}

TEST(SceneParamHost, InputVariablesOfTheActiveRoot) {
  Runtime rt;
  TOrinBox& box = rt.scene.Box("box", 0, 0, 10, 10);
  test::SetFlag(box, kPropFocusable, true);
  rt.scene.list.MouseMove(7, 8);
  rt.scene.list.MouseDown(MouseButton::kLeft, 7, 8);
  rt.scene.list.KeyDown(0x41);
  rt.scene.list.MouseWheel(true);
  rt.scene.Frame(16);
  struct Case {
    const char* text;
    const char* result;
  };
  const Case cases[] = {
      {"@MouseX * 100 + @MouseY", "int 708"},
      {"@LClick", "flag TRUE"},
      {"@LPush", "flag TRUE"},
      {"@RClick", "flag FALSE"},
      {"@KeyPush[65]", "flag TRUE"},
      {"@KeyClick[65]", "flag TRUE"},
      {"@KeyPush[256]", "flag TRUE"},  // @WheelDown
      {"@ActiveCompo", "str box"},
      {"@LClick = FALSE", "none"},
      {"@LClick", "flag FALSE"},
  };
  for (const Case& c : cases) EXPECT_EQ(rt.Eval(c.text), c.result) << c.text;
  TOrinBox& other = rt.scene.Box("other", 20, 0, 10, 10);
  test::SetFlag(other, kPropFocusable, true);
  rt.Eval("@ActiveCompo = \"other\"");
  EXPECT_EQ(rt.scene.list.Focus(), &other);
  // Neither a root nor a control that cannot take it gets the focus.
  rt.host.SetActiveCompo("");
  test::SetFlag(box, kPropFocusable, false);
  rt.host.SetActiveCompo("box");
  EXPECT_EQ(rt.scene.list.Focus(), &other);
}

}  // namespace
}  // namespace orin
