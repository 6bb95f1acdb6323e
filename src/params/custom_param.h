// Typed values: TCustomParam, the abstract value of every variable and expression constant, and
// its classes TParamInt, TParamFloat, TParamFlag, TParamStr (element arrays of one type) and
// TParamVar (a reference to a variable or to one element of it).
//
// A value holds at least one element; an array's elements are laid out row-major over Dims (the
// last index varies fastest). Every getter converts the stored element to the asked type and
// every setter converts the given value to the element type (integer text is decimal; floats use
// the general float text of params/param_text.h; flags are "TRUE" / "FALSE"; text reads as a
// number through the strict parses, 0 when they fail, and as a flag only when it is exactly
// "TRUE"). Scalar setters first turn an array back into a scalar; element operations raise
// "配列の添字が不正です" outside 0 <= i < count.
//
// Stream form of a value: int32 D, D int32 sizes, int32 N, N elements (int32; 10-byte extended;
// one byte; string). A reference writes the dimension part, then its name, its target's name,
// RefFlag (byte) and Index (int32). Loading checks every count against the bytes that remain.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace orin {

class Stream;
class ValueBudget;
class TParamCollection;
class TParamCollectionItem;
class TParamVar;

// Type codes of values, as stored in expression records and save streams.
constexpr uint8_t kTypeVar = 0;
constexpr uint8_t kTypeInt = 1;
constexpr uint8_t kTypeFloat = 2;
constexpr uint8_t kTypeFlag = 3;
constexpr uint8_t kTypeStr = 4;

class TCustomParam {
 public:
  TCustomParam() = default;
  virtual ~TCustomParam();
  TCustomParam(const TCustomParam&) = delete;
  TCustomParam& operator=(const TCustomParam&) = delete;

  // Sizes per dimension; empty for a scalar.
  std::vector<int32_t> Dims;

  virtual int GetCount() const { return 1; }
  virtual void SetCount(int /*n*/) {}
  virtual uint8_t GetType() const { return kTypeInt; }
  virtual bool GetAsFlag() const { return false; }
  virtual long double GetAsFloat() const { return 0; }
  virtual int32_t GetAsInt() const { return 0; }
  virtual std::string GetAsStr() const { return {}; }
  virtual void SetAsFlag(bool /*v*/) {}
  virtual void SetAsFloat(long double /*v*/) {}
  virtual void SetAsInt(int32_t /*v*/) {}
  virtual void SetAsStr(const std::string& /*v*/) {}
  virtual int32_t GetIntAt(int /*i*/) const { return 0; }
  virtual void SetIntAt(int /*i*/, int32_t /*v*/) {}
  virtual long double GetFloatAt(int /*i*/) const { return 0; }
  virtual void SetFloatAt(int /*i*/, long double /*v*/) {}
  virtual bool GetFlagAt(int /*i*/) const { return false; }
  virtual void SetFlagAt(int /*i*/, bool /*v*/) {}
  virtual std::string GetStrAt(int /*i*/) const { return {}; }
  virtual void SetStrAt(int /*i*/, const std::string& /*v*/) {}
  // Length of Dims, or 1 for a scalar.
  virtual int GetDimCount() const;
  // Dims entry k, or 1 when k is outside Dims.
  virtual int GetDim(int k) const;
  // Copies Dims and the elements from a value of the same class; otherwise raises the CopyMem
  // type error.
  virtual void AssignRaw(const TCustomParam& source);
  // Sets the shape: raises "配列の要素数[%s]が不正です" (the sizes joined by ",") when a size is
  // below 1 or the element count would not fit an int, before anything changes; otherwise stores
  // the sizes and resizes to their product. Elements keep their flat positions.
  virtual void SetDims(const std::vector<int32_t>& sizes);
  virtual void FillInt(int32_t /*v*/) {}
  virtual void FillFloat(long double /*v*/) {}
  virtual void FillFlag(bool /*v*/) {}
  virtual void FillStr(const std::string& /*v*/) {}
  // Copies the shape (GetDimCount entries of GetDim, so a scalar source gives one dimension of
  // size 1) and the elements from a value of the same class; otherwise raises
  // "CopyMem:変数の型があいません".
  virtual void CopyMem(const TCustomParam& /*source*/) {}
  virtual void SaveToStream(Stream& s) const;
  // scope binds a reference's target by name; null leaves it unbound.
  virtual void LoadFromStream(Stream& s, const TParamCollection* scope);
  // An array becomes a scalar holding its first element; a scalar is left alone.
  virtual void ResetToScalar();
  // Index of the first element whose text matches, -1 if none. Partial: the element contains
  // text; otherwise it equals text. Without caseSensitive both sides are compared lower-cased.
  virtual int IndexOfStr(std::string_view text, bool caseSensitive, bool partial) const;

