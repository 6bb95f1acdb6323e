#include "media/wav_writer.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "core/endian.h"
#include "core/error.h"
#include "resources/host_error.h"

namespace orin {

WavWriter::WavWriter(std::string hostPath) : path_(std::move(hostPath)) {
  file_ = std::fopen(path_.c_str(), "wb");
  if (file_ == nullptr) ThrowHostError(path_, "cannot create the sound recording");
  const auto header = Header(0);
  if (std::fwrite(header.data(), 1, header.size(), file_) != header.size()) failed_ = true;
}

WavWriter::~WavWriter() {
  Close();
}

std::array<uint8_t, WavWriter::kHeaderBytes> WavWriter::Header(uint32_t dataBytes) {
  std::array<uint8_t, kHeaderBytes> h{};
  std::memcpy(&h[0], "RIFF", 4);
  StoreU32LE(&h[4], dataBytes + 36);
  std::memcpy(&h[8], "WAVE", 4);
  std::memcpy(&h[12], "fmt ", 4);
  StoreU32LE(&h[16], 16);      // size of the format chunk
  StoreU16LE(&h[20], 1);       // PCM
  StoreU16LE(&h[22], 2);       // channels
  StoreU32LE(&h[24], 44100);   // samples per second
  StoreU32LE(&h[28], 176400);  // bytes per second
  StoreU16LE(&h[32], 4);       // block align
  StoreU16LE(&h[34], 16);      // bits per sample
  std::memcpy(&h[36], "data", 4);
  StoreU32LE(&h[40], dataBytes);
  return h;
}

void WavWriter::Write(const int16_t* samples, size_t frames) {
  if (file_ == nullptr || frames == 0) return;
  uint64_t bytes = uint64_t{frames} * 4;
  if (bytes > kMaxDataBytes - dataBytes_) {
    bytes = kMaxDataBytes - dataBytes_;
    cut_ = true;
  }
  std::vector<uint8_t> out(static_cast<size_t>(bytes));
  for (size_t i = 0; i < out.size() / 2; ++i)
    StoreU16LE(&out[i * 2], static_cast<uint16_t>(samples[i]));
  if (!out.empty() && std::fwrite(out.data(), 1, out.size(), file_) != out.size()) failed_ = true;
  dataBytes_ += bytes;
}

bool WavWriter::Close() {
  if (file_ == nullptr) return true;
  const auto header = Header(static_cast<uint32_t>(dataBytes_));
  bool ok = !failed_ && std::fflush(file_) == 0 && std::fseek(file_, 0, SEEK_SET) == 0 &&
            std::fwrite(header.data(), 1, header.size(), file_) == header.size();
  ok = std::fclose(file_) == 0 && ok;
  file_ = nullptr;
  return ok;
}

void WavWriter::Finish() {
  if (file_ == nullptr) return;
  const int before = errno;
  errno = 0;
  if (!Close()) {
    if (errno == 0) errno = EIO;
    ThrowHostError(path_, "cannot write the sound recording");
  }
  errno = before;
  if (cut_)
    throw Error(HostPathText(path_) +
                ": the sound recording was cut at 4 GiB, the most a WAV file can hold");
}

}  // namespace orin
