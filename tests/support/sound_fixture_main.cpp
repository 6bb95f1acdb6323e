// sound_fixture: writes one test sound (see sound_fixtures.h) for the test games' builds.
//   sound_fixture CODEC CHANNELS RATE MS FREQ OUT
// CODEC: ogg, wav16, wav8, adpcm, wma. FREQ 0 makes noise.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "support/sound_fixtures.h"

int main(int argc, char** argv) {
  using orin::test::SoundCodec;
  if (argc != 7) {
    std::fprintf(stderr, "usage: sound_fixture ogg|wav16|wav8|adpcm|wma CHANNELS RATE MS FREQ OUT\n");
    return 2;
  }
  const std::string codec = argv[1];
  orin::test::SoundShape shape;
  if (codec == "ogg") shape.Codec = SoundCodec::kVorbis;
  else if (codec == "wav16") shape.Codec = SoundCodec::kWavPcm16;
  else if (codec == "wav8") shape.Codec = SoundCodec::kWavPcm8;
  else if (codec == "adpcm") shape.Codec = SoundCodec::kWavAdpcm;
  else if (codec == "wma") shape.Codec = SoundCodec::kWma;
  else {
    std::fprintf(stderr, "sound_fixture: unknown codec %s\n", argv[1]);
    return 2;
  }
  shape.Channels = std::atoi(argv[2]);
  shape.SampleRate = std::atoi(argv[3]);
  const long ms = std::atol(argv[4]);
  shape.Frequency = std::atof(argv[5]);
  if (shape.Channels < 1 || shape.Channels > 2 || shape.SampleRate < 8000 || shape.SampleRate > 96000 || ms < 1 ||
      ms > 600000) {
    std::fprintf(stderr, "sound_fixture: channels 1-2, rate 8000-96000, 1-600000 ms\n");
    return 2;
  }
  shape.Frames = static_cast<int64_t>(shape.SampleRate) * ms / 1000;
  try {
    const std::string bytes = orin::test::MakeSound(shape);
    FILE* f = std::fopen(argv[6], "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f) != 0) {
      std::fprintf(stderr, "sound_fixture: cannot write %s\n", argv[6]);
      return 1;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "sound_fixture: %s\n", e.what());
    return 1;
  }
  return 0;
}
