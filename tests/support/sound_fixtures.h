// Sound fixtures made at test time with FFmpeg's encoders: sine tones and noise bursts as Ogg
// Vorbis, WAV (16-bit or 8-bit PCM, MS ADPCM) and WMA, returned as bytes. Nothing binary is
// committed; the sound tests, the app tests and the sound test game all make theirs here
// (the program sound_fixture and the CMake function orin_sound_fixture in tests/CMakeLists.txt
// do the same at build time).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orin::test {

enum class SoundCodec { kVorbis, kWavPcm16, kWavPcm8, kWavAdpcm, kWma };

struct SoundShape {
  SoundCodec Codec = SoundCodec::kWavPcm16;
  int Channels = 2;
  int SampleRate = 44100;
  int64_t Frames = 44100;
  double Frequency = 440.0;  // 0: noise from a fixed seed
  double Amplitude = 0.5;    // of full scale
};

// The samples a shape stands for, interleaved 16-bit (what a lossless codec must give back).
std::vector<int16_t> SoundSamples(const SoundShape& shape);
// The encoded file. Throws std::runtime_error when the encoder is missing.
std::string MakeSound(const SoundShape& shape);
// The same for samples made elsewhere (interleaved 16-bit, shape.Frames of them per channel): the
// demo game synthesises its music and effects and encodes them here.
std::string EncodeSound(const SoundShape& shape, const std::vector<int16_t>& samples);

}  // namespace orin::test
