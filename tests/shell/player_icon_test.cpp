#include "shell/player_icon.h"

#include <gtest/gtest.h>

#include <span>
#include <string>

#include "core/error.h"
#include "resources/pe_builder.h"
#include "support/byte_builder.h"
#include "support/test_support.h"

namespace orin {
namespace {

// Concatenation through append: GCC 12 warns falsely on some operator+ chains of strings.
std::string Join(std::initializer_list<std::string> parts) {
  std::string out;
  for (const std::string& p : parts) out.append(p);
  return out;
}

std::span<const uint8_t> Span(const std::string& s) {
  return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

// A 4 × 2 icon image: header, colours, rows from the bottom (each padded to 4 bytes), then the
// mask (1 bit per pixel, rows padded to 4 bytes) unless left out.
std::string IconImage(int bits, const std::string& colourTable, const std::string& rows,
                      const std::string& maskRows, int width = 4, int height = 2,
                      uint32_t compression = 0) {
  test::Bytes b;
  b.U32(40).I32(width).I32(height * 2).U16(1).U16(static_cast<uint16_t>(bits)).U32(compression);
  b.U32(0).I32(0).I32(0).U32(static_cast<uint32_t>(colourTable.size() / 4)).U32(0);
  b.Raw(colourTable).Raw(rows).Raw(maskRows);
  return b.Get();
}

// Bottom row first: row 1 (the bottom) is transparent at x = 0 (mask bit set), row 0 is opaque.
const std::string kMask = Join({std::string("\x80\0\0\0", 4), std::string("\0\0\0\0", 4)});

TEST(DecodeIconImage, EveryDepthWithItsMask) {
  const std::string palette2 = Join({std::string("\0\0\0\0", 4), std::string("\xFF\xFF\xFF\0", 4)});
  std::string palette16(64, '\0');
  palette16.replace(4 * 5, 4, std::string("\x30\x20\x10\0", 4));
  std::string palette256(1024, '\0');
  palette256.replace(4 * 200, 4, std::string("\x03\x02\x01\0", 4));
  struct Case {
    const char* what;
    std::string bytes;
    uint32_t topLeft, bottomLeft, bottomRight;
  };
  const Case cases[] = {
      {"1 bit", IconImage(1, palette2, std::string("\x50\0\0\0\xA0\0\0\0", 8), kMask),
       0xFFFFFFFF, 0x00000000, 0xFFFFFFFF},
      {"4 bits", IconImage(4, palette16, std::string("\x55\x55\0\0\x55\x55\0\0", 8), kMask),
       0xFF102030, 0x00000000, 0xFF102030},
      {"8 bits", IconImage(8, palette256, std::string("\xC8\xC8\xC8\xC8\xC8\xC8\xC8\xC8", 8), kMask),
       0xFF010203, 0x00000000, 0xFF010203},
      {"24 bits",
       IconImage(24, "",
                 Join({std::string("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A\x0B\x0C", 12),
                       std::string("\x11\x12\x13\x14\x15\x16\x17\x18\x19\x1A\x1B\x1C", 12)}),
                 kMask),
       0xFF131211, 0x00000000, 0xFF0C0B0A},
      {"32 bits with alpha: the mask is not needed",
       IconImage(32, "",
                 Join({std::string(16, '\x80'), std::string("\x01\x02\x03\x40", 4),
                       std::string(12, '\x7F')}),
                 ""),
       0x40030201, 0x80808080, 0x80808080},
      {"32 bits without alpha: the mask decides",
       IconImage(32, "", std::string(32, '\0'), kMask), 0xFF000000, 0x00000000, 0xFF000000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto icon = DecodeIconImage(Span(c.bytes));
    ASSERT_TRUE(icon);
    ASSERT_EQ(icon->Width(), 4);
    ASSERT_EQ(icon->Height(), 2);
    EXPECT_EQ(icon->Pixel(0, 0), c.topLeft);
    EXPECT_EQ(icon->Pixel(0, 1), c.bottomLeft);
    EXPECT_EQ(icon->Pixel(3, 1), c.bottomRight);
  }
}

TEST(DecodeIconImage, DamagedImagesFailAndOtherKindsAreSkipped) {
  const std::string rows24(24, '\0');
  struct Case {
    const char* what;
    std::string bytes;
    bool throws;
  };
  const Case cases[] = {
      {"cut inside the header", IconImage(24, "", rows24, kMask).substr(0, 20), true},
      {"cut inside the pixels", IconImage(24, "", rows24, kMask).substr(0, 50), true},
      {"mask missing", IconImage(24, "", rows24, ""), true},
      {"colour table cut", IconImage(8, std::string(100, '\0'), "", ""), true},
      {"no width", IconImage(24, "", rows24, kMask, 0), true},
      {"a width no icon has", IconImage(24, "", rows24, kMask, 100000), true},
      {"a negative height", IconImage(24, "", rows24, kMask, 4, -2), true},
      {"2 bits per pixel", IconImage(2, "", rows24, kMask), true},
      {"compressed", IconImage(24, "", rows24, kMask, 4, 2, 1), false},
      {"a PNG image", Join({std::string("\x89PNG\r\n\x1a\n", 8), std::string(40, '\0')}), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.throws)
      EXPECT_THROW(DecodeIconImage(Span(c.bytes)), Error);
    else
      EXPECT_FALSE(DecodeIconImage(Span(c.bytes)));
  }
}

std::string IconGroup(std::initializer_list<std::array<int, 3>> entries) {
  test::Bytes b;
  b.U16(0).U16(1).U16(static_cast<uint16_t>(entries.size()));
  for (const auto& e : entries)
    b.U8(static_cast<uint8_t>(e[0])).U8(static_cast<uint8_t>(e[0])).U8(0).U8(0).U16(1)
        .U16(static_cast<uint16_t>(e[1])).U32(0).U16(static_cast<uint16_t>(e[2]));
  return b.Get();
}

TEST(ExecutableIcon, LargestReadableImageOfTheFirstGroup) {
  test::TempDir dir;
  const std::string small = IconImage(24, "", std::string(24, '\x10'), kMask);
  const std::string large =
      IconImage(24, "", std::string(8 * 8 * 3, '\x20'), std::string(4 * 8, '\0'), 8, 8);
  // The 16-pixel entry names an image that is a PNG: skipped for the next best.
  const std::string png = Join({std::string("\x89PNG\r\n\x1a\n", 8), std::string(40, '\0')});
  const std::string exe =
      dir.Write("game.exe", test::BuildPe({{"#14", "MAINICON", IconGroup({{4, 24, 1}, {8, 24, 2}, {16, 32, 3}})},
                                           {"#3", "#1", small},
                                           {"#3", "#2", large},
                                           {"#3", "#3", png}})
                                .bytes);
  const auto icon = ExecutableIcon(exe);
  ASSERT_TRUE(icon);
  EXPECT_EQ(icon->Width(), 8);
  EXPECT_EQ(icon->Pixel(0, 0), 0xFF202020u);

  // Without an icon, with a damaged group, or not a program at all: none, and no error.
  const std::string plain = dir.Write("plain.exe", test::BuildPe({{"BINTYPE", "DUMMY", "vf"}}).bytes);
  EXPECT_FALSE(ExecutableIcon(plain));
  const std::string cut =
      dir.Write("cut.exe", test::BuildPe({{"#14", "#1", IconGroup({{8, 24, 2}}).substr(0, 10)}}).bytes);
  EXPECT_FALSE(ExecutableIcon(cut));
  EXPECT_FALSE(ExecutableIcon(dir.Write("text.exe", "not a program")));
  EXPECT_FALSE(ExecutableIcon(dir / "missing.exe"));
}

TEST(PlayerIcon, OpaqueDesignWithTransparentCorners) {
  const PixelBuffer icon = PlayerIcon(48);
  ASSERT_EQ(icon.Width(), 48);
  EXPECT_EQ(icon.Pixel(0, 0) >> 24, 0u);                // a rounded corner
  EXPECT_EQ(icon.Pixel(24, 24), 0xFFFFFFFFu);           // the play sign
  EXPECT_EQ(icon.Pixel(8, 24), 0xFF2B3A67u);            // the background
  EXPECT_EQ(PlayerIcon(1).Width(), 16);                 // sizes are kept to what desktops use
  EXPECT_EQ(PlayerIcon(100000).Width(), 256);
}

}  // namespace
}  // namespace orin