  // The code of the class itself (0 for a reference, whatever its target); the collection
  // writes it before a variable record and the expression writer before an operand.
  virtual uint8_t StorageType() const = 0;
  // Back to the fresh value of the class (one element, 0 / empty / FALSE, or an unbound
  // reference), keeping allocated storage.
  virtual void Reset() = 0;
  // The value as a reference, or null for any other class.
  virtual TParamVar* AsReference() { return nullptr; }
  virtual const TParamVar* AsReference() const { return nullptr; }

  // Gives this value the shape of source and every element of it converted to this value's type.
  void CopyArrayFrom(const TCustomParam& source);

  // The budget (params/value_budget.h) this value's storage is charged to: the collection's
  // while it owns the value, null outside one. Moves the value's bytes from the old budget.
  void SetBudget(ValueBudget* budget);
  // The bytes the value's storage takes, as the budget counts them.
  int64_t Bytes() const { return bytes_; }

 protected:
  // The storage is about to go to newBytes: throws before anything changes when that passes a
  // limit, else records it.
  void Charge(int64_t newBytes);

 private:
  ValueBudget* budget_ = nullptr;
  int64_t bytes_ = 0;
};

// A fresh value of a type code (masked with 0x7F); null for a code without a class.
std::unique_ptr<TCustomParam> CreateParam(uint8_t typeCode);

// The shared body of the four element classes. V is the type the element converts through.
template <class Elem, class V, uint8_t Code>
class TypedParam : public TCustomParam {
 public:
  TypedParam() : Items(1) { Charge(ElemBytes(Items[0])); }

  std::vector<Elem> Items;

  int GetCount() const override { return static_cast<int>(Items.size()); }
  void SetCount(int n) override;
  uint8_t GetType() const override { return Code; }
  bool GetAsFlag() const override;
  long double GetAsFloat() const override;
  int32_t GetAsInt() const override;
  std::string GetAsStr() const override;
  void SetAsFlag(bool v) override;
  void SetAsFloat(long double v) override;
  void SetAsInt(int32_t v) override;
  void SetAsStr(const std::string& v) override;
  int32_t GetIntAt(int i) const override;
  void SetIntAt(int i, int32_t v) override;
  long double GetFloatAt(int i) const override;
  void SetFloatAt(int i, long double v) override;
  bool GetFlagAt(int i) const override;
  void SetFlagAt(int i, bool v) override;
  std::string GetStrAt(int i) const override;
  void SetStrAt(int i, const std::string& v) override;
  void AssignRaw(const TCustomParam& source) override;
  void CopyMem(const TCustomParam& source) override;
  void SaveToStream(Stream& s) const override;
  void LoadFromStream(Stream& s, const TParamCollection* scope) override;
  void ResetToScalar() override;
  uint8_t StorageType() const override { return Code; }
  void Reset() override;

