#include "imaging/mura.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "core/byte_reader.h"
#include "core/cp932.h"
#include "core/endian.h"
#include "core/error.h"
#include "core/random.h"
#include "core/text.h"
#include "imaging/image_codecs.h"
#include "resources/compression.h"
#include "resources/host_fs.h"

namespace orin {

namespace {

// All the pictures one file may allocate while it is read, layers included (they stay in memory
// for files with tiles): the limit of one inflated stream, 1 GiB. About what the original 32-bit
// player could hold; it bounds the work a small hostile file can cause, since every layer may be
// a copy of an earlier one.
constexpr uint64_t kMaxDecodedBytes = kMaxInflatedSize;

// Frames that no layer draws are filled with the background: pixels the file holds no data for.
// Their bytes may come to what the file's bytes read so far could hold inflated (zlib reaches
// about 1032 to 1) and a few MiB besides, so a file of a hundred bytes that asks for many huge
// blank frames is refused before it costs memory, while a pause frame of a real animation,
// whose neighbours carry pixel data, always fits.
constexpr uint64_t kBlankAllowance = uint64_t{8} << 20;
constexpr uint64_t kBlankPerFileByte = 1032;

[[noreturn]] void Damaged(const std::string& why) { throw Error("damaged image: " + why); }

std::string Num(int64_t v) { return std::to_string(v); }

// Names and pixel blocks of the format: a uint32 length, then the bytes (in place).
std::span<const uint8_t> Block(ByteReader& r, const char* what) { return r.Bytes(r.U32(what), what); }

std::string Name(ByteReader& r, const char* what) {
  const auto b = Block(r, what);
  return std::string(reinterpret_cast<const char*>(b.data()), b.size());
}

// The zlib helpers' errors, as errors of this image.
void InflateExactPlane(const uint8_t* data, size_t dataSize, uint8_t* out, size_t size) {
  try {
    InflateExact(data, dataSize, out, size);
  } catch (const Error& e) {
    Damaged(e.Message());
  }
}

std::shared_ptr<ByteBuffer> InflatePlane(const uint8_t* data, size_t dataSize, size_t limit) {
  try {
    return InflateBytes(data, dataSize, 0, limit);
  } catch (const Error& e) {
    Damaged(e.Message());
  }
}

// Copies a w × h area between two surfaces of the same storage depth, cut to both. The areas
// never overlap when both are the same surface (tiles copy from other tiles).
void CopyArea(TDIBSurface& dst, int dx, int dy, const TDIBSurface& src, int sx, int sy, int w, int h) {
  w = std::min({w, dst.Width() - dx, src.Width() - sx});
  h = std::min({h, dst.Height() - dy, src.Height() - sy});
  if (w <= 0 || h <= 0) return;
  const int bits = dst.StorageBits();
  if (bits >= 8) {
    const int bpp = bits / 8;
    for (int j = 0; j < h; ++j)
      std::memcpy(dst.ScanLine(dy + j) + dx * bpp, src.ScanLine(sy + j) + sx * bpp, static_cast<size_t>(w) * bpp);
    return;
  }
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i) dst.SetPixel(dx + i, dy + j, src.GetPixel(sx + i, sy + j));
}

// Converts a decoded 24-bit picture to another depth in place: 32 bits with a fourth byte 0, 15
// and 16 bits by ColorToPixel, palette depths by the nearest entry of `palette`.
void ConvertFrom24(TDIBSurface& s, int depth, const std::array<PaletteEntry, 256>& palette) {
  TDIBSurface n;
  n.SetSize(s.Width(), s.Height(), depth);
  n.Palette = palette;
  std::unordered_map<uint32_t, uint32_t> nearest;
  for (int y = 0; y < s.Height(); ++y) {
    const uint8_t* src = s.ScanLine(y);
    for (int x = 0; x < s.Width(); ++x) {
      const uint8_t b = src[3 * x], g = src[3 * x + 1], r = src[3 * x + 2];
      const uint32_t c = uint32_t{r} << 16 | uint32_t{g} << 8 | b;
      uint32_t value = c;
      if (depth <= 8) {
        auto it = nearest.find(c);
        if (it == nearest.end()) it = nearest.emplace(c, n.ColorToPixel(r, g, b)).first;
        value = it->second;
      } else if (depth != 32) {
        value = n.ColorToPixel(r, g, b);
      }
      n.SetPixel(x, y, value);
    }
  }
  s = std::move(n);
}

class MuraLoader {
 public:
  MuraLoader(TMuraFrameList& list, Stream& stream) : list_(list), bytes_(stream), in_(bytes_.Reader("damaged image")) {}

