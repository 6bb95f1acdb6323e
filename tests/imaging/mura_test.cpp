#include "imaging/mura.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/error.h"
#include "core/random.h"
#include "imaging/image_codecs.h"
#include "imaging/imaging_test_support.h"
#include "support/test_support.h"

namespace orin {
namespace {

using test::Bytes;

constexpr int32_t kKey = 0x2468ACE1;

// ---- Hand-made files

struct HeaderLayout {
  int version = 106;
  uint32_t frames = 1;
  uint8_t scrambled = 0, kind = 1;
  uint32_t background = 0;
  int32_t tileWidth = 0, tileHeight = 0;
  uint8_t firstLayerOpaque = 0;
  uint32_t headerLength = 40;
};

Bytes Header(const HeaderLayout& h) {
  Bytes b;
  char sig[8];
  std::snprintf(sig, sizeof sig, "Mura%03d", h.version);
  b.Raw(std::string(sig, 7));
  if (h.version < 103) {
    b.U32(h.frames).U8(0);
    if (h.version == 102) b.U32(h.background);
    return b;
  }
  Bytes record;
  record.I32(h.version).I32(0).I32(0).I32(0).U32(h.frames).U8(1).U8(h.scrambled).U8(h.kind).U8(0);
  record.U32(h.background).I32(h.tileWidth).I32(h.tileHeight).U8(h.firstLayerOpaque).U8(70).U16(0);
  std::string r = record.Get();
  r.resize(h.headerLength, '\x77');  // longer records carry bytes nobody reads
  b.U32(h.headerLength).Raw(r);
  return b;
}

void FrameHead(Bytes& b, int w, int h, int depth, uint32_t layers, int32_t transparent = -1, int32_t delay = 100,
               const std::string& palette = {}) {
  b.Block("Frame1").I32(transparent).I32(delay).U8(2).I32(0).U32(layers).I32(w).I32(h).I32(depth);
  if (depth <= 8) {
    std::string p = palette;
    p.resize(size_t{4} << depth, '\0');
    b.Raw(p);
  }
}

struct LayerLayout {
  uint8_t visible = 1;
  int32_t transparent = -1;
  int32_t opacity = 255;
  uint8_t useAlpha = 0;
  std::string pixels;  // the block as stored
  std::string alpha;   // the alpha block as stored; empty: none
};

void Layer(Bytes& b, int version, const LayerLayout& l) {
  b.I32(0).I32(0).U8(l.visible).I32(l.transparent).I32(l.opacity);
  if (version >= 101) b.U8(l.useAlpha);
  b.Block("Layer").Block(l.pixels);
  if (version >= 100) b.Block(l.alpha);
}

void NoRects(Bytes& b) { b.U32(0).U32(0); }

std::unique_ptr<TMuraFrameList> Load(const std::string& bytes, int32_t key = 0, bool firstOnly = false) {
  auto list = std::make_unique<TMuraFrameList>(key);
  MemoryStream s;
  s.Assign(bytes);
  list->LoadFromStream(s, firstOnly);
  return list;
}

// Rows of 24-bit pixels given as 0x00RRGGBB values, padded to whole 32-bit words.
std::string Rows24(int w, std::initializer_list<uint32_t> pixels) {
  TDIBSurface s(w, static_cast<int>(pixels.size()) / w, 24);
  int i = 0;
  for (uint32_t p : pixels) s.SetPixel(i % w, i / w, p), ++i;
  return test::PlaneOf(s);
}

std::string Rows8(int w, std::initializer_list<uint32_t> pixels) {
  TDIBSurface s(w, static_cast<int>(pixels.size()) / w, 8);
  int i = 0;
  for (uint32_t p : pixels) s.SetPixel(i % w, i / w, p), ++i;
  return test::PlaneOf(s);
}

// A non-memory stream, so the reader takes its buffered path.
class PlainStream : public Stream {
 public:
  explicit PlainStream(std::string bytes) { m_.Assign(bytes); }
  int64_t Read(void* b, int64_t n) override { return m_.Read(b, n); }
  int64_t Write(const void* b, int64_t n) override { return m_.Write(b, n); }
  int64_t Seek(int64_t o, int origin) override { return m_.Seek(o, origin); }

