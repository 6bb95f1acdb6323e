// Speed of the imaging layer on a 1280 × 720 picture: the hot drawing kernels against memcpy of
// the same bytes, and decoding layered images against the bare codec on the same data.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <vector>
// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

#include "bench_support.h"
#include "imaging/dib_surface.h"
#include "imaging/image_codecs.h"
#include "imaging/mura.h"
#include "imaging/pixel_kernels.h"
#include "resources/stream.h"

namespace orin {
namespace {

constexpr int kWidth = 1280, kHeight = 720;

// Something like a game picture: smooth gradients with a little grain, so that zlib and JPEG
// do the work they do on real backgrounds.
void Paint(TDIBSurface& s, uint32_t seed) {
  std::mt19937 rng(seed);
  for (int y = 0; y < s.Height(); ++y) {
    uint8_t* row = s.ScanLine(y);
    const int bpp = s.StorageBits() / 8;
    for (int x = 0; x < s.Width(); ++x) {
      const int grain = static_cast<int>(rng() % 7) - 3;
      row[bpp * x] = static_cast<uint8_t>(std::clamp(x * 255 / kWidth + grain, 0, 255));
      row[bpp * x + 1] = static_cast<uint8_t>(std::clamp(y * 255 / kHeight + grain, 0, 255));
      row[bpp * x + 2] = static_cast<uint8_t>(std::clamp((x + y) * 255 / (kWidth + kHeight) + grain, 0, 255));
      if (bpp == 4) row[bpp * x + 3] = 0;
    }
  }
}

// An alpha plane with opaque, clear and soft parts, as a character sprite has.
void PaintAlpha(TDIBSurface& s, uint32_t seed) {
  std::mt19937 rng(seed);
  s.CreateAlpha();
  for (int y = 0; y < s.Height(); ++y) {
    uint8_t* a = s.Alpha->ScanLine(y);
    for (int x = 0; x < s.Width(); ++x) {
      const int band = (x / 64 + y / 64) % 3;
      a[x] = band == 0 ? 0 : band == 1 ? 255 : static_cast<uint8_t>(rng());
    }
  }
}

void Memcpy(benchmark::State& state, int depth) {
  TDIBSurface a(kWidth, kHeight, depth), b(kWidth, kHeight, depth);
  Paint(a, 1);
  for (auto _ : state) {
    std::memcpy(b.Bits(), a.Bits(), a.ImageSize());
    benchmark::DoNotOptimize(b.Bits());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(a.ImageSize()));
}
void BM_Memcpy32(benchmark::State& state) { Memcpy(state, 32); }
void BM_Memcpy24(benchmark::State& state) { Memcpy(state, 24); }
BENCHMARK(BM_Memcpy32);
BENCHMARK(BM_Memcpy24);

void BM_DrawAlpha32(benchmark::State& state) {
  TDIBSurface dst(kWidth, kHeight, 32), src(kWidth, kHeight, 32);
  Paint(dst, 1);
  Paint(src, 2);
  PaintAlpha(src, 3);
  for (auto _ : state) {
    dst.DrawAlpha(0, 0, 255, src.ClientRect(), src);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(dst.ImageSize()));
}
BENCHMARK(BM_DrawAlpha32);

// Every alpha value between clear and opaque: no pixel takes a shortcut.
void BM_DrawAlpha32Soft(benchmark::State& state) {
  TDIBSurface dst(kWidth, kHeight, 32), src(kWidth, kHeight, 32);
  Paint(dst, 1);
  Paint(src, 2);
  src.CreateAlpha();
  std::mt19937 rng(4);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) src.Alpha->ScanLine(y)[x] = static_cast<uint8_t>(1 + rng() % 254);
  for (auto _ : state) {
    dst.DrawAlpha(0, 0, 255, src.ClientRect(), src);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(dst.ImageSize()));
}
BENCHMARK(BM_DrawAlpha32Soft);

void Blend(benchmark::State& state, int depth, int32_t key) {
  TDIBSurface dst(kWidth, kHeight, depth), src(kWidth, kHeight, depth);
  Paint(dst, 1);
  Paint(src, 2);
  for (auto _ : state) {
    dst.DrawBlend(0, 0, 128, key, src.ClientRect(), src);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(dst.ImageSize()));
}
void BM_DrawBlend32(benchmark::State& state) { Blend(state, 32, -1); }
void BM_DrawBlend24(benchmark::State& state) { Blend(state, 24, -1); }
void BM_DrawBlend24Keyed(benchmark::State& state) { Blend(state, 24, 0x808080); }
BENCHMARK(BM_DrawBlend32);
BENCHMARK(BM_DrawBlend24);
BENCHMARK(BM_DrawBlend24Keyed);

// The SSE2 form alone, row by row over the same pictures: what a processor without AVX2 gets.
const pixel::KernelSet& Sse2() { return *pixel::AvailableKernels().front(); }

void BM_DrawAlpha32_SSE2(benchmark::State& state) {
  TDIBSurface dst(kWidth, kHeight, 32), src(kWidth, kHeight, 32);
  Paint(dst, 1);
  Paint(src, 2);
  PaintAlpha(src, 3);
  for (auto _ : state) {
    for (int y = 0; y < kHeight; ++y) Sse2().AlphaRow32(dst.ScanLine(y), src.ScanLine(y), src.Alpha->ScanLine(y), kWidth);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_DrawAlpha32_SSE2);

void BM_DrawBlend32_SSE2(benchmark::State& state) {
  TDIBSurface dst(kWidth, kHeight, 32), src(kWidth, kHeight, 32);
  Paint(dst, 1);
  Paint(src, 2);
  for (auto _ : state) {
    for (int y = 0; y < kHeight; ++y) Sse2().BlendRow32(dst.ScanLine(y), src.ScanLine(y), kWidth, 128, 0xFFFFFFFF);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_DrawBlend32_SSE2);

void BM_DrawBlend24_SSE2(benchmark::State& state) {
  TDIBSurface dst(kWidth, kHeight, 24), src(kWidth, kHeight, 24);
  Paint(dst, 1);
  Paint(src, 2);
  for (auto _ : state) {
    for (int y = 0; y < kHeight; ++y) Sse2().BlendRow24(dst.ScanLine(y), src.ScanLine(y), kWidth, 128, -1);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_DrawBlend24_SSE2);

// One 24-bit frame as the writer stores it in the given kind; the zlib one has an alpha plane.
const std::string& MurFile(int kind) {
  static std::string files[3];
  std::string& f = files[kind];
  if (f.empty()) {
    TMuraFrameList list;
    TMuraFrame& frame = list.AddFrame();
    frame.Surface.SetSize(kWidth, kHeight, 24);
    Paint(frame.Surface, 5);
    if (kind == TMuraFrameList::kZlib) PaintAlpha(frame.Surface, 6);
    MemoryStream out;
    list.SaveToStream(out, kind, 85);
    f.assign(out.View());
  }
  return f;
}

// The blocks of the file's one layer: pixel block, then alpha block.
std::vector<std::string> Blocks(const std::string& file) {
  std::vector<std::string> blocks;
  size_t at = file.find("Layer") + 5;
  for (int i = 0; i < 2; ++i) {
    uint32_t n;
    std::memcpy(&n, file.data() + at, 4);
    blocks.push_back(file.substr(at + 4, n));
    at += 4 + n;
  }
  return blocks;
}

void BM_InflatePlanes(benchmark::State& state) {
  const auto blocks = Blocks(MurFile(0));
  std::vector<uint8_t> pixels(size_t(kWidth) * 3 * kHeight), alpha(size_t(kWidth) * kHeight);
  for (auto _ : state) {
    uLongf n = pixels.size();
    uncompress(pixels.data(), &n, reinterpret_cast<const Bytef*>(blocks[0].data()), blocks[0].size());
    uLongf m = alpha.size();
    uncompress(alpha.data(), &m, reinterpret_cast<const Bytef*>(blocks[1].data()), blocks[1].size());
    benchmark::DoNotOptimize(pixels.data());
    benchmark::DoNotOptimize(alpha.data());
  }
}
BENCHMARK(BM_InflatePlanes);

void LoadMur(benchmark::State& state, int kind) {
  MemoryStream file;
  file.Assign(MurFile(kind));
  TMuraFrameList list;
  for (auto _ : state) {
    file.SetPosition(0);
    list.LoadFromStream(file);
    benchmark::DoNotOptimize(list[0].Surface.Bits());
  }
}
void BM_LoadZlibMur(benchmark::State& state) { LoadMur(state, 0); }
void BM_LoadJpegMur(benchmark::State& state) { LoadMur(state, 2); }
BENCHMARK(BM_LoadZlibMur);
BENCHMARK(BM_LoadJpegMur);

// libjpeg alone on the same JPEG block, into the same pixel format.
void BM_JpegDecode(benchmark::State& state) {
  const auto blocks = Blocks(MurFile(2));
  std::vector<uint8_t> pixels(size_t(kWidth) * 3 * kHeight);
  for (auto _ : state) {
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(blocks[0].data()), blocks[0].size());
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&cinfo);
    while (cinfo.output_scanline < cinfo.output_height) {
      JSAMPROW row = pixels.data() + size_t(cinfo.output_scanline) * kWidth * 3;
      jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    benchmark::DoNotOptimize(pixels.data());
  }
}
BENCHMARK(BM_JpegDecode);

}  // namespace
}  // namespace orin

int main(int argc, char** argv) {
  // "At most 3× the time of memcpy" is a ratio memcpy / kernel of at least 1/3.
  return orin::bench::RunWithRatios(argc, argv,
                                    {{"BM_Memcpy32", "BM_DrawAlpha32", 0.333},
                                     {"BM_Memcpy32", "BM_DrawAlpha32Soft", 0.333},
                                     {"BM_Memcpy32", "BM_DrawBlend32", 0.333},
                                     {"BM_Memcpy24", "BM_DrawBlend24", 0.333},
                                     {"BM_Memcpy24", "BM_DrawBlend24Keyed", 0.333},
                                     {"BM_Memcpy32", "BM_DrawAlpha32_SSE2", 0.333},
                                     {"BM_Memcpy32", "BM_DrawBlend32_SSE2", 0.333},
                                     {"BM_Memcpy24", "BM_DrawBlend24_SSE2", 0.333},
                                     {"BM_InflatePlanes", "BM_LoadZlibMur", 0.85},
                                     {"BM_JpegDecode", "BM_LoadJpegMur", 0.9}});
}
