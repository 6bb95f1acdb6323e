// orintool region: write region files of image maps from their text form, turn them back into
// text, and paint which region each pixel belongs to.
//
// The text form (UTF-8, "#" comments), one region a line in file order:
//   rect "NAME" LEFT TOP RIGHT BOTTOM        the edges inclusive
//   ellipse "NAME" LEFT TOP RIGHT BOTTOM     inscribed in that box
//   polygon "NAME" X Y X Y ...               non-zero winding; any number of points
// A shape=N item after the kind keeps a shape byte other than 0, 1 or 2 (every value above 1 is
// a polygon), so that asm of dis gives back the file byte for byte.
#include <cstdio>
#include <string>
#include <vector>

#include "app/orintool/commands.h"
#include "core/cp932.h"
#include "core/error.h"
#include "imaging/dib_surface.h"
#include "imaging/image_codecs.h"
#include "resources/host_error.h"
#include "resources/stream.h"
#include "scene/objects/region_file.h"
#include "script/text_form.h"

namespace orin::tool {

namespace {

void ReadFile(const std::string& path, MemoryStream& data) {
  try {
    data.LoadFromFile(path);
  } catch (const Error& e) {
    throw Error(HostPathText(path).append(": ").append(e.Message()));
  }
}

RegionFile ReadRegions(const std::string& path) {
  MemoryStream data;
  ReadFile(path, data);
  const std::string_view bytes = data.View();
  return RegionFile::Read(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), HostPathText(path));
}

void Write(const std::string& path, std::string_view bytes) {
  if (path.empty() || path == "-") {
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    return;
  }
  WriteFileAtomically(path, bytes.data(), bytes.size());
}

// Appends in pieces: "literal" + std::string trips a false -Wrestrict in GCC 12.
void AppendNumber(std::string& out, int64_t v) {
  out += ' ';
  out += std::to_string(v);
}

std::string ToText(const RegionFile& file) {
  std::string out = "# ";
  out += std::to_string(file.Regions.size());
  out += " regions\n";
  for (const MapRegion& r : file.Regions) {
    switch (r.Kind()) {
      case MapRegion::kRectangle:
        out += "rect";
        break;
      case MapRegion::kEllipse:
        out += "ellipse";
        break;
      case MapRegion::kPolygon:
        out += "polygon";
        if (r.ShapeByte != MapRegion::kPolygon) {
          out += " shape=";
          out += std::to_string(r.ShapeByte);
        }
        break;
    }
    out += ' ';
    out += QuoteText(r.Name);
    if (r.Kind() == MapRegion::kPolygon) {
      for (const RegionPoint& p : r.Points) {
        AppendNumber(out, p.X);
        AppendNumber(out, p.Y);
      }
    } else {
      for (int32_t v : {r.Left, r.Top, r.Right, r.Bottom}) AppendNumber(out, v);
    }
    out += "\n";
  }
  return out;
}

RegionFile ParseText(std::string_view text) {
  text = WithoutBom(text);
  RegionFile file;
  int lineNumber = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::vector<TextItem> items = SplitLine(line, lineNumber);
    if (items.empty()) continue;
    try {
      if (!items[0].name.empty() || items[0].value.kind != TextValue::kWord)
        throw TextError(lineNumber, "a line starts with rect, ellipse or polygon");
      const std::string& kind = items[0].value.text;
      MapRegion region;
      size_t next = 1;
      if (kind == "rect" || kind == "ellipse") {
        region.ShapeByte = kind == "rect" ? MapRegion::kRectangle : MapRegion::kEllipse;
      } else if (kind == "polygon") {
        region.ShapeByte = MapRegion::kPolygon;
        if (next < items.size() && items[next].name == "shape") {
          region.ShapeByte = static_cast<uint8_t>(IntValue(items[next].value, "shape", 2, 255));
          ++next;
        }
      } else {
        throw TextError(lineNumber, Cat({"unknown region kind ", kind}));
      }
      if (next >= items.size() || items[next].value.kind != TextValue::kString)
        throw TextError(lineNumber, "the region's name in quotes follows its kind");
      region.Name = items[next++].value.text;
      std::vector<int32_t> numbers;
      for (; next < items.size(); ++next) {
        if (!items[next].name.empty()) throw TextError(lineNumber, Cat({"unexpected ", items[next].name, "="}));
        numbers.push_back(static_cast<int32_t>(IntValue(items[next].value, "coordinate", INT32_MIN, INT32_MAX)));
      }
      if (region.Kind() == MapRegion::kPolygon) {
        if (numbers.size() % 2 != 0) throw TextError(lineNumber, "a polygon's coordinates come in pairs");
        for (size_t i = 0; i < numbers.size(); i += 2) region.Points.push_back({numbers[i], numbers[i + 1]});
      } else {
        if (numbers.size() != 4) throw TextError(lineNumber, "a box takes left, top, right and bottom");
        region.Left = numbers[0];
        region.Top = numbers[1];
        region.Right = numbers[2];
        region.Bottom = numbers[3];
      }
      file.Regions.push_back(std::move(region));
    } catch (const Error& e) {
      throw AtLine(lineNumber, e);
    }
  }
  file.Index();
  return file;
}

