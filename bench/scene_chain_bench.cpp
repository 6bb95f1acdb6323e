// One frame (scene step and draw) of boxes nested 1,000 deep, the outermost moving a pixel per
// frame so that every box moves and the whole chain is redrawn; and the same frame with the
// innermost box moving instead. Each must fit a 10 ms frame budget, measured in the same run.
// For comparison, without a target: every box moving within its parent, where each move's
// repaint still walks the box's ancestors (visibility and clip), a cost linear in the depth per
// move.
#include <benchmark/benchmark.h>

#include <chrono>
#include <vector>

#include "bench_support.h"
#include "scene/model/orin_base_list.h"
#include "scene/objects/orin_box.h"

namespace orin {
namespace {

constexpr int kDepth = 1000;

struct Chain {
  Chain() {
    list.SetSize(640, 480);
    TOrinControl* parent = &list.ActiveRoot();
    for (int i = 0; i < kDepth; ++i) {
      TOrinControl* box = list.Create(kKindBox)->AsControl();
      box->SetParent(parent);
      // Each box inside the last, one pixel in, so every level shows a rim of its own.
      box->SetBounds(i == 0 ? 10 : 0, i == 0 ? 10 : 0, 400, 400);
      box->SetColor(i % 7 == 0 ? 0x00FF00 + i : -1);
      boxes.push_back(box);
      parent = box;
    }
    Frame();
  }
  void Frame() {
    list.InputStep(clock += 16, 16);
    list.Step();
    list.Draw();
    list.ClearDirty();
  }
  TOrinBaseList list;
  std::vector<TOrinControl*> boxes;
  int32_t clock = 0;
};

void MoveAndFrame(benchmark::State& state, int which) {
  Chain c;
  int step = 0;
  for (auto _ : state) {
    TOrinControl* box = c.boxes[static_cast<size_t>(which)];
    box->SetLeft(box->Left() + ((step++ & 8) ? -1 : 1));
    c.Frame();
    benchmark::ClobberMemory();
  }
}

void BM_ChainOuterMoves(benchmark::State& state) { MoveAndFrame(state, 0); }
BENCHMARK(BM_ChainOuterMoves)->Unit(benchmark::kMillisecond);

void BM_ChainInnerMoves(benchmark::State& state) { MoveAndFrame(state, kDepth - 1); }
BENCHMARK(BM_ChainInnerMoves)->Unit(benchmark::kMillisecond);

// Every box moves within its parent each frame, as when each runs a motion: a thousand moves,
// each repainting its old and new place, then one step and draw.
void BM_ChainEveryBoxMoves(benchmark::State& state) {
  Chain c;
  int step = 0;
  for (auto _ : state) {
    const int32_t d = (step++ & 8) ? -1 : 1;
    for (TOrinControl* box : c.boxes) box->SetTop(box->Top() + d);
    c.Frame();
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_ChainEveryBoxMoves)->Unit(benchmark::kMillisecond);

// Waits the given microseconds, busily, so that it costs what a frame of that length costs.
void BM_FrameBudget(benchmark::State& state) {
  const auto budget = std::chrono::microseconds(state.range(0));
  for (auto _ : state) {
    const auto end = std::chrono::steady_clock::now() + budget;
    while (std::chrono::steady_clock::now() < end) {
    }
  }
}
BENCHMARK(BM_FrameBudget)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orin

int main(int argc, char** argv) {
  return orin::bench::RunWithRatios(argc, argv,
                                    {
                                        {"BM_FrameBudget/10000", "BM_ChainOuterMoves", 1.0},
                                        {"BM_FrameBudget/10000", "BM_ChainInnerMoves", 1.0},
                                    });
}
