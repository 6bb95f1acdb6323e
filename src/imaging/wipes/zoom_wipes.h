// The transitions that scale a picture about a point, and the spotlight.
//
//   TWipeSmall (22): the outgoing picture shrinks into the centre of the screen, the incoming one
//       behind it. Reversed, the incoming picture comes down from four times its size onto the
//       outgoing one, fading in.
//   TWipeBig (23): the incoming picture grows out of the centre over the outgoing one. Reversed,
//       the outgoing picture swells to four times its size and fades out over the incoming one.
//   TWipeZoomin (30): the view flies into a point: the outgoing picture swells eightfold about it
//       and fades out while the incoming picture swells behind it from an eighth to its size (the
//       screen around it black). Reversed, the view backs away: the outgoing picture shrinks to an
//       eighth about the point and fades, the incoming one shrinks from eightfold into place. The
//       point is (p0, p1), kept inside the screen; the player's defaults are the screen's centre.
//       A string parameter of two integers ("x,y") names the point instead.
//   TWipeSpot (18): an iris: a disc of the outgoing picture closes on the centre of a black
//       screen, then a disc of the incoming picture opens from it. Reversed the other way round:
//       a black disc opens from the centre over the outgoing picture, then the incoming picture
//       closes in on it from the edges.
// Sizes and fades ease in and out; every scale maps pixel centres about the point, so scale 1 is
// the picture itself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "imaging/wipes/own_wipe.h"

namespace orin {

class ZoomWipe : public OwnWipe {
 public:
  void Prepare() override;

 protected:
  // Draws source scaled by scale about (cx, cy) (the same point of the source and the screen)
  // with weight w (256 opaque, 0 nothing); what it does not cover stays, or turns black with
  // blackAround.
  void DrawLayer(const ScreenSurface& source, double scale, double cx, double cy, int w,
                 bool blackAround = false);

 private:
  void Size();
  std::vector<int32_t> cols_;
  std::vector<int32_t> rows_;
  std::vector<uint8_t> buffer_;
};

class TWipeSmall final : public ZoomWipe {
 public:
  bool Step() override;
};

class TWipeBig final : public ZoomWipe {
 public:
  bool Step() override;
};

class TWipeZoomin final : public ZoomWipe {
 public:
  void SetName(const std::string& name) override;
  bool Step() override;
};

class TWipeSpot final : public OwnWipe {
 public:
  bool Step() override;
};

}  // namespace orin
