#include "imaging/wipes/slide_wipes.h"

#include <algorithm>
#include <cmath>

namespace orin {

void AxisWipe::Size() {
  const int length = vertical_ ? H() : W();
  pic_.assign(static_cast<size_t>(length), 0);
  src_.assign(static_cast<size_t>(length), 0);
  runs_.reserve(static_cast<size_t>(W()));
}

void AxisWipe::Prepare() {
  Size();
}

// Runs of columns that show one picture; a run whose source columns follow one another is copied
// whole, any other is gathered.
void AxisWipe::BuildRuns() {
  runs_.clear();
  const int length = static_cast<int>(pic_.size());
  for (int x = 0; x < length;) {
    Run run;
    run.X0 = x;
    run.Pic = pic_[static_cast<size_t>(x)];
    int end = x + 1;
    while (end < length && pic_[static_cast<size_t>(end)] == run.Pic) {
      if (src_[static_cast<size_t>(end)] != src_[static_cast<size_t>(end - 1)] + 1)
        run.Contiguous = false;
      ++end;
    }
    run.Count = end - x;
    runs_.push_back(run);
    x = end;
  }
}

bool AxisWipe::Step() {
  if (Done()) return true;
  const int length = vertical_ ? H() : W();
  if (static_cast<int>(pic_.size()) != length) Size();
  Plan(length);
  if (Reverse()) {
    std::reverse(pic_.begin(), pic_.end());
    std::reverse(src_.begin(), src_.end());
    for (int32_t& s : src_) s = length - 1 - s;
  }
  const ScreenSurface* pictures[2] = {&Outgoing(), &Incoming()};
  if (vertical_) {
    for (int y = 0; y < length; ++y)
      CopyPixels(TargetRow(y),
                 Row(*pictures[pic_[static_cast<size_t>(y)]], src_[static_cast<size_t>(y)]), W());
  } else {
    BuildRuns();
    for (int y = 0; y < H(); ++y) {
      uint8_t* dst = TargetRow(y);
      const uint8_t* rows[2] = {Row(Outgoing(), y), Row(Incoming(), y)};
      for (const Run& run : runs_) {
        const int32_t* cols = src_.data() + run.X0;
        if (run.Contiguous)
          CopyPixels(At(dst, run.X0), At(rows[run.Pic], cols[0]), run.Count);
        else
          wipes::GatherRow(At(dst, run.X0), rows[run.Pic], cols, run.Count, Bytes());
      }
    }
  }
  MarkChanged();
  return false;
}

void ScrollWipe::Plan(int length) {
  const int shift = static_cast<int>(static_cast<int64_t>(length) * Time() / Duration());
  for (int i = 0; i < length; ++i) {
    const bool in = i >= length - shift;
    pic_[static_cast<size_t>(i)] = in ? 1 : 0;
    src_[static_cast<size_t>(i)] = in ? i - (length - shift) : i + shift;
  }
}

void SudareWipe::Plan(int length) {
  const int slat = std::max(2, length / 30);
  const double fade = std::max(1, length / 4);
  const double edge = (length + fade) * Progress();
  for (int i = 0; i < length; ++i) {
    bool in = false;
    if (i < edge) {
      const double closed = std::min(1.0, (edge - i) / fade);
      in = i % slat < static_cast<int>(std::ceil(slat * closed));
    }
    pic_[static_cast<size_t>(i)] = in ? 1 : 0;
    src_[static_cast<size_t>(i)] = i;
  }
}

void RubberWipe::Plan(int length) {
  const double p = Progress();
  const int seam = length - static_cast<int>(std::lround(length * Ease(p)));
  // How unevenly the pictures stretch: none at either end of the run.
  const double a = 3.0 * p * (1.0 - p);
  auto curve = [a](double v) { return v * (1.0 - a) + v * v * a; };
  auto line = [length](double v) {
    return std::clamp(static_cast<int>(v * length), 0, length - 1);
  };
  for (int i = 0; i < length; ++i) {
    if (i < seam) {
      pic_[static_cast<size_t>(i)] = 0;
      src_[static_cast<size_t>(i)] = line(curve((i + 0.5) / seam));
    } else {
      pic_[static_cast<size_t>(i)] = 1;
      src_[static_cast<size_t>(i)] = line(1.0 - curve(1.0 - (i - seam + 0.5) / (length - seam)));
    }
  }
}

}  // namespace orin
