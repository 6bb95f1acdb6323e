// ByteReader: the checked little-endian reader of every format the player reads from untrusted
// bytes (pages, expressions, saves, layered images, install data, ...).
//
// It reads over a span it does not own. Every read is checked against what is left before a
// byte is touched; counts are checked overflow-safe (count × item size ≤ remaining) before the
// caller allocates for them. A failed check throws Error naming the reader's label and the field:
// "page: command 12's expression: length runs past the end". The label is the file or section
// (cp932), the field a short English phrase; SetLabel changes the label as the reader moves from
// one section to the next.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace orin {

class ByteReader {
 public:
  ByteReader(std::span<const uint8_t> bytes, std::string label) : bytes_(bytes), label_(std::move(label)) {}
  ByteReader(const void* data, size_t size, std::string label)
      : ByteReader(std::span<const uint8_t>(static_cast<const uint8_t*>(data), size), std::move(label)) {}

  size_t Size() const { return bytes_.size(); }
  size_t Position() const { return pos_; }
  size_t Remaining() const { return bytes_.size() - pos_; }
  bool AtEnd() const { return pos_ == bytes_.size(); }
  // Positions beyond the end fail.
  void Seek(size_t position, std::string_view what);
  const std::string& Label() const { return label_; }
  void SetLabel(std::string label) { label_ = std::move(label); }

  uint8_t U8(std::string_view what);
  uint16_t U16(std::string_view what);
  uint32_t U32(std::string_view what);
  int32_t I32(std::string_view what) { return static_cast<int32_t>(U32(what)); }
  uint64_t U64(std::string_view what);
  int64_t I64(std::string_view what) { return static_cast<int64_t>(U64(what)); }
  long double Extended(std::string_view what);

  // n bytes in place; they live as long as the span.
  std::span<const uint8_t> Bytes(uint64_t n, std::string_view what);
  void Read(void* out, uint64_t n, std::string_view what);
  void Skip(uint64_t n, std::string_view what) { Bytes(n, what); }
  // A stored string: int32 length, then the bytes; a length of 0 or less is empty and takes no
  // bytes.
  std::string String(std::string_view what);
  // Skips a stored string without copying it.
  void SkipString(std::string_view what);
  // A count read before as n, of items that take at least itemSize bytes each: fails when n is
  // negative or the items cannot fit in what is left. Returns n as a size to allocate with.
  size_t Count(int64_t n, uint64_t itemSize, std::string_view what) const;
  // An int32 count, checked as above.
  size_t ReadCount(uint64_t itemSize, std::string_view what) { return Count(I32(what), itemSize, what); }

  // Throws Error: "<label>: <what>: <why>".
  [[noreturn]] void Fail(std::string_view what, std::string_view why) const;

 private:
  void Need(uint64_t n, std::string_view what) const {
    if (n > Remaining()) Fail(what, "length runs past the end");
  }

  std::span<const uint8_t> bytes_;
  size_t pos_ = 0;
  std::string label_;
};

}  // namespace orin
