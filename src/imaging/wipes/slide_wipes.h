// The transitions that move or stretch whole rows or columns of the two pictures. Each is given,
// for the current time, a plan along its axis (columns for the H kinds, rows for the V kinds):
// which picture every line of the target shows and from which of its lines. Reverse mirrors the
// plan (the motion runs from the other side). At t = 0 every plan is the outgoing picture line
// for line.
//
//   TWipeScrollH (6) / TWipeScrollV (7): the incoming picture pushes the outgoing one out, from
//       the right (from the bottom); reversed from the left (from the top). Offset W × t ÷ T.
//   TWipeSudareH (16) / TWipeSudareV (17): a slatted blind lowered over the screen from the left
//       (from the top): behind its moving edge the slats, a thirtieth of the screen each, close
//       gradually over a quarter of the screen, so the incoming picture shows first in thin
//       stripes near the edge and whole further back.
//   TWipeRubberH (32) / TWipeRubberV (33): the incoming picture is pulled in from the right (from
//       the bottom) like rubber, squeezing the outgoing one towards the other side; both are
//       stretched unevenly, thinnest at the seam, most in the middle of the run; the seam moves
//       with an ease in and out.
#pragma once

#include <cstdint>
#include <vector>

#include "imaging/wipes/own_wipe.h"

namespace orin {

class AxisWipe : public OwnWipe {
 public:
  void Prepare() override;
  bool Step() override;

 protected:
  explicit AxisWipe(bool vertical) : vertical_(vertical) {}
  // Fills, for every line i of length lines, pic[i] (0 outgoing, 1 incoming) and src[i] (the
  // source line, 0 … length − 1) for Progress(), unmirrored.
  virtual void Plan(int length) = 0;
  std::vector<uint8_t> pic_;
  std::vector<int32_t> src_;

 private:
  struct Run {
    int X0 = 0;
    int Count = 0;
    uint8_t Pic = 0;
    bool Contiguous = true;
  };
  void Size();
  void BuildRuns();
  bool vertical_;
  std::vector<Run> runs_;
};

class ScrollWipe : public AxisWipe {
 protected:
  using AxisWipe::AxisWipe;
  void Plan(int length) override;
};
class TWipeScrollH final : public ScrollWipe {
 public:
  TWipeScrollH() : ScrollWipe(false) {}
};
class TWipeScrollV final : public ScrollWipe {
 public:
  TWipeScrollV() : ScrollWipe(true) {}
};

class SudareWipe : public AxisWipe {
 protected:
  using AxisWipe::AxisWipe;
  void Plan(int length) override;
};
class TWipeSudareH final : public SudareWipe {
 public:
  TWipeSudareH() : SudareWipe(false) {}
};
class TWipeSudareV final : public SudareWipe {
 public:
  TWipeSudareV() : SudareWipe(true) {}
};

class RubberWipe : public AxisWipe {
 protected:
  using AxisWipe::AxisWipe;
  void Plan(int length) override;
};
class TWipeRubberH final : public RubberWipe {
 public:
  TWipeRubberH() : RubberWipe(false) {}
};
class TWipeRubberV final : public RubberWipe {
 public:
  TWipeRubberV() : RubberWipe(true) {}
};

}  // namespace orin
