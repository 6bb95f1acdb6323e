// Helpers of the params tests: compile, write, read back and run an expression as the player's
// callers do, and show a result as "type value".
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "params/build_orin_parser.h"
#include "params/orin_parser.h"
#include "params/param_collection.h"
#include "resources/stream.h"

namespace orin::test {

inline void CompileInto(TOrinParser& parser, std::string_view text) {
  TBuildOrinParser compiler;
  compiler.Compile(text);
  MemoryStream record;
  compiler.WriteTo(record);
  record.SetPosition(0);
  parser.LoadFromStream(record);
}

inline std::string Show(const TCustomParam* v) {
  if (!v) return "none";
  static const char* const kNames[] = {"var", "int", "float", "flag", "str"};
  uint8_t type = v->GetType();
  return std::string(type <= 4 ? kNames[type] : "?") + " " + v->GetAsStr();
}

// The result of one expression, shown; compile errors throw.
inline std::string Eval(TParamCollection& vars, std::string_view text) {
  TOrinParser parser;
  CompileInto(parser, text);
  parser.Execute(vars);
  return Show(parser.Result.get());
}

}  // namespace orin::test
