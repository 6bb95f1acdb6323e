// MidiOut: one opened MIDI output device, as the sequencer sees it. The synthesizer (device 0,
// "MIDIマッパー") and the ALSA sequencer's ports implement it.
//
// The sequencer calls it from its timer thread and from the frame loop's thread, never from both
// at once (it holds its own lock around every call). Messages are complete: a short message is a
// status byte and its data; a long one is a system-exclusive message with its status byte (F0 …
// F7, or an F7 escape as stored in the file).
#pragma once

#include <cstdint>
#include <span>

namespace orin {

class MidiOut {
 public:
  virtual ~MidiOut() = default;
  virtual void SendShort(std::span<const uint8_t> message) = 0;
  virtual void SendLong(std::span<const uint8_t> message) = 0;
  // Silences the device and brings its controllers back to their defaults (device closing).
  virtual void Reset() = 0;
  // Whether a reset message needs a moment before the next message (external hardware).
  virtual bool NeedsSettle() const { return false; }
};

}  // namespace orin