  void Load(bool firstFrameOnly) {
    ReadSignatureAndHeader();
    const MuraHeader& h = list_.Header;
    for (uint32_t i = 0; i < h.FrameCount; ++i) {
      if (firstFrameOnly && i >= 1) break;
      ReadFrame(static_cast<int>(i));
    }
    bytes_.Finish(in_);
  }

 private:
  void ReadSignatureAndHeader() {
    const auto sig = in_.Remaining() >= 7 ? in_.Bytes(7, "the signature") : std::span<const uint8_t>();
    int version = 0;
    if (!sig.empty() && std::memcmp(sig.data(), "Mura", 4) == 0) {
      for (int i = 4; i < 7; ++i) {
        if (sig[i] < '0' || sig[i] > '9') Damaged("the signature carries no version number");
        version = version * 10 + (sig[i] - '0');
      }
    } else {
      in_.Seek(0, "the signature");
    }
    list_.Version = version;
    MuraHeader& h = list_.Header;
    if (version < 103) {
      h.FrameCount = in_.U32("the header");
      in_.U8("the header");
      if (version == 102) list_.Background = in_.U32("the header");
      h.Background = list_.Background;
    } else {
      h.HeaderLength = in_.U32("the header");
      // Only the first 40 bytes mean anything; a shorter record leaves the rest 0.
      uint8_t record[40] = {};
      const uint32_t keep = std::min<uint32_t>(h.HeaderLength, 40);
      in_.Read(record, keep, "the header");
      if (h.HeaderLength > 40) in_.Skip(h.HeaderLength - 40, "the header");
      h.Width = LoadI32LE(record + 4);
      h.Height = LoadI32LE(record + 8);
      h.BitCount = LoadI32LE(record + 12);
      h.FrameCount = LoadU32LE(record + 16);
      h.Scrambled = record[21];
      h.Kind = record[22];
      h.Background = LoadU32LE(record + 24);
      h.TileWidth = LoadI32LE(record + 28);
      h.TileHeight = LoadI32LE(record + 32);
      h.FirstLayerOpaque = version >= 105 ? record[36] : 0;
      h.Quality = record[37];
      if (h.Kind > 2) Damaged("unknown storage kind " + Num(h.Kind));
      list_.Background = h.Background;
      list_.FirstLayerOpaque = h.FirstLayerOpaque;
    }
    kind_ = h.Kind;
    scrambled_ = version >= 103 && h.Scrambled && kind_ != TMuraFrameList::kJpeg;
    tiled_ = version >= 103 && h.TileWidth > 0 && h.TileHeight > 0 && kind_ != TMuraFrameList::kJpeg;
  }

  void Charge(int width, int height, int depth) {
    const int storage = depth == 15 ? 16 : depth;
    ChargeBytes(uint64_t((int64_t{width} * storage + 31) / 32 * 4) * uint64_t(std::max(height, 0)));
  }
  void ChargeBytes(uint64_t bytes) {
    spent_ += bytes;
    if (spent_ > kMaxDecodedBytes) Damaged("the pictures of this file would need more than 1 GiB");
  }

