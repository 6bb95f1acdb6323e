#include "media/media_objects.h"

#include "media/media_set.h"
#include "media/orin_sound.h"
#include "scene/model/orin_object.h"

namespace orin {

std::unique_ptr<TOrinObject> MediaObjects::MakeObject(uint8_t kind, TOrinBaseList& owner) {
  switch (kind) {
    case kKindSound:
      return std::make_unique<TOrinSound>(&owner, set_);
    // kKindVideo: the video object goes here.
    default:
      return nullptr;
  }
}

void MediaObjects::SetSoundOn(bool on) {
  soundOn_ = on;
  set_.SetSoundEnabled(on);
}

void MediaObjects::Suspend() { set_.Suspend(); }
void MediaObjects::Resume() { set_.Resume(); }
void MediaObjects::BeforeDisplaySwitch(bool) {}
void MediaObjects::AfterDisplaySwitch(bool) {}

}  // namespace orin
