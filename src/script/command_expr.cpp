#include "script/command_expr.h"

#include <cstring>

#include "core/endian.h"
#include "core/error.h"
#include "core/text.h"
#include "params/build_orin_parser.h"
#include "params/custom_param.h"
#include "resources/stream.h"

namespace orin {

namespace {

// The empty record: an operation count of 0.
const std::string kEmptyRecord(4, '\0');

[[noreturn]] void Damaged(const char* what) {
  throw Error(std::string("damaged expression: ") + what);
}

// Reads the bytes of a record in place.
class SpanReader {
 public:
  SpanReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  int64_t Remaining() const { return static_cast<int64_t>(size_ - pos_); }
  uint8_t Byte() {
    Need(1);
    return data_[pos_++];
  }
  int32_t Int() {
    Need(4);
    int32_t v = static_cast<int32_t>(LoadU32LE(data_ + pos_));
    pos_ += 4;
    return v;
  }
  void Skip(int64_t n) {
    Need(n);
    pos_ += static_cast<size_t>(n);
  }
  size_t Position() const { return pos_; }

 private:
  void Need(int64_t n) const {
    if (n > Remaining()) Damaged("the record runs past the end of the data");
  }
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// Reads a record from any stream, keeping a copy of every byte read.
class StreamReader {
 public:
  StreamReader(Stream& s, std::string& out) : s_(s), out_(out) {}

  int64_t Remaining() const { return s_.Remaining(); }
  uint8_t Byte() {
    uint8_t b;
    Take(&b, 1);
    return b;
  }
  int32_t Int() {
    uint8_t b[4];
    Take(b, 4);
    return static_cast<int32_t>(LoadU32LE(b));
  }
  void Skip(int64_t n) {
    if (n > Remaining()) Damaged("the record runs past the end of the data");
    size_t at = out_.size();
    out_.resize(at + static_cast<size_t>(n));
    s_.ReadBuffer(out_.data() + at, n);
  }

 private:
  void Take(uint8_t* b, int64_t n) {
    if (n > Remaining()) Damaged("the record runs past the end of the data");
    s_.ReadBuffer(b, n);
    out_.append(reinterpret_cast<const char*>(b), static_cast<size_t>(n));
  }
  Stream& s_;
  std::string& out_;
};

template <class Reader>
void SkipString(Reader& r) {
  int32_t n = r.Int();
  if (n > 0) r.Skip(n);
}

// Walks one record with the checks of TOrinParser::LoadFromStream: the operation and operand
// counts against the smallest size of what they count, then every field.
template <class Reader>
void WalkRecord(Reader& r) {
  constexpr int64_t kSmallestOperation = 9;  // op, Dest length, operand count
  constexpr int64_t kSmallestOperand = 2;    // kind and a flag
  int32_t count = r.Int();
  if (count < 0 || static_cast<int64_t>(count) * kSmallestOperation > r.Remaining())
    Damaged("the operations run past the end of the data");
  for (int32_t i = 0; i < count; ++i) {
    uint8_t op = r.Byte();
    SkipString(r);
    int32_t n = r.Int();
    if (op == ocFunc) r.Byte();
    if (n < 0 || static_cast<int64_t>(n) * kSmallestOperand > r.Remaining())
      Damaged("the operands run past the end of the data");
    for (int32_t k = 0; k < n; ++k) {
      switch (r.Byte() & 0x7F) {
        case kTypeInt:
          r.Skip(4);
          break;
        case kTypeFloat:
          r.Skip(10);
          break;
        case kTypeFlag:
          r.Skip(1);
          break;
        default:
          SkipString(r);
          break;
      }
    }
  }
}

}  // namespace

size_t ExpressionRecordSize(const uint8_t* data, size_t size) {
  SpanReader r(data, size);
  WalkRecord(r);
  return r.Position();
}

CommandExpr::CommandExpr() : record_(kEmptyRecord) {}
CommandExpr::~CommandExpr() = default;
CommandExpr::CommandExpr(const CommandExpr& other) : record_(other.record_) {}
CommandExpr& CommandExpr::operator=(const CommandExpr& other) {
  if (this != &other) {
    record_ = other.record_;
    parser_.reset();
  }
  return *this;
}
CommandExpr::CommandExpr(CommandExpr&&) noexcept = default;
CommandExpr& CommandExpr::operator=(CommandExpr&&) noexcept = default;

void CommandExpr::ReadFrom(Stream& s) {
  std::string record;
  if (auto* memory = dynamic_cast<MemoryStream*>(&s)) {
    // Pages are read from memory: measure in place and copy once.
    int64_t pos = memory->GetPosition();
    size_t avail = pos < static_cast<int64_t>(memory->Size()) ? memory->Size() - static_cast<size_t>(pos) : 0;
    const uint8_t* at = avail ? memory->Data() + pos : nullptr;
    size_t n = ExpressionRecordSize(at, avail);
    record.assign(reinterpret_cast<const char*>(at), n);
    memory->Seek(static_cast<int64_t>(n), Stream::kFromCurrent);
  } else {
    StreamReader r(s, record);
    WalkRecord(r);
  }
  record_ = std::move(record);
  parser_.reset();
}

void CommandExpr::WriteTo(Stream& s) const {
  s.WriteBuffer(record_.data(), static_cast<int64_t>(record_.size()));
}

void CommandExpr::SetRecord(std::string record) {
  size_t n = ExpressionRecordSize(reinterpret_cast<const uint8_t*>(record.data()), record.size());
  if (n != record.size()) Damaged("bytes follow the end of the record");
  record_ = std::move(record);
  parser_.reset();
}

void CommandExpr::Compile(std::string_view text) {
  TBuildOrinParser compiler;
  compiler.Compile(text);
  MemoryStream out;
  compiler.WriteTo(out);
  SetRecord(std::string(out.View()));
}

void CommandExpr::Assign(const TOrinParser& parser) {
  MemoryStream out;
  parser.SaveToStream(out);
  SetRecord(std::string(out.View()));
}

void CommandExpr::Clear() {
  record_ = kEmptyRecord;
  parser_.reset();
}

int32_t CommandExpr::OperationCount() const {
  return static_cast<int32_t>(LoadU32LE(reinterpret_cast<const uint8_t*>(record_.data())));
}

bool CommandExpr::Empty() const { return OperationCount() == 0; }

TOrinParser& CommandExpr::Parser() const {
  if (!parser_) {
    auto parser = std::make_unique<TOrinParser>();
    MemoryStream m;
    m.Assign(record_);
    parser->LoadFromStream(m);
    parser_ = std::move(parser);
  }
  return *parser_;
}

const TCustomParam* CommandExpr::Evaluate(TParamCollection& vars) const {
  TOrinParser& parser = Parser();
  parser.Execute(vars);
  return parser.Result.get();
}

int32_t CommandExpr::GetInt(TParamCollection& vars, int32_t fallback) const {
  const TCustomParam* v = Evaluate(vars);
  return v ? v->GetAsInt() : fallback;
}

long double CommandExpr::GetFloat(TParamCollection& vars, long double fallback) const {
  const TCustomParam* v = Evaluate(vars);
  return v ? v->GetAsFloat() : fallback;
}

bool CommandExpr::GetFlag(TParamCollection& vars, bool fallback) const {
  const TCustomParam* v = Evaluate(vars);
  return v ? v->GetAsFlag() : fallback;
}

std::string CommandExpr::GetStr(TParamCollection& vars, std::string fallback) const {
  const TCustomParam* v = Evaluate(vars);
  return v ? v->GetAsStr() : fallback;
}

}  // namespace orin