 private:
  MemoryStream m_;
};

// ---- The permutation

TEST(DrawOrder, MatchesTheGeneratorsDraws) {
  for (int32_t key : {0, 1, kKey, -7, 1593578642}) {
    for (int32_t n : {0, 1, 2, 3, 17, 720, 5000}) {
      TTpRandom r(key);
      r.Reset(n);
      std::vector<int32_t> expected;
      for (int i = 0; i < n; ++i) expected.push_back(r.Draw());
      EXPECT_EQ(DrawOrder(key, n), expected) << key << " " << n;
    }
  }
}

// ---- Round trips through the writer

struct RoundTripCase {
  int kind;
  int32_t key;
  int depth;
};

void MakeFrames(TMuraFrameList& list, int depth) {
  for (int f = 0; f < 2; ++f) {
    TMuraFrame& frame = list.AddFrame();
    frame.Surface.SetSize(7 - f, 5, depth);
    if (depth <= 8) test::FillPaletteRandom(frame.Surface, 40 + f);
    test::FillRandom(frame.Surface, 50 + static_cast<uint32_t>(depth) + f);
    frame.Delay = 33 + f;
    if (f == 0) {
      frame.Surface.CreateAlpha();
      test::FillRandom(*frame.Surface.Alpha, 60);
      frame.RectsA = {Rect{1, 2, 3, 4}, Rect{-1, 0, 9, 9}};
      frame.RectsB = {Rect{0, 0, 1, 1}};
    } else {
      frame.TransparentValue = static_cast<int32_t>(frame.Surface.GetPixel(2, 2));
    }
  }
}

TEST(TMuraFrameList, RoundTripEveryDepthKindAndKey) {
  for (int kind : {0, 1}) {
    for (int32_t key : {0, kKey}) {
      for (int depth : {1, 4, 8, 15, 16, 24, 32}) {
        SCOPED_TRACE(testing::Message() << "kind " << kind << " key " << key << " depth " << depth);
        TMuraFrameList list(key);
        list.Background = 0x123456;
        list.FirstLayerOpaque = 1;
        MakeFrames(list, depth);
        MemoryStream out;
        list.SaveToStream(out, kind, 80);

        TMuraFrameList back(key);
        out.SetPosition(0);
        back.LoadFromStream(out);
        EXPECT_EQ(back.Version, 106);
        EXPECT_EQ(back.Background, 0x123456u);
        EXPECT_EQ(back.FirstLayerOpaque, 1);
        EXPECT_EQ(back.Header.Kind, key ? 1 : kind);
        EXPECT_EQ(back.Header.Scrambled, key ? 1 : 0);
        EXPECT_EQ(back.Header.Quality, 80);
        EXPECT_EQ(back.Header.BitCount, depth);
        ASSERT_EQ(back.Count(), 2);
        for (int f = 0; f < 2; ++f) {
          const TMuraFrame &a = list[f], &b = back[f];
          EXPECT_TRUE(test::SamePixels(a.Surface, b.Surface)) << "frame " << f;
          EXPECT_EQ(b.Name, "Frame" + std::to_string(f + 1));
          EXPECT_EQ(b.Delay, a.Delay);
          EXPECT_EQ(b.TransparentValue, a.TransparentValue);
          EXPECT_EQ(b.RectsA, a.RectsA);
          EXPECT_EQ(b.RectsB, a.RectsB);
          if (depth <= 8) {
            for (int i = 0; i < (1 << depth); ++i) EXPECT_EQ(b.Surface.Palette[i], a.Surface.Palette[i]);
          }
        }
        if (back[1].TransparentValue >= 0) {
          const Rgb c = back[1].Surface.PixelToRGB(uint32_t(back[1].TransparentValue));
          EXPECT_EQ(back[1].TransparentColor, c.Red | c.Green << 8 | c.Blue << 16);
        }
        if (key) {
          // Without the game's code the rows come out in the stored, permuted order.
          out.SetPosition(0);
          TMuraFrameList wrong(0);
          wrong.LoadFromStream(out);
          EXPECT_FALSE(test::SamePixels(wrong[0].Surface, list[0].Surface));
        }
      }
    }
  }
}

TEST(TMuraFrameList, JpegKindStoresPixelsAsJpegAndAlphaExactly) {
  for (int depth : {8, 24, 32}) {
    SCOPED_TRACE(depth);
    TMuraFrameList list;
    TMuraFrame& frame = list.AddFrame();
    frame.Surface.SetSize(24, 17, depth);
    if (depth == 8) frame.Surface.SetGreyPalette();
    for (int y = 0; y < 17; ++y)
      for (int x = 0; x < 24; ++x) frame.Surface.SetPixel(x, y, depth == 8 ? uint32_t(x * 10) : uint32_t(x * 0x0A0503 + y * 0x000A00));
    frame.Surface.CreateAlpha();
    test::FillRandom(*frame.Surface.Alpha, 8);
    MemoryStream out;
    list.SaveToStream(out, TMuraFrameList::kJpeg, 90);
    TMuraFrameList back;
    out.SetPosition(0);
    back.LoadFromStream(out);
    ASSERT_EQ(back.Count(), 1);
    EXPECT_EQ(back.Header.Kind, 2);
    // The pixels are what the JPEG codec makes of the frame, converted back to its depth.
    TDIBSurface expected;
    auto jpeg = EncodeJpeg(frame.Surface, 90);
    DecodeJpeg(jpeg->Data(), jpeg->Size(), expected);
    const TDIBSurface& got = back[0].Surface;
    ASSERT_EQ(got.BitCount(), depth);
    for (int y = 0; y < 17; ++y)
      for (int x = 0; x < 24; ++x) {
        const uint32_t e = expected.GetPixel(x, y);
        if (depth == 8) EXPECT_EQ(got.GetPixel(x, y), got.ColorToPixel(int(e >> 16), int(e >> 8 & 0xFF), int(e & 0xFF)));
        else EXPECT_EQ(got.GetPixel(x, y), e);
      }
    ASSERT_TRUE(got.HasAlpha());
    EXPECT_TRUE(test::SamePixels(*got.Alpha, *frame.Surface.Alpha));
  }
}

// The bytes of a small file, field by field as the player writes them.
TEST(TMuraFrameList, WriterLayoutIsExact) {
  TMuraFrameList list;
  list.Background = 0x00010203;
  TMuraFrame& frame = list.AddFrame();
  frame.Surface.SetSize(2, 1, 24);
  frame.Surface.SetPixel(0, 0, 0x112233);
  frame.Surface.SetPixel(1, 0, 0x445566);
  frame.Surface.CreateAlpha();
  frame.Surface.Alpha->SetPixel(0, 0, 0x80);
  frame.Delay = 50;
  MemoryStream out;
  list.SaveToStream(out, TMuraFrameList::kRaw, 75);

  Bytes e;
  e.Raw("Mura106").U32(40);
  e.U32(106).I32(2).I32(1).I32(24).U32(1).U8(1).U8(0).U8(1).U8(0).U32(0x00010203).I32(0).I32(0).U8(0).U8(75).U16(0);
  e.Block("Frame1").I32(-1).I32(50).U8(2).I32(0).I32(1).I32(2).I32(1).I32(24);
  e.I32(0).I32(0).U8(1).I32(-1).I32(255).U8(1).Block("Layer");
  e.Block(std::string("\x33\x22\x11\x66\x55\x44\0\0", 8));
  e.Block(std::string("\x80\0\0\0", 4));
  e.U32(0).U32(0);
  EXPECT_EQ(std::string(out.View()), e.Get());

  // With the game's code the planes are raw whatever kind is asked for, rows permuted.
  TMuraFrameList keyed(kKey);
  TMuraFrame& tall = keyed.AddFrame();
  tall.Surface.SetSize(1, 4, 8);
  for (int y = 0; y < 4; ++y) tall.Surface.SetPixel(0, y, uint32_t(10 + y));
  auto block = keyed.EncodePlane(tall.Surface, false, TMuraFrameList::kRaw, 0);
  TTpRandom r(kKey);
  r.Reset(4);
  std::string rows;
  for (int i = 0; i < 4; ++i) rows += std::string{char(10 + r.Draw()), 0, 0, 0};
  EXPECT_EQ(test::BufferString(*block), rows);
  MemoryStream keyedOut;
  keyed.SaveToStream(keyedOut, TMuraFrameList::kZlib, 70);
  EXPECT_EQ(keyedOut.View()[11 + 21], 1);  // scrambled
  EXPECT_EQ(keyedOut.View()[11 + 22], 1);  // raw
}

TEST(TMuraFrameList, SaveToFileWritesZlibAndRefusesBadKinds) {
  test::TempDir dir;
  TMuraFrameList list;
  list.AddFrame().Surface.SetSize(3, 3, 24);
  list.SaveToFile(dir / "a.mur");
  TMuraFrameList back;
  back.LoadFromFile(dir / "a.mur");
  EXPECT_EQ(back.Header.Kind, 0);
  EXPECT_EQ(back.Header.Quality, 70);
  MemoryStream out;
  EXPECT_THROW(list.SaveToStream(out, 3, 70), Error);
  EXPECT_EQ(out.Size(), 0u);
  // A frame without a picture would make a file no reader accepts.
  list.AddFrame();
  EXPECT_THROW(list.SaveToStream(out, 0, 70), Error);
  EXPECT_EQ(out.Size(), 0u);
}

// ---- Old versions, by hand

TEST(TMuraFrameList_V0, NoSignatureStartsWithTheFrameCount) {
  Bytes b;
  b.U32(1).U8(0);
  std::string palette(1024, '\0');
  palette[4 * 3 + 2] = '\x7F';  // entry 3 is red 127
  FrameHead(b, 3, 2, 8, 1, -1, 100, palette);
  // Before version 100 a layer has neither UseAlpha nor an alpha block; planes are zlib.
  b.I32(0).I32(0).U8(1).I32(-1).I32(255).Block("L").Block(test::Zlib(Rows8(3, {1, 2, 3, 4, 5, 6})));
  auto loaded = Load(b.Get());
  TMuraFrameList& list = *loaded;
  EXPECT_EQ(list.Version, 0);
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list[0].Surface.GetPixel(2, 0), 3u);
  EXPECT_EQ(list[0].Surface.GetPixel(0, 1), 4u);
  EXPECT_EQ(list[0].Surface.PixelToRGB(3).Red, 127);
}

TEST(TMuraFrameList_V100, AlphaBlockWithoutUseAlphaGivesTheFrameNoAlpha) {
  Bytes b = Header({.version = 100});
  FrameHead(b, 2, 1, 24, 1);
  Layer(b, 100, {.transparent = 5, .pixels = test::Zlib(Rows24(2, {0x010203, 0x040506})),
                 .alpha = test::Zlib(std::string("\x10\x20\0\0", 4))});
  auto loaded = Load(b.Get());
  TMuraFrameList& list = *loaded;
  EXPECT_FALSE(list[0].Surface.HasAlpha());
  // The alpha block resets the layer's transparent value, so it is copied whole.
  EXPECT_EQ(list[0].Layers[0]->TransparentValue, -1);
  EXPECT_EQ(list[0].Surface.GetPixel(1, 0), 0x040506u);
}

TEST(TMuraFrameList_V101, UseAlphaOnLayerZeroGivesTheFrameItsAlpha) {
  Bytes b = Header({.version = 101});
  FrameHead(b, 2, 1, 24, 1);
  Layer(b, 101, {.useAlpha = 1, .pixels = test::Zlib(Rows24(2, {0x010203, 0x040506})),
                 .alpha = test::Zlib(std::string("\x10\x20\0\0", 4))});
  auto loaded = Load(b.Get());
  TMuraFrameList& list = *loaded;
  EXPECT_EQ(list.Version, 101);
  EXPECT_EQ(list.Background, 0u);
  ASSERT_TRUE(list[0].Surface.HasAlpha());
  EXPECT_EQ(list[0].Surface.Alpha->GetPixel(1, 0), 0x20u);
  EXPECT_EQ(list[0].Surface.GetPixel(0, 0), 0x010203u);
}

TEST(TMuraFrameList_V102, BackgroundShowsWhereNoLayerDraws) {
  Bytes b = Header({.version = 102, .background = 0x00332211});
  FrameHead(b, 2, 1, 24, 1);
  Layer(b, 102, {.visible = 0, .pixels = test::Zlib(Rows24(2, {0xFFFFFF, 0xFFFFFF}))});
  auto loaded = Load(b.Get());
  TMuraFrameList& list = *loaded;
  EXPECT_EQ(list.Background, 0x00332211u);
  EXPECT_EQ(list[0].Surface.GetPixel(0, 0), 0x112233u);  // 0x00BBGGRR became 0x00RRGGBB
}

TEST(TMuraFrameList_V103, HeaderLengthsOtherThan40) {
  for (uint32_t length : {24u, 40u, 44u, 300u}) {
    SCOPED_TRACE(length);
    HeaderLayout h{.version = 105, .kind = 1, .firstLayerOpaque = 1, .headerLength = length};
    Bytes b = Header(h);
    FrameHead(b, 1, 1, 8, 1);
    Layer(b, 105, {.transparent = 5, .pixels = Rows8(1, {5})});
    NoRects(b);
    auto loaded = Load(b.Get());
  TMuraFrameList& list = *loaded;
    EXPECT_EQ(list.Header.HeaderLength, length);
    // A record cut before the FirstLayerOpaque byte leaves it 0, so the layer's key applies.
    EXPECT_EQ(list.FirstLayerOpaque, length > 36 ? 1 : 0);
    EXPECT_EQ(list[0].Surface.GetPixel(0, 0), length > 36 ? 5u : 0u);
  }
  Bytes huge;
  huge.Raw("Mura106").U32(0xFFFFFFF0u).Raw(std::string(40, '\0'));
  EXPECT_THROW(Load(huge.Get()), Error);
}

// ---- Composing layers

struct ComposeCase {
  const char* what;
  int depth;
  uint8_t firstLayerOpaque;
  std::vector<LayerLayout> layers;
  std::vector<uint32_t> expected;  // the two pixels of the composed frame
  bool frameAlpha;
};

TEST(TMuraFrameList, ComposesLayers) {
  auto p24 = [](uint32_t a, uint32_t b) { return Rows24(2, {a, b}); };
  auto p8 = [](uint32_t a, uint32_t b) { return Rows8(2, {a, b}); };
  const std::string halfAlpha("\x80\xFF\0\0", 4);
  // 24-bit blend of 0xFF over 0 at 128 is 0x80 per byte; DrawAlpha's half is 0x7F.
  const ComposeCase cases[] = {
      {"opaque layer copied, second blended", 24, 0,
       {{.pixels = p24(0x000000, 0x000000)}, {.opacity = 128, .pixels = p24(0xFFFFFF, 0x0000FF)}},
       {0x808080, 0x000080}, false},
      {"first layer's key ignored with FirstLayerOpaque", 8, 1,
       {{.transparent = 5, .pixels = p8(5, 7)}}, {5, 7}, false},
      {"first layer's key applies without it", 8, 0,
       {{.transparent = 5, .pixels = p8(5, 7)}}, {9, 7}, false},
      {"first visible layer is the one FirstLayerOpaque means", 8, 1,
       {{.visible = 0, .pixels = p8(1, 1)}, {.transparent = 5, .pixels = p8(5, 7)}}, {5, 7}, false},
      {"second layer's key always applies", 8, 1,
       {{.pixels = p8(2, 2)}, {.transparent = 5, .pixels = p8(5, 7)}}, {2, 7}, false},
      {"opacity below 255 blends over the background", 24, 0,
       {{.opacity = 128, .pixels = p24(0xFFFFFF, 0xFFFFFF)}}, {0x808080, 0x808080}, false},
      {"layer 0 with UseAlpha gives the frame its alpha", 24, 0,
       {{.useAlpha = 1, .pixels = p24(0x112233, 0x445566), .alpha = halfAlpha}}, {0x112233, 0x445566}, true},
      {"a later layer with UseAlpha is drawn through it", 24, 0,
       {{.pixels = p24(0x000000, 0x000000)}, {.useAlpha = 1, .pixels = p24(0xFFFFFF, 0xFFFFFF), .alpha = halfAlpha}},
       {0x7F7F7F, 0xFFFFFF}, false},
      {"an alpha block without UseAlpha is a plain copy", 24, 0,
       {{.transparent = 0x112233, .pixels = p24(0x112233, 0x445566), .alpha = halfAlpha}}, {0x112233, 0x445566}, false},
  };
  for (const ComposeCase& c : cases) {
    SCOPED_TRACE(c.what);
    // Background 9 on the palette frames (palette entry 9 is the colour), black on 24 bits.
    std::string palette(1024, '\0');
    palette[9 * 4] = '\x09';
    Bytes b = Header({.version = 106, .kind = 1, .background = c.depth == 8 ? 0x090000u : 0u,
                      .firstLayerOpaque = c.firstLayerOpaque});
    FrameHead(b, 2, 1, c.depth, static_cast<uint32_t>(c.layers.size()), -1, 100, palette);
    for (LayerLayout l : c.layers) Layer(b, 106, l);
    NoRects(b);
    auto loaded = Load(b.Get());
  TMuraFrameList& list = *loaded;
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list[0].Surface.GetPixel(0, 0), c.expected[0]) << std::hex << list[0].Surface.GetPixel(0, 0);
    EXPECT_EQ(list[0].Surface.GetPixel(1, 0), c.expected[1]) << std::hex << list[0].Surface.GetPixel(1, 0);
    EXPECT_EQ(list[0].Surface.HasAlpha(), c.frameAlpha);
    if (c.frameAlpha) {
      EXPECT_EQ(list[0].Surface.Alpha->GetPixel(0, 0), 0x80u);
    }
  }
}

