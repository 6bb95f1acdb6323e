// Speed of the scene compositor on a 1280 × 720 screen: a full redraw of an opaque background and
// 20 alpha-masked 256 × 256 sprites, the same scene where one sprite moves per frame (dirty
// rectangles), and a full-screen opacity draw against memcpy of the same bytes.
//
// The frame budgets are benchmarks of their own that wait exactly that long, so the ratios
// printed at the end say whether a frame fits its budget on this machine (at least 1.0).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <random>
#include <vector>

#include "bench_support.h"
#include "imaging/dib_surface.h"
#include "imaging/screen_surface.h"
#include "scene/model/orin_base_list.h"

namespace orin {
namespace {

constexpr int kWidth = 1280, kHeight = 720, kSprites = 20, kSpriteSize = 256;

void Paint(TDIBSurface& s, uint32_t seed) {
  std::mt19937 rng(seed);
  for (int y = 0; y < s.Height(); ++y) {
    uint8_t* row = s.ScanLine(y);
    for (int x = 0; x < s.Width(); ++x) {
      const uint32_t grain = rng() % 8;
      const uint32_t v = ((x * 255 / s.Width() + grain) << 16) | ((y * 255 / s.Height()) << 8) | ((x + y) & 0xFF);
      std::memcpy(row + 4 * x, &v, 4);
    }
  }
}

// A character sprite's alpha: clear corners, an opaque body and a soft edge.
void PaintSpriteAlpha(TDIBSurface& s) {
  s.CreateAlpha();
  const int c = s.Width() / 2;
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x) {
      const int d2 = (x - c) * (x - c) + (y - c) * (y - c);
      const int r = c - 8;
      s.Alpha->ScanLine(y)[x] = d2 < (r - 8) * (r - 8) ? 255 : d2 < r * r ? static_cast<uint8_t>(128) : 0;
    }
}

// What an image object does with a picture: draw it at its screen position through its alpha
// plane, if it has one.
class Picture : public TOrinControl {
 public:
  using TOrinControl::TOrinControl;
  void Draw(ScreenSurface& surface) override {
    surface.Draw(ScreenX(), ScreenY(), *picture, picture->ClientRect(), picture->Alpha.get(), DrawOptions{});
  }
  const TDIBSurface* picture = nullptr;
};

struct BenchScene {
  BenchScene() : background(kWidth, kHeight, 32), sprite(kSpriteSize, kSpriteSize, 32) {
    Paint(background, 1);
    Paint(sprite, 2);
    PaintSpriteAlpha(sprite);
    list.SetSize(kWidth, kHeight);
    auto* bg = list.Make<Picture>();
    bg->picture = &background;
    bg->SetBounds(0, 0, kWidth, kHeight);
    for (int i = 0; i < kSprites; ++i) {
      auto* p = list.Make<Picture>();
      p->picture = &sprite;
      p->SetBounds((i % 5) * 240, (i / 5) * 150, kSpriteSize, kSpriteSize);
      p->SetDepth(1 + i);
      sprites.push_back(p);
    }
  }
  TOrinBaseList list;
  TDIBSurface background, sprite;
  std::vector<Picture*> sprites;
};

void BM_Memcpy(benchmark::State& state) {
  TDIBSurface a(kWidth, kHeight, 32), b(kWidth, kHeight, 32);
  Paint(a, 1);
  for (auto _ : state) {
    std::memcpy(b.Bits(), a.Bits(), a.ImageSize());
    benchmark::DoNotOptimize(b.Bits());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(a.ImageSize()));
}
BENCHMARK(BM_Memcpy);

void BM_OpacityDraw(benchmark::State& state) {
  ScreenSurface screen(kWidth, kHeight, 32);
  TDIBSurface src(kWidth, kHeight, 32);
  Paint(src, 3);
  DrawOptions o;
  o.Opacity = 128;
  for (auto _ : state) {
    screen.Draw(0, 0, src, src.ClientRect(), nullptr, o);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(src.ImageSize()));
}
BENCHMARK(BM_OpacityDraw);

void BM_SceneFullRedraw(benchmark::State& state) {
  BenchScene s;
  for (auto _ : state) {
    s.list.ActiveRoot().InvalidateAll();
    s.list.Draw();
    s.list.ClearDirty();
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_SceneFullRedraw);

void BM_SceneOneSpriteMoves(benchmark::State& state) {
  BenchScene s;
  s.list.Draw();
  s.list.ClearDirty();
  int step = 0;
  for (auto _ : state) {
    Picture* p = s.sprites[7];
    p->SetLeft(p->Left() + ((step++ & 64) ? -1 : 1));
    s.list.Draw();
    s.list.ClearDirty();
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_SceneOneSpriteMoves);

// Waits the given microseconds, busily, so that it costs what a frame of that length costs.
void BM_FrameBudget(benchmark::State& state) {
  const auto budget = std::chrono::microseconds(state.range(0));
  for (auto _ : state) {
    const auto end = std::chrono::steady_clock::now() + budget;
    while (std::chrono::steady_clock::now() < end) {
    }
  }
}
BENCHMARK(BM_FrameBudget)->Arg(4000)->Arg(500);

}  // namespace
}  // namespace orin

int main(int argc, char** argv) {
  return orin::bench::RunWithRatios(argc, argv,
                                    {
                                        // At most three times memcpy.
                                        {"BM_Memcpy", "BM_OpacityDraw", 1.0 / 3.0},
                                        {"BM_FrameBudget/4000", "BM_SceneFullRedraw", 1.0},
                                        {"BM_FrameBudget/500", "BM_SceneOneSpriteMoves", 1.0},
                                    });
}
