// The standard picture formats the player reads beside its own layered images: PNG (libpng),
// Windows bitmaps (our own reader) and JPEG (libjpeg, also the storage of JPEG image planes).
//
// Every decoder takes the whole file in memory and throws Error with a plain reason for damaged
// or unsupported data; a picture larger than TDIBSurface's limits is refused before its pixels
// are allocated.
//
//   PNG: palette pictures keep 1, 4 or 8 bits (2-bit ones become 4); grey ones become 8-bit with a
//     grey palette; colour ones 24 bits; 16-bit samples are cut to 8. An alpha channel, or a
//     palette transparency with partial levels, gives an alpha plane. A single transparent colour
//     (tRNS with one fully transparent palette entry, or a grey or colour value at up to 8 bits)
//     gives TransparentValue, the pixel value of that colour; at 16 bits it gives an alpha plane.
//   Bitmaps: with or without the 14-byte file header; core, info and V4/V5 headers; 1, 4, 8, 16,
//     24 and 32 bits, uncompressed, RLE8, RLE4 and bit fields; top-down and bottom-up. 16 bits
//     become 15 or 16 (other masks: 24); 32 bits give their fourth byte to an alpha plane and
//     become 24 bits.
//   JPEG: decoded to 24 bits; grey pictures are expanded, CMYK ones refused. Corrupt-data warnings
//     of the decoder (a stream that ends early) are errors.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "imaging/dib_surface.h"
#include "resources/stream.h"

namespace orin {

struct DecodedPicture {
  TDIBSurface Surface;
  int32_t TransparentValue = -1;  // pixel value (palette index at 8 bits or less), −1 none
};

DecodedPicture DecodePng(const uint8_t* data, size_t size);
DecodedPicture DecodeBmp(const uint8_t* data, size_t size);
// Sizes out to the picture at 24 bits and decodes into it.
void DecodeJpeg(const uint8_t* data, size_t size, TDIBSurface& out);

// The picture at any depth, converted to colour first (palette entries; 15/16 bits unfilled).
std::shared_ptr<ByteBuffer> EncodeJpeg(const TDIBSurface& picture, int quality);
// An 8-bit RGBA PNG from rows of four bytes per pixel (red, green, blue, alpha), `stride` apart.
std::shared_ptr<ByteBuffer> EncodePngRgba(const uint8_t* rgba, int width, int height, size_t stride);

}  // namespace orin
