// The ALSA sequencer's writable MIDI ports (hardware synthesizers, other software synthesizers),
// offered as MIDI devices 1, 2, … after the built-in synthesizer. Only the files of this folder
// include ALSA; a build without ALSA, or a machine without the sequencer, lists no ports.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "media/midi_out.h"

namespace orin {

struct AlsaMidiPort {
  std::string Name;  // "client name:port name", UTF-8
  int Client = 0;
  int Port = 0;
};

// The ports another program may write to, except the sequencer's own system ports.
std::vector<AlsaMidiPort> ListAlsaMidiPorts();
// A connection to the port; null when it cannot be made.
std::unique_ptr<MidiOut> OpenAlsaMidiPort(const AlsaMidiPort& port);

}  // namespace orin
