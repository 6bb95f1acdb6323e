#include "script/call_man.h"

#include <algorithm>

#include "core/cp932.h"
#include "core/error.h"
#include "core/log.h"
#include "core/text.h"
#include "params/custom_param.h"
#include "params/param_collection.h"
#include "resources/file_manager.h"
#include "scene/model/orin_base_list.h"
#include "script/command.h"
#include "script/game_context.h"
#include "script/page.h"

namespace orin {

using namespace literals;

namespace {

// Marks an event that can never run (its page fails to load), so that it can be taken out.
constexpr int32_t kDroppedLevel = INT32_MIN;

void WriteStrings(Stream& s, const std::vector<std::string>& list) {
  WriteInt32(s, static_cast<int32_t>(list.size()));
  for (const std::string& a : list) WriteString(s, a);
}

std::vector<std::string> ReadStrings(Stream& s) {
  const int32_t n = ReadInt32(s);
  if (n < 0 || n > s.Remaining() / 4) throw Error("damaged save: an argument count does not fit the data");
  std::vector<std::string> list;
  list.reserve(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) list.push_back(ReadString(s));
  return list;
}

// The page and label name of an event label: the label name follows the last ":" that comes after
// the last "." or "\"; the page's last three characters become "osb", so that a label may name
// the page file by another extension.
void SplitEventLabel(const std::string& label, std::string& page, std::string& name) {
  const size_t colon = FindLastChar(label, ':');
  size_t separator = std::string::npos;
  for (char c : {'.', '\\'}) {
    const size_t at = FindLastChar(label, c);
    if (at != std::string::npos && (separator == std::string::npos || at > separator)) separator = at;
  }
  if (colon != std::string::npos && (separator == std::string::npos || colon > separator)) {
    page = label.substr(0, colon);
    name = label.substr(colon + 1);
  } else {
    page = label;
    name.clear();
  }
  const size_t chars = CharCount(page);
  page.resize(CharOffset(page, chars >= 3 ? chars - 3 : 0));
  page.append("osb");
}

}  // namespace

// ---- TStack

TStack::TStack() = default;
TStack::~TStack() = default;
TStack::TStack(TStack&&) noexcept = default;
TStack& TStack::operator=(TStack&&) noexcept = default;

void TStack::Clear() { *this = TStack(); }

// ---- TCallMan

TCallMan::TCallMan(GameContext& game, CallManOwner& owner) : game_(game), owner_(owner) {}

TCallMan::~TCallMan() {
  page_ = nullptr;
  for (auto& p : pages_) p->FreePageVariable(Vars());
}

TParamCollection& TCallMan::Vars() { return game_.Vars(); }
TOrinBaseList& TCallMan::Scene() { return game_.Scene(); }

TPage* TCallMan::LoadPage(const std::string& name) {
  for (auto it = pages_.begin(); it != pages_.end(); ++it) {
    if ((*it)->Name != name) continue;
    pages_.splice(pages_.begin(), pages_, it);
    return pages_.front().get();
  }
  auto page = std::make_unique<TPage>();
  page->Load(game_.Files(), name, owner_.Messages());
  pages_.push_front(std::move(page));
  while (static_cast<int>(pages_.size()) > kPageCacheLimit) {
    if (pages_.back().get() == page_) break;
    pages_.back()->FreePageVariable(Vars());
    // The command traced last may be on the page that goes; a new page at the same address
    // must still be traced.
    lastTraced_ = nullptr;
    pages_.pop_back();
  }
  return pages_.front().get();
}

TPage* TCallMan::Start(const std::string& name) {
  TPage* page = LoadPage(name);
  page_ = page;
  index_ = 0;
  started_ = false;
  args_.clear();
  mode_ = 0;
  frames_.clear();
  SyncCurrentFrame();
  sender_ = 0;
  TTimerList& events = Scene().Events();
  for (int32_t level = 1; level <= level_; ++level) events.RemoveLevel(level);
  level_ = 2;
  return page;
}

TCommand* TCallMan::CurrentCommand() const {
  if (!page_ || index_ < 0 || index_ >= page_->Count()) return nullptr;
  return page_->Commands[static_cast<size_t>(index_)].get();
}

std::string TCallMan::Arg(int i) const {
  return i >= 0 && i < static_cast<int>(args_.size()) ? args_[static_cast<size_t>(i)] : std::string();
}

TOrinObject* TCallMan::LiveObject(uint64_t serial) const {
  if (serial == 0) return nullptr;
  TOrinObject* o = game_.Scene().FindBySerial(serial);
  return o && !o->IsDeleted() ? o : nullptr;
}

std::string TCallMan::SenderName() {
  if (mode_ == 0) return {};
  TOrinObject* o = LiveObject(sender_);
  return o ? o->Name() : std::string();
}

void TCallMan::SyncCurrentFrame() { Vars().CurrentFrame = StackCount(); }

void TCallMan::Push(std::unique_ptr<TStack> frame) {
  frames_.push_back(std::move(frame));
  SyncCurrentFrame();
}

std::unique_ptr<TStack> TCallMan::FrameOfCurrent(bool saveState) {
  auto frame = std::make_unique<TStack>();
  frame->PageName = page_ ? page_->Name : std::string();
  frame->Index = index_;
  frame->Started = started_;
  frame->Args = args_;
  frame->Sender = sender_;
  frame->Chain = chain_;
  if (saveState && started_)
    if (const TCommand* c = CurrentCommand()) c->SaveState(frame->State);
  return frame;
}

void TCallMan::DeleteStackEntry(int32_t index) {
  if (index < 0 || index >= StackCount()) return;
  frames_.erase(frames_.begin() + index);
}

TCustomParam* TCallMan::ReturnValue() const {
  return frames_.empty() ? nullptr : frames_.back()->ReturnValue.get();
}

// ---- Running

void TCallMan::TraceCommand(const TPage& page, const TCommand& command, const char* prefix) {
  TraceSink* sink = game_.Trace();
  if (!sink) return;
  std::string line = Format("%.8x : ", static_cast<uint32_t>(game_.RunningClock()));
  line.append(prefix).append(page.Name).append(Format("(%d)", command.Id));
  sink->Write(line);
}

void TCallMan::TraceNote(const std::string& text) {
  TraceSink* sink = game_.Trace();
  if (!sink) return;
  std::string line = Format("%.8x : -- ", static_cast<uint32_t>(game_.RunningClock()));
  line.append(text);
  sink->Write(line);
}

void TCallMan::Report(const std::string& text) {
  TraceNote(text);
  game_.Logger().Warn(LogChannel::kScript, text);
}

void TCallMan::ReportUnavailable(const std::string& pageName) {
  if (pageName == lastUnavailable_) return;
  lastUnavailable_ = pageName;
  TraceNote(pageName + ": not available");
  game_.Logger().Warn(LogChannel::kFiles,
                      pageName + ": the page is not available; the jump or call does not happen");
}

void TCallMan::CommandFailed(const TPage& page, const TCommand& command, const Error& error) {
  const std::string where = page.Name + Format("(%d)", command.Id);
  TraceNote(where + ": " + error.Message());
  Log& log = game_.Logger();
  if (!log.Enabled(LogLevel::kWarn)) return;
  // A command that fails in every pass of a loop or every frame of a wait says so once.
  if (&command == lastFailed_ && error.Message() == lastFailure_) return;
  lastFailed_ = &command;
  lastFailure_ = error.Message();
  log.Write(LogLevel::kWarn, LogChannel::kScript, where, error);
}

void TCallMan::NoticeBusy() {
  busyCountdown_ = kBusyEvery;
  const uint32_t elapsed = game_.Busy();
  const std::string where =
      page_ ? Format(" (in %s at command %d)", page_->Name, index_) : std::string();
  if (game_.Closing()) {
    Report(Format("the run stops: the game closes after %d ms without a yield",
                  static_cast<int>(elapsed)) +
           where);
    return;
  }
  if (busyNoticed_ || elapsed < kRunawayNoticeMs) return;
  busyNoticed_ = true;
  Report(Format("the script has not yielded for %d s", static_cast<int>(elapsed / 1000)) + where);
}

void TCallMan::ExecuteOne(TPage& page, TPage*& pageRef, bool& blocking, bool& started, int32_t& index) {
  if (index < 0 || index >= page.Count()) {
    pageRef = nullptr;
    return;
  }
  TPage* const before = pageRef;
  const int32_t beforeIndex = index;
  try {
    TCommand& command = *page.Commands[static_cast<size_t>(index)];
    if (&command != lastTraced_ && game_.Trace()) {
      TraceCommand(page, command, "");
      lastTraced_ = &command;
    }
    if (!started) {
      if (command.GetDisabled()) {
        ++index;
        return;
      }
      command.Begin(*this);
      started = true;
    }
    chain_ = command.GetChain();
    blocking = command.Blocking();
    command.Execute(*this, pageRef, index);
  } catch (const Error& e) {
    // A failing command does not stop the game; what it did before the error stays done.
    CommandFailed(page, *page.Commands[static_cast<size_t>(beforeIndex)], e);
  }
  if (pageRef != before || index != beforeIndex) started = false;
}

int TCallMan::Step() {
  if (!page_) {
    // Nothing to run: the frame must end all the same, and a handler counts as returned.
    chain_ = false;
    return mode_ == 0 ? kStepNormal : kStepReturnedToMain;
  }
  int result = kStepNormal;
  TPage* pageRef = page_;
  bool blocking = false;
  ExecuteOne(*page_, pageRef, blocking, started_, index_);
  if (blocking) result = kStepBlocking;
  if (pageRef) {
    page_ = pageRef;
    return result;
  }
  if (frames_.empty()) {
    chain_ = false;
    return result;
  }
  try {
    ReturnFromCall();
  } catch (const Error& e) {
    // The page to return to no longer loads: there is no script left to run, but events still
    // start.
    Report("the return from a call failed: " + e.Message());
    page_ = nullptr;
    sender_ = 0;
  }
  if (sender_ == 0) return kStepReturnedToMain;
  return result == kStepBlocking ? kStepBlocking : kStepReturnedToHandler;
}

void TCallMan::ReturnFromCall() {
  Vars().DeleteFrame(StackCount());
  if (frames_.empty()) throw Error("スタックエラー"_sj);
  spare_ = std::move(*frames_.back());
  frames_.pop_back();
  SyncCurrentFrame();
  TStack& frame = spare_;
  if (!frame.ResultName.empty() && frame.ReturnValue)
    if (TParamCollectionItem* v = Vars().FindVariable(frame.ResultName)) v->Value->CopyArrayFrom(*frame.ReturnValue);
  TPage* page = LoadPage(frame.PageName);
  page_ = page;
  index_ = frame.Index;
  started_ = frame.Started;
  chain_ = frame.Chain;
  args_ = frame.Args;
  sender_ = frame.Sender;
  if (frame.State && index_ >= 0 && index_ < page->Count()) {
    frame.State->SetPosition(0);
    page->Commands[static_cast<size_t>(index_)]->LoadState(*frame.State);
  }
}

bool TCallMan::StartEvent(int32_t level) {
  if (started_)
    if (const TCommand* c = CurrentCommand(); c && c->Uninterruptible()) return false;
  TTimerList& events = Scene().Events();
  TTimerData* event = nullptr;
  TPage* page = nullptr;
  std::string pageName, labelName;
  // An event that can never run would hold up every event behind it for good: it goes, and the
  // next one gets its turn.
  while (!page) {
    event = events.FirstWaiting();
    if (!event) return false;
    SplitEventLabel(event->Label, pageName, labelName);
    if (!owner_.FileAvailable(pageName)) {
      // A page on a disc that is not inserted comes with the disc: its event waits.
      if (!owner_.FileMissing(pageName)) return false;
      DropEvent(*event,
                "the event " + event->Label + " was dropped: its page " + pageName + " is nowhere");
      continue;
    }
    try {
      page = LoadPage(pageName);
    } catch (const Error& e) {
      DropEvent(*event, "the event " + event->Label + " was dropped: " + e.Message());
    }
  }
  Push(FrameOfCurrent(true));
  page_ = page;
  index_ = labelName.empty() ? -1 : page->FindLabel(labelName);
  if (index_ < 0) index_ = 0;
  if (index_ < page->Count())
    if (game_.Trace()) TraceCommand(*page, *page->Commands[static_cast<size_t>(index_)], "<Event>");
  started_ = false;
  event->Level = level;
  args_ = event->Args;
  sender_ = event->Object ? event->Object->Serial() : 0;
  mode_ = 1;
  return true;
}

void TCallMan::DropEvent(TTimerData& event, const std::string& why) {
  Report(why);
  event.Level = kDroppedLevel;
  Scene().Events().RemoveLevel(kDroppedLevel);
}

bool TCallMan::Run() {
  if (game_.Closing()) return true;
  TTimerList& events = Scene().Events();
  busyCountdown_ = kBusyEvery;
  busyNoticed_ = false;
  do {
    if (--busyCountdown_ <= 0) {
      NoticeBusy();
      if (game_.Closing()) break;
    }
    switch (mode_) {
      case 0:
        if (StartEvent(1)) continue;
        Step();
        break;
      case 1: {
        const int r = Step();
        if (r == kStepReturnedToMain) {
          events.RemoveLevel(1);
          mode_ = 0;
          chain_ = true;
        } else if (r == kStepBlocking) {
          level_ = 2;
          mode_ = 2;
          return true;
        } else if (mode_ != 1) {
          chain_ = true;
        }
        break;
      }
      case 2:
        if (StartEvent(level_)) {
          ++level_;
          mode_ = 3;
        } else {
          mode_ = level_ > 2 ? 3 : 1;
        }
        break;
      default: {
        const int r = Step();
        if (r == kStepReturnedToMain || r == kStepReturnedToHandler) {
          --level_;
          events.RemoveLevel(level_);
          if (level_ <= 2) mode_ = 2;
        } else if (r == kStepBlocking) {
          mode_ = 2;
          return true;
        }
        break;
      }
    }
  } while ((chain_ || mode_ != 0) && !game_.Closing());
  return true;
}

// ---- Saves

void TCallMan::SaveFrame(Stream& s, const TStack& frame) const {
  WriteString(s, frame.PageName);
  WriteInt32(s, frame.Index);
  WriteByte(s, frame.Started ? 1 : 0);
  WriteByte(s, frame.Chain ? 1 : 0);
  WriteString(s, frame.ResultName);
  WriteStrings(s, frame.Args);
  TOrinObject* sender = LiveObject(frame.Sender);
  WriteString(s, sender ? sender->Name() : std::string());
  if (frame.State) {
    WriteInt32(s, static_cast<int32_t>(frame.State->Size()));
    s.WriteBuffer(frame.State->Data(), static_cast<int64_t>(frame.State->Size()));
  } else {
    WriteInt32(s, 0);
  }
  if (frame.ReturnValue) {
    WriteByte(s, frame.ReturnValue->StorageType());
    frame.ReturnValue->SaveToStream(s);
  } else {
    WriteByte(s, 0);
  }
}

void TCallMan::LoadFrame(Stream& s, TStack& frame, int /*version*/) {
  frame.Clear();
  frame.PageName = ReadString(s);
  frame.Index = ReadInt32(s);
  frame.Started = ReadByte(s) != 0;
  frame.Chain = ReadByte(s) != 0;
  frame.ResultName = ReadString(s);
  frame.Args = ReadStrings(s);
  const std::string sender = ReadString(s);
  if (!sender.empty() && !Scene().IsReservedName(sender))
    if (TOrinObject* o = Scene().Find(sender)) frame.Sender = o->Serial();
  const int32_t size = ReadInt32(s);
  if (size < 0 || size > s.Remaining()) throw Error("damaged save: a call frame's state runs past the end of the data");
  if (size > 0) {
    frame.State = std::make_unique<MemoryStream>();
    std::string bytes(static_cast<size_t>(size), '\0');
    s.ReadBuffer(bytes.data(), size);
    frame.State->Assign(bytes);
  }
  const uint8_t type = ReadByte(s);
  if (type != 0) {
    frame.ReturnValue = CreateParam(type);
    if (!frame.ReturnValue) throw Error("damaged save: a call frame's return value has no type");
    frame.ReturnValue->LoadFromStream(s, &Vars());
  }
}

void TCallMan::Save(Stream& s) const {
  WriteString(s, page_ ? page_->Name : std::string());
  WriteInt32(s, index_);
  WriteByte(s, chain_ ? 1 : 0);
  WriteByte(s, started_ ? 1 : 0);
  WriteInt32(s, mode_);
  TOrinObject* sender = LiveObject(sender_);
  WriteString(s, sender ? sender->Name() : std::string());
  WriteStrings(s, args_);
  SaveFrame(s, spare_);
  WriteInt32(s, StackCount());
  for (const auto& f : frames_) SaveFrame(s, *f);
  WriteInt32(s, level_);
  if (started_)
    if (const TCommand* c = CurrentCommand()) c->SaveStateTo(s);
}

void TCallMan::Load(Stream& s, int version) {
  const std::string pageName = ReadString(s);
  TPage* page = pageName.empty() ? nullptr : LoadPage(pageName);
  const int32_t index = ReadInt32(s);
  const bool chain = ReadByte(s) != 0;
  const bool started = ReadByte(s) != 0;
  const int32_t mode = ReadInt32(s);
  // A handler needs a page to run in; without one the run loop would never end its frame.
  if (mode < 0 || mode > 3 || (mode != 0 && !page))
    throw Error("damaged save: the interpreter's mode does not fit its page");
  const std::string sender = ReadString(s);
  std::vector<std::string> args = ReadStrings(s);
  TStack spare;
  LoadFrame(s, spare, version);
  const int32_t count = ReadInt32(s);
  // The smallest frame: four empty strings, two bytes, index, argument count, state size and type.
  constexpr int64_t kSmallestFrame = 4 * 4 + 2 + 4 + 4 + 4 + 1;
  if (count < 0 || count > s.Remaining() / kSmallestFrame)
    throw Error("damaged save: the call stack's frame count does not fit the data");
  std::vector<std::unique_ptr<TStack>> frames;
  frames.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    frames.push_back(std::make_unique<TStack>());
    LoadFrame(s, *frames.back(), version);
  }
  const int32_t level = version >= 116 ? ReadInt32(s) : 2;

  page_ = page;
  index_ = index;
  chain_ = chain;
  started_ = started;
  mode_ = mode;
  sender_ = 0;
  if (!sender.empty() && !Scene().IsReservedName(sender))
    if (TOrinObject* o = Scene().Find(sender)) sender_ = o->Serial();
  args_ = std::move(args);
  spare_ = std::move(spare);
  frames_ = std::move(frames);
  SyncCurrentFrame();
  level_ = level;
  lastTraced_ = nullptr;
  if (started_)
    if (TCommand* c = CurrentCommand()) c->LoadState(s);
}

}  // namespace orin
