#include "media/fluidsynth/midi_synth.h"

#include <fluidsynth.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <mutex>

namespace orin {

namespace {

constexpr size_t kChunkFrames = 1024;

void QuietLog(int, const char*, void*) {}

void SilenceFluidLog() {
  // FluidSynth prints to stderr by default; the player reports a missing SoundFont itself.
  static std::once_flag once;
  std::call_once(once, [] {
    for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG}) fluid_set_log_function(level, QuietLog, nullptr);
  });
}

}  // namespace

struct MidiSynth::Impl {
  fluid_settings_t* settings = nullptr;
  fluid_synth_t* synth = nullptr;
  ~Impl() {
    if (synth) delete_fluid_synth(synth);
    if (settings) delete_fluid_settings(settings);
  }
};

class MidiSynthOut : public MidiOut {
 public:
  explicit MidiSynthOut(MidiSynth& synth) : synth_(synth) { synth_.handles_.fetch_add(1, std::memory_order_acq_rel); }
  ~MidiSynthOut() override { synth_.handles_.fetch_sub(1, std::memory_order_acq_rel); }
  void SendShort(std::span<const uint8_t> message) override { synth_.SendShort(message); }
  void SendLong(std::span<const uint8_t> message) override { synth_.SendLong(message); }
  void Reset() override { synth_.Reset(); }

 private:
  MidiSynth& synth_;
};

std::vector<std::string> MidiSynth::SoundFontCandidates() {
  std::vector<std::string> list;
  // A SoundFont the user names is the only one tried: falling back to another would hide a mistake.
  if (const char* env = std::getenv("ORIN_SOUNDFONT"); env && *env) return {env};
  for (const char* path : {"/usr/share/sounds/sf2/default-GM.sf2", "/usr/share/sounds/sf2/FluidR3_GM.sf2",
                           "/usr/share/soundfonts/default.sf2", "/usr/share/soundfonts/FluidR3_GM.sf2",
                           "/usr/share/sounds/sf3/default-GM.sf3", "/usr/share/sounds/sf3/MuseScore_General.sf3"})
    list.emplace_back(path);
  return list;
}

std::unique_ptr<MidiSynth> MidiSynth::Create(std::string* failure) {
  SilenceFluidLog();
  std::vector<std::string> candidates = SoundFontCandidates();
  std::unique_ptr<MidiSynth> result(new MidiSynth());
  auto impl = std::make_unique<Impl>();
  impl->settings = new_fluid_settings();
  if (!impl->settings) {
    if (failure) *failure = "the synthesizer could not be set up";
    return nullptr;
  }
  fluid_settings_setnum(impl->settings, "synth.sample-rate", 44100.0);
  fluid_settings_setint(impl->settings, "synth.midi-channels", 16);
  // Device 16 (0x10) is the one GS reset messages in game music address.
  fluid_settings_setint(impl->settings, "synth.device-id", 16);
  fluid_settings_setint(impl->settings, "synth.threadsafe-api", 1);
  impl->synth = new_fluid_synth(impl->settings);
  if (!impl->synth) {
    if (failure) *failure = "the synthesizer could not be set up";
    return nullptr;
  }
  std::error_code ec;
  for (const std::string& path : candidates) {
    if (!std::filesystem::is_regular_file(path, ec)) continue;
    if (fluid_synth_sfload(impl->synth, path.c_str(), 1) != FLUID_FAILED) {
      result->soundFont_ = path;
      break;
    }
  }
  if (result->soundFont_.empty()) {
    if (failure) {
      std::string tried;
      for (const std::string& path : candidates) tried += (tried.empty() ? "" : ", ") + path;
      *failure = "MIDI music is silent: no SoundFont could be loaded (tried " + tried +
                 "); set ORIN_SOUNDFONT to a General MIDI .sf2 file";
    }
    return nullptr;
  }
  result->impl_ = std::move(impl);
  result->left_.resize(kChunkFrames);
  result->right_.resize(kChunkFrames);
  return result;
}

MidiSynth::~MidiSynth() = default;

std::unique_ptr<MidiOut> MidiSynth::OpenOut() { return std::make_unique<MidiSynthOut>(*this); }

void MidiSynth::Render(int32_t* acc, size_t frames) {
  while (frames > 0) {
    size_t n = std::min(frames, kChunkFrames);
    fluid_synth_write_float(impl_->synth, static_cast<int>(n), left_.data(), 0, 1, right_.data(), 0, 1);
    for (size_t i = 0; i < n; ++i) {
      acc[2 * i] += static_cast<int32_t>(std::lrintf(std::clamp(left_[i], -1.0f, 1.0f) * 32767.0f));
      acc[2 * i + 1] += static_cast<int32_t>(std::lrintf(std::clamp(right_[i], -1.0f, 1.0f) * 32767.0f));
    }
    acc += 2 * n;
    frames -= n;
  }
}

void MidiSynth::SendShort(std::span<const uint8_t> m) {
  if (m.empty()) return;
  fluid_synth_t* s = impl_->synth;
  int channel = m[0] & 0x0F;
  auto data = [&](size_t i) { return i < m.size() ? static_cast<int>(m[i] & 0x7F) : 0; };
  switch (m[0] & 0xF0) {
    case 0x80: fluid_synth_noteoff(s, channel, data(1)); break;
    case 0x90:
      if (data(2) == 0) fluid_synth_noteoff(s, channel, data(1));
      else fluid_synth_noteon(s, channel, data(1), data(2));
      break;
    case 0xA0: fluid_synth_key_pressure(s, channel, data(1), data(2)); break;
    case 0xB0: fluid_synth_cc(s, channel, data(1), data(2)); break;
    case 0xC0: fluid_synth_program_change(s, channel, data(1)); break;
    case 0xD0: fluid_synth_channel_pressure(s, channel, data(1)); break;
    case 0xE0: fluid_synth_pitch_bend(s, channel, data(1) | data(2) << 7); break;
    default: break;
  }
}

void MidiSynth::SendLong(std::span<const uint8_t> m) {
  // FluidSynth takes a complete message without its F0 and F7; escapes (F7 …) carry no message
  // of their own for a synthesizer.
  if (m.size() < 2 || m[0] != 0xF0) return;
  size_t n = m.size() - 1;
  if (m.back() == 0xF7) --n;
  fluid_synth_sysex(impl_->synth, reinterpret_cast<const char*>(m.data() + 1), static_cast<int>(n), nullptr, nullptr,
                    nullptr, 0);
}

void MidiSynth::Reset() { fluid_synth_system_reset(impl_->synth); }

}  // namespace orin