  void ReadFrame(int index) {
    TMuraFrame& frame = list_.AddFrame();
    frame.Name = Name(in_, "a frame name");
    const int32_t transparentValue = in_.I32("a frame record");
    frame.Delay = in_.I32("a frame record");
    in_.Skip(5, "a frame record");
    const uint32_t layerCount = in_.U32("a frame record");
    const int32_t width = in_.I32("a frame record");
    const int32_t height = in_.I32("a frame record");
    const int32_t depth = in_.I32("a frame record");
    if (depth != 1 && depth != 4 && depth != 8 && depth != 15 && depth != 16 && depth != 24 && depth != 32)
      Damaged("frame " + Num(index + 1) + " has " + Num(depth) + " bits per pixel");
    if (width < 0 || height < 0 || width > TDIBSurface::kMaxSide || height > TDIBSurface::kMaxSide ||
        int64_t{width} * height > TDIBSurface::kMaxPixels)
      Damaged("frame " + Num(index + 1) + " claims " + Num(width) + " x " + Num(height) + " pixels");
    std::array<PaletteEntry, 256> palette{};
    if (depth <= 8) {
      uint8_t bytes[256 * 4];
      const int entries = 1 << depth;
      in_.Read(bytes, static_cast<size_t>(entries) * 4, "a palette");
      for (int i = 0; i < entries; ++i)
        palette[i] = PaletteEntry{bytes[4 * i], bytes[4 * i + 1], bytes[4 * i + 2], bytes[4 * i + 3]};
    }
    // The frame's pixels are made when a layer is drawn onto the background; a first layer that
    // covers the frame with a plain copy hands its own pixels over instead, which saves an
    // allocation, a fill and a copy of the whole picture.
    TDIBSurface format;
    format.SetSize(0, 0, depth);
    format.Palette = palette;
    frame.TransparentValue = transparentValue;
    if (transparentValue >= 0) {
      const Rgb c = format.PixelToRGB(static_cast<uint32_t>(transparentValue));
      frame.TransparentColor = int32_t{c.Red} | int32_t{c.Green} << 8 | int32_t{c.Blue} << 16;
    }
    const uint32_t bg = list_.Background;
    const uint32_t background = format.ColorToPixel(int(bg & 0xFF), int(bg >> 8 & 0xFF), int(bg >> 16 & 0xFF));
    TDIBSurface& target = frame.Surface;
    bool ready = false, firstVisible = true;
    auto prepare = [&] {
      if (ready) return;
      Charge(width, height, depth);
      target.SetSize(width, height, depth, false);
      target.Palette = palette;
      target.FillRect(target.ClientRect(), background);
      ready = true;
    };
    std::unique_ptr<TDIBSurface> frameAlpha;

    for (uint32_t j = 0; j < layerCount; ++j) {
      auto owned = std::make_unique<TMuraLayer>(&frame);
      TMuraLayer& layer = *owned;
      frame.Layers.push_back(std::move(owned));
      ReadLayer(layer, index, static_cast<int>(j), width, height, depth, palette);
      if (!layer.Visible) {
        Release(layer);
        continue;
      }
      TDIBSurface& surface = layer.Surface;
      const Rect all = surface.ClientRect();
      const bool alpha = surface.HasAlpha() && layer.UseAlpha;
      if (alpha && j == 0) {
        if (tiled_) {
          frameAlpha = std::make_unique<TDIBSurface>();
          frameAlpha->AssignFrom(*surface.Alpha);
        } else {
          frameAlpha = std::move(surface.Alpha);
        }
      }
      if (alpha && j != 0) {
        prepare();
        target.DrawAlpha(0, 0, 255, all, surface);
      } else if ((layer.TransparentValue < 0 || (firstVisible && list_.FirstLayerOpaque)) && layer.Opacity >= 255) {
        if (!ready && !tiled_) {
          target = std::move(surface);
          target.DropAlpha();  // the layer's own plane is not the frame's
          ready = true;
        } else {
          prepare();
          target.CopyFrom(0, 0, all, surface);
        }
      } else {
        prepare();
        target.DrawBlend(0, 0, layer.Opacity, layer.TransparentValue, all, surface);
      }
      firstVisible = false;
      Release(layer);
    }
    if (!ready) {
      const int storage = depth == 15 ? 16 : depth;
      blank_ += uint64_t((int64_t{width} * storage + 31) / 32 * 4) * uint64_t(height);
      if (blank_ > kBlankAllowance + kBlankPerFileByte * uint64_t(in_.Position()))
        Damaged("frame " + Num(index + 1) + " has no pixels of its own, and the blank frames so far (" +
                Num(static_cast<int64_t>(blank_)) + " bytes) are more than a file of " + Num(static_cast<int64_t>(in_.Position())) +
                " bytes can justify");
    }
    prepare();
    target.Alpha = std::move(frameAlpha);

    if (list_.Version >= 104) {
      ReadRects(frame.RectsA);
      ReadRects(frame.RectsB);
    }
  }

