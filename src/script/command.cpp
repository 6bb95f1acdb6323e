#include "script/command.h"

#include <cassert>
#include <cstring>

#include "core/byte_reader.h"
#include "core/cp932.h"
#include "core/error.h"
#include "resources/stream.h"
#include "script/call_man.h"
#include "script/commands_flow.h"
#include "script/commands_object.h"
#include "script/commands_text.h"
#include "script/page.h"

namespace orin {

namespace {

constexpr const char* kKindNames[kCommandKindCount] = {
    "If",          "Elseif",    "Else",         "Label",      "Jump",       "Call",
    "Exit",        "Wait",      "BoxNew",       "ImgNew",     "MesNew",     "Timer",
    "Movie",       "Flip",      "Calc",         "VarNew",     "VarDel",     "GetProp",
    "SetProp",     "ObjDel",    "TextIns",      "MovieStop",  "ClrHist",    "Cinema",
    "Caption",     "Menu",      "MenuClose",    "Comment",    "TextClr",    "CallHist",
    "BtnNew",      "While",     "WhileInit",    "WhileLoop",  "Break",      "Continue",
    "ParticleNew", "FireNew",   "GameSave",     "GameLoad",   "PCReset",    "Reset",
    "Sound",       "EditNew",   "MemoNew",      "Terminate",  "DoEvent",    "ClrRead",
    "MapImgNew",   "WaveNew",   "TileNew",      "SliderNew",  "ScrollbarNew", "GaugeNew",
    "CGCaption",   "MediaPlay", "PrevMenuNew",  "PropMotion", "EntryHist",  "CabinetSave",
    "CabinetLoad",
};

// The smallest expression record: its operation count.
constexpr uint64_t kSmallestExpr = 4;

class RecordReader final : public FieldVisitor {
 public:
  RecordReader(ByteReader& r, const TPage& page) : r_(r), page_(page) {}

  void Expr(const char* name, CommandExpr& e, int32_t sinceVersion) override {
    if (page_.Version >= sinceVersion)
      e.ReadFrom(r_, name);
    else
      e.Clear();
  }
  void String(const char* name, std::string& text) override { text = r_.String(name); }
  void Int(const char* name, int32_t& v, TargetRole, int32_t sinceVersion) override {
    v = page_.Version >= sinceVersion ? r_.I32(name) : 0;
  }
  void Byte(const char* name, uint8_t& v) override { v = r_.U8(name); }
  void ExprList(const char* name, std::vector<CommandExpr>& list) override {
    std::vector<CommandExpr> items(r_.ReadCount(kSmallestExpr, name));
    for (CommandExpr& e : items) e.ReadFrom(r_, name);
    list = std::move(items);
  }
  void Data(const char* name, std::string& bytes) override {
    const auto data = r_.Bytes(r_.ReadCount(1, name), name);
    bytes.assign(reinterpret_cast<const char*>(data.data()), data.size());
  }
  void Properties(TComComponent& command) override {
    const PropSet& set = page_.PropSets[static_cast<size_t>(command.Kind())];
    std::vector<TComComponent::PropertyExpr> props;
    for (int i = 0; i < kPropertyCount; ++i) {
      if (!set.Test(i)) continue;
      props.push_back({static_cast<uint8_t>(i), CommandExpr()});
      props.back().Expr.ReadFrom(r_, "a property");
    }
    command.Properties = std::move(props);
  }

 private:
  ByteReader& r_;
  const TPage& page_;
};

class RecordWriter final : public FieldVisitor {
 public:
  RecordWriter(Stream& s, const TPage& page) : s_(s), page_(page) {}

  void Expr(const char*, CommandExpr& e, int32_t sinceVersion) override {
    if (page_.Version >= sinceVersion) e.WriteTo(s_);
  }
  void String(const char*, std::string& text) override { WriteString(s_, text); }
  void Int(const char*, int32_t& v, TargetRole, int32_t sinceVersion) override {
    if (page_.Version >= sinceVersion) WriteInt32(s_, v);
  }
  void Byte(const char*, uint8_t& v) override { WriteByte(s_, v); }
  void ExprList(const char*, std::vector<CommandExpr>& list) override {
    WriteInt32(s_, static_cast<int32_t>(list.size()));
    for (const CommandExpr& e : list) e.WriteTo(s_);
  }
  void Data(const char*, std::string& bytes) override {
    WriteInt32(s_, static_cast<int32_t>(bytes.size()));
    s_.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  }
  void Properties(TComComponent& command) override {
    const PropSet& set = page_.PropSets[static_cast<size_t>(command.Kind())];
    for (const auto& p : command.Properties)
      if (p.Number >= kPropertyCount || !set.Test(p.Number))
        throw Error(std::string(CommandKindName(static_cast<int>(command.Kind()))) + ": property " +
                    std::to_string(p.Number) + " is not in the page's property set of the kind");
    static const CommandExpr kEmpty;
    for (int i = 0; i < kPropertyCount; ++i) {
      if (!set.Test(i)) continue;
      const CommandExpr* e = command.Property(i);
      (e ? *e : kEmpty).WriteTo(s_);
    }
  }

