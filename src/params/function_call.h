// FunctionCall: one call of a system function as the families of functions see it — the
// arguments with the getters of the type a function needs, the destination with the setter of
// the result type, and the collection, the host and the dispatcher.
//
// Arguments are constants or references bound to variables for this operation. Reading an
// argument that a hand-made record left out raises an evaluation error, as every failure inside
// a function does (the expression stops silently). Functions that change a variable argument in
// place write through its reference; a constant in that place is left alone, so a compiled
// expression never changes its own constants.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "params/function_dispatcher.h"

namespace orin {

struct ParamHost;
class SystemFunctions;
class TParamCollection;
class TParamCollectionItem;

class FunctionCall {
 public:
  FunctionCall(int code, TParamCollectionItem& dest, FunctionArgs args, TParamCollection& vars,
               SystemFunctions& functions);

  const int Code;
  TCustomParam& Dest;
  const FunctionArgs Args;
  TParamCollection& Vars;
  ParamHost& Host;
  SystemFunctions& Functions;

  // The function's name in the table.
  const char* Name() const;

  size_t Count() const { return Args.size(); }
  bool Has(size_t i) const { return i < Args.size(); }
  const TCustomParam& Arg(size_t i) const;
  int32_t Int(size_t i) const;
  long double Float(size_t i) const;
  bool Flag(size_t i) const;
  std::string Str(size_t i) const;
  // Optional arguments.
  int32_t Int(size_t i, int32_t fallback) const { return Has(i) ? Int(i) : fallback; }
  bool Flag(size_t i, bool fallback) const { return Has(i) ? Flag(i) : fallback; }

  // The argument as a reference bound to a variable, else raises Name() + ":変数が見つかりません".
  TCustomParam& Variable(size_t i) const;
  // The argument when it is a reference bound to a variable, else null (writes are dropped).
  TCustomParam* Writable(size_t i) const;

  void ResultInt(int32_t v) { Dest.SetAsInt(v); }
  void ResultFloat(long double v) { Dest.SetAsFloat(v); }
  void ResultFlag(bool v) { Dest.SetAsFlag(v); }
  void ResultStr(const std::string& v) { Dest.SetAsStr(v); }
};

// The families of functions; each handles the codes it knows and answers whether it did.
bool CallStringFunction(FunctionCall& call);
bool CallMathFunction(FunctionCall& call);
bool CallDateFunction(FunctionCall& call);
bool CallArrayFunction(FunctionCall& call);
bool CallTableFunction(FunctionCall& call);
bool CallHostFunction(FunctionCall& call);

// The value a variable argument finally stands for: references and @Result / @Temp followed to
// the stored value they act on (null when they stand for none).
TCustomParam* ResolveValue(TCustomParam& v);

}  // namespace orin
