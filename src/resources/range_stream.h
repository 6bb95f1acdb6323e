// TRangeStream: one archive entry (or a whole file) shown as a standard stream over
// [Start, Start + Length) of an owned big stream.
//
// Media decoders read from their own threads, so Seek and Read each hold the stream's lock for
// their whole duration; any number of threads may use one range stream.
//   * Seek clamps to [0, Length] (relative to Start); an unknown origin keeps the position.
//   * Read reads at most up to Start + Length and returns 0 at or beyond it. Write writes nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "resources/big_stream.h"
#include "resources/stream.h"

namespace orin {

class TRangeStream : public Stream {
 public:
  // A length of 0 stands for the whole source (with start 0: the whole file) unless zeroIsEmpty,
  // which archive entries of size 0 need.
  TRangeStream(std::unique_ptr<TTpBigStream> source, int64_t start, int64_t length, bool zeroIsEmpty = false);

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, int origin) override;
  int64_t GetSize() override { return Length; }

  const int64_t Start;
  const int64_t Length;

 private:
  std::unique_ptr<TTpBigStream> source_;
  std::mutex lock_;
};

class TFileRangeStream : public TRangeStream {
 public:
  // Throws Error when the file cannot be opened.
  TFileRangeStream(const std::string& hostPath, int64_t start, int64_t length, bool zeroIsEmpty = false,
                   int64_t volumeSize = TTpBigFileStream::kVolumeSize, bool volumes = true);
};

class TResourceRangeStream : public TRangeStream {
 public:
  TResourceRangeStream(const std::string& modulePath, const std::string& resourceName,
                       const std::string& resourceType, int64_t start, int64_t length, bool zeroIsEmpty = false);
};

}  // namespace orin
