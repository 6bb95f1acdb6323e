#include "media/midi_manager.h"

#include <algorithm>

#include "core/cp932.h"
#include "core/error.h"
#include "core/text.h"
#include "media/fluidsynth/midi_synth.h"
#include "media/media_engine.h"
#include "resources/stream.h"

namespace orin {
using namespace literals;

namespace {

constexpr int kSliceFrames = 441;  // 10 ms of sound: one sequencer step
constexpr uint8_t kGmSystemOn[6] = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};

}  // namespace

// The manager's place in the mixer: the synthesizer's sound, and in headless runs the
// sequencer's steps, one at every 10 ms of the sample clock.
class MidiMixSource : public MixSource {
 public:
  MidiMixSource(MediaEngine& engine, TMidiPlayV* driven) : engine_(engine), driven_(driven) {}

  void SetSynthLocked(MidiSynth* synth) { synth_ = synth; }

  void MixLocked(int32_t* acc, size_t frames) override {
    uint64_t clock = engine_.ClockFrames();
    size_t done = 0;
    while (done < frames) {
      uint64_t at = clock + done;
      size_t phase = static_cast<size_t>(at % kSliceFrames);
      if (driven_ && phase == 0) driven_->Step(static_cast<uint32_t>(at / kSliceFrames * 10));
      size_t n = std::min(frames - done, kSliceFrames - phase);
      if (synth_ && synth_->Active()) synth_->Render(acc + 2 * done, n);
      done += n;
    }
  }
  void Pump() override {}

 private:
  MediaEngine& engine_;
  TMidiPlayV* driven_;
  MidiSynth* synth_ = nullptr;
};

// --- TMidiItem ---

TMidiItem::TMidiItem(TMidiManager& manager, std::string name) : TDMediaItem(manager, std::move(name)) {}

TMidiItem::~TMidiItem() {
  TMidiManager& m = Midi();
  if (m.current_ != this) return;
  m.sequencer_.Stop();
  m.CloseDevice();
  m.current_ = nullptr;
}

TMidiManager& TMidiItem::Midi() { return static_cast<TMidiManager&>(Manager()); }
bool TMidiItem::Current() { return Midi().current_ == this; }

bool TMidiItem::ReadData(std::vector<uint8_t>& data) {
  try {
    std::shared_ptr<Stream> stream = Midi().engine_.OpenData(Name(), true);
    StreamBytes bytes(*stream);
    data.assign(bytes.Span().begin(), bytes.Span().end());
  } catch (const Error& e) {
    SetFailure(e.Message());
    Midi().engine_.Trace(e.Message());
    return false;
  }
  if (data.empty()) {
    SetFailure(Name() + ": the MIDI file is empty");
    Midi().engine_.Trace(Failure());
    return false;
  }
  return true;
}

void TMidiItem::SetAutoRepeat(bool value) {
  autoRepeat_ = value;
  if (Current()) Midi().sequencer_.SetRepeat(value);
}

void TMidiItem::SetVol(int32_t vol) {
  vol_ = vol;
  if (Current()) Midi().sequencer_.SetControllerScale(7, vol / 100 + 100);
}

int32_t TMidiItem::GetPosition() {
  if (Current() && Midi().sequencer_.IsRunning()) return Midi().sequencer_.Position();
  return position_;
}

void TMidiItem::SetPosition(int32_t ms) {
  ms = std::max(ms, 0);
  if (Current() && Midi().sequencer_.IsRunning()) Midi().sequencer_.PlayFrom(ms);
  else position_ = ms;
}

int32_t TMidiItem::GetLen() {
  if (!length_) {
    std::vector<uint8_t> data;
    TMidiV parsed;
    if (ReadData(data)) parsed.Parse(data);
    length_ = parsed.TotalLength();
  }
  return *length_;
}

bool TMidiItem::IsEnd() {
  if (failedPlay_) return true;
  return Current() && Midi().sequencer_.Ended();
}

bool TMidiItem::IsPlaying() { return Current() && Midi().sequencer_.IsRunning(); }

