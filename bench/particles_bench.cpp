// Speed of particle emitters on a 1280 × 720 screen: one frame of the scene (step, then the redraw
// of the dirty screen) with 2,000 live 8 × 8 particles drawn through their alpha plane; once with
// a fixed crowd that only moves, once in a steady state where about 33 particles are born per
// frame with speed and lifetime expressions and as many die; and the same frames with additive
// drawing. A fire of 640 × 360 cells and a full-screen wave give the cost of the other two effects.
//
// The time budget is a benchmark of its own that waits exactly that long, so the ratios printed at
// the end say whether each fits it on this machine (at least 1.0).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>

#include "bench_support.h"
#include "imaging/dib_surface.h"
#include "params/build_orin_parser.h"
#include "params/custom_param.h"
#include "params/db_manager.h"
#include "params/orin_parser.h"
#include "params/param_collection.h"
#include "params/param_host.h"
#include "params/system_functions.h"
#include "resources/stream.h"
#include "scene/model/mura_collection.h"
#include "scene/model/orin_base_list.h"
#include "scene/model/property_table.h"
#include "scene/objects/orin_fire.h"
#include "scene/objects/orin_particle.h"
#include "scene/objects/orin_wave.h"
#include "scene/text/text_services.h"

namespace orin {
namespace {

constexpr int kWidth = 1280, kHeight = 720, kFrameMs = 16;

std::shared_ptr<const MuraImages> Flake() {
  auto images = std::make_shared<MuraImages>();
  images->Images.emplace_back();
  TDIBSurface& color = images->Images.back().Picture.Color;
  color.SetSize(8, 8, 32);
  color.FillRect(color.ClientRect(), 0xF0F0FF);
  color.CreateAlpha();
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      const int d2 = (2 * x - 7) * (2 * x - 7) + (2 * y - 7) * (2 * y - 7);
      color.Alpha->ScanLine(y)[x] = d2 < 16 ? 255 : d2 < 49 ? 140 : 0;
    }
  return images;
}

void Set(TOrinObject& o, int number, int32_t v) {
  TParamInt p;
  p.SetAsInt(v);
  o.SetProp(number, p);
}

std::unique_ptr<TOrinParser> Expression(const std::string& text) {
  TBuildOrinParser build;
  build.Compile(text);
  MemoryStream s;
  build.WriteTo(s);
  s.SetPosition(0);
  auto parser = std::make_unique<TOrinParser>();
  parser->LoadFromStream(s);
  return parser;
}

struct BenchScene {
  BenchScene() : cache(nullptr), list(nullptr, SceneServices{.Text = &text}) {
    text.Images = &cache;
    text.Vars = &vars;
    vars.SetFunctions(&functions);
    cache.Add("flake.mur", Flake());
    list.SetSize(kWidth, kHeight);
    list.ActiveRoot().SetColor(0x302010);
  }
  ~BenchScene() { vars.SetFunctions(nullptr); }

  TOrinParticle& Emitter(int32_t alpha) {
    auto* p = static_cast<TOrinParticle*>(list.Create(kKindParticle));
    p->SetBounds(0, 0, kWidth, kHeight);
    TParamStr file;
    file.SetAsStr("flake.mur");
    p->SetProp(kPropFile, file);
    Set(*p, kPropAlpha, alpha);
    return *p;
  }

  void Frame() {
    clock += kFrameMs;
    list.InputStep(clock, kFrameMs);
    list.Step();
    list.Draw();
    list.ClearDirty();
  }

  TextServices text;
  TMuraCollection cache;
  TDBManager tables;
  SystemFunctions functions{tables};
  TParamCollection vars;
  TOrinBaseList list;
  int32_t clock = 0;
};

// 2,000 particles born at once, drifting slowly (none leaves the screen during the run).
void BM_Particles2000Moving(benchmark::State& state) {
  BenchScene s;
  TOrinParticle& p = s.Emitter(static_cast<int32_t>(state.range(0)));
  p.SetSpeedXExpression(*Expression("Random(3) - 1"));
  p.SetSpeedYExpression(*Expression("Random(3) - 1"));
  Set(p, 94, 125000);  // 2,000 in one 16 ms step
  s.Frame();
  Set(p, 94, 0);
  if (p.Particles().size() != 2000) state.SkipWithError("the crowd is not 2,000");
  for (auto _ : state) s.Frame();
  state.counters["particles"] = static_cast<double>(p.Particles().size());
}
BENCHMARK(BM_Particles2000Moving)->Arg(200)->Arg(256 + 200)->Unit(benchmark::kMicrosecond);

// Births and deaths in balance: 2,000 per second living a second each.
void BM_Particles2000Steady(benchmark::State& state) {
  BenchScene s;
  TOrinParticle& p = s.Emitter(static_cast<int32_t>(state.range(0)));
  p.SetSpeedXExpression(*Expression("Random(41) - 20"));
  p.SetSpeedYExpression(*Expression("Random(40) + 20"));
  p.SetLifeExpression(*Expression("Random(200) + 900"));
  Set(p, 94, 2000);
  for (int i = 0; i < 120; ++i) s.Frame();
  for (auto _ : state) s.Frame();
  state.counters["particles"] = static_cast<double>(p.Particles().size());
}
BENCHMARK(BM_Particles2000Steady)->Arg(200)->Arg(256 + 200)->Unit(benchmark::kMicrosecond);

void BM_Fire640x360Cells(benchmark::State& state) {
  BenchScene s;
  auto* f = static_cast<TOrinFire*>(s.list.Create(kKindFire));
  f->SetBounds(0, 0, kWidth, kHeight);
  Set(*f, kPropZoomX, 512);
  Set(*f, kPropZoomY, 512);
  for (int i = 0; i < 10; ++i) s.Frame();
  for (auto _ : state) s.Frame();
}
BENCHMARK(BM_Fire640x360Cells)->Unit(benchmark::kMicrosecond);

void BM_WaveFullScreen(benchmark::State& state) {
  BenchScene s;
  auto* w = static_cast<TOrinWave*>(s.list.Create(kKindWave));
  w->SetBounds(0, 0, kWidth, kHeight);
  Set(*w, 107, 4);
  Set(*w, 108, 64);
  Set(*w, kPropInterval, 1000);
  for (auto _ : state) s.Frame();
}
BENCHMARK(BM_WaveFullScreen)->Unit(benchmark::kMicrosecond);

// Waits the given nanoseconds, busily, so that it costs what that budget costs.
void BM_Budget(benchmark::State& state) {
  const auto budget = std::chrono::nanoseconds(state.range(0));
  for (auto _ : state) {
    const auto end = std::chrono::steady_clock::now() + budget;
    while (std::chrono::steady_clock::now() < end) {
    }
  }
}
BENCHMARK(BM_Budget)->Arg(2000000)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace orin

int main(int argc, char** argv) {
  return orin::bench::RunWithRatios(argc, argv,
                                    {
                                        // Step and draw of 2,000 live particles under 2 ms.
                                        {"BM_Budget/2000000", "BM_Particles2000Moving/200", 1.0},
                                        {"BM_Budget/2000000", "BM_Particles2000Moving/456", 1.0},
                                        {"BM_Budget/2000000", "BM_Particles2000Steady/200", 1.0},
                                        {"BM_Budget/2000000", "BM_Particles2000Steady/456", 1.0},
                                    });
}
