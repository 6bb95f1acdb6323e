#include "params/orin_parser.h"

#include <limits>

#include "core/error.h"
#include "core/text.h"
#include "params/function_dispatcher.h"
#include "params/param_collection.h"
#include "params/param_host.h"
#include "params/param_text.h"
#include "params/value_budget.h"
#include "params/system_functions_table.h"
#include "resources/stream.h"

namespace orin {

using namespace literals;

namespace {

constexpr const char* kOpeNames[] = {
    "ocNone",  "ocTo",   "ocPlus",   "ocMinus",  "ocMul",    "ocDiv",      "ocMod",
    "ocOr",    "ocAnd",  "ocXor",    "ocDimTo",  "ocFunc",   "ocEqual",    "ocBig",
    "ocSmall", "ocEBig", "ocESmall", "ocShiftL", "ocShiftR", "ocComboStr", "ocNEqual",
};
constexpr uint8_t kLastOpe = ocNEqual;

// The largest property number GetProp knows.
constexpr int kLastProperty = 161;

bool IsTemporary(std::string_view name) {
  return name.substr(0, kTempPrefix.size()) == kTempPrefix;
}

[[noreturn]] void ThrowNotFound(std::string_view name) {
  std::string text = "\"";
  text.append(name);
  text += '"';
  text += " 変数がありません"_sj;
  throw Error(std::move(text));
}

[[noreturn]] void ThrowInvalid(const TOpeData& op) {
  std::string text = "不正な式"_sj;
  text += "\r\n\r\n";
  text += "代入先:"_sj;
  text += op.Dest;
  text += "演算タイプ:"_sj;
  text += OpeCodeName(op.Op);
  for (const auto& operand : op.Operands) {
    text += "\r\n";
    text += operand->GetAsStr();
  }
  throw Error(std::move(text));
}

const TCustomParam& Operand(const TOpeData& op, size_t i) {
  if (i >= op.Operands.size()) ThrowInvalid(op);
  return *op.Operands[i];
}

// Clears the targets of an operation's references when the operation ends, however it ends:
// a target may be a temporary that is freed before the next run.
class UnbindOnExit {
 public:
  explicit UnbindOnExit(TOpeData& op) : op_(op) {}
  ~UnbindOnExit() {
    for (auto& operand : op_.Operands)
      if (TParamVar* ref = operand->AsReference()) ref->Target = nullptr;
  }
  UnbindOnExit(const UnbindOnExit&) = delete;
  UnbindOnExit& operator=(const UnbindOnExit&) = delete;