TEST(TMuraFrameList, TransparentValueGivesTheColourItShows) {
  Bytes b = Header({.version = 106, .kind = 1});
  FrameHead(b, 1, 1, 24, 1, 0x0000FF);
  Layer(b, 106, {.pixels = Rows24(1, {0})});
  NoRects(b);
  auto loaded = Load(b.Get());
  TMuraFrameList& list = *loaded;
  EXPECT_EQ(list[0].TransparentValue, 0xFF);
  EXPECT_EQ(list[0].TransparentColor, 0xFF0000);  // blue, as 0x00BBGGRR
}

// ---- Tiles

// A 5 × 3 24-bit frame in 2 × 2 tiles: three columns (the last 1 wide), two rows (the last 1
// tall). Pixel (x, y) of the source picture is 0x0000yx plus a per-frame offset.
uint32_t TilePixel(int x, int y, uint32_t frame = 0) { return frame << 16 | uint32_t(y) << 8 | uint32_t(x); }

struct TileEntry {
  int32_t kind, value;
};

// The tile table (permuted when scrambled) and the stored tiles' rows.
std::string TiledPlane(const std::vector<TileEntry>& table, bool scrambled, uint32_t frame) {
  std::string t;
  std::vector<TileEntry> stored = table;
  if (scrambled) {
    const auto order = DrawOrder(kKey, static_cast<int32_t>(table.size()));
    for (size_t i = 0; i < order.size(); ++i) stored[i] = table[static_cast<size_t>(order[i])];
  }
  Bytes b;
  for (const TileEntry& e : stored) b.I32(e.kind).I32(e.value);
  for (size_t i = 0; i < table.size(); ++i) {
    if (table[i].kind != -1) continue;
    const int x0 = int(i % 3) * 2, y0 = int(i / 3) * 2;
    for (int y = y0; y < std::min(y0 + 2, 3); ++y)
      for (int x = x0; x < std::min(x0 + 2, 5); ++x) {
        const uint32_t p = TilePixel(x, y, frame);
        b.U8(uint8_t(p)).U8(uint8_t(p >> 8)).U8(uint8_t(p >> 16));
      }
  }
  return b.Get();
}

