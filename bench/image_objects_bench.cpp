// Speed of image objects on a 1280 × 720 screen, drawn as the player draws them: a full redraw of
// an opaque background object and 20 alpha-plane 256 × 256 sprite objects (5 of them turned and
// zoomed) against memcpy of the screen; the same scene with one sprite moving per frame (dirty
// rectangles); a turned, zoomed 512 × 512 draw through the alpha plane against the unturned draw
// of the same picture at the same zoom; and showing a 1280 × 720 image that the cache already
// holds.
//
// The time budgets are benchmarks of their own that wait exactly that long, so the ratios printed
// at the end say whether each fits its budget on this machine (at least 1.0).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench_support.h"
#include "imaging/dib_surface.h"
#include "imaging/row_team.h"
#include "imaging/screen_surface.h"
#include "params/custom_param.h"
#include "scene/model/mura_collection.h"
#include "scene/model/orin_base_list.h"
#include "scene/model/property_table.h"
#include "scene/objects/orin_images.h"
#include "scene/text/text_services.h"

namespace orin {
namespace {

constexpr int kWidth = 1280, kHeight = 720, kSprites = 20, kSpriteSize = 256;

void Paint(TDIBSurface& s, uint32_t seed) {
  std::mt19937 rng(seed);
  for (int y = 0; y < s.Height(); ++y) {
    uint8_t* row = s.ScanLine(y);
    for (int x = 0; x < s.Width(); ++x) {
      // Decoded pictures keep the fourth byte of their pixels 0, so red stops at 255.
      const uint32_t grain = rng() % 8;
      const uint32_t v = (std::min<uint32_t>(x * 255 / s.Width() + grain, 255) << 16) | ((y * 255 / s.Height()) << 8) | ((x + y) & 0xFF);
      std::memcpy(row + 4 * x, &v, 4);
    }
  }
}

// A character sprite's alpha: clear corners, an opaque body and a soft edge.
void PaintAlpha(TDIBSurface& s) {
  s.CreateAlpha();
  const int c = s.Width() / 2;
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x) {
      const int d2 = (x - c) * (x - c) + (y - c) * (y - c);
      const int r = c - 8;
      s.Alpha->ScanLine(y)[x] = d2 < (r - 8) * (r - 8) ? 255 : d2 < r * r ? static_cast<uint8_t>(128) : 0;
    }
}

std::shared_ptr<const MuraImages> OneImage(int width, int height, uint32_t seed, bool alpha) {
  auto images = std::make_shared<MuraImages>();
  images->Images.emplace_back();
  TDIBSurface& color = images->Images.back().Picture.Color;
  color.SetSize(width, height, 32);
  Paint(color, seed);
  if (alpha) PaintAlpha(color);
  return images;
}

void Set(TOrinObject& o, int number, int32_t v) {
  TParamInt p;
  p.SetAsInt(v);
  o.SetProp(number, p);
}

void SetFile(TOrinObject& o, const std::string& file) {
  TParamStr p;
  p.SetAsStr(file);
  o.SetProp(kPropFile, p);
}

struct BenchScene {
  // helpers: the threads besides this one that share the drawing, as the player's own team.
  explicit BenchScene(int helpers = RowTeam::DefaultHelpers())
      : team(helpers), cache(nullptr), list(nullptr, SceneServices{.Text = &text}) {
    list.SetRowTeam(&team);
    text.Images = &cache;
    cache.Add("bg.mur", OneImage(kWidth, kHeight, 1, false));
    cache.Add("sprite.mur", OneImage(kSpriteSize, kSpriteSize, 2, true));
    list.SetSize(kWidth, kHeight);
    TOrinObject* bg = list.Create(kKindImages);
    SetFile(*bg, "bg.mur");
    for (int i = 0; i < kSprites; ++i) {
      auto* sprite = static_cast<TOrinImages*>(list.Create(kKindImages));
      SetFile(*sprite, "sprite.mur");
      Set(*sprite, kPropLeft, (i % 5) * 240 + 20);
      Set(*sprite, kPropTop, (i / 5) * 150 + 20);
      Set(*sprite, kPropDepth, 1 + i);
      if (i % 4 == 1) {
        Set(*sprite, kPropOriginX, 128);
        Set(*sprite, kPropOriginY, 128);
        Set(*sprite, kPropRotation, 12 * i);
        Set(*sprite, kPropZoomX, 300);
        Set(*sprite, kPropZoomY, 300);
      }
      sprites.push_back(sprite);
      if (i % 4 == 1) turned.push_back(sprite);
    }
  }
  // Every object drawn again, as a frame that repaints the whole screen.
  void Redraw() {
    list.ActiveRoot().InvalidateAll();
    list.Draw();
    list.ClearDirty();
    benchmark::ClobberMemory();
  }

