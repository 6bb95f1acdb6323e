// The expression compiler on long texts: 64 KiB of each shape that used to cost quadratic time
// (a long sum, deep parentheses, a long string concatenation, many calls). Each should compile in
// well under 100 ms.
#include <benchmark/benchmark.h>

#include <string>

#include "params/build_orin_parser.h"

namespace {

constexpr size_t kSize = 64 * 1024;

std::string LongSum() {
  std::string text = "1";
  while (text.size() + 2 <= kSize) text += "+1";
  return text;
}

std::string DeepParentheses() {
  const size_t depth = (kSize - 1) / 2;
  return std::string(depth, '(') + "1" + std::string(depth, ')');
}

std::string LongConcatenation() {
  std::string text = "\"a\"";
  while (text.size() + 7 <= kSize) text += " ++ \"a\"";
  return text;
}

std::string ManyCalls() {
  std::string text = "Abs(1)";
  while (text.size() + 7 <= kSize) text += "+Abs(1)";
  return text;
}

void Compile(benchmark::State& state, const std::string& text) {
  for (auto _ : state) {
    orin::TBuildOrinParser compiler;
    compiler.Compile(text);
    benchmark::DoNotOptimize(compiler.Operations.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}

void BM_CompileLongSum(benchmark::State& state) { Compile(state, LongSum()); }
void BM_CompileDeepParentheses(benchmark::State& state) { Compile(state, DeepParentheses()); }
void BM_CompileLongConcatenation(benchmark::State& state) { Compile(state, LongConcatenation()); }
void BM_CompileManyCalls(benchmark::State& state) { Compile(state, ManyCalls()); }

BENCHMARK(BM_CompileLongSum)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CompileDeepParentheses)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CompileLongConcatenation)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CompileManyCalls)->Unit(benchmark::kMillisecond);

}  // namespace
