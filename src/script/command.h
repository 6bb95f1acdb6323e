// TCommand: the root of the script commands, one record of a page file each.
//
// A record is the kind byte, the header (indent int32, disabled byte, chain byte, id int32) and
// the kind's own fields. Every class describes its fields once, in record order and parent
// first, through DescribeFields; the record reader and writer here and the text forms of
// script/page_text.h walk that description, so the four can never disagree. Fields that only
// newer pages carry name the first page version that has them.
//
// Execution belongs to the interpreter (TCallMan, script/call_man.h): Begin, Execute, Blocking,
// Finish and the state operations are its seam. The classes of a kind override what the kind
// does; a kind that nothing overrides yet (text and media) advances and says so in the trace.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "scene/model/property_table.h"
#include "script/command_expr.h"

namespace orin {

class MemoryStream;
class ByteReader;
class Stream;
class TCallMan;
class TComComponent;
class TPage;

// Kind codes of the page file.
enum class ComKind : uint8_t {
  If = 0, Elseif, Else, Label, Jump, Call, Exit, Wait, BoxNew, ImgNew,
  MesNew = 10, Timer, Movie, Flip, Calc, VarNew, VarDel, GetProp, SetProp, ObjDel,
  TextIns = 20, MovieStop, ClrHist, Cinema, Caption, Menu, MenuClose, Comment, TextClr, CallHist,
  BtnNew = 30, While, WhileInit, WhileLoop, Break, Continue, ParticleNew, FireNew, GameSave, GameLoad,
  PCReset = 40, Reset, Sound, EditNew, MemoNew, Terminate, DoEvent, ClrRead, MapImgNew, WaveNew,
  TileNew = 50, SliderNew, ScrollbarNew, GaugeNew, CGCaption, MediaPlay, PrevMenuNew, PropMotion,
  EntryHist, CabinetSave,
  CabinetLoad = 60,
};
constexpr int kCommandKindCount = 61;
// Property records carry expressions for properties 0-161 only (kPropertyCount of the scene).

// The class name of a kind without "TCom" ("Jump"), or null outside 0-60.
const char* CommandKindName(int kind);
// The kind of such a name, compared without regard to case; -1 if none.
int FindCommandKind(std::string_view name);
// Kinds whose records carry property expressions (they create a scene object).
bool HasPropertyRecord(int kind);

// What a command's target index points into.
enum class TargetRole : uint8_t {
  kNone,       // a plain number
  kThisPage,   // an index in the command's own page
  kNamedPage,  // an index in the page the command names (its own page when it names itself)
};

// Receives the fields of a record in record order. The reader, the writer and the text forms
// implement it; sinceVersion is the first page version whose records carry the field.
class FieldVisitor {
 public:
  virtual ~FieldVisitor() = default;
  virtual void Expr(const char* name, CommandExpr& e, int32_t sinceVersion = 0) = 0;
  virtual void String(const char* name, std::string& s) = 0;
  virtual void Int(const char* name, int32_t& v, TargetRole role = TargetRole::kNone,
                   int32_t sinceVersion = 0) = 0;
  virtual void Byte(const char* name, uint8_t& v) = 0;
  // int32 count, then that many expressions.
  virtual void ExprList(const char* name, std::vector<CommandExpr>& list) = 0;
  // int32 length, then that many bytes.
  virtual void Data(const char* name, std::string& bytes) = 0;
  // One expression per property of the page's set for the command's kind, ascending.
  virtual void Properties(TComComponent& command) = 0;
};

class TCommand {
 public:
  explicit TCommand(TPage& page) : Page(&page) {}
  virtual ~TCommand() = default;
  TCommand(const TCommand&) = delete;
  TCommand& operator=(const TCommand&) = delete;

  TPage* Page;
  // Header, as stored: the flags are bytes, and any value but 0 counts as set.
  uint8_t Chain = 0;
  uint8_t Disabled = 0;
  int32_t Id = 0;
  int32_t Indent = 0;
  // The kind byte of the record had its top bit set. Readers ignore the bit; the writer keeps it.
  bool KindHighBit = false;

  virtual ComKind Kind() const = 0;
  // When true the interpreter runs the next command in the same frame.
  virtual bool GetChain() const { return Chain != 0; }
  virtual bool GetDisabled() const { return Disabled != 0; }
  virtual void SetDisabled(bool disabled) { Disabled = disabled ? 1 : 0; }
  // While this command is started no event may start.
  virtual bool Uninterruptible() const { return false; }
  // True only for a Label of exactly this name (case-sensitive).
  virtual bool IsLabel(std::string_view /*name*/) const { return false; }
  // The page name that a kNamedPage target refers to; null for kinds without one.
  virtual const std::string* TargetPage() const { return nullptr; }

  // The kind's own fields, after the header; a subclass describes its parent's first.
  virtual void DescribeFields(FieldVisitor& /*v*/) {}

  // Header and fields, without the kind byte, by the version and property sets of Page.
  // Throws Error when the record is damaged or cut short.
  void ReadRecord(ByteReader& r);
  // Kind byte, header and fields.
  void WriteRecord(Stream& s) const;

  // --- The interpreter's seam ---
  // Called once when the command is entered, before its first Execute.
  virtual void Begin(TCallMan& /*interpreter*/) {}
  // Does the work: advances index, or changes page (null leaves the page) and index, or leaves
  // both to be executed again in the next frame. The default advances and traces that the kind
  // does nothing yet.
  virtual void Execute(TCallMan& interpreter, TPage*& page, int32_t& index);
  // True for a command that waits: a handler stops at it for the frame.
  virtual bool Blocking() const { return false; }
  // Completes a started command at once (PCReset).
  virtual void Finish(TCallMan& /*interpreter*/) {}
  // The running state of a started command ("orin100" records), written into stream, which is
  // made on first use: commands without state leave it null. LoadState reads the same record.
  virtual void SaveState(std::unique_ptr<MemoryStream>& stream) const;
  virtual void LoadState(Stream& s);
  // Writes the state into a stream that already exists (a game save's interpreter record).
  void SaveStateTo(Stream& s) const;
};

// The header of a command state record: "orin" and three digits. ReadStateHeader answers the
// version (0 when the record has no header: the stream is then where it was).
constexpr int kStateVersion = 100;
void WriteStateHeader(Stream& s);
int ReadStateHeader(Stream& s);

// A new command of the kind for the page (not yet in its list); null outside 0-60. Its property
// expressions come from ReadRecord, or from TComComponent::CreateProperties (TPage::Add).
std::unique_ptr<TCommand> CreateCommand(int kind, TPage& page);

}  // namespace orin
