// A sound file from untrusted bytes through the player's decoder: opening either works or throws
// orin::Error, decoding ends, and seeking stays inside the data. The first byte chooses the
// player's output format or the source's own, and the name's extension: each container the
// player plays by its name, or none (the probe among them).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "core/error.h"
#include "media/audio_decoder.h"
#include "resources/stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  static const char* const kNames[8] = {"fuzz",      "fuzz.ogg", "fuzz.wav", "fuzz.wma",
                                        "fuzz.flac", "fuzz.mp3", "fuzz.asf", "fuzz.bin"};
  auto stream = std::make_shared<orin::MemoryStream>();
  stream->Assign(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
  try {
    auto decoder = orin::OpenAudioDecoder(stream, kNames[(data[0] >> 1) & 7], (data[0] & 1) != 0);
    std::vector<uint8_t> pcm(4096 * 4);
    // A bound on the work, not on correctness: a tiny file cannot hold minutes of sound.
    for (int i = 0; i < 16 && decoder->Read(pcm.data(), 4096) > 0; ++i) {
    }
    decoder->Seek(decoder->LengthFrames() / 2);
    decoder->Read(pcm.data(), 4096);
  } catch (const orin::Error&) {
  }
  return 0;
}
