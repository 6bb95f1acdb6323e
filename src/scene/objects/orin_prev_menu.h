// TOrinPrevMenu (kind 25): a choice menu whose items each preview a picture. Property 2 names an
// image file whose image i belongs to item i; the picture of the highlighted item (of the
// chosen one when nothing is highlighted) is shown in a pane to the right of the items and the
// scroll bar, as large as the file's largest image, drawn from the pane's top-left corner. Items
// without an image (the file has fewer images than items) show an empty pane; a missing file
// gives no pane at all. Everything else is the choice menu's.
//
// Save record: the menu's, then the file name (string); the pictures are loaded again from it.
#pragma once

#include <cstdint>
#include <string>

#include "scene/objects/orin_custom_image.h"
#include "scene/objects/orin_list_box.h"

namespace orin {

class TOrinPrevMenu : public TOrinMenu {
 public:
  TOrinPrevMenu(TOrinBaseList* owner, const SceneServices& services);
  ~TOrinPrevMenu() override;

  uint8_t Kind() const override { return kKindPrevMenu; }
  // The item whose picture is shown, or −1.
  int32_t PreviewIndex() const;
  const std::string& File() const { return file_; }

  void Draw(ScreenSurface& surface) override;
  void GetProp(int number, TCustomParam& dest) override;
  void SetProp(int number, const TCustomParam& value) override;
  void Save(Stream& s, int version) const override;
  void Load(Stream& s, int version) override;

 protected:
  void HighlightChanged() override { Invalidate(); }
  int32_t PaneWidth() const override { return paneW_; }
  int32_t PaneHeight() const override { return paneH_; }

 private:
  void LoadFile(const std::string& file);

  std::string file_;
  ImageList pictures_;
  int32_t paneW_ = 0;
  int32_t paneH_ = 0;
};

}  // namespace orin
