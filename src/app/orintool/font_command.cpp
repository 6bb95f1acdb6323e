// orintool font: check how the player draws a game's fonts. Renders a line of text through the
// glyph cache and DrawChar, tells which installed font a game's font name maps to, and lists the
// fonts as the `@Fonts` system variable does.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/orintool/commands.h"
#include "core/cp932.h"
#include "core/error.h"
#include "core/text.h"
#include "imaging/dib_surface.h"
#include "imaging/draw_char.h"
#include "imaging/font_finder.h"
#include "imaging/font_pixel.h"
#include "imaging/freetype_rasterizer.h"
#include "imaging/image_codecs.h"

namespace orin::tool {

namespace {

using namespace literals;

int IntOption(const ArgParser& args, const std::string& name, int fallback, int min, int max) {
  if (!args.Has(name)) return fallback;
  const std::string text = args.Value(name);
  errno = 0;
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end || errno) throw UsageError(name + " needs a whole number, not '" + text + "'");
  if (v < min || v > max)
    throw UsageError(name + " must lie between " + std::to_string(min) + " and " + std::to_string(max));
  return static_cast<int>(v);
}

Rgb ColourOption(const ArgParser& args, const std::string& name, Rgb fallback) {
  if (!args.Has(name)) return fallback;
  std::string text = args.Value(name);
  if (!text.empty() && text[0] == '#') text.erase(0, 1);
  char* end = nullptr;
  const unsigned long v = std::strtoul(text.c_str(), &end, 16);
  if (text.size() != 6 || *end) throw UsageError(name + " needs a colour as #RRGGBB, not '" + args.Value(name) + "'");
  return Rgb{static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
}

// A game's font name from the command line (UTF-8).
std::string FontName(const std::string& utf8) {
  auto cp = Utf8ToCp932(utf8);
  if (!cp) throw Error("font name: has characters cp932 cannot express");
  return *cp;
}

const char* MatchText(FontMatch how) {
  switch (how) {
    case FontMatch::kFontDir:
      return "found in ORIN_FONT_DIR";
    case FontMatch::kStandIn:
      return "stand-in for a Windows face";
    case FontMatch::kInstalled:
      return "installed under that name";
    case FontMatch::kDefaultStandIn:
      return "not installed: the stand-in of the default face";
    case FontMatch::kAnyJapanese:
      return "not installed: a Japanese face";
    case FontMatch::kAnyFont:
      return "not installed: no Japanese face either, any face";
  }
  return "";
}

const char* MatchKey(FontMatch how) {
  switch (how) {
    case FontMatch::kFontDir:
      return "font-dir";
    case FontMatch::kStandIn:
      return "stand-in";
    case FontMatch::kInstalled:
      return "installed";
    case FontMatch::kDefaultStandIn:
      return "default-stand-in";
    case FontMatch::kAnyJapanese:
      return "any-japanese";
    case FontMatch::kAnyFont:
      return "any";
  }
  return "";
}

int RunWhich(const ArgParser& args) {
  args.ExpectPositionals(2, 2);
  const int style = IntOption(args, "--style", 0, 0, 15);
  FontFinder finder(FontFinder::FontDirFromEnvironment());
  const std::string& utf8Name = args.Positionals()[1];
  const FontChoice& choice = finder.Find(FontName(utf8Name));
  const StyledFace face = FontFinder::PickFace(choice, style & 1, style & 2);
  if (args.Flag("--json")) {
    std::printf("{\"name\": %s, \"family\": %s, \"match\": \"%s\", \"file\": %s, \"index\": %d, "
                "\"synthetic_bold\": %s, \"synthetic_italic\": %s}\n",
                JsonString(utf8Name).c_str(), JsonString(choice.Family).c_str(), MatchKey(choice.How),
                JsonString(face.Face->File).c_str(), face.Face->Index, face.SynthesizeBold ? "true" : "false",
                face.SynthesizeItalic ? "true" : "false");
    return kOk;
  }
  std::printf("%s -> %s (%s)\n", utf8Name.c_str(), choice.Family.c_str(), MatchText(choice.How));
  std::printf("file: %s\nface: %d\n", face.Face->File.c_str(), face.Face->Index);
  if (face.SynthesizeBold || face.SynthesizeItalic)
    std::printf("synthesised: %s%s%s\n", face.SynthesizeBold ? "bold" : "",
                face.SynthesizeBold && face.SynthesizeItalic ? ", " : "", face.SynthesizeItalic ? "italic" : "");
  return kOk;
}

int RunList(const ArgParser& args) {
  args.ExpectPositionals(1, 1);
  FontFinder finder(FontFinder::FontDirFromEnvironment());
  const std::string names = InstalledFontNames(finder, args.Flag("--fixed"));
  std::string out;
  ForEachChar(names, [&](size_t at, size_t n) {
    if (n == 1 && names[at] == '\r') return;
    out.append(names, at, n);
  });
  if (!out.empty()) std::printf("%s\n", ToUtf8(out).c_str());
  return kOk;
}

int RunRender(const ArgParser& args) {
  args.ExpectPositionals(3, 3);
  const int size = IntOption(args, "--size", 24, 1, FreeTypeRasterizer::kMaxHeight);
  const int style = IntOption(args, "--style", 0, 0, 15);
  const int mode = IntOption(args, "--mode", 3, 0, 3);
  const int k = IntOption(args, "--border", 0, 0, kMaxBorderWidth);
  const int d = IntOption(args, "--shadow", 0, 0, 256);
  const Rgb textRgb = ColourOption(args, "--color", Rgb{0, 0, 0});
  const Rgb borderRgb = ColourOption(args, "--border-color", Rgb{255, 255, 255});
  const Rgb shadowRgb = ColourOption(args, "--shadow-color", Rgb{128, 128, 128});
  const std::string fontName = FontName(args.Value("--font", "ＭＳ ゴシック"));
  const std::string& utf8Text = args.Positionals()[1];
  const std::string& out = args.Positionals()[2];
  if (utf8Text.empty()) throw UsageError("TEXT is empty");
  const auto text = Utf8ToCp932(utf8Text);
  if (!text) throw Error("TEXT: has characters cp932 cannot express");

  FontFinder finder(FontFinder::FontDirFromEnvironment());
  TFontPixelManager manager(std::make_unique<FreeTypeRasterizer>(finder));
  manager.SetRenderMode(mode);

  // Laid out as a label lays out a line: each character's advance, widened by border and shadow.
  std::vector<TFontPixelManager::GlyphPtr> glyphs;
  int width = 0, height = size;
  ForEachChar(*text, [&](size_t at, size_t) {
    auto g = manager.GetGlyph(CharCodeAt(*text, at), fontName, static_cast<uint8_t>(style), size);
    width += g->CoverageWidth + g->XOffset + g->ExtraAdvance + 2 * k + d;
    height = std::max(height, g->YOffset + g->CoverageHeight);
    glyphs.push_back(std::move(g));
  });
  width = std::max(width, 1);
  height += 2 * k + d;

  TDIBSurface colour(width, height, 32), alpha(width, height, 8);
  const uint32_t textPixel = colour.ColorToPixel(textRgb.Red, textRgb.Green, textRgb.Blue);
  const uint32_t borderPixel = colour.ColorToPixel(borderRgb.Red, borderRgb.Green, borderRgb.Blue);
  const uint32_t shadowPixel = colour.ColorToPixel(shadowRgb.Red, shadowRgb.Green, shadowRgb.Blue);
  int x = 0;
  for (size_t i = 0; i < glyphs.size(); ++i) {
    const TFontPixel& g = *glyphs[i];
    const int advance = g.CoverageWidth + g.XOffset + g.ExtraAdvance + 2 * k + d;
    Rect changed;
    manager.DrawChar(g, colour, alpha, false, changed, shadowPixel, borderPixel, textPixel, i > 0,
                     i + 1 < glyphs.size(), d, k, Rect{x, 0, x + advance, height});
    x += advance;
  }

  std::vector<uint8_t> rgba(static_cast<size_t>(width) * height * 4, 0);
  for (int y = 0; y < height; ++y)
    for (int i = 0; i < width; ++i) {
      const uint8_t a = alpha.ScanLine(y)[i];
      if (!a) continue;
      const Rgb c = colour.PixelToRGB(colour.GetPixel(i, y));
      uint8_t* p = rgba.data() + (static_cast<size_t>(y) * width + i) * 4;
      p[0] = c.Red, p[1] = c.Green, p[2] = c.Blue, p[3] = a;
    }
  const auto png = EncodePngRgba(rgba.data(), width, height, static_cast<size_t>(width) * 4);
  WriteFileAtomically(out, png->Data(), png->Size());
  if (args.Flag("--json"))
    std::printf("{\"width\": %d, \"height\": %d, \"characters\": %zu}\n", width, height, glyphs.size());
  return kOk;
}

int RunFont(const std::vector<std::string>& arguments) {
  ArgParser args(arguments, {"--json", "--fixed"},
                 {"--font", "--size", "--style", "--mode", "--border", "--shadow", "--color", "--border-color",
                  "--shadow-color"});
  if (args.Positionals().empty()) throw UsageError("missing subcommand");
  const std::string& sub = args.Positionals()[0];
  if (sub == "render") return RunRender(args);
  if (sub == "which") return RunWhich(args);
  if (sub == "list") return RunList(args);
  throw UsageError("unknown subcommand '" + sub + "'");
}

}  // namespace

extern const Command kFontCommand = {
    "font", "check how the player draws a game's fonts",
    "usage:\n"
    "  orintool font render [--font NAME] [--size PX] [--style BITS] [--mode 0-3] [--border K]\n"
    "                       [--shadow D] [--color #RRGGBB] [--border-color #RRGGBB]\n"
    "                       [--shadow-color #RRGGBB] [--json] TEXT OUT.png\n"
    "  orintool font which [--style BITS] [--json] NAME\n"
    "  orintool font list [--fixed]\n"
    "render draws one line of TEXT as the player draws text (default font \"ＭＳ ゴシック\", 24 pixels,\n"
    "render mode 3, black text, white border, grey shadow) on a transparent background and writes an\n"
    "RGBA PNG. --style adds 1 bold, 2 italic, 4 underline, 8 strike-out; --mode 0 is aliased, 1-3 give\n"
    "5, 17 and 65 grey levels. which prints the font file and face a game's font NAME is drawn with;\n"
    "list prints the fonts as the game sees them in @Fonts (--fixed: @FixedFonts). ORIN_FONT_DIR names\n"
    "a folder of extra fonts, looked at first.\n",
    RunFont};

}  // namespace orin::tool
