// What the text and history commands do when the interpreter runs them: text into message
// windows, the message history shown in a window, the history layout and the read marks.
//
// A window is found by name each time it is needed; a name that finds no message window makes the
// command do nothing.
#include <algorithm>

#include "core/error.h"
#include "media/media_object.h"
#include "params/custom_param.h"
#include "params/param_collection.h"
#include "resources/file_manager.h"
#include "scene/model/orin_base_list.h"
#include "scene/objects/orin_list_box.h"
#include "scene/objects/orin_mes.h"
#include "scene/text/orin_new_history.h"
#include "script/call_man.h"
#include "script/commands_text.h"
#include "script/game_context.h"
#include "script/page.h"
#include "script/save_sections.h"

namespace orin {

namespace {

TOrinMes* FindWindow(TCallMan& interpreter, const std::string& name) {
  if (name.empty()) return nullptr;
  TOrinObject* object = interpreter.Scene().Find(name);
  return object && object->Kind() == kKindMes ? static_cast<TOrinMes*>(object) : nullptr;
}

}  // namespace

void TComTextIns::Begin(TCallMan& interpreter) {
  TParamCollection& vars = interpreter.Vars();
  noInterrupt_ = NoInterrupt.GetFlag(vars, false);
  window_.clear();
  wait_ = false;
  if (TextData.empty()) return;
  const std::string name = WindowName.GetStr(vars);
  TOrinMes* window = FindWindow(interpreter, name);
  if (!window) return;
  window_ = name;
  const bool recordHistory = RecordHistory.GetFlag(vars, false);
  const TPage* page = interpreter.CurrentPage();
  try {
    window->InsertText(page ? page->Name : std::string(), interpreter.Index(), recordHistory, TextData);
  } catch (const Error&) {
    // A document that cannot be shown leaves the window without pages: nothing to wait for.
  }
  wait_ = Wait.GetFlag(vars, false);
}

void TComTextIns::Execute(TCallMan& interpreter, TPage*&, int32_t& index) {
  if (wait_) {
    // The script moves the window on (next page, clear); the command waits while it shows text.
    if (TOrinMes* window = FindWindow(interpreter, window_); window && window->HasPages()) {
      interpreter.SetChain(false);
      return;
    }
  }
  ++index;
}

void TComTextIns::SaveState(std::unique_ptr<MemoryStream>& stream) const {
  if (!stream) stream = std::make_unique<MemoryStream>();
  WriteStateHeader(*stream);
  WriteString(*stream, window_);
  WriteByte(*stream, wait_ ? 1 : 0);
  WriteByte(*stream, noInterrupt_ ? 1 : 0);
}

void TComTextIns::LoadState(Stream& s) {
  const int version = ReadStateHeader(s);
  window_ = ReadString(s);
  wait_ = ReadByte(s) != 0;
  // Records without a version lack the flag: the command was interruptible then.
  noInterrupt_ = version >= kStateVersion && ReadByte(s) != 0;
}

// ---- Media

void TComMovieStop::Begin(TCallMan& interpreter) {
  TParamCollection& vars = interpreter.Vars();
  noInterrupt_ = NoInterrupt.GetFlag(vars, false);
  wait_ = false;
  target_ = 0;
  targetName_.clear();
  const std::string name = ObjectName.GetStr(vars);
  TOrinObject* object = name.empty() ? nullptr : interpreter.Scene().Find(name);
  MediaObject* media = object ? AsMediaObject(object) : nullptr;
  if (!media) return;
  const int32_t fadeTime = FadeTime.GetInt(vars, 0);
  if (fadeTime <= 0) {
    media->SetState(MediaObject::kStopped);
    object->Delete();
    return;
  }
  const std::string& source = media->Source();
  if (source.compare(0, 3, "CD_") != 0 && !interpreter.Game().Files().Exists(source)) return;
  // Already stopped or stopping: nothing to fade and nothing to wait for.
  if (media->State() != MediaObject::kPlay && media->State() != MediaObject::kFadeIn) return;
  media->SetFadeTime(fadeTime);
  target_ = object->Serial();
  media->SetState(MediaObject::kFadeOut);
  targetName_ = object->Name();
  wait_ = Wait.GetFlag(vars, false);
}

void TComMovieStop::Execute(TCallMan& interpreter, TPage*&, int32_t& index) {
  if (wait_ && target_ == 0 && !targetName_.empty()) {
    if (TOrinObject* object = interpreter.Scene().Find(targetName_)) target_ = object->Serial();
    targetName_.clear();
  }
  if (wait_ && target_ != 0) {
    if (TOrinObject* object = interpreter.Scene().FindBySerial(target_); object && !object->IsDeleted()) {
      interpreter.SetChain(false);
      return;
    }
  }
  ++index;
}

void TComMovieStop::SaveState(std::unique_ptr<MemoryStream>& stream) const {
  if (!stream) stream = std::make_unique<MemoryStream>();
  WriteStateHeader(*stream);
  WriteString(*stream, targetName_);
  WriteByte(*stream, wait_ ? 1 : 0);
  WriteByte(*stream, noInterrupt_ ? 1 : 0);
}

void TComMovieStop::LoadState(Stream& s) {
  const int version = ReadStateHeader(s);
  targetName_ = ReadString(s);
  wait_ = ReadByte(s) != 0;
  // Records without a version lack the flag: the command was interruptible then.
  noInterrupt_ = version >= kStateVersion && ReadByte(s) != 0;
  target_ = 0;
}

void TComMediaPlay::Execute(TCallMan& interpreter, TPage*&, int32_t& index) {
  ++index;
  const std::string name = ObjectName.GetStr(interpreter.Vars());
  TOrinObject* object = name.empty() ? nullptr : interpreter.Scene().Find(name);
  if (MediaObject* media = object ? AsMediaObject(object) : nullptr) media->Restart();
}

void TComTextClr::Execute(TCallMan& interpreter, TPage*&, int32_t& index) {
  ++index;
  if (TOrinMes* window = FindWindow(interpreter, WindowName.GetStr(interpreter.Vars()))) window->ClearText();
}

void TComCallHist::Execute(TCallMan& interpreter, TPage*&, int32_t& index) {
  ++index;
  TParamCollection& vars = interpreter.Vars();
  TOrinMes* window = FindWindow(interpreter, WindowName.GetStr(vars));
  const TCustomParam* firstValue = First.Evaluate(vars);
  if (!window || !firstValue) return;
  const int32_t start = std::max(0, firstValue->GetAsInt());
  int32_t count = Count.GetInt(vars, 1);
  const bool flag = Flag.GetFlag(vars, false);
  const int32_t length = interpreter.Game().Sections().HistoryCount();
  if (int64_t{start} + count > length) count = length - start;
  if (count > 0) window->ShowHistory(start, count, flag);
}

void TComClrHist::Execute(TCallMan& interpreter, TPage*&, int32_t& index) {
  ++index;
  interpreter.Game().Sections().ClearHistory();
}

void TComEntryHist::Execute(TCallMan& interpreter, TPage*&, int32_t& index) {
  ++index;
  const std::string name = ObjectName.GetStr(interpreter.Vars());
  if (name.empty()) return;
  if (TOrinObject* object = interpreter.Scene().Find(name))
    interpreter.Vars().HistoryLayout = TOrinNewHistory::EntrySettingsOf(*object);
}

void TComClrRead::Execute(TCallMan& interpreter, TPage*&, int32_t& index) {
  ++index;
  interpreter.Game().Sections().ClearReadList();
}

// ---- Menus

void TComMenuClose::Execute(TCallMan& interpreter, TPage*&, int32_t& index) {
  ++index;
  const std::string name = MenuName.GetStr(interpreter.Vars());
  if (name.empty()) return;
  if (auto* menu = dynamic_cast<TOrinMenu*>(interpreter.Scene().Find(name)))
    menu->RequestOpen(TOrinMenu::kClosing);
}

}  // namespace orin
