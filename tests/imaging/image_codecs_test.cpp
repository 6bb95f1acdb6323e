#include "imaging/image_codecs.h"

#include <gtest/gtest.h>

#include "core/error.h"
#include "imaging/imaging_test_support.h"
#include "imaging/mura.h"

namespace orin {
namespace {

using test::Bytes;
using test::MakePng;
using test::PngLayout;

DecodedPicture Png(const PngLayout& layout) {
  const std::string bytes = MakePng(layout);
  return DecodePng(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

std::string Palette(std::initializer_list<uint32_t> rgb) {
  std::string p;
  for (uint32_t c : rgb) p += {char(c >> 16), char(c >> 8), char(c)};
  return p;
}

TEST(DecodePng, PaletteDepthsAndTransparency) {
  // 2-bit palette with one fully transparent entry: a 4-bit picture and a transparent value.
  {
    DecodedPicture p = Png({.width = 4, .height = 1, .bitDepth = 2, .colorType = 3, .rows = "\x1B",
                            .palette = Palette({0x000000, 0xFF0000, 0x00FF00, 0x0000FF}),
                            .trns = std::string("\xFF\x00\xFF", 3)});
    EXPECT_EQ(p.Surface.BitCount(), 4);
    EXPECT_FALSE(p.Surface.HasAlpha());
    EXPECT_EQ(p.TransparentValue, 1);
    for (int x = 0; x < 4; ++x) EXPECT_EQ(p.Surface.GetPixel(x, 0), uint32_t(x));
    EXPECT_EQ(p.Surface.PixelToRGB(1), (Rgb{255, 0, 0}));
  }
  // Partial levels need an alpha plane; entries past the tRNS list are opaque.
  {
    DecodedPicture p = Png({.width = 3, .height = 1, .bitDepth = 8, .colorType = 3, .rows = std::string("\x00\x01\x02", 3),
                            .palette = Palette({1, 2, 3}), .trns = std::string("\x00\x80", 2)});
    EXPECT_EQ(p.Surface.BitCount(), 8);
    EXPECT_EQ(p.TransparentValue, -1);
    ASSERT_TRUE(p.Surface.HasAlpha());
    EXPECT_EQ(p.Surface.Alpha->GetPixel(0, 0), 0u);
    EXPECT_EQ(p.Surface.Alpha->GetPixel(1, 0), 0x80u);
    EXPECT_EQ(p.Surface.Alpha->GetPixel(2, 0), 0xFFu);
  }
  // Two fully transparent entries are more than one colour key can say.
  {
    DecodedPicture p = Png({.width = 2, .height = 1, .bitDepth = 8, .colorType = 3, .rows = std::string("\x00\x01", 2),
                            .palette = Palette({1, 2}), .trns = std::string("\x00\x00", 2)});
    EXPECT_EQ(p.TransparentValue, -1);
    ASSERT_TRUE(p.Surface.HasAlpha());
    EXPECT_EQ(p.Surface.Alpha->GetPixel(1, 0), 0u);
  }
  {
    DecodedPicture p = Png({.width = 9, .height = 1, .bitDepth = 1, .colorType = 3, .rows = std::string("\xA5\x80", 2),
                            .palette = Palette({0x000000, 0xFFFFFF})});
    EXPECT_EQ(p.Surface.BitCount(), 1);
    const uint32_t bits[9] = {1, 0, 1, 0, 0, 1, 0, 1, 1};
    for (int x = 0; x < 9; ++x) EXPECT_EQ(p.Surface.GetPixel(x, 0), bits[x]);
  }
}

TEST(DecodePng, GreyColourAndAlpha) {
  {
    DecodedPicture p = Png({.width = 2, .height = 1, .bitDepth = 8, .colorType = 4, .rows = "\x10\x20\x30\x40"});
    EXPECT_EQ(p.Surface.BitCount(), 8);
    EXPECT_EQ(p.Surface.GetPixel(1, 0), 0x30u);
    EXPECT_EQ(p.Surface.PixelToRGB(0x30), (Rgb{0x30, 0x30, 0x30}));
    ASSERT_TRUE(p.Surface.HasAlpha());
    EXPECT_EQ(p.Surface.Alpha->GetPixel(0, 0), 0x20u);
    EXPECT_EQ(p.Surface.Alpha->GetPixel(1, 0), 0x40u);
  }
  {
    // 2-bit grey is scaled to 8 bits, and so is its transparent value.
    DecodedPicture p = Png({.width = 4, .height = 1, .bitDepth = 2, .colorType = 0, .rows = "\x1B",
                            .trns = std::string("\x00\x01", 2)});
    EXPECT_EQ(p.Surface.GetPixel(1, 0), 85u);
    EXPECT_EQ(p.Surface.GetPixel(3, 0), 255u);
    EXPECT_EQ(p.TransparentValue, 85);
  }
  {
    // At 16 bits a transparent grey becomes alpha 0 for exactly that value.
    DecodedPicture p = Png({.width = 2, .height = 1, .bitDepth = 16, .colorType = 0,
                            .rows = std::string("\x12\x34\x12\x35", 4), .trns = std::string("\x12\x34", 2)});
    EXPECT_EQ(p.Surface.GetPixel(0, 0), 0x12u);
    EXPECT_EQ(p.TransparentValue, -1);
    ASSERT_TRUE(p.Surface.HasAlpha());
    EXPECT_EQ(p.Surface.Alpha->GetPixel(0, 0), 0u);
    EXPECT_EQ(p.Surface.Alpha->GetPixel(1, 0), 255u);
  }
  {
    DecodedPicture p = Png({.width = 1, .height = 1, .bitDepth = 8, .colorType = 2, .rows = "\x11\x22\x33",
                            .trns = std::string("\x00\x11\x00\x22\x00\x33", 6)});
    EXPECT_EQ(p.Surface.BitCount(), 24);
    EXPECT_EQ(p.Surface.GetPixel(0, 0), 0x112233u);
    EXPECT_EQ(p.TransparentValue, 0x112233);
  }
  {
    DecodedPicture p = Png({.width = 1, .height = 1, .bitDepth = 8, .colorType = 6, .rows = "\x11\x22\x33\x44"});
    EXPECT_EQ(p.Surface.GetPixel(0, 0), 0x112233u);
    ASSERT_TRUE(p.Surface.HasAlpha());
    EXPECT_EQ(p.Surface.Alpha->GetPixel(0, 0), 0x44u);
  }
  {
    DecodedPicture p = Png({.width = 1, .height = 1, .bitDepth = 16, .colorType = 2, .rows = std::string("\x11\xFF\x22\x00\x33\x80", 6)});
    EXPECT_EQ(p.Surface.GetPixel(0, 0), 0x112233u);
  }
}

TEST(DecodePng, TransparentColourReachesTheFrame) {
  const std::string png = MakePng({.width = 2, .height = 1, .bitDepth = 8, .colorType = 3,
                                   .rows = std::string("\x00\x01", 2), .palette = Palette({0x102030, 0x405060}),
                                   .trns = std::string("\xFF\x00", 2)});
  TMuraFrameList list;
  MemoryStream s;
  s.Assign(png);
  list.LoadPictureFromStream(s, "x.png");
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list[0].TransparentValue, 1);
  EXPECT_EQ(list[0].TransparentColor, 0x605040);  // 0x00BBGGRR of palette entry 1
  list.MakeMasks();
  EXPECT_EQ(list[0].Surface.Alpha->GetPixel(0, 0), 255u);
  EXPECT_EQ(list[0].Surface.Alpha->GetPixel(1, 0), 0u);
}

TEST(DecodePng, DamagedOrAbsurdFilesFail) {
  const std::string good = MakePng({.width = 3, .height = 2, .bitDepth = 8, .colorType = 2, .rows = std::string(18, '\x42')});
  ASSERT_NO_THROW(DecodePng(reinterpret_cast<const uint8_t*>(good.data()), good.size()));
  // Every cut up to the end of the image data fails.
  const size_t iend = good.size() - 12;
  for (size_t cut = 0; cut < iend; ++cut)
    EXPECT_THROW(DecodePng(reinterpret_cast<const uint8_t*>(good.data()), cut), Error) << cut;
  std::string badCrc = good;
  badCrc[iend - 1] = static_cast<char>(badCrc[iend - 1] ^ 1);  // the IDAT checksum
  EXPECT_THROW(DecodePng(reinterpret_cast<const uint8_t*>(badCrc.data()), badCrc.size()), Error);
  const std::string huge = MakePng({.width = 100000, .height = 100000, .bitDepth = 8, .colorType = 2, .rows = ""});
  EXPECT_THROW(DecodePng(reinterpret_cast<const uint8_t*>(huge.data()), huge.size()), Error);
  const std::string wide = MakePng({.width = 8192, .height = 8200, .bitDepth = 1, .colorType = 0, .rows = ""});
  EXPECT_THROW(DecodePng(reinterpret_cast<const uint8_t*>(wide.data()), wide.size()), Error);
  EXPECT_THROW(DecodePng(reinterpret_cast<const uint8_t*>("GIF89a.."), 8), Error);
}

TEST(EncodePngRgba, RoundTripsThroughTheDecoder) {
  const uint8_t rgba[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0, 0, 0, 0, 255, 255, 255, 255};
  auto png = EncodePngRgba(rgba, 2, 2, 10);  // a stride with padding
  DecodedPicture p = DecodePng(png->Data(), png->Size());
  EXPECT_EQ(p.Surface.GetPixel(0, 0), 0x010203u);
  EXPECT_EQ(p.Surface.GetPixel(1, 0), 0x050607u);
  EXPECT_EQ(p.Surface.GetPixel(0, 1), 0x0B0C00u);
  EXPECT_EQ(p.Surface.GetPixel(1, 1), 0x0000FFu);
  EXPECT_EQ(p.Surface.Alpha->GetPixel(0, 0), 4u);
  EXPECT_EQ(p.Surface.Alpha->GetPixel(0, 1), 0u);
  EXPECT_EQ(p.Surface.Alpha->GetPixel(1, 1), 255u);
}

// ---- Bitmaps

struct BmpLayout {
  int bits = 24;
  int32_t width = 1, height = 1;  // negative height: rows from the top
  uint32_t compression = 0;
  std::string palette;  // four bytes per entry
  uint32_t colorsUsed = 0;
  std::string masks;    // bit-field masks after the header
  std::string pixels;
  bool fileHeader = true;
};

std::string MakeBmp(const BmpLayout& b) {
  Bytes info;
  info.U32(40).I32(b.width).I32(b.height).U16(1).U16(uint16_t(b.bits)).U32(b.compression).U32(0).U32(0).U32(0);
  info.U32(b.colorsUsed).U32(0);
  const std::string body = info.Get() + b.masks + b.palette;
  if (!b.fileHeader) return body + b.pixels;
  Bytes out;
  out.Raw("BM").U32(uint32_t(14 + body.size() + b.pixels.size())).U32(0).U32(uint32_t(14 + body.size()));
  return out.Get() + body + b.pixels;
}

DecodedPicture Bmp(const BmpLayout& layout) {
  const std::string bytes = MakeBmp(layout);
  return DecodeBmp(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

TEST(DecodeBmp, EveryDepth) {
  const std::string grey4 = std::string("\x00\x00\x00\x00\x40\x40\x40\x00\x80\x80\x80\x00\xFF\xFF\xFF\x00", 16);
  struct Case {
    const char* what;
    BmpLayout layout;
    int depth;
    std::vector<uint32_t> pixels;  // rows from the top
  } cases[] = {
      {"1 bit, bottom-up", {.bits = 1, .width = 3, .height = 2, .palette = grey4.substr(0, 8),
                            .pixels = std::string("\x40\0\0\0\xA0\0\0\0", 8)}, 1, {1, 0, 1, 0, 1, 0}},
      {"4 bits", {.bits = 4, .width = 3, .height = 1, .palette = grey4, .colorsUsed = 4, .pixels = std::string("\x12\x30\0\0", 4)}, 4, {1, 2, 3}},
      {"8 bits, top-down", {.bits = 8, .width = 2, .height = -2, .palette = grey4, .colorsUsed = 4,
                            .pixels = std::string("\x01\x02\0\0\x03\x00\0\0", 8)}, 8, {1, 2, 3, 0}},
      {"16 bits are 5-5-5", {.bits = 16, .width = 1, .height = 1, .pixels = std::string("\xFF\x7F\0\0", 4)}, 15, {0x7FFF}},
      {"16 bits with 5-6-5 masks", {.bits = 16, .width = 1, .height = 1, .compression = 3,
                                    .masks = Bytes().U32(0xF800).U32(0x7E0).U32(0x1F).Get(),
                                    .pixels = std::string("\x34\x12\0\0", 4)}, 16, {0x1234}},
      {"16 bits with other masks", {.bits = 16, .width = 1, .height = 1, .compression = 3,
                                    .masks = Bytes().U32(0xF00).U32(0xF0).U32(0xF).Get(),
                                    .pixels = std::string("\x5F\x0A\0\0", 4)}, 24, {0xAA55FF}},
      {"24 bits with padding", {.bits = 24, .width = 1, .height = 2, .pixels = std::string("\x01\x02\x03\0\x04\x05\x06\0", 8)},
       24, {0x060504, 0x030201}},
      {"RLE8", {.bits = 8, .width = 4, .height = 2, .compression = 1, .palette = grey4, .colorsUsed = 4,
                .pixels = std::string("\x03\x02\x00\x00\x00\x03\x01\x02\x03\x00\x00\x01", 12)}, 8, {1, 2, 3, 0, 2, 2, 2, 0}},
      {"RLE4", {.bits = 4, .width = 4, .height = 1, .compression = 2, .palette = grey4, .colorsUsed = 4,
                .pixels = std::string("\x03\x12\x00\x01", 4)}, 4, {1, 2, 1, 0}},
      {"no file header", {.bits = 8, .width = 1, .height = 1, .palette = grey4, .colorsUsed = 4, .pixels = std::string("\x02\0\0\0", 4),
                          .fileHeader = false}, 8, {2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DecodedPicture p = Bmp(c.layout);
    ASSERT_EQ(p.Surface.BitCount(), c.depth);
    const int w = p.Surface.Width();
    ASSERT_EQ(size_t(w * p.Surface.Height()), c.pixels.size());
    for (size_t i = 0; i < c.pixels.size(); ++i)
      EXPECT_EQ(p.Surface.GetPixel(int(i) % w, int(i) / w), c.pixels[i]) << i << " " << std::hex << p.Surface.GetPixel(int(i) % w, int(i) / w);
    EXPECT_FALSE(p.Surface.HasAlpha());
  }
  DecodedPicture pal = Bmp(cases[1].layout);
  EXPECT_EQ(pal.Surface.PixelToRGB(2), (Rgb{0x80, 0x80, 0x80}));
}

TEST(DecodeBmp, ThirtyTwoBitsGiveTheirFourthByteToAnAlphaPlane) {
  DecodedPicture p = Bmp({.bits = 32, .width = 2, .height = 1, .pixels = std::string("\x01\x02\x03\x80\x04\x05\x06\x00", 8)});
  EXPECT_EQ(p.Surface.BitCount(), 24);
  EXPECT_EQ(p.Surface.GetPixel(0, 0), 0x030201u);
  EXPECT_EQ(p.Surface.GetPixel(1, 0), 0x060504u);
  ASSERT_TRUE(p.Surface.HasAlpha());
  EXPECT_EQ(p.Surface.Alpha->GetPixel(0, 0), 0x80u);
  EXPECT_EQ(p.Surface.Alpha->GetPixel(1, 0), 0u);
}

TEST(DecodeBmp, DamagedOrUnsupportedFilesFail) {
  const BmpLayout good{.bits = 24, .width = 3, .height = 3, .pixels = std::string(36, '\x11')};
  const std::string bytes = MakeBmp(good);
  for (size_t cut = 0; cut < bytes.size(); ++cut)
    EXPECT_THROW(DecodeBmp(reinterpret_cast<const uint8_t*>(bytes.data()), cut), Error) << cut;
  std::vector<BmpLayout> bad = {
      {.bits = 2, .width = 1, .height = 1, .pixels = std::string(4, '\0')},
      {.bits = 24, .width = 1, .height = 1, .compression = 1, .pixels = std::string(4, '\0')},
      {.bits = 8, .width = 1, .height = -1, .compression = 1, .palette = std::string(1024, '\0'), .pixels = "\0\1"},
      {.bits = 24, .width = 0, .height = 1},
      {.bits = 24, .width = 40000, .height = 1},
      {.bits = 24, .width = 10000, .height = 10000},
      {.bits = 8, .width = 1, .height = 1, .palette = std::string(10, '\0')},
  };
  for (const BmpLayout& b : bad) EXPECT_THROW(Bmp(b), Error) << b.bits << " " << b.width;
  // RLE codes that reach past the picture are cut to it, never written beyond it.
  DecodedPicture p = Bmp({.bits = 8, .width = 2, .height = 1, .compression = 1, .palette = std::string(1024, '\0'),
                          .pixels = std::string("\xFF\x07\x00\x02\x50\x50\x00\x05\x01\x02\x03\x04\x05\x00", 14)});
  EXPECT_EQ(p.Surface.GetPixel(1, 0), 7u);
}

// ---- JPEG

TEST(Jpeg, RoundTripIsClose) {
  TDIBSurface s(32, 16, 24);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 32; ++x) s.SetPixel(x, y, uint32_t(x * 8) << 16 | uint32_t(y * 16) << 8 | 0x40);
  auto jpeg = EncodeJpeg(s, 95);
  TDIBSurface back;
  DecodeJpeg(jpeg->Data(), jpeg->Size(), back);
  ASSERT_EQ(back.Width(), 32);
  ASSERT_EQ(back.Height(), 16);
  ASSERT_EQ(back.BitCount(), 24);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 32; ++x) {
      const uint32_t a = s.GetPixel(x, y), b = back.GetPixel(x, y);
      for (int c = 0; c < 24; c += 8) EXPECT_NEAR(int(a >> c & 0xFF), int(b >> c & 0xFF), 12) << x << "," << y;
    }
  // Any depth is encoded through its colours.
  TDIBSurface pal(8, 8, 4);
  pal.Palette[3] = {0, 0, 255, 0};
  pal.FillRect(pal.ClientRect(), 3);
  auto red = EncodeJpeg(pal, 90);
  DecodeJpeg(red->Data(), red->Size(), back);
  EXPECT_GT(back.PixelToRGB(back.GetPixel(4, 4)).Red, 240);
  TDIBSurface empty(0, 0, 24);
  EXPECT_THROW(EncodeJpeg(empty, 90), Error);
}

TEST(Jpeg, DamagedDataFails) {
  TDIBSurface s(16, 16, 24);
  test::FillRandom(s, 77);
  auto jpeg = EncodeJpeg(s, 80);
  const std::string good = test::BufferString(*jpeg);
  TDIBSurface out;
  for (size_t cut : {size_t{0}, size_t{2}, size_t{100}, good.size() / 2, good.size() - 2})
    EXPECT_THROW(DecodeJpeg(reinterpret_cast<const uint8_t*>(good.data()), cut, out), Error) << cut;
  EXPECT_THROW(DecodeJpeg(reinterpret_cast<const uint8_t*>("not a jpeg at all"), 17, out), Error);
}

}  // namespace
}  // namespace orin
