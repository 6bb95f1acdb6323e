#include "resources/range_stream.h"

#include <algorithm>
#include <cstdint>

namespace orin {

namespace {

int64_t LengthOf(TTpBigStream& source, int64_t length, bool zeroIsEmpty) {
  return (length == 0 && !zeroIsEmpty) ? source.GetSize() : std::max<int64_t>(length, 0);
}

// base + offset; decoders pass any offset, and the result is clamped to the range anyway.
int64_t SaturatingAdd(int64_t base, int64_t offset) {
  int64_t r;
  if (__builtin_add_overflow(base, offset, &r)) return offset > 0 ? INT64_MAX : INT64_MIN;
  return r;
}

}  // namespace

TRangeStream::TRangeStream(std::unique_ptr<TTpBigStream> source, int64_t start, int64_t length, bool zeroIsEmpty)
    : Start(start), Length(LengthOf(*source, length, zeroIsEmpty)), source_(std::move(source)) {
  source_->SetPosition(Start);
}

int64_t TRangeStream::Seek(int64_t offset, int origin) {
  std::lock_guard<std::mutex> hold(lock_);
  int64_t current = source_->GetPosition();
  int64_t target = current;
  switch (origin) {
    case kFromBeginning: target = SaturatingAdd(Start, offset); break;
    case kFromCurrent: target = SaturatingAdd(current, offset); break;
    case kFromEnd: target = SaturatingAdd(Start + Length, offset); break;
    default: break;
  }
  target = std::clamp(target, Start, Start + Length);
  source_->SetPosition(target);
  return target - Start;
}

int64_t TRangeStream::Read(void* buffer, int64_t count) {
  std::lock_guard<std::mutex> hold(lock_);
  int64_t left = Start + Length - source_->GetPosition();
  if (count <= 0 || left <= 0) return 0;
  return source_->Read(buffer, std::min(count, left));
}

int64_t TRangeStream::Write(const void*, int64_t) { return 0; }

TFileRangeStream::TFileRangeStream(const std::string& hostPath, int64_t start, int64_t length, bool zeroIsEmpty,
                                   int64_t volumeSize, bool volumes)
    : TRangeStream(std::make_unique<TTpBigFileStream>(hostPath, TTpBigFileStream::kRead, volumeSize, volumes), start,
                   length, zeroIsEmpty) {}

TResourceRangeStream::TResourceRangeStream(const std::string& modulePath, const std::string& resourceName,
                                           const std::string& resourceType, int64_t start, int64_t length,
                                           bool zeroIsEmpty)
    : TRangeStream(std::make_unique<TTpBigResourceStream>(modulePath, resourceName, resourceType), start, length,
                   zeroIsEmpty) {}

}  // namespace orin
