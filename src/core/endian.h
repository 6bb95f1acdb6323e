// Little-endian loads and stores on byte buffers. Every stored integer of the player's formats is
// little-endian, whatever the machine.
#pragma once

#include <cstdint>
#include <cstring>

namespace orin {

inline uint16_t LoadU16LE(const void* p) {
  const auto* b = static_cast<const uint8_t*>(p);
  return static_cast<uint16_t>(b[0] | b[1] << 8);
}
inline uint32_t LoadU32LE(const void* p) {
  const auto* b = static_cast<const uint8_t*>(p);
  return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
         static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
}
inline uint64_t LoadU64LE(const void* p) {
  const auto* b = static_cast<const uint8_t*>(p);
  return static_cast<uint64_t>(LoadU32LE(b)) | static_cast<uint64_t>(LoadU32LE(b + 4)) << 32;
}
inline int32_t LoadI32LE(const void* p) { return static_cast<int32_t>(LoadU32LE(p)); }
inline int64_t LoadI64LE(const void* p) { return static_cast<int64_t>(LoadU64LE(p)); }

inline void StoreU16LE(void* p, uint16_t v) {
  auto* b = static_cast<uint8_t*>(p);
  b[0] = static_cast<uint8_t>(v);
  b[1] = static_cast<uint8_t>(v >> 8);
}
inline void StoreU32LE(void* p, uint32_t v) {
  auto* b = static_cast<uint8_t*>(p);
  for (int i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void StoreU64LE(void* p, uint64_t v) {
  auto* b = static_cast<uint8_t*>(p);
  for (int i = 0; i < 8; ++i) b[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void StoreI32LE(void* p, int32_t v) { StoreU32LE(p, static_cast<uint32_t>(v)); }
inline void StoreI64LE(void* p, int64_t v) { StoreU64LE(p, static_cast<uint64_t>(v)); }

}  // namespace orin
