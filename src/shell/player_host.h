// PlayerHost: the game behind the main window — the variable collection, the tables and the
// system functions, the scene, the project with its interpreter, and the roles (params/
// param_host.h) that answer the system variables and functions from them.
//
// The file manager (with the game's data already registered), the pending temporary files, the
// shell state and the data paths are handed in and outlive the host. Initialise makes the scene
// and the project (which reads the project file, restores the status data and starts the first
// page) and sizes the scene to the project's screen.
//
// Close (and the destructor, through it) frees in the window's closing order, whatever of it
// exists: the project first (its exit page runs and the status data is written), then the system
// functions with the tables, the variable collection, the scene, the media managers, and last
// what the scene's message windows pointed at (TextServices: the glyph cache, the image cache,
// the stored documents of script pages, the message history and the read list). Nothing escapes
// it: a failure while the project closes (even running out of memory while the status data is
// written) is reported on stderr, the status data is written again when it still can be, and
// everything else is freed all the same.
//
// The clocks scripts see come from PlayerMachine: a window run reads the machine's date, seeds
// the run-time generator from its time of day and opens URLs with xdg-open; any other run (headless,
// tests) is repeatable: the date starts at kFixedStartDate and advances with the platform's
// virtual millisecond clock, the generator is seeded from that date and URLs open nothing.
#pragma once

#include <memory>
#include <string>

#include "core/log.h"
#include "imaging/row_team.h"
#include "media/window_hooks.h"
#include "resources/file_manager.h"
#include "resources/temp_folder.h"
#include "scene/text/text_services.h"
#include "script/game_context.h"
#include "script/save_sections.h"
#include "shell/data_paths.h"
#include "shell/game_host.h"
#include "shell/shell_state.h"

namespace orin {

class Clipboard;
class HttpService;
class FontFinder;
class MediaObjects;
class MediaSet;
class ObjectCreationHooks;
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
class PageObserver;

// What of the machine the game may see (see above).
struct PlayerMachine {
  // The millisecond clock of @PCTickCount and of the headless date; null: the shell's running
  // clock.
  Platform* Clock = nullptr;
  // A run on the user's desktop: the machine's date, a time-of-day seed, xdg-open for OpenUrl.
  bool Desktop = false;
  // What hands out the audio output (a window run also decodes ahead on a worker thread); null:
  // the game plays silently on the frame clock.
  Platform* Audio = nullptr;
};

class PlayerHost final : public GameHost, private GameContext {
 public:
  PlayerHost(TVrFileManager& files, PendingDeletes& pending, ShellState& state, const DataPaths& paths,
             TraceSink* trace = nullptr, PlayerMachine machine = {});
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
  void TextInput(const std::string& utf8) override;
  void TextEditing(const std::string& utf8, int cursor) override;
  bool WantsTextInput(Rect& caret) override;
  int PreferredFullScreenWidth() const override;
  int PreferredFullScreenHeight() const override;
  void Deactivated() override;
  void Activated() override;
  void BeforeDisplaySwitch(bool toFullScreen) override;
  void AfterDisplaySwitch(bool fullScreen) override;

  // What the game is made of, for tests and tools; null before Initialise and after Close.
  TProject* Project() { return project_.get(); }
  TOrinBaseList* GameScene() { return scene_.get(); }
  TParamCollection* Variables() { return vars_.get(); }
  GameContext& Context() { return *this; }

