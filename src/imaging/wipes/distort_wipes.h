// The transitions that bend, turn or break the pictures.
//
//   TWipeRipple (24): the screen wavers like water: every row is pushed sideways along a sine
//       wave of p0 crests down the screen (1 … 64; default 5) that travels downwards (reversed:
//       upwards); the waves swell to a twentieth of the width at the midpoint and die down again
//       while the outgoing picture dissolves into the incoming one.
//   TWipeTwistH (27): every row turns like a slat about the screen's vertical middle line, the
//       top row first and the bottom row last (reversed: from the bottom), showing the outgoing
//       picture on its front and the incoming one on its back, over black; each row turns in a
//       quarter of the run, a wave of turning a third of the screen deep.
//   TWipeTwistV (28): every column turns about the horizontal middle line, from the left column
//       to the right (reversed: from the right).
//   TWipeCrack (29): the outgoing picture breaks into square pieces of p0 pixels (8 … the larger
//       side of the screen; default 64) that fall away at random moments in the first half of the
//       run (reversed: fly up), uncovering the incoming picture; each drifts sideways by up to
//       p1 quarter-pieces (0 … 16; default 3). The pieces' moments and drifts come from the
//       player's run-time generator, drawn once in Prepare.
#pragma once

#include <cstdint>
#include <vector>

#include "imaging/wipes/own_wipe.h"

namespace orin {

class TWipeRipple final : public OwnWipe {
 public:
  bool Step() override;

 private:
  // source's row y pushed right by shift (left when negative) into dst, the edge pixel repeated.
  void ShiftedRow(uint8_t* dst, const ScreenSurface& source, int y, int shift) const;
};

class TWipeTwistH final : public OwnWipe {
 public:
  bool Step() override;
};

class TWipeTwistV final : public OwnWipe {
 public:
  void Prepare() override;
  bool Step() override;

 private:
  void Size();
  // Per column: the first row shown, how many, source rows per screen row in 16.16, and the
  // picture (0 outgoing, 1 incoming).
  std::vector<int32_t> top_;
  std::vector<uint32_t> shown_;
  std::vector<uint32_t> step_;
  std::vector<uint8_t> pic_;
  struct Run {
    int X0, X1;
    bool Whole;
    uint8_t Pic;
  };
  std::vector<Run> runs_;
};

class TWipeCrack final : public OwnWipe {
 public:
  void Prepare() override;
  bool Step() override;

 private:
  struct Piece {
    int32_t X = 0, Y = 0, Width = 0, Height = 0;
    double Delay = 0;  // the part of the run that passes before it moves
    double Drift = 0;  // pixels sideways over its whole way
  };
  void DrawPiece(const Piece& piece, double p);
  std::vector<Piece> pieces_;
};

}  // namespace orin
