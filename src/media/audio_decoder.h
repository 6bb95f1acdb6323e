// AudioDecoder: compressed or PCM audio read from a stream, handed out as interleaved PCM in the
// format asked for at opening. Only media/ffmpeg/ implements it.
//
// The stream is read from the decoder's caller's thread only; a decoder is used by one thread at
// a time (its owner serialises). Nothing is sized by header values: lengths come from the
// container and are only a hint; Read ends where the data ends.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace orin {

class Stream;

// What a file holds, as the container and codec report it.
struct AudioInfo {
  std::string Container;  // "ogg", "wav", "asf", …
  std::string Codec;      // "vorbis", "pcm_s16le", "adpcm_ms", "wmav2", …
  int Channels = 0;
  int SampleRate = 0;
  int BitsPerSample = 0;  // of the decoded PCM: 8 or 16 (wider sources are given as 16)
  int64_t LengthMs = 0;   // 0 when unknown
};

// The PCM a decoder produces.
struct PcmFormat {
  int Channels = 2;      // 1 or 2
  int SampleRate = 44100;
  int BitsPerSample = 16;  // 16 signed, or 8 unsigned
  int BlockAlign() const { return Channels * BitsPerSample / 8; }
  static PcmFormat Output() { return {}; }
};

class AudioDecoder {
 public:
  virtual ~AudioDecoder() = default;
  virtual const AudioInfo& Info() const = 0;
  virtual const PcmFormat& Format() const = 0;
  // Frames in the output format from the container's length (a hint; 0 when unknown).
  virtual int64_t LengthFrames() const = 0;
  // Up to frames frames into out; fewer only at the end of the data (0 there) or when the data
  // turns out damaged (Failure then says so).
  virtual int64_t Read(void* out, int64_t frames) = 0;
  // To frame (output format) from the start; beyond the end reads nothing more.
  virtual void Seek(int64_t frame) = 0;
  // The frame Read continues at.
  virtual int64_t Position() const = 0;
  // A damaged part met while reading (empty when none).
  virtual const std::string& Failure() const = 0;
};

// Opens the stream (read from its position 0). native: the source's own channels (at most 2),
// rate and depth (8 or 16 bits); otherwise PcmFormat::Output(), a mono source in both channels at
// full level. Throws Error with a plain reason when the data is not audio it can decode; label
// names the data in messages.
std::unique_ptr<AudioDecoder> OpenAudioDecoder(std::shared_ptr<Stream> stream, const std::string& label,
                                               bool native);

}  // namespace orin