  void ReadRects(std::vector<Rect>& rects) {
    rects.resize(in_.Count(in_.U32("a rectangle list"), 16, "a rectangle list"));
    for (Rect& r : rects) {
      uint8_t b[16];
      in_.Read(b, 16, "a rectangle list");
      r = Rect{LoadI32LE(b), LoadI32LE(b + 4), LoadI32LE(b + 8), LoadI32LE(b + 12)};
    }
  }

  // Layers of a file without tiles are never a source again.
  void Release(TMuraLayer& layer) {
    if (!tiled_) layer.Surface = TDIBSurface();
  }

  void ReadLayer(TMuraLayer& layer, int frameIndex, int layerIndex, int width, int height, int depth,
                 const std::array<PaletteEntry, 256>& palette) {
    in_.Skip(8, "a layer record");
    layer.Visible = in_.U8("a layer record");
    layer.TransparentValue = in_.I32("a layer record");
    layer.Opacity = in_.I32("a layer record");
    layer.UseAlpha = list_.Version >= 101 ? in_.U8("a layer record") : 0;
    layer.Name = Name(in_, "a layer name");

    Charge(width, height, depth);
    const auto pixels = Block(in_, "a pixel block");
    const uint8_t* data = pixels.data();
    const size_t size = pixels.size();
    if (kind_ == TMuraFrameList::kJpeg) {
      DecodeJpeg(data, size, layer.Surface);
      if (layer.Surface.Width() != width || layer.Surface.Height() != height)
        Damaged("a JPEG plane of " + Num(layer.Surface.Width()) + " x " + Num(layer.Surface.Height()) +
                " pixels in a frame of " + Num(width) + " x " + Num(height));
      if (depth != 24) ConvertFrom24(layer.Surface, depth, palette);
    } else {
      // A plane without tiles is written whole (or the read fails); tiles may leave gaps.
      layer.Surface.SetSize(width, height, depth, tiled_);
      DecodePlane(data, size, layer.Surface, false, frameIndex, layerIndex);
    }
    layer.Surface.Palette = palette;

    if (list_.Version >= 100) {
      const auto alpha = Block(in_, "an alpha block");
      const uint8_t* alphaData = alpha.data();
      const size_t alphaSize = alpha.size();
      if (alphaSize > 0) {
        Charge(width, height, 8);
        layer.Surface.CreateAlpha();
        layer.HadAlpha = true;
        layer.TransparentValue = -1;
        if (kind_ == TMuraFrameList::kJpeg) {
          InflateExactPlane(alphaData, alphaSize, layer.Surface.Alpha->Bits(), layer.Surface.Alpha->ImageSize());
          ClearPadding(*layer.Surface.Alpha);
        } else {
          DecodePlane(alphaData, alphaSize, *layer.Surface.Alpha, true, frameIndex, layerIndex);
        }
      }
    }
  }

  static void ClearPadding(TDIBSurface& plane) {
    const size_t used = (static_cast<size_t>(plane.Width()) * plane.StorageBits() + 7) / 8;
    const size_t pad = static_cast<size_t>(plane.RowSize()) - used;
    if (pad == 0) return;
    for (int y = 0; y < plane.Height(); ++y) std::memset(plane.ScanLine(y) + used, 0, pad);
  }

  void DecodePlane(const uint8_t* data, size_t size, TDIBSurface& plane, bool alphaPlane, int frameIndex, int layerIndex) {
    const size_t imageSize = plane.ImageSize();
    if (tiled_) {
      std::shared_ptr<ByteBuffer> inflated;
      if (kind_ == TMuraFrameList::kZlib) {
        inflated = InflatePlane(data, size, TiledLimit(plane));
        data = inflated->Data();
        size = inflated->Size();
        ChargeBytes(size);
      }
      DecodeTiles(data, size, plane, alphaPlane, frameIndex, layerIndex);
      return;
    }
    if (!scrambled_) {
      if (kind_ == TMuraFrameList::kZlib) {
        InflateExactPlane(data, size, plane.Bits(), imageSize);
      } else {
        if (size < imageSize) Damaged("a raw plane holds " + Num(int64_t(size)) + " of its " + Num(int64_t(imageSize)) + " bytes");
        if (imageSize) std::memcpy(plane.Bits(), data, imageSize);
      }
      ClearPadding(plane);
      return;
    }
    std::vector<uint8_t> inflated;
    if (kind_ == TMuraFrameList::kZlib) {
      inflated.resize(imageSize);
      InflateExactPlane(data, size, inflated.data(), imageSize);
      data = inflated.data();
    } else if (size < imageSize) {
      Damaged("a raw plane holds " + Num(int64_t(size)) + " of its " + Num(int64_t(imageSize)) + " bytes");
    }
    std::vector<int32_t> order = DrawOrder(list_.Key, plane.Height());
    const size_t rowSize = static_cast<size_t>(plane.RowSize());
    // A plane of no bytes has no rows to place (and its data may have no address).
    if (rowSize == 0) order.clear();
    for (size_t i = 0; i < order.size(); ++i) std::memcpy(plane.ScanLine(order[i]), data + i * rowSize, rowSize);
    ClearPadding(plane);
  }

