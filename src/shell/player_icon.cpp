#include "shell/player_icon.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "core/byte_reader.h"
#include "core/error.h"
#include "resources/pe_resource.h"
#include "resources/stream.h"

namespace orin {
namespace {

constexpr int kMaxIconSide = 256;

// The design of data/orinplay.svg: a rounded square of deep blue with a white play triangle,
// in units of the icon's side.
bool InBackground(double x, double y) {
  const double r = 0.2;
  const double cx = std::clamp(x, r, 1 - r), cy = std::clamp(y, r, 1 - r);
  return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r;
}

bool InTriangle(double x, double y) {
  // (0.38, 0.28), (0.38, 0.72), (0.74, 0.5)
  if (x < 0.38) return false;
  const double half = 0.22 * (0.74 - x) / 0.36;
  return y >= 0.5 - half && y <= 0.5 + half;
}

uint32_t Mix(uint32_t a, uint32_t b, int weightB, int total) {
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const uint32_t ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
    out |= ((ca * static_cast<uint32_t>(total - weightB) + cb * static_cast<uint32_t>(weightB)) /
            static_cast<uint32_t>(total))
           << shift;
  }
  return out;
}

}  // namespace

PixelBuffer PlayerIcon(int size) {
  size = std::clamp(size, 16, kMaxIconSide);
  constexpr uint32_t kBlue = 0xFF2B3A67, kWhite = 0xFFFFFFFF;
  constexpr int kSub = 4;  // 4 × 4 samples per pixel smooth the edges
  PixelBuffer icon(size, size, 0);
  for (int py = 0; py < size; ++py)
    for (int px = 0; px < size; ++px) {
      int back = 0, front = 0;
      for (int sy = 0; sy < kSub; ++sy)
        for (int sx = 0; sx < kSub; ++sx) {
          const double x = (px + (sx + 0.5) / kSub) / size, y = (py + (sy + 0.5) / kSub) / size;
          if (!InBackground(x, y)) continue;
          ++back;
          if (InTriangle(x, y)) ++front;
        }
      if (back == 0) continue;
      const uint32_t colour = back > 0 ? Mix(kBlue, kWhite, front, back) : 0;
      const uint32_t alpha = static_cast<uint32_t>(back * 255 / (kSub * kSub));
      icon.SetPixel(px, py, (colour & 0xFFFFFF) | alpha << 24);
    }
  return icon;
}

