// PNG through libpng. libpng reports errors by longjmp, so every call into it happens in a small
// function that calls setjmp and holds nothing with a destructor; the C++ side allocates between
// those calls and turns a failure into Error.
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/error.h"
#include "imaging/image_codecs.h"

namespace orin {

namespace {

struct PngDecoder {
  png_structp png = nullptr;
  png_infop info = nullptr;
  const uint8_t* data = nullptr;
  size_t size = 0;
  size_t pos = 0;
  char message[200] = "";
  // The header, before any transformation.
  png_uint_32 width = 0, height = 0;
  int bitDepth = 0, colorType = 0;
  png_color palette[256] = {};
  int paletteCount = 0;
  png_byte transAlpha[256] = {};
  int transCount = 0;
  bool hasTrans = false;
  png_color_16 transColor = {};
  // After the transformations.
  int outColorType = 0;
  size_t rowBytes = 0;
};

void PngReadData(png_structp png, png_bytep out, size_t n) {
  auto* d = static_cast<PngDecoder*>(png_get_io_ptr(png));
  if (n > d->size - d->pos) png_error(png, "the data ends early");
  std::memcpy(out, d->data + d->pos, n);
  d->pos += n;
}

void PngOnError(png_structp png, png_const_charp message) {
  auto* d = static_cast<PngDecoder*>(png_get_error_ptr(png));
  std::snprintf(d->message, sizeof d->message, "%s", message);
  png_longjmp(png, 1);
}

void PngOnWarning(png_structp, png_const_charp) {}

bool PngReadHeader(PngDecoder* d) {
  if (setjmp(png_jmpbuf(d->png))) return false;
  png_set_read_fn(d->png, d, PngReadData);
  png_set_user_limits(d->png, TDIBSurface::kMaxSide, TDIBSurface::kMaxSide);
  png_read_info(d->png, d->info);
  int interlace = 0;
  png_get_IHDR(d->png, d->info, &d->width, &d->height, &d->bitDepth, &d->colorType, &interlace, nullptr, nullptr);
  if (d->colorType == PNG_COLOR_TYPE_PALETTE) {
    png_colorp palette = nullptr;
    if (png_get_PLTE(d->png, d->info, &palette, &d->paletteCount) && palette) {
      if (d->paletteCount > 256) d->paletteCount = 256;
      std::memcpy(d->palette, palette, sizeof(png_color) * static_cast<size_t>(d->paletteCount));
    }
  }
  png_bytep transAlpha = nullptr;
  png_color_16p transColor = nullptr;
  if (png_get_tRNS(d->png, d->info, &transAlpha, &d->transCount, &transColor)) {
    d->hasTrans = true;
    if (d->colorType == PNG_COLOR_TYPE_PALETTE && transAlpha) {
      if (d->transCount > 256) d->transCount = 256;
      std::memcpy(d->transAlpha, transAlpha, static_cast<size_t>(d->transCount));
    } else if (transColor) {
      d->transColor = *transColor;
    }
  }

  if (d->colorType == PNG_COLOR_TYPE_PALETTE) {
    png_set_packing(d->png);
  } else {
    // A transparent grey or colour at 16 bits cannot survive the cut to 8 bits as one value.
    if (d->hasTrans && d->bitDepth == 16) png_set_tRNS_to_alpha(d->png);
    if (d->bitDepth == 16) png_set_strip_16(d->png);
    if (d->colorType == PNG_COLOR_TYPE_GRAY && d->bitDepth < 8) png_set_expand_gray_1_2_4_to_8(d->png);
    if (d->colorType & PNG_COLOR_MASK_COLOR) png_set_bgr(d->png);
  }
  png_set_interlace_handling(d->png);
  png_read_update_info(d->png, d->info);
  d->outColorType = png_get_color_type(d->png, d->info);
  d->rowBytes = png_get_rowbytes(d->png, d->info);
  return true;
}

bool PngReadRows(PngDecoder* d, png_bytepp rows) {
  if (setjmp(png_jmpbuf(d->png))) return false;
  png_read_image(d->png, rows);
  return true;
}

struct PngEncoder {
  png_structp png = nullptr;
  png_infop info = nullptr;
  ByteBuffer* out = nullptr;
  char message[200] = "";
};

void PngWriteData(png_structp png, png_bytep data, size_t n) {
  auto* e = static_cast<PngEncoder*>(png_get_io_ptr(png));
  bool failed = false;
  try {
    const size_t old = e->out->Size();
    e->out->Resize(old + n);
    std::memcpy(e->out->Data() + old, data, n);
  } catch (...) {
    failed = true;
  }
  if (failed) png_error(png, "out of memory");
}

void PngFlush(png_structp) {}

void PngOnWriteError(png_structp png, png_const_charp message) {
  auto* e = static_cast<PngEncoder*>(png_get_error_ptr(png));
  std::snprintf(e->message, sizeof e->message, "%s", message);
  png_longjmp(png, 1);
}

bool PngWriteImage(PngEncoder* e, png_bytepp rows, int width, int height) {
  if (setjmp(png_jmpbuf(e->png))) return false;
  png_set_write_fn(e->png, e, PngWriteData, PngFlush);
  png_set_IHDR(e->png, e->info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(e->png, e->info);
  png_write_image(e->png, rows);
  png_write_end(e->png, nullptr);
  return true;
}

}  // namespace

DecodedPicture DecodePng(const uint8_t* data, size_t size) {
  auto d = std::make_unique<PngDecoder>();
  d->data = data;
  d->size = size;
  if (size < 8 || png_sig_cmp(data, 0, 8) != 0) throw Error("not a PNG picture");
  d->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, d.get(), PngOnError, PngOnWarning);
  if (!d->png) throw Error("cannot start the PNG decoder");
  d->info = png_create_info_struct(d->png);
  struct Release {
    PngDecoder* d;
    ~Release() { png_destroy_read_struct(&d->png, d->info ? &d->info : nullptr, nullptr); }
  } release{d.get()};
  if (!d->info) throw Error("cannot start the PNG decoder");
  if (!PngReadHeader(d.get())) throw Error(std::string("damaged PNG data: ") + d->message);