  // The most a tiled plane can hold: its table and every tile stored.
  size_t TiledLimit(const TDIBSurface& plane) const {
    const MuraHeader& h = list_.Header;
    const uint64_t tx = (uint64_t(plane.Width()) + uint64_t(h.TileWidth) - 1) / uint64_t(h.TileWidth);
    const uint64_t ty = (uint64_t(plane.Height()) + uint64_t(h.TileHeight) - 1) / uint64_t(h.TileHeight);
    const uint64_t rowBytes = (uint64_t(plane.StorageBits()) * uint64_t(std::min(h.TileWidth, plane.Width())) + 7) / 8;
    // Cut tiles store their cut rows only, so the full rows of the picture bound the data.
    const uint64_t limit = tx * ty * 8 + rowBytes * tx * uint64_t(plane.Height());
    return static_cast<size_t>(std::min<uint64_t>(limit, kMaxInflatedSize));
  }

  void DecodeTiles(const uint8_t* data, size_t size, TDIBSurface& plane, bool alphaPlane, int frameIndex, int layerIndex) {
    const MuraHeader& h = list_.Header;
    const int width = plane.Width(), height = plane.Height();
    const int tw = h.TileWidth, th = h.TileHeight;
    const int64_t tx = (int64_t{width} + tw - 1) / tw, ty = (int64_t{height} + th - 1) / th;
    const int64_t count = tx * ty;
    if (uint64_t(count) * 8 > size) Damaged("the tile table is cut short");
    struct Entry {
      int32_t kind, value;
    };
    std::vector<Entry> table(static_cast<size_t>(count));
    for (int64_t i = 0; i < count; ++i) table[i] = Entry{LoadI32LE(data + 8 * i), LoadI32LE(data + 8 * i + 4)};
    if (scrambled_) {
      const std::vector<int32_t> order = DrawOrder(list_.Key, static_cast<int32_t>(count));
      std::vector<Entry> placed(table.size());
      for (size_t i = 0; i < order.size(); ++i) placed[static_cast<size_t>(order[i])] = table[i];
      table = std::move(placed);
    }
    size_t offset = static_cast<size_t>(count) * 8;
    const int bits = plane.StorageBits();
    for (int64_t idx = 0; idx < count; ++idx) {
      const int x0 = static_cast<int>(idx % tx) * tw, y0 = static_cast<int>(idx / tx) * th;
      const int cw = std::min(tw, width - x0), ch = std::min(th, height - y0);
      const Entry e = table[static_cast<size_t>(idx)];
      if (e.kind == -1) {
        const size_t rowBytes = (static_cast<size_t>(bits) * cw + 7) / 8;
        if (rowBytes * ch > size - offset) Damaged("tile " + Num(idx) + " is cut short");
        for (int j = 0; j < ch; ++j) {
          const uint8_t* src = data + offset + rowBytes * j;
          if (bits >= 8) {
            std::memcpy(plane.ScanLine(y0 + j) + x0 * (bits / 8), src, rowBytes);
          } else {
            for (int i = 0; i < cw; ++i) {
              const int bit = i * bits;
              const uint32_t v = (src[bit >> 3] >> (8 - bits - (bit & 7))) & ((1u << bits) - 1);
              plane.SetPixel(x0 + i, y0 + j, v);
            }
          }
        }
        offset += rowBytes * ch;
      } else if (e.kind == -2) {
        if (e.value < 0 || e.value >= idx)
          Damaged("tile " + Num(idx) + " copies tile " + Num(e.value) + ", which is not decoded yet");
        const int sx = static_cast<int>(e.value % tx) * tw, sy = static_cast<int>(e.value / tx) * th;
        CopyArea(plane, x0, y0, plane, sx, sy, cw, ch);
      } else if (e.kind >= 0) {
        const TDIBSurface& source = LayerSource(e.kind, e.value, alphaPlane, frameIndex, layerIndex, idx);
        if (source.StorageBits() != bits)
          Damaged("tile " + Num(idx) + " copies a layer of another depth");
        CopyArea(plane, x0, y0, source, x0, y0, cw, ch);
      } else {
        Damaged("tile " + Num(idx) + " has the unknown kind " + Num(e.kind));
      }
    }
  }

