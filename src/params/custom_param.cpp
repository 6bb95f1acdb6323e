#include "params/custom_param.h"

#include <limits>

#include "core/cp932.h"
#include "core/error.h"
#include "core/hash_collection.h"
#include "core/text.h"
#include "params/param_collection.h"
#include "params/param_text.h"
#include "params/value_budget.h"
#include "resources/stream.h"

namespace orin {

using namespace literals;

namespace {

// The conversion table, one overload per (stored, asked) pair.
int32_t AsInt(int32_t v) {
  return v;
}
int32_t AsInt(long double v) {
  return TruncToInt(v);
}
int32_t AsInt(bool v) {
  return v ? 1 : 0;
}
int32_t AsInt(const std::string& v) {
  return ParseInt(v).value_or(0);
}

long double AsFloat(int32_t v) {
  return v;
}
long double AsFloat(long double v) {
  return v;
}
long double AsFloat(bool v) {
  return v ? 1 : 0;
}
long double AsFloat(const std::string& v) {
  return ParseFloat(v).value_or(0);
}

bool AsFlag(int32_t v) {
  return v != 0;
}
bool AsFlag(long double v) {
  return v != 0;
}
bool AsFlag(bool v) {
  return v;
}
bool AsFlag(const std::string& v) {
  return v == "TRUE";
}

std::string AsStr(int32_t v) {
  return IntToText(v);
}
std::string AsStr(long double v) {
  return FloatToText(v);
}
std::string AsStr(bool v) {
  return v ? "TRUE" : "FALSE";
}
const std::string& AsStr(const std::string& v) {
  return v;
}

// Element <-> conversion type: flags are bytes in storage, booleans in conversion.
template <class V, class Elem>
V Load(const Elem& e) {
  if constexpr (std::is_same_v<V, bool>)
    return e != 0;
  else
    return e;
}

template <class Elem, class V>
Elem Store(const V& v) {
  if constexpr (std::is_same_v<V, bool>)
    return static_cast<Elem>(v ? 1 : 0);
  else
    return v;
}

// Converts any of the four conversion types to V.
template <class V, class From>
V Convert(const From& x) {
  if constexpr (std::is_same_v<V, int32_t>)
    return AsInt(x);
  else if constexpr (std::is_same_v<V, long double>)
    return AsFloat(x);
  else if constexpr (std::is_same_v<V, bool>)
    return AsFlag(x);
  else
    return AsStr(x);
}

[[noreturn]] void ThrowBadIndex() {
  throw Error("配列の添字が不正です"_sj);
}
[[noreturn]] void ThrowTypeMismatch() {
  throw Error("CopyMem:変数の型があいません"_sj);
}

// Counts read from a stream: checked against what remains before anything is allocated.
int32_t ReadCount(Stream& s, int64_t bytesEach, const char* what) {
  int32_t n = ReadInt32(s);
  if (n < 0) throw Error(Format("damaged value: negative %s", what));
  if (static_cast<int64_t>(n) * bytesEach > s.Remaining())
    throw Error(Format("damaged value: %s of %d runs past the end of the data", what, n));
  return n;
}

void WriteDims(Stream& s, const std::vector<int32_t>& dims) {
  WriteInt32(s, static_cast<int32_t>(dims.size()));
  for (int32_t d : dims) WriteInt32(s, d);
}

void ReadDims(Stream& s, std::vector<int32_t>& dims) {
  int32_t d = ReadCount(s, 4, "dimension count");
  std::vector<int32_t> sizes(static_cast<size_t>(d));
  for (auto& size : sizes) size = ReadInt32(s);
  dims = std::move(sizes);
}

}  // namespace

// --- TCustomParam ---------------------------------------------------------------------------

TCustomParam::~TCustomParam() {
  if (budget_) budget_->Remove(bytes_);
}

void TCustomParam::SetBudget(ValueBudget* budget) {
  if (budget_ == budget) return;
  if (budget_) budget_->Remove(bytes_);
  budget_ = budget;
  if (budget_) budget_->Add(bytes_);
}

void TCustomParam::Charge(int64_t newBytes) {
  if (budget_)
    budget_->Change(bytes_, newBytes);
  else if (newBytes > bytes_)
    ValueBudget::CheckValue(newBytes);
  bytes_ = newBytes;
}

int TCustomParam::GetDimCount() const {
  return Dims.empty() ? 1 : static_cast<int>(Dims.size());
}

int TCustomParam::GetDim(int k) const {
  return (k >= 0 && static_cast<size_t>(k) < Dims.size()) ? Dims[static_cast<size_t>(k)] : 1;
}

void TCustomParam::AssignRaw(const TCustomParam& /*source*/) {
  ThrowTypeMismatch();
}

void TCustomParam::SetDims(const std::vector<int32_t>& sizes) {
  int64_t product = 1;
  bool valid = true;
  for (int32_t size : sizes) {
    if (size < 1) valid = false;
    if (valid) product *= size;
    if (product > std::numeric_limits<int>::max()) valid = false;
  }
  if (!valid) {
    std::string list;
    for (size_t i = 0; i < sizes.size(); ++i) {
      if (i) list += ',';
      list += IntToText(sizes[i]);
    }
    throw Error(Format("配列の要素数[%s]が不正です"_sj, list));
  }
  Dims = sizes;
  SetCount(static_cast<int>(product));
}

void TCustomParam::SaveToStream(Stream& s) const {
  WriteDims(s, Dims);
  WriteInt32(s, 0);
}

void TCustomParam::LoadFromStream(Stream& s, const TParamCollection* /*scope*/) {
  ReadDims(s, Dims);
  ReadCount(s, 0, "element count");
}

void TCustomParam::ResetToScalar() {
  if (!Dims.empty()) {
    Dims.clear();
    SetCount(1);
  }
}

int TCustomParam::IndexOfStr(std::string_view text, bool caseSensitive, bool partial) const {
  const std::string folded = (partial && !caseSensitive) ? LowerCase(text) : std::string();
  const int count = GetCount();
  for (int i = 0; i < count; ++i) {
    std::string element = GetStrAt(i);
    bool match;
    if (partial)
      match = caseSensitive ? FindText(element, text) != std::string_view::npos
                            : FindText(LowerCase(element), folded) != std::string_view::npos;
    else
      match = caseSensitive ? element == text : SameText(element, text);
    if (match) return i;
  }
  return -1;
}

void TCustomParam::CopyArrayFrom(const TCustomParam& source) {
  std::vector<int32_t> sizes;
  const int dimCount = source.GetDimCount();
  for (int k = 0; k < dimCount; ++k) sizes.push_back(source.GetDim(k));
  SetDims(sizes);
  const int count = source.GetCount();
  switch (GetType()) {
    case kTypeInt:
      for (int i = 0; i < count; ++i) SetIntAt(i, source.GetIntAt(i));
      break;
    case kTypeFloat:
      for (int i = 0; i < count; ++i) SetFloatAt(i, source.GetFloatAt(i));
      break;
    case kTypeFlag:
      for (int i = 0; i < count; ++i) SetFlagAt(i, source.GetFlagAt(i));
      break;
    case kTypeStr:
      for (int i = 0; i < count; ++i) SetStrAt(i, source.GetStrAt(i));
      break;
    default:
      break;
  }
}

std::unique_ptr<TCustomParam> CreateParam(uint8_t typeCode) {
  switch (typeCode & 0x7F) {
    case kTypeVar:
      return std::make_unique<TParamVar>();
    case kTypeInt:
      return std::make_unique<TParamInt>();
    case kTypeFloat:
      return std::make_unique<TParamFloat>();
    case kTypeFlag:
      return std::make_unique<TParamFlag>();
    case kTypeStr:
      return std::make_unique<TParamStr>();
    default:
      return nullptr;
  }
}

// --- TypedParam ------------------------------------------------------------------------------

template <class Elem, class V, uint8_t Code>
V TypedParam<Elem, V, Code>::First() const {
  return Items.empty() ? V() : Load<V>(Items[0]);
}

template <class Elem, class V, uint8_t Code>
Elem& TypedParam<Elem, V, Code>::Scalar() {
  ResetToScalar();
  if (Items.empty()) {
    Charge(ElemBytes(Elem()));
    Items.resize(1);
  }
  return Items[0];
}

template <class Elem, class V, uint8_t Code>
void TypedParam<Elem, V, Code>::Put(Elem& slot, Elem e) {
  if constexpr (Code == kTypeStr) Charge(Bytes() - ElemBytes(slot) + ElemBytes(e));
  slot = std::move(e);
}

template <class Elem, class V, uint8_t Code>
void TypedParam<Elem, V, Code>::SetCount(int n) {
  const size_t count = n > 0 ? static_cast<size_t>(n) : 0;
  int64_t bytes = Bytes();
  if (count >= Items.size()) {
    bytes += static_cast<int64_t>(count - Items.size()) * ElemBytes(Elem());
  } else {
    for (size_t i = count; i < Items.size(); ++i) bytes -= ElemBytes(Items[i]);
  }
  Charge(bytes);
  Items.resize(count);
}

template <class Elem, class V, uint8_t Code>
void TypedParam<Elem, V, Code>::Fill(const Elem& e) {
  Charge(static_cast<int64_t>(Items.size()) * ElemBytes(e));
  Items.assign(Items.size(), e);
}

template <class Elem, class V, uint8_t Code>
const Elem& TypedParam<Elem, V, Code>::At(int i) const {
  if (i < 0 || static_cast<size_t>(i) >= Items.size()) ThrowBadIndex();
  return Items[static_cast<size_t>(i)];
}

template <class Elem, class V, uint8_t Code>
Elem& TypedParam<Elem, V, Code>::At(int i) {
  if (i < 0 || static_cast<size_t>(i) >= Items.size()) ThrowBadIndex();
  return Items[static_cast<size_t>(i)];
}

template <class Elem, class V, uint8_t Code>
bool TypedParam<Elem, V, Code>::GetAsFlag() const {
  return AsFlag(First());
}
template <class Elem, class V, uint8_t Code>
long double TypedParam<Elem, V, Code>::GetAsFloat() const {
  return AsFloat(First());
}
template <class Elem, class V, uint8_t Code>
int32_t TypedParam<Elem, V, Code>::GetAsInt() const {
  return AsInt(First());
}
template <class Elem, class V, uint8_t Code>
std::string TypedParam<Elem, V, Code>::GetAsStr() const {
  return AsStr(First());
}

template <class Elem, class V, uint8_t Code>
void TypedParam<Elem, V, Code>::SetAsFlag(bool v) {
  Put(Scalar(), Store<Elem>(Convert<V>(v)));
}
template <class Elem, class V, uint8_t Code>
void TypedParam<Elem, V, Code>::SetAsFloat(long double v) {
  Put(Scalar(), Store<Elem>(Convert<V>(v)));
}
template <class Elem, class V, uint8_t Code>
void TypedParam<Elem, V, Code>::SetAsInt(int32_t v) {
  Put(Scalar(), Store<Elem>(Convert<V>(v)));
}
template <class Elem, class V, uint8_t Code>
void TypedParam<Elem, V, Code>::SetAsStr(const std::string& v) {
  Put(Scalar(), Store<Elem>(Convert<V>(v)));
}

template <class Elem, class V, uint8_t Code>
int32_t TypedParam<Elem, V, Code>::GetIntAt(int i) const {
  return AsInt(Load<V>(At(i)));
}
template <class Elem, class V, uint8_t Code>
void TypedParam<Elem, V, Code>::SetIntAt(int i, int32_t v) {
  Put(At(i), Store<Elem>(Convert<V>(v)));
}
template <class Elem, class V, uint8_t Code>
long double TypedParam<Elem, V, Code>::GetFloatAt(int i) const {
  return AsFloat(Load<V>(At(i)));
}
template <class Elem, class V, uint8_t Code>
void TypedParam<Elem, V, Code>::SetFloatAt(int i, long double v) {
  Put(At(i), Store<Elem>(Convert<V>(v)));
}
template <class Elem, class V, uint8_t Code>
bool TypedParam<Elem, V, Code>::GetFlagAt(int i) const {
  return AsFlag(Load<V>(At(i)));
}
template <class Elem, class V, uint8_t Code>
void TypedParam<Elem, V, Code>::SetFlagAt(int i, bool v) {
  Put(At(i), Store<Elem>(Convert<V>(v)));
}
template <class Elem, class V, uint8_t Code>
std::string TypedParam<Elem, V, Code>::GetStrAt(int i) const {
  return AsStr(Load<V>(At(i)));
}
template <class Elem, class V, uint8_t Code>
void TypedParam<Elem, V, Code>::SetStrAt(int i, const std::string& v) {
  Put(At(i), Store<Elem>(Convert<V>(v)));
}

template <class Elem, class V, uint8_t Code>
void TypedParam<Elem, V, Code>::AssignRaw(const TCustomParam& source) {
  auto* same = dynamic_cast<const TypedParam*>(&source);
  if (!same) ThrowTypeMismatch();
  if (same == this) return;
  Charge(same->Bytes());
  Dims = same->Dims;
  Items = same->Items;
}

template <class Elem, class V, uint8_t Code>
void TypedParam<Elem, V, Code>::CopyMem(const TCustomParam& source) {
  auto* same = dynamic_cast<const TypedParam*>(&source);
  if (!same) ThrowTypeMismatch();
  if (same == this) return;
  std::vector<int32_t> dims;
  const int dimCount = same->GetDimCount();
  for (int k = 0; k < dimCount; ++k) dims.push_back(same->GetDim(k));
  Charge(same->Bytes());
  Dims = std::move(dims);
  Items = same->Items;
}

template <class Elem, class V, uint8_t Code>
void TypedParam<Elem, V, Code>::SaveToStream(Stream& s) const {
  WriteDims(s, Dims);
  WriteInt32(s, static_cast<int32_t>(Items.size()));
  for (const Elem& e : Items) {
    if constexpr (Code == kTypeInt)
      WriteInt32(s, e);
    else if constexpr (Code == kTypeFloat)
      WriteExtended(s, e);
    else if constexpr (Code == kTypeFlag)
      WriteByte(s, e);
    else
      WriteString(s, e);
  }
}

template <class Elem, class V, uint8_t Code>
void TypedParam<Elem, V, Code>::LoadFromStream(Stream& s, const TParamCollection* /*scope*/) {
  std::vector<int32_t> dims;
  ReadDims(s, dims);
  constexpr int64_t kBytesEach = Code == kTypeInt     ? 4
                                 : Code == kTypeFloat ? 10
                                 : Code == kTypeFlag  ? 1
                                                      : 4;
  int32_t n = ReadCount(s, kBytesEach, "element count");
  std::vector<Elem> items(static_cast<size_t>(n));
  int64_t bytes = 0;
  for (Elem& e : items) {
    if constexpr (Code == kTypeInt)
      e = ReadInt32(s);
    else if constexpr (Code == kTypeFloat)
      e = ReadExtended(s);
    else if constexpr (Code == kTypeFlag)
      e = ReadByte(s) != 0 ? 1 : 0;
    else
      e = ReadString(s);
    bytes += ElemBytes(e);
  }
  Charge(bytes);
  Dims = std::move(dims);
  Items = std::move(items);
}

template <class Elem, class V, uint8_t Code>
void TypedParam<Elem, V, Code>::ResetToScalar() {
  if (!Dims.empty()) {
    Dims.clear();
    SetCount(1);
  }
}

template <class Elem, class V, uint8_t Code>
void TypedParam<Elem, V, Code>::Reset() {
  Dims.clear();
  Charge(ElemBytes(Elem()));
  Items.resize(1);
  Items[0] = Elem();
}

template class TypedParam<int32_t, int32_t, kTypeInt>;
template class TypedParam<long double, long double, kTypeFloat>;
template class TypedParam<uint8_t, bool, kTypeFlag>;
template class TypedParam<std::string, std::string, kTypeStr>;

// --- TParamVar -------------------------------------------------------------------------------

VariableKey VariableKey::Make(std::string_view name) {
  VariableKey k;
  k.bucket = THashCollection::MakeKeyAndBucket(name, &k.key);
  k.digest = THashCollection::DigestOf(k.key);
  return k;
}

const VariableKey& TParamVar::Key() const {
  if (!keyValid_ || keyName_ != Name) {
    key_ = VariableKey::Make(Name);
    keyName_ = Name;
    keyValid_ = true;
  }
  return key_;
}

TCustomParam* TParamVar::TargetValue() const {
  return Target ? Target->Value.get() : nullptr;
}

int TParamVar::GetCount() const {
  auto* t = TargetValue();
  return t ? t->GetCount() : 1;
}
void TParamVar::SetCount(int n) {
  if (auto* t = TargetValue()) t->SetCount(n);
}
uint8_t TParamVar::GetType() const {
  auto* t = TargetValue();
  return t ? t->GetType() : kTypeVar;
}
bool TParamVar::GetAsFlag() const {
  auto* t = TargetValue();
  return t ? t->GetFlagAt(Index) : false;
}
long double TParamVar::GetAsFloat() const {
  auto* t = TargetValue();
  return t ? t->GetFloatAt(Index) : 0;
}
int32_t TParamVar::GetAsInt() const {
  auto* t = TargetValue();
  return t ? t->GetIntAt(Index) : 0;
}
std::string TParamVar::GetAsStr() const {
  auto* t = TargetValue();
  return t ? t->GetStrAt(Index) : std::string();
}
void TParamVar::SetAsFlag(bool v) {
  if (auto* t = TargetValue()) t->SetFlagAt(Index, v);
}
void TParamVar::SetAsFloat(long double v) {
  if (auto* t = TargetValue()) t->SetFloatAt(Index, v);
}
void TParamVar::SetAsInt(int32_t v) {
  if (auto* t = TargetValue()) t->SetIntAt(Index, v);
}
void TParamVar::SetAsStr(const std::string& v) {
  if (auto* t = TargetValue()) t->SetStrAt(Index, v);
}
int32_t TParamVar::GetIntAt(int i) const {
  auto* t = TargetValue();
  return t ? t->GetIntAt(i) : 0;
}
void TParamVar::SetIntAt(int i, int32_t v) {
  if (auto* t = TargetValue()) t->SetIntAt(i, v);
}
long double TParamVar::GetFloatAt(int i) const {
  auto* t = TargetValue();
  return t ? t->GetFloatAt(i) : 0;
}
void TParamVar::SetFloatAt(int i, long double v) {
  if (auto* t = TargetValue()) t->SetFloatAt(i, v);
}
bool TParamVar::GetFlagAt(int i) const {
  auto* t = TargetValue();
  return t ? t->GetFlagAt(i) : false;
}
void TParamVar::SetFlagAt(int i, bool v) {
  if (auto* t = TargetValue()) t->SetFlagAt(i, v);
}
std::string TParamVar::GetStrAt(int i) const {
  auto* t = TargetValue();
  return t ? t->GetStrAt(i) : std::string();
}
void TParamVar::SetStrAt(int i, const std::string& v) {
  if (auto* t = TargetValue()) t->SetStrAt(i, v);
}
int TParamVar::GetDimCount() const {
  auto* t = TargetValue();
  return t ? t->GetDimCount() : TCustomParam::GetDimCount();
}
int TParamVar::GetDim(int k) const {
  auto* t = TargetValue();
  return t ? t->GetDim(k) : TCustomParam::GetDim(k);
}
void TParamVar::AssignRaw(const TCustomParam& source) {
  auto* same = dynamic_cast<const TParamVar*>(&source);
  if (!same) ThrowTypeMismatch();
  if (same == this) return;
  Dims = same->Dims;
  Name = same->Name;
  Target = same->Target;
  RefFlag = same->RefFlag;
  Index = same->Index;
}
void TParamVar::SetDims(const std::vector<int32_t>& sizes) {
  if (auto* t = TargetValue()) t->SetDims(sizes);
}
void TParamVar::FillInt(int32_t v) {
  if (auto* t = TargetValue()) t->FillInt(v);
}
void TParamVar::FillFloat(long double v) {
  if (auto* t = TargetValue()) t->FillFloat(v);
}
void TParamVar::FillFlag(bool v) {
  if (auto* t = TargetValue()) t->FillFlag(v);
}
void TParamVar::FillStr(const std::string& v) {
  if (auto* t = TargetValue()) t->FillStr(v);
}
void TParamVar::CopyMem(const TCustomParam& source) {
  if (auto* t = TargetValue()) t->CopyMem(source);
}
void TParamVar::ResetToScalar() {
  if (auto* t = TargetValue()) t->ResetToScalar();
}
int TParamVar::IndexOfStr(std::string_view text, bool caseSensitive, bool partial) const {
  auto* t = TargetValue();
  return t ? t->IndexOfStr(text, caseSensitive, partial) : -1;
}

void TParamVar::Reset() {
  Dims.clear();
  Name.clear();
  Target = nullptr;
  RefFlag = 0;
  Index = 0;
}

void TParamVar::SaveToStream(Stream& s) const {
  WriteDims(s, Dims);
  WriteString(s, Name);
  WriteString(s, Target ? Target->Name() : std::string());
  WriteByte(s, RefFlag);
  WriteInt32(s, Index);
}

void TParamVar::LoadFromStream(Stream& s, const TParamCollection* scope) {
  ReadDims(s, Dims);
  Name = ReadString(s);
  std::string targetName = ReadString(s);
  RefFlag = ReadByte(s);
  Index = ReadInt32(s);
  Target = (scope && !targetName.empty()) ? scope->FindVariable(targetName) : nullptr;
}

}  // namespace orin