int Asm(const ArgParser& args) {
  args.ExpectPositionals(1, 1);
  if (!args.Has("-o")) throw UsageError("asm needs -o FILE");
  const std::string in = args.Positionals()[0];
  MemoryStream text;
  ReadFile(in, text);
  RegionFile file;
  try {
    file = ParseText(text.View());
  } catch (const Error& e) {
    throw Error(HostPathText(in).append(": ").append(e.Message()));
  }
  Write(args.Value("-o"), file.Write());
  return kOk;
}

int Dis(const ArgParser& args) {
  args.ExpectPositionals(1, 1);
  Write(args.Value("-o", "-"), ToText(ReadRegions(args.Positionals()[0])));
  return kOk;
}

int64_t Side(const std::string& word, const char* what) {
  const std::optional<int64_t> v = ParseWordNumber(word);
  if (!v || *v < 1 || *v > TDIBSurface::kMaxSide) throw UsageError(Cat({what, " must be 1 to 32767"}));
  return *v;
}

int Png(const ArgParser& args) {
  args.ExpectPositionals(4, 4);
  const std::vector<std::string>& p = args.Positionals();
  const int64_t width = Side(p[1], "WIDTH"), height = Side(p[2], "HEIGHT");
  if (width * height > TDIBSurface::kMaxPixels) throw UsageError("WIDTH × HEIGHT is more than 64 Mi pixels");
  const RegionFile file = ReadRegions(p[0]);
  std::vector<uint8_t> rgba(static_cast<size_t>(width * height * 4), 0);
  for (int64_t y = 0; y < height; ++y)
    for (int64_t x = 0; x < width; ++x) {
      const int32_t hit = file.HitTest(static_cast<int32_t>(x), static_cast<int32_t>(y));
      uint8_t* px = &rgba[static_cast<size_t>((y * width + x) * 4)];
      // The 255th region and any later one share the channel's top.
      px[0] = static_cast<uint8_t>(hit < 0 ? 0 : hit >= 254 ? 255 : hit + 1);
      px[3] = 255;
    }
  const auto png = EncodePngRgba(rgba.data(), static_cast<int>(width), static_cast<int>(height),
                                 static_cast<size_t>(width) * 4);
  WriteFileAtomically(p[3], png->Data(), png->Size());
  return kOk;
}

int RunRegion(const std::vector<std::string>& all) {
  if (all.empty()) throw UsageError("missing subcommand");
  const std::string sub = all[0];
  std::vector<std::string> rest(all.begin() + 1, all.end());
  if (sub == "asm") return Asm(ArgParser(rest, {}, {"-o"}));
  if (sub == "dis") return Dis(ArgParser(rest, {}, {"-o"}));
  if (sub == "png") return Png(ArgParser(rest, {}, {}));
  throw UsageError(Cat({"unknown subcommand ", sub}));
}

}  // namespace

extern const Command kRegionCommand = {
    "region", "write region files of image maps from text and back, paint their regions",
    "usage:\n"
    "  orintool region asm FILE.txt -o REGIONFILE\n"
    "  orintool region dis REGIONFILE [-o FILE.txt]\n"
    "  orintool region png REGIONFILE WIDTH HEIGHT OUT.png\n"
    "The text form (UTF-8, '#' comments), one region a line in file order:\n"
    "  rect \"NAME\" LEFT TOP RIGHT BOTTOM      edges inclusive\n"
    "  ellipse \"NAME\" LEFT TOP RIGHT BOTTOM   inscribed in that box\n"
    "  polygon \"NAME\" X Y X Y ...             filled by the non-zero winding rule\n"
    "  polygon shape=N \"NAME\" ...             a polygon stored with shape byte N (3-255)\n"
    "png paints each pixel's red channel 1 + the index of the first region that holds it (0 for\n"
    "none; 255 from the 255th region on), green and blue 0, alpha 255.\n"
    "dis writes to standard output unless -o names a file.\n",
    RunRegion};

}  // namespace orin::tool
