// A movie from untrusted bytes through the player's decoders: opening either works or throws
// orin::Error, a bounded number of pictures decode at bounded sizes, a seek stays inside the
// data, and the movie's sound decodes likewise.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <vector>

#include "core/error.h"
#include "media/video_decoder.h"
#include "resources/stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto stream = std::make_shared<orin::MemoryStream>();
  stream->Assign(std::string_view(reinterpret_cast<const char*>(data), size));
  try {
    auto decoder = orin::OpenVideoDecoder(stream, "fuzz");
    orin::VideoFrame frame;
    for (int i = 0; i < 16 && decoder->Next(frame); ++i) {
      if (frame.Picture.Width() > orin::kMaxVideoSide || frame.Picture.Height() > orin::kMaxVideoSide) std::abort();
    }
    decoder->Seek(decoder->Info().LengthMs / 2);
    decoder->Next(frame);
  } catch (const orin::Error&) {
  }
  try {
    auto copy = std::make_shared<orin::MemoryStream>();
    copy->Assign(std::string_view(reinterpret_cast<const char*>(data), size));
    auto sound = orin::OpenMovieAudio(copy, "fuzz");
    std::vector<int16_t> pcm(4096 * 2);
    for (int i = 0; i < 16 && sound->Read(pcm.data(), 4096) > 0; ++i) {
    }
  } catch (const orin::Error&) {
  }
  return 0;
}
