#include "script/flip_transition.h"

#include "imaging/screen_surface.h"
#include "scene/model/orin_base_list.h"
#include "scene/model/scene_transition.h"

namespace orin {

namespace {

// A wipe running on its own target surface, as the scene presents it.
class WipeTransition final : public SceneTransition {
 public:
  WipeTransition(std::unique_ptr<TCustomWipe> wipe, const ScreenSurface& outgoing, const ScreenSurface& incoming,
                 int32_t duration)
      : wipe_(std::move(wipe)), target_(outgoing.Width(), outgoing.Height(), outgoing.Depth()) {
    target_.Copy(0, 0, outgoing, outgoing.Bounds());
    wipe_->Attach(target_, outgoing, incoming, duration);
  }

  void Prepare() { wipe_->Prepare(); }

  bool Step(int32_t time) override {
    wipe_->SetTime(time);
    return wipe_->Step();
  }
  ScreenSurface& Target() override { return target_; }

 private:
  std::unique_ptr<TCustomWipe> wipe_;
  ScreenSurface target_;
};

}  // namespace

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
  auto transition = std::make_unique<WipeTransition>(std::move(wipe), outgoing, incoming, request.Duration);
  transition->Prepare();
  scene.SwitchActive(scene.ActiveIndex(), std::move(transition));
  return true;
}

}  // namespace orin
