// Functions that reach the rest of the player: with the null host (no scene, no project, no
// window), with a fake host, and with a real file manager on a folder.
#include <gtest/gtest.h>

#include "fake_param_host.h"
#include "resources/file_manager.h"
#include "support/test_support.h"

namespace orin {
namespace {

using test::ExpectEvals;
using test::ScriptRuntime;

TEST(HostFunctions, WithoutAPlayerNothingIsThere) {
  TDBManager tables;
  SystemFunctions functions(tables);
  TParamCollection vars;
  vars.SetFunctions(&functions);
  vars.AddVariable(kTypeStr, "v");
  vars.AddVariable(kTypeInt, "w");
  struct Case {
    const char* text;
    const char* result;
  };
  const Case cases[] = {
      {"GetProp(\"obj\", 5)", "str "},
      {"SetProp(\"obj\", 5, 1)", "str "},
      {"Exists(\"obj\")", "flag FALSE"},
      {"GetCheck(\"obj\", 0)", "flag FALSE"},
      {"SetCheck(\"obj\", 0, TRUE)", "int 0"},
      {"ListCompo(v)", "int 0"},
      {"ToClientX(\"obj\", 5)", "int 0"},
      {"ToScreenY(\"obj\", 5)", "int 0"},
      {"IndexOfMenu(\"obj\", \"a\")", "int 0"},
      {"InPrimary(\"obj\")", "flag FALSE"},
      {"GetEnabled(\"obj\", 0)", "flag FALSE"},
      {"GetVisible(\"obj\", 0)", "flag FALSE"},
      {"SetVisible(\"obj\", 0, TRUE)", "flag FALSE"},
      {"GetSaveCaption(1)", "str "},
      {"ListSaveCaption(v)", "int 0"},
      {"GetDisplayMode(0, w, w, w, w)", "flag FALSE"},
      {"SaveScreen(\"a.bmp\")", "flag FALSE"},
      {"SetWallPaper(\"a.bmp\", 0)", "flag FALSE"},
      {"FileExists(\"game.ini\")", "flag FALSE"},
      {"LoadTextFile(v, \"a.txt\")", "flag FALSE"},
      {"DeleteStack(0)", "flag FALSE"},
      {"@ScrWidth", "int 0"},
      {"@StackCount", "int 0"},
      {"@SoundON", "flag TRUE"},
      {"@Title", "str "},
      {"GetArraySize(@MidiPorts)", "int 0"},
  };
  for (const Case& c : cases) EXPECT_EQ(test::Eval(vars, c.text), c.result) << c.text;
}

TEST(HostFunctions, ObjectsSavesAndDisplayModes) {
  ScriptRuntime rt;
  rt.host.objects["obj"][1] = "42";
  rt.host.objects["other"];
  rt.host.displayModes = {{640, 480, 16, 60}, {1024, 768, 32, 75}};
  rt.Declare(kTypeStr, "names");
  for (const char* name : {"w", "h", "bits", "rate"}) rt.Declare(kTypeInt, name);
  ExpectEvals(rt, {
                      {"GetProp(\"obj\", 1) + 1", "int 43"},
                      {"SetProp(\"obj\", 2, \"hi\")", "str "},
                      {"GetProp(\"obj\", 2)", "str hi"},
                      {"GetProp(\"none\", 2)", "str "},
                      {"Exists(\"obj\")", "flag TRUE"},
                      {"GetCheck(\"obj\", 1)", "flag TRUE"},
                      {"SetCheck(\"obj\", 3, TRUE)", "int 0"},
                      {"ToClientX(\"obj\", 100)", "int 90"},
                      {"ToScreenY(\"obj\", 100)", "int 120"},
                      {"SetArray(names, 2)", "int 0"},
                      {"ListCompo(names)", "int 2"},
                      {"names[1]", "str other"},
                      {"GetSaveCaption(3)", "str slot 3"},
                      {"SaveScreen(\"shot.bmp\", 1, 2)", "flag TRUE"},
                      {"GetDisplayMode(1, w, h, bits, rate)", "flag TRUE"},
                      {"w * 1000 + h", "int 1024768"},
                      {"bits * 100 + rate", "int 3275"},
                      {"GetDisplayMode(2, w, h, bits, rate)", "flag FALSE"},
                      {"GetDisplayMode(-1, w, h, bits, rate)", "flag FALSE"},
                      {"w", "int 1024"},
                  });
  EXPECT_EQ(rt.host.objects["obj"][2], "hi");
  EXPECT_EQ(rt.host.calls,
            (std::vector<std::string>{"SetCheck obj 3 TRUE", "SaveScreen shot.bmp 3"}));
}

TEST(HostFunctions, OpenUrlOnlyForHttpAndFtp) {
  ScriptRuntime rt;
  for (const char* text :
       {"http://example.org/", "https://example.org/a?b", "ftp://host/file", "file:///etc/passwd",
        "mailto:someone", "HTTP://upper", "", "javascript:x"})
    EXPECT_EQ(test::Eval(rt.vars, std::string("OpenUrl(\"") + text + "\")"), "flag FALSE");
  EXPECT_EQ(rt.host.openedUrls, (std::vector<std::string>{"http://example.org/",
                                                          "https://example.org/a?b",
                                                          "ftp://host/file"}));
}

TEST(HostFunctions, FilesComeFromTheFileManager) {
  test::TempDir dir;
  dir.Write("list.txt", "a\r\nb\nc");
  dir.Write("Sub/Empty.txt", "");
  TempFolder temp(dir.Path());
  PendingDeletes pending;
  TVrFileManager files(temp, pending, {});
  files.SetBaseFolder(dir.Path());
  ScriptRuntime rt;
  rt.host.files = &files;
  TCustomParam& v = *rt.Declare(kTypeStr, "v").Value;
  ExpectEvals(rt, {
                      {"FileExists(\"list.txt\")", "flag TRUE"},
                      {"FileExists(\"LIST.TXT\")", "flag TRUE"},
                      {"FileExists(\"sub\\\\empty.txt\")", "flag TRUE"},
                      {"FileExists(\"none.txt\")", "flag FALSE"},
                      {"FileExists(\"\")", "flag FALSE"},
                      {"LoadTextFile(v, \"list.txt\")", "flag TRUE"},
                      {"GetArraySize(v)", "int 3"},
                      {"ArrayToString(v, \",\")", "str a,b,c"},
                      {"LoadTextFile(v, \"none.txt\")", "flag FALSE"},
                      {"GetArraySize(v)", "int 3"},
                      {"LoadTextFile(v, \"sub\\\\empty.txt\")", "flag TRUE"},
                      {"v", "str "},
                  });
  EXPECT_TRUE(v.Dims.empty());
}

TEST(HostFunctions, DeleteStackRenumbersTheFrames) {
  ScriptRuntime rt;
  rt.host.stack = {"main.osb", "sub.osb", "event.osb"};
  rt.vars.CurrentFrame = 3;
  TParamCollectionItem& global = rt.Declare(kTypeInt, "g");
  TParamCollectionItem& f0 = rt.Declare(kTypeInt, "f0");
  f0.Frame = 0;
  rt.Declare(kTypeInt, "f1").Frame = 1;
  TParamCollectionItem& f2 = rt.Declare(kTypeInt, "f2");
  f2.Frame = 2;
  f2.IsLocal = true;
  TParamCollectionItem& f3 = rt.Declare(kTypeInt, "f3");
  f3.Frame = 3;
  ExpectEvals(rt, {
                      {"DeleteStack(3)", "flag FALSE"},
                      {"DeleteStack(-1)", "flag FALSE"},
                      {"DeleteStack(1)", "flag TRUE"},
                  });
  EXPECT_EQ(rt.host.stack, (std::vector<std::string>{"main.osb", "event.osb"}));
  EXPECT_EQ(rt.vars.FindVariable("f1"), nullptr);
  EXPECT_EQ(global.Frame, -1);
  EXPECT_EQ(f0.Frame, 0);
  EXPECT_EQ(f2.Frame, 1);
  EXPECT_EQ(f3.Frame, 2);
  // The running page's depth is left as it was.
  EXPECT_EQ(rt.vars.CurrentFrame, 3);
}

}  // namespace
}  // namespace orin
