// Speed of labels and image maps on a 1280 × 720 screen: setting a label's text of 40 Japanese
// characters and drawing it with its glyphs cached; hit testing a pointer move against 50 regions
// (rectangles, ellipses, 20-point polygons); switching the highlighted region of a full-screen map
// with its cut-out and redraw. The budgets are benchmarks that wait exactly that long, so the
// ratios printed at the end say whether each meets its target on this machine (at least 1.0).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench_support.h"
#include "core/cp932.h"
#include "imaging/font_finder.h"
#include "imaging/font_pixel.h"
#include "imaging/freetype_rasterizer.h"
#include "params/custom_param.h"
#include "params/param_collection.h"
#include "resources/file_manager.h"
#include "resources/temp_folder.h"
#include "scene/model/mura_collection.h"
#include "scene/model/orin_base_list.h"
#include "scene/objects/orin_label.h"
#include "scene/objects/orin_map_image.h"
#include "scene/objects/region_file.h"
#include "scene/text/text_services.h"

namespace orin {
namespace {

constexpr int kWidth = 1280, kHeight = 720;

FontFinder& Finder() {
  static FontFinder finder;
  return finder;
}

void SetStr(TOrinObject& o, int number, const std::string& v) {
  TParamStr p;
  p.SetAsStr(v);
  o.SetProp(number, p);
}
void SetInt(TOrinObject& o, int number, int32_t v) {
  TParamInt p;
  p.SetAsInt(v);
  o.SetProp(number, p);
}

void BM_LabelSetTextAndDraw(benchmark::State& state) {
  TFontPixelManager glyphs(std::make_unique<FreeTypeRasterizer>(Finder()));
  TParamCollection vars;
  TextServices services;
  services.Glyphs = &glyphs;
  services.Vars = &vars;
  TOrinBaseList scene;
  scene.SetServices({.Text = &services});
  scene.SetSize(kWidth, kHeight);
  scene.ActiveRoot().SetColor(0x202020);
  auto* label = static_cast<TOrinLabel*>(scene.Create(kKindLabel));
  label->Rename("score");
  label->SetLeft(40);
  label->SetTop(600);
  SetInt(*label, 16, 24);
  SetInt(*label, 19, 0xFFFFFF);
  // Two texts of 40 characters from the same characters, so the glyphs stay cached.
  const std::string a = *Utf8ToCp932("吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。何でも薄暗い所で泣い");
  const std::string b = *Utf8ToCp932("名前はまだ無い。吾輩は猫である。どこで生れたかとんと見当がつかぬ。何でも薄暗い所で泣い");
  SetStr(*label, 50, b);
  scene.Draw();
  scene.ClearDirty();
  bool flip = false;
  for (auto _ : state) {
    SetStr(*label, 50, flip ? b : a);
    flip = !flip;
    scene.Draw();
    scene.ClearDirty();
  }
}
BENCHMARK(BM_LabelSetTextAndDraw)->Unit(benchmark::kMicrosecond);

// Fifty regions over the screen: rectangles, ellipses and 20-point stars, none holding the others.
RegionFile FiftyRegions() {
  RegionFile file;
  for (int i = 0; i < 50; ++i) {
    const int32_t x = 20 + (i % 10) * 125, y = 20 + (i / 10) * 140;
    MapRegion r;
    r.Name = std::to_string(i);
    r.ShapeByte = static_cast<uint8_t>(i % 3);
    r.Left = x, r.Top = y, r.Right = x + 100, r.Bottom = y + 110;
    if (r.ShapeByte == 2)
      for (int k = 0; k < 20; ++k) {
        const double angle = k * 2 * 3.14159265358979 / 20, radius = k % 2 ? 25 : 50;
        r.Points.push_back({static_cast<int32_t>(x + 50 + radius * std::cos(angle)),
                            static_cast<int32_t>(y + 55 + radius * std::sin(angle))});
      }
    file.Regions.push_back(r);
  }
  file.Index();
  return file;
}

void BM_HitTest50Regions(benchmark::State& state) {
  const RegionFile file = FiftyRegions();
  // A pointer path across the screen, through regions and the gaps between them.
  std::vector<std::pair<int32_t, int32_t>> path;
  for (int i = 0; i < 1024; ++i) path.emplace_back((i * 37) % kWidth, (i * 53) % kHeight);
  size_t n = 0;
  int32_t hits = 0;
  for (auto _ : state) {
    const auto& p = path[n++ & 1023];
    hits += file.HitTest(p.first, p.second) >= 0;
    benchmark::DoNotOptimize(hits);
  }
}
BENCHMARK(BM_HitTest50Regions)->Unit(benchmark::kNanosecond);

std::shared_ptr<const MuraImages> Screen(uint32_t colour) {
  auto images = std::make_shared<MuraImages>();
  images->Images.resize(1);
  TDIBSurface& c = images->Images[0].Picture.Color;
  c.SetSize(kWidth, kHeight, 32);
  c.FillRect(c.ClientRect(), colour);
  c.CreateAlpha();
  c.Alpha->FillRect(c.ClientRect(), 255);
  return images;
}

struct MapFixture {
  MapFixture() : files(temp, pending, {}), cache(&files) {
    char pattern[] = "/tmp/labels_benchXXXXXX";
    folder = mkdtemp(pattern);
    folder.push_back('/');
    const std::string bytes = FiftyRegions().Write();
    if (FILE* f = std::fopen(MapPath().c_str(), "wb")) {
      std::fwrite(bytes.data(), 1, bytes.size(), f);
      std::fclose(f);
    }
    files.SetBaseFolder(folder);
    cache.Add("base.mur?m", Screen(0x336699));
    cache.Add("hi.mur?m", Screen(0xFFCC00));
    text.Images = &cache;
    text.Vars = &vars;
    scene.SetServices({.Text = &text});
    scene.SetFiles(&files);
    scene.SetSize(kWidth, kHeight);
    map = static_cast<TOrinMapImage*>(scene.Create(kKindMapImage));
    SetInt(*map, 11, 255);
    SetStr(*map, 2, "base.mur");
    SetStr(*map, 83, "hi.mur");
    SetStr(*map, 106, "map.dat");
    scene.Draw();
    scene.ClearDirty();
  }
  std::string MapPath() const {
    std::string path = folder;
    path.append("map.dat");
    return path;
  }
  ~MapFixture() {
    std::remove(MapPath().c_str());
    std::remove(folder.c_str());
  }

