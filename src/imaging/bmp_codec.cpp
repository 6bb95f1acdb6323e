// Windows bitmaps, read with our own parser: every offset and count is checked against the data.
#include <cstring>
#include <string>

#include "core/endian.h"
#include "core/error.h"
#include "imaging/image_codecs.h"

namespace orin {

namespace {

constexpr uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kAlphaBitFields = 6;

[[noreturn]] void Damaged(const std::string& why) { throw Error("damaged bitmap: " + why); }

// One channel of a bit-field pixel scaled to 0–255.
struct Channel {
  uint32_t mask = 0;
  int shift = 0;
  uint32_t max = 0;
  explicit Channel(uint32_t m) : mask(m) {
    if (!m) return;
    while (!((m >> shift) & 1u)) ++shift;
    max = m >> shift;
  }
  uint8_t Of(uint32_t v) const { return max ? static_cast<uint8_t>(uint64_t{(v & mask) >> shift} * 255u / max) : 0; }
};

// Runs of an RLE8 or RLE4 picture, rows from the bottom. Pixels the codes skip stay index 0.
void DecodeRle(const uint8_t* p, size_t size, TDIBSurface& s, bool four) {
  const int width = s.Width(), height = s.Height();
  int x = 0, row = 0;  // row counts from the bottom
  size_t i = 0;
  auto put = [&](uint32_t index) {
    if (x < width && row < height) s.SetPixel(x, height - 1 - row, index);
    ++x;
  };
  while (i + 1 < size) {
    const uint8_t count = p[i], code = p[i + 1];
    i += 2;
    if (count > 0) {
      for (int n = 0; n < count; ++n) put(four ? (n & 1 ? code & 0xF : code >> 4) : code);
      continue;
    }
    if (code == 0) {  // end of line
      x = 0;
      if (++row >= height) return;
    } else if (code == 1) {  // end of picture
      return;
    } else if (code == 2) {  // delta
      if (i + 2 > size) Damaged("a run ends early");
      x += p[i];
      row += p[i + 1];
      i += 2;
      if (row >= height) return;
    } else {  // literal run of `code` pixels, padded to a 16-bit boundary
      const size_t bytes = four ? (code + 1u) / 2u : code;
      if (bytes > size - i) Damaged("a run ends early");
      for (int n = 0; n < code; ++n) put(four ? (n & 1 ? p[i + n / 2] & 0xF : p[i + n / 2] >> 4) : p[i + n]);
      i += (bytes + 1) & ~size_t{1};
    }
  }
}

}  // namespace

DecodedPicture DecodeBmp(const uint8_t* data, size_t size) {
  size_t pos = 0;
  size_t pixelOffset = 0;
  bool hasFileHeader = false;
  if (size >= 2 && data[0] == 'B' && data[1] == 'M') {
    if (size < 14) Damaged("the file header is cut short");
    pixelOffset = LoadU32LE(data + 10);
    pos = 14;
    hasFileHeader = true;
  }
  if (size - pos < 4) Damaged("the header is cut short");
  const uint32_t headerSize = LoadU32LE(data + pos);
  if (headerSize != 12 && (headerSize < 40 || headerSize > 1024))
    throw Error("unsupported bitmap header of " + std::to_string(headerSize) + " bytes");
  if (size - pos < headerSize) Damaged("the header is cut short");
  const uint8_t* h = data + pos;
  int64_t width, height;
  int bitCount;
  uint32_t compression = kRgb, colorsUsed = 0;
  uint32_t masks[4] = {};
  size_t paletteEntrySize = 4;
  size_t after = pos + headerSize;
  if (headerSize == 12) {
    width = LoadU16LE(h + 4);
    height = LoadU16LE(h + 6);
    bitCount = LoadU16LE(h + 10);
    paletteEntrySize = 3;
  } else {
    width = LoadI32LE(h + 4);
    height = LoadI32LE(h + 8);
    bitCount = LoadU16LE(h + 14);
    compression = LoadU32LE(h + 16);
    colorsUsed = LoadU32LE(h + 32);
    if (compression == kBitFields || compression == kAlphaBitFields) {
      const size_t count = compression == kAlphaBitFields ? 4 : 3;
      if (headerSize >= 40 + 4 * count) {
        for (size_t i = 0; i < count; ++i) masks[i] = LoadU32LE(h + 40 + 4 * i);
      } else {
        if (size - after < 4 * count) Damaged("the colour masks are cut short");
        for (size_t i = 0; i < count; ++i) masks[i] = LoadU32LE(data + after + 4 * i);
        after += 4 * count;
      }
    }
  }
  const bool topDown = height < 0;
  if (topDown) height = -height;
  if (width <= 0 || height <= 0 || width > TDIBSurface::kMaxSide || height > TDIBSurface::kMaxSide ||
      width * height > TDIBSurface::kMaxPixels)
    throw Error("a bitmap of " + std::to_string(width) + " x " + std::to_string(height) + " pixels is not supported");
  const bool rle = compression == kRle8 || compression == kRle4;
  if (!(compression == kRgb || (compression == kRle8 && bitCount == 8) || (compression == kRle4 && bitCount == 4) ||
        ((compression == kBitFields || compression == kAlphaBitFields) && (bitCount == 16 || bitCount == 32))))
    throw Error("unsupported bitmap compression " + std::to_string(compression) + " at " + std::to_string(bitCount) + " bits");
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
    throw Error("unsupported bitmap depth of " + std::to_string(bitCount) + " bits");
  if (rle && topDown) Damaged("a compressed bitmap cannot be stored from the top");

  DecodedPicture out;
  TDIBSurface& s = out.Surface;
  const int w = static_cast<int>(width), ht = static_cast<int>(height);
  if (bitCount <= 8) {
    const size_t maxEntries = size_t{1} << bitCount;
    size_t entries = colorsUsed && colorsUsed < maxEntries ? colorsUsed : maxEntries;
    if ((size - after) / paletteEntrySize < entries) Damaged("the palette is cut short");
    s.SetSize(w, ht, bitCount);
    for (size_t i = 0; i < entries; ++i) {
      const uint8_t* e = data + after + i * paletteEntrySize;
      s.Palette[i] = PaletteEntry{e[0], e[1], e[2], 0};
    }
    // A palette that claims more entries than the depth can index still occupies its bytes.
    const size_t stored = colorsUsed > maxEntries && colorsUsed <= 256 ? colorsUsed : entries;
    after += std::min(stored * paletteEntrySize, size - after);
  }
  if (!hasFileHeader) pixelOffset = after;
  if (pixelOffset > size) Damaged("the pixel data lies beyond the end of the file");
  const uint8_t* pixels = data + pixelOffset;
  const size_t available = size - pixelOffset;

  if (rle) {
    DecodeRle(pixels, available, s, compression == kRle4);
    return out;
  }
  const size_t rowSize = (static_cast<size_t>(w) * bitCount + 31) / 32 * 4;
  if (available / rowSize < static_cast<size_t>(ht)) Damaged("the pixel data is cut short");
  auto sourceRow = [&](int y) { return pixels + rowSize * static_cast<size_t>(topDown ? y : ht - 1 - y); };

  if (bitCount <= 8 || bitCount == 24) {
    if (bitCount == 24) s.SetSize(w, ht, 24);
    for (int y = 0; y < ht; ++y) std::memcpy(s.ScanLine(y), sourceRow(y), std::min<size_t>(rowSize, s.RowSize()));
    return out;
  }
  if (bitCount == 16) {
    const bool fields = compression != kRgb;
    const uint32_t r = fields ? masks[0] : 0x7C00, g = fields ? masks[1] : 0x3E0, b = fields ? masks[2] : 0x1F;
    if ((r == 0x7C00 && g == 0x3E0 && b == 0x1F) || (r == 0xF800 && g == 0x7E0 && b == 0x1F)) {
      s.SetSize(w, ht, g == 0x3E0 ? 15 : 16);
      for (int y = 0; y < ht; ++y) std::memcpy(s.ScanLine(y), sourceRow(y), static_cast<size_t>(w) * 2);
      return out;
    }
    const Channel cr(r), cg(g), cb(b);
    s.SetSize(w, ht, 24);
    for (int y = 0; y < ht; ++y) {
      const uint8_t* src = sourceRow(y);
      uint8_t* dst = s.ScanLine(y);
      for (int x = 0; x < w; ++x) {
        const uint32_t v = LoadU16LE(src + 2 * x);
        dst[3 * x] = cb.Of(v), dst[3 * x + 1] = cg.Of(v), dst[3 * x + 2] = cr.Of(v);
      }
    }
    return out;
  }
  // 32 bits: the fourth byte of every pixel becomes the alpha plane, the colour 24 bits.
  const bool fields = compression != kRgb;
  const Channel cr(fields ? masks[0] : 0xFF0000), cg(fields ? masks[1] : 0xFF00), cb(fields ? masks[2] : 0xFF);
  s.SetSize(w, ht, 24);
  s.CreateAlpha();
  for (int y = 0; y < ht; ++y) {
    const uint8_t* src = sourceRow(y);
    uint8_t* dst = s.ScanLine(y);
    uint8_t* a = s.Alpha->ScanLine(y);
    for (int x = 0; x < w; ++x) {
      const uint32_t v = LoadU32LE(src + 4 * x);
      dst[3 * x] = cb.Of(v), dst[3 * x + 1] = cg.Of(v), dst[3 * x + 2] = cr.Of(v);
      a[x] = src[4 * x + 3];
    }
  }
  return out;
}

}  // namespace orin
