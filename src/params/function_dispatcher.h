// The seam through which expressions call system functions (the ocFunc operation).
//
// The evaluator types a new destination temporary from the function table (and, for GetProp,
// from PropertyValueType), then calls Call with the destination variable and the argument
// operands: constants, or references bound to their variables for this operation. Errors are
// thrown as orin::Error and stop the expression silently. The base class does nothing, so an
// expression that calls a function leaves the destination at its fresh value.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "params/custom_param.h"

namespace orin {

class TParamCollection;
class TParamCollectionItem;

class FunctionDispatcher {
 public:
  virtual ~FunctionDispatcher() = default;

  virtual void Call(int /*funcCode*/, TParamCollectionItem& /*dest*/,
                    std::span<const std::unique_ptr<TCustomParam>> /*args*/,
                    TParamCollection& /*vars*/) {}

  // The value type of scene property 0-161, which types GetProp's destination. The scene layer
  // knows the property table; without it every property reads as text.
  virtual uint8_t PropertyValueType(int /*property*/) { return kTypeStr; }
};

// The dispatcher that does nothing, shared by collections that were given none.
FunctionDispatcher& NullFunctionDispatcher();

}  // namespace orin
