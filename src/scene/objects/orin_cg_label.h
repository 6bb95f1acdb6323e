// TOrinCGLabel (kind 24): text drawn from a picture font — an image file whose pictures hold a
// grid of equal cells, and a character-set string naming the character of each cell in order
// (a double-byte character counts as one).
//
// Properties: file 2 (".mur", through the shared image cache; its pictures animate by their
// durations), text 50, character set 129, cell width 130 and cell height 131 (0 or below stored as
// 1), line spacing 18, alignment 53 (0 left, 1 centre, 2 right), opacity 11 (default 0, so a label
// made without it shows only its children), stopped 27, every-frame label 113; 90/91 read the
// current picture's size, 138 reads busy.
//
// The label is as wide as its longest line in cells and as high as its lines plus the spacing
// between them. A character missing from the set leaves an empty cell; a cell index past the
// picture's grid draws nothing; a cell wider than the picture draws nothing at all.
//
// Save record, after the control record: file, text, character set (strings), cell width, cell
// height, line spacing (int32), stopped, alignment (bytes), opacity (int32); from version 125 the
// every-frame label (string).
#pragma once

#include <string>
#include <vector>

#include "scene/model/orin_control.h"
#include "scene/objects/object_classes.h"
#include "scene/objects/orin_custom_image.h"

namespace orin {

class TOrinCGLabel : public TOrinControl {
 public:
  TOrinCGLabel(TOrinBaseList* owner, const SceneServices& services);
  ~TOrinCGLabel() override;

  uint8_t Kind() const override { return kKindCGLabel; }

  void SetFile(const std::string& file);
  void SetText(const std::string& text);
  void SetCharacterSet(const std::string& set);
  // Cell indexes of each line (−1: not in the character set).
  const std::vector<std::vector<int32_t>>& Cells() const { return cells_; }
  int32_t PictureIndex() const { return index_; }

  bool Step() override;
  // Nothing at all, children included, without a size, a current picture or a whole cell
  // across the picture.
  bool DrawsTree() const override;
  void Draw(ScreenSurface& surface) override;
  void BeforeFree() override;

  void GetProp(int number, TCustomParam& dest) override;
  void SetProp(int number, const TCustomParam& value) override;
  void Save(Stream& s, int version) const override;
  void Load(Stream& s, int version) override;

 private:
  void Index();
  void Size();
  void MakeCurrent(int32_t index);
  bool Animate();

  SceneServices services_;
  std::string file_;
  ImageList pictures_;
  int32_t index_ = -1;
  int32_t timer_ = 0;
  std::string text_;
  std::string characterSet_;
  int32_t cellWidth_ = 1;
  int32_t cellHeight_ = 1;
  int32_t spacing_ = 0;
  uint8_t alignment_ = 0;
  int32_t opacity_ = 0;
  std::vector<std::vector<int32_t>> cells_;
};

}  // namespace orin
