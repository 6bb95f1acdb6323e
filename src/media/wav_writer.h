// WavWriter: records the player's sound into a WAV file — PCM, 44.1 kHz, 16-bit, stereo, the
// canonical 44-byte header ("RIFF" size "WAVE", a 16-byte "fmt " chunk, "data" size), samples
// little-endian.
//
// The header is written at once with sizes 0 and finalised by Finish (or, quietly, by the
// destructor), so a file cut short by a crash still starts like a WAV file. A RIFF size is 32
// bits: past 4 GiB (about 6 h 45 min) nothing more is written and Finish reports the cut. Write
// failures (a full disk) are remembered and reported by Finish as well.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>

namespace orin {

class WavWriter {
 public:
  static constexpr size_t kHeaderBytes = 44;
  // The largest data chunk whose RIFF size (data + 36) still fits 32 bits, in whole frames.
  static constexpr uint64_t kMaxDataBytes = (0xFFFFFFFFull - 36) / 4 * 4;

  // Creates (or replaces) the file; throws Error when it cannot.
  explicit WavWriter(std::string hostPath);
  ~WavWriter();
  WavWriter(const WavWriter&) = delete;
  WavWriter& operator=(const WavWriter&) = delete;

  // frames × 2 interleaved samples.
  void Write(const int16_t* samples, size_t frames);
  // Writes the final sizes and closes the file; throws Error when anything went wrong. Only the
  // first call does anything.
  void Finish();

  uint64_t FramesWritten() const { return dataBytes_ / 4; }
  const std::string& Path() const { return path_; }

  // The header of a file whose data chunk holds dataBytes bytes.
  static std::array<uint8_t, kHeaderBytes> Header(uint32_t dataBytes);

 private:
  bool Close();

  std::string path_;
  FILE* file_ = nullptr;
  uint64_t dataBytes_ = 0;
  bool failed_ = false;
  bool cut_ = false;
};

}  // namespace orin