 private:
  TOpeData& op_;
};

uint8_t ArithmeticType(const TOpeData& op) {
  uint8_t a = Operand(op, 0).GetType(), b = Operand(op, 1).GetType();
  return (a == kTypeFloat || b == kTypeFloat) ? kTypeFloat : kTypeInt;
}

// The type of a new temporary that receives the operation's result.
uint8_t TemporaryType(const TOpeData& op, TParamCollection& vars) {
  switch (op.Op) {
    case ocTo:
      return Operand(op, 0).GetType();
    case ocPlus:
      if (Operand(op, 0).GetType() == kTypeStr) return kTypeStr;
      return ArithmeticType(op);
    case ocMinus:
    case ocMul:
    case ocDiv:
      return ArithmeticType(op);
    case ocMod:
    case ocOr:
    case ocAnd:
    case ocXor:
    case ocShiftL:
    case ocShiftR:
      return kTypeInt;
    case ocDimTo:
      return kTypeVar;
    case ocFunc: {
      if (op.FuncCode == kFuncGetProp) {
        int32_t property = Operand(op, 1).GetAsInt();
        // Negative numbers are refused too: they index no property.
        if (property < 0 || property > kLastProperty) throw Error("GetPropの引数が違います"_sj);
        return vars.Host().Objects.PropertyValueType(property);
      }
      // A code beyond the table calls nothing; its destination only needs some type.
      return op.FuncCode < kSystemFunctionCount ? kSystemFunctions[op.FuncCode].ResultType
                                                : kTypeInt;
    }
    case ocEqual:
    case ocBig:
    case ocSmall:
    case ocEBig:
    case ocESmall:
    case ocNEqual:
      return kTypeFlag;
    case ocComboStr:
      return kTypeStr;
    default:
      ThrowInvalid(op);
  }
}

// Binds a new element reference to name[indices], indices read as integers from operands 1...
void BindElement(TParamVar& ref, const TOpeData& op, TParamCollection& vars) {
  const TCustomParam& first = Operand(op, 0);
  const TParamVar* named = first.AsReference();
  ref.Name = named ? named->Name : first.GetAsStr();
  // The name operand was bound a moment ago by the same lookup.
  ref.Target = named ? named->Target : vars.FindVariable(ref.Name);
  if (!ref.Target) ThrowNotFound(ref.Name);
  const TCustomParam& array = *ref.Target->Value;

  std::vector<int32_t> indices;
  for (size_t i = 1; i < op.Operands.size(); ++i) indices.push_back(op.Operands[i]->GetAsInt());
  auto fail = [&](const std::string& reason) {
    std::string text = ref.Name;
    text += '[';
    for (size_t i = 0; i < indices.size(); ++i) {
      if (i) text += ',';
      text += IntToText(indices[i]);
    }
    ref.Target = nullptr;
    text += "]\r\n";
    text += reason;
    throw Error(std::move(text));
  };
  if (static_cast<int>(indices.size()) != array.GetDimCount()) fail("添え字が不正です"_sj);
  // 32-bit arithmetic as the stored shape implies; only the flat index is checked, and a
  // negative one is left to the element operation that uses it.
  uint32_t flat = 0, stride = 1;
  for (size_t k = indices.size(); k-- > 0;) {
    flat += static_cast<uint32_t>(indices[k]) * stride;
    stride *= static_cast<uint32_t>(array.GetDim(static_cast<int>(k)));
  }
  if (static_cast<int32_t>(flat) >= array.GetCount()) fail("要素数を超えています"_sj);
  ref.Index = static_cast<int32_t>(flat);
}

int32_t IntegerOp(uint8_t op, int32_t a, int32_t b) {
  const auto ua = static_cast<uint32_t>(a), ub = static_cast<uint32_t>(b);
  switch (op) {
    case ocPlus:
      return static_cast<int32_t>(ua + ub);
    case ocMinus:
      return static_cast<int32_t>(ua - ub);
    case ocMul:
      return static_cast<int32_t>(ua * ub);
    case ocDiv:
    case ocMod:
      if (b == 0) throw Error("division by zero");
      // The processor faults on this quotient; the expression stops as for a zero divisor.
      if (a == std::numeric_limits<int32_t>::min() && b == -1) throw Error("integer overflow");
      return op == ocDiv ? a / b : a % b;
    case ocOr:
      return a | b;
    case ocAnd:
      return a & b;
    case ocXor:
      return a ^ b;
    case ocShiftL:
      return static_cast<int32_t>(ua << (ub & 31));
    case ocShiftR:
      return static_cast<int32_t>(ua >> (ub & 31));
    default:
      return 0;
  }
}

template <class T>
bool Compare(uint8_t op, const T& a, const T& b) {
  switch (op) {
    case ocEqual:
      return a == b;
    case ocBig:
      return a > b;
    case ocSmall:
      return a < b;
    case ocEBig:
      return a >= b;
    case ocESmall:
      return a <= b;
    default:
      return a != b;
  }
}

void Compute(const TOpeData& op, TParamCollectionItem& destItem, TParamCollection& vars) {
  TCustomParam& dest = *destItem.Value;
  switch (op.Op) {
    case ocTo: {
      const TCustomParam& a = Operand(op, 0);
      switch (dest.GetType()) {
        case kTypeInt:
          dest.SetAsInt(a.GetAsInt());
          break;
        case kTypeFloat:
          dest.SetAsFloat(a.GetAsFloat());
          break;
        case kTypeFlag:
          dest.SetAsFlag(a.GetAsFlag());
          break;
        case kTypeStr:
          dest.SetAsStr(a.GetAsStr());
          break;
        default:
          break;
      }
      return;
    }
    case ocPlus:
    case ocMinus:
    case ocMul:
    case ocDiv: {
      const TCustomParam& a = Operand(op, 0);
      const TCustomParam& b = Operand(op, 1);
      if (dest.GetType() == kTypeFloat) {
        long double x = a.GetAsFloat(), y = b.GetAsFloat();
        long double r = op.Op == ocPlus    ? x + y
                        : op.Op == ocMinus ? x - y
                        : op.Op == ocMul   ? x * y
                                           : x / y;
        dest.SetAsFloat(r);
      } else {
        dest.SetAsInt(IntegerOp(op.Op, a.GetAsInt(), b.GetAsInt()));
      }
      return;
    }
    case ocMod:
    case ocOr:
    case ocAnd:
    case ocXor:
    case ocShiftL:
    case ocShiftR:
      dest.SetAsInt(IntegerOp(op.Op, Operand(op, 0).GetAsInt(), Operand(op, 1).GetAsInt()));
      return;
    case ocComboStr: {
      std::string text = Operand(op, 0).GetAsStr();
      const std::string tail = Operand(op, 1).GetAsStr();
      // A text joined to itself in a loop doubles each time: the limit is checked before the
      // joined text is made.
      ValueBudget::CheckValue(static_cast<int64_t>(text.size() + tail.size()), vars.Budget().MaxValue());
      text += tail;
      dest.SetAsStr(text);
      return;
    }
    case ocEqual:
    case ocBig:
    case ocSmall:
    case ocEBig:
    case ocESmall:
    case ocNEqual: {
      const TCustomParam& a = Operand(op, 0);
      const TCustomParam& b = Operand(op, 1);
      bool r;
      switch (a.GetType()) {
        case kTypeStr:
          r = Compare(op.Op, a.GetAsStr(), b.GetAsStr());
          break;
        case kTypeFloat:
          r = Compare(op.Op, a.GetAsFloat(), b.GetAsFloat());
          break;
        case kTypeFlag:
          r = Compare(op.Op, static_cast<int>(a.GetAsFlag()), static_cast<int>(b.GetAsFlag()));
          break;
        default:
          r = Compare(op.Op, a.GetAsInt(), b.GetAsInt());
          break;
      }
      dest.SetAsFlag(r);
      return;
    }
    case ocDimTo:
      return;
    case ocFunc:
      vars.Functions().Call(op.FuncCode, destItem, op.Operands, vars);
      return;
    default:
      ThrowInvalid(op);
  }
}

}  // namespace

std::string OpeCodeName(uint8_t op) {
  if (op <= kLastOpe) return kOpeNames[op];
  return "oc" + IntToText(op);
}

TOpeData::TOpeData() = default;
TOpeData::~TOpeData() = default;

const VariableKey& TOpeData::DestKey() const {
  if (!keyValid_ || keyName_ != Dest) {
    key_ = VariableKey::Make(Dest);
    keyName_ = Dest;
    keyValid_ = true;
  }
  return key_;
}

void TOrinParser::Clear() {
  Operations.clear();
  producers_.clear();
  Result.reset();
}

void TOrinParser::LoadFromStream(Stream& s) {
  constexpr int64_t kSmallestOperation = 9;  // op, Dest length, operand count
  constexpr int64_t kSmallestOperand = 2;    // kind and a flag
  int32_t count = ReadInt32(s);
  if (count < 0 || static_cast<int64_t>(count) * kSmallestOperation > s.Remaining())
    throw Error(Format("damaged expression: %d operations run past the end of the data", count));
  std::vector<std::unique_ptr<TOpeData>> operations;
  operations.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    auto op = std::make_unique<TOpeData>();
    op->Op = ReadByte(s);
    op->Dest = ReadString(s);
    int32_t n = ReadInt32(s);
    if (op->Op == ocFunc) op->FuncCode = ReadByte(s);
    if (n < 0 || static_cast<int64_t>(n) * kSmallestOperand > s.Remaining())
      throw Error(Format("damaged expression: %d operands run past the end of the data", n));
    op->Operands.reserve(static_cast<size_t>(n));
    for (int32_t k = 0; k < n; ++k) {
      uint8_t kind = ReadByte(s) & 0x7F;
      std::unique_ptr<TCustomParam> operand;
      switch (kind) {
        case kTypeInt:
          operand = std::make_unique<TParamInt>();
          operand->SetAsInt(ReadInt32(s));
          break;
        case kTypeFloat:
          operand = std::make_unique<TParamFloat>();
          operand->SetAsFloat(ReadExtended(s));
          break;
        case kTypeFlag:
          operand = std::make_unique<TParamFlag>();
          operand->SetAsFlag(ReadByte(s) != 0);
          break;
        case kTypeStr:
          operand = std::make_unique<TParamStr>();
          operand->SetAsStr(ReadString(s));
          break;
        default: {
          auto ref = std::make_unique<TParamVar>();
          ref->Name = ReadString(s);
          operand = std::move(ref);
          break;
        }
      }
      op->Operands.push_back(std::move(operand));
    }
    operations.push_back(std::move(op));
  }
  Operations = std::move(operations);
  producers_.clear();
  Result.reset();
}