TEST(TMuraFrameList_Tiles, StoredCopiedAndReferencedTiles) {
  for (int kind : {0, 1}) {
    for (bool scrambled : {false, true}) {
      SCOPED_TRACE(testing::Message() << "kind " << kind << " scrambled " << scrambled);
      auto block = [&](const std::string& plane) { return kind == 0 ? test::Zlib(plane) : plane; };
      Bytes b = Header({.version = 106, .frames = 2, .scrambled = uint8_t(scrambled), .kind = uint8_t(kind),
                        .tileWidth = 2, .tileHeight = 2});
      // Frame 1: tiles 0–3 stored; tile 4 copies tile 0 (cut to 2 × 1), tile 5 copies tile 2.
      FrameHead(b, 5, 3, 24, 1);
      Layer(b, 106, {.pixels = block(TiledPlane({{-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}, {-2, 0}, {-2, 2}}, scrambled, 1))});
      NoRects(b);
      // Frame 2: tiles from frame 0's layer 0 except tile 1, which is stored anew.
      FrameHead(b, 5, 3, 24, 1);
      Layer(b, 106, {.pixels = block(TiledPlane({{0, 0}, {-1, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}}, scrambled, 2))});
      NoRects(b);
      auto loaded = Load(b.Get(), scrambled ? kKey : 0);
  TMuraFrameList& list = *loaded;
      ASSERT_EQ(list.Count(), 2);
      for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
          uint32_t first = TilePixel(x, y, 1);
          if (y == 2 && x >= 2) first = TilePixel(x - 2, 0, 1);  // tile 4 is tile 0 cut to 2 x 1
          if (y == 2 && x == 4) first = TilePixel(4, 0, 1);      // tile 5 is tile 2
          EXPECT_EQ(list[0].Surface.GetPixel(x, y), first) << x << "," << y;
          const bool ownTile = x >= 2 && x < 4 && y < 2;
          EXPECT_EQ(list[1].Surface.GetPixel(x, y), ownTile ? TilePixel(x, y, 2) : first) << x << "," << y;
        }
      // Files with tiles keep their layers as sources.
      EXPECT_FALSE(list[0].Layers[0]->Surface.Empty());
    }
  }
}

