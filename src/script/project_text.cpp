#include "script/project_text.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <limits>
#include <map>

#include "core/cp932.h"
#include "params/custom_param.h"
#include "resources/install_set.h"
#include "script/project_file.h"
#include "script/text_form.h"

namespace orin {

namespace {

struct Line {
  int number;
  std::vector<TextItem> items;
};

// The lines of a text form with their items, comments and blank lines dropped.
std::vector<Line> Lines(std::string_view utf8) {
  utf8 = WithoutBom(utf8);
  std::vector<Line> lines;
  int number = 0;
  for (size_t start = 0; start <= utf8.size();) {
    size_t end = utf8.find('\n', start);
    if (end == std::string_view::npos) end = utf8.size();
    std::string_view line = utf8.substr(start, end - start);
    start = end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::vector<TextItem> items = SplitLine(line, number);
    if (items.empty()) continue;
    for (const TextItem& item : items)
      if (!item.name.empty()) throw TextError(number, "settings take plain values, not name=value");
    if (items[0].value.kind != TextValue::kWord) throw TextError(number, "a line begins with a setting's name");
    lines.push_back({number, std::move(items)});
  }
  return lines;
}

void ExpectValues(const Line& line, size_t n) {
  if (line.items.size() != n + 1)
    throw Error(Cat({line.items[0].value.text, " takes ", std::to_string(n), n == 1 ? " value" : " values"}));
}

int32_t Int32(const TextValue& v, std::string_view what) {
  return static_cast<int32_t>(IntValue(v, what, INT32_MIN, INT32_MAX));
}

uint8_t ByteOrFlag(const TextValue& v, std::string_view what) {
  if (v.kind == TextValue::kWord) {
    if (v.text == "TRUE" || v.text == "on") return 1;
    if (v.text == "FALSE" || v.text == "off") return 0;
  }
  return static_cast<uint8_t>(IntValue(v, what, 0, 255));
}

std::string FloatText(const Extended& x) {
  long double v = ExtendedToLongDouble(x.data());
  std::string text;
  if (std::isnan(v)) {
    text = "nan";
  } else if (std::isinf(v)) {
    text = v < 0 ? "-inf" : "inf";
  } else {
    char buf[128];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    text.assign(buf, r.ptr);
  }
  std::string z = text;
  long double back = z == "nan"    ? std::numeric_limits<long double>::quiet_NaN()
                     : z == "inf"  ? std::numeric_limits<long double>::infinity()
                     : z == "-inf" ? -std::numeric_limits<long double>::infinity()
                                   : std::strtold(z.c_str(), nullptr);
  if (LongDoubleToExtended(back) != x) return HexBlock(std::string_view(reinterpret_cast<const char*>(x.data()), x.size()));
  return text;
}

Extended FloatValue(const TextValue& v) {
  Extended x{};
  if (v.kind == TextValue::kHex) {
    if (v.text.size() != x.size()) throw Error("a float as hex{} takes exactly 10 bytes");
    std::copy(v.text.begin(), v.text.end(), x.begin());
    return x;
  }
  if (v.kind != TextValue::kWord) throw Error("a float value is a number or hex{10 bytes}");
  const std::string& t = v.text;
  long double d;
  if (t == "nan") {
    d = std::numeric_limits<long double>::quiet_NaN();
  } else if (t == "inf" || t == "-inf") {
    d = t[0] == '-' ? -std::numeric_limits<long double>::infinity() : std::numeric_limits<long double>::infinity();
  } else {
    char* end = nullptr;
    d = std::strtold(t.c_str(), &end);
    if (t.empty() || *end != '\0' || std::isinf(d)) throw Error(FromUtf8(Cat({"'", t, "' is not a float"})));
  }
  return LongDoubleToExtended(d);
}

const char* const kTypeNames[] = {nullptr, "int", "float", "flag", "str"};

}  // namespace

std::string ProjectToText(const ProjectFile& p) {
  std::string out;
  auto line = [&](std::initializer_list<std::string_view> parts) {
    out += Cat(parts);
    out += '\n';
  };
  line({"version ", std::to_string(p.Version)});
  line({"title ", QuoteText(p.Title)});
  line({"screen ", std::to_string(p.ScreenWidth), " ", std::to_string(p.ScreenHeight)});
  line({"fullscreen ", std::to_string(p.FullScreenWidth), " ", std::to_string(p.FullScreenHeight)});
  line({"start ", QuoteText(p.StartPage)});
  if (p.Version > 109) line({"exit ", QuoteText(p.ExitPage)});
  line({"registry ", QuoteText(p.RegistryKey)});
  line({"imagecode ", std::to_string(p.ImageCode)});
  if (p.Version > 103) line({"save ", std::to_string(p.SaveEnabled)});
  if (p.Version > 105) line({"pacing ", std::to_string(p.FramePacing)});
  if (p.Version > 108) line({"streamed ", QuoteText(p.StreamedExtensions)});
  line({"discprompt ", QuoteText(p.DiscPrompt)});
  line({"quitmessage ", QuoteText(p.QuitMessage)});
  for (const ProjectVariable& v : p.InitialVariables) {
    std::string value;
    switch (v.Type) {
      case kTypeInt:
        value = std::to_string(v.Int);
        break;
      case kTypeFloat:
        value = FloatText(v.Float);
        break;
      case kTypeFlag:
        value = v.Flag == 0 ? "FALSE" : v.Flag == 1 ? "TRUE" : std::to_string(v.Flag);
        break;
      default:
        value = QuoteText(v.Str);
        break;
    }
    const char* type = v.Type >= 1 && v.Type <= 4 ? kTypeNames[v.Type] : "?";
    line({"var ", type, " ", QuoteText(v.Name), " ", value});
  }
  for (const TFolderDiskList::Item& item : p.FolderDisks.Items)
    line({"folder ", QuoteText(item.Folder), " ", std::to_string(item.Disk)});
  return out;
}

void ProjectFromText(std::string_view utf8, ProjectFile& project) {
  ProjectFile p;
  std::vector<Line> lines = Lines(utf8);
  // The version decides which settings exist, wherever its line is.
  for (const Line& line : lines) {
    if (line.items[0].value.text != "version") continue;
    try {
      ExpectValues(line, 1);
      p.Version = Int32(line.items[1].value, "version");
    } catch (const Error& e) {
      throw AtLine(line.number, e);
    }
  }
  if (p.Version <= 103) p.SaveEnabled = 1;
  if (p.Version <= 105) p.FramePacing = 0;

  struct Setting {
    int32_t since;
    size_t values;
    std::function<void(const Line&)> read;
  };
  auto str = [](const Line& l, size_t i) { return StringValue(l.items[i].value, l.items[0].value.text); };
  const std::map<std::string, Setting> settings = {
      {"version", {0, 1, [](const Line&) {}}},
      {"title", {0, 1, [&](const Line& l) { p.Title = str(l, 1); }}},
      {"screen", {0, 2, [&](const Line& l) {
         p.ScreenWidth = Int32(l.items[1].value, "screen width");
         p.ScreenHeight = Int32(l.items[2].value, "screen height");
       }}},
      {"fullscreen", {0, 2, [&](const Line& l) {
         p.FullScreenWidth = Int32(l.items[1].value, "full-screen width");
         p.FullScreenHeight = Int32(l.items[2].value, "full-screen height");
       }}},
      {"start", {0, 1, [&](const Line& l) { p.StartPage = str(l, 1); }}},
      {"exit", {110, 1, [&](const Line& l) { p.ExitPage = str(l, 1); }}},
      {"registry", {0, 1, [&](const Line& l) { p.RegistryKey = str(l, 1); }}},
      {"imagecode", {0, 1, [&](const Line& l) { p.ImageCode = Int32(l.items[1].value, "imagecode"); }}},
      {"save", {104, 1, [&](const Line& l) { p.SaveEnabled = ByteOrFlag(l.items[1].value, "save"); }}},
      {"pacing", {106, 1, [&](const Line& l) { p.FramePacing = ByteOrFlag(l.items[1].value, "pacing"); }}},
      {"streamed", {109, 1, [&](const Line& l) { p.StreamedExtensions = str(l, 1); }}},
      {"discprompt", {0, 1, [&](const Line& l) { p.DiscPrompt = str(l, 1); }}},
      {"quitmessage", {0, 1, [&](const Line& l) { p.QuitMessage = str(l, 1); }}},
      {"var", {0, 3, [&](const Line& l) {
         ProjectVariable v;
         const TextValue& type = l.items[1].value;
         v.Type = 0;
         for (uint8_t t = 1; t <= 4; ++t)
           if (type.kind == TextValue::kWord && type.text == kTypeNames[t]) v.Type = t;
         if (!v.Type) throw Error(FromUtf8(Cat({"unknown variable type '", type.text, "' (int, float, flag or str)"})));
         v.Name = str(l, 2);
         const TextValue& value = l.items[3].value;
         switch (v.Type) {
           case kTypeInt: v.Int = Int32(value, "the value"); break;
           case kTypeFloat: v.Float = FloatValue(value); break;
           case kTypeFlag: v.Flag = ByteOrFlag(value, "the value"); break;
           default: v.Str = StringValue(value, "the value"); break;
         }
         p.InitialVariables.push_back(std::move(v));
       }}},
      {"folder", {0, 2, [&](const Line& l) {
         p.FolderDisks.AddFolder(str(l, 1), Int32(l.items[2].value, "the disc"));
       }}},
  };
  std::map<std::string, int> seen;
  for (const Line& line : lines) {
    try {
      const std::string& name = line.items[0].value.text;
      auto it = settings.find(name);
      if (it == settings.end()) throw Error(FromUtf8(Cat({"unknown setting '", name, "'"})));
      if (name != "var" && name != "folder" && seen[name]++) throw Error(FromUtf8(Cat({name, " is given twice"})));
      if (p.Version < it->second.since)
        throw Error(FromUtf8(Cat({name, " needs version ", std::to_string(it->second.since), " or later"})));
      ExpectValues(line, it->second.values);
      it->second.read(line);
    } catch (const Error& e) {
      throw AtLine(line.number, e);
    }
  }
  project = std::move(p);
}

std::string InstallSetToText(const TOrinInstallSet& set) {
  std::string out = Cat({"identifier ", QuoteText(set.Title), "\ndisc ", std::to_string(set.DiscIndex),
                         "\nfullinstall ", std::to_string(set.FullInstall), "\n"});
  const bool installerFields = !set.Text1.empty() || !set.Text2.empty() || !set.Text3.empty() ||
                               !set.Text4.empty() || !set.Text5.empty() || !set.Text6.empty() ||
                               !set.Text7.empty() || !set.Text8.empty() || !set.Entries.empty() ||
                               !set.FileList.empty() || !set.ExtraList.empty() || set.Number1 != 0;
  if (installerFields) out += "# the installer's own fields are not part of the text\n";
  return out;
}

void InstallSetFromText(std::string_view utf8, TOrinInstallSet& set) {
  TOrinInstallSet s;
  std::map<std::string, int> seen;
  for (const Line& line : Lines(utf8)) {
    try {
      const std::string& name = line.items[0].value.text;
      if (seen[name]++) throw Error(FromUtf8(Cat({name, " is given twice"})));
      ExpectValues(line, 1);
      const TextValue& v = line.items[1].value;
      if (name == "identifier")
        s.Title = StringValue(v, name);
      else if (name == "disc")
        s.DiscIndex = Int32(v, name);
      else if (name == "fullinstall")
        s.FullInstall = ByteOrFlag(v, name);
      else
        throw Error(FromUtf8(Cat({"unknown setting '", name, "' (identifier, disc or fullinstall)"})));
    } catch (const Error& e) {
      throw AtLine(line.number, e);
    }
  }
  s.Version = TOrinInstallSet::kWriteVersion;
  set = std::move(s);
}

}  // namespace orin