void TOrinParser::SaveToStream(Stream& s) const {
  WriteInt32(s, static_cast<int32_t>(Operations.size()));
  for (const auto& op : Operations) {
    WriteByte(s, op->Op);
    WriteString(s, op->Dest);
    WriteInt32(s, static_cast<int32_t>(op->Operands.size()));
    if (op->Op == ocFunc) WriteByte(s, op->FuncCode);
    for (const auto& operand : op->Operands) {
      if (const TParamVar* ref = operand->AsReference()) {
        WriteByte(s, kTypeVar);
        WriteString(s, ref->Name);
        continue;
      }
      uint8_t kind = operand->StorageType();
      WriteByte(s, kind);
      switch (kind) {
        case kTypeInt:
          WriteInt32(s, operand->GetAsInt());
          break;
        case kTypeFloat:
          WriteExtended(s, operand->GetAsFloat());
          break;
        case kTypeFlag:
          WriteByte(s, operand->GetAsFlag() ? 1 : 0);
          break;
        default:
          WriteString(s, operand->GetAsStr());
          break;
      }
    }
  }
}

void TOrinParser::Assign(const TOrinParser& other) {
  if (&other == this) return;
  std::vector<std::unique_ptr<TOpeData>> operations;
  operations.reserve(other.Operations.size());
  for (const auto& source : other.Operations) {
    auto op = std::make_unique<TOpeData>();
    op->Op = source->Op;
    op->Dest = source->Dest;
    op->FuncCode = source->FuncCode;
    for (const auto& operand : source->Operands) {
      if (const TParamVar* ref = operand->AsReference()) {
        auto copy = std::make_unique<TParamVar>();
        copy->Name = ref->Name;
        op->Operands.push_back(std::move(copy));
      } else {
        std::unique_ptr<TCustomParam> copy = CreateParam(operand->StorageType());
        copy->AssignRaw(*operand);
        op->Operands.push_back(std::move(copy));
      }
    }
    operations.push_back(std::move(op));
  }
  Operations = std::move(operations);
  producers_.clear();
  Result.reset();
}

