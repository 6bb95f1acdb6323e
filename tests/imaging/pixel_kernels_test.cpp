#include "imaging/pixel_kernels.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace orin::pixel {
namespace {

std::vector<uint8_t> Random(size_t n, std::mt19937& rng) {
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = static_cast<uint8_t>(rng());
  return v;
}

// Rows of every length up to a few vector widths, with keys that occur in the source, compared
// with the scalar reference for every fast form this machine runs. Offsets shift the rows off any
// alignment.
TEST(PixelKernels, FastFormsMatchTheReference) {
  const KernelSet& ref = ReferenceKernels();
  ASSERT_FALSE(AvailableKernels().empty());
  for (const KernelSet* fast : AvailableKernels()) {
    SCOPED_TRACE(fast->name);
    std::mt19937 rng(12345);
    for (int round = 0; round < 400; ++round) {
      const int count = round % 70;
      const int offset = round % 3;
      const int opacity = 1 + static_cast<int>(rng() % 254);
      auto src32 = Random(4 * count + 8, rng), dst32 = Random(4 * count + 8, rng);
      auto src24 = Random(3 * count + 8, rng), dst24 = Random(3 * count + 8, rng);
      auto alpha = Random(count + 8, rng);
      // Runs of fully clear and fully opaque alpha take the kernels' shortcuts.
      for (int i = 0; i < count; ++i)
        if (rng() % 3 == 0) alpha[offset + i] = rng() % 2 ? 0 : 255;
      if (round % 5 == 0)
        for (int i = 0; i < count; ++i) alpha[offset + i] = round % 10 == 0 ? 0 : 255;
      // Make some source pixels equal the key, including runs of them.
      uint32_t key32 = 0xFFFFFFFF;
      int32_t key24 = round % 4 == 0 ? -1 : static_cast<int32_t>(rng() & 0xFFFFFF);
      if (count > 0) {
        std::memcpy(&key32, &src32[offset + 4 * (rng() % count)], 4);
        for (int i = 0; i < count; ++i)
          if (rng() % 4 == 0) {
            std::memcpy(&src32[offset + 4 * i], &key32, 4);
            if (key24 >= 0)
              for (int c = 0; c < 3; ++c) src24[offset + 3 * i + c] = static_cast<uint8_t>(key24 >> (8 * c));
          }
        // A pixel that matches the key in two of its three bytes only.
        if (key24 >= 0) src24[offset + 1] = static_cast<uint8_t>(key24 >> 8), src24[offset + 2] = static_cast<uint8_t>(key24 >> 16);
      }
      const int32_t keyHigh = key24 >= 0 ? key24 | 0x5A000000 : key24;

      auto check = [&](const char* name, auto run, const std::vector<uint8_t>& dst) {
        auto a = dst, b = dst;
        run(*fast, a.data() + offset);
        run(ref, b.data() + offset);
        EXPECT_EQ(a, b) << name << " count " << count << " opacity " << opacity;
      };
      const uint8_t* s32 = src32.data() + offset;
      const uint8_t* s24 = src24.data() + offset;
      const uint8_t* al = alpha.data() + offset;
      check("BlendRow32", [&](const KernelSet& k, uint8_t* d) { k.BlendRow32(d, s32, count, opacity, key32); }, dst32);
      check("BlendRow24", [&](const KernelSet& k, uint8_t* d) { k.BlendRow24(d, s24, count, opacity, key24); }, dst24);
      check("BlendRow24 high key", [&](const KernelSet& k, uint8_t* d) { k.BlendRow24(d, s24, count, opacity, keyHigh); }, dst24);
      check("AlphaRow32", [&](const KernelSet& k, uint8_t* d) { k.AlphaRow32(d, s32, al, count); }, dst32);
      check("KeyedRow32", [&](const KernelSet& k, uint8_t* d) { k.KeyedRow32(d, s32, count, key32); }, dst32);
      check("KeyedRow24", [&](const KernelSet& k, uint8_t* d) { k.KeyedRow24(d, s24, count, key24); }, dst24);
    }
  }
}

// Every destination, source and opacity value once: the division tricks of the fast forms must
// agree with the plain arithmetic everywhere, not only on random samples.
TEST(PixelKernels, BlendArithmeticIsExactForEveryValue) {
  const KernelSet& ref = ReferenceKernels();
  std::vector<uint8_t> src(256 * 4), dst(256 * 4), a(256 * 4), b(256 * 4);
  for (const KernelSet* fast : AvailableKernels()) {
    for (int opacity = 1; opacity <= 254; ++opacity) {
      for (int d = 0; d < 256; ++d) {
        for (int s = 0; s < 256; ++s)
          for (int c = 0; c < 4; ++c) src[4 * s + c] = static_cast<uint8_t>(s), dst[4 * s + c] = static_cast<uint8_t>(d);
        a = dst, b = dst;
        fast->BlendRow24(a.data(), src.data(), 256 * 4 / 3, opacity, -1);
        ref.BlendRow24(b.data(), src.data(), 256 * 4 / 3, opacity, -1);
        ASSERT_EQ(a, b) << fast->name << " 24 bits, opacity " << opacity << " d " << d;
        a = dst, b = dst;
        fast->BlendRow32(a.data(), src.data(), 256, opacity, 0x01020304);
        ref.BlendRow32(b.data(), src.data(), 256, opacity, 0x01020304);
        ASSERT_EQ(a, b) << fast->name << " 32 bits, opacity " << opacity << " d " << d;
      }
    }
  }
}

}  // namespace
}  // namespace orin::pixel