 private:
  Stream& s_;
  const TPage& page_;
};

}  // namespace

const char* CommandKindName(int kind) {
  return kind >= 0 && kind < kCommandKindCount ? kKindNames[kind] : nullptr;
}

int FindCommandKind(std::string_view name) {
  for (int k = 0; k < kCommandKindCount; ++k)
    if (SameText(name, kKindNames[k])) return k;
  return -1;
}

bool HasPropertyRecord(int kind) {
  switch (static_cast<ComKind>(kind)) {
    case ComKind::BoxNew:
    case ComKind::ImgNew:
    case ComKind::MesNew:
    case ComKind::Timer:
    case ComKind::Movie:
    case ComKind::Cinema:
    case ComKind::Caption:
    case ComKind::Menu:
    case ComKind::BtnNew:
    case ComKind::ParticleNew:
    case ComKind::FireNew:
    case ComKind::Sound:
    case ComKind::EditNew:
    case ComKind::MemoNew:
    case ComKind::MapImgNew:
    case ComKind::WaveNew:
    case ComKind::TileNew:
    case ComKind::SliderNew:
    case ComKind::ScrollbarNew:
    case ComKind::GaugeNew:
    case ComKind::CGCaption:
    case ComKind::PrevMenuNew:
    case ComKind::CabinetSave:
    case ComKind::CabinetLoad:
      return true;
    default:
      return false;
  }
}

void TCommand::ReadRecord(ByteReader& r) {
  assert(Page);
  Indent = r.I32("the header");
  Disabled = r.U8("the header");
  Chain = r.U8("the header");
  Id = r.I32("the header");
  RecordReader reader(r, *Page);
  DescribeFields(reader);
}

void TCommand::WriteRecord(Stream& s) const {
  assert(Page);
  WriteByte(s, static_cast<uint8_t>(static_cast<uint8_t>(Kind()) | (KindHighBit ? 0x80 : 0)));
  WriteInt32(s, Indent);
  WriteByte(s, Disabled);
  WriteByte(s, Chain);
  WriteInt32(s, Id);
  RecordWriter writer(s, *Page);
  // The writer only reads the fields; the description is shared with the readers.
  const_cast<TCommand*>(this)->DescribeFields(writer);
}

void TCommand::Execute(TCallMan& interpreter, TPage*& /*page*/, int32_t& index) {
  ++index;
  interpreter.TraceNote(std::string(CommandKindName(static_cast<int>(Kind()))) + ": does nothing yet");
}

// Text insertion and media stops keep a state record of their own (a window or object name, the
// wait flag and the uninterruptible flag). Until their classes run, an empty record of that shape
// keeps a game save readable by the original and the original's saves readable here.
static bool HasNameStateRecord(ComKind kind) {
  return kind == ComKind::TextIns || kind == ComKind::MovieStop;
}

void TCommand::SaveState(std::unique_ptr<MemoryStream>& stream) const {
  if (!HasNameStateRecord(Kind())) return;
  if (!stream) stream = std::make_unique<MemoryStream>();
  WriteStateHeader(*stream);
  WriteString(*stream, {});
  WriteByte(*stream, 0);
  WriteByte(*stream, 0);
}

void TCommand::SaveStateTo(Stream& s) const {
  std::unique_ptr<MemoryStream> state;
  SaveState(state);
  if (state) s.WriteBuffer(state->Data(), static_cast<int64_t>(state->Size()));
}

void TCommand::LoadState(Stream& s) {
  if (!HasNameStateRecord(Kind())) return;
  const int version = ReadStateHeader(s);
  ReadString(s);
  ReadByte(s);
  if (version >= kStateVersion) ReadByte(s);
}

void WriteStateHeader(Stream& s) {
  s.WriteBuffer("orin100", 7);
}

int ReadStateHeader(Stream& s) {
  const int64_t start = s.GetPosition();
  char head[7];
  if (s.Remaining() >= 7) {
    s.ReadBuffer(head, 7);
    if (std::memcmp(head, "orin", 4) == 0) {
      int version = 0;
      for (int i = 4; i < 7; ++i) {
        if (head[i] < '0' || head[i] > '9') return 0;
        version = version * 10 + (head[i] - '0');
      }
      return version;
    }
  }
  s.SetPosition(start);
  return 0;
}

std::unique_ptr<TCommand> CreateCommand(int kind, TPage& page) {
  std::unique_ptr<TCommand> c;
  switch (static_cast<ComKind>(kind)) {
    case ComKind::If: c = std::make_unique<TComIf>(page); break;
    case ComKind::Elseif: c = std::make_unique<TComElseif>(page); break;
    case ComKind::Else: c = std::make_unique<TComElse>(page); break;
    case ComKind::Label: c = std::make_unique<TComLabel>(page); break;
    case ComKind::Jump: c = std::make_unique<TComJump>(page); break;
    case ComKind::Call: c = std::make_unique<TComCall>(page); break;
    case ComKind::Exit: c = std::make_unique<TComExit>(page); break;
    case ComKind::Wait: c = std::make_unique<TComWait>(page); break;
    case ComKind::BoxNew: c = std::make_unique<TComBoxNew>(page); break;
    case ComKind::ImgNew: c = std::make_unique<TComImgNew>(page); break;
    case ComKind::MesNew: c = std::make_unique<TComMesNew>(page); break;
    case ComKind::Timer: c = std::make_unique<TComTimer>(page); break;
    case ComKind::Movie: c = std::make_unique<TComMovie>(page); break;
    case ComKind::Flip: c = std::make_unique<TComFlip>(page); break;
    case ComKind::Calc: c = std::make_unique<TComCalc>(page); break;
    case ComKind::VarNew: c = std::make_unique<TComVarNew>(page); break;
    case ComKind::VarDel: c = std::make_unique<TComVarDel>(page); break;
    case ComKind::GetProp: c = std::make_unique<TComGetProp>(page); break;
    case ComKind::SetProp: c = std::make_unique<TComSetProp>(page); break;
    case ComKind::ObjDel: c = std::make_unique<TComObjDel>(page); break;
    case ComKind::TextIns: c = std::make_unique<TComTextIns>(page); break;
    case ComKind::MovieStop: c = std::make_unique<TComMovieStop>(page); break;
    case ComKind::ClrHist: c = std::make_unique<TComClrHist>(page); break;
    case ComKind::Cinema: c = std::make_unique<TComCinema>(page); break;
    case ComKind::Caption: c = std::make_unique<TComCaption>(page); break;
    case ComKind::Menu: c = std::make_unique<TComMenu>(page); break;
    case ComKind::MenuClose: c = std::make_unique<TComMenuClose>(page); break;
    case ComKind::Comment: c = std::make_unique<TComComment>(page); break;
    case ComKind::TextClr: c = std::make_unique<TComTextClr>(page); break;
    case ComKind::CallHist: c = std::make_unique<TComCallHist>(page); break;
    case ComKind::BtnNew: c = std::make_unique<TComBtnNew>(page); break;
    case ComKind::While: c = std::make_unique<TComWhile>(page); break;
    case ComKind::WhileInit: c = std::make_unique<TComWhileInit>(page); break;
    case ComKind::WhileLoop: c = std::make_unique<TComWhileLoop>(page); break;
    case ComKind::Break: c = std::make_unique<TComBreak>(page); break;
    case ComKind::Continue: c = std::make_unique<TComContinue>(page); break;
    case ComKind::ParticleNew: c = std::make_unique<TComParticleNew>(page); break;
    case ComKind::FireNew: c = std::make_unique<TComFireNew>(page); break;
    case ComKind::GameSave: c = std::make_unique<TComGameSave>(page); break;
    case ComKind::GameLoad: c = std::make_unique<TComGameLoad>(page); break;
    case ComKind::PCReset: c = std::make_unique<TComPCReset>(page); break;
    case ComKind::Reset: c = std::make_unique<TComReset>(page); break;
    case ComKind::Sound: c = std::make_unique<TComSound>(page); break;
    case ComKind::EditNew: c = std::make_unique<TComEditNew>(page); break;
    case ComKind::MemoNew: c = std::make_unique<TComMemoNew>(page); break;
    case ComKind::Terminate: c = std::make_unique<TComTerminate>(page); break;
    case ComKind::DoEvent: c = std::make_unique<TComDoEvent>(page); break;
    case ComKind::ClrRead: c = std::make_unique<TComClrRead>(page); break;
    case ComKind::MapImgNew: c = std::make_unique<TComMapImgNew>(page); break;
    case ComKind::WaveNew: c = std::make_unique<TComWaveNew>(page); break;
    case ComKind::TileNew: c = std::make_unique<TComTileNew>(page); break;
    case ComKind::SliderNew: c = std::make_unique<TComSliderNew>(page); break;
    case ComKind::ScrollbarNew: c = std::make_unique<TComScrollbarNew>(page); break;
    case ComKind::GaugeNew: c = std::make_unique<TComGaugeNew>(page); break;
    case ComKind::CGCaption: c = std::make_unique<TComCGCaption>(page); break;
    case ComKind::MediaPlay: c = std::make_unique<TComMediaPlay>(page); break;
    case ComKind::PrevMenuNew: c = std::make_unique<TComPrevMenuNew>(page); break;
    case ComKind::PropMotion: c = std::make_unique<TComPropMotion>(page); break;
    case ComKind::EntryHist: c = std::make_unique<TComEntryHist>(page); break;
    case ComKind::CabinetSave: c = std::make_unique<TComCabinetSave>(page); break;
    case ComKind::CabinetLoad: c = std::make_unique<TComCabinetLoad>(page); break;
  }
  return c;
}

}  // namespace orin
