#include "params/function_dispatcher.h"

namespace orin {

FunctionDispatcher& NullFunctionDispatcher() {
  static FunctionDispatcher dispatcher;
  return dispatcher;
}

}  // namespace orin
