// Speed of formatted text: laying out a 2,000-character Japanese document with mixed styles and
// ruby into pages (alone, and with the first page drawn into its text layer through cached
// glyphs), and one reveal step of a full 1280 × 720 message window whose glyphs are all fading
// in. The frame budgets are benchmarks that wait exactly that long, so the ratios printed at the
// end say whether each meets its target on this machine (at least 1.0).
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>

#include "bench_support.h"
#include "core/cp932.h"
#include "imaging/font_finder.h"
#include "imaging/font_pixel.h"
#include "imaging/freetype_rasterizer.h"
#include "scene/model/orin_base_list.h"
#include "scene/objects/orin_mes.h"
#include "scene/text/text_services.h"
#include "scene/text/tp_word.h"
#include "scene/text/word_layout.h"
#include "scene/text/word_markup.h"
#include "scene/text/word_render.h"

namespace orin {
namespace {

constexpr int kWidth = 1280, kHeight = 720;

// About 2,000 characters: a paragraph of plain, bold, coloured, larger, italic text and ruby.
std::string JapaneseMarkup(size_t characters) {
  const std::string unit = *Utf8ToCp932(
      "吾輩は<RUBY VALUE=ねこ>猫</RUBY>である。<B>名前</B>はまだ<FONT SIZE=28 COLOR=#FF4000>無い</FONT>。"
      "どこで<RUBY VALUE=うま>生</RUBY>れたか<I>とんと</I>見当がつかぬ。何でも薄暗いじめじめした所で"
      "ニャーニャー泣いていた事だけは記憶している。");
  TTpWord probe;
  ParseMarkup(unit, probe, 0);
  std::string out;
  for (size_t n = 0; n < characters; n += probe.Glyphs.size()) out += unit;
  return out;
}

FontFinder& Finder() {
  static FontFinder finder;
  return finder;
}

struct Document {
  Document() {
    ParseMarkup(JapaneseMarkup(2000), doc, 50);
    doc.Width = kWidth - 40;
    doc.Height = kHeight - 40;
    doc.FontSize = 24;
    doc.LineSpacing = 4;
    doc.BorderWidth = 1;
  }
  TTpWord doc;
};

void BM_LayoutDocument(benchmark::State& state) {
  Document d;
  size_t pages = 0;
  for (auto _ : state) {
    LayoutResult r = LayoutGlyphs(d.doc, 0, d.doc.Glyphs.size(), LayoutParamsOf(d.doc), nullptr);
    pages = r.Pages.size();
    benchmark::DoNotOptimize(r.Pages.data());
  }
  state.counters["glyphs"] = static_cast<double>(d.doc.Glyphs.size());
  state.counters["pages"] = static_cast<double>(pages);
}
BENCHMARK(BM_LayoutDocument)->Unit(benchmark::kMicrosecond);

void BM_LayoutAndDrawFirstPage(benchmark::State& state) {
  Document d;
  TFontPixelManager glyphs(std::make_unique<FreeTypeRasterizer>(Finder()));
  PageLayer layer;
  for (auto _ : state) {
    LayoutResult r = LayoutGlyphs(d.doc, 0, d.doc.Glyphs.size(), LayoutParamsOf(d.doc), nullptr);
    layer.Render(*r.Pages[0], d.doc, &glyphs, kWidth, kHeight, 32, 20, 20);
    layer.UpdateAll(*r.Pages[0]);
  }
}
BENCHMARK(BM_LayoutAndDrawFirstPage)->Unit(benchmark::kMicrosecond);

// A message window over the whole screen, its page full; every glyph revealed at once and fading
// in over four seconds, so every step changes every glyph.
struct FadingWindow {
  FadingWindow() : glyphs(std::make_unique<FreeTypeRasterizer>(Finder())) {
    services.Glyphs = &glyphs;
    scene.SetSize(kWidth, kHeight);
    scene.SetServices({.Text = &services});
    mes = static_cast<TOrinMes*>(scene.Create(kKindMes));
    mes->Rename("mes");
    mes->SetBounds(0, 0, kWidth, kHeight);
    mes->Document().FontSize = 24;
    mes->Document().FadeTime = 4096;  // one alpha step per 16 ms frame
    mes->SetText("<WAIT VALUE=0>" + JapaneseMarkup(1500));
    for (int i = 0; i < 3; ++i) Frame();
  }
  void Frame() {
    clock += 16;
    scene.InputStep(clock, 16);
    scene.Step();
    scene.Events().Clear();
  }
  void Restart() {
    TWdPage& page = const_cast<TWdPage&>(*mes->Page(mes->CurrentPage()));
    TTpWord::ResetReveal(page);
    Frame();
  }
  TFontPixelManager glyphs;
  TextServices services;
  TOrinBaseList scene;
  TOrinMes* mes = nullptr;
  int32_t clock = 0;
};

void BM_RevealStepFading(benchmark::State& state) {
  FadingWindow w;
  const TWdPage* page = w.mes->Page(w.mes->CurrentPage());
  for (auto _ : state) {
    if (page->Reveal.Fading.empty()) {
      state.PauseTiming();
      w.Restart();
      state.ResumeTiming();
    }
    w.Frame();
    w.scene.ClearDirty();
  }
  state.counters["fading"] = static_cast<double>(page->Reveal.Fading.size());
}
BENCHMARK(BM_RevealStepFading)->Unit(benchmark::kMicrosecond);

// The same step and the frame drawn: every fading cell is painted again.
void BM_RevealStepFadingDrawn(benchmark::State& state) {
  FadingWindow w;
  const TWdPage* page = w.mes->Page(w.mes->CurrentPage());
  for (auto _ : state) {
    if (page->Reveal.Fading.empty()) {
      state.PauseTiming();
      w.Restart();
      state.ResumeTiming();
    }
    w.Frame();
    w.scene.Draw();
    w.scene.ClearDirty();
  }
}
BENCHMARK(BM_RevealStepFadingDrawn)->Unit(benchmark::kMicrosecond);

// Waits the given microseconds, busily, so that it costs what a budget of that length costs.
void BM_Budget(benchmark::State& state) {
  const auto budget = std::chrono::microseconds(state.range(0));
  for (auto _ : state) {
    const auto end = std::chrono::steady_clock::now() + budget;
    while (std::chrono::steady_clock::now() < end) {
    }
  }
}
BENCHMARK(BM_Budget)->Arg(2000)->Arg(500)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace orin

int main(int argc, char** argv) {
  return orin::bench::RunWithRatios(argc, argv,
                                    {
                                        {"BM_Budget/2000", "BM_LayoutDocument", 1.0},
                                        {"BM_Budget/500", "BM_RevealStepFading", 1.0},
                                    });
}
