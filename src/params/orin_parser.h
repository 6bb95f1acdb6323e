// TOrinParser: a compiled expression, a flat list of three-address operations (TOpeData) run
// against the variable collection.
//
// Expression record (all integers little-endian, strings int32 length + bytes):
//   int32 operation count; per operation: byte Op, string Dest, int32 operand count N (for
//   ocFunc the arguments only), for ocFunc a byte FuncCode, then N operands: a kind byte (masked
//   with 0x7F) and 1 int32 / 2 10-byte extended / 3 byte / 4 string constants, any other kind
//   a string naming a variable. Counts are checked against the bytes that remain.
//
// Execute runs the operations in order. Temporaries ("____" names) it creates live for one run.
// The first error (unknown variable, bad index, division by zero, a failing function) ends the
// run silently; what was done stays done. Result is a copy of "____arg" when the last operation
// assigns it, else none.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "params/custom_param.h"

namespace orin {

class Stream;
class TParamCollection;
class TParamCollectionItem;

// Operation codes.
enum TOpeCode : uint8_t {
  ocNone = 0,
  ocTo = 1,
  ocPlus = 2,
  ocMinus = 3,
  ocMul = 4,
  ocDiv = 5,
  ocMod = 6,
  ocOr = 7,
  ocAnd = 8,
  ocXor = 9,
  ocDimTo = 10,
  ocFunc = 11,
  ocEqual = 12,
  ocBig = 13,
  ocSmall = 14,
  ocEBig = 15,
  ocESmall = 16,
  ocShiftL = 17,
  ocShiftR = 18,
  ocComboStr = 19,
  ocNEqual = 20,
};

// "ocPlus" for ocPlus; codes without a name give "oc" and the number.
std::string OpeCodeName(uint8_t op);

// Names of temporaries: "____" begins every one; "____%d" intermediate results, "____d_%d"
// element references, "____arg" the value of the whole expression.
constexpr std::string_view kTempPrefix = "____";
constexpr std::string_view kArgName = "____arg";

class TOpeData {
 public:
  TOpeData();
  ~TOpeData();
  TOpeData(const TOpeData&) = delete;
  TOpeData& operator=(const TOpeData&) = delete;

  uint8_t Op = ocNone;
  std::string Dest;
  std::vector<std::unique_ptr<TCustomParam>> Operands;
  uint8_t FuncCode = 0;

  // Key of Dest, recomputed when Dest changed.
  const VariableKey& DestKey() const;

 private:
  friend class TOrinParser;
  mutable std::string keyName_;
  mutable VariableKey key_;
  mutable bool keyValid_ = false;
  // The temporary this operation made in its last run, kept out of the collection between runs
  // so that the next run need not allocate it again.
  std::unique_ptr<TParamCollectionItem> spare_;
  // The temporary made in the run with this tag; later operations of that run read it without
  // a lookup while nothing else has changed the collection.
  uint64_t createdTag_ = 0;
  TParamCollectionItem* created_ = nullptr;
};

class TOrinParser {
 public:
  TOrinParser() = default;
  TOrinParser(const TOrinParser&) = delete;
  TOrinParser& operator=(const TOrinParser&) = delete;

  std::vector<std::unique_ptr<TOpeData>> Operations;
  // The value of the last run, or null.
  std::unique_ptr<TCustomParam> Result;

  void Clear();
  // Replaces the operations with those of the record; throws orin::Error on damage (nothing
  // changes then).
  void LoadFromStream(Stream& s);
  void SaveToStream(Stream& s) const;
  // Deep copy: constants become fresh values of the same content, references fresh unbound
  // references of the same name.
  void Assign(const TOrinParser& other);

  void Execute(TParamCollection& vars);

 private:
  // For each operand naming a temporary: the earlier operation that writes it, else -1.
  void PrepareProducers();
  TParamCollectionItem& CreateTemporary(TOpeData& op, size_t slot, TParamCollection& vars,
                                        uint64_t tag);
  void FreeTemporaries(TParamCollection& vars, uint64_t tag, int created);

  std::vector<std::vector<int32_t>> producers_;
};

}  // namespace orin
