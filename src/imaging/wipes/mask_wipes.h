// The mask transitions with fixed formulas: blinds, curtains, the grid kinds, dither, circle and
// the two block kinds. W and H are the width and height of the screen, t the time held to
// 0 … T, level a value rising with t; "÷" rounds down.
//
//   TWipeBlindH  (2): bands p0 pixels wide (p0 ≥ 2, p1 ≥ 1) open from their left edge (reversed:
//                     their right edge): level = (p1 + 2·p0 − 2) × t ÷ T, column offset
//                     e = 2·(x mod p0); mask 0 below e, else min(255, (level − e) × 255 ÷ p1).
//                     One mask row; a hard edge when p1 < 2.
//   TWipeBlindV  (3): the same with bands of rows, opening from their top (reversed: bottom).
//   TWipeCurtainH (4): bands p0 wide (p0, p1 ≥ 1) open one after the other from the left
//                     (reversed: from the right), each from its left edge:
//                     level = ((⌈W ÷ p0⌉ + p0 − 2) × 16 + p1) × t ÷ T,
//                     e = (x div p0 + x mod p0) × 16.
//   TWipeCurtainV (5): the same from the top.
//   TWipeGrid    (8): cells p0 × p0 in which a square of value rising with its side grows from the
//                     centre, the cells starting one after another by their distance from the
//                     top-left corner (reversed: bottom-right), a cell's key k = round(hypot(row,
//                     column)) starting at level 4k and taking p1 levels to fill.
//   TWipeGridH   (9): the same by columns from the left (reversed: right).
//   TWipeGridV  (10): the same by rows from the top (reversed: bottom).
//   TWipeDither (11): a 64 × 64 tile repeated over the screen whose cells turn over one by one in a
//                     fixed scattered order (TTpRandom with increment 12341), t × 4096 ÷ T of
//                     them at time t.
//   TWipeCircle (36): a disc of the incoming picture grows from the centre until it covers the
//                     corners (reversed: a disc of the outgoing picture shrinks to the centre).
//   TWipeBlockCoil (37): blocks of p0 × p0 pixels (p0 held to 10 … min(W, H)) turn over one by
//                     one along a spiral from the top-left corner inwards (reversed: from the
//                     centre outwards).
//   TWipeBlockRandom (38): the same blocks in an order drawn from the player's run-time
//                     generator; reversing changes nothing.
//
// Where these differ from the original player, on purpose:
//   * the parameters are held to the screen where larger values only stretch the time in which
//     nothing happens: blind and curtain band widths to the screen's extent, grid cells to 1 … the
//     larger side of the screen, a grid's p1 to at least 1 (the original divides by it);
//   * the grid kind 8 runs its level to p1 + 4k for its last key k, as kinds 9 and 10 do, so its
//     far corner is filled before the end (the original stops four levels short, and with p1 < 4
//     never shows that corner at all);
//   * the block kinds turn over count × t ÷ T blocks, so the first step shows the outgoing
//     picture and the last full one all blocks but those due at the end (the original turns
//     over block 0 already at t = 0).
#pragma once

#include <cstdint>
#include <vector>

#include "imaging/wipes/custom_wipe.h"

namespace orin {

class TWipeBlindH : public TWipeMask {
 public:
  void SetParam(int index, int32_t value) override;
  void Prepare() override;
  bool UpdateMask() override;
  int MaskHeight() const override { return 1; }

 protected:
  // The value of the mask at offset e for the level; p1 ≥ 1.
  static uint8_t Value(int64_t level, int64_t e, int64_t p1);
  // The band width cut to the screen's extent along the bands.
  int32_t band_ = 2;
};

class TWipeBlindV : public TWipeBlindH {
 public:
  void Prepare() override;
  bool UpdateMask() override;
  int MaskHeight() const override;
};

class TWipeCurtainH : public TWipeBlindH {
 public:
  void SetParam(int index, int32_t value) override;
  void Prepare() override;
  bool UpdateMask() override;

 protected:
  // The offset of position p along an extent of n, counted from the far end when reversed.
  int64_t Offset(int p, int n) const;
  // The level at the current time over an extent of n.
  int64_t Level(int n) const;
};

class TWipeCurtainV : public TWipeCurtainH {
 public:
  void Prepare() override;
  bool UpdateMask() override;
  int MaskHeight() const override { return TWipeMask::MaskHeight(); }
};

class TWipeGrid : public TWipeMask {
 public:
  void Prepare() override;
  bool UpdateMask() override;

 protected:
  // The order key of a cell and the largest key.
  virtual int32_t Key(int row, int column) const;
  virtual int32_t LastKey() const;

  int32_t cell_ = 1, soft_ = 1, columns_ = 1, rows_ = 1;

 private:
  // The keys of the cells that reach into the mask, row by row.
  std::vector<int32_t> keys_;
  int cellRows_ = 0;
};

class TWipeGridH : public TWipeGrid {
 public:
  int MaskHeight() const override;

 protected:
  int32_t Key(int row, int column) const override;
  int32_t LastKey() const override { return columns_ - 1; }
};

class TWipeGridV : public TWipeGrid {
 protected:
  int32_t Key(int row, int column) const override;
  int32_t LastKey() const override { return rows_ - 1; }
};

class TWipeDither : public TWipeMask {
 public:
  void Prepare() override;
  bool UpdateMask() override;
  int MaskHeight() const override { return kTile; }

  static constexpr int kTile = 64;
  // The cells of the tile (row × 64 + column) in the order they turn over; the same every time.
  static const std::vector<int32_t>& VisitingOrder();
};

class TWipeCircle : public TWipeMask {
 public:
  bool UpdateMask() override;
};

// The two block kinds: blocks listed in the order they turn over.
class BlockWipe : public TWipeMask {
 public:
  void Prepare() override;
  bool UpdateMask() override;

 protected:
  // Lists the blocks (row × columns + column) of a columns × rows grid in their order.
  virtual std::vector<int32_t> Order(int columns, int rows) = 0;
  // Whether the reverse flag runs the order from its end.
  virtual bool Reversible() const { return true; }

 private:
  void FillBlock(int32_t index);

  std::vector<int32_t> order_;
  int columns_ = 1;
  // Blocks of the order turned over so far.
  size_t filled_ = 0;
};

class TWipeBlockCoil : public BlockWipe {
 public:
  // The spiral from the top-left corner inwards.
  static std::vector<int32_t> Spiral(int columns, int rows);

 protected:
  std::vector<int32_t> Order(int columns, int rows) override { return Spiral(columns, rows); }
};

class TWipeBlockRandom : public BlockWipe {
 protected:
  std::vector<int32_t> Order(int columns, int rows) override;
  bool Reversible() const override { return false; }
};

}  // namespace orin
