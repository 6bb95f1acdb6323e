// A standard MIDI file from untrusted bytes: the reader builds its list, the dump prints it, and
// the sequencer seeks into it and plays a few seconds of it to a device that drops everything.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "media/midi_play_v.h"
#include "media/midi_v.h"

namespace {

class NullOut : public orin::MidiOut {
 public:
  void SendShort(std::span<const uint8_t>) override {}
  void SendLong(std::span<const uint8_t>) override {}
  void Reset() override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> bytes(data, size);
  orin::TMidiV midi;
  midi.Parse(bytes);
  orin::DumpMidiEvents(midi);

  uint32_t now = 0;
  orin::TMidiPlayV seq(false, [&now] { return now; });
  seq.Load(bytes);
  seq.Open(std::make_unique<NullOut>());
  seq.SetRepeat(size % 2 == 1);
  seq.PlayFrom(seq.TotalLength() / 2);
  for (int i = 0; i < 100; ++i) seq.Step(now += 97);
  seq.SetControllerScale(7, 50);
  seq.PlayFrom(0);
  for (int i = 0; i < 100; ++i) seq.Step(now += 1000);
  return 0;
}
