// Functions that act on the rest of the player through the roles of the ParamHost: scene
// objects, display modes, saves, the screen, the desktop, the call stack, and the game's files
// through the file manager. Without a scene they do nothing and their results keep the fresh
// value (the null roles); without a file manager no file exists.
#include "core/cp932.h"
#include "core/error.h"
#include "params/function_call.h"
#include "params/param_collection.h"
#include "params/param_host.h"
#include "params/script_text.h"
#include "resources/file_manager.h"

namespace orin {

namespace {

bool LoadTextFile(FunctionCall& call) {
  TVrFileManager* files = call.Host.Desktop.FileManager();
  const std::string name = call.Str(1);
  if (!files || name.empty()) return false;
  MemoryStream content;
  try {
    files->LoadToStream(content, name);
  } catch (const Error&) {
    return false;
  }
  const std::vector<std::string> lines = SplitLines(content.View());
  TCustomParam* target = call.Writable(0);
  TCustomParam* v = target ? ResolveValue(*target) : nullptr;
  if (!v) return true;
  if (lines.empty()) {
    v->SetAsStr({});
    return true;
  }
  if (lines.size() > INT32_MAX) throw Error("LoadTextFile: too many lines");
  v->SetDims({static_cast<int32_t>(lines.size())});
  for (size_t i = 0; i < lines.size(); ++i) v->SetStrAt(static_cast<int>(i), lines[i]);
  return true;
}

bool DeleteStack(FunctionCall& call) {
  const int32_t index = call.Int(0);
  if (index < 0 || index >= call.Host.Call.StackCount()) return false;
  TParamCollection& vars = call.Vars;
  vars.DeleteFrame(index);
  call.Host.Call.DeleteStackEntry(index);
  // The collection's CurrentFrame stays as it is: the call stack sets it on its next change.
  for (int i = 0; i < vars.Count(); ++i) {
    TParamCollectionItem& item = vars[i];
    if (!item.IsSystem() && item.Frame > index) --item.Frame;
  }
  return true;
}

bool GetDisplayMode(FunctionCall& call) {
  const int32_t index = call.Int(0);
  if (index < 0 || index >= call.Host.Screen.DisplayModeCount()) return false;
  const std::array<int32_t, 4> mode = call.Host.Screen.DisplayMode(index);
  for (size_t k = 0; k < mode.size(); ++k)
    if (TCustomParam* v = call.Writable(k + 1)) v->SetAsInt(mode[k]);
  return true;
}

}  // namespace

bool CallHostFunction(FunctionCall& call) {
  ParamHost& host = call.Host;
  switch (call.Code) {
    case 2:  // GetProp
      host.Objects.GetProp(call.Str(0), call.Int(1), call.Dest);
      return true;
    case 3:  // SetProp
      host.Objects.SetProp(call.Str(0), call.Int(1), call.Arg(2));
      return true;
    case 19:  // Exists
      call.ResultFlag(host.Objects.Exists(call.Str(0)));
      return true;
    case 24:  // GetCheck
      call.ResultFlag(host.Objects.GetCheck(call.Str(0), call.Int(1)));
      return true;
    case 25:  // SetCheck
      host.Objects.SetCheck(call.Str(0), call.Int(1), call.Flag(2));
      return true;
    case 27:  // GetSaveCaption
      call.ResultStr(host.Saves.GetSaveCaption(call.Int(0)));
      return true;
    case 32:  // ListCompo
      host.Objects.ListCompo(call.Args, call.Dest);
      return true;
    case 33:  // ToClientX
      call.ResultInt(host.Objects.ToClientX(call.Str(0), call.Int(1)));
      return true;
    case 34:  // ToClientY
      call.ResultInt(host.Objects.ToClientY(call.Str(0), call.Int(1)));
      return true;
    case 35:  // ToScreenX
      call.ResultInt(host.Objects.ToScreenX(call.Str(0), call.Int(1)));
      return true;
    case 36:  // ToScreenY
      call.ResultInt(host.Objects.ToScreenY(call.Str(0), call.Int(1)));
      return true;
    case 47:  // IndexOfMenu
      call.ResultInt(host.Objects.IndexOfMenu(call.Str(0), call.Str(1)));
      return true;
    case 65:  // GetDisplayMode
      call.ResultFlag(GetDisplayMode(call));
      return true;
    case 69:  // InPrimary
      call.ResultFlag(host.Objects.InPrimary(call.Str(0)));
      return true;
    case 71: {  // FileExists
      TVrFileManager* files = host.Desktop.FileManager();
      call.ResultFlag(files && files->Exists(call.Str(0)));
      return true;
    }
    case 72:  // LoadTextFile
      call.ResultFlag(LoadTextFile(call));
      return true;
    case 125:  // SetWallPaper
      call.ResultFlag(host.Desktop.SetWallPaper(call.Str(0), call.Int(1)));
      return true;
    case 131:  // GetEnabled
      call.ResultFlag(host.Objects.GetEnabled(call.Str(0), call.Int(1)));
      return true;
    case 132:  // SetEnabled
      host.Objects.SetEnabled(call.Str(0), call.Int(1), call.Flag(2));
      return true;
    case 134:  // ListSaveCaption
      host.Saves.ListSaveCaption(call.Args, call.Dest);
      return true;
    case 135: {  // OpenUrl
      const std::string url = call.Str(0);
      if (url.rfind("http", 0) == 0 || url.rfind("ftp", 0) == 0) host.Desktop.OpenUrl(url);
      return true;
    }
    case 137:  // SaveScreen
      host.Screen.SaveScreen(call.Args, call.Dest);
      return true;
    case 140:  // GetVisible
      call.ResultFlag(host.Objects.GetVisible(call.Str(0), call.Int(1)));
      return true;
    case 141:  // SetVisible
      host.Objects.SetVisible(call.Str(0), call.Int(1), call.Flag(2));
      return true;
    case 142:  // DeleteStack
      call.ResultFlag(DeleteStack(call));
      return true;
    default:
      return false;
  }
}

}  // namespace orin
