// Flow-control commands: branches, labels, jumps and calls, loops, waits, resets and the game
// save and load requests. The names in DescribeFields are the field names of the page text; what
// each kind does when it runs is in script/exec_flow.cpp.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "script/command.h"

namespace orin {

// 0: if / 1: else-if, on a condition.
class TComIf : public TCommand {
 public:
  using TCommand::TCommand;
  CommandExpr Condition;
  ComKind Kind() const override { return ComKind::If; }
  void DescribeFields(FieldVisitor& v) override;
  void Execute(TCallMan& interpreter, TPage*& page, int32_t& index) override;
};

class TComElseif : public TComIf {
 public:
  using TComIf::TComIf;
  ComKind Kind() const override { return ComKind::Elseif; }
  void Execute(TCallMan& interpreter, TPage*& page, int32_t& index) override;
};

// 2: no fields; always chains.
class TComElse : public TCommand {
 public:
  using TCommand::TCommand;
  ComKind Kind() const override { return ComKind::Else; }
  bool GetChain() const override { return true; }
  void Execute(TCallMan& interpreter, TPage*& page, int32_t& index) override;
};

// 3: a jump target of its page.
class TComLabel : public TCommand {
 public:
  using TCommand::TCommand;
  std::string LabelName;
  ComKind Kind() const override { return ComKind::Label; }
  bool IsLabel(std::string_view name) const override { return name == LabelName; }
  void DescribeFields(FieldVisitor& v) override;
  void Execute(TCallMan& interpreter, TPage*& page, int32_t& index) override;
};

// 27: the record of a Label holding the comment's text; never runs and never matches a label.
class TComComment : public TComLabel {
 public:
  using TComLabel::TComLabel;
  ComKind Kind() const override { return ComKind::Comment; }
  bool GetChain() const override { return false; }
  bool GetDisabled() const override { return true; }
  bool IsLabel(std::string_view /*name*/) const override { return false; }
  const std::string& Text() const { return LabelName; }
  // The Label's record; only the field's name in the page text differs.
  void DescribeFields(FieldVisitor& v) override;
};

// 4: go to an index of a page when the condition holds.
class TComJump : public TCommand {
 public:
  using TCommand::TCommand;
  std::string PageName;
  int32_t Target = 0;
  CommandExpr Condition;
  ComKind Kind() const override { return ComKind::Jump; }
  const std::string* TargetPage() const override { return &PageName; }
  void DescribeFields(FieldVisitor& v) override;
  void Execute(TCallMan& interpreter, TPage*& page, int32_t& index) override;
};

// 5: call an index of a page with arguments; the page's result goes to ResultName.
class TComCall : public TCommand {
 public:
  using TCommand::TCommand;
  std::string PageName;
  int32_t Target = 0;
  std::string ResultName;
  CommandExpr Condition;
  std::vector<CommandExpr> Arguments;
  ComKind Kind() const override { return ComKind::Call; }
  const std::string* TargetPage() const override { return &PageName; }
  void DescribeFields(FieldVisitor& v) override;
  void Execute(TCallMan& interpreter, TPage*& page, int32_t& index) override;
};

// 6: leave the page when the condition holds.
class TComExit : public TCommand {
 public:
  using TCommand::TCommand;
  CommandExpr Condition;
  ComKind Kind() const override { return ComKind::Exit; }
  void DescribeFields(FieldVisitor& v) override;
  void Execute(TCallMan& interpreter, TPage*& page, int32_t& index) override;
};

// 34: leave a loop (a target below 0 leaves the page).
class TComBreak : public TComExit {
 public:
  using TComExit::TComExit;
  int32_t Target = 0;
  ComKind Kind() const override { return ComKind::Break; }
  void DescribeFields(FieldVisitor& v) override;
  void Execute(TCallMan& interpreter, TPage*& page, int32_t& index) override;
};

// 35: go on with the next round of a loop.
class TComContinue : public TComExit {
 public:
  using TComExit::TComExit;
  int32_t Target = 0;
  ComKind Kind() const override { return ComKind::Continue; }
  void DescribeFields(FieldVisitor& v) override;
  void Execute(TCallMan& interpreter, TPage*& page, int32_t& index) override;
};

// 7: wait while the condition holds and until the duration has passed.
class TComWait : public TCommand {
 public:
  using TCommand::TCommand;
  CommandExpr Condition;
  CommandExpr Duration;
  CommandExpr NoInterrupt;  // pages of version 107 and later
  ComKind Kind() const override { return ComKind::Wait; }
  void DescribeFields(FieldVisitor& v) override;
  void Execute(TCallMan& interpreter, TPage*& page, int32_t& index) override;
  void Begin(TCallMan& interpreter) override;
  bool Blocking() const override { return true; }
  bool Uninterruptible() const override { return noInterrupt_; }
  void SaveState(std::unique_ptr<MemoryStream>& stream) const override;
  void LoadState(Stream& s) override;

