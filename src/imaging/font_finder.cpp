#include "imaging/font_finder.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <set>

#include "core/cp932.h"
#include "core/error.h"
#include "core/text.h"

namespace orin {

using namespace literals;

namespace {

struct StandInEntry {
  const char* windowsUtf8;
  const char* family;
  bool listed;  // the name a Japanese system lists the face under
};

// The Windows faces games name, by their Japanese and their English names.
constexpr StandInEntry kStandIns[] = {
    {"ＭＳ ゴシック", "IPAGothic", true},  {"ＭＳ Ｐゴシック", "IPAPGothic", true},
    {"ＭＳ 明朝", "IPAMincho", true},      {"ＭＳ Ｐ明朝", "IPAPMincho", true},
    {"MS UI Gothic", "IPAPGothic", true},  {"MS Gothic", "IPAGothic", false},
    {"MS PGothic", "IPAPGothic", false},   {"MS Mincho", "IPAMincho", false},
    {"MS PMincho", "IPAPMincho", false},
};

bool SameAsciiFolded(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
    if (x != y) return false;
  }
  return true;
}

std::string RealPath(const std::string& path) {
  char buffer[PATH_MAX];
  return ::realpath(path.c_str(), buffer) ? std::string(buffer) : path;
}

std::string Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  return std::string(s.substr(b, e - b));
}

[[noreturn]] void NoFont() { throw Error("Error:GetOutlineTextMetrics"); }

}  // namespace

FontFinder::FontFinder(const std::string& extraFontDir) {
  config_ = FcInitLoadConfigAndFonts();
  if (!config_) NoFont();
  LoadFaces(extraFontDir);
}

FontFinder::~FontFinder() {
  if (config_) FcConfigDestroy(config_);
}

std::string FontFinder::FontDirFromEnvironment() {
  const char* dir = std::getenv("ORIN_FONT_DIR");
  return dir ? std::string(dir) : std::string();
}

void FontFinder::LoadFaces(const std::string& extraFontDir) {
  std::string extraPrefix;
  if (!extraFontDir.empty()) {
    FcConfigAppFontAddDir(config_, reinterpret_cast<const FcChar8*>(extraFontDir.c_str()));
    extraPrefix = RealPath(extraFontDir);
    if (!extraPrefix.empty() && extraPrefix.back() != '/') extraPrefix += '/';
  }

  FcPattern* pattern = FcPatternCreate();
  FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
  FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, FC_FAMILYLANG, FC_FILE, FC_INDEX, FC_WEIGHT, FC_SLANT,
                                          FC_SPACING, FC_LANG, nullptr);
  FcFontSet* set = FcFontList(config_, pattern, objects);
  FcObjectSetDestroy(objects);
  FcPatternDestroy(pattern);
  if (!set) return;

  std::vector<std::pair<std::string, FontFaceInfo>> found;  // real path, face
  for (int i = 0; i < set->nfont; ++i) {
    FcPattern* p = set->fonts[i];
    FcChar8* file = nullptr;
    if (FcPatternGetString(p, FC_FILE, 0, &file) != FcResultMatch) continue;
    FontFaceInfo face;
    face.File = reinterpret_cast<const char*>(file);
    FcPatternGetInteger(p, FC_INDEX, 0, &face.Index);
    FcPatternGetInteger(p, FC_WEIGHT, 0, &face.Weight);
    FcPatternGetInteger(p, FC_SLANT, 0, &face.Slant);
    int spacing = FC_PROPORTIONAL;
    FcPatternGetInteger(p, FC_SPACING, 0, &spacing);
    face.FixedPitch = spacing == FC_MONO || spacing == FC_DUAL || spacing == FC_CHARCELL;
    FcLangSet* langs = nullptr;
    if (FcPatternGetLangSet(p, FC_LANG, 0, &langs) == FcResultMatch)
      face.Japanese = FcLangSetHasLang(langs, reinterpret_cast<const FcChar8*>("ja")) != FcLangDifferentLang;
    FcChar8* family = nullptr;
    for (int n = 0; FcPatternGetString(p, FC_FAMILY, n, &family) == FcResultMatch; ++n) {
      face.Families.emplace_back(reinterpret_cast<const char*>(family));
      FcChar8* lang = nullptr;
      if (face.DisplayFamily.empty() && FcPatternGetString(p, FC_FAMILYLANG, n, &lang) == FcResultMatch &&
          std::string_view(reinterpret_cast<const char*>(lang)) == "ja")
        face.DisplayFamily = face.Families.back();
    }
    if (face.Families.empty()) continue;
    if (face.DisplayFamily.empty()) face.DisplayFamily = face.Families.front();
    std::string real = RealPath(face.File);
    face.FromFontDir = !extraPrefix.empty() && real.compare(0, extraPrefix.size(), extraPrefix) == 0;
    found.emplace_back(std::move(real), std::move(face));
  }
  FcFontSetDestroy(set);

  // A fixed order, so that a name finds the same face on every run; the extra folder first.
  std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
    if (a.second.FromFontDir != b.second.FromFontDir) return a.second.FromFontDir;
    if (a.second.File != b.second.File) return a.second.File < b.second.File;
    return a.second.Index < b.second.Index;
  });
  std::set<std::pair<std::string, int>> seen;
  for (auto& [real, face] : found)
    if (seen.emplace(real, face.Index).second) faces_.push_back(std::move(face));
}

