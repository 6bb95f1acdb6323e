// Speed of the screen transitions on a 1280 × 720 32-bit screen: one Step of every kind the
// standard table makes, at mid-transition, against a memcpy of the screen in the same run.
// Steps alternate between two times one frame apart (500 and 516 of 1000 ms, or later where a
// kind has not changed by then), so a mask kind recomputes its mask and composes the whole
// screen on every iteration. Targets, as ratios
// memcpy ÷ step: the mask kinds, the fade and white/black/flash at most 3× a memcpy, the other
// kinds at most 6×. The time of each kind's Prepare (once per flip) is listed after the steps.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench_support.h"
#include "core/runtime_random.h"
#include "imaging/screen_surface.h"
#include "imaging/wipes/custom_wipe.h"
#include "imaging/wipes/wipe_table.h"

namespace orin {
namespace {

constexpr int kWidth = 1280, kHeight = 720;

// Smooth gradients with a little grain, like a game's backgrounds.
void Paint(ScreenSurface& s, uint32_t seed) {
  std::mt19937 rng(seed);
  for (int y = 0; y < kHeight; ++y) {
    uint8_t* row = s.ScanLine(y);
    for (int x = 0; x < kWidth; ++x) {
      const int grain = static_cast<int>(rng() % 7) - 3;
      row[4 * x] = static_cast<uint8_t>(std::clamp(((x * 255 / kWidth) ^ static_cast<int>(seed * 40)) + grain, 0, 255));
      row[4 * x + 1] = static_cast<uint8_t>(std::clamp(y * 255 / kHeight + grain, 0, 255));
      row[4 * x + 2] = static_cast<uint8_t>(std::clamp((x + y) * 255 / (kWidth + kHeight) + grain, 0, 255));
      row[4 * x + 3] = 0;
    }
  }
}

void BM_Memcpy(benchmark::State& state) {
  ScreenSurface a(kWidth, kHeight, 32), b(kWidth, kHeight, 32);
  Paint(a, 1);
  const size_t bytes = static_cast<size_t>(a.RowStep()) * kHeight;
  for (auto _ : state) {
    std::memcpy(b.Bits(), a.Bits(), bytes);
    benchmark::DoNotOptimize(b.Bits());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
}

void StepKind(benchmark::State& state, int kind) {
  ScreenSurface out(kWidth, kHeight, 32), in(kWidth, kHeight, 32), target(kWidth, kHeight, 32);
  Paint(out, 1);
  Paint(in, 2);
  target.Copy(0, 0, out, out.Bounds());
  RunTimeRandom random(1);
  auto wipe = WipeTable::Standard().Make(kind);
  wipe->SetRandom(&random);
  wipe->Attach(target, out, in, 1000);
  wipe->Prepare();
  // The second time: one frame later, or the first time after it at which the kind redraws
  // (a kind with few levels keeps its picture over several frames).
  wipe->SetTime(500);
  wipe->Step();
  int32_t second = 516;
  for (; second < 1000; ++second) {
    target.ClearChanged();
    wipe->SetTime(second);
    wipe->Step();
    if (!target.Changed().IsEmpty()) break;
  }
  state.SetLabel("500 <-> " + std::to_string(second) + " ms");
  bool late = false;
  for (auto _ : state) {
    wipe->SetTime(late ? second : 500);
    late = !late;
    benchmark::DoNotOptimize(wipe->Step());
    benchmark::ClobberMemory();
  }
}

// Prepare runs once as a flip starts; the kinds that lay out an order or a plane do it here.
void PrepareKind(benchmark::State& state, int kind) {
  ScreenSurface out(kWidth, kHeight, 32), in(kWidth, kHeight, 32), target(kWidth, kHeight, 32);
  Paint(out, 1);
  Paint(in, 2);
  RunTimeRandom random(1);
  for (auto _ : state) {
    auto wipe = WipeTable::Standard().Make(kind);
    wipe->SetRandom(&random);
    wipe->Attach(target, out, in, 1000);
    wipe->Prepare();
    benchmark::ClobberMemory();
  }
}

std::string Name(int kind) {
  char number[8];
  std::snprintf(number, sizeof number, "%02d", kind);
  return std::string("BM_Step/") + number + "_" + WipeTable::KindName(kind);
}

bool IsMaskKind(int kind) {
  auto wipe = WipeTable::Standard().Make(kind);
  return dynamic_cast<TWipeMask*>(wipe.get()) != nullptr;
}

}  // namespace
}  // namespace orin

int main(int argc, char** argv) {
  using namespace orin;
  benchmark::RegisterBenchmark("BM_Memcpy", BM_Memcpy);
  std::vector<bench::Ratio> ratios;
  const WipeTable table = WipeTable::Standard();
  for (int kind = 1; kind <= WipeTable::kKinds; ++kind) {
    if (!table.Has(kind)) continue;
    const std::string name = Name(kind);
    benchmark::RegisterBenchmark(name.c_str(), [kind](benchmark::State& state) { StepKind(state, kind); });
    const bool plain = kind == 1 || (kind >= 12 && kind <= 14);
    ratios.push_back({"BM_Memcpy", name, IsMaskKind(kind) || plain ? 1.0 / 3 : 1.0 / 6});
  }
  for (int kind = 1; kind <= WipeTable::kKinds; ++kind) {
    if (!table.Has(kind)) continue;
    const std::string name = "BM_Prepare/" + Name(kind).substr(std::string("BM_Step/").size());
    benchmark::RegisterBenchmark(name.c_str(), [kind](benchmark::State& state) { PrepareKind(state, kind); })
        ->Unit(benchmark::kMicrosecond);
  }
  return bench::RunWithRatios(argc, argv, ratios);
}