TEST(TMuraFrameList_Tiles, SubBytePixelsAndAlphaPlanes) {
  // 7 × 2 pixels at 4 bits in 3 × 2 tiles: tiles start in the middle of bytes.
  Bytes b = Header({.version = 106, .frames = 2, .kind = 1, .tileWidth = 3, .tileHeight = 2});
  FrameHead(b, 7, 2, 4, 1);
  Bytes plane;
  plane.I32(-1).I32(0).I32(-1).I32(0).I32(-1).I32(0);
  plane.Raw("\x12\x30\x45\x60").Raw("\x78\x90\xAB\xC0").Raw("\xD0\xE0");  // 3 + 3 + 1 pixels per row
  Bytes alpha;
  alpha.I32(-1).I32(0).I32(-2).I32(0).I32(-1).I32(0);
  alpha.Raw("\x01\x02\x03\x04\x05\x06").Raw("\x07\x08");
  Layer(b, 106, {.useAlpha = 1, .pixels = plane.Get(), .alpha = alpha.Get()});
  NoRects(b);
  // The second frame takes everything, alpha included, from the first frame's layer.
  FrameHead(b, 7, 2, 4, 1);
  Bytes refs, alphaRefs;
  refs.I32(0).I32(0).I32(0).I32(0).I32(0).I32(0);
  alphaRefs.I32(0).I32(0).I32(0).I32(0).I32(0).I32(0);
  Layer(b, 106, {.useAlpha = 1, .pixels = refs.Get(), .alpha = alphaRefs.Get()});
  NoRects(b);
  auto loaded = Load(b.Get());
  TMuraFrameList& list = *loaded;
  const uint32_t expected[2][7] = {{1, 2, 3, 7, 8, 9, 0xD}, {4, 5, 6, 0xA, 0xB, 0xC, 0xE}};
  const uint32_t expectedAlpha[2][7] = {{1, 2, 3, 1, 2, 3, 7}, {4, 5, 6, 4, 5, 6, 8}};
  for (int f = 0; f < 2; ++f)
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 7; ++x) {
        EXPECT_EQ(list[f].Surface.GetPixel(x, y), expected[y][x]) << f << ": " << x << "," << y;
        EXPECT_EQ(list[f].Surface.Alpha->GetPixel(x, y), expectedAlpha[y][x]) << f << ": " << x << "," << y;
      }
}

