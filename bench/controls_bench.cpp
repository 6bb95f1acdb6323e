// Speed of the choice and control objects on a 1280 × 720 screen: a 200-item menu of ten rows
// scrolled by one item per frame and drawn (items through the glyph cache, FreeType glyphs), and
// one step of a slider thumb drag (pointer input handled, value changed) with its redraw.
//
// The time budgets are benchmarks of their own that wait exactly that long, so the ratios printed
// at the end say whether each fits its budget on this machine (at least 1.0).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>

#include "bench_support.h"
#include "imaging/font_finder.h"
#include "imaging/font_pixel.h"
#include "imaging/freetype_rasterizer.h"
#include "params/custom_param.h"
#include "params/param_collection.h"
#include "scene/model/mura_collection.h"
#include "scene/model/orin_base_list.h"
#include "scene/objects/orin_list_box.h"
#include "scene/objects/orin_slider.h"
#include "scene/text/text_services.h"

namespace orin {
namespace {

constexpr int kWidth = 1280, kHeight = 720;

FontFinder& Finder() {
  static FontFinder finder;
  return finder;
}

void Set(TOrinObject& o, int number, int32_t v) {
  TParamInt p;
  p.SetAsInt(v);
  o.SetProp(number, p);
}

void SetText(TOrinObject& o, int number, const std::string& v) {
  TParamStr p;
  p.SetAsStr(v);
  o.SetProp(number, p);
}

struct ControlsScene {
  ControlsScene()
      : glyphs(std::make_unique<FreeTypeRasterizer>(Finder())), cache(nullptr), list(nullptr, SceneServices{.Text = &text}) {
    text.Glyphs = &glyphs;
    text.Images = &cache;
    text.Vars = &vars;
    list.SetSize(kWidth, kHeight);
  }
  TFontPixelManager glyphs;
  TMuraCollection cache;
  TParamCollection vars;
  TextServices text;
  TOrinBaseList list;
};

void BM_MenuScrollOneItemPerFrame(benchmark::State& state) {
  ControlsScene s;
  auto* menu = static_cast<TOrinMenu*>(s.list.Create(kKindMenu));
  Set(*menu, 3, 100);
  Set(*menu, 4, 100);
  Set(*menu, 49, 10);
  std::string items;
  for (int i = 0; i < 200; ++i) items += "Choice number " + std::to_string(i) + "\r\n";
  SetText(*menu, 50, items);
  menu->RequestOpen(TOrinMenu::kOpen);
  s.list.Draw();
  s.list.ClearDirty();
  if (!menu->ScrollBarShown()) state.SkipWithError("the menu shows no scroll bar");
  const int32_t last = menu->ItemCount() - 10;
  int32_t top = 0, dir = 1;
  for (auto _ : state) {
    if (top + dir < 0 || top + dir > last) dir = -dir;
    top += dir;
    menu->SetTopIndex(top);
    s.list.Draw();
    s.list.ClearDirty();
    benchmark::ClobberMemory();
  }
  if (menu->TopIndex() != top) state.SkipWithError("the menu did not scroll");
}
BENCHMARK(BM_MenuScrollOneItemPerFrame)->Unit(benchmark::kMicrosecond);

void BM_SliderDragStep(benchmark::State& state) {
  ControlsScene s;
  auto* slider = static_cast<TOrinSlider*>(s.list.Create(kKindSlider));
  slider->SetBounds(100, 300, 600, 24);
  Set(*slider, 123, 0);  // minimum
  Set(*slider, 124, 1000);  // maximum
  s.list.Draw();
  s.list.ClearDirty();
  // Take the thumb where it is and move it back and forth along the track, one pixel a frame.
  const int32_t y = 312;
  int32_t x = 100 + slider->ThumbOffset() + 2;
  s.list.MouseMove(x, y);
  s.list.MouseDown(MouseButton::kLeft, x, y);
  int32_t clock = 16;
  s.list.InputStep(clock, 16);
  int32_t dir = 1, lowest = slider->Value(), highest = slider->Value();
  for (auto _ : state) {
    lowest = std::min(lowest, slider->Value());
    highest = std::max(highest, slider->Value());
    if (x + dir < 100 || x + dir >= 700) dir = -dir;
    x += dir;
    s.list.MouseMove(x, y);
    s.list.InputStep(clock += 16, 16);
    s.list.Draw();
    s.list.ClearDirty();
    benchmark::ClobberMemory();
  }
  s.list.MouseUp(MouseButton::kLeft, x, y);
  if (state.iterations() > 10 && lowest == highest) state.SkipWithError("the thumb did not move");
}
BENCHMARK(BM_SliderDragStep)->Unit(benchmark::kMicrosecond);

// Waits the given microseconds, busily, so that it costs what a budget of that length costs.
void BM_Budget(benchmark::State& state) {
  const auto budget = std::chrono::microseconds(state.range(0));
  for (auto _ : state) {
    const auto end = std::chrono::steady_clock::now() + budget;
    while (std::chrono::steady_clock::now() < end) {
    }
  }
}
BENCHMARK(BM_Budget)->Arg(300)->Arg(100)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace orin

int main(int argc, char** argv) {
  return orin::bench::RunWithRatios(argc, argv,
                                    {
                                        {"BM_Budget/300", "BM_MenuScrollOneItemPerFrame", 1.0},
                                        {"BM_Budget/100", "BM_SliderDragStep", 1.0},
                                    });
}
