// FontFinder: which installed font file draws a font that a game names.
//
// Games name Windows faces in cp932 ("ＭＳ ゴシック"). A name is looked up in this order, and the
// answer is kept per name:
//   1. a family of that name among the fonts of the extra font folder (ORIN_FONT_DIR), so that a
//      game that ships its own fonts, or a user who supplies the original faces, gets them;
//   2. the installed stand-in of a Windows Japanese face: "ＭＳ ゴシック" IPAGothic,
//      "ＭＳ Ｐゴシック" IPAPGothic, "ＭＳ 明朝" IPAMincho, "ＭＳ Ｐ明朝" IPAPMincho (and their
//      English names, "MS UI Gothic" with IPAPGothic);
//   3. an installed family of that name (ASCII letters compared without regard to case);
//   4. the stand-in of "ＭＳ ゴシック";
//   5. the Japanese face fontconfig prefers, then any outline face at all.
// A name that starts with "@" (a vertical face) never matches in steps 1-3. Only scalable outline
// fonts take part. Not thread-safe: one finder belongs to one user-interface thread.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// fontconfig's configuration object.
struct _FcConfig;

namespace orin {

// One installed face (a file, or one face of a collection).
struct FontFaceInfo {
  std::string File;
  int Index = 0;
  std::vector<std::string> Families;  // UTF-8, every name the face answers to
  std::string DisplayFamily;          // the Japanese name when the face has one, else the first
  int Weight = 80;                    // fontconfig's scale: 80 regular, 200 bold
  int Slant = 0;                      // 0 upright, 100 italic, 110 oblique
  bool FixedPitch = false;            // monospaced, or dual-width as the Japanese fixed faces are
  bool Japanese = false;
  bool FromFontDir = false;           // found in the extra font folder
};

enum class FontMatch {
  kFontDir,         // step 1
  kStandIn,         // step 2
  kInstalled,       // step 3
  kDefaultStandIn,  // step 4
  kAnyJapanese,     // step 5
  kAnyFont,         // step 5, no Japanese face installed
};

struct FontChoice {
  std::string Family;                       // UTF-8, the family that was chosen
  FontMatch How = FontMatch::kInstalled;
  std::vector<const FontFaceInfo*> Faces;   // every face of that family, never empty
  // The face stands in for another one: its metrics are taken so that its em fills the cell
  // the game asked for, as the Windows faces' em does.
  bool StandIn() const { return How != FontMatch::kFontDir && How != FontMatch::kInstalled; }
};

// A face of a family for a style, with what has to be synthesised because the family lacks it.
struct StyledFace {
  const FontFaceInfo* Face = nullptr;
  bool SynthesizeBold = false;
  bool SynthesizeItalic = false;
};

class FontFinder {
 public:
  // fontconfig's configuration of this machine, plus the fonts of extraFontDir when not empty.
  explicit FontFinder(const std::string& extraFontDir = std::string());
  ~FontFinder();
  FontFinder(const FontFinder&) = delete;
  FontFinder& operator=(const FontFinder&) = delete;

  // The value of ORIN_FONT_DIR, or empty.
  static std::string FontDirFromEnvironment();

  // The family that draws the cp932 name. Throws Error("Error:GetOutlineTextMetrics") when the
  // machine has no outline font at all.
  const FontChoice& Find(std::string_view cp932Name);

  // The face of the choice that suits bold / italic best: a bold face for bold, an italic or
  // oblique one for italic; what the chosen face lacks is to be synthesised.
  static StyledFace PickFace(const FontChoice& choice, bool bold, bool italic);

  // Every installed outline face (duplicates of one file under several paths counted once), the
  // faces of the extra folder first.
  const std::vector<FontFaceInfo>& Faces() const { return faces_; }

  // The UTF-8 family that stands in for a Windows face name (cp932), or empty.
  static std::string StandInFamily(std::string_view cp932Name);
  // The Windows face names (cp932) under which a Japanese system lists the faces that have a
  // stand-in, with their stand-in families (UTF-8).
  static std::vector<std::pair<std::string, std::string>> StandIns();

 private:
  void LoadFaces(const std::string& extraFontDir);
  bool CollectFamily(std::string_view utf8Family, bool fontDirOnly, FontChoice& out) const;
  void FindPreferred(bool japanese, FontChoice& out) const;

  _FcConfig* config_ = nullptr;
  std::vector<FontFaceInfo> faces_;
  std::map<std::string, std::unique_ptr<FontChoice>, std::less<>> cache_;
};

// The installed font families as the `@Fonts` system variable lists them: cp932 names (a family
// that cp932 cannot spell is left out), each once, sorted without regard to case, joined by CR LF,
// with no blanks at either end. Each Windows face that has an installed stand-in is listed under
// its Windows name too, since games draw with that name. fixedPitchOnly gives `@FixedFonts`.
std::string InstalledFontNames(const FontFinder& finder, bool fixedPitchOnly);

}  // namespace orin
