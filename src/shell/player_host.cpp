#include "shell/player_host.h"

#include "core/error.h"
#include "core/text.h"
#include "imaging/dib_surface.h"
#include "imaging/font_finder.h"
#include "imaging/font_pixel.h"
#include "imaging/freetype_rasterizer.h"
#include "params/db_manager.h"
#include "params/function_call.h"
#include "params/param_collection.h"
#include "params/system_functions.h"
#include "scene/mura_collection.h"
#include "scene/orin_base_list.h"
#include "scene/orin_mes.h"
#include "scene/orin_new_history.h"
#include "scene/orin_read_list.h"
#include "scene/scene_param_host.h"
#include "script/call_man.h"
#include "script/flip_transition.h"
#include "script/message_sections.h"
#include "script/page.h"
#include "script/page_documents.h"
#include "script/project.h"

namespace orin {

// The system variables and functions as the running game answers them: the scene's part from
// SceneParamHost, the call, the project, the saves and the shell's counters from the host.
class PlayerParamHost final : public SceneParamHost {
 public:
  PlayerParamHost(PlayerHost& host, TOrinBaseList& scene) : SceneParamHost(scene), host_(host) {}

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

  int32_t HistoryCount() override { return host_.sections_->HistoryCount(); }
  int32_t HistoryMaxCount() override { return host_.sections_->HistoryMaxCount(); }
  void SetHistoryMaxCount(int32_t n) override { host_.sections_->SetHistoryMaxCount(n); }

  int32_t ScreenWidth() override { return host_.ScreenWidth(); }
  int32_t ScreenHeight() override { return host_.ScreenHeight(); }
  std::string Title() override { return host_.HasProject() ? host_.Title() : std::string(); }
  int32_t TickCount() override { return host_.state_.RunningClock; }
  int32_t UpdateCount() override { return host_.state_.FrameCounter; }
  std::vector<std::string> FontNames(bool fixedPitch) override {
    if (!host_.fonts_) host_.fonts_ = std::make_unique<FontFinder>(FontFinder::FontDirFromEnvironment());
    const std::string all = InstalledFontNames(*host_.fonts_, fixedPitch);
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

  std::string GetSaveCaption(int32_t slot) override {
    return host_.project_ ? host_.project_->GetSlotCaption(slot) : std::string();
  }
  // ListSaveCaption([captions [, slots]]): the captions of the slots that hold a save, in the
  // order the save file lists them, and their slot numbers; the result is their number.
  void ListSaveCaption(FunctionArgs args, TCustomParam& dest) override {
    static const std::vector<SlotCaption> kNone;
    const std::vector<SlotCaption>& list = host_.project_ ? host_.project_->Captions : kNone;
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

  TVrFileManager* FileManager() override { return &host_.files_; }

 private:
  TCallMan* CallMan() { return host_.project_ ? host_.project_->CallMan() : nullptr; }

  PlayerHost& host_;
};

PlayerHost::PlayerHost(TVrFileManager& files, PendingDeletes& pending, ShellState& state, const DataPaths& paths,
                       TraceSink* trace)
    : files_(files),
      pending_(pending),
      state_(state),
      paths_(paths),
      trace_(trace),
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
  text_.Images = images_.get();
  text_.Vars = vars_.get();
  text_.Documents = documents_.get();
  text_.History = history_.get();
  text_.ReadList = readList_.get();
}

PlayerHost::~PlayerHost() { Close(); }

void PlayerHost::Initialise(const GameSettings&, MainWindow& window) {
  window_ = &window;
  try {
    if (!fonts_) fonts_ = std::make_unique<FontFinder>(FontFinder::FontDirFromEnvironment());
    glyphs_ = std::make_unique<TFontPixelManager>(std::make_unique<FreeTypeRasterizer>(*fonts_));
    text_.Glyphs = glyphs_.get();
  } catch (const Error&) {
    // A machine without outline fonts still plays the game: text then shows no characters.
  }
  scene_ = std::make_unique<TOrinBaseList>(&files_, SceneServices{.Text = &text_});
  paramHost_ = std::make_unique<PlayerParamHost>(*this, *scene_);
  vars_->SetHost(paramHost_.get());
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
  if (project_) {
    project_->Exit();
    documents_->SetInterpreter(nullptr);
    project_.reset();
  }
  if (vars_) vars_->SetFunctions(nullptr);
  functions_.reset();
  if (vars_) vars_->SetHost(nullptr);
  text_.Vars = nullptr;
  vars_.reset();
  paramHost_.reset();
  scene_.reset();
  tables_.reset();
  window_ = nullptr;
}

bool PlayerHost::HasProject() const { return project_ && project_->Loaded(); }
std::string PlayerHost::Title() const { return project_ ? project_->Title : std::string(); }
int PlayerHost::ScreenWidth() const { return HasProject() ? project_->ScreenWidth : 0; }
int PlayerHost::ScreenHeight() const { return HasProject() ? project_->ScreenHeight : 0; }
bool PlayerHost::FramePacing() const { return HasProject() && project_->FramePacing; }

void PlayerHost::SceneInputStep() { scene_->InputStep(state_.RunningClock, state_.FrameDelta); }
void PlayerHost::RunInterpreter() { project_->Run(); }
void PlayerHost::SceneStep() { scene_->Step(); }
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
void PlayerHost::Deactivated() {
  if (scene_) scene_->ReleaseInput();
}

// ---- GameContext

void PlayerHost::PostClose() {
  if (window_) window_->PostClose();
}

void PlayerHost::SetTitle(const std::string& title) {
  if (window_) window_->SetCaption(title);
}

BoxAnswer PlayerHost::ShowMessage(const std::string& caption, const std::string& text, BoxButtons buttons,
                                  BoxIcon icon) {
  if (!window_) return BoxAnswer::kOk;
  const MessageButtons b = buttons == BoxButtons::kOk       ? MessageButtons::kOk
                           : buttons == BoxButtons::kOkCancel ? MessageButtons::kOkCancel
                                                              : MessageButtons::kYesNo;
  MessageIcon i = MessageIcon::kNone;
  switch (icon) {
    case BoxIcon::kInformation: i = MessageIcon::kInformation; break;
    case BoxIcon::kQuestion: i = MessageIcon::kQuestion; break;
    case BoxIcon::kWarning: i = MessageIcon::kWarning; break;
    case BoxIcon::kError: i = MessageIcon::kError; break;
    case BoxIcon::kNone: break;
  }
  switch (window_->ShowMessage(caption, text, b, i)) {
    case MessageResult::kCancel: return BoxAnswer::kCancel;
    case MessageResult::kYes: return BoxAnswer::kYes;
    case MessageResult::kNo: return BoxAnswer::kNo;
    case MessageResult::kOk: break;
  }
  return BoxAnswer::kOk;
}

}  // namespace orin
