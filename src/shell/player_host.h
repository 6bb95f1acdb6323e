// PlayerHost: the game behind the main window — the variable collection, the tables and the
// system functions, the scene, the project with its interpreter, and the ParamHost that answers
// the system variables and functions from them.
//
// The file manager (with the game's data already registered), the pending temporary files, the
// shell state and the data paths are handed in and outlive the host. Initialise makes the scene
// and the project (which reads the project file, restores the status data and starts the first
// page) and sizes the scene to the project's screen; Close frees the project first (its exit page
// runs and the status data is written), then the system functions, the variables and the scene.
//
// The host also owns what formatted text needs (TextServices): the glyph cache, the image cache,
// the stored documents of script pages, the message history and the read list. They outlive the
// scene, whose message windows point at them.
#pragma once

#include <memory>
#include <string>

#include "resources/file_manager.h"
#include "resources/temp_folder.h"
#include "scene/text_services.h"
#include "script/game_context.h"
#include "script/save_sections.h"
#include "shell/data_paths.h"
#include "shell/game_host.h"
#include "shell/shell_state.h"

namespace orin {

class FontFinder;
class PageDocuments;
class SystemFunctions;
class TFontPixelManager;
class TMuraCollection;
class TOrinNewHistory;
class TOrinReadList;
class TDBManager;
class TOrinBaseList;
class TParamCollection;
class TProject;
class PlayerParamHost;

class PlayerHost final : public GameHost, private GameContext {
 public:
  PlayerHost(TVrFileManager& files, PendingDeletes& pending, ShellState& state, const DataPaths& paths,
             TraceSink* trace = nullptr);
  ~PlayerHost() override;
  PlayerHost(const PlayerHost&) = delete;
  PlayerHost& operator=(const PlayerHost&) = delete;

  // GameHost
  void Initialise(const GameSettings& settings, MainWindow& window) override;
  void Close() override;
  bool HasProject() const override;
  std::string Title() const override;
  int ScreenWidth() const override;
  int ScreenHeight() const override;
  bool FramePacing() const override;
  void DeletePendingFiles() override { pending_.DeletePendingFiles(); }
  void SceneInputStep() override;
  void RunInterpreter() override;
  void SceneStep() override;
  bool EndOfFrame() override;
  DrawnFrame Draw() override;
  void FramePresented() override;
  void KeyDown(int key) override;
  void KeyUp(int key) override;
  void MouseDown(MouseButton button, int x, int y) override;
  void MouseUp(MouseButton button, int x, int y) override;
  void MouseMove(int x, int y) override;
  void Wheel(bool down) override;
  void Deactivated() override;
  void Activated() override {}

  // What the game is made of, for tests and tools; null before Initialise and after Close.
  TProject* Project() { return project_.get(); }
  TOrinBaseList* GameScene() { return scene_.get(); }
  TParamCollection* Variables() { return vars_.get(); }
  GameContext& Context() { return *this; }

  TOrinNewHistory& History() { return *history_; }
  TOrinReadList& ReadList() { return *readList_; }
  // The screen transitions of the flip and what object classes add to their creation (not owned;
  // null for none). Set before Initialise.
  void SetTransitions(TransitionFactory* transitions) { transitions_ = transitions; }
  void SetCreationHooks(CreationHooks* hooks) { creationHooks_ = hooks; }

 private:
  // GameContext
  TParamCollection& Vars() override { return *vars_; }
  TOrinBaseList& Scene() override { return *scene_; }
  TVrFileManager& Files() override { return files_; }
  TDBManager& Tables() override { return *tables_; }
  SaveSections& Sections() override { return *sections_; }
  TraceSink* Trace() override { return trace_; }
  TransitionFactory* Transitions() override { return transitions_; }
  CreationHooks* Creation() override { return creationHooks_; }
  int32_t RunningClock() const override { return state_.RunningClock; }
  int32_t FrameDelta() const override { return state_.FrameDelta; }
  bool Closing() const override { return state_.Closing; }
  void SetClosing(bool closing) override { state_.Closing = closing; }
  void PostClose() override;
  void SetTitle(const std::string& title) override;
  BoxAnswer ShowMessage(const std::string& caption, const std::string& text, BoxButtons buttons,
                        BoxIcon icon) override;
  std::string GameFolder() override { return paths_.GameFolder(); }
  std::string SaveFilePath() override { return paths_.SaveFilePath(); }

  friend class PlayerParamHost;

  TVrFileManager& files_;
  PendingDeletes& pending_;
  ShellState& state_;
  const DataPaths& paths_;
  TraceSink* trace_;
  MainWindow* window_ = nullptr;
  // The player's own transitions, installed unless SetTransitions gives others.
  std::unique_ptr<TransitionFactory> wipes_;
  TransitionFactory* transitions_ = nullptr;
  CreationHooks* creationHooks_ = nullptr;

  // Declared before the scene, which is freed first: its windows point at these.
  std::unique_ptr<FontFinder> fonts_;  // null when the machine has no outline font
  std::unique_ptr<TFontPixelManager> glyphs_;
  std::unique_ptr<TMuraCollection> images_;
  std::unique_ptr<PageDocuments> documents_;
  std::unique_ptr<TOrinNewHistory> history_;
  std::unique_ptr<TOrinReadList> readList_;
  TextServices text_;
  std::unique_ptr<SaveSections> sections_;
  std::unique_ptr<TParamCollection> vars_;
  std::unique_ptr<TDBManager> tables_;
  std::unique_ptr<SystemFunctions> functions_;
  std::unique_ptr<TOrinBaseList> scene_;
  std::unique_ptr<PlayerParamHost> paramHost_;
  std::unique_ptr<TProject> project_;
};

}  // namespace orin
