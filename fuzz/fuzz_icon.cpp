// An icon image of a game executable from untrusted bytes: decoding it gives at most a
// 256 × 256 picture, nothing for a kind it skips, or throws orin::Error.
#include <cstddef>
#include <cstdint>
#include <span>

#include "core/error.h"
#include "shell/player_icon.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    auto icon = orin::DecodeIconImage(std::span<const uint8_t>(data, size));
    if (icon && (icon->Width() <= 0 || icon->Width() > 256 || icon->Height() <= 0 ||
                 icon->Height() > 256))
      __builtin_trap();
  } catch (const orin::Error&) {
  }
  return 0;
}
