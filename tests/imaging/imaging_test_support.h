// Helpers of the imaging tests: a little-endian byte builder for hand-made files, a minimal PNG
// writer (any colour type, with PLTE and tRNS), random surfaces and surface comparison.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "core/endian.h"
#include "imaging/dib_surface.h"
#include "resources/compression.h"
#include "support/byte_builder.h"

namespace orin::test {

inline std::string Zlib(std::string_view plain) {
  auto b = DeflateBytes(reinterpret_cast<const uint8_t*>(plain.data()), plain.size());
  return std::string(reinterpret_cast<const char*>(b->Data()), b->Size());
}

inline std::string BufferString(const ByteBuffer& b) { return std::string(reinterpret_cast<const char*>(b.Data()), b.Size()); }

// The stored rows of a surface, top first (the plane image of the layered format).
inline std::string PlaneOf(const TDIBSurface& s) {
  return std::string(reinterpret_cast<const char*>(s.Bits()), s.ImageSize());
}

inline void FillRandom(TDIBSurface& s, uint32_t seed) {
  std::mt19937 rng(seed);
  for (int y = 0; y < s.Height(); ++y) {
    const size_t used = (static_cast<size_t>(s.Width()) * s.StorageBits() + 7) / 8;
    for (size_t i = 0; i < used; ++i) s.ScanLine(y)[i] = static_cast<uint8_t>(rng());
    // 1- and 4-bit rows may end inside a byte; the bits past the width stay clear.
    if (s.StorageBits() < 8 && s.Width() > 0)
      for (int x = s.Width(); x < static_cast<int>(used * 8 / s.StorageBits()); ++x) s.SetPixel(x, y, 0);
  }
  if (s.BitCount() == 15)
    for (int y = 0; y < s.Height(); ++y)
      for (int x = 0; x < s.Width(); ++x) s.SetPixel(x, y, s.GetPixel(x, y) & 0x7FFF);
}

inline void FillPaletteRandom(TDIBSurface& s, uint32_t seed) {
  std::mt19937 rng(seed);
  for (auto& e : s.Palette) e = PaletteEntry{uint8_t(rng()), uint8_t(rng()), uint8_t(rng()), 0};
}

// Every pixel value (and the alpha plane's) equal.
inline ::testing::AssertionResult SamePixels(const TDIBSurface& a, const TDIBSurface& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height() || a.BitCount() != b.BitCount())
    return ::testing::AssertionFailure() << "size or depth differ: " << a.Width() << "x" << a.Height() << "@"
                                         << a.BitCount() << " vs " << b.Width() << "x" << b.Height() << "@"
                                         << b.BitCount();
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x)
      if (a.GetPixel(x, y) != b.GetPixel(x, y))
        return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") " << std::hex << a.GetPixel(x, y)
                                             << " vs " << b.GetPixel(x, y);
  if (a.HasAlpha() != b.HasAlpha()) return ::testing::AssertionFailure() << "one has an alpha plane";
  if (a.HasAlpha()) {
    auto r = SamePixels(*a.Alpha, *b.Alpha);
    if (!r) return r << " (alpha plane)";
  }
  return ::testing::AssertionSuccess();
}

// A PNG file: IHDR, optional PLTE and tRNS, one IDAT of unfiltered rows, IEND.
struct PngLayout {
  int width = 1, height = 1, bitDepth = 8, colorType = 2;
  std::string rows;     // packed samples of each row, without the filter byte
  std::string palette;  // PLTE payload (r, g, b per entry)
  std::string trns;     // tRNS payload
};

inline std::string MakePng(const PngLayout& p) {
  auto be32 = [](uint32_t v) {
    std::string b(4, '\0');
    for (int i = 0; i < 4; ++i) b[i] = static_cast<char>(v >> (24 - 8 * i));
    return b;
  };
  auto chunk = [&](const char* type, const std::string& data) {
    std::string body = std::string(type, 4) + data;
    return be32(static_cast<uint32_t>(data.size())) + body +
           be32(Crc32(reinterpret_cast<const uint8_t*>(body.data()), body.size()));
  };
  std::string ihdr = be32(uint32_t(p.width)) + be32(uint32_t(p.height));
  ihdr += static_cast<char>(p.bitDepth);
  ihdr += static_cast<char>(p.colorType);
  ihdr += std::string(3, '\0');
  const size_t rowBytes = p.height ? p.rows.size() / static_cast<size_t>(p.height) : 0;
  std::string raw;
  for (int y = 0; y < p.height; ++y) raw += '\0' + p.rows.substr(static_cast<size_t>(y) * rowBytes, rowBytes);
  std::string out = "\x89PNG\r\n\x1a\n";
  out += chunk("IHDR", ihdr);
  if (!p.palette.empty()) out += chunk("PLTE", p.palette);
  if (!p.trns.empty()) out += chunk("tRNS", p.trns);
  out += chunk("IDAT", Zlib(raw));
  out += chunk("IEND", "");
  return out;
}

}  // namespace orin::test
