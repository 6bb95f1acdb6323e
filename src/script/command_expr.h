// CommandExpr: one computed argument of a script command, kept as the expression record it was
// stored as (params/orin_parser.h gives the layout) and turned into a runnable TOrinParser on
// first use.
//
// Reading checks the whole record against the bytes that remain, exactly as TOrinParser reads
// it, so a record that loads here always parses later; nothing is allocated for an unchecked
// count. Keeping the bytes means a page is written back exactly as it was read, also where the
// record holds forms that TOrinParser normalises (operand kinds with the top bit set, flag bytes
// other than 0 and 1).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "params/orin_parser.h"

namespace orin {

class ByteReader;
class Stream;
class TCustomParam;
class TParamCollection;

class CommandExpr {
 public:
  // An expression without operations: it never yields a value.
  CommandExpr();
  ~CommandExpr();
  CommandExpr(const CommandExpr& other);
  CommandExpr& operator=(const CommandExpr& other);
  CommandExpr(CommandExpr&&) noexcept;
  CommandExpr& operator=(CommandExpr&&) noexcept;

  // Reads one record at the stream's position; throws Error when it is damaged or cut short
  // (the expression is left unchanged then).
  void ReadFrom(Stream& s);
  // The same at the reader's position; errors carry the reader's label and `what`.
  void ReadFrom(ByteReader& r, std::string_view what);
  void WriteTo(Stream& s) const;

  // The stored record. SetRecord checks it as ReadFrom does and refuses trailing bytes.
  const std::string& Record() const { return record_; }
  void SetRecord(std::string record);
  // Compiles expression text (cp932) with TBuildOrinParser; compile errors propagate.
  void Compile(std::string_view text);
  // Takes the record of a parser's operations.
  void Assign(const TOrinParser& parser);
  void Clear();

  // True when the record holds no operations.
  bool Empty() const;
  int32_t OperationCount() const;

  // The runnable form, made from the record on first use.
  TOrinParser& Parser() const;

  // Runs the expression; its value, or null when it yields none. The value stays valid until
  // the next run.
  const TCustomParam* Evaluate(TParamCollection& vars) const;
  // Runs the expression and reads its value in the type asked, or answers the default.
  int32_t GetInt(TParamCollection& vars, int32_t fallback = 0) const;
  long double GetFloat(TParamCollection& vars, long double fallback = 0) const;
  bool GetFlag(TParamCollection& vars, bool fallback = false) const;
  std::string GetStr(TParamCollection& vars, std::string fallback = {}) const;

 private:
  std::string record_;
  mutable std::unique_ptr<TOrinParser> parser_;
};

// Size in bytes of the expression record at the start of data, checked as TOrinParser reads it;
// throws Error when the record is damaged or runs past size.
size_t ExpressionRecordSize(const uint8_t* data, size_t size);

}  // namespace orin
