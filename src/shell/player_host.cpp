#include "shell/player_host.h"

#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <exception>

#include "core/cp932.h"
#include "core/error.h"
#include "core/text.h"
#include "imaging/dib_surface.h"
#include "imaging/font_finder.h"
#include "imaging/font_pixel.h"
#include "imaging/freetype_rasterizer.h"
#include "media/audio_output.h"
#include "media/media_engine.h"
#include "media/media_objects.h"
#include "media/media_set.h"
#include "params/db_manager.h"
#include "params/function_call.h"
#include "params/param_collection.h"
#include "params/param_host.h"
#include "params/system_functions.h"
#include "scene/model/mura_collection.h"
#include "scene/model/orin_base_list.h"
#include "scene/objects/orin_mes.h"
#include "scene/text/orin_new_history.h"
#include "scene/text/orin_read_list.h"
#include "scene/model/scene_param_host.h"
#include "script/call_man.h"
#include "script/flip_transition.h"
#include "script/message_sections.h"
#include "script/object_creation_hooks.h"
#include "script/page.h"
#include "script/page_documents.h"
#include "script/project.h"
#include "shell/game_ini.h"
#include "shell/platform.h"
#include "shell/screen_manager.h"

extern char** environ;

namespace orin {

namespace {

// Hands a URL to the desktop: a short-lived shell puts xdg-open in the background and exits at
// once, so the player neither waits for the browser nor leaves a child behind. The URL is an
// argument, never shell text.
void OpenWithDesktop(const std::string& url) {
  // Desktop programs take UTF-8; a URL with bytes that have no UTF-8 form goes as it is.
  std::string arg = Cp932ToUtf8(url).value_or(url);
  char sh[] = "/bin/sh";
  char dashC[] = "-c";
  char script[] = "xdg-open \"$1\" >/dev/null 2>&1 &";
  char name[] = "orinplay-open-url";
  char* argv[] = {sh, dashC, script, name, arg.data(), nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, sh, nullptr, nullptr, argv, environ) != 0) return;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

LocalDateTime MachineNow() {
  const std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  LocalDateTime now;
  now.Year = tm.tm_year + 1900;
  now.Month = tm.tm_mon + 1;
  now.Day = tm.tm_mday;
  now.Week = tm.tm_wday + 1;
  now.Hour = tm.tm_hour;
  now.Min = tm.tm_min;
  now.Sec = tm.tm_sec;
  return now;
}

}  // namespace

// The system variables and functions as the running game answers them: input and objects from
// the scene (SceneParamHost), the call, the project, the saves, the clocks and the desktop from
// the host, the sound switch and the MIDI ports from the media (the null role without them).
class PlayerParamHost final : public CallRole,
                              public HistoryRole,
                              public ScreenRole,
                              public ClockRole,
                              public SavesRole,
                              public DesktopRole {
 public:
  PlayerParamHost(PlayerHost& host, TOrinBaseList& scene, SaveSections& sections, ShellState& state,
                  TVrFileManager& files, MediaRole* media)
      : host_(host),
        scene_(scene),
        sections_(sections),
        state_(state),
        files_(files),
        media_(media ? *media : nullMedia_),
        random_(host.Machine().Desktop ? RunTimeRandom::TimeOfDaySeed() : FixedStartSeed()) {}
  PlayerParamHost(const PlayerParamHost&) = delete;
  PlayerParamHost& operator=(const PlayerParamHost&) = delete;

  ParamHost& Roles() { return roles_; }

  // CallRole
  int32_t ParamCount() override {
    TCallMan* c = CallMan();
    return c ? static_cast<int32_t>(c->Args().size()) : 0;
  }
  std::string ParamStr(int i) override {
    TCallMan* c = CallMan();
    return c ? c->Arg(i) : std::string();
  }
  std::string SenderName() override {
    TCallMan* c = CallMan();
    return c ? c->SenderName() : std::string();
  }
  TCustomParam* ResultValue() override {
    TCallMan* c = CallMan();
    return c ? c->ReturnValue() : nullptr;
  }
  uint8_t RunningPageResultType() override {
    TCallMan* c = CallMan();
    return c && c->CurrentPage() ? c->CurrentPage()->ReturnType : 0;
  }
  int32_t StackCount() override {
    TCallMan* c = CallMan();
    return c ? c->StackCount() : 0;
  }
  void DeleteStackEntry(int32_t index) override {
    if (TCallMan* c = CallMan()) c->DeleteStackEntry(index);
  }

  // HistoryRole
  int32_t HistoryCount() override { return sections_.HistoryCount(); }
  int32_t HistoryMaxCount() override { return sections_.HistoryMaxCount(); }
  void SetHistoryMaxCount(int32_t n) override { sections_.SetHistoryMaxCount(n); }

  // ScreenRole: full screen and the display modes from the window and its display-mode manager
  // (none before the window has the game's screen: no modes, chosen index 0 as the null role);
  // dithering is the image cache's switch; screen capture is not the player's yet and answers as
  // the null role does.
  int32_t ScreenWidth() override { return host_.ScreenWidth(); }
  int32_t ScreenHeight() override { return host_.ScreenHeight(); }
  std::string Title() override { return host_.HasProject() ? host_.Title() : std::string(); }
  bool FullScreen() override {
    MainWindow* w = host_.Window();
    return w && w->FullScreen();
  }
  void SetFullScreen(bool v) override {
    if (MainWindow* w = host_.Window()) w->SetFullScreen(v);
  }
  int32_t DisplayModeCount() override {
    TScreenManager* m = Screens();
    return m ? m->ModeCount() : 0;
  }
  int32_t DisplayModeIndex() override {
    TScreenManager* m = Screens();
    return m ? m->ChosenIndex() : nullScreen_.DisplayModeIndex();
  }
  // Full screen here is always the desktop's size, so a new choice changes nothing on the screen.
  void SetDisplayModeIndex(int32_t index) override {
    if (TScreenManager* m = Screens()) m->SetChosenIndex(index);
  }
  std::array<int32_t, 4> DisplayMode(int32_t index) override {
    TScreenManager* m = Screens();
    return m ? m->ModeFields(index) : nullScreen_.DisplayMode(index);
  }
  std::vector<std::string> FontNames(bool fixedPitch) override {
    const std::string all = InstalledFontNames(host_.Fonts(), fixedPitch);
    std::vector<std::string> names;
    size_t start = 0;
    while (start < all.size()) {
      size_t end = all.find("\r\n", start);
      if (end == std::string::npos) end = all.size();
      names.push_back(all.substr(start, end - start));
      start = end + 2;
    }
    return names;
  }
  bool CGDither() override { return host_.ImageCache() && host_.ImageCache()->Dither(); }
  void SetCGDither(bool v) override {
    if (TMuraCollection* images = host_.ImageCache()) images->SetDither(v);
  }
  void SaveScreen(FunctionArgs args, TCustomParam& dest) override { nullScreen_.SaveScreen(args, dest); }

  // ClockRole
  int32_t TickCount() override { return state_.RunningClock; }
  int32_t PCTickCount() override { return static_cast<int32_t>(Milliseconds()); }
  int32_t UpdateCount() override { return state_.FrameCounter; }
  LocalDateTime Now() override {
    return host_.Machine().Desktop ? MachineNow() : FixedDateAfter(Milliseconds());
  }

  // SavesRole
  std::string GetSaveCaption(int32_t slot) override {
    TProject* project = host_.Project();
    return project ? project->GetSlotCaption(slot) : std::string();
  }
  // ListSaveCaption([captions [, slots]]): the captions of the slots that hold a save, in the
  // order the save file lists them, and their slot numbers; the result is their number.
  void ListSaveCaption(FunctionArgs args, TCustomParam& dest) override {
    static const std::vector<SlotCaption> kNone;
    TProject* project = host_.Project();
    const std::vector<SlotCaption>& list = project ? project->Captions : kNone;
    for (size_t k = 0; k < args.size() && k < 2; ++k) {
      TParamVar* ref = args[k]->AsReference();
      TCustomParam* target = ref && ref->Target ? ResolveValue(*ref) : nullptr;
      if (!target) continue;
      if (list.empty()) {
        if (k == 0)
          target->SetAsStr({});
        else
          target->SetAsInt(0);
        continue;
      }
      target->SetDims({static_cast<int32_t>(list.size())});
      for (size_t i = 0; i < list.size(); ++i) {
        if (k == 0)
          target->SetStrAt(static_cast<int>(i), list[i].Caption);
        else
          target->SetIntAt(static_cast<int>(i), list[i].Slot);
      }
    }
    dest.SetAsInt(static_cast<int32_t>(list.size()));
  }

  // DesktopRole
  TVrFileManager* FileManager() override { return &files_; }
  void OpenUrl(const std::string& url) override {
    if (host_.Machine().Desktop) OpenWithDesktop(url);
  }
  bool SetWallPaper(const std::string& image, int32_t style) override {
    return nullDesktop_.SetWallPaper(image, style);
  }

 private:
  TScreenManager* Screens() {
    MainWindow* w = host_.Window();
    return w ? w->ScreenManager() : nullptr;
  }
  TCallMan* CallMan() {
    TProject* project = host_.Project();
    return project ? project->CallMan() : nullptr;
  }
  uint32_t Milliseconds() {
    Platform* clock = host_.Machine().Clock;
    return clock ? clock->Ticks() : static_cast<uint32_t>(state_.RunningClock);
  }

  PlayerHost& host_;
  TOrinBaseList& scene_;
  SaveSections& sections_;
  ShellState& state_;
  TVrFileManager& files_;
  NullScreen nullScreen_;
  NullDesktop nullDesktop_;
  NullMedia nullMedia_;
  MediaRole& media_;
  SceneParamHost sceneRoles_{scene_};
  RunTimeRandom random_;
  ParamHost roles_{sceneRoles_, sceneRoles_, *this, *this, *this, *this, media_, *this, *this, random_};
};

PlayerHost::PlayerHost(TVrFileManager& files, PendingDeletes& pending, ShellState& state, const DataPaths& paths,
                       TraceSink* trace, PlayerMachine machine)
    : files_(files),
      pending_(pending),
      state_(state),
      paths_(paths),
      trace_(trace),
      machine_(machine),
      images_(std::make_unique<TMuraCollection>(&files)),
      documents_(std::make_unique<PageDocuments>(files)),
      history_(std::make_unique<TOrinNewHistory>(&text_)),
      readList_(std::make_unique<TOrinReadList>()),
      sections_(std::make_unique<MessageSections>(*history_, *readList_)),
      vars_(std::make_unique<TParamCollection>()),
      tables_(std::make_unique<TDBManager>()),
      functions_(std::make_unique<SystemFunctions>(*tables_)) {
  vars_->SetFunctions(functions_.get());
  wipes_ = std::make_unique<WipeTransitions>();
  transitions_ = wipes_.get();
  ownCreationHooks_ = std::make_unique<ObjectCreationHooks>(ObjectCreationHooks::Standard());
  SetCreationHooks(ownCreationHooks_.get());
  // A picture the game cannot show is said once in the trace and the log; the game goes on.
  images_->SetReporter([this](const std::string& line) {
    if (trace_) trace_->Write(Format("%.8x : -- ", static_cast<uint32_t>(state_.RunningClock)) + line);
    Logger().Warn(LogChannel::kFiles, line);
  });
  text_.Images = images_.get();
  text_.Vars = vars_.get();
  text_.Documents = documents_.get();
  text_.History = history_.get();
  text_.ReadList = readList_.get();
}

PlayerHost::~PlayerHost() {
  // Close frees everything in the window's order; the members' own order never comes into play.
  Close();
  fonts_.reset();
}

FontFinder& PlayerHost::Fonts() {
  if (!fonts_) fonts_ = std::make_unique<FontFinder>(FontFinder::FontDirFromEnvironment());
  return *fonts_;
}

void PlayerHost::Initialise(const GameSettings& settings, MainWindow& window) {
  window_ = &window;
  try {
    glyphs_ = std::make_unique<TFontPixelManager>(std::make_unique<FreeTypeRasterizer>(Fonts()));
    text_.Glyphs = glyphs_.get();
  } catch (const Error&) {
    // A machine without outline fonts still plays the game: text then shows no characters.
  }
  StartMedia(settings);
  scene_ = std::make_unique<TOrinBaseList>(
      &files_, SceneServices{.Text = &text_, .Media = mediaObjects_.get(), .Clip = clipboard_, .Http = http_});
  if (!drawTeam_) drawTeam_ = std::make_unique<RowTeam>(drawHelpers_);
  scene_->SetRowTeam(drawTeam_.get());
  paramHost_ = std::make_unique<PlayerParamHost>(*this, *scene_, *sections_, state_, files_, mediaObjects_.get());
  wipes_->SetRandom(&paramHost_->Roles().Random);
  vars_->SetHost(&paramHost_->Roles());
  project_ = std::make_unique<TProject>(static_cast<GameContext&>(*this));
  documents_->SetInterpreter(project_->CallMan());
  if (!project_->Loaded()) return;
  images_->SetKey(project_->ImageCode);
  const int width = project_->ScreenWidth, height = project_->ScreenHeight;
  // The scene's surfaces and the window are sized from these numbers.
  if (width > TDIBSurface::kMaxSide || height > TDIBSurface::kMaxSide ||
      int64_t{width} * height > TDIBSurface::kMaxPixels) {
    state_.Closing = true;
    throw Error(Format("orin.opb: the screen size %dx%d is too large", width, height));
  }
  if (width > 0 && height > 0) scene_->SetSize(width, height);
}

void PlayerHost::Close() {
  CloseProject();
  // The system functions with the tables they work on.
  if (vars_) vars_->SetFunctions(nullptr);
  functions_.reset();
  tables_.reset();
  // The variable collection, then the roles it answered through (they point at the scene).
  if (vars_) vars_->SetHost(nullptr);
  text_.Vars = nullptr;
  vars_.reset();
  if (wipes_) wipes_->SetRandom(nullptr);
  paramHost_.reset();
  scene_.reset();
  // The sounds of the scene are gone; their managers and the audio output go now.
  if (mediaHooks_ == mediaObjects_.get()) mediaHooks_ = nullptr;
  mediaObjects_.reset();
  media_.reset();
  FreeTextServices();
  window_ = nullptr;
}

// The media set of the game, opened once. A machine without a sound device plays silently, on
// the frame clock; headless runs decode only from the frame step, so what is heard follows the
// virtual clock alone.
void PlayerHost::StartMedia(const GameSettings& settings) {
  if (media_) return;
  MediaSettings ms;
  ms.DirectSound = settings.DirectSound;
  ms.DelayTime = NormalizeDelayTime(settings.DelayTime);
  ms.BufferFrames = AudioOutput::kDefaultBufferFrames;
  ms.DecodeThread = machine_.Desktop;
  std::unique_ptr<AudioOutput> output = machine_.Audio ? machine_.Audio->CreateAudioOutput() : nullptr;
  media_ = std::make_unique<MediaSet>(files_, std::move(output), ms, &Logger());
  // A sound the game cannot play is said in the trace as well as the log; the game goes on.
  media_->Engine().SetReporter([this](const std::string& line) {
    if (trace_) trace_->Write(Format("%.8x : -- ", static_cast<uint32_t>(state_.RunningClock)) + line);
  });
  mediaObjects_ = std::make_unique<MediaObjects>(*media_);
  if (!mediaHooks_) mediaHooks_ = mediaObjects_.get();
}

void PlayerHost::CloseProject() {
  if (!project_) return;
  auto report = [](const char* what) {
    std::fprintf(stderr, "orinplay: while closing the game: %s\n", what);
  };
  bool exited = false;
  try {
    project_->Exit();
    exited = true;
  } catch (const Error& e) {
    report(e.Utf8Report().c_str());
  } catch (const std::exception& e) {
    report(e.what());
  } catch (...) {
    report("unknown failure");
  }
  if (!exited) {
    // The exit page may have failed before the status data was written; it still can be.
    try {
      project_->WriteStatusData();
    } catch (const Error& e) {
      report(e.Utf8Report().c_str());
    } catch (const std::exception& e) {
      report(e.what());
    } catch (...) {
      report("unknown failure");
    }
  }
  if (documents_) documents_->SetInterpreter(nullptr);
  project_.reset();
}

// What the scene's message windows pointed at, once the scene is gone.
void PlayerHost::FreeTextServices() {
  text_ = TextServices{};
  sections_.reset();
  readList_.reset();
  history_.reset();
  documents_.reset();
  images_.reset();
  glyphs_.reset();
}

bool PlayerHost::HasProject() const { return project_ && project_->Loaded(); }
std::string PlayerHost::Title() const { return project_ ? project_->Title : std::string(); }
int PlayerHost::ScreenWidth() const { return HasProject() ? project_->ScreenWidth : 0; }
int PlayerHost::ScreenHeight() const { return HasProject() ? project_->ScreenHeight : 0; }
bool PlayerHost::FramePacing() const { return HasProject() && project_->FramePacing; }

void PlayerHost::SceneInputStep() { scene_->InputStep(state_.RunningClock, state_.FrameDelta); }
void PlayerHost::RunInterpreter() { project_->Run(); }
void PlayerHost::SceneStep() {
  scene_->Step();
  // After the objects stepped: what they started this frame is decoded ahead before the device
  // asks for it.
  if (media_) media_->Update(static_cast<uint32_t>(std::max(state_.FrameDelta, 0)));
}
bool PlayerHost::EndOfFrame() { return project_->EndOfFrame(); }

DrawnFrame PlayerHost::Draw() {
  scene_->Draw();
  DrawnFrame frame;
  ScreenSurface& surface = scene_->PresentSurface();
  if (surface.Depth() != 32 || surface.Width() <= 0 || surface.Height() <= 0) return frame;
  frame.BackBuffer.Pixels = reinterpret_cast<const uint32_t*>(surface.Bits());
  frame.BackBuffer.Width = surface.Width();
  frame.BackBuffer.Height = surface.Height();
  frame.BackBuffer.Pitch = static_cast<int>(surface.RowStep() / 4);
  TOrinBase& root = scene_->ActiveRoot();
  if (scene_->Transition() || root.AllDirty())
    frame.Dirty.push_back(surface.Bounds());
  else
    frame.Dirty = root.DirtyRects();
  return frame;
}

void PlayerHost::FramePresented() { scene_->ClearDirty(); }

void PlayerHost::KeyDown(int key) {
  if (scene_) scene_->KeyDown(key);
}
void PlayerHost::KeyUp(int key) {
  if (scene_) scene_->KeyUp(key);
}
void PlayerHost::TextInput(const std::string& utf8) {
  if (scene_) scene_->TextInput(utf8);
}
void PlayerHost::TextEditing(const std::string& utf8, int cursor) {
  if (scene_) scene_->TextEditing(utf8, cursor);
}
bool PlayerHost::WantsTextInput(Rect& caret) { return scene_ && scene_->WantsTextInput(caret); }
void PlayerHost::MouseDown(MouseButton button, int x, int y) {
  if (scene_) scene_->MouseDown(button, x, y);
}
void PlayerHost::MouseUp(MouseButton button, int x, int y) {
  if (scene_) scene_->MouseUp(button, x, y);
}
void PlayerHost::MouseMove(int x, int y) {
  if (scene_) scene_->MouseMove(x, y);
}
void PlayerHost::Wheel(bool down) {
  if (scene_) scene_->MouseWheel(down);
}
int PlayerHost::PreferredFullScreenWidth() const {
  return HasProject() ? project_->FullScreenWidth : 0;
}
int PlayerHost::PreferredFullScreenHeight() const {
  return HasProject() ? project_->FullScreenHeight : 0;
}

void PlayerHost::Deactivated() {
  if (mediaHooks_) mediaHooks_->Suspend();
  if (scene_) scene_->ReleaseInput();
}

void PlayerHost::Activated() {
  if (mediaHooks_) mediaHooks_->Resume();
}

void PlayerHost::BeforeDisplaySwitch(bool toFullScreen) {
  if (mediaHooks_) mediaHooks_->BeforeDisplaySwitch(toFullScreen);
}

void PlayerHost::AfterDisplaySwitch(bool fullScreen) {
  // The screen the game was drawn on is gone: the next frame presents the whole of it again.
  if (scene_) scene_->ActiveRoot().InvalidateAll();
  if (mediaHooks_) mediaHooks_->AfterDisplaySwitch(fullScreen);
}

// ---- GameContext

void PlayerHost::PostClose() {
  if (window_) window_->PostClose();
}

void PlayerHost::SetTitle(const std::string& title) {
  if (window_) window_->SetCaption(title);
}

MessageResult PlayerHost::ShowMessage(const std::string& caption, const std::string& text,
                                      MessageButtons buttons, MessageIcon icon) {
  return window_ ? window_->ShowMessage(caption, text, buttons, icon) : MessageResult::kOk;
}

}  // namespace orin
