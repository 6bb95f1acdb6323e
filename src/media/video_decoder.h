// VideoDecoder: the pictures of a movie read from a stream, converted once to the screen's 32-bit
// format (0x00RRGGBB, the fourth byte 0); and the movie's sound as an AudioDecoder. Only
// media/ffmpeg/ implements them.
//
// Containers: ASF (WMV 7/8/9, VC-1), MPEG program, transport and elementary streams, AVI,
// MP4/MOV, Matroska and Ogg; no other demuxer sees the data. Refused with an Error (a plain
// reason): data that is no movie, a movie without pictures, a codec without a decoder, and
// pictures larger than kMaxVideoSide on a side or kMaxVideoArea in all, before anything is sized
// by them. Damage met while decoding ends the pictures there (Failure says so). A decoder is used
// by one thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "imaging/dib_surface.h"
#include "media/audio_decoder.h"

namespace orin {

class Stream;

constexpr int kMaxVideoSide = 8192;
constexpr int64_t kMaxVideoArea = int64_t{4096} * 4096;

// One stream of pictures as the container describes it.
struct VideoStreamInfo {
  int Index = 0;  // the stream's number in the container
  std::string Codec;
  int Width = 0;
  int Height = 0;
  double FrameRate = 0;
  int64_t LengthMs = 0;
};

struct VideoInfo {
  std::string Container;
  std::string Codec;
  int Width = 0;
  int Height = 0;
  double FrameRate = 0;   // 0 when the container does not say
  int64_t LengthMs = 0;   // 0 when unknown
  std::string AudioCodec;  // empty without sound
  // Every stream of pictures (ProbeVideo only; the one played is the container's best).
  std::vector<VideoStreamInfo> Streams;
};

// One picture: its time from the start of the movie and its pixels at the decoder's output size.
struct VideoFrame {
  int64_t TimeMs = 0;
  TDIBSurface Picture;
};

class VideoDecoder {
 public:
  virtual ~VideoDecoder() = default;
  virtual const VideoInfo& Info() const = 0;
  // The next picture into frame (its surface is reused when it has the output size already);
  // false at the end of the pictures.
  virtual bool Next(VideoFrame& frame) = 0;
  // Next then gives the first picture whose time is at or after ms (the last one before, when ms
  // lies beyond the end).
  virtual void Seek(int64_t ms) = 0;
  // Damage met while decoding (empty when none).
  virtual const std::string& Failure() const = 0;
};

// Opens the stream (from its position 0); pictures come at width × height (0: the movie's own
// size). label names the data in messages. Throws Error.
std::unique_ptr<VideoDecoder> OpenVideoDecoder(std::shared_ptr<Stream> stream, const std::string& label, int width = 0,
                                               int height = 0);
// What the stream holds, without decoding pictures. Throws Error as OpenVideoDecoder does.
VideoInfo ProbeVideo(std::shared_ptr<Stream> stream, const std::string& label);
// The movie's sound in the output format (PcmFormat::Output()). Throws Error when it has none.
std::unique_ptr<AudioDecoder> OpenMovieAudio(std::shared_ptr<Stream> stream, const std::string& label);

}  // namespace orin