  TOrinNewHistory& History() { return *history_; }
  // The game's shared image cache; null after Close.
  TMuraCollection* ImageCache() { return images_.get(); }
  TOrinReadList& ReadList() { return *readList_; }
  // The font finder, made on first use; throws Error when the machine has no outline font.
  FontFinder& Fonts();
  const PlayerMachine& Machine() const { return machine_; }
  // The screen transitions of the flip and what object classes add to their creation (not owned;
  // null for none). Set before Initialise.
  void SetTransitions(TransitionFactory* transitions) { transitions_ = transitions; }
  void SetCreationHooks(CreationHooks* hooks) { creationHooks_ = hooks; }
  // The log of the run (not owned; the null log when none is given).
  void SetLog(Log& log) { log_ = &log; }
  // What the media managers do on focus changes and display switches (not owned; null: the
  // player's own media, once Initialise has made them).
  void SetMediaHooks(MediaWindowHooks* hooks) { mediaHooks_ = hooks; }
  // The media of the running game: made by Initialise before the scene, freed by Close after it.
  MediaSet* Media() { return media_.get(); }
  MediaObjects* MediaOfScene() { return mediaObjects_.get(); }
  // The desktop's clipboard for the entry fields (not owned; null: none). Set before Initialise.
  void SetClipboard(Clipboard* clipboard) { clipboard_ = clipboard; }
  // The network for TOrinHttp (not owned; null: every request fails). Set before Initialise.
  void SetHttp(HttpService* http) { http_ = http; }
  // Threads besides the frame loop that share the rows of large drawing operations (before
  // Initialise; by default RowTeam::DefaultHelpers()).
  void SetDrawHelpers(int helpers) { drawHelpers_ = helpers; }
  // Who hears of every new page of a message window (not owned; null: nobody).
  void SetPageObserver(PageObserver* observer) { text_.Pages = observer; }
  // Where trace lines go from now on (not owned; null: nowhere).
  void SetTrace(TraceSink* trace) { trace_ = trace; }
  TraceSink* TraceOut() const { return trace_; }
  // The window the game runs in, between Initialise and Close.
  MainWindow* Window() { return window_; }

 private:
  // GameContext
  TParamCollection& Vars() override { return *vars_; }
  TOrinBaseList& Scene() override { return *scene_; }
  TVrFileManager& Files() override { return files_; }
  TDBManager& Tables() override { return *tables_; }
  SaveSections& Sections() override { return *sections_; }
  TraceSink* Trace() override { return trace_; }
  Log& Logger() override { return log_ ? *log_ : GameContext::Logger(); }
  uint32_t Busy() override { return window_ ? window_->InterpreterBusy() : 0; }
  TransitionFactory* Transitions() override { return transitions_; }
  CreationHooks* Creation() override { return creationHooks_; }
  int32_t RunningClock() const override { return state_.RunningClock; }
  int32_t FrameDelta() const override { return state_.FrameDelta; }
  bool Closing() const override { return state_.Closing; }
  void SetClosing(bool closing) override { state_.Closing = closing; }
  void PostClose() override;
  void SetTitle(const std::string& title) override;
  MessageResult ShowMessage(const std::string& caption, const std::string& text,
                            MessageButtons buttons, MessageIcon icon) override;
  std::string GameFolder() override { return paths_.GameFolder(); }
  std::string SaveFilePath() override { return paths_.SaveFilePath(); }

  void CloseProject();
  void StartMedia(const GameSettings& settings);
  void FreeTextServices();

  TVrFileManager& files_;
  PendingDeletes& pending_;
  ShellState& state_;
  const DataPaths& paths_;
  TraceSink* trace_;
  PlayerMachine machine_;
  MainWindow* window_ = nullptr;
  // The player's own transitions, installed unless SetTransitions gives others.
  std::unique_ptr<TransitionFactory> wipes_;
  TransitionFactory* transitions_ = nullptr;
  CreationHooks* creationHooks_ = nullptr;
  // The player's own creation hooks, installed unless SetCreationHooks gives others.
  std::unique_ptr<ObjectCreationHooks> ownCreationHooks_;
  MediaWindowHooks* mediaHooks_ = nullptr;
  Clipboard* clipboard_ = nullptr;
  HttpService* http_ = nullptr;
  int drawHelpers_ = RowTeam::DefaultHelpers();
  Log* log_ = nullptr;

  // Close frees these in its own order; the order here does not matter.
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
  // Outlives the scene, whose surfaces draw with it.
  std::unique_ptr<RowTeam> drawTeam_;
  std::unique_ptr<TOrinBaseList> scene_;
  std::unique_ptr<PlayerParamHost> paramHost_;
  std::unique_ptr<TProject> project_;
  // The media set and what the scene and the system variables see of it.
  std::unique_ptr<MediaSet> media_;
  std::unique_ptr<MediaObjects> mediaObjects_;
};

}  // namespace orin
