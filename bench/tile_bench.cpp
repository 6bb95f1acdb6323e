// Speed of a tile object covering a 1280 × 720 screen, redrawn whole as the player draws it: an
// opaque 64 × 64 picture and a 16 × 16 picture with an alpha plane repeated over the screen,
// against memcpy of the screen in the same run. Targets: the opaque tile at most 8 × the copy, the
// small alpha-plane one (3,600 draws of 16 × 16 blended through the plane) at most 20 ×.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench_support.h"
#include "imaging/dib_surface.h"
#include "params/custom_param.h"
#include "scene/model/mura_collection.h"
#include "scene/model/orin_base_list.h"
#include "scene/model/property_table.h"
#include "scene/objects/orin_tile.h"
#include "scene/text/text_services.h"

namespace orin {
namespace {

constexpr int kWidth = 1280, kHeight = 720;

std::shared_ptr<const MuraImages> Picture(int size, bool alpha) {
  auto images = std::make_shared<MuraImages>();
  images->Images.emplace_back();
  TDIBSurface& color = images->Images.back().Picture.Color;
  color.SetSize(size, size, 32);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) color.SetPixel(x, y, static_cast<uint32_t>(x * 4) << 16 | static_cast<uint32_t>(y * 4) << 8);
  if (alpha) {
    color.CreateAlpha();
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x) color.Alpha->ScanLine(y)[x] = static_cast<uint8_t>((x + y) * 8);
  }
  return images;
}

void Redraw(benchmark::State& state, int size, bool alpha) {
  TMuraCollection cache(nullptr);
  cache.Add("t.mur", Picture(size, alpha));
  TextServices text;
  text.Images = &cache;
  TOrinBaseList scene(nullptr, SceneServices{&text, nullptr});
  scene.SetSize(kWidth, kHeight);
  auto* tile = static_cast<TOrinTile*>(scene.Create(kKindTile));
  tile->SetBounds(0, 0, kWidth, kHeight);
  TParamStr file;
  file.SetAsStr("t.mur");
  tile->SetProp(kPropFile, file);
  TParamInt scroll;
  scroll.SetAsInt(5);
  tile->SetProp(TOrinTile::kPropScrollX, scroll);
  for (auto _ : state) {
    scene.ActiveRoot().InvalidateAll();
    scene.Draw();
    scene.ClearDirty();
    benchmark::ClobberMemory();
  }
}

void BM_ScreenMemcpy(benchmark::State& state) {
  std::vector<uint8_t> from(size_t{kWidth} * kHeight * 4, 1), to(from.size());
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), from.size());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_ScreenMemcpy);

void BM_TileOpaque64(benchmark::State& state) { Redraw(state, 64, false); }
BENCHMARK(BM_TileOpaque64);

void BM_TileAlpha16(benchmark::State& state) { Redraw(state, 16, true); }
BENCHMARK(BM_TileAlpha16);

}  // namespace
}  // namespace orin

int main(int argc, char** argv) {
  return orin::bench::RunWithRatios(argc, argv,
                                    {{"BM_ScreenMemcpy", "BM_TileOpaque64", 0.125}, {"BM_ScreenMemcpy", "BM_TileAlpha16", 0.05}});
}
