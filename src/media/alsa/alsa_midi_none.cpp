// Built without ALSA: no ports.
#include "media/alsa/alsa_midi.h"

namespace orin {

std::vector<AlsaMidiPort> ListAlsaMidiPorts() { return {}; }
std::unique_ptr<MidiOut> OpenAlsaMidiPort(const AlsaMidiPort&) { return nullptr; }

}  // namespace orin
