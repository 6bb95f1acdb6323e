// Speed of expressions: running a compiled increment, running a ten-operation expression with a
// function call and an array element, and compiling a 200-character expression.
#include <benchmark/benchmark.h>

#include <string>

#include "params/build_orin_parser.h"
#include "params/orin_parser.h"
#include "params/param_collection.h"
#include "resources/stream.h"

namespace orin {
namespace {

void CompileInto(TOrinParser& parser, const std::string& text) {
  TBuildOrinParser compiler;
  compiler.Compile(text);
  MemoryStream record;
  compiler.WriteTo(record);
  record.SetPosition(0);
  parser.LoadFromStream(record);
}

// A collection that looks like a running game's: the system variables and a hundred others.
void AddGameVariables(TParamCollection& vars) {
  for (int i = 0; i < 100; ++i) vars.AddVariable(kTypeInt, "var" + std::to_string(i));
}

void BM_ExecuteIncrement(benchmark::State& state) {
  TParamCollection vars;
  AddGameVariables(vars);
  TParamCollectionItem& x = vars.AddVariable(kTypeInt, "x");
  TOrinParser parser;
  CompileInto(parser, "x = x + 1");
  for (auto _ : state) parser.Execute(vars);
  if (x.Value->GetAsInt() != static_cast<int32_t>(state.iterations()))
    state.SkipWithError("wrong count");
}
BENCHMARK(BM_ExecuteIncrement);

void BM_ExecuteTenOperations(benchmark::State& state) {
  TParamCollection vars;
  AddGameVariables(vars);
  vars.AddVariable(kTypeInt, "a").Value->SetDims({3, 3});
  vars.AddVariable(kTypeInt, "i").Value->SetAsInt(1);
  vars.AddVariable(kTypeInt, "k").Value->SetAsInt(-5);
  vars.AddVariable(kTypeInt, "r");
  TOrinParser parser;
  CompileInto(parser, "r = (a[i, 2] + 3) * 2 - Abs(k) + i * 4 % 3 - 1");
  if (parser.Operations.size() != 10) state.SkipWithError("not ten operations");
  for (auto _ : state) parser.Execute(vars);
}
BENCHMARK(BM_ExecuteTenOperations);

void BM_ExecuteWithResult(benchmark::State& state) {
  TParamCollection vars;
  AddGameVariables(vars);
  vars.AddVariable(kTypeStr, "name").Value->SetAsStr("Alice");
  TOrinParser parser;
  CompileInto(parser, "\"Hello, \" ++ name ++ \"!\"");
  for (auto _ : state) {
    parser.Execute(vars);
    benchmark::DoNotOptimize(parser.Result.get());
  }
}
BENCHMARK(BM_ExecuteWithResult);

void BM_Compile200Characters(benchmark::State& state) {
  const std::string text =
      "total = (alpha + beta * 3 - gamma / 2) * (delta - 1) + IntToStr(epsilon + 5, 3) ++ \"text\" "
      "++ "
      "arr[idx + 1, 2] + (zeta << 2) - (eta >> 1) + Min(theta, 10) * (iota % 7) - kappa & 255 | "
      "lambda";
  state.SetLabel(std::to_string(text.size()) + " characters");
  for (auto _ : state) {
    TBuildOrinParser compiler;
    compiler.Compile(text);
    benchmark::DoNotOptimize(compiler.Operations.data());
  }
}
BENCHMARK(BM_Compile200Characters);

}  // namespace
}  // namespace orin
