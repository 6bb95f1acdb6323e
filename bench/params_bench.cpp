// Speed of expressions and tables: running a compiled increment, running a ten-operation
// expression with a function call and an array element, compiling a 200-character expression,
// loading a 10,000-line tab-separated table (target: under 20 ms) and locating a record among
// 10,000 by a text key.
#include <benchmark/benchmark.h>

#include <string>

#include "params/build_orin_parser.h"
#include "params/db_manager.h"
#include "params/orin_parser.h"
#include "params/param_collection.h"
#include "params/script_text.h"
#include "params/system_functions.h"
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

// A table file of 10,000 records in 8 columns, about 640 KB, as DBLoadTsvFile reads it.
std::string TableFile(int records) {
  std::string text =
      "id int\tname str 20\tkind str 10\tprice float\tcount int\tsold bool\tnote str 40\t"
      "code str 8\r\n";
  for (int i = 0; i < records; ++i) {
    text += std::to_string(i) + "\titem" + std::to_string(i) + "\tkind" + std::to_string(i % 7) +
            "\t" + std::to_string(i % 1000) + ".25\t" + std::to_string(i * 3) + "\t" +
            (i % 2 ? "TRUE" : "FALSE") + "\ta note with \\\"quotes\\\" and\\nbreaks " +
            std::to_string(i) + "\tC" + std::to_string(i % 97) + "\r\n";
  }
  return text;
}

void BM_LoadTsv10000Lines(benchmark::State& state) {
  const std::string file = TableFile(10000);
  TDBTable table("items", 0);
  for (auto _ : state) {
    table.LoadTsv(SplitLines(file));
    benchmark::DoNotOptimize(table.RecordCount());
  }
  if (table.RecordCount() != 10000 || table.Fields.Count() != 8)
    state.SkipWithError("table not loaded");
  state.SetLabel(std::to_string(file.size() / 1024) + " KiB, 8 columns");
}
BENCHMARK(BM_LoadTsv10000Lines)->Unit(benchmark::kMillisecond);

void BM_DBLocateByText10000Records(benchmark::State& state) {
  TDBManager tables;
  SystemFunctions functions(tables);
  TParamCollection vars;
  vars.SetFunctions(&functions);
  tables.CreateTable("items", false);
  tables.ActiveTable()->LoadTsv(SplitLines(TableFile(10000)));
  // The last record: the search runs through the whole table.
  vars.AddVariable(kTypeStr, "key").Value->SetAsStr("item9999");
  TOrinParser parser;
  CompileInto(parser, "DBLocate(\"name\", key)");
  for (auto _ : state) {
    parser.Execute(vars);
    benchmark::DoNotOptimize(parser.Result.get());
  }
  if (!parser.Result || !parser.Result->GetAsFlag() || tables.ActiveTable()->RecNo != 9999)
    state.SkipWithError("record not found");
}
BENCHMARK(BM_DBLocateByText10000Records)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace orin
