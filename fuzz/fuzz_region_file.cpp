// A region file of an image map from untrusted bytes: reading it either works or throws
// orin::Error; a file that was read writes bytes that read back to the same file, and the runs the
// cut-out paints hold exactly the pixels the hit test admits.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "core/error.h"
#include "scene/objects/region_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    const orin::RegionFile file = orin::RegionFile::Read(std::span(data, size), "fuzz.dat");
    // A negative name length reads as an empty name and is written as 0, so the bytes written
    // are compared with a second round rather than with the input.
    const std::string written = file.Write();
    const orin::RegionFile again =
        orin::RegionFile::Read(std::span(reinterpret_cast<const uint8_t*>(written.data()), written.size()), "again");
    if (again.Write() != written || written.size() > size) std::abort();
    const orin::Rect clip{-4, -4, 28, 28};
    for (const orin::MapRegion& region : file.Regions) {
      std::vector<uint8_t> painted(32 * 32, 0);
      orin::RegionSpans(region, clip, [&](int32_t y, int32_t x0, int32_t x1) {
        for (int32_t x = x0; x < x1; ++x) painted[static_cast<size_t>((y + 4) * 32 + x + 4)] = 1;
      });
      for (int32_t y = -4; y < 28; ++y)
        for (int32_t x = -4; x < 28; ++x)
          if ((painted[static_cast<size_t>((y + 4) * 32 + x + 4)] != 0) != region.Contains(x, y)) std::abort();
    }
    (void)file.HitTest(3, 3);
  } catch (const orin::Error&) {
  }
  return 0;
}
