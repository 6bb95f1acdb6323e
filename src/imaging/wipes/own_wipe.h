// OwnWipe: what the transitions that draw their own effect share. Each of them redraws the whole
// target at every step from the two pictures; none draws once the time has reached the duration.
// Tables a kind needs are sized in Prepare (and, should a caller skip Prepare, at the first
// step), so a step allocates nothing.
#pragma once

#include <cstdint>
#include <cstring>

#include "imaging/screen_surface.h"
#include "imaging/wipes/custom_wipe.h"
#include "imaging/wipes/wipe_rows.h"

namespace orin {

class OwnWipe : public TCustomWipe {
 protected:
  int W() const { return Outgoing().Width(); }
  int H() const { return Outgoing().Height(); }
  // Bytes per pixel: 4 at 32 bits, 2 at 15/16 bits.
  int Bytes() const { return Outgoing().Depth() == 32 ? 4 : 2; }
  // t ÷ T: 0 at the start, below 1 while the wipe runs.
  double Progress() const { return static_cast<double>(Time()) / static_cast<double>(Duration()); }
  // Smoothstep of p: starts and ends at rest.
  static double Ease(double p) { return p * p * (3.0 - 2.0 * p); }

  uint8_t* TargetRow(int y) { return Target().ScanLine(y); }
  static const uint8_t* Row(const ScreenSurface& s, int y) { return s.ScanLine(y); }
  uint8_t* At(uint8_t* row, int x) const { return row + static_cast<ptrdiff_t>(x) * Bytes(); }
  const uint8_t* At(const uint8_t* row, int x) const {
    return row + static_cast<ptrdiff_t>(x) * Bytes();
  }
  void CopyPixels(uint8_t* dst, const uint8_t* src, int count) const {
    if (count > 0)
      std::memmove(dst, src, static_cast<size_t>(count) * static_cast<size_t>(Bytes()));
  }
  // The whole picture onto the target.
  void CopyAll(const ScreenSurface& source) { Target().Copy(0, 0, source, source.Bounds()); }
  // A grey (l, l, l) as a pixel of the pictures' format.
  uint32_t GreyPixel(int level) const {
    const uint32_t l = static_cast<uint32_t>(level);
    return Outgoing().ColorToPixel(static_cast<int32_t>(l | l << 8 | l << 16));
  }
  // dst = a mixed with b by weight w (0 gives a, 256 gives b); dst may be neither.
  void MixRows(uint8_t* dst, const uint8_t* a, const uint8_t* b, int count, int w) const {
    if (count <= 0) return;
    if (Bytes() == 4)
      wipes::MixRow32(dst, a, b, count, w);
    else
      wipes::MixRow16(reinterpret_cast<uint16_t*>(dst), reinterpret_cast<const uint16_t*>(a),
                      reinterpret_cast<const uint16_t*>(b), count, w, Outgoing().Masks());
  }
  // Mixes count pixels of src into dst by weight w (0 keeps dst, 256 writes src).
  void MixPixels(uint8_t* dst, const uint8_t* src, int count, int w) const {
    if (count <= 0) return;
    if (Bytes() == 4)
      wipes::MixRow32(dst, dst, src, count, w);
    else
      wipes::MixRow16(reinterpret_cast<uint16_t*>(dst), reinterpret_cast<const uint16_t*>(dst),
                      reinterpret_cast<const uint16_t*>(src), count, w, Outgoing().Masks());
  }
};

}  // namespace orin
