#include "imaging/wipes/mask_kernels.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace orin::wipes {
namespace {

std::vector<uint8_t> RandomBytes(size_t n, std::mt19937& rng) {
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = static_cast<uint8_t>(rng());
  return v;
}

// Rows of every length up to a few vector widths, off any alignment, with masks that hold runs
// of 0 and 255 (the copy shortcuts) beside scattered values; every fast form this machine runs
// must give the reference's bytes, with and without the hard edge.
TEST(MaskKernels, FastFormsMatchTheReference) {
  const MaskKernelSet& ref = ReferenceMaskKernels();
  for (const MaskKernelSet* fast : AvailableMaskKernels()) {
    SCOPED_TRACE(fast->name);
    std::mt19937 rng(4242);
    for (int round = 0; round < 1200; ++round) {
      const int count = round % 139;
      const int offset = round % 3;
      auto out = RandomBytes(4 * count + 8, rng), in = RandomBytes(4 * count + 8, rng);
      auto mask = RandomBytes(count + 8, rng);
      // Runs of 0 and of 255 (of 16 and of 32, the vector widths), pixels of only 0 and 255,
      // single 0 / 255 values among others, a leading run of 0, one value throughout, runs of
      // one value each, and plain noise.
      const int pattern = round % 8;
      for (int i = 0; i < count; ++i) {
        uint8_t& m = mask[static_cast<size_t>(offset + i)];
        if (pattern == 0) m = (i / 16) % 2 ? 255 : 0;
        if (pattern == 1) m = (i / 32) % 2 ? 0 : 255;
        if (pattern == 2) m = rng() % 2 ? 0 : 255;
        if (pattern == 3 && rng() % 3 == 0) m = rng() % 2 ? 0 : 255;
        if (pattern == 4) m = i < 40 ? 0 : m;
        if (pattern == 5) m = static_cast<uint8_t>(round % 2 ? 77 : 254);
        if (pattern == 6) m = i < 32 ? 1 : i < 48 ? 128 : 255;
      }
      for (bool hard : {false, true}) {
        auto a = RandomBytes(4 * count + 8, rng);
        auto b = a;
        fast->MaskComposeRow32(a.data() + offset, out.data() + offset, in.data() + offset, mask.data() + offset,
                               count, hard);
        ref.MaskComposeRow32(b.data() + offset, out.data() + offset, in.data() + offset, mask.data() + offset, count,
                             hard);
        EXPECT_EQ(a, b) << "compose, count " << count << " hard " << hard;
      }

      std::vector<uint16_t> order(static_cast<size_t>(count) + 8);
      for (auto& o : order) o = static_cast<uint16_t>(rng() % 32768);
      const int level = static_cast<int>(rng() % 32768);
      const int soft = round % 8;
      auto a = RandomBytes(count + 8, rng);
      auto b = a;
      fast->OrderMaskRow(a.data() + offset, order.data() + offset, count, level, soft);
      ref.OrderMaskRow(b.data() + offset, order.data() + offset, count, level, soft);
      EXPECT_EQ(a, b) << "order, count " << count << " level " << level << " soft " << soft;

      const int grey = round % 5 == 0 ? 255 : static_cast<int>(rng() % 256);
      for (bool darken : {false, true}) {
        auto c = RandomBytes(4 * count + 8, rng);
        auto d = c;
        fast->GreyCopyRow32(c.data() + offset, out.data() + offset, count, grey, darken);
        ref.GreyCopyRow32(d.data() + offset, out.data() + offset, count, grey, darken);
        EXPECT_EQ(c, d) << "grey, count " << count << " level " << grey << " darken " << darken;
      }
    }
  }
}

// The formulas at their edges, on the reference.
TEST(MaskKernels, ReferenceFollowsTheFormulas) {
  const MaskKernelSet& ref = ReferenceMaskKernels();
  const uint8_t out[8] = {0x10, 0x20, 0x30, 0x77, 0x10, 0x20, 0x30, 0x77};
  const uint8_t in[8] = {0xF0, 0xE0, 0xD0, 0x55, 0xF0, 0xE0, 0xD0, 0x55};
  const struct {
    uint8_t mask;
    bool hard;
    uint8_t expect[4];
  } cases[] = {
      {0, false, {0x10, 0x20, 0x30, 0x77}},  // the outgoing pixel whole, fourth byte too
      {255, false, {0xF0, 0xE0, 0xD0, 0x55}},
      {128, false, {(128 * 0xF0 + 127 * 0x10) >> 8, (128 * 0xE0 + 127 * 0x20) >> 8, (128 * 0xD0 + 127 * 0x30) >> 8, 0}},
      {1, true, {0xF0, 0xE0, 0xD0, 0x55}},
      {0, true, {0x10, 0x20, 0x30, 0x77}},
  };
  for (const auto& c : cases) {
    uint8_t mask[2] = {c.mask, c.mask};
    uint8_t dst[8] = {};
    ref.MaskComposeRow32(dst, out, in, mask, 2, c.hard);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(dst[i], c.expect[i % 4]) << int(c.mask) << " " << c.hard << " byte " << i;
  }

  uint8_t grey[8];
  ref.GreyCopyRow32(grey, out, 2, 0xE0, false);
  EXPECT_EQ(std::vector<uint8_t>(grey, grey + 4), (std::vector<uint8_t>{0xF0, 0xFF, 0xFF, 0x77}));
  ref.GreyCopyRow32(grey, out, 2, 0x20, true);
  EXPECT_EQ(std::vector<uint8_t>(grey, grey + 4), (std::vector<uint8_t>{0, 0, 0x10, 0x77}));

  const uint16_t order[5] = {0, 100, 1000, 1255, 32767};
  uint8_t m[5];
  ref.OrderMaskRow(m, order, 5, 1000, 0);
  EXPECT_EQ(std::vector<uint8_t>(m, m + 5), (std::vector<uint8_t>{255, 255, 0, 0, 0}));
  ref.OrderMaskRow(m, order, 5, 1255, 2);  // (1255 − order) >> 2
  EXPECT_EQ(std::vector<uint8_t>(m, m + 5), (std::vector<uint8_t>{255, 255, 63, 0, 0}));
}

}  // namespace
}  // namespace orin::wipes