struct BadTile {
  const char* what;
  std::vector<TileEntry> first, second;  // tables of the two frames (second empty: one frame)
  bool secondHasAlpha = true;
};

TEST(TMuraFrameList_Tiles, ReferencesToWhatIsNotReadYetAreErrors) {
  const BadTile cases[] = {
      {"a tile copies itself", {{-1, 0}, {-2, 1}, {-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}}, {}},
      {"a tile copies a later tile", {{-2, 3}, {-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}}, {}},
      {"a negative tile number", {{-1, 0}, {-2, -1}, {-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}}, {}},
      {"an unknown entry kind", {{-3, 0}, {-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}}, {}},
      {"a later frame", {{1, 0}, {-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}}, {}},
      {"the layer being read", {{0, 0}, {-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}}, {}},
      {"a layer that does not exist",
       {{-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}},
       {{0, 1}, {-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}}},
      {"a frame far beyond",
       {{-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}},
       {{1000, 0}, {-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}}},
      {"an alpha plane the layer does not have",
       {{-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}},
       {{0, 0}, {-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}}},
  };
  for (const BadTile& c : cases) {
    SCOPED_TRACE(c.what);
    const uint32_t frames = c.second.empty() ? 1 : 2;
    Bytes b = Header({.version = 106, .frames = frames, .kind = 1, .tileWidth = 2, .tileHeight = 2});
    FrameHead(b, 5, 3, 24, 1);
    Layer(b, 106, {.pixels = TiledPlane(c.first, false, 0)});
    NoRects(b);
    if (frames == 2) {
      FrameHead(b, 5, 3, 24, 1);
      std::string alphaTable;
      for (const TileEntry& e : c.second) alphaTable += Bytes().I32(e.kind).I32(e.value).Get();
      // Only the last case asks the alpha plane; the others would fail on the pixels first.
      Layer(b, 106, {.pixels = TiledPlane(std::string(c.what).find("alpha") != std::string::npos
                                              ? std::vector<TileEntry>{{-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}}
                                              : c.second,
                                          false, 0),
                     .alpha = std::string(c.what).find("alpha") != std::string::npos ? alphaTable + std::string(6, '\0') : ""});
      NoRects(b);
    }
    try {
      Load(b.Get());
      ADD_FAILURE() << "loaded";
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find("damaged image"), std::string::npos) << e.what();
    }
  }
}

TEST(TMuraFrameList_Tiles, TableAndTileDataMustFit) {
  const std::string full = TiledPlane({{-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}}, false, 0);
  for (size_t cut : {size_t{0}, size_t{20}, size_t{47}, size_t{48}, full.size() - 1}) {
    Bytes b = Header({.version = 106, .kind = 1, .tileWidth = 2, .tileHeight = 2});
    FrameHead(b, 5, 3, 24, 1);
    Layer(b, 106, {.pixels = full.substr(0, cut)});
    NoRects(b);
    EXPECT_THROW(Load(b.Get()), Error) << cut;
  }
  // A zlib plane that inflates beyond anything the tiles could hold.
  Bytes b = Header({.version = 106, .kind = 0, .tileWidth = 2, .tileHeight = 2});
  FrameHead(b, 5, 3, 24, 1);
  Layer(b, 106, {.pixels = test::Zlib(full + std::string(100000, '\0'))});
  NoRects(b);
  EXPECT_THROW(Load(b.Get()), Error);
}

// ---- Damage

// A file of two frames with alpha planes and rectangles in each storage form.
std::string SampleFile(int kind, int32_t key) {
  TMuraFrameList list(key);
  MakeFrames(list, 24);
  MemoryStream out;
  list.SaveToStream(out, kind, 70);
  return std::string(out.View());
}

// The writer scrambles only raw planes, but files with scrambled zlib planes exist; JPEG planes are
// never scrambled, whatever the header says.
TEST(TMuraFrameList, ScrambledRowsInEveryStorageKind) {
  TDIBSurface picture(3, 6, 24);
  test::FillRandom(picture, 21);
  const std::string rows = test::PlaneOf(picture);
  TTpRandom r(kKey);
  r.Reset(6);
  std::string permuted;
  for (int i = 0; i < 6; ++i) permuted += rows.substr(size_t(r.Draw()) * 12, 12);
  for (int kind : {0, 1}) {
    Bytes b = Header({.version = 106, .scrambled = 1, .kind = uint8_t(kind)});
    FrameHead(b, 3, 6, 24, 1);
    Layer(b, 106, {.pixels = kind == 0 ? test::Zlib(permuted) : permuted});
    NoRects(b);
    auto loaded = Load(b.Get(), kKey);
    EXPECT_TRUE(test::SamePixels((*loaded)[0].Surface, picture)) << kind;
  }
  std::string jpeg = SampleFile(2, 0);
  auto plain = Load(jpeg);
  jpeg[11 + 21] = 1;
  auto flagged = Load(jpeg, kKey);
  EXPECT_TRUE(test::SamePixels((*flagged)[0].Surface, (*plain)[0].Surface));
}

TEST(TMuraFrameList, EveryCutPointFailsCleanly) {
  for (auto [kind, key] : {std::pair{0, 0}, {1, 0}, {2, 0}, {1, kKey}}) {
    const std::string file = SampleFile(kind, key);
    ASSERT_NO_THROW(Load(file, key));
    for (size_t cut = 0; cut < file.size(); ++cut) {
      TMuraFrameList list(key);
      MemoryStream s;
      s.Assign(std::string_view(file).substr(0, cut));
      EXPECT_THROW(list.LoadFromStream(s), Error) << "kind " << kind << " cut " << cut;
      EXPECT_EQ(list.Count(), 0);
    }
  }
  // The same through a stream that is not in memory, for one kind.
  const std::string file = SampleFile(0, 0);
  for (size_t cut = 0; cut < file.size(); cut += 7) {
    PlainStream s(file.substr(0, cut));
    TMuraFrameList list;
    EXPECT_THROW(list.LoadFromStream(s), Error) << cut;
  }
  PlainStream whole(file);
  TMuraFrameList list;
  list.LoadFromStream(whole);
  EXPECT_EQ(list.Count(), 2);
}

