// TOrinMotion: the player of a motion file attached to a control. Frames run at 60 per second
// (one frame every 16.666666666666668 ms of elapsed time, rounded to the nearest frame); time
// does not pass during the first two steps after a (re)start nor while the control is paused.
//
// Step (once per scene step of the control; returns true once, when a non-looping motion
// reaches its end):
//   1. After the first two steps, a relative film whose control was moved by a script (its left
//      or top differ from the last step's) moves its base point to the control's left and top.
//   2. A finished motion does nothing more.
//   3. The first step takes the base point (the control's left and top for a relative film,
//      else 0, 0) and the base depth.
//   4. elapsed += the frame delta once the countdown is below 1 and the control is not paused.
//   5. frame = round(elapsed / 16.666666666666668).
//   6. Past the last frame: with the control's loop flag, frame mod count + loop-start frame
//      (at most count − 1), and elapsed restarts at that frame's time; without loop the last
//      frame, finished.
//   7. The frame is applied on the first step, when it changed, or when the base point moved.
//   8. The countdown goes down; the control's left and top are remembered.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "scene/model/motion_film.h"

namespace orin {

class TOrinControl;

class TOrinMotion {
 public:
  static constexpr double kFrameTime = 16.666666666666668;

  TOrinMotion(TOrinControl& control, std::unique_ptr<MotionFilm> film, std::string fileName);

  bool Step(int32_t frameDelta);
  // Elapsed 0, countdown 2, not finished.
  void Restart();
  // Moves the motion to the time of a frame (property 44 of a control with a motion).
  void SetFrameTime(int32_t frame);

  const MotionFilm& Film() const { return *film_; }
  const std::string& FileName() const { return fileName_; }
  int32_t CurrentFrame() const { return frame_; }
  int32_t Elapsed() const { return elapsed_; }
  bool Finished() const { return finished_; }
  int32_t BaseDepth() const { return baseDepth_; }

 private:
  TOrinControl& control_;
  std::unique_ptr<MotionFilm> film_;
  std::string fileName_;
  int32_t elapsed_ = 0;
  int32_t countdown_ = 2;
  bool finished_ = false;
  int32_t frame_ = -1;
  int32_t baseX_ = 0;
  int32_t baseY_ = 0;
  int32_t baseDepth_ = 0;
  int32_t lastLeft_ = 0;
  int32_t lastTop_ = 0;
};

}  // namespace orin
