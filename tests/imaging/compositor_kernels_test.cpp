#include "imaging/compositor_kernels.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace orin::compose {
namespace {

std::vector<uint8_t> Random(size_t n, std::mt19937& rng) {
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = static_cast<uint8_t>(rng());
  return v;
}

// Rows of every length up to a few vector widths, off any alignment, with masks that hold runs
// of 0 and 255 (the kernels' shortcuts) and keys that occur in the source; every fast form this
// machine runs must give the reference's bytes.
TEST(CompositorKernels, FastFormsMatchTheReference) {
  const KernelSet& ref = ReferenceKernels();
  for (const KernelSet* fast : AvailableKernels()) {
    SCOPED_TRACE(fast->name);
    std::mt19937 rng(777);
    for (int round = 0; round < 400; ++round) {
      const int count = round % 37;
      const int offset = round % 3;
      const int opacity = 1 + static_cast<int>(rng() % 254);
      // Levels above 255 take the wide path.
      const int level = round % 7 == 0 ? 256 + static_cast<int>(rng() % 600) : static_cast<int>(rng() % 256);
      auto src = Random(4 * count + 8, rng), dst = Random(4 * count + 8, rng), mask = Random(count + 8, rng);
      for (int i = 0; i < count; ++i)
        if (rng() % 3 == 0) mask[offset + i] = rng() % 2 ? 0 : 255;
      if (round % 5 == 0)
        for (int i = 0; i < count; ++i) mask[offset + i] = round % 10 == 0 ? 0 : 255;
      uint32_t key = 0xFFFFFFFF;
      if (count > 0) {
        std::memcpy(&key, &src[offset + 4 * (rng() % count)], 4);
        for (int i = 0; i < count; ++i)
          if (rng() % 4 == 0) std::memcpy(&src[offset + 4 * i], &key, 4);
      }
      uint32_t colour;
      std::memcpy(&colour, &src[0], 4);

      auto check = [&](const char* name, auto run) {
        auto a = dst, b = dst;
        run(*fast, a.data() + offset);
        run(ref, b.data() + offset);
        EXPECT_EQ(a, b) << name << " count " << count << " opacity " << opacity << " level " << level;
      };
      const uint8_t* s = src.data() + offset;
      const uint8_t* m = mask.data() + offset;
      check("AddGrey", [&](const KernelSet& k, uint8_t* d) { k.AddGreyRow32(d, count, level); });
      check("SubGrey", [&](const KernelSet& k, uint8_t* d) { k.SubGreyRow32(d, count, level); });
      check("MaskOpacity", [&](const KernelSet& k, uint8_t* d) { k.MaskOpacityRow32(d, s, m, count, opacity); });
      check("AddMask", [&](const KernelSet& k, uint8_t* d) { k.AddMaskRow32(d, s, m, count, level); });
      check("Add", [&](const KernelSet& k, uint8_t* d) { k.AddRow32(d, s, count, level, key); });
      check("FillMask", [&](const KernelSet& k, uint8_t* d) { k.FillMaskRow32(d, m, count, colour, opacity); });
      check("FillMaskAlone", [&](const KernelSet& k, uint8_t* d) { k.FillMaskRow32(d, m, count, colour, 255); });
    }
  }
}

// One pixel through each formula, blue channel shown; the fourth byte is part of the check.
TEST(CompositorKernels, FormulasOnOnePixel) {
  struct Case {
    const char* name;
    uint32_t dst, src;
    uint8_t mask;
    int opacityOrLevel;
    uint32_t expect;
    void (*run)(uint8_t*, const uint8_t*, const uint8_t*, int);
  };
  const Case cases[] = {
      // α = a at m = 255: (0 × 127 + 255 × 128) >> 8 = 127; fourth byte cleared.
      {"opacity full mask", 0xAA000000, 0x000000FF, 255, 128, 0x0000007F,
       [](uint8_t* d, const uint8_t* s, const uint8_t* m, int a) { MaskOpacityRow32(d, s, m, 1, a); }},
      // α = (128 × 200) >> 8 = 100: (10 × 155 + 255 × 100) >> 8 = 105.
      {"opacity partial mask", 0x0000000A, 0x000000FF, 128, 200, 0x00000069,
       [](uint8_t* d, const uint8_t* s, const uint8_t* m, int a) { MaskOpacityRow32(d, s, m, 1, a); }},
      // α = (1 × 200) >> 8 = 0: untouched, fourth byte included.
      {"opacity weight zero", 0xAA0A0A0A, 0x00FFFFFF, 1, 200, 0xAA0A0A0A,
       [](uint8_t* d, const uint8_t* s, const uint8_t* m, int a) { MaskOpacityRow32(d, s, m, 1, a); }},
      // β = L = 44 at m = 255: 200 + (255 × 44) >> 8 = 243; 250 + 43 saturates; fourth byte kept.
      {"additive full mask", 0x5500FAC8, 0x00FFFFFF, 255, 44, 0x552BFFF3,
       [](uint8_t* d, const uint8_t* s, const uint8_t* m, int l) { AddMaskRow32(d, s, m, 1, l); }},
      // β = (128 × 100) >> 8 = 50: 10 + (200 × 50) >> 8 = 49.
      {"additive partial mask", 0x0000000A, 0x000000C8, 128, 100, 0x00000031,
       [](uint8_t* d, const uint8_t* s, const uint8_t* m, int l) { AddMaskRow32(d, s, m, 1, l); }},
      // A level above 255 adds more than the source: 0 + (100 × 512) >> 8 = 200.
      {"additive wide level", 0x00000000, 0x00000064, 255, 512, 0x000000C8,
       [](uint8_t* d, const uint8_t* s, const uint8_t* m, int l) { AddMaskRow32(d, s, m, 1, l); }},
      // m' = (128 × 255) >> 8 = 127: ((255 − 127) × 0 + 127 × 255) >> 8 = 126.
      {"fill half", 0x00000000, 0x000000FF, 255, 128, 0x0000007E,
       [](uint8_t* d, const uint8_t* s, const uint8_t* m, int a) {
         uint32_t c;
         std::memcpy(&c, s, 4);
         FillMaskRow32(d, m, 1, c, a);
       }},
      // At opacity 255 the mask alone: m' = 255 gives (255 × 255) >> 8 = 254, as the formula reads.
      {"fill mask alone", 0x00000000, 0x000000FF, 255, 255, 0x000000FE,
       [](uint8_t* d, const uint8_t* s, const uint8_t* m, int a) {
         uint32_t c;
         std::memcpy(&c, s, 4);
         FillMaskRow32(d, m, 1, c, a);
       }},
      {"fill mask zero", 0x12345678, 0x000000FF, 0, 255, 0x12345678,
       [](uint8_t* d, const uint8_t* s, const uint8_t* m, int a) {
         uint32_t c;
         std::memcpy(&c, s, 4);
         FillMaskRow32(d, m, 1, c, a);
       }},
  };
  for (const Case& c : cases) {
    uint32_t d = c.dst, s = c.src;
    uint8_t m = c.mask;
    c.run(reinterpret_cast<uint8_t*>(&d), reinterpret_cast<const uint8_t*>(&s), &m, c.opacityOrLevel);
    EXPECT_EQ(d, c.expect) << c.name;
  }
}

TEST(CompositorKernels, GreyAddAndSubtractSaturate) {
  uint32_t px[2] = {0x7F10F0FE, 0x00000000};
  AddGreyRow32(reinterpret_cast<uint8_t*>(px), 2, 16);
  EXPECT_EQ(px[0], 0x7F20FFFFu);  // the fourth byte is kept
  EXPECT_EQ(px[1], 0x00101010u);
  SubGreyRow32(reinterpret_cast<uint8_t*>(px), 2, 0x20);
  EXPECT_EQ(px[0], 0x7F00DFDFu);
  EXPECT_EQ(px[1], 0x00000000u);
}

// 15/16-bit words: each channel through its mask, saturating at the channel's own maximum.
TEST(CompositorKernels, SixteenBitChannelsStayInTheirMasks) {
  const uint32_t m565[3] = {0xF800, 0x7E0, 0x1F};
  const uint32_t m555[3] = {0x7C00, 0x3E0, 0x1F};
  {
    // Half blend of white over black: every channel (max × 128) >> 8.
    uint16_t d = 0, s = 0xFFFF;
    BlendRow16(&d, &s, 1, 128, -1, m565);
    EXPECT_EQ(d, (0xF800 & ((0xF800u * 128) >> 8)) | (0x7E0 & ((0x7E0u * 128) >> 8)) | (0x1F & ((0x1Fu * 128) >> 8)));
  }
  {
    // Additive level 255 of a full source onto a 30/31 red: clamps at 31, not into green.
    uint16_t d = static_cast<uint16_t>(30 << 10), s = 0x7FFF;
    AddRow16(&d, &s, nullptr, 1, 255, -1, m555);
    EXPECT_EQ(d, static_cast<uint16_t>((31 << 10) | (30 << 5) | 30));
  }
  {
    uint16_t d = static_cast<uint16_t>((31 << 11) | (1 << 5)), grey = static_cast<uint16_t>((2 << 11) | (2 << 5) | 2);
    AddGreyRow16(&d, 1, grey, m565);
    EXPECT_EQ(d, static_cast<uint16_t>((31 << 11) | (3 << 5) | 2));
    SubGreyRow16(&d, 1, static_cast<uint16_t>((4 << 11) | (4 << 5) | 4), m565);
    EXPECT_EQ(d, static_cast<uint16_t>(27 << 11));
  }
  {
    // The key skips; opacity 255 copies.
    uint16_t d[2] = {1, 1}, s[2] = {0x1234, 0x5678};
    BlendRow16(d, s, 2, 255, 0x1234, m565);
    EXPECT_EQ(d[0], 1);
    EXPECT_EQ(d[1], 0x5678);
  }
}

}  // namespace
}  // namespace orin::compose
