// JPEG through libjpeg. The library reports errors by longjmp, so every call into it happens in a
// small function that calls setjmp and holds nothing with a destructor.
#include <cstdio>
#include <cstdlib>
#include <cstring>
// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

#include <csetjmp>
#include <vector>

#include "core/error.h"
#include "imaging/image_codecs.h"

namespace orin {

namespace {

struct JpegErrors {
  jpeg_error_mgr manager;
  jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void JpegOnError(j_common_ptr cinfo) {
  auto* e = reinterpret_cast<JpegErrors*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, e->message);
  std::longjmp(e->jump, 1);
}

// Level −1 is a warning about corrupt data (a stream that ends early, a bad marker); the decoder
// would go on with made-up pixels, which would hide a damaged file.
void JpegOnMessage(j_common_ptr cinfo, int level) {
  if (level < 0) JpegOnError(cinfo);
}

void InitErrors(JpegErrors& e) {
  jpeg_std_error(&e.manager);
  e.manager.error_exit = JpegOnError;
  e.manager.emit_message = JpegOnMessage;
  e.message[0] = 0;
}

struct JpegDecoder {
  jpeg_decompress_struct cinfo;
  JpegErrors errors;
};

bool JpegReadHeader(JpegDecoder* d, const uint8_t* data, size_t size) {
  if (setjmp(d->errors.jump)) return false;
  jpeg_create_decompress(&d->cinfo);
  jpeg_mem_src(&d->cinfo, data, static_cast<unsigned long>(size));
  jpeg_read_header(&d->cinfo, TRUE);
  return true;
}

bool JpegReadRows(JpegDecoder* d, uint8_t* bits, ptrdiff_t step) {
  if (setjmp(d->errors.jump)) return false;
  d->cinfo.out_color_space = JCS_EXT_BGR;
  jpeg_start_decompress(&d->cinfo);
  while (d->cinfo.output_scanline < d->cinfo.output_height) {
    JSAMPROW row = bits + static_cast<ptrdiff_t>(d->cinfo.output_scanline) * step;
    jpeg_read_scanlines(&d->cinfo, &row, 1);
  }
  jpeg_finish_decompress(&d->cinfo);
  return true;
}

struct JpegEncoder {
  jpeg_compress_struct cinfo;
  JpegErrors errors;
  unsigned char* out = nullptr;
  unsigned long outSize = 0;
};

bool JpegWriteRows(JpegEncoder* e, const uint8_t* bgr, ptrdiff_t step, int width, int height, int quality) {
  if (setjmp(e->errors.jump)) return false;
  jpeg_create_compress(&e->cinfo);
  jpeg_mem_dest(&e->cinfo, &e->out, &e->outSize);
  e->cinfo.image_width = static_cast<JDIMENSION>(width);
  e->cinfo.image_height = static_cast<JDIMENSION>(height);
  e->cinfo.input_components = 3;
  e->cinfo.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&e->cinfo);
  jpeg_set_quality(&e->cinfo, quality, TRUE);
  jpeg_start_compress(&e->cinfo, TRUE);
  while (e->cinfo.next_scanline < e->cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(bgr + static_cast<ptrdiff_t>(e->cinfo.next_scanline) * step);
    jpeg_write_scanlines(&e->cinfo, &row, 1);
  }
  jpeg_finish_compress(&e->cinfo);
  return true;
}

}  // namespace

void DecodeJpeg(const uint8_t* data, size_t size, TDIBSurface& out) {
  auto d = std::make_unique<JpegDecoder>();
  std::memset(&d->cinfo, 0, sizeof d->cinfo);
  InitErrors(d->errors);
  d->cinfo.err = &d->errors.manager;
  struct Release {
    JpegDecoder* d;
    ~Release() { jpeg_destroy_decompress(&d->cinfo); }
  } release{d.get()};
  if (!JpegReadHeader(d.get(), data, size)) throw Error(std::string("damaged JPEG data: ") + d->errors.message);
  const J_COLOR_SPACE space = d->cinfo.jpeg_color_space;
  if (space == JCS_CMYK || space == JCS_YCCK) throw Error("unsupported JPEG data: CMYK pictures cannot be shown");
  out.DropAlpha();
  out.SetSize(static_cast<int>(std::min<JDIMENSION>(d->cinfo.image_width, TDIBSurface::kMaxSide + 1)),
              static_cast<int>(std::min<JDIMENSION>(d->cinfo.image_height, TDIBSurface::kMaxSide + 1)), 24, false);
  if (!JpegReadRows(d.get(), out.Bits(), out.RowStep()))
    throw Error(std::string("damaged JPEG data: ") + d->errors.message);
}

std::shared_ptr<ByteBuffer> EncodeJpeg(const TDIBSurface& picture, int quality) {
  const int width = picture.Width(), height = picture.Height();
  if (width == 0 || height == 0) throw Error("an empty picture cannot be stored as JPEG");
  // The encoder takes three bytes blue, green, red per pixel.
  const TDIBSurface* source = &picture;
  TDIBSurface converted;
  if (picture.StorageBits() != 24) {
    converted.SetSize(width, height, 24);
    for (int y = 0; y < height; ++y) {
      uint8_t* row = converted.ScanLine(y);
      for (int x = 0; x < width; ++x) {
        const Rgb c = picture.PixelToRGB(picture.GetPixel(x, y));
        row[3 * x] = c.Blue, row[3 * x + 1] = c.Green, row[3 * x + 2] = c.Red;
      }
    }
    source = &converted;
  }
  auto e = std::make_unique<JpegEncoder>();
  std::memset(&e->cinfo, 0, sizeof e->cinfo);
  InitErrors(e->errors);
  e->cinfo.err = &e->errors.manager;
  struct Release {
    JpegEncoder* e;
    ~Release() {
      jpeg_destroy_compress(&e->cinfo);
      std::free(e->out);
    }
  } release{e.get()};
  if (!JpegWriteRows(e.get(), source->Bits(), source->RowStep(), width, height, std::clamp(quality, 1, 100)))
    throw Error(std::string("cannot write the JPEG picture: ") + e->errors.message);
  auto out = std::make_shared<ByteBuffer>();
  out->Resize(e->outSize);
  if (e->outSize) std::memcpy(out->Data(), e->out, e->outSize);
  return out;
}

}  // namespace orin
