// A running game for the interpreter, command and save tests: variables, tables, a 64 x 48 scene,
// a file manager whose pages are memory entries written from page text, an interpreter, and a
// frame that advances the clock as the shell does. Messages and trace lines are recorded (UTF-8).
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/cp932.h"
#include "core/error.h"
#include "core/log.h"
#include "core/text.h"
#include "params/db_manager.h"
#include "params/param_collection.h"
#include "params/param_host.h"
#include "params/system_functions.h"
#include "resources/file_manager.h"
#include "resources/stream.h"
#include "resources/temp_folder.h"
#include "scene/model/orin_base_list.h"
#include "scene/model/scene_param_host.h"
#include "script/call_man.h"
#include "script/game_context.h"
#include "script/page.h"
#include "script/page_text.h"
#include "script/save_sections.h"

namespace orin::test {

class TestGame;

// The call's part of the system variables (@Result, @ParamStr, @StackCount, @Sender).
class TestCallRole final : public CallRole {
 public:
  explicit TestCallRole(TCallMan*& callMan) : callMan_(callMan) {}
  int32_t ParamCount() override { return callMan_ ? static_cast<int32_t>(callMan_->Args().size()) : 0; }
  std::string ParamStr(int i) override { return callMan_ ? callMan_->Arg(i) : std::string(); }
  std::string SenderName() override { return callMan_ ? callMan_->SenderName() : std::string(); }
  TCustomParam* ResultValue() override { return callMan_ ? callMan_->ReturnValue() : nullptr; }
  uint8_t RunningPageResultType() override {
    return callMan_ && callMan_->CurrentPage() ? callMan_->CurrentPage()->ReturnType : 0;
  }
  int32_t StackCount() override { return callMan_ ? callMan_->StackCount() : 0; }
  void DeleteStackEntry(int32_t index) override {
    if (callMan_) callMan_->DeleteStackEntry(index);
  }

 private:
  TCallMan*& callMan_;
};

class TestGame : public GameContext, public CallManOwner, public TraceSink {
 public:
  explicit TestGame(bool withCallMan = true)
      : files(tempFolder, pending, {}),
        functions(tables),
        scene(&files),
        sceneRoles(scene),
        callRole(callManPtr),
        paramHost(nullRoles.With({.Input = &sceneRoles, .Objects = &sceneRoles, .Call = &callRole})) {
    files.AddArchive("");
    scene.SetSize(64, 48);
    vars.SetFunctions(&functions);
    vars.SetHost(&paramHost);
    if (withCallMan) MakeCallMan();
  }
  ~TestGame() override {
    callMan.reset();
    callManPtr = nullptr;
    vars.SetHost(nullptr);
    vars.SetFunctions(nullptr);
  }

  void MakeCallMan() {
    callMan = std::make_unique<TCallMan>(*this, *this);
    callManPtr = callMan.get();
  }

  // A memory file of the game.
  void AddFile(const std::string& name, std::string_view bytes) {
    TVrFileCollection& memory = files.Items(0);
    memory.RemoveEntry(name);
    memory.AddMemoryEntry(name).Content->Assign(bytes);
    files.Caches.DropByName(name);
  }
  // A page from page text (UTF-8), stored under its name.
  void AddPage(const std::string& name, const std::string& text) {
    TPage page;
    PageFromText(text, page);
    MemoryStream s;
    page.SaveToStream(s);
    AddFile(name, s.View());
  }

  // One frame as the main window runs it: clock, scene input, interpreter, scene step.
  virtual void Frame(int32_t delta = 16) {
    clock += delta;
    frameDelta = delta;
    log.SetClock(clock);
    scene.InputStep(clock, delta);
    callMan->Run();
    if (closing) return;
    scene.Step();
  }
  void Frames(int n, int32_t delta = 16) {
    for (int i = 0; i < n; ++i) Frame(delta);
  }

  // A click on the scene at x, y (queued for the next frame's input step).
  void Click(int x, int y) {
    scene.MouseMove(x, y);
    scene.MouseDown(MouseButton::kLeft, x, y);
    scene.MouseUp(MouseButton::kLeft, x, y);
  }
  // Queues an event as an object of the scene raises it.
  void Raise(const std::string& label, TOrinObject* object = nullptr, std::vector<std::string> args = {}) {
    scene.Events().Add(object, FromUtf8(label), &args, 33);
  }

