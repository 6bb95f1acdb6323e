#include "media/media_objects.h"

#include <algorithm>

#include "media/media_set.h"
#include "media/midi_manager.h"
#include "media/orin_sound.h"
#include "media/orin_video.h"
#include "scene/model/orin_object.h"

namespace orin {

std::unique_ptr<TOrinObject> MediaObjects::MakeObject(uint8_t kind, TOrinBaseList& owner) {
  switch (kind) {
    case kKindSound:
      return std::make_unique<TOrinSound>(&owner, set_);
    case kKindVideo:
      return std::make_unique<TOrinVideo>(&owner, SceneServices{}, set_);
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
void MediaObjects::BeforeDisplaySwitch(bool) { set_.Midi().BeforeDisplaySwitch(); }
void MediaObjects::AfterDisplaySwitch(bool) { set_.Midi().AfterDisplaySwitch(); }

std::string MediaObjects::MidiPort() { return set_.Midi().DeviceName(set_.Midi().SelectedDevice()); }

void MediaObjects::SetMidiPort(const std::string& name) {
  const auto& names = set_.Midi().DeviceNames();
  auto found = std::find(names.begin(), names.end(), name);
  if (found != names.end()) set_.Midi().SelectDevice(static_cast<int>(found - names.begin()));
}

int32_t MediaObjects::MidiPortCount() { return static_cast<int32_t>(set_.Midi().DeviceNames().size()); }
std::string MediaObjects::MidiPortName(int i) { return set_.Midi().DeviceName(i); }

}  // namespace orin