 protected:
  // Element 0 for the scalar getters; the fresh value when the array was emptied.
  V First() const;
  Elem& Scalar();
  const Elem& At(int i) const;
  Elem& At(int i);
  void Fill(const Elem& e);
  // What one element takes: its own size, and a string's bytes.
  static int64_t ElemBytes(const Elem& e) {
    if constexpr (Code == kTypeStr)
      return static_cast<int64_t>(sizeof(Elem) + e.size());
    else
      return static_cast<int64_t>(sizeof(Elem));
  }
  // Stores e into slot, an element of Items, charging the change first.
  void Put(Elem& slot, Elem e);
};

class TParamInt : public TypedParam<int32_t, int32_t, kTypeInt> {
 public:
  void FillInt(int32_t v) override { Fill(v); }
};

class TParamFloat : public TypedParam<long double, long double, kTypeFloat> {
 public:
  void FillFloat(long double v) override { Fill(v); }
};

// Flags are stored as one byte, 0 or 1.
class TParamFlag : public TypedParam<uint8_t, bool, kTypeFlag> {
 public:
  void FillFlag(bool v) override { Fill(v ? 1 : 0); }
};

class TParamStr : public TypedParam<std::string, std::string, kTypeStr> {
 public:
  void FillStr(const std::string& v) override { Fill(v); }
};

// The folded form of a variable name, for lookups repeated on every evaluation.
struct VariableKey {
  std::string key;
  uint64_t digest = 0;
  int bucket = 0;

  static VariableKey Make(std::string_view name);
};

// A reference to a variable (Target) or to one element of it (Index). Scalar getters and setters
// act on the target's element Index; element operations pass their own index through; shape,
// fill, CopyMem and IndexOfStr act on the target's value. Unbound, it reads as 0 / empty / FALSE
// with type 0 and ignores writes.
class TParamVar final : public TCustomParam {
 public:
  std::string Name;                        // the name written in the expression
  TParamCollectionItem* Target = nullptr;  // not owned
  uint8_t RefFlag = 0;
  int32_t Index = 0;

  // The target's value, or null while unbound.
  TCustomParam* TargetValue() const;
  // Key of Name, recomputed when Name changed.
  const VariableKey& Key() const;

  int GetCount() const override;
  void SetCount(int n) override;
  uint8_t GetType() const override;
  bool GetAsFlag() const override;
  long double GetAsFloat() const override;
  int32_t GetAsInt() const override;
  std::string GetAsStr() const override;
  void SetAsFlag(bool v) override;
  void SetAsFloat(long double v) override;
  void SetAsInt(int32_t v) override;
  void SetAsStr(const std::string& v) override;
  int32_t GetIntAt(int i) const override;
  void SetIntAt(int i, int32_t v) override;
  long double GetFloatAt(int i) const override;
  void SetFloatAt(int i, long double v) override;
  bool GetFlagAt(int i) const override;
  void SetFlagAt(int i, bool v) override;
  std::string GetStrAt(int i) const override;
  void SetStrAt(int i, const std::string& v) override;
  int GetDimCount() const override;
  int GetDim(int k) const override;
  void AssignRaw(const TCustomParam& source) override;
  void SetDims(const std::vector<int32_t>& sizes) override;
  void FillInt(int32_t v) override;
  void FillFloat(long double v) override;
  void FillFlag(bool v) override;
  void FillStr(const std::string& v) override;
  void CopyMem(const TCustomParam& source) override;
  void SaveToStream(Stream& s) const override;
  void LoadFromStream(Stream& s, const TParamCollection* scope) override;
  void ResetToScalar() override;
  int IndexOfStr(std::string_view text, bool caseSensitive, bool partial) const override;
  uint8_t StorageType() const override { return kTypeVar; }
  void Reset() override;
  TParamVar* AsReference() override { return this; }
  const TParamVar* AsReference() const override { return this; }

 private:
  mutable std::string keyName_;
  mutable VariableKey key_;
  mutable bool keyValid_ = false;
};

}  // namespace orin