  const TDIBSurface& LayerSource(int32_t frame, int32_t layer, bool alphaPlane, int frameIndex, int layerIndex, int64_t idx) {
    const std::string what = "tile " + Num(idx) + " copies layer " + Num(layer) + " of frame " + Num(frame);
    if (frame > frameIndex) Damaged(what + ", which is not read yet");
    const TMuraFrame& f = list_[frame];
    // The layer being decoded is already in its frame's list: only the ones before it are read.
    const int32_t available = frame == frameIndex ? layerIndex : static_cast<int32_t>(f.Layers.size());
    if (layer < 0 || layer >= available) Damaged(what + ", which does not exist");
    const TDIBSurface& s = f.Layers[static_cast<size_t>(layer)]->Surface;
    if (alphaPlane) {
      if (!s.Alpha) Damaged(what + ", which has no alpha plane");
      return *s.Alpha;
    }
    return s;
  }

  TMuraFrameList& list_;
  StreamBytes bytes_;
  ByteReader in_;
  uint8_t kind_ = 0;
  bool scrambled_ = false;
  bool tiled_ = false;
  uint64_t spent_ = 0;
  uint64_t blank_ = 0;  // bytes of frames that no layer drew
};

void PutBlock(Stream& s, const ByteBuffer* block) {
  const size_t n = block ? block->Size() : 0;
  WriteUInt32(s, static_cast<uint32_t>(n));
  if (n) s.WriteBuffer(block->Data(), static_cast<int64_t>(n));
}

void PutName(Stream& s, const std::string& name) {
  WriteUInt32(s, static_cast<uint32_t>(name.size()));
  s.WriteBuffer(name.data(), static_cast<int64_t>(name.size()));
}

void PutRects(Stream& s, const std::vector<Rect>& rects) {
  WriteUInt32(s, static_cast<uint32_t>(rects.size()));
  for (const Rect& r : rects) {
    WriteInt32(s, r.Left);
    WriteInt32(s, r.Top);
    WriteInt32(s, r.Right);
    WriteInt32(s, r.Bottom);
  }
}

}  // namespace

std::vector<int32_t> DrawOrder(int32_t increment, int32_t n) {
  std::vector<int32_t> order;
  if (n <= 0) return order;
  order.reserve(static_cast<size_t>(n));
  // A Fenwick tree over the values still in the draw list; Draw takes the k-th remaining value
  // in ascending order, which is what removing it from a sorted list does.
  const size_t size = static_cast<size_t>(n);
  std::vector<int32_t> tree(size + 1);
  for (size_t i = 1; i <= size; ++i) {
    tree[i] += 1;
    const size_t parent = i + (i & (~i + 1));
    if (parent <= size) tree[parent] += tree[i];
  }
  size_t top = 1;
  while (top * 2 <= size) top *= 2;
  TTpRandom random(increment);
  for (size_t remaining = size; remaining > 0; --remaining) {
    random.Next();
    uint32_t k = random.State % static_cast<uint32_t>(remaining);
    size_t pos = 0;
    for (size_t step = top; step > 0; step /= 2) {
      if (pos + step <= size && static_cast<uint32_t>(tree[pos + step]) <= k) {
        pos += step;
        k -= static_cast<uint32_t>(tree[pos]);
      }
    }
    order.push_back(static_cast<int32_t>(pos));
    for (size_t i = pos + 1; i <= size; i += i & (~i + 1)) tree[i] -= 1;
  }
  return order;
}

TMuraFrame& TMuraFrameList::AddFrame() {
  Frames.push_back(std::make_unique<TMuraFrame>(this));
  return *Frames.back();
}

