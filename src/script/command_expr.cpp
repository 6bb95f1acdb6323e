#include "script/command_expr.h"

#include <cstring>

#include "core/byte_reader.h"
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

constexpr const char* kLabel = "damaged expression";

// Walks one record with the checks of TOrinParser::LoadFromStream: the operation and operand
// counts against the smallest size of what they count, then every field.
void WalkRecord(ByteReader& r, std::string_view what) {
  constexpr uint64_t kSmallestOperation = 9;  // op, Dest length, operand count
  constexpr uint64_t kSmallestOperand = 2;    // kind and a flag
  const size_t count = r.ReadCount(kSmallestOperation, what);
  for (size_t i = 0; i < count; ++i) {
    const uint8_t op = r.U8(what);
    r.SkipString(what);
    const int32_t n = r.I32(what);
    if (op == ocFunc) r.U8(what);
    const size_t operands = r.Count(n, kSmallestOperand, what);
    for (size_t k = 0; k < operands; ++k) {
      switch (r.U8(what) & 0x7F) {
        case kTypeInt:
          r.Skip(4, what);
          break;
        case kTypeFloat:
          r.Skip(10, what);
          break;
        case kTypeFlag:
          r.Skip(1, what);
          break;
        default:
          r.SkipString(what);
          break;
      }
    }
  }
}

}  // namespace

size_t ExpressionRecordSize(const uint8_t* data, size_t size) {
  ByteReader r(data, size, kLabel);
  WalkRecord(r, "the expression");
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
  StreamBytes bytes(s);
  ByteReader r = bytes.Reader(kLabel);
  ReadFrom(r, "the expression");
  bytes.Finish(r);
}

void CommandExpr::ReadFrom(ByteReader& r, std::string_view what) {
  const size_t start = r.Position();
  WalkRecord(r, what);
  const size_t end = r.Position();
  r.Seek(start, what);
  const auto bytes = r.Bytes(end - start, what);
  record_.assign(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  parser_.reset();
}

void CommandExpr::WriteTo(Stream& s) const {
  s.WriteBuffer(record_.data(), static_cast<int64_t>(record_.size()));
}

void CommandExpr::SetRecord(std::string record) {
  size_t n = ExpressionRecordSize(reinterpret_cast<const uint8_t*>(record.data()), record.size());
  if (n != record.size()) throw Error(std::string(kLabel) + ": bytes follow the end of the record");
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