TEST(TMuraFrameList, DamagedDataFails) {
  struct Case {
    const char* what;
    std::string bytes;
  };
  std::vector<Case> cases;
  {
    std::string f = SampleFile(0, 0);
    // The first pixel block starts after the layer name; spoil bytes in its middle.
    const size_t at = f.find("Layer") + 5 + 4 + 40;
    for (size_t i = at; i < at + 8; ++i) f[i] = static_cast<char>(f[i] ^ 0x5A);
    cases.push_back({"bad zlib data", f});
  }
  {
    std::string f = SampleFile(2, 0);
    const size_t at = f.find("Layer") + 5 + 4 + 200;
    for (size_t i = at; i < at + 64; ++i) f[i] = '\xFF';
    cases.push_back({"bad JPEG data", f});
  }
  {
    Bytes b = Header({.version = 106, .kind = 0});
    FrameHead(b, 2, 2, 24, 1);
    Layer(b, 106, {.pixels = test::Zlib(std::string(10, '\0'))});
    NoRects(b);
    cases.push_back({"a zlib plane too short for its picture", b.Get()});
  }
  {
    Bytes b = Header({.version = 106, .kind = 0});
    FrameHead(b, 2, 2, 24, 1);
    std::string z = test::Zlib(std::string(16, '\0'));
    z.resize(z.size() - 2);  // the checksum is cut
    Layer(b, 106, {.pixels = z});
    NoRects(b);
    cases.push_back({"a zlib stream without its end", b.Get()});
  }
  {
    Bytes b = Header({.version = 106, .kind = 1});
    FrameHead(b, 2, 2, 24, 1);
    Layer(b, 106, {.pixels = std::string(15, '\0')});
    NoRects(b);
    cases.push_back({"a raw plane too short", b.Get()});
  }
  {
    Bytes b = Header({.version = 106, .kind = 2});
    FrameHead(b, 2, 2, 24, 1);
    TDIBSurface other(3, 2, 24);
    Layer(b, 106, {.pixels = test::BufferString(*EncodeJpeg(other, 80))});
    NoRects(b);
    cases.push_back({"a JPEG plane of another size", b.Get()});
  }
  {
    Bytes b = Header({.version = 106, .kind = 3});
    cases.push_back({"an unknown storage kind", b.Get()});
  }
  for (auto [w, h, depth] : {std::tuple{65536, 1, 24}, {8193, 8193, 8}, {-1, 1, 8}, {1, 1, 7}, {1, 1, 0}}) {
    Bytes b = Header({.version = 106, .kind = 1});
    FrameHead(b, w, h, depth, 1);
    b.Raw(std::string(64, '\0'));
    cases.push_back({"an absurd frame", b.Get()});
  }
  {
    Bytes b;
    b.Raw("MuraX06").Raw(std::string(60, '\0'));
    cases.push_back({"a signature without a number", b.Get()});
  }
  {
    Bytes b = Header({.version = 106, .kind = 1});
    FrameHead(b, 1, 1, 8, 1);
    Layer(b, 106, {.pixels = Rows8(1, {0})});
    b.U32(0x10000000);  // rectangles that are not there
    cases.push_back({"a rectangle count beyond the data", b.Get()});
  }
  {
    Bytes b = Header({.version = 106, .kind = 1});
    b.U32(0xFFFFFFFF);  // a frame name longer than the file
    cases.push_back({"a name beyond the data", b.Get()});
  }
  for (const Case& c : cases) {
    TMuraFrameList list;
    MemoryStream s;
    s.Assign(c.bytes);
    EXPECT_THROW(list.LoadFromStream(s), Error) << c.what;
    EXPECT_EQ(list.Count(), 0) << c.what;
  }
}

// Frames without layers are the background alone: a few of them are fine, but a tiny file may
// not make the reader allocate huge blank pictures it holds no data for.
TEST(TMuraFrameList, BlankFramesAreBoundedByTheFile) {
  struct Case {
    const char* what;
    uint32_t frames;
    int w, h;
    bool loads;
  };
  for (const Case& c : {Case{"small blank frames", 3, 64, 64, true},
                        Case{"one screen-sized blank frame", 1, 1280, 720, true},
                        Case{"one huge blank frame", 1, 8192, 8192, false},
                        Case{"many blank frames", 200, 1024, 1024, false}}) {
    SCOPED_TRACE(c.what);
    Bytes b = Header({.version = 106, .frames = c.frames, .kind = 1, .background = 0x123456});
    for (uint32_t i = 0; i < c.frames; ++i) {
      FrameHead(b, c.w, c.h, 32, 0);
      NoRects(b);
    }
    if (c.loads) {
      auto list = Load(b.Get());
      ASSERT_EQ(list->Count(), static_cast<int>(c.frames));
      EXPECT_EQ(list->Frames[0]->Surface.GetPixel(c.w - 1, c.h - 1) & 0xFFFFFF, 0x563412u);
    } else {
      EXPECT_LT(b.Get().size(), 10000u);
      TMuraFrameList list;
      MemoryStream s;
      s.Assign(b.Get());
      EXPECT_THROW(list.LoadFromStream(s), Error);
    }
  }
}

