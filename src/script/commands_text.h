// Commands of message text, history, menus and media playback.
#pragma once

#include <string>

#include "script/command.h"

namespace orin {

// 20: show a text document in a message window. TextData is the stored document, kept as the
// bytes of the record.
class TComTextIns : public TCommand {
 public:
  using TCommand::TCommand;
  std::string TextData;
  CommandExpr WindowName;
  CommandExpr RecordHistory;
  CommandExpr Wait;
  CommandExpr NoInterrupt;  // pages of version 107 and later
  ComKind Kind() const override { return ComKind::TextIns; }
  void DescribeFields(FieldVisitor& v) override;

  void Begin(TCallMan& interpreter) override;
  void Execute(TCallMan& interpreter, TPage*& page, int32_t& index) override;
  bool Blocking() const override { return wait_; }
  bool Uninterruptible() const override { return noInterrupt_; }
  void SaveState(std::unique_ptr<MemoryStream>& stream) const override;
  void LoadState(Stream& s) override;

 private:
  // The window is found by name on every frame: it may be deleted while the command waits.
  std::string window_;
  bool wait_ = false;
  bool noInterrupt_ = false;
};

// 28: clear a message window.
class TComTextClr : public TCommand {
 public:
  using TCommand::TCommand;
  CommandExpr WindowName;
  ComKind Kind() const override { return ComKind::TextClr; }
  void DescribeFields(FieldVisitor& v) override;
  void Execute(TCallMan& interpreter, TPage*& page, int32_t& index) override;
};

// 29: show entries of the message history in a window.
class TComCallHist : public TCommand {
 public:
  using TCommand::TCommand;
  CommandExpr WindowName;
  CommandExpr First;
  CommandExpr Count;
  CommandExpr Flag;
  ComKind Kind() const override { return ComKind::CallHist; }
  void DescribeFields(FieldVisitor& v) override;
  void Execute(TCallMan& interpreter, TPage*& page, int32_t& index) override;
};

// 22: clear the message history.
class TComClrHist : public TCommand {
 public:
  using TCommand::TCommand;
  ComKind Kind() const override { return ComKind::ClrHist; }
  void Execute(TCallMan& interpreter, TPage*& page, int32_t& index) override;
};

// 58: take the history layout from an object.
class TComEntryHist : public TCommand {
 public:
  using TCommand::TCommand;
  CommandExpr ObjectName;
  ComKind Kind() const override { return ComKind::EntryHist; }
  void DescribeFields(FieldVisitor& v) override;
  void Execute(TCallMan& interpreter, TPage*& page, int32_t& index) override;
};

// 47: clear the record of text already read.
class TComClrRead : public TCommand {
 public:
  using TCommand::TCommand;
  ComKind Kind() const override { return ComKind::ClrRead; }
  void Execute(TCallMan& interpreter, TPage*& page, int32_t& index) override;
};

// 26: close a menu.
class TComMenuClose : public TCommand {
 public:
  using TCommand::TCommand;
  CommandExpr MenuName;
  ComKind Kind() const override { return ComKind::MenuClose; }
  void DescribeFields(FieldVisitor& v) override;
  void Execute(TCallMan& interpreter, TPage*& page, int32_t& index) override;
};

// 21: stop a sound or video, at once or with a fade.
class TComMovieStop : public TCommand {
 public:
  using TCommand::TCommand;
  CommandExpr ObjectName;
  CommandExpr FadeTime;
  CommandExpr Wait;
  CommandExpr NoInterrupt;  // pages of version 107 and later
  ComKind Kind() const override { return ComKind::MovieStop; }
  void DescribeFields(FieldVisitor& v) override;

  void Begin(TCallMan& interpreter) override;
  void Execute(TCallMan& interpreter, TPage*& page, int32_t& index) override;
  bool Blocking() const override { return wait_; }
  bool Uninterruptible() const override { return noInterrupt_; }
  void SaveState(std::unique_ptr<MemoryStream>& stream) const override;
  void LoadState(Stream& s) override;

 private:
  // The object is followed by its serial: a fade-out renames it, and it is freed when done. The
  // state record keeps its name (the one it has while fading); a loaded state finds it by that
  // name, which a saved scene never holds, so a load goes on at once.
  uint64_t target_ = 0;
  std::string targetName_;
  bool wait_ = false;
  bool noInterrupt_ = false;
};

// 55: restart a media object.
class TComMediaPlay : public TCommand {
 public:
  using TCommand::TCommand;
  CommandExpr ObjectName;
  ComKind Kind() const override { return ComKind::MediaPlay; }
  void DescribeFields(FieldVisitor& v) override;
  void Execute(TCallMan& interpreter, TPage*& page, int32_t& index) override;
};

}  // namespace orin
