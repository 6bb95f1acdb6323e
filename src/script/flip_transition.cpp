#include "script/flip_transition.h"

#include "imaging/screen_surface.h"
#include "scene/model/orin_base_list.h"
#include "scene/model/scene_transition.h"

namespace orin {

namespace {

// A wipe running on its own target surface, as the scene presents it. The outgoing picture is
// the active root's surface, or a copy of its own when the screen showed something else.
class WipeTransition final : public SceneTransition {
 public:
  WipeTransition(std::unique_ptr<TCustomWipe> wipe, const ScreenSurface& shown, const ScreenSurface* outgoing,
                 const ScreenSurface& incoming, int32_t duration)
      : wipe_(std::move(wipe)), target_(shown.Width(), shown.Height(), shown.Depth()) {
    target_.Copy(0, 0, shown, shown.Bounds());
    if (!outgoing) {
      held_.SetSize(shown.Width(), shown.Height(), shown.Depth());
      held_.Copy(0, 0, shown, shown.Bounds());
      outgoing = &held_;
    }
    wipe_->Attach(target_, *outgoing, incoming, duration);
  }

  void Prepare() { wipe_->Prepare(); }

  bool Step(int32_t time) override {
    time_ = time;
    stepped_ = true;
    return time >= wipe_->Duration();
  }
  void Compose() override {
    if (!stepped_) return;
    wipe_->SetTime(time_);
    wipe_->Step();
  }
  ScreenSurface& Target() override { return target_; }

 private:
  std::unique_ptr<TCustomWipe> wipe_;
  ScreenSurface target_;
  ScreenSurface held_;
  int32_t time_ = 0;
  bool stepped_ = false;
};

}  // namespace

void WipeTransitions::SetScreenSize(int32_t width, int32_t height) { table_.SetDefaults(30, width / 2, height / 2); }

bool WipeTransitions::Start(TOrinBaseList& scene, const FlipRequest& request) {
  std::unique_ptr<TCustomWipe> wipe = table_.Make(request.Kind);
  if (!wipe) return false;
  const ScreenSurface& outgoing = scene.ActiveRoot().Surface();
  const ScreenSurface& incoming = scene.InactiveRoot().Surface();
  // A scene that was never sized has nothing to show in between.
  if (outgoing.Width() <= 0 || outgoing.Height() <= 0) return false;
  wipe->SetRandom(random_);
  wipe->SetReverse(request.Reverse);
  if (request.Param0) wipe->SetParam(0, *request.Param0);
  if (request.Param1) wipe->SetParam(1, *request.Param1);
  if (request.StrParam) wipe->SetName(*request.StrParam);
  SceneTransition* running = scene.Transition();
  const ScreenSurface& shown = running ? running->Target() : outgoing;
  auto transition =
      std::make_unique<WipeTransition>(std::move(wipe), shown, running ? nullptr : &outgoing, incoming, request.Duration);
  transition->Prepare();
  scene.SwitchActive(scene.ActiveIndex(), std::move(transition));
  return true;
}

}  // namespace orin
