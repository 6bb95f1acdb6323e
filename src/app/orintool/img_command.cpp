// orintool img: inspect layered images, export a frame as PNG, build layered images from PNGs.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>

#include "app/orintool/commands.h"
#include "core/cp932.h"
#include "core/error.h"
#include "imaging/frame_drawable.h"
#include "imaging/image_codecs.h"
#include "imaging/mura.h"
#include "resources/host_error.h"
#include "resources/host_fs.h"
#include "resources/stream.h"

namespace orin::tool {

namespace {

// A whole number in decimal or with "0x" in hexadecimal, within [min, max]. Hexadecimal keys
// above 0x7FFFFFFF are taken as the 32-bit pattern they spell.
int64_t ParseNumber(const std::string& option, const std::string& text, int64_t min, int64_t max) {
  const char* s = text.c_str();
  const bool negative = *s == '-';
  const char* digits = negative ? s + 1 : s;
  int base = 10;
  if (digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) base = 16, digits += 2;
  if (!*digits) throw UsageError(option + " needs a number");
  errno = 0;
  char* end = nullptr;
  unsigned long long v = std::strtoull(digits, &end, base);
  if (*end || errno) throw UsageError(option + " needs a number, not '" + text + "'");
  if (base == 16 && !negative && max == std::numeric_limits<int32_t>::max() && v <= 0xFFFFFFFFull)
    return static_cast<int32_t>(static_cast<uint32_t>(v));
  if (v > static_cast<unsigned long long>(std::numeric_limits<int64_t>::max())) throw UsageError(option + " is out of range");
  const int64_t value = negative ? -static_cast<int64_t>(v) : static_cast<int64_t>(v);
  if (value < min || value > max)
    throw UsageError(option + " must lie between " + std::to_string(min) + " and " + std::to_string(max));
  return value;
}

int32_t KeyOption(const ArgParser& args) {
  if (!args.Has("--key")) return 0;
  return static_cast<int32_t>(ParseNumber("--key", args.Value("--key"), std::numeric_limits<int32_t>::min(),
                                          std::numeric_limits<int32_t>::max()));
}


bool IsPicture(const std::string& path) {
  const std::string ext = LowerCase(ExtensionOf(path));
  return ext == ".png" || ext == ".bmp" || ext == ".dib";
}

void LoadImage(TMuraFrameList& list, const std::string& path) {
  if (!IsPicture(path) && LowerCase(ExtensionOf(path)) != ".mur")
    throw Error(HostPathText(path) + ": not a picture orintool reads (.mur, .png, .bmp, .dib)");
  list.LoadFromFile(path);
}

const char* KindName(int kind) {
  switch (kind) {
    case 0:
      return "zlib";
    case 1:
      return "raw";
    case 2:
      return "jpeg";
    default:
      return "unknown";
  }
}

std::string Hex(uint32_t v) {
  char b[16];
  std::snprintf(b, sizeof b, "0x%08X", v);
  return b;
}

std::string RectsText(const std::vector<Rect>& rects) {
  std::string out;
  for (const Rect& r : rects)
    out += " (" + std::to_string(r.Left) + ", " + std::to_string(r.Top) + ", " + std::to_string(r.Right) + ", " +
           std::to_string(r.Bottom) + ")";
  return out.empty() ? " none" : out;
}

std::string RectsJson(const std::vector<Rect>& rects) {
  std::string out = "[";
  for (size_t i = 0; i < rects.size(); ++i) {
    const Rect& r = rects[i];
    out += (i ? ", [" : "[") + std::to_string(r.Left) + ", " + std::to_string(r.Top) + ", " + std::to_string(r.Right) +
           ", " + std::to_string(r.Bottom) + "]";
  }
  return out + "]";
}

int Info(const ArgParser& args) {
  args.ExpectPositionals(1, 1);
  const std::string path = args.Positionals()[0];
  TMuraFrameList list(KeyOption(args));
  LoadImage(list, path);
  const MuraHeader& h = list.Header;
  const bool hasRecord = list.Version >= 103;
  std::string out;
  if (args.Flag("--json")) {
    out = "{\n  \"version\": " + std::to_string(list.Version) + ",\n  \"background\": " + std::to_string(list.Background) +
          ",\n  \"first_layer_opaque\": " + std::to_string(list.FirstLayerOpaque) + ",\n  \"header\": ";
    if (hasRecord) {
      out += "{\"length\": " + std::to_string(h.HeaderLength) + ", \"width\": " + std::to_string(h.Width) +
             ", \"height\": " + std::to_string(h.Height) + ", \"depth\": " + std::to_string(h.BitCount) +
             ", \"frames\": " + std::to_string(h.FrameCount) + ", \"scrambled\": " + std::to_string(h.Scrambled) +
             ", \"kind\": " + std::to_string(h.Kind) + ", \"tile_width\": " + std::to_string(h.TileWidth) +
             ", \"tile_height\": " + std::to_string(h.TileHeight) + ", \"quality\": " + std::to_string(h.Quality) + "}";
    } else {
      out += "null";
    }
    out += ",\n  \"frames\": [";
    for (int i = 0; i < list.Count(); ++i) {
      const TMuraFrame& f = list[i];
      out += std::string(i ? "," : "") + "\n    {\"name\": " + JsonString(ToUtf8(f.Name)) +
             ", \"width\": " + std::to_string(f.Surface.Width()) + ", \"height\": " + std::to_string(f.Surface.Height()) +
             ", \"depth\": " + std::to_string(f.Surface.BitCount()) + ", \"delay\": " + std::to_string(f.Delay) +
             ", \"transparent_value\": " + std::to_string(f.TransparentValue) +
             ", \"transparent_color\": " + std::to_string(f.TransparentColor) +
             ", \"alpha\": " + (f.Surface.HasAlpha() ? "true" : "false") + ",\n     \"layers\": [";
      for (size_t j = 0; j < f.Layers.size(); ++j) {
        const TMuraLayer& l = *f.Layers[j];
        out += std::string(j ? ", " : "") + "{\"name\": " + JsonString(ToUtf8(l.Name)) +
               ", \"visible\": " + std::to_string(l.Visible) + ", \"transparent_value\": " + std::to_string(l.TransparentValue) +
               ", \"opacity\": " + std::to_string(l.Opacity) + ", \"use_alpha\": " + std::to_string(l.UseAlpha) +
               ", \"alpha\": " + (l.HadAlpha ? "true" : "false") + "}";
      }
      out += "],\n     \"rects_a\": " + RectsJson(f.RectsA) + ", \"rects_b\": " + RectsJson(f.RectsB) + "}";
    }
    out += list.Count() ? "\n  ]\n}\n" : "]\n}\n";
  } else {
    out = "version " + std::to_string(list.Version) + "\n";
    if (hasRecord)
      out += "header: length " + std::to_string(h.HeaderLength) + ", " + std::to_string(h.Width) + " x " +
             std::to_string(h.Height) + ", " + std::to_string(h.BitCount) + " bits, " + std::to_string(h.FrameCount) +
             " frames, kind " + std::to_string(h.Kind) + " (" + KindName(h.Kind) + "), scrambled " +
             std::to_string(h.Scrambled) + ", tiles " + std::to_string(h.TileWidth) + " x " +
             std::to_string(h.TileHeight) + ", quality " + std::to_string(h.Quality) + "\n";
    out += "background " + Hex(list.Background) + ", first layer opaque " + std::to_string(list.FirstLayerOpaque) + "\n";
    for (int i = 0; i < list.Count(); ++i) {
      const TMuraFrame& f = list[i];
      out += "frame " + std::to_string(i) + " \"" + ToUtf8(f.Name) + "\": " + std::to_string(f.Surface.Width()) + " x " +
             std::to_string(f.Surface.Height()) + ", " + std::to_string(f.Surface.BitCount()) + " bits, delay " +
             std::to_string(f.Delay) + ", transparent " + std::to_string(f.TransparentValue) + " (colour " +
             (f.TransparentColor < 0 ? std::string("none") : Hex(uint32_t(f.TransparentColor))) + "), alpha " +
             (f.Surface.HasAlpha() ? "yes" : "no") + "\n";
      for (size_t j = 0; j < f.Layers.size(); ++j) {
        const TMuraLayer& l = *f.Layers[j];
        out += "  layer " + std::to_string(j) + " \"" + ToUtf8(l.Name) + "\": visible " + std::to_string(l.Visible) +
               ", transparent " + std::to_string(l.TransparentValue) + ", opacity " + std::to_string(l.Opacity) +
               ", use alpha " + std::to_string(l.UseAlpha) + ", alpha " + (l.HadAlpha ? "yes" : "no") + "\n";
      }
      if (list.Version >= 104) out += "  rects A:" + RectsText(f.RectsA) + "\n  rects B:" + RectsText(f.RectsB) + "\n";
    }
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  return kOk;
}

int ToPng(const ArgParser& args) {
  args.ExpectPositionals(2, 2);
  const std::string in = args.Positionals()[0], out = args.Positionals()[1];
  const int64_t index = args.Has("--frame") ? ParseNumber("--frame", args.Value("--frame"), 0, 1 << 30) : 0;
  TMuraFrameList list(KeyOption(args));
  LoadImage(list, in);
  if (index >= list.Count())
    throw Error(HostPathText(in) + ": there is no frame " + std::to_string(index) + " (the image has " +
                std::to_string(list.Count()) + ")");
  FrameDrawable d;
  CopyToDrawable(list[static_cast<int>(index)], d);
  const int w = d.Color.Width(), h = d.Color.Height();
  if (w == 0 || h == 0) throw Error(HostPathText(in) + ": the frame is empty");
  std::vector<uint8_t> rgba(static_cast<size_t>(w) * 4 * static_cast<size_t>(h));
  for (int y = 0; y < h; ++y) {
    const uint8_t* src = d.Color.ScanLine(y);
    const uint8_t* alpha = d.Color.HasAlpha() ? d.Color.Alpha->ScanLine(y) : nullptr;
    uint8_t* dst = rgba.data() + static_cast<size_t>(y) * w * 4;
    for (int x = 0; x < w; ++x) {
      const uint32_t pixel = uint32_t{src[4 * x]} | uint32_t{src[4 * x + 1]} << 8 | uint32_t{src[4 * x + 2]} << 16;
      dst[4 * x] = src[4 * x + 2];
      dst[4 * x + 1] = src[4 * x + 1];
      dst[4 * x + 2] = src[4 * x];
      dst[4 * x + 3] = alpha ? alpha[x] : static_cast<int32_t>(pixel) == d.TransparentValue ? 0 : 255;
    }
  }
  auto png = EncodePngRgba(rgba.data(), w, h, static_cast<size_t>(w) * 4);
  WriteFileAtomically(out, png->Data(), png->Size());
  return kOk;
}

int FromPng(const ArgParser& args) {
  args.ExpectPositionals(2, -1);
  const auto& pos = args.Positionals();
  const std::string out = pos.back();
  const int kind = static_cast<int>(args.Has("--kind") ? ParseNumber("--kind", args.Value("--kind"), 0, 2) : 0);
  const int quality = static_cast<int>(args.Has("--quality") ? ParseNumber("--quality", args.Value("--quality"), 1, 100) : 70);
  const int32_t delay = static_cast<int32_t>(
      args.Has("--delay") ? ParseNumber("--delay", args.Value("--delay"), 0, std::numeric_limits<int32_t>::max()) : 100);
  TMuraFrameList list(KeyOption(args));
  for (size_t i = 0; i + 1 < pos.size(); ++i) {
    if (!IsPicture(pos[i])) throw Error(HostPathText(pos[i]) + ": only .png, .bmp and .dib pictures make frames");
    TMuraFrameList picture;
    picture.LoadFromFile(pos[i]);
    TMuraFrame& from = picture[0];
    TMuraFrame& frame = list.AddFrame();
    frame.Surface = std::move(from.Surface);
    frame.TransparentValue = from.TransparentValue;
    frame.TransparentColor = from.TransparentColor;
    frame.Delay = delay;
  }
  MemoryStream bytes;
  list.SaveToStream(bytes, kind, quality);
  WriteFileAtomically(out, bytes.Data(), bytes.Size());
  return kOk;
}

int RunImg(const std::vector<std::string>& all) {
  if (all.empty()) throw UsageError("missing subcommand");
  const std::string sub = all[0];
  std::vector<std::string> rest(all.begin() + 1, all.end());
  if (sub == "info") return Info(ArgParser(rest, {"--json"}, {"--key"}));
  if (sub == "topng") return ToPng(ArgParser(rest, {}, {"--frame", "--key"}));
  if (sub == "frompng") return FromPng(ArgParser(rest, {}, {"--kind", "--quality", "--key", "--delay"}));
  throw UsageError("unknown subcommand " + sub);
}

}  // namespace

extern const Command kImgCommand = {
    "img", "inspect layered images, export frames as PNG, build images from PNGs",
    "usage:\n"
    "  orintool img info [--json] [--key K] FILE\n"
    "  orintool img topng [--frame N] [--key K] FILE OUT.png\n"
    "  orintool img frompng [--kind 0|1|2] [--quality Q] [--key K] [--delay MS] IN.png... OUT.mur\n"
    "FILE is a layered image (.mur) or a .png, .bmp or .dib picture. Frames count from 0.\n"
    "--key is the game's identification code (decimal, or hexadecimal with 0x), which scrambles the\n"
    "pixel rows; an image written with a key is always stored raw (kind 1).\n"
    "--kind: 0 zlib (default), 1 raw, 2 JPEG of quality Q (default 70). --delay: per frame, default 100.\n",
    RunImg};

}  // namespace orin::tool
