// Speed of the transitions that draw their own geometry: one Step of each kind at 1280 × 720,
// 32 bits, against a memcpy of the screen in the same run. The steps walk through the whole run
// (every 37th millisecond of 1000, both directions), so a kind whose cost changes along the way
// is measured over all of it. Target: at most 6× the memcpy, a ratio of at least 1/6.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench_support.h"
#include "imaging/screen_surface.h"
#include "imaging/wipes/wipe_table.h"

namespace {

using namespace orin;

constexpr int kWidth = 1280;
constexpr int kHeight = 720;

const struct {
  int kind;
  const char* name;
} kKinds[] = {{6, "ScrollH"},  {7, "ScrollV"},      {16, "SudareH"},     {17, "SudareV"},
              {18, "Spot"},    {20, "ShadowWhite"}, {21, "ShadowBlack"}, {22, "Small"},
              {23, "Big"},     {24, "Ripple"},      {25, "BlurWhite"},   {26, "BlurBlack"},
              {27, "TwistH"},  {28, "TwistV"},      {29, "Crack"},       {30, "Zoomin"},
              {32, "RubberH"}, {33, "RubberV"}};

void Paint(ScreenSurface& s, uint32_t seed) {
  std::mt19937 rng(seed);
  for (int y = 0; y < s.Height(); ++y) {
    auto* row = reinterpret_cast<uint32_t*>(s.ScanLine(y));
    for (int x = 0; x < s.Width(); ++x)
      row[x] = (rng() & 0x3F3F3F) + static_cast<uint32_t>((x + y) & 0xC0) * 0x010101;
  }
}

void BM_Memcpy32(benchmark::State& state) {
  ScreenSurface a(kWidth, kHeight, 32), b(kWidth, kHeight, 32);
  Paint(a, 1);
  const size_t bytes = static_cast<size_t>(a.RowStep()) * kHeight;
  for (auto _ : state) {
    std::memcpy(b.Bits(), a.Bits(), bytes);
    benchmark::DoNotOptimize(b.Bits());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_Memcpy32);

void Step(benchmark::State& state, int kind) {
  ScreenSurface out(kWidth, kHeight, 32), in(kWidth, kHeight, 32), target(kWidth, kHeight, 32);
  Paint(out, 1);
  Paint(in, 2);
  const WipeTable table = WipeTable::Standard();
  std::unique_ptr<TCustomWipe> wipes[2];
  for (int r = 0; r < 2; ++r) {
    wipes[r] = table.Make(kind);
    if (kind == 30) {
      wipes[r]->SetParam(0, kWidth / 2);
      wipes[r]->SetParam(1, kHeight / 2);
    }
    wipes[r]->SetReverse(r == 1);
    wipes[r]->Attach(target, out, in, 1000);
    wipes[r]->Prepare();
  }
  int32_t t = 0;
  int r = 0;
  for (auto _ : state) {
    wipes[r]->SetTime(t);
    benchmark::DoNotOptimize(wipes[r]->Step());
    benchmark::ClobberMemory();
    t = (t + 37) % 1000;
    r ^= t < 37 ? 1 : 0;
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<orin::bench::Ratio> ratios;
  for (const auto& k : kKinds) {
    const std::string name = std::string("BM_Wipe") + k.name;
    benchmark::RegisterBenchmark(name.c_str(),
                                 [kind = k.kind](benchmark::State& s) { Step(s, kind); });
    ratios.push_back({"BM_Memcpy32", name, 1.0 / 6.0});
  }
  return orin::bench::RunWithRatios(argc, argv, ratios);
}