TEST(TMuraFrameList, MalformedFixtures) {
  const std::string dir = std::string(ORIN_TEST_DATA) + "/mur/malformed";
  int seen = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    ++seen;
    TMuraFrameList list;
    EXPECT_THROW(list.LoadFromFile(entry.path().string()), Error) << entry.path();
  }
  EXPECT_GT(seen, 0);
}

TEST(TMuraFrameList, FirstFrameOnlyIgnoresTheRest) {
  std::string file = SampleFile(1, 0);
  const size_t second = file.find("Frame2");
  ASSERT_NE(second, std::string::npos);
  file.resize(second + 3);  // the second frame is cut short
  auto loaded = Load(file, 0, true);
  TMuraFrameList& list = *loaded;
  EXPECT_EQ(list.Count(), 1);
  EXPECT_THROW(Load(file), Error);
}

// ---- Masks and trimming

TEST(TMuraFrame, MakeMaskClearsTheTransparentValue) {
  TMuraFrameList list;
  TMuraFrame& f = list.AddFrame();
  f.Surface.SetSize(3, 1, 8);
  f.Surface.SetPixel(1, 0, 4);
  f.TransparentValue = 4;
  TMuraFrame& g = list.AddFrame();
  g.Surface.SetSize(1, 1, 24);
  g.Surface.CreateAlpha();  // already has a plane: left alone
  list.MakeMasks();
  ASSERT_TRUE(f.Surface.HasAlpha());
  EXPECT_EQ(f.Surface.Alpha->GetPixel(0, 0), 255u);
  EXPECT_EQ(f.Surface.Alpha->GetPixel(1, 0), 0u);
  EXPECT_EQ(g.Surface.Alpha->GetPixel(0, 0), 0u);
}

TEST(TMuraFrame, TrimCropsToTheVisiblePartAndMovesRectangles) {
  TMuraFrameList list;
  TMuraFrame& f = list.AddFrame();
  f.Surface.SetSize(10, 8, 24);
  f.Surface.CreateAlpha();
  f.Surface.Alpha->FillRect(Rect{2, 3, 6, 7}, 255);
  f.Surface.SetPixel(2, 3, 0xABCDEF);
  f.RectsA = {Rect{0, 0, 4, 4}, Rect{7, 0, 9, 2}, Rect{6, 3, 8, 5}};
  f.RectsB = {Rect{3, 4, 5, 6}};
  Rect r;
  ASSERT_TRUE(f.Trim(r));
  EXPECT_EQ(r, (Rect{2, 3, 6, 7}));
  EXPECT_EQ(f.Surface.Width(), 4);
  EXPECT_EQ(f.Surface.GetPixel(0, 0), 0xABCDEFu);
  EXPECT_EQ(f.Surface.Alpha->Width(), 4);
  // The first rectangle is cut, the second misses, the third only touches the edge.
  EXPECT_EQ(f.RectsA, (std::vector<Rect>{Rect{0, 0, 2, 1}}));
  EXPECT_EQ(f.RectsB, (std::vector<Rect>{Rect{1, 1, 3, 3}}));

  TMuraFrame& clear = list.AddFrame();
  clear.Surface.SetSize(5, 5, 24);
  clear.Surface.CreateAlpha();
  ASSERT_TRUE(clear.Trim(r));
  EXPECT_EQ(r, (Rect{0, 0, 1, 1}));
  EXPECT_EQ(clear.Surface.Width(), 1);

  TMuraFrame& keyed = list.AddFrame();
  keyed.Surface.SetSize(4, 4, 8);
  keyed.Surface.SetPixel(1, 2, 3);
  EXPECT_FALSE(keyed.Trim(r));  // no alpha and no transparent colour: whole
  EXPECT_EQ(r, (Rect{0, 0, 4, 4}));
  keyed.TransparentValue = 0;
  keyed.TransparentColor = 0;
  ASSERT_TRUE(keyed.Trim(r));
  EXPECT_EQ(r, (Rect{1, 2, 2, 3}));

  TMuraFrame& whole = list.AddFrame();
  whole.Surface.SetSize(2, 2, 24);
  whole.Surface.CreateAlpha();
  whole.Surface.FillAlpha();
  EXPECT_FALSE(whole.Trim(r));
}

// ---- Files on disk

TEST(TMuraFrameList, LoadFromFileChoosesByExtension) {
  test::TempDir dir;
  test::PngLayout png{.width = 1, .height = 1, .bitDepth = 8, .colorType = 2, .rows = "\x10\x20\x30"};
  test::WriteHostFile(dir / "a.PNG", test::MakePng(png));
  Bytes bmp;
  bmp.Raw("BM").U32(0).U32(0).U32(54).U32(40).I32(1).I32(1).U16(1).U16(24).U32(0).U32(4).U32(0).U32(0).U32(0).U32(0);
  bmp.Raw(std::string("\x30\x20\x10\0", 4));
  test::WriteHostFile(dir / "b.bmp", bmp.Get());
  test::WriteHostFile(dir / "c.dib", bmp.Get());
  test::WriteHostFile(dir / "d.txt", "whatever");
  for (const char* name : {"a.PNG", "b.bmp", "c.dib"}) {
    TMuraFrameList list;
    list.LoadFromFile(dir / name);
    ASSERT_EQ(list.Count(), 1) << name;
    EXPECT_EQ(list[0].Surface.GetPixel(0, 0), 0x102030u) << name;
  }
  TMuraFrameList list;
  list.AddFrame();
  list.LoadFromFile(dir / "d.txt");
  EXPECT_EQ(list.Count(), 0);

  test::WriteHostFile(dir / "bad.mur", "Mura106");
  try {
    list.LoadFromFile(dir / "bad.mur");
    ADD_FAILURE();
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()).rfind(dir / "bad.mur: damaged image", 0), 0u) << e.what();
  }
}

}  // namespace
}  // namespace orin
