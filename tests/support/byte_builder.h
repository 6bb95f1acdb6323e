// Bytes: the little-endian byte builder of the tests' hand-made fixtures (pages, project files,
// install data, archives, layered images, text documents), so that a damaged layout is written
// the way the format is read: integers little-endian, strings as an int32 length and the bytes.
//
// A test that has records of its own derives from BasicBytes<Self> and adds them; every call
// returns the derived builder, so its records chain with the plain values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/endian.h"

namespace orin::test {

template <class Self>
class BasicBytes {
 public:
  Self& U8(uint8_t v) {
    s_.push_back(static_cast<char>(v));
    return Me();
  }
  Self& U16(uint16_t v) { return Put(v, StoreU16LE); }
  Self& U32(uint32_t v) { return Put(v, StoreU32LE); }
  Self& U64(uint64_t v) { return Put(v, StoreU64LE); }
  Self& I32(int32_t v) { return U32(static_cast<uint32_t>(v)); }
  Self& I64(int64_t v) { return U64(static_cast<uint64_t>(v)); }
  Self& Raw(std::string_view b) {
    s_.append(b);
    return Me();
  }
  Self& Zeros(size_t n) {
    s_.append(n, '\0');
    return Me();
  }
  // int32 length, then the bytes: the streams' string form.
  Self& Str(std::string_view b) { return I32(static_cast<int32_t>(b.size())).Raw(b); }
  // uint32 length, then the bytes (names and blocks of the image and archive formats).
  Self& Block(std::string_view b) { return U32(static_cast<uint32_t>(b.size())).Raw(b); }
  // Overwrites the four bytes at offset (already written) with v, e.g. a count or a length.
  Self& PatchI32(size_t offset, int32_t v) {
    StoreI32LE(s_.data() + offset, v);
    return Me();
  }

  size_t Size() const { return s_.size(); }
  const std::string& Get() const { return s_; }
  std::string& Mutable() { return s_; }

 private:
  Self& Me() { return static_cast<Self&>(*this); }
  template <class T>
  Self& Put(T v, void (*store)(void*, T)) {
    char b[sizeof(T)];
    store(b, v);
    s_.append(b, sizeof(T));
    return Me();
  }

  std::string s_;
};

class Bytes : public BasicBytes<Bytes> {};

// The four little-endian bytes of v.
inline std::string Le32(int32_t v) { return Bytes().I32(v).Get(); }

}  // namespace orin::test
