// SystemFunctions: the dispatcher of the 145 system functions (params/system_functions_table.h
// lists them by code). It reads the arguments with the getters of the types a function needs,
// writes the result with the destination's setter of the function's result type (the
// destination's own type then converts) and raises orin::Error for every failure, which stops
// the expression silently. A code beyond the table does nothing.
//
// The state it works on comes from the collection (variables, the @Temp alias), from the
// collection's ParamHost (scene, project, screen, desktop, file manager, random generator) and
// from the table manager given here.
#pragma once

#include "params/function_dispatcher.h"

namespace orin {

class TDBManager;

class SystemFunctions : public FunctionDispatcher {
 public:
  explicit SystemFunctions(TDBManager& tables) : tables_(tables) {}

  void Call(int funcCode, TParamCollectionItem& dest, FunctionArgs args,
            TParamCollection& vars) override;

  TDBManager& Tables() { return tables_; }

  // Calc runs expressions inside expressions; a text that calls itself stops at this depth.
  static constexpr int kMaxCalcDepth = 32;
  int CalcDepth = 0;

 private:
  TDBManager& tables_;
};

}  // namespace orin
