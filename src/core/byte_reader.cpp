#include "core/byte_reader.h"

#include <cstring>

#include "core/endian.h"
#include "core/error.h"
#include "core/extended.h"

namespace orin {

void ByteReader::Fail(std::string_view what, std::string_view why) const {
  std::string message = label_;
  if (!message.empty()) message += ": ";
  if (!what.empty()) message.append(what).append(": ");
  message += why;
  throw Error(std::move(message));
}

void ByteReader::Seek(size_t position, std::string_view what) {
  if (position > bytes_.size()) Fail(what, "position lies beyond the end");
  pos_ = position;
}

uint8_t ByteReader::U8(std::string_view what) {
  Need(1, what);
  return bytes_[pos_++];
}

uint16_t ByteReader::U16(std::string_view what) {
  Need(2, what);
  const uint16_t v = LoadU16LE(bytes_.data() + pos_);
  pos_ += 2;
  return v;
}

uint32_t ByteReader::U32(std::string_view what) {
  Need(4, what);
  const uint32_t v = LoadU32LE(bytes_.data() + pos_);
  pos_ += 4;
  return v;
}

uint64_t ByteReader::U64(std::string_view what) {
  Need(8, what);
  const uint64_t v = LoadU64LE(bytes_.data() + pos_);
  pos_ += 8;
  return v;
}

long double ByteReader::Extended(std::string_view what) {
  Need(10, what);
  const long double v = ExtendedToLongDouble(bytes_.data() + pos_);
  pos_ += 10;
  return v;
}

std::span<const uint8_t> ByteReader::Bytes(uint64_t n, std::string_view what) {
  Need(n, what);
  const auto at = bytes_.subspan(pos_, static_cast<size_t>(n));
  pos_ += static_cast<size_t>(n);
  return at;
}

void ByteReader::Read(void* out, uint64_t n, std::string_view what) {
  const auto at = Bytes(n, what);
  if (!at.empty()) std::memcpy(out, at.data(), at.size());
}

std::string ByteReader::String(std::string_view what) {
  const int32_t n = I32(what);
  if (n <= 0) return {};
  const auto at = Bytes(static_cast<uint64_t>(n), what);
  return std::string(reinterpret_cast<const char*>(at.data()), at.size());
}

void ByteReader::SkipString(std::string_view what) {
  const int32_t n = I32(what);
  if (n > 0) Skip(static_cast<uint64_t>(n), what);
}

size_t ByteReader::Count(int64_t n, uint64_t itemSize, std::string_view what) const {
  if (n < 0) Fail(what, "negative count");
  // Division instead of n × itemSize: no count can overflow the test.
  if (itemSize > 0 && static_cast<uint64_t>(n) > Remaining() / itemSize) Fail(what, "count runs past the end");
  return static_cast<size_t>(n);
}

}  // namespace orin
