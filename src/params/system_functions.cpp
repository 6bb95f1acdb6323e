#include "params/system_functions.h"

#include "core/error.h"
#include "core/text.h"
#include "params/function_call.h"
#include "params/param_collection.h"
#include "params/param_system.h"
#include "params/system_functions_table.h"

namespace orin {

using namespace literals;

FunctionCall::FunctionCall(int code, TParamCollectionItem& dest, FunctionArgs args,
                           TParamCollection& vars, SystemFunctions& functions)
    : Code(code),
      Dest(*dest.Value),
      Args(args),
      Vars(vars),
      Host(vars.Host()),
      Functions(functions) {}

const char* FunctionCall::Name() const {
  return Code >= 0 && Code < kSystemFunctionCount ? kSystemFunctions[Code].Name : "";
}

const TCustomParam& FunctionCall::Arg(size_t i) const {
  if (i >= Args.size()) throw Error(Format("%s: argument %d is missing", Name(), i + 1));
  return *Args[i];
}

int32_t FunctionCall::Int(size_t i) const {
  return Arg(i).GetAsInt();
}

long double FunctionCall::Float(size_t i) const {
  return Arg(i).GetAsFloat();
}

bool FunctionCall::Flag(size_t i) const {
  return Arg(i).GetAsFlag();
}

std::string FunctionCall::Str(size_t i) const {
  return Arg(i).GetAsStr();
}

TCustomParam* FunctionCall::Writable(size_t i) const {
  if (i >= Args.size()) return nullptr;
  TParamVar* ref = Args[i]->AsReference();
  return ref && ref->Target ? ref : nullptr;
}

TCustomParam& FunctionCall::Variable(size_t i) const {
  if (TCustomParam* v = Writable(i)) return *v;
  throw Error(std::string(Name()) + ":変数が見つかりません"_sj);
}

TCustomParam* ResolveValue(TCustomParam& v) {
  TCustomParam* value = &v;
  // Chains are short (an operand, an element reference, @Temp); the bound stops a cycle.
  for (int step = 0; step < 32 && value; ++step) {
    if (TParamVar* ref = value->AsReference()) {
      value = ref->TargetValue();
    } else if (auto* system = dynamic_cast<TParamSystem*>(value);
               system && (system->Index == kSysResult || system->Index == kSysTemp)) {
      value = system->Forwarded();
    } else {
      return value;
    }
  }
  return nullptr;
}

void SystemFunctions::Call(int funcCode, TParamCollectionItem& dest, FunctionArgs args,
                           TParamCollection& vars) {
  if (funcCode < 0 || funcCode >= kSystemFunctionCount) return;
  FunctionCall call(funcCode, dest, args, vars, *this);
  if (CallStringFunction(call) || CallMathFunction(call) || CallDateFunction(call) ||
      CallArrayFunction(call) || CallTableFunction(call))
    return;
  CallHostFunction(call);
}

}  // namespace orin