void TOrinParser::PrepareProducers() {
  producers_.assign(Operations.size(), {});
  for (size_t i = 0; i < Operations.size(); ++i) {
    const TOpeData& op = *Operations[i];
    producers_[i].assign(op.Operands.size(), -1);
    for (size_t k = 0; k < op.Operands.size(); ++k) {
      const TParamVar* ref = op.Operands[k]->AsReference();
      if (!ref || !IsTemporary(ref->Name)) continue;
      for (size_t j = i; j-- > 0;) {
        if (Operations[j]->Dest == ref->Name) {
          producers_[i][k] = static_cast<int32_t>(j);
          break;
        }
      }
    }
  }
}

void TOrinParser::Execute(TParamCollection& vars) {
  Result.reset();
  if (producers_.size() != Operations.size()) PrepareProducers();
  const uint64_t tag = vars.NewRunTag();
  int created = 0;
  // Temporaries this run made are what a lookup of their names gives, until something other
  // than this run adds or frees variables, changes the frame, or a function runs.
  uint64_t expectedStructure = vars.Structure();
  const int32_t frame = vars.CurrentFrame;
  bool trust = true;
  auto trusted = [&] {
    return trust && vars.Structure() == expectedStructure && vars.CurrentFrame == frame;
  };
  try {
    for (size_t i = 0; i < Operations.size(); ++i) {
      TOpeData& op = *Operations[i];
      UnbindOnExit unbind(op);
      for (size_t k = 0; k < op.Operands.size(); ++k) {
        TParamVar* ref = op.Operands[k]->AsReference();
        if (!ref) continue;
        TParamCollectionItem* target = nullptr;
        if (i < producers_.size() && k < producers_[i].size() && producers_[i][k] >= 0) {
          const auto j = static_cast<size_t>(producers_[i][k]);
          const TOpeData& producer = *Operations[j];
          if (j < i && producer.createdTag_ == tag && producer.Dest == ref->Name && trusted())
            target = producer.created_;
        }
        if (!target) target = vars.FindVariable(ref->Key());
        if (!target) ThrowNotFound(ref->Name);
        ref->Target = target;
        // Reading through a reference variable reads its element, not element 0.
        const TParamVar* chained = target->Value->AsReference();
        ref->Index = chained ? chained->Index : 0;
      }
      if (op.Op == ocNone || op.Op > kLastOpe) ThrowInvalid(op);

      TParamCollectionItem* dest = vars.FindVariable(op.DestKey());
      if (!dest && IsTemporary(op.Dest)) {
        const bool wasTrusted = trusted();
        dest = &CreateTemporary(op, i, vars, tag);
        if (wasTrusted) expectedStructure = vars.Structure();
        ++created;
        if (op.Op == ocDimTo) BindElement(*dest->Value->AsReference(), op, vars);
      }
      if (!dest) ThrowNotFound(op.Dest);
      if (op.Op == ocFunc) trust = false;
      Compute(op, *dest, vars);
    }
  } catch (const std::exception&) {
    // An expression stops at its first error without a message; what it did stays done.
  }
  if (!Operations.empty() && Operations.back()->Op == ocTo && Operations.back()->Dest == kArgName) {
    try {
      Result = vars.ExtractValueCopy(kArgName);
    } catch (const std::exception&) {
      Result.reset();
    }
  }
  FreeTemporaries(vars, tag, created);
}