bool FontFinder::CollectFamily(std::string_view utf8Family, bool fontDirOnly, FontChoice& out) const {
  out.Faces.clear();
  for (const FontFaceInfo& face : faces_) {
    if (fontDirOnly && !face.FromFontDir) continue;
    for (const std::string& family : face.Families) {
      if (!SameAsciiFolded(family, utf8Family)) continue;
      if (out.Faces.empty()) out.Family = face.Families.front();
      out.Faces.push_back(&face);
      break;
    }
  }
  return !out.Faces.empty();
}

void FontFinder::FindPreferred(bool japanese, FontChoice& out) const {
  out.Faces.clear();
  FcPattern* pattern = FcPatternCreate();
  FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
  if (japanese) FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>("ja"));
  FcConfigSubstitute(config_, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(config_, pattern, &result);
  FcPatternDestroy(pattern);
  if (match) {
    FcChar8* family = nullptr;
    if (FcPatternGetString(match, FC_FAMILY, 0, &family) == FcResultMatch)
      CollectFamily(reinterpret_cast<const char*>(family), false, out);
    FcPatternDestroy(match);
  }
  if (!out.Faces.empty() && japanese && !out.Faces.front()->Japanese) out.Faces.clear();
  if (!out.Faces.empty()) return;
  // fontconfig's preference is not among the listed outline faces: the first that fits.
  for (const FontFaceInfo& face : faces_)
    if (!japanese || face.Japanese) {
      CollectFamily(face.Families.front(), false, out);
      return;
    }
}

const FontChoice& FontFinder::Find(std::string_view cp932Name) {
  if (auto it = cache_.find(cp932Name); it != cache_.end()) return *it->second;

  auto choice = std::make_unique<FontChoice>();
  const bool vertical = !cp932Name.empty() && cp932Name[0] == '@';
  const auto utf8 = Cp932ToUtf8(cp932Name);
  bool found = false;
  if (!vertical && utf8 && !utf8->empty()) {
    if (CollectFamily(*utf8, true, *choice)) {
      choice->How = FontMatch::kFontDir;
      found = true;
    } else if (std::string standIn = StandInFamily(cp932Name); !standIn.empty() &&
                                                               CollectFamily(standIn, false, *choice)) {
      choice->How = FontMatch::kStandIn;
      found = true;
    } else if (CollectFamily(*utf8, false, *choice)) {
      choice->How = FontMatch::kInstalled;
      found = true;
    }
  }
  if (!found && CollectFamily(StandInFamily("ＭＳ ゴシック"_sj), false, *choice)) {
    choice->How = FontMatch::kDefaultStandIn;
    found = true;
  }
  if (!found) {
    FindPreferred(true, *choice);
    choice->How = FontMatch::kAnyJapanese;
    found = !choice->Faces.empty();
  }
  if (!found) {
    FindPreferred(false, *choice);
    choice->How = FontMatch::kAnyFont;
    found = !choice->Faces.empty();
  }
  if (!found) NoFont();
  return *cache_.emplace(std::string(cp932Name), std::move(choice)).first->second;
}

StyledFace FontFinder::PickFace(const FontChoice& choice, bool bold, bool italic) {
  constexpr int kBold = 200, kRegular = 80, kDemiBold = 180;
  const int wantWeight = bold ? kBold : kRegular;
  const FontFaceInfo* best = nullptr;
  int bestScore = 0;
  for (const FontFaceInfo* face : choice.Faces) {
    // The slant decides first: a synthesised oblique looks worse than a synthesised bold.
    const bool slanted = face->Slant != 0;
    const int score = (slanted != italic ? 10000 : 0) + std::abs(face->Weight - wantWeight);
    if (!best || score < bestScore) best = face, bestScore = score;
  }
  StyledFace styled;
  styled.Face = best;
  if (best) {
    styled.SynthesizeBold = bold && best->Weight < kDemiBold;
    styled.SynthesizeItalic = italic && best->Slant == 0;
  }
  return styled;
}

std::string FontFinder::StandInFamily(std::string_view cp932Name) {
  const auto utf8 = Cp932ToUtf8(cp932Name);
  if (!utf8) return {};
  for (const StandInEntry& e : kStandIns)
    if (SameAsciiFolded(*utf8, e.windowsUtf8)) return e.family;
  return {};
}

std::vector<std::pair<std::string, std::string>> FontFinder::StandIns() {
  std::vector<std::pair<std::string, std::string>> out;
  for (const StandInEntry& e : kStandIns)
    if (e.listed)
      if (auto cp = Utf8ToCp932(e.windowsUtf8)) out.emplace_back(*cp, e.family);
  return out;
}

std::string InstalledFontNames(const FontFinder& finder, bool fixedPitchOnly) {
  std::vector<std::string> names;
  auto add = [&](std::string_view utf8) {
    if (auto cp = Utf8ToCp932(utf8)) {
      std::string name = Trim(*cp);
      if (!name.empty() && name[0] != '@') names.push_back(std::move(name));
    }
  };
  for (const FontFaceInfo& face : finder.Faces())
    if (!fixedPitchOnly || face.FixedPitch) add(face.DisplayFamily);
  for (const auto& [windowsName, family] : FontFinder::StandIns())
    for (const FontFaceInfo& face : finder.Faces())
      if (std::find(face.Families.begin(), face.Families.end(), family) != face.Families.end()) {
        if (!fixedPitchOnly || face.FixedPitch) names.push_back(windowsName);
        break;
      }
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) { return CompareText(a, b) < 0; });
  names.erase(std::unique(names.begin(), names.end(),
                          [](const std::string& a, const std::string& b) { return SameText(a, b); }),
              names.end());
  std::string out;
  for (const std::string& name : names) {
    if (!out.empty()) out.append("\r\n");
    out.append(name);
  }
  return out;
}

}  // namespace orin
