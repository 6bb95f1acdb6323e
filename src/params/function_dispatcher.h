// The seam through which expressions call system functions (the ocFunc operation).
//
// The evaluator types a new destination temporary from the function table (and, for GetProp,
// from the host's PropertyValueType), then calls Call with the destination variable and the
// argument operands: constants, or references bound to their variables for this operation.
// Errors are thrown as orin::Error and stop the expression silently. The base class does nothing,
// so an expression that calls a function leaves the destination at its fresh value; the player's
// dispatcher is SystemFunctions (params/system_functions.h).
#pragma once

#include <memory>
#include <span>

#include "params/custom_param.h"

namespace orin {

class TParamCollection;
class TParamCollectionItem;

// The argument operands of one call.
using FunctionArgs = std::span<const std::unique_ptr<TCustomParam>>;

class FunctionDispatcher {
 public:
  virtual ~FunctionDispatcher() = default;

  virtual void Call(int /*funcCode*/, TParamCollectionItem& /*dest*/, FunctionArgs /*args*/,
                    TParamCollection& /*vars*/) {}
};

// The dispatcher that does nothing, shared by collections that were given none.
FunctionDispatcher& NullFunctionDispatcher();

}  // namespace orin
