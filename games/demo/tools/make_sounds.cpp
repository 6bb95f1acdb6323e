// make_sounds: synthesises the demo game's Ogg music, its voice line and its sound effects and
// encodes them with FFmpeg through the test fixtures' encoder.
//   make_sounds OUTDIR
// writes river.ogg, voice.ogg, click.wav, chime.wav and page.wav. Everything is computed from
// fixed formulas and a fixed seed, so every build makes the same sounds.
#include <cmath>
#include <cstdio>
#include <exception>
#include <fstream>
#include <string>
#include <vector>

#include "support/sound_fixtures.h"

namespace {

constexpr int kRate = 44100;
constexpr double kPi = 3.14159265358979323846;

using orin::test::SoundCodec;
using orin::test::SoundShape;

// A stereo buffer of floats that the voices below add into.
struct Mix {
  explicit Mix(double seconds) : Left(static_cast<size_t>(seconds * kRate)), Right(Left.size()) {}
  std::vector<double> Left, Right;
  size_t Frames() const { return Left.size(); }
};

double NoteHz(int midi) { return 440.0 * std::pow(2.0, (midi - 69) / 12.0); }

// A soft electric-piano-like tone: a few partials under an exponential decay.
void AddBell(Mix& mix, double start, double seconds, double hz, double level, double pan) {
  const size_t from = static_cast<size_t>(start * kRate);
  const size_t n = static_cast<size_t>(seconds * kRate);
  for (size_t i = 0; i < n && from + i < mix.Frames(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double attack = std::min(1.0, t / 0.01);
    const double env = attack * std::exp(-t * 3.0) * std::min(1.0, (seconds - t) / 0.05);
    const double v = (std::sin(2 * kPi * hz * t) + 0.35 * std::sin(2 * kPi * hz * 2.0 * t) +
                      0.12 * std::sin(2 * kPi * hz * 3.01 * t)) *
                     env * level;
    mix.Left[from + i] += v * (1.0 - pan) ;
    mix.Right[from + i] += v * (1.0 + pan);
  }
}

// A slow pad: detuned sines with a long attack and release.
void AddPad(Mix& mix, double start, double seconds, double hz, double level) {
  const size_t from = static_cast<size_t>(start * kRate);
  const size_t n = static_cast<size_t>(seconds * kRate);
  for (size_t i = 0; i < n && from + i < mix.Frames(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double env = std::min(1.0, t / 1.2) * std::min(1.0, (seconds - t) / 1.2);
    const double l = std::sin(2 * kPi * hz * 0.998 * t) + 0.3 * std::sin(2 * kPi * hz * 2 * t);
    const double r = std::sin(2 * kPi * hz * 1.002 * t) + 0.3 * std::sin(2 * kPi * hz * 2 * t);
    mix.Left[from + i] += l * env * level;
    mix.Right[from + i] += r * env * level;
  }
}

// Running water: noise through a one-pole low-pass whose level sways slowly.
void AddWater(Mix& mix, double level) {
  uint32_t seed = 20261210;
  double lowL = 0, lowR = 0;
  for (size_t i = 0; i < mix.Frames(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    seed = seed * 1664525u + 1013904223u;
    const double a = static_cast<double>(static_cast<int32_t>(seed)) / 2147483648.0;
    seed = seed * 1664525u + 1013904223u;
    const double b = static_cast<double>(static_cast<int32_t>(seed)) / 2147483648.0;
    lowL += 0.06 * (a - lowL);
    lowR += 0.06 * (b - lowR);
    const double sway = 0.7 + 0.3 * std::sin(2 * kPi * 0.17 * t);
    mix.Left[i] += lowL * level * sway;
    mix.Right[i] += lowR * level * sway;
  }
}

std::vector<int16_t> Interleave(const Mix& mix, double gain) {
  std::vector<int16_t> out(mix.Frames() * 2);
  for (size_t i = 0; i < mix.Frames(); ++i) {
    out[2 * i] = static_cast<int16_t>(std::lround(std::tanh(mix.Left[i] * gain) * 30000));
    out[2 * i + 1] = static_cast<int16_t>(std::lround(std::tanh(mix.Right[i] * gain) * 30000));
  }
  return out;
}

void Write(const std::string& path, SoundCodec codec, const Mix& mix, double gain) {
  SoundShape shape;
  shape.Codec = codec;
  shape.Channels = 2;
  shape.SampleRate = kRate;
  shape.Frames = static_cast<int64_t>(mix.Frames());
  const std::string bytes = orin::test::EncodeSound(shape, Interleave(mix, gain));
  std::ofstream f(path, std::ios::binary);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!f) throw std::runtime_error("cannot write " + path);
}

// The river scene's music: four bars of pad chords under a music-box arpeggio and the water,
// 16 seconds that loop without a seam (every voice has ended before the end).
Mix River() {
  Mix mix(16.0);
  const int chords[4][3] = {{57, 60, 64}, {53, 57, 60}, {55, 59, 62}, {52, 55, 59}};  // Am F G Em
  for (int bar = 0; bar < 4; ++bar) {
    for (int k = 0; k < 3; ++k) AddPad(mix, bar * 4.0, 4.0, NoteHz(chords[bar][k]), 0.06);
    const int arp[8] = {0, 1, 2, 1, 2, 0, 1, 2};
    for (int s = 0; s < 8; ++s) {
      const int note = chords[bar][arp[s]] + 12 + (s >= 5 ? 12 : 0);
      AddBell(mix, bar * 4.0 + s * 0.5, 0.48, NoteHz(note), 0.12, s % 2 ? 0.3 : -0.3);
    }
  }
  AddWater(mix, 0.25);
  return mix;
}

// Yuki's voice line, a hummed phrase: a glottal pulse train shaped by two vowel formants.
Mix Voice() {
  Mix mix(3.0);
  const double pitches[] = {392, 440, 494, 440, 392, 330};
  double phase = 0;
  double f1 = 0, f2 = 0, v1 = 0, v2 = 0;
  for (size_t i = 0; i < mix.Frames(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    const size_t seg = std::min<size_t>(5, static_cast<size_t>(t / 0.5));
    const double hz = pitches[seg] * (1.0 + 0.01 * std::sin(2 * kPi * 5.5 * t));
    phase += hz / kRate;
    if (phase >= 1) phase -= 1;
    const double pulse = 2 * phase - 1;
    // Two resonators (state-variable filters) at "a" and "o" like formants.
    const double fa = 2 * std::sin(kPi * 800 / kRate), fb = 2 * std::sin(kPi * 1150 / kRate);
    f1 += fa * v1;
    v1 += fa * (pulse - f1 - 0.12 * v1);
    f2 += fb * v2;
    v2 += fb * (pulse - f2 - 0.15 * v2);
    const double env = std::min(1.0, t / 0.08) * std::min(1.0, (3.0 - t) / 0.3);
    const double v = (v1 * 0.6 + v2 * 0.4) * env * 0.5;
    mix.Left[i] += v;
    mix.Right[i] += v;
  }
  return mix;
}

Mix Click() {
  Mix mix(0.08);
  for (size_t i = 0; i < mix.Frames(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double v = std::sin(2 * kPi * (1800 - 6000 * t) * t) * std::exp(-t * 60) * 0.5;
    mix.Left[i] += v;
    mix.Right[i] += v;
  }
  return mix;
}

Mix Chime() {
  Mix mix(1.6);
  AddBell(mix, 0.0, 1.6, NoteHz(84), 0.35, -0.2);
  AddBell(mix, 0.12, 1.48, NoteHz(88), 0.3, 0.2);
  AddBell(mix, 0.24, 1.36, NoteHz(91), 0.3, 0.0);
  return mix;
}

Mix Page() {
  Mix mix(0.25);
  uint32_t seed = 7;
  double low = 0;
  for (size_t i = 0; i < mix.Frames(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    seed = seed * 1664525u + 1013904223u;
    low += 0.3 * (static_cast<double>(static_cast<int32_t>(seed)) / 2147483648.0 - low);
    const double v = low * std::sin(kPi * t / 0.25) * 0.6;
    mix.Left[i] += v;
    mix.Right[i] += v;
  }
  return mix;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_sounds OUTDIR\n");
    return 2;
  }
  const std::string dir = std::string(argv[1]) + "/";
  try {
    Write(dir + "river.ogg", SoundCodec::kVorbis, River(), 1.0);
    Write(dir + "voice.ogg", SoundCodec::kVorbis, Voice(), 1.0);
    Write(dir + "click.wav", SoundCodec::kWavPcm16, Click(), 1.0);
    Write(dir + "chime.wav", SoundCodec::kWavPcm16, Chime(), 1.0);
    Write(dir + "page.wav", SoundCodec::kWavPcm16, Page(), 1.0);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make_sounds: %s\n", e.what());
    return 1;
  }
  return 0;
}