std::optional<PixelBuffer> DecodeIconImage(std::span<const uint8_t> bytes) {
  static constexpr uint8_t kPng[] = {0x89, 'P', 'N', 'G'};
  if (bytes.size() >= 4 && std::equal(kPng, kPng + 4, bytes.begin())) return std::nullopt;
  ByteReader r(bytes, "icon");
  const uint32_t headerSize = r.U32("header size");
  if (headerSize < 40) return std::nullopt;  // old OS/2 headers
  const int32_t width = r.I32("width");
  const int32_t doubledHeight = r.I32("height");
  r.U16("planes");
  const uint16_t bits = r.U16("bits per pixel");
  const uint32_t compression = r.U32("compression");
  r.Skip(12, "image size and resolution");
  const uint32_t coloursUsed = r.U32("colours used");
  if (compression != 0) return std::nullopt;
  // The height counts the colour rows and the mask rows.
  const int32_t height = doubledHeight / 2;
  if (width <= 0 || width > kMaxIconSide || height <= 0 || height > kMaxIconSide)
    r.Fail("size", "not an icon's size");
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32)
    r.Fail("bits per pixel", "not 1, 4, 8, 24 or 32");
  r.Seek(headerSize, "header");

  std::vector<uint32_t> palette;
  if (bits <= 8) {
    const uint32_t full = 1u << bits;
    const uint32_t count = coloursUsed == 0 || coloursUsed > full ? full : coloursUsed;
    palette.resize(full, 0);
    for (uint32_t i = 0; i < count; ++i) palette[i] = r.U32("colour table") & 0xFFFFFF;
  }
  const size_t stride = ((static_cast<size_t>(width) * bits + 31) / 32) * 4;
  const size_t maskStride = ((static_cast<size_t>(width) + 31) / 32) * 4;
  const std::span<const uint8_t> colour = r.Bytes(stride * static_cast<size_t>(height), "pixels");
  // Some icons of 32 bits leave the mask out; their alpha says it all.
  std::span<const uint8_t> mask;
  if (r.Remaining() >= maskStride * static_cast<size_t>(height))
    mask = r.Bytes(maskStride * static_cast<size_t>(height), "mask");
  else if (bits != 32)
    r.Fail("mask", "length runs past the end");

  PixelBuffer icon(width, height, 0);
  bool anyAlpha = false;
  for (int y = 0; y < height; ++y) {
    // Rows are stored from the bottom up.
    const uint8_t* row = colour.data() + stride * static_cast<size_t>(height - 1 - y);
    for (int x = 0; x < width; ++x) {
      uint32_t pixel = 0;
      switch (bits) {
        case 32:
          pixel = row[x * 4] | row[x * 4 + 1] << 8 | row[x * 4 + 2] << 16 |
                  static_cast<uint32_t>(row[x * 4 + 3]) << 24;
          anyAlpha = anyAlpha || (pixel >> 24) != 0;
          break;
        case 24:
          pixel = row[x * 3] | row[x * 3 + 1] << 8 | row[x * 3 + 2] << 16;
          break;
        default: {
          const int perByte = 8 / bits;
          const int shift = 8 - bits * (x % perByte + 1);
          const uint32_t index = (row[x / perByte] >> shift) & ((1u << bits) - 1);
          pixel = palette[index];
          break;
        }
      }
      icon.SetPixel(x, y, pixel);
    }
  }
  if (bits == 32 && anyAlpha) return icon;
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = mask.empty() ? nullptr : mask.data() + maskStride * static_cast<size_t>(height - 1 - y);
    for (int x = 0; x < width; ++x) {
      const bool transparent = row != nullptr && ((row[x / 8] >> (7 - x % 8)) & 1) != 0;
      const uint32_t p = icon.Pixel(x, y) & 0xFFFFFF;
      icon.SetPixel(x, y, transparent ? 0 : p | 0xFF000000u);
    }
  }
  return icon;
}

std::optional<PixelBuffer> ExecutableIcon(const std::string& exeHostPath) {
  try {
    FileStream exe(exeHostPath, FileStream::kRead);
    if (!LooksLikePe(exe)) return std::nullopt;
    exe.SetPosition(0);
    auto read = [&exe](const PeResourceLocation& at) {
      std::vector<uint8_t> bytes(static_cast<size_t>(at.size));
      exe.SetPosition(at.offset);
      exe.ReadBuffer(bytes.data(), at.size);
      return bytes;
    };
    const auto group = FindPeResource(exe, "", "#14");
    // A group lists a handful of images; a huge one is not an icon group.
    if (!group || group->size > 65536) return std::nullopt;
    const std::vector<uint8_t> groupBytes = read(*group);
    ByteReader g(groupBytes, "icon group");
    g.U16("reserved");
    if (g.U16("type") != 1) return std::nullopt;
    const uint16_t count = g.U16("count");
    struct Entry {
      int side = 0, bits = 0;
      uint16_t id = 0;
    };
    std::vector<Entry> entries;
    for (uint16_t i = 0; i < count; ++i) {
      Entry e;
      const uint8_t w = g.U8("width"), h = g.U8("height");
      g.Skip(4, "colours and planes");
      e.bits = g.U16("bits per pixel");
      g.U32("size");
      e.id = g.U16("id");
      e.side = std::max(w == 0 ? 256 : w, h == 0 ? 256 : h);
      entries.push_back(e);
    }
    // The largest first, the deepest colour among equals; an image we cannot read yields to the
    // next.
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
      return a.side != b.side ? a.side > b.side : a.bits > b.bits;
    });
    for (const Entry& e : entries) {
      char name[8];
      std::snprintf(name, sizeof name, "#%u", static_cast<unsigned>(e.id));
      const auto image = FindPeResource(exe, name, "#3");
      if (!image || image->size > 1 << 20) continue;
      const std::vector<uint8_t> bytes = read(*image);
      try {
        if (auto icon = DecodeIconImage(bytes)) return icon;
      } catch (const Error&) {
      }
    }
  } catch (const Error&) {
  }
  return std::nullopt;
}

}  // namespace orin