TParamCollectionItem& TOrinParser::CreateTemporary(TOpeData& op, size_t slot,
                                                   TParamCollection& vars, uint64_t tag) {
  const uint8_t type = TemporaryType(op, vars);
  std::unique_ptr<TParamCollectionItem> item = std::move(op.spare_);
  if (item && item->Name() == op.Dest) {
    // Reset when it was put aside; only a change of type needs a new value.
    if (item->Value->StorageType() != type) item->Value = CreateParam(type);
    item->IsLocal = item->IsPersistent = false;
    item->Frame = -1;
    item->Extra = 0;
  } else {
    item = std::make_unique<TParamCollectionItem>(CreateParam(type));
    item->SetName(op.Dest);
  }
  if (!item->Value) throw Error(Format("variable type %d has no value class", type));
  item->runTag_ = tag;
  item->runSlot_ = slot;
  op.createdTag_ = tag;
  op.created_ = item.get();
  return vars.Add(std::move(item));
}

void TOrinParser::FreeTemporaries(TParamCollection& vars, uint64_t tag, int created) {
  // The run's temporaries are the newest items unless a function added variables meanwhile;
  // any of them may already be gone (freed by a function), so they are found by their tag.
  for (int i = vars.Count() - 1; i >= 0 && created > 0; --i) {
    if (vars[i].runTag_ != tag) continue;
    --created;
    const size_t slot = vars[i].runSlot_;
    std::unique_ptr<THashCollectionItem> owned = vars.Extract(i);
    auto* item = static_cast<TParamCollectionItem*>(owned.get());
    if (slot < Operations.size() && !Operations[slot]->spare_) {
      item->runTag_ = 0;
      item->Value->Reset();
      owned.release();
      Operations[slot]->spare_.reset(item);
    }
  }
}

}  // namespace orin