  RowTeam team;
  TextServices text;
  TMuraCollection cache;
  TOrinBaseList list;
  std::vector<TOrinImages*> sprites;
  std::vector<TOrinImages*> turned;
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

// As the player draws: the frame loop and its team of helper threads.
void BM_ImagesFullRedraw(benchmark::State& state) {
  BenchScene s;
  state.counters["threads"] = s.team.Parts();
  for (auto _ : state) {
    s.Redraw();
  }
}
BENCHMARK(BM_ImagesFullRedraw)->UseRealTime();

// The same with the turned sprites turning on every frame, so that each frame turns them afresh
// instead of blending the turns kept from the frame before.
void BM_ImagesFullRedrawTurning(benchmark::State& state) {
  BenchScene s;
  int frame = 0;
  for (auto _ : state) {
    ++frame;
    for (TOrinImages* sprite : s.turned) Set(*sprite, kPropRotation, 12 * 5 + frame);
    s.Redraw();
  }
}
BENCHMARK(BM_ImagesFullRedrawTurning)->UseRealTime();

// The same on one thread, for comparison.
void BM_ImagesFullRedrawOneThread(benchmark::State& state) {
  BenchScene s(0);
  for (auto _ : state) {
    s.Redraw();
  }
}
BENCHMARK(BM_ImagesFullRedrawOneThread);

void BM_ImagesOneSpriteMoves(benchmark::State& state) {
  BenchScene s;
  s.list.Draw();
  s.list.ClearDirty();
  int step = 0;
  for (auto _ : state) {
    TOrinImages* p = s.sprites[7];
    p->SetLeft(p->Left() + ((step++ & 64) ? -1 : 1));
    s.list.Draw();
    s.list.ClearDirty();
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_ImagesOneSpriteMoves);

struct Big {
  Big() : screen(kWidth, kHeight, 32), picture(512, 512, 32) {
    Paint(picture, 5);
    PaintAlpha(picture);
  }
  ScreenSurface screen;
  TDIBSurface picture;
};

void BM_Draw512Zoomed(benchmark::State& state) {
  Big b;
  const Rect dest{100, 20, 100 + 512 * 300 / 256, 20 + 512 * 300 / 256};
  for (auto _ : state) {
    b.screen.DrawScaled(dest, b.picture, b.picture.ClientRect(), b.picture.Alpha.get(), DrawOptions{});
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_Draw512Zoomed);

void BM_Draw512TurnedZoomed(benchmark::State& state) {
  Big b;
  RotatedDraw g;
  g.CenterX = 640;
  g.CenterY = 360;
  g.OriginX = 256;
  g.OriginY = 256;
  g.Angle = 20;
  g.ZoomX = g.ZoomY = 300;
  for (auto _ : state) {
    b.screen.DrawRotated(g, b.picture, b.picture.Alpha.get(), DrawOptions{});
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_Draw512TurnedZoomed);

// Two 1280 × 720 files that other objects keep shown: the object switches between them, so every
// switch is a cache hit, never a decode.
void BM_ShowCachedImage(benchmark::State& state) {
  TextServices text;
  TMuraCollection cache(nullptr);
  text.Images = &cache;
  cache.Add("a.mur", OneImage(kWidth, kHeight, 7, false));
  cache.Add("b.mur", OneImage(kWidth, kHeight, 8, false));
  TOrinBaseList list(nullptr, SceneServices{.Text = &text});
  list.SetSize(kWidth, kHeight);
  TOrinObject* o = list.Create(kKindImages);
  bool flip = false;
  for (auto _ : state) {
    SetFile(*o, (flip = !flip) ? "a.mur" : "b.mur");
    list.ClearDirty();
    benchmark::ClobberMemory();
  }
  if (cache.Decodes() != 0) state.SkipWithError("the cache decoded");
}
BENCHMARK(BM_ShowCachedImage);

void BM_CacheLookup(benchmark::State& state) {
  TMuraCollection cache(nullptr);
  cache.Add("bg\\back.mur", OneImage(kWidth, kHeight, 9, false));
  for (auto _ : state) benchmark::DoNotOptimize(cache.Images("BG\\Back.mur"));
}
BENCHMARK(BM_CacheLookup);

// Waits the given nanoseconds, busily, so that it costs what that budget costs.
void BM_Budget(benchmark::State& state) {
  const auto budget = std::chrono::nanoseconds(state.range(0));
  for (auto _ : state) {
    const auto end = std::chrono::steady_clock::now() + budget;
    while (std::chrono::steady_clock::now() < end) {
    }
  }
}
BENCHMARK(BM_Budget)->Arg(2000000)->Arg(200000)->Arg(5000);

}  // namespace
}  // namespace orin

int main(int argc, char** argv) {
  return orin::bench::RunWithRatios(argc, argv,
                                    {
                                        // Under 2 ms and at most four times memcpy.
                                        {"BM_Budget/2000000", "BM_ImagesFullRedraw/real_time", 1.0},
                                        {"BM_Memcpy", "BM_ImagesFullRedraw/real_time", 0.25},
                                        // With the sprites turning, and on one thread, for comparison.
                                        {"BM_Memcpy", "BM_ImagesFullRedrawTurning/real_time", 0.25},
                                        {"BM_Memcpy", "BM_ImagesFullRedrawOneThread", 0.25},
                                        // Under 0.2 ms.
                                        {"BM_Budget/200000", "BM_ImagesOneSpriteMoves", 1.0},
                                        // Turned at most three times the unturned draw.
                                        {"BM_Draw512Zoomed", "BM_Draw512TurnedZoomed", 1.0 / 3.0},
                                        // A cache hit under 5 µs.
                                        {"BM_Budget/5000", "BM_ShowCachedImage", 1.0},
                                    });
}