void TMuraFrameList::LoadFromStream(Stream& stream, bool firstFrameOnly) {
  Clear();
  Version = 0;
  Background = 0;
  FirstLayerOpaque = 0;
  Header = MuraHeader{};
  try {
    MuraLoader loader(*this, stream);
    loader.Load(firstFrameOnly);
  } catch (...) {
    Clear();
    throw;
  }
}

void TMuraFrameList::LoadPictureFromStream(Stream& stream, const std::string& name, bool firstFrameOnly) {
  const std::string ext = LowerCase(ExtensionOf(name));
  if (ext == ".mur") {
    LoadFromStream(stream, firstFrameOnly);
    return;
  }
  Clear();
  Version = 0;
  Background = 0;
  FirstLayerOpaque = 0;
  Header = MuraHeader{};
  if (ext != ".png" && ext != ".bmp" && ext != ".dib") return;
  const uint8_t* data;
  size_t size;
  MemoryStream copy;
  if (auto* memory = dynamic_cast<MemoryStream*>(&stream)) {
    const size_t pos = static_cast<size_t>(std::clamp<int64_t>(stream.GetPosition(), 0, int64_t(memory->Size())));
    data = memory->Data() + pos;
    size = memory->Size() - pos;
  } else {
    const int64_t n = stream.Remaining();
    if (n > 0) copy.CopyFrom(stream, n);
    data = copy.Data();
    size = copy.Size();
  }
  DecodedPicture picture = ext == ".png" ? DecodePng(data, size) : DecodeBmp(data, size);
  TMuraFrame& frame = AddFrame();
  frame.Surface = std::move(picture.Surface);
  if (picture.TransparentValue >= 0) {
    frame.TransparentValue = picture.TransparentValue;
    const Rgb c = frame.Surface.PixelToRGB(static_cast<uint32_t>(picture.TransparentValue));
    frame.TransparentColor = int32_t{c.Red} | int32_t{c.Green} << 8 | int32_t{c.Blue} << 16;
  }
}

void TMuraFrameList::LoadFromFile(const std::string& hostPath, bool firstFrameOnly) {
  MemoryStream data;
  data.LoadFromFile(hostPath);
  try {
    LoadPictureFromStream(data, hostPath, firstFrameOnly);
  } catch (const Error& e) {
    const auto name = Utf8ToCp932(hostPath);
    Error withName((name ? *name : hostPath) + ": " + e.Message());
    for (const std::string& line : e.Context()) withName.AddContext(line);
    throw withName;
  }
}

std::shared_ptr<ByteBuffer> TMuraFrameList::EncodePlane(const TDIBSurface& plane, bool alphaPlane, int kind, int quality) const {
  if (kind == kJpeg && !alphaPlane) return EncodeJpeg(plane, quality);
  const uint8_t* image = plane.Bits();
  const size_t size = plane.ImageSize();
  std::vector<uint8_t> permuted;
  if (Key != 0 && kind != kJpeg && size) {
    permuted.resize(size);
    const std::vector<int32_t> order = DrawOrder(Key, plane.Height());
    const size_t rowSize = static_cast<size_t>(plane.RowSize());
    for (size_t i = 0; i < order.size(); ++i) std::memcpy(permuted.data() + i * rowSize, plane.ScanLine(order[i]), rowSize);
    image = permuted.data();
  }
  if (kind == kZlib || kind == kJpeg) return DeflateBytes(image, size);
  auto raw = std::make_shared<ByteBuffer>();
  raw->Resize(size);
  if (size) std::memcpy(raw->Data(), image, size);
  return raw;
}

