// Benchmarks that prove a speed as a ratio to a baseline measured in the same run.
//
//   int main(int argc, char** argv) {
//     return orin::bench::RunWithRatios(argc, argv, {{"BM_Inflate", "BM_LoadToStream", 0.9}});
//   }
//
// After the usual table, one line per pair: baseline time / candidate time (1.0 means as fast as
// the baseline, higher is faster) and whether it meets its target.
#pragma once

#include <string>
#include <vector>

namespace orin::bench {

struct Ratio {
  std::string baseline;   // benchmark name (with its arguments, as printed)
  std::string candidate;
  double atLeast;         // target for baseline / candidate
};

int RunWithRatios(int argc, char** argv, const std::vector<Ratio>& ratios);

}  // namespace orin::bench
