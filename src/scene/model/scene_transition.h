// SceneTransition: what the scene container needs of a running screen transition. The
// transition composes the two roots' surfaces onto its own target surface; while one runs, the
// scene draws both roots and presents the target instead of the active root's surface.
#pragma once

#include <cstdint>

namespace orin {

class ScreenSurface;

class SceneTransition {
 public:
  virtual ~SceneTransition() = default;
  // Composes the picture at time (milliseconds since the start); true once the time has reached
  // the duration (nothing is drawn then).
  virtual bool Step(int32_t time) = 0;
  virtual ScreenSurface& Target() = 0;
};

}  // namespace orin
