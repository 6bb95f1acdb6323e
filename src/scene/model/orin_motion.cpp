#include "scene/model/orin_motion.h"

#include <cmath>

#include "scene/model/orin_control.h"

namespace orin {

namespace {

int32_t RoundFrame(double v) { return static_cast<int32_t>(std::nearbyint(v)); }

}  // namespace

TOrinMotion::TOrinMotion(TOrinControl& control, std::unique_ptr<MotionFilm> film, std::string fileName)
    : control_(control), film_(std::move(film)), fileName_(std::move(fileName)) {}

void TOrinMotion::Restart() {
  elapsed_ = 0;
  countdown_ = 2;
  finished_ = false;
}

void TOrinMotion::SetFrameTime(int32_t frame) {
  elapsed_ = RoundFrame(frame * kFrameTime);
}

bool TOrinMotion::Step(int32_t frameDelta) {
  bool baseMoved = false;
  if (countdown_ <= 0 && film_->Relative && (control_.Left() != lastLeft_ || control_.Top() != lastTop_)) {
    baseX_ = control_.Left();
    baseY_ = control_.Top();
    baseMoved = true;
  }
  if (finished_) return false;
  const bool first = countdown_ == 2;
  if (first) {
    baseX_ = film_->Relative ? control_.Left() : 0;
    baseY_ = film_->Relative ? control_.Top() : 0;
    baseDepth_ = control_.Depth();
    lastLeft_ = control_.Left();
    lastTop_ = control_.Top();
  }
  if (countdown_ < 1 && !control_.Paused()) elapsed_ += frameDelta;
  // Long runs of frames are far from int32's range; a negative elapsed (a huge delta wrapped)
  // counts as the start.
  int32_t frame = elapsed_ < 0 ? 0 : RoundFrame(elapsed_ / kFrameTime);
  const int32_t count = film_->FrameCount();
  bool ended = false;
  if (frame >= count) {
    if (control_.Loop() && count > 0) {
      frame = frame % count + film_->LoopStart;
      if (frame > count - 1) frame = count - 1;
      elapsed_ = RoundFrame(frame * kFrameTime);
    } else if (control_.Loop()) {
      frame = 0;
    } else {
      frame = count - 1;
      finished_ = true;
      ended = true;
    }
  }
  if (frame >= 0 && frame < count && (first || frame != frame_ || baseMoved))
    control_.ApplyMotionFrame(*film_, frame, baseX_, baseY_);
  frame_ = frame;
  if (countdown_ > 0) --countdown_;
  lastLeft_ = control_.Left();
  lastTop_ = control_.Top();
  return ended;
}

}  // namespace orin