  int32_t Int(const std::string& name) {
    TParamCollectionItem* v = vars.FindVariable(name);
    return v ? v->Value->GetAsInt() : INT32_MIN;
  }
  std::string Str(const std::string& name) {
    TParamCollectionItem* v = vars.FindVariable(name);
    return v ? ToUtf8(v->Value->GetAsStr()) : std::string("<none>");
  }
  // The ids of the trace lines of commands (not events, not notes) in order, as "page(id)".
  std::vector<std::string> Executed() const {
    std::vector<std::string> out;
    for (const std::string& line : trace) {
      const size_t at = line.find(" : ");
      if (at == std::string::npos || line.compare(at + 3, 2, "--") == 0) continue;
      out.push_back(line.substr(at + 3));
    }
    return out;
  }
  bool Ran(const std::string& entry) const {
    for (const std::string& e : Executed())
      if (e == entry) return true;
    return false;
  }

  // GameContext
  TParamCollection& Vars() override { return vars; }
  TOrinBaseList& Scene() override { return scene; }
  TVrFileManager& Files() override { return files; }
  TDBManager& Tables() override { return tables; }
  SaveSections& Sections() override { return sections; }
  TraceSink* Trace() override { return this; }
  Log& Logger() override { return log; }
  uint32_t Busy() override { return busy ? busy() : 0; }
  int32_t RunningClock() const override { return clock; }
  int32_t FrameDelta() const override { return frameDelta; }
  bool Closing() const override { return closing; }
  void SetClosing(bool c) override { closing = c; }
  void PostClose() override { closePosted = true; }
  void SetTitle(const std::string& t) override { title = ToUtf8(t); }
  MessageResult ShowMessage(const std::string& caption, const std::string& text,
                            MessageButtons buttons, MessageIcon) override {
    messages.push_back(ToUtf8(caption) + "|" + ToUtf8(text));
    if (!answers.empty()) {
      MessageResult a = answers.front();
      answers.erase(answers.begin());
      return a;
    }
    return buttons == MessageButtons::kYesNo ? MessageResult::kYes : MessageResult::kOk;
  }
  std::string GameFolder() override { return gameFolder; }
  std::string SaveFilePath() override { return saveFile; }

  // CallManOwner
  bool FileAvailable(const std::string& name) override {
    return !name.empty() && !unavailable.count(ToUtf8(name)) && files.Exists(name);
  }
  // A page held back by `unavailable` is on a disc that is not inserted; any other is nowhere.
  bool FileMissing(const std::string& name) override {
    return !unavailable.count(ToUtf8(name)) && !files.Exists(name);
  }
  void RequestSave(int32_t slot, const std::string& page, int32_t index, const std::string& caption) override {
    saveRequests.push_back(Format("%d %s %d %s", slot, page, index, caption));
  }
  void RequestLoad(int32_t slot) override { loadRequests.push_back(slot); }

  // TraceSink
  void Write(const std::string& line) override { trace.push_back(ToUtf8(line)); }

  TempFolder tempFolder;
  PendingDeletes pending;
  TVrFileManager files;
  TParamCollection vars;
  TDBManager tables;
  SystemFunctions functions;
  TOrinBaseList scene;
  SaveSections sections;
  TCallMan* callManPtr = nullptr;
  SceneParamHost sceneRoles;
  TestCallRole callRole;
  NullParamHost nullRoles;
  ParamHost paramHost;
  std::unique_ptr<TCallMan> callMan;

  int32_t clock = 0;
  int32_t frameDelta = 0;
  bool closing = false;
  bool closePosted = false;
  std::string title;
  std::string gameFolder;
  std::string saveFile;
  std::set<std::string> unavailable;
  std::vector<MessageResult> answers;
  std::vector<std::string> messages;
  std::vector<std::string> trace;
  MemoryLog log;
  // What Busy does and answers; nothing and 0 when empty.
  std::function<uint32_t()> busy;
  std::vector<std::string> saveRequests;
  std::vector<int32_t> loadRequests;
};

}  // namespace orin::test
