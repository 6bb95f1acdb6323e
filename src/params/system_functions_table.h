// The table of the 145 system functions: name, argument counts and result type, in function-code
// order. The compiler resolves names here (exact, case-sensitive) and stores the code; the
// evaluator types a function's destination temporary by the result type.
#pragma once

#include <cstdint>
#include <string_view>

namespace orin {

struct SystemFunctionInfo {
  const char* Name;  // ASCII, so the same bytes in cp932
  int8_t MinArgs;
  int8_t MaxArgs;      // -1: no limit
  uint8_t ResultType;  // type code 1-4
};

constexpr int kSystemFunctionCount = 145;
extern const SystemFunctionInfo kSystemFunctions[kSystemFunctionCount];

// Function codes the evaluator treats specially.
enum SystemFunctionCode : int {
  kFuncGetProp = 2,
  kFuncCalc = 136,
};

// The code of the function with exactly this name, or -1.
int FindSystemFunction(std::string_view name);

}  // namespace orin