void TMidiItem::Play() {
  TMidiManager& m = Midi();
  if (!m.Enabled()) return;
  TMidiPlayV& seq = m.sequencer_;
  if (!Current()) {
    std::vector<uint8_t> data;
    if (!ReadData(data)) {
      // Nothing starts; the item still reaches its end, so a script waiting for it goes on.
      failedPlay_ = true;
      return;
    }
    seq.Stop();
    m.current_ = this;
    seq.Load(data);
    length_ = seq.TotalLength();
  }
  m.EnsureOpen();
  seq.SendLong(kGmSystemOn);
  // The reset took the device's programs and controllers: chase them from the start, also when the
  // position falls on an event's time (where a plain seek would have nothing to chase).
  seq.Rewind();
  seq.SetRepeat(autoRepeat_);
  seq.PlayFrom(position_);
  seq.SetControllerScale(7, vol_ / 100 + 100);
}

void TMidiItem::Pause() {
  if (!Current()) return;
  TMidiPlayV& seq = Midi().sequencer_;
  if (seq.IsRunning()) position_ = seq.Position();
  seq.Stop();
}

// --- TMidiManager ---

TMidiManager::TMidiManager(MediaEngine& engine, bool threaded)
    : TDMediaManager(MediaKind::kMidi),
      engine_(engine),
      sequencer_(threaded, threaded ? TMidiPlayV::Clock() : TMidiPlayV::Clock([&engine] { return engine.ClockMs(); })) {
  source_ = std::make_shared<MidiMixSource>(engine_, threaded ? nullptr : &sequencer_);
  engine_.AddSource(source_);
}

TMidiManager::~TMidiManager() {
  Clear();
  CloseDevice();
  engine_.RemoveSource(source_.get());
}

std::unique_ptr<TDMediaItem> TMidiManager::MakeItem(std::string_view name) {
  return std::make_unique<TMidiItem>(*this, std::string(name));
}

const std::vector<std::string>& TMidiManager::DeviceNames() {
  if (!listed_) {
    listed_ = true;
    deviceNames_.push_back("MIDIマッパー"_sj);
    ports_ = ListAlsaMidiPorts();
    for (const AlsaMidiPort& port : ports_) deviceNames_.push_back(Utf8ToCp932(port.Name).value_or(port.Name));
  }
  return deviceNames_;
}

std::string TMidiManager::DeviceName(int index) {
  const auto& names = DeviceNames();
  if (index < 0 || index >= static_cast<int>(names.size())) return names[0];
  return names[static_cast<size_t>(index)];
}

void TMidiManager::SelectDevice(int index) {
  int count = static_cast<int>(DeviceNames().size());
  index = std::clamp(index, 0, count - 1);
  if (index == selected_) return;
  bool playing = sequencer_.IsRunning();
  int32_t at = sequencer_.Position();
  sequencer_.Stop();
  CloseDevice();
  selected_ = index;
  if (playing) {
    EnsureOpen();
    sequencer_.Rewind();
    sequencer_.PlayFrom(at);
  }
}

void TMidiManager::BeforeDisplaySwitch() {
  resumeAfterSwitch_ = false;
  if (!current_) return;
  resumeAfterSwitch_ = sequencer_.IsRunning();
  switchPosition_ = sequencer_.Position();
  sequencer_.Stop();
  CloseDevice();
}

void TMidiManager::AfterDisplaySwitch() {
  if (!current_) return;
  EnsureOpen();
  if (resumeAfterSwitch_) {
    sequencer_.Rewind();
    sequencer_.PlayFrom(switchPosition_);
  }
  resumeAfterSwitch_ = false;
}

std::unique_ptr<MidiOut> TMidiManager::OpenDevice(int index) {
  if (index <= 0) {
    if (!synthTried_) {
      synthTried_ = true;
      synth_ = MidiSynth::Create(&synthFailure_);
      if (synth_) {
        std::lock_guard lock(engine_.Lock());
        source_->SetSynthLocked(synth_.get());
      } else {
        engine_.Trace(synthFailure_);
      }
    }
    return synth_ ? synth_->OpenOut() : nullptr;
  }
  DeviceNames();
  if (static_cast<size_t>(index) > ports_.size()) return nullptr;
  std::unique_ptr<MidiOut> out = OpenAlsaMidiPort(ports_[static_cast<size_t>(index) - 1]);
  if (!out) engine_.Trace(DeviceName(index) + ": the MIDI device could not be opened");
  return out;
}

void TMidiManager::EnsureOpen() {
  if (sequencer_.IsOpen()) return;
  sequencer_.Open(OpenDevice(selected_));
}

void TMidiManager::CloseDevice() {
  // The device is destroyed outside the sequencer's lock: the mixer may be waiting for that lock
  // while holding its own.
  std::unique_ptr<MidiOut> device = sequencer_.Close();
  device.reset();
}

}  // namespace orin
