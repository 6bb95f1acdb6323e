// TOrinLabel (kind 9): lines of text in one font, size, style and colour, drawn through the glyph
// cache into a private text layer (a colour surface of the screen's depth and an 8-bit alpha
// surface) that is put on the screen with an opacity, a zoom, mirroring and an optional
// rotation; it may run a motion file.
//
// Properties: text 50 (the lines joined with CR LF; setting splits at line breaks — CR LF, LF or
// a lone CR — and drops one empty last line), font name 15 (default "ＭＳ Ｐゴシック"; empty
// renders in "ＭＳ ゴシック"), font size 16 (12), line spacing 18, style 17 (1 bold, 2 italic,
// 4 underline, 8 strike-out), colour 19 (0x00BBGGRR), alignment 53 (0 left, 1 centre, 2 right),
// smoothed 25 — each lays the text out again when it changes; opacity 11 (255), flips 111/112,
// rotation 31 (low 8 bits, 256 to a turn; any value but 0 takes the turned path), zoom 7/132
// (0 or below stored as 1) repaint. File 2 (a ".omt" name loads the motion), loop 29, free when
// finished 71, finished label 43, every-frame label 113, stopped 27.
//
// Layout: each character's advance is its glyph's coverage width + x offset + extra advance; the
// text is as wide as its widest line and (font size + spacing) × lines high, the spacing counted
// after the last line too. The control is that size scaled by the zooms. The layer is rebuilt
// only by layout, which runs only when one of the laying-out properties really changes (setters
// ignore an equal value), after a load and after the screen's surfaces are rebuilt.
//
// Drawing: nothing (children included) without lines or at opacity 0. Turned: the layer through
// its alpha about the origin point, as a turned image object; the screen rectangle is then the
// turned layer's bounding rectangle, and a hit test turns the pointer back before testing it.
// At natural size: the colour filled through the alpha of each inked line's rectangle (opacity
// 255 and above: the alpha alone). Otherwise scaled and mirrored through the alpha (above 255
// additive at opacity − 256).
//
// Save record, after the control record: font name, font size, spacing (int32), style (byte),
// opacity, colour (int32), alignment, smoothed, flip x, flip y (bytes), rotation, zoom x (int32),
// text (each line followed by CR LF); from version 104 on: every-frame label, file, loop, free
// when finished, finished label, stopped, zoom y.
#pragma once

#include <string>
#include <vector>

#include "imaging/dib_surface.h"
#include "imaging/geometry.h"
#include "imaging/screen_surface.h"
#include "scene/model/orin_control.h"
#include "scene/objects/object_classes.h"

namespace orin {

// The lines of a label's text: every line ends at CR LF, LF or a lone CR (never inside a
// double-byte character), and what follows the last break is a line only when it is not empty.
std::vector<std::string> SplitTextLines(const std::string& text);

class TOrinLabel : public TOrinControl {
 public:
  TOrinLabel(TOrinBaseList* owner, const SceneServices& services);
  ~TOrinLabel() override;

  uint8_t Kind() const override { return kKindLabel; }
  bool HasImageGeometry() const override { return true; }
  bool Loop() const override { return loop_; }
  bool FreeWhenFinished() const override { return freeWhenFinished_; }

  std::string Text() const;
  void SetText(const std::string& text);
  const std::vector<std::string>& Lines() const { return lines_; }
  int32_t TextWidth() const { return textWidth_; }
  int32_t TextHeight() const { return textHeight_; }
  // The rectangles of the inked lines in layer coordinates.
  const std::vector<Rect>& LineRects() const { return lineRects_; }
  // How many times the text layer was laid out (tests: it is rebuilt only on a change).
  uint64_t Layouts() const { return layouts_; }
  const TDIBSurface& ColourLayer() const { return colourLayer_; }
  const TDIBSurface& AlphaLayer() const { return alpha_; }

  void SetZoomX(int32_t zoom) override;
  void SetZoomY(int32_t zoom) override;
  void SetFile(const std::string& file);

  Rect ScreenRect() const override;
  bool DrawsTree() const override { return !lines_.empty() && opacity_ != 0; }
  void Draw(ScreenSurface& surface) override;
  TOrinControl* HitTest(int32_t x, int32_t y, InputModes modes) override;
  void RebuildSurfaces() override { Layout(); }

  void GetProp(int number, TCustomParam& dest) override;
  void SetProp(int number, const TCustomParam& value) override;
  void Save(Stream& s, int version) const override;
  void Load(Stream& s, int version) override;
  void BeforeFree() override;

 private:
  void Layout();
  // Turned drawing: geometry and whether it applies.
  bool Turned() const { return rotation_ != 0; }
  RotatedDraw TurnGeometry() const;
  // Runs Layout when a laying-out field changes.
  template <class T>
  void SetLaidOut(T& field, const T& value) {
    if (field == value) return;
    field = value;
    Layout();
  }

  SceneServices services_;
  std::vector<std::string> lines_;
  std::string fontName_;
  int32_t fontSize_ = 12;
  int32_t spacing_ = 0;
  uint8_t style_ = 0;
  int32_t opacity_ = 255;
  int32_t textColour_ = 0;
  uint8_t alignment_ = 0;
  bool smoothed_ = false;
  int32_t rotation_ = 0;
  int32_t textWidth_ = 0;
  int32_t textHeight_ = 0;
  TDIBSurface colourLayer_;
  TDIBSurface alpha_;
  std::vector<Rect> lineRects_;
  std::string file_;
  bool loop_ = false;
  bool freeWhenFinished_ = false;
  uint64_t layouts_ = 0;
};

}  // namespace orin