 private:
  // Milliseconds still to wait (0: no duration) and the frames that do not count yet.
  int32_t remaining_ = 0;
  int32_t firstFrames_ = 0;
  bool noInterrupt_ = false;
};

// 31: loop head; ExitIndex is the command after the loop.
class TComWhile : public TCommand {
 public:
  using TCommand::TCommand;
  CommandExpr Condition;
  int32_t ExitIndex = 0;
  ComKind Kind() const override { return ComKind::While; }
  void DescribeFields(FieldVisitor& v) override;
  void Execute(TCallMan& interpreter, TPage*& page, int32_t& index) override;
};

// No behaviour of its own: the parent of the loop's initialisation and step.
class TComRuntime : public TCommand {
 public:
  using TCommand::TCommand;
};

// 32: the loop's initialisation; always chains.
class TComWhileInit : public TComRuntime {
 public:
  using TComRuntime::TComRuntime;
  CommandExpr Expression;
  ComKind Kind() const override { return ComKind::WhileInit; }
  bool GetChain() const override { return true; }
  void DescribeFields(FieldVisitor& v) override;
  void Execute(TCallMan& interpreter, TPage*& page, int32_t& index) override;
};

// 33: the loop's step (Expression) and the way back to its head; chains as its parent does.
class TComWhileLoop : public TComWhileInit {
 public:
  using TComWhileInit::TComWhileInit;
  int32_t LoopStart = 0;
  ComKind Kind() const override { return ComKind::WhileLoop; }
  void DescribeFields(FieldVisitor& v) override;
  void Execute(TCallMan& interpreter, TPage*& page, int32_t& index) override;
};

// 40: redirect the script to an index of a page (Flag: from anywhere, dropping the stack).
class TComPCReset : public TCommand {
 public:
  using TCommand::TCommand;
  std::string PageName;
  int32_t Index = 0;
  uint8_t Flag = 0;
  ComKind Kind() const override { return ComKind::PCReset; }
  void DescribeFields(FieldVisitor& v) override;
  void Execute(TCallMan& interpreter, TPage*& page, int32_t& index) override;
};

// 41: restart the game at an index of a page; the record of PCReset.
class TComReset : public TComPCReset {
 public:
  using TComPCReset::TComPCReset;
  ComKind Kind() const override { return ComKind::Reset; }
  void Execute(TCallMan& interpreter, TPage*& page, int32_t& index) override;
};

// 45: end the game.
class TComTerminate : public TCommand {
 public:
  using TCommand::TCommand;
  ComKind Kind() const override { return ComKind::Terminate; }
  void Execute(TCallMan& interpreter, TPage*& page, int32_t& index) override;
};

// 46: let events run; never chains.
class TComDoEvent : public TCommand {
 public:
  using TCommand::TCommand;
  ComKind Kind() const override { return ComKind::DoEvent; }
  bool GetChain() const override { return false; }
  void Execute(TCallMan& interpreter, TPage*& page, int32_t& index) override;
  bool Blocking() const override { return true; }
};

// 38: ask for a game save at the end of the frame; never chains.
class TComGameSave : public TCommand {
 public:
  using TCommand::TCommand;
  CommandExpr Slot;
  std::string ResumePage;
  int32_t ResumeIndex = 0;  // pages of version 105 and later; 0 before
  CommandExpr Caption;
  ComKind Kind() const override { return ComKind::GameSave; }
  bool GetChain() const override { return false; }
  void DescribeFields(FieldVisitor& v) override;
  void Execute(TCallMan& interpreter, TPage*& page, int32_t& index) override;
};

// 39: ask for a game load at the end of the frame; never chains.
class TComGameLoad : public TCommand {
 public:
  using TCommand::TCommand;
  CommandExpr Slot;
  ComKind Kind() const override { return ComKind::GameLoad; }
  bool GetChain() const override { return false; }
  void DescribeFields(FieldVisitor& v) override;
  void Execute(TCallMan& interpreter, TPage*& page, int32_t& index) override;
};

}  // namespace orin