void TMuraFrameList::SaveToStream(Stream& stream, int kind, int quality) const {
  if (kind < kZlib || kind > kJpeg) throw Error("unknown storage kind " + Num(kind));
  const int stored = Key != 0 ? kRaw : kind;
  // Everything is encoded before the first byte goes out, so a picture the encoder refuses leaves
  // the stream untouched.
  MemoryStream out;
  out.WriteBuffer("Mura106", 7);
  WriteUInt32(out, 40);
  uint8_t header[40] = {};
  StoreU32LE(header, 106);
  if (!Frames.empty()) {
    const TDIBSurface& first = Frames[0]->Surface;
    StoreI32LE(header + 4, first.Width());
    StoreI32LE(header + 8, first.Height());
    StoreI32LE(header + 12, first.BitCount());
  }
  StoreU32LE(header + 16, static_cast<uint32_t>(Frames.size()));
  header[20] = 1;
  header[21] = Key != 0 ? 1 : 0;
  header[22] = static_cast<uint8_t>(stored);
  StoreU32LE(header + 24, Background);
  header[36] = FirstLayerOpaque;
  header[37] = static_cast<uint8_t>(quality);
  out.WriteBuffer(header, 40);

  for (size_t i = 0; i < Frames.size(); ++i) {
    const TMuraFrame& f = *Frames[i];
    const TDIBSurface& s = f.Surface;
    if (s.BitCount() == 0) throw Error("frame " + Num(int64_t(i) + 1) + " has no picture to write");
    PutName(out, "Frame" + Num(int64_t(i) + 1));
    // The frame's transparent pixel value, which the reader turns back into TransparentValue and
    // the colour it shows.
    WriteInt32(out, f.TransparentValue);
    WriteInt32(out, f.Delay);
    WriteByte(out, 2);
    WriteInt32(out, 0);
    WriteInt32(out, 1);
    WriteInt32(out, s.Width());
    WriteInt32(out, s.Height());
    WriteInt32(out, s.BitCount());
    if (s.BitCount() <= 8) {
      for (int e = 0; e < (1 << s.BitCount()); ++e) {
        const uint8_t entry[4] = {s.Palette[e].Blue, s.Palette[e].Green, s.Palette[e].Red, 0};
        out.WriteBuffer(entry, 4);
      }
    }
    WriteInt32(out, 0);
    WriteInt32(out, 0);
    WriteByte(out, 1);
    WriteInt32(out, -1);
    WriteInt32(out, 255);
    WriteByte(out, s.HasAlpha() ? 1 : 0);
    PutName(out, "Layer");
    PutBlock(out, EncodePlane(s, false, stored, quality).get());
    PutBlock(out, s.HasAlpha() ? EncodePlane(*s.Alpha, true, stored, quality).get() : nullptr);
    PutRects(out, f.RectsA);
    PutRects(out, f.RectsB);
  }
  stream.WriteBuffer(out.Data(), static_cast<int64_t>(out.Size()));
}

void TMuraFrameList::SaveToFile(const std::string& hostPath) const {
  MemoryStream out;
  SaveToStream(out, kZlib, 70);
  FileStream file(hostPath, FileStream::kCreate);
  file.WriteBuffer(out.Data(), static_cast<int64_t>(out.Size()));
}

void TMuraFrameList::MakeMasks() {
  for (auto& f : Frames) f->MakeMask();
}

void TMuraFrame::MakeMask() {
  if (Surface.HasAlpha()) return;
  Surface.CreateAlpha();
  Surface.FillAlpha();
  if (TransparentValue < 0) return;
  const uint32_t key = static_cast<uint32_t>(TransparentValue);
  for (int y = 0; y < Surface.Height(); ++y) {
    uint8_t* a = Surface.Alpha->ScanLine(y);
    for (int x = 0; x < Surface.Width(); ++x)
      if (Surface.GetPixel(x, y) == key) a[x] = 0;
  }
}

bool TMuraFrame::Trim(Rect& rect) {
  rect = Surface.ClientRect();
  Rect bounds;
  if (Surface.HasAlpha()) {
    bounds = Surface.Alpha->OpaqueBounds(0);
  } else if (TransparentColor == -1) {
    return false;
  } else {
    bounds = Surface.OpaqueBounds(TransparentValue);
  }
  if (bounds.IsEmpty()) bounds = Rect{0, 0, 1, 1};
  if (bounds == Surface.ClientRect()) return false;
  Surface.Crop(bounds);
  for (std::vector<Rect>* list : {&RectsA, &RectsB}) {
    std::vector<Rect> kept;
    for (const Rect& r : *list) {
      Rect common;
      if (!IntersectRect(common, r, bounds)) continue;
      kept.push_back(Rect{common.Left - bounds.Left, common.Top - bounds.Top, common.Right - bounds.Left,
                          common.Bottom - bounds.Top});
    }
    *list = std::move(kept);
  }
  rect = bounds;
  return true;
}

}  // namespace orin
