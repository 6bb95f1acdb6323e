// What the flow-control commands do when the interpreter runs them: branches, loops, jumps and
// calls, waits, resets, the end of the game and the save and load requests.
//
// "True" means the condition yields a value whose flag reading is true; a condition without a
// value is not true (so an If without one skips its body and a While without one exits).
#include <memory>

#include "core/error.h"
#include "core/text.h"
#include "params/custom_param.h"
#include "params/db_manager.h"
#include "params/param_collection.h"
#include "scene/model/orin_base_list.h"
#include "script/call_man.h"
#include "script/commands_flow.h"
#include "script/game_context.h"
#include "script/page.h"
#include "script/save_sections.h"

namespace orin {

namespace {

bool IsTrue(const CommandExpr& condition, TCallMan& interpreter) {
  const TCustomParam* v = condition.Evaluate(interpreter.Vars());
  return v && v->GetAsFlag();
}

// Past every command after index indented deeper than indent.
void SkipDeeper(const TPage& page, int32_t indent, int32_t& index) {
  while (index < page.Count() && page.Commands[static_cast<size_t>(index)]->Indent > indent) ++index;
}

}  // namespace

// ---- Branches

void TComIf::Execute(TCallMan& interpreter, TPage*& page, int32_t& index) {
  ++index;
  if (IsTrue(Condition, interpreter)) return;
  while (index < page->Count()) {
    TCommand& c = *page->Commands[static_cast<size_t>(index)];
    if (c.Indent > Indent) {
      ++index;
      continue;
    }
    if (c.Indent < Indent) return;
    if (c.Kind() == ComKind::Else) {
      ++index;
      return;
    }
    if (c.Kind() != ComKind::Elseif) return;
    ++index;
    if (IsTrue(static_cast<TComElseif&>(c).Condition, interpreter)) return;
  }
}

// Reached at the end of the body before it: the rest of the chain is skipped.
void TComElseif::Execute(TCallMan&, TPage*& page, int32_t& index) {
  ++index;
  SkipDeeper(*page, Indent, index);
}

void TComElse::Execute(TCallMan&, TPage*& page, int32_t& index) {
  ++index;
  SkipDeeper(*page, Indent, index);
}

void TComLabel::Execute(TCallMan&, TPage*&, int32_t& index) { ++index; }

// ---- Loops

void TComWhile::Execute(TCallMan& interpreter, TPage*&, int32_t& index) {
  ++index;
  if (!IsTrue(Condition, interpreter)) index = ExitIndex;
}

void TComWhileInit::Execute(TCallMan& interpreter, TPage*&, int32_t& index) {
  ++index;
  Expression.Evaluate(interpreter.Vars());
}

void TComWhileLoop::Execute(TCallMan& interpreter, TPage*&, int32_t& index) {
  index = LoopStart;
  Expression.Evaluate(interpreter.Vars());
}

void TComBreak::Execute(TCallMan& interpreter, TPage*& page, int32_t& index) {
  if (!IsTrue(Condition, interpreter)) {
    ++index;
    return;
  }
  if (Target < 0)
    page = nullptr;
  else
    index = Target;
}

void TComContinue::Execute(TCallMan& interpreter, TPage*& page, int32_t& index) {
  ++index;
  if (!IsTrue(Condition, interpreter)) return;
  if (Target < 0)
    page = nullptr;
  else
    index = Target;
}

// ---- Jumps and calls

namespace {

// Whether a jump or call may go to its page; a page that is not there is reported.
bool PageAvailable(TCallMan& interpreter, const std::string& name) {
  if (interpreter.Owner().FileAvailable(name)) return true;
  interpreter.ReportUnavailable(name);
  return false;
}

}  // namespace

void TComJump::Execute(TCallMan& interpreter, TPage*& page, int32_t& index) {
  ++index;
  if (!IsTrue(Condition, interpreter) || !PageAvailable(interpreter, PageName)) return;
  page = interpreter.LoadPage(PageName);
  index = Target;
}

void TComCall::Execute(TCallMan& interpreter, TPage*& page, int32_t& index) {
  ++index;
  if (!IsTrue(Condition, interpreter) || !PageAvailable(interpreter, PageName)) return;
  // A page that calls itself without end would eat memory until the process dies.
  if (interpreter.StackCount() >= TCallMan::kMaxCallDepth)
    throw Error(Format("%s: the call chain is %d calls deep: a page that calls itself without end?",
                       PageName, interpreter.StackCount()));
  std::vector<std::string> args;
  for (const CommandExpr& a : Arguments)
    if (const TCustomParam* v = a.Evaluate(interpreter.Vars())) args.push_back(v->GetAsStr());
  // The page first: a page that does not load leaves the stack as it was.
  TPage* called = interpreter.LoadPage(PageName);
  auto frame = std::make_unique<TStack>();
  frame->PageName = page->Name;
  frame->Index = index;
  frame->ResultName = ResultName;
  frame->Chain = interpreter.Chain();
  frame->Sender = interpreter.Sender();
  frame->Args = interpreter.Args();
  frame->ReturnValue = CreateParam(called->ReturnType);
  interpreter.Push(std::move(frame));
  interpreter.SetArgs(std::move(args));
  page = called;
  index = Target;
}

void TComExit::Execute(TCallMan& interpreter, TPage*& page, int32_t& index) {
  if (IsTrue(Condition, interpreter))
    page = nullptr;
  else
    ++index;
}

// ---- Waits

void TComWait::Begin(TCallMan& interpreter) {
  remaining_ = Duration.GetInt(interpreter.Vars(), 0);
  firstFrames_ = 1;
  noInterrupt_ = NoInterrupt.GetFlag(interpreter.Vars(), false);
}

void TComWait::Execute(TCallMan& interpreter, TPage*&, int32_t& index) {
  const TCustomParam* condition = Condition.Evaluate(interpreter.Vars());
  if (condition && !condition->GetAsFlag()) {
    ++index;
    return;
  }
  if (remaining_ != 0) {
    // The frame that entered the Wait does not count.
    if (firstFrames_ > 0) {
      --firstFrames_;
    } else {
      remaining_ -= interpreter.Game().FrameDelta();
      if (remaining_ <= 0) {
        ++index;
        return;
      }
    }
  }
  interpreter.SetChain(false);
}

void TComWait::SaveState(std::unique_ptr<MemoryStream>& stream) const {
  if (!stream) stream = std::make_unique<MemoryStream>();
  WriteStateHeader(*stream);
  WriteInt32(*stream, remaining_);
  WriteInt32(*stream, firstFrames_);
  WriteByte(*stream, noInterrupt_ ? 1 : 0);
}

void TComWait::LoadState(Stream& s) {
  const int version = ReadStateHeader(s);
  remaining_ = ReadInt32(s);
  firstFrames_ = ReadInt32(s);
  noInterrupt_ = version >= kStateVersion && ReadByte(s) != 0;
}

void TComDoEvent::Execute(TCallMan&, TPage*&, int32_t& index) { ++index; }

// ---- Resets and the end

namespace {

bool IsFlipAt(TCallMan& interpreter, const std::string& pageName, int32_t index) {
  try {
    TPage* page = interpreter.LoadPage(pageName);
    return index >= 0 && index < page->Count() && page->Commands[static_cast<size_t>(index)]->Kind() == ComKind::Flip;
  } catch (const Error&) {
    return false;  // a page that no longer loads has no flip
  }
}

}  // namespace

void TComPCReset::Execute(TCallMan& interpreter, TPage*& page, int32_t& index) {
  TParamCollection& vars = interpreter.Vars();
  auto& frames = interpreter.Frames();
  vars.DeleteFrame(interpreter.StackCount());
  if (Flag != 0) {
    // From anywhere: every frame goes; commands of the main script that were waiting finish.
    for (int32_t i = interpreter.StackCount() - 1; i >= 0; --i) {
      vars.DeleteFrame(i);
      TStack& f = *frames[static_cast<size_t>(i)];
      if (f.Sender != 0 || !f.Started) continue;
      try {
        TPage* p = interpreter.LoadPage(f.PageName);
        if (f.Index < 0 || f.Index >= p->Count()) continue;
        TCommand& c = *p->Commands[static_cast<size_t>(f.Index)];
        // The command finishes as it stood when the frame was pushed.
        if (f.State) {
          f.State->SetPosition(0);
          c.LoadState(*f.State);
        }
        c.Finish(interpreter);
      } catch (const Error&) {
        // A page that no longer loads has nothing to finish.
      }
    }
    page = interpreter.Start(PageName);
    index = Index;
    interpreter.Scene().Events().Clear();
    return;
  }
  // Redirect the main script: the handler goes on and returns to the new place.
  int32_t from = -1;
  for (int32_t i = 0; i < interpreter.StackCount(); ++i)
    if (frames[static_cast<size_t>(i)]->Sender != 0) {
      from = i;
      break;
    }
  if (from < 0) from = interpreter.SenderName().empty() ? -1 : interpreter.StackCount();
  int32_t target = -1;
  for (int32_t i = from - 1; i >= 0; --i)
    if (frames[static_cast<size_t>(i)]->Sender == 0) {
      target = i;
      break;
    }
  if (target >= 0) {
    vars.DeleteFrame(target + 1);
    TStack& f = *frames[static_cast<size_t>(target)];
    // The main script's command is dropped unfinished. A flip would leave its transition on the
    // screen for good, half done; it goes with the flip (the screens stay as they are: the
    // redirect finishes nothing).
    if (f.Started && IsFlipAt(interpreter, f.PageName, f.Index)) interpreter.Scene().EndTransition();
    f.PageName = PageName;
    f.Index = Index;
    f.Started = false;
    f.ResultName.clear();
    f.Args.clear();
    f.State.reset();
    ++index;
  } else {
    page = interpreter.LoadPage(PageName);
    index = Index;
  }
  interpreter.Scene().Events().RemoveHandled();
}

void TComReset::Execute(TCallMan& interpreter, TPage*& page, int32_t& index) {
  GameContext& game = interpreter.Game();
  game.Scene().Clear();
  game.Vars().ClearGame();
  game.Tables().ClearGameTables();
  game.Sections().ClearHistory();
  page = interpreter.Start(PageName);
  index = Index;
}

void TComTerminate::Execute(TCallMan& interpreter, TPage*&, int32_t&) {
  interpreter.Game().SetClosing(true);
  interpreter.Game().PostClose();
}

// ---- Save and load requests

void TComGameSave::Execute(TCallMan& interpreter, TPage*&, int32_t& index) {
  ++index;
  const int32_t slot = Slot.GetInt(interpreter.Vars(), 0);
  const std::string caption = Caption.GetStr(interpreter.Vars());
  interpreter.Owner().RequestSave(slot, ResumePage, ResumeIndex, caption);
}

void TComGameLoad::Execute(TCallMan& interpreter, TPage*&, int32_t& index) {
  ++index;
  interpreter.Owner().RequestLoad(Slot.GetInt(interpreter.Vars(), 0));
}

}  // namespace orin
