// Presenting the game's screen: a 1280 × 720 frame shown in a 1920 × 1080 full screen through
// the SDL window (SdlPlatform::Present: the dirty rectangles uploaded into the streaming texture,
// the texture drawn scaled, the result shown). A frame in which a sprite and a line of text
// changed must fit in 1 ms of the frame loop; a whole new frame is measured for comparison.
//
// Needs a display: run it on the desktop, or under a virtual X server of 1920 × 1080
// (xvfb-run -s "-screen 0 1920x1080x24" build/release/bench/present_bench). Without DISPLAY it
// falls back to SDL's window-less "dummy" driver. The renderer SDL chose is printed first: with
// a GPU the scaling costs the loop nothing, with the software renderer it is done on the CPU.
// The upload of the dirty rectangles alone is measured too. SDL_RENDER_DRIVER=opengl|opengles2|software
// and PRESENT_FILTER=nearest|linear choose the renderer and the scaling filter.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench_support.h"
#include "core/error.h"
#include "shell/sdl/sdl_platform.h"

namespace orin {
namespace {

constexpr int kWidth = 1280, kHeight = 720;

SdlPlatform* Platform() {
  static std::unique_ptr<SdlPlatform> platform = [] {
    if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr)
      setenv("SDL_VIDEODRIVER", "dummy", 1);
    std::unique_ptr<SdlPlatform> p;
    try {
      p = std::make_unique<SdlPlatform>();
      p->CreateWindow({"present_bench", kWidth, kHeight, 22});
      p->SetFullScreen(true);
      // PRESENT_FILTER=nearest|linear compares the scaling filters (SDL_RENDER_DRIVER the renderers).
      if (const char* filter = std::getenv("PRESENT_FILTER"))
        p->SetScaleFilter(std::string(filter) == "nearest" ? ScaleFilter::kNearest : ScaleFilter::kLinear);
      std::vector<InputEvent> ignored;
      for (int i = 0; i < 50; ++i) {
        p->PollEvents(0, ignored);
        SDL_Delay(2);
      }
      int w = 0, h = 0;
      SDL_GetWindowSize(p->Window(), &w, &h);
      const char* driver = SDL_GetCurrentVideoDriver();
      std::printf("video driver %s, renderer %s, full screen %dx%d\n", driver ? driver : "?",
                  p->RendererName().c_str(), w, h);
    } catch (const Error& e) {
      std::printf("no window: %s\n", e.Utf8Report().c_str());
      p.reset();
    }
    return p;
  }();
  return platform.get();
}

PixelBuffer Frame(uint32_t seed) {
  PixelBuffer frame(kWidth, kHeight);
  std::mt19937 rng(seed);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) frame.SetPixel(x, y, rng() & 0xFFFFFF);
  return frame;
}

// A typical frame of a novel: one 256 × 256 sprite moved (its old and new place) and a line of
// text revealed in the message window.
void BM_PresentDirty(benchmark::State& state) {
  SdlPlatform* p = Platform();
  if (p == nullptr) {
    state.SkipWithError("no window");
    return;
  }
  const PixelBuffer a = Frame(1), b = Frame(2);
  const std::vector<Rect> dirty{{100, 200, 356, 456}, {104, 200, 360, 456}, {80, 560, 1200, 590}};
  bool flip = false;
  for (auto _ : state) {
    flip = !flip;
    benchmark::DoNotOptimize(p->Present((flip ? a : b).View(), dirty));
  }
}
BENCHMARK(BM_PresentDirty)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_PresentWhole(benchmark::State& state) {
  SdlPlatform* p = Platform();
  if (p == nullptr) {
    state.SkipWithError("no window");
    return;
  }
  const PixelBuffer a = Frame(1), b = Frame(2);
  bool flip = false;
  for (auto _ : state) {
    flip = !flip;
    benchmark::DoNotOptimize(p->Present((flip ? a : b).View(), {a.Bounds()}));
  }
}
BENCHMARK(BM_PresentWhole)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The upload alone: the same dirty rectangles (or the whole frame) copied into a streaming
// texture of the window's renderer, without drawing or showing it — the part of presenting that
// stays on the CPU whatever the renderer.
void Upload(benchmark::State& state, bool whole) {
  SdlPlatform* p = Platform();
  SDL_Renderer* renderer = p ? SDL_GetRenderer(p->Window()) : nullptr;
  SDL_Texture* texture =
      renderer ? SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, kWidth, kHeight) : nullptr;
  if (texture == nullptr) {
    state.SkipWithError("no window");
    return;
  }
  const PixelBuffer a = Frame(1), b = Frame(2);
  const std::vector<Rect> dirty = whole ? std::vector<Rect>{a.Bounds()}
                                        : std::vector<Rect>{{100, 200, 356, 456}, {104, 200, 360, 456}, {80, 560, 1200, 590}};
  bool flip = false;
  for (auto _ : state) {
    flip = !flip;
    const FrameView v = (flip ? a : b).View();
    for (const Rect& d : dirty) {
      const SDL_Rect r{d.Left, d.Top, d.Width(), d.Height()};
      SDL_UpdateTexture(texture, &r, v.Pixels + static_cast<ptrdiff_t>(d.Top) * v.Pitch + d.Left, v.Pitch * 4);
    }
  }
  SDL_DestroyTexture(texture);
}
void BM_UploadDirty(benchmark::State& state) { Upload(state, false); }
void BM_UploadWhole(benchmark::State& state) { Upload(state, true); }
BENCHMARK(BM_UploadDirty)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_UploadWhole)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_FrameBudget(benchmark::State& state) {
  const auto budget = std::chrono::microseconds(state.range(0));
  for (auto _ : state) {
    const auto end = std::chrono::steady_clock::now() + budget;
    while (std::chrono::steady_clock::now() < end) {
    }
  }
}
BENCHMARK(BM_FrameBudget)->Arg(1000)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
}  // namespace orin

int main(int argc, char** argv) {
  return orin::bench::RunWithRatios(argc, argv,
                                    {
                                        // A changed sprite and text line within 1 ms.
                                        {"BM_FrameBudget/1000/real_time",
                                         "BM_PresentDirty/real_time", 1.0},
                                    });
}
