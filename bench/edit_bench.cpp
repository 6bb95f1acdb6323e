// Speed of typing into a memo that holds 10,000 characters (200 lines of 50, Japanese and ASCII
// mixed) on a 1280 × 720 screen with real glyphs: each round types one character in the middle of
// the text and deletes it again (two keys), drawing the changed field after each. The budget is
// a benchmark that waits 2 ms (1 ms a key), so the ratio printed at the end says whether typing
// meets its target on this machine (at least 1.0).
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>

#include "bench_support.h"
#include "core/cp932.h"
#include "imaging/font_finder.h"
#include "imaging/font_pixel.h"
#include "imaging/freetype_rasterizer.h"
#include "params/custom_param.h"
#include "params/param_collection.h"
#include "scene/model/orin_base_list.h"
#include "scene/objects/orin_memo.h"
#include "scene/text/text_services.h"

namespace orin {
namespace {

constexpr int kWidth = 1280, kHeight = 720;

void BM_MemoTypeKeyPair(benchmark::State& state) {
  FontFinder finder;
  TFontPixelManager glyphs(std::make_unique<FreeTypeRasterizer>(finder));
  TParamCollection vars;
  TextServices services;
  services.Glyphs = &glyphs;
  services.Vars = &vars;
  TOrinBaseList scene;
  scene.SetServices({.Text = &services});
  scene.SetSize(kWidth, kHeight);
  scene.ActiveRoot().SetColor(0x202020);
  auto* memo = static_cast<TOrinMemo*>(scene.Create(kKindMemo));
  memo->Rename("memo");
  memo->SetBounds(40, 40, 800, 600);
  TParamInt size;
  size.SetAsInt(16);
  memo->SetProp(16, size);
  const std::string line = *Utf8ToCp932("吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。abcdefghij0123456789");
  std::string text;
  for (int i = 0; i < 200; ++i) text += line + "\r\n";
  TParamStr value;
  value.SetAsStr(text);
  memo->SetProp(50, value);
  scene.SetFocus(memo);
  memo->SetCaret(text.size() / 2);
  scene.Draw();
  scene.ClearDirty();
  for (auto _ : state) {
    scene.TextInput("猫");
    scene.Draw();
    scene.ClearDirty();
    memo->Backspace();
    scene.Draw();
    scene.ClearDirty();
  }
  state.counters["chars"] = static_cast<double>(CharCount(memo->Text()));
}
BENCHMARK(BM_MemoTypeKeyPair)->Unit(benchmark::kMicrosecond);

// Waits the given nanoseconds, busily, so that it costs what a budget of that length costs.
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
  return orin::bench::RunWithRatios(argc, argv, {{"BM_Budget/2000000", "BM_MemoTypeKeyPair", 1.0}});
}