  std::string folder;
  TempFolder temp;
  PendingDeletes pending;
  TVrFileManager files;
  TMuraCollection cache;
  TParamCollection vars;
  TextServices text;
  TOrinBaseList scene;
  TOrinMapImage* map = nullptr;
};

void BM_SwitchRegion(benchmark::State& state) {
  MapFixture f;
  int32_t k = 0;
  for (auto _ : state) {
    k = (k + 7) % 50;
    f.map->SelectRegion(k);
    f.scene.Draw();
    f.scene.ClearDirty();
  }
  state.counters["regions"] = static_cast<double>(f.map->Regions().Regions.size());
}
BENCHMARK(BM_SwitchRegion)->Unit(benchmark::kMicrosecond);

// Waits the given nanoseconds, busily, so that it costs what a budget of that length costs.
void BM_Budget(benchmark::State& state) {
  const auto budget = std::chrono::nanoseconds(state.range(0));
  for (auto _ : state) {
    const auto end = std::chrono::steady_clock::now() + budget;
    while (std::chrono::steady_clock::now() < end) {
    }
  }
}
BENCHMARK(BM_Budget)->Arg(100000)->Arg(2000)->Arg(500000)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace orin

int main(int argc, char** argv) {
  return orin::bench::RunWithRatios(argc, argv,
                                    {
                                        {"BM_Budget/100000", "BM_LabelSetTextAndDraw", 1.0},
                                        {"BM_Budget/2000", "BM_HitTest50Regions", 1.0},
                                        {"BM_Budget/500000", "BM_SwitchRegion", 1.0},
                                    });
}
