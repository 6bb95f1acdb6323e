// SceneTransition: what the scene container needs of a running screen transition. The
// transition composes the two roots' surfaces onto its own target surface; while one runs, the
// scene draws both roots, then has the transition compose them, and presents the target instead
// of the active root's surface. Composing at drawing time shows the incoming root as it is in
// that frame, and frames that are not drawn cost nothing.
#pragma once

#include <cstdint>

namespace orin {

class ScreenSurface;

class SceneTransition {
 public:
  virtual ~SceneTransition() = default;
  // Moves the transition to time (milliseconds since the start); true once the time has reached
  // the duration.
  virtual bool Step(int32_t time) = 0;
  // Draws the picture of the last time given into the target (nothing before the first Step,
  // when the target still shows the start, nor once the duration is reached).
  virtual void Compose() {}
  virtual ScreenSurface& Target() = 0;
};

}  // namespace orin