  const int width = static_cast<int>(d->width), height = static_cast<int>(d->height);
  if (int64_t{width} * height > TDIBSurface::kMaxPixels)
    throw Error("a PNG picture of " + std::to_string(width) + " x " + std::to_string(height) + " pixels is beyond the limit");
  std::vector<uint8_t> pixels(d->rowBytes * static_cast<size_t>(height));
  std::vector<png_bytep> rows(static_cast<size_t>(height));
  for (int y = 0; y < height; ++y) rows[y] = pixels.data() + d->rowBytes * static_cast<size_t>(y);
  if (!PngReadRows(d.get(), rows.data())) throw Error(std::string("damaged PNG data: ") + d->message);

  DecodedPicture out;
  TDIBSurface& s = out.Surface;
  auto makeAlpha = [&](int channels, int alphaAt) {
    s.CreateAlpha();
    for (int y = 0; y < height; ++y) {
      uint8_t* a = s.Alpha->ScanLine(y);
      for (int x = 0; x < width; ++x) a[x] = rows[y][x * channels + alphaAt];
    }
  };
  switch (d->outColorType) {
    case PNG_COLOR_TYPE_PALETTE: {
      s.SetSize(width, height, d->bitDepth == 1 ? 1 : d->bitDepth <= 4 ? 4 : 8);
      for (int i = 0; i < d->paletteCount; ++i)
        s.Palette[i] = PaletteEntry{d->palette[i].blue, d->palette[i].green, d->palette[i].red, 0};
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) s.SetPixel(x, y, rows[y][x]);
      if (!d->hasTrans) break;
      // One fully transparent entry among opaque ones is a transparent colour; anything finer
      // needs the alpha plane.
      int clear = -1, partial = 0;
      for (int i = 0; i < d->transCount; ++i) {
        if (d->transAlpha[i] == 0 && clear < 0) clear = i;
        else if (d->transAlpha[i] != 255) ++partial;
      }
      if (clear >= 0 && partial == 0) {
        out.TransparentValue = clear;
      } else if (clear >= 0 || partial > 0) {
        s.CreateAlpha();
        for (int y = 0; y < height; ++y) {
          uint8_t* a = s.Alpha->ScanLine(y);
          for (int x = 0; x < width; ++x) {
            const int index = rows[y][x];
            a[x] = index < d->transCount ? d->transAlpha[index] : 255;
          }
        }
      }
      break;
    }
    case PNG_COLOR_TYPE_GRAY:
      s.SetSize(width, height, 8);
      s.SetGreyPalette();
      for (int y = 0; y < height; ++y) std::memcpy(s.ScanLine(y), rows[y], static_cast<size_t>(width));
      if (d->hasTrans && d->bitDepth <= 8) {
        const int maxValue = (1 << d->bitDepth) - 1;
        out.TransparentValue = (d->transColor.gray & maxValue) * 255 / maxValue;
      }
      break;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
      s.SetSize(width, height, 8);
      s.SetGreyPalette();
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) s.ScanLine(y)[x] = rows[y][2 * x];
      makeAlpha(2, 1);
      break;
    case PNG_COLOR_TYPE_RGB:
      s.SetSize(width, height, 24);
      for (int y = 0; y < height; ++y) std::memcpy(s.ScanLine(y), rows[y], static_cast<size_t>(width) * 3);
      if (d->hasTrans && d->bitDepth <= 8)
        out.TransparentValue = (d->transColor.red & 0xFF) << 16 | (d->transColor.green & 0xFF) << 8 | (d->transColor.blue & 0xFF);
      break;
    case PNG_COLOR_TYPE_RGB_ALPHA:
      s.SetSize(width, height, 24);
      for (int y = 0; y < height; ++y) {
        uint8_t* p = s.ScanLine(y);
        for (int x = 0; x < width; ++x) std::memcpy(p + 3 * x, rows[y] + 4 * x, 3);
      }
      makeAlpha(4, 3);
      break;
    default:
      throw Error("unsupported PNG colour type");
  }
  return out;
}

std::shared_ptr<ByteBuffer> EncodePngRgba(const uint8_t* rgba, int width, int height, size_t stride) {
  auto out = std::make_shared<ByteBuffer>();
  PngEncoder e;
  e.out = out.get();
  e.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &e, PngOnWriteError, PngOnWarning);
  if (!e.png) throw Error("cannot start the PNG encoder");
  e.info = png_create_info_struct(e.png);
  struct Release {
    PngEncoder& e;
    ~Release() { png_destroy_write_struct(&e.png, e.info ? &e.info : nullptr); }
  } release{e};
  if (!e.info) throw Error("cannot start the PNG encoder");
  std::vector<png_bytep> rows(static_cast<size_t>(std::max(height, 0)));
  for (int y = 0; y < height; ++y) rows[y] = const_cast<png_bytep>(rgba + stride * static_cast<size_t>(y));
  if (!PngWriteImage(&e, rows.data(), width, height)) throw Error(std::string("cannot write the PNG picture: ") + e.message);
  return out;
}

}  // namespace orin
