#include "bench_support.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>

namespace orin::bench {

namespace {

// Console output as usual, remembering each run's real time per iteration.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs)
      if (!r.error_occurred && r.iterations > 0)
        times_[r.benchmark_name()] = r.real_accumulated_time / static_cast<double>(r.iterations);
  }
  std::map<std::string, double> times_;
};

}  // namespace

int RunWithRatios(int argc, char** argv, const std::vector<Ratio>& ratios) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (const Ratio& r : ratios) {
    auto b = reporter.times_.find(r.baseline), c = reporter.times_.find(r.candidate);
    if (b == reporter.times_.end() || c == reporter.times_.end()) continue;
    double ratio = b->second / c->second;
    std::printf("ratio %s / %s = %.3f (target >= %.2f): %s\n", r.baseline.c_str(), r.candidate.c_str(), ratio,
                r.atLeast, ratio >= r.atLeast ? "met" : "NOT MET");
  }
  benchmark::Shutdown();
  return 0;
}

}  // namespace orin::bench
