// TOrinMapImage (kind 18): a picture with named clickable regions. The region under the pointer
// (or reached with the arrow keys) is shown from a second, highlight picture; choosing it (a left
// click, Enter or Space) sets @SelStr / @SelIndex and queues the chosen event.
//
// Properties: base file 2, highlight file 83 (both ".mur", through the shared image cache with
// masks made, so every picture has an alpha plane), region file 106 (scene/objects/region_file.h;
// a file that is missing or damaged leaves the map without regions, with one line to the image
// cache's reporter for a damaged one), opacity 11 (default 0), brightness 42, labels 104 (region
// entered), 105 (region left), 72 (chosen), 113, free when finished 71, cancel flag 73, stopped
// 27; loop 29 always reads TRUE. Events 104, 105 and 72 carry the region's name and its index as
// decimal text.
//
// The cut-out: the base picture is drawn through its own alpha plane with the current region's
// pixels cleared, the highlight picture through its plane kept only inside the region. The
// pictures belong to the shared cache and other objects may show them at the same time, so the
// map never writes into them: it keeps a private work mask per picture, rebuilt when the current
// region changes (only the rows of the old and the new region's bounding box are touched).
//
// Close state: 0 open; 100 after a choice with free when finished, an Esc with the cancel flag
// or an accepted right press (the next step sets closed and 101); at 101 the step reports the
// object finished and the scene frees it. A closed map takes no pointer or key input.
//
// Save record, after the control record: base file, highlight file, region file (strings),
// opacity, brightness (int32), entered label, left label (strings), free when finished, cancel
// flag (bytes); from version 104 the every-frame label (string), stopped (byte) and chosen label
// (string); from version 115 the close state (int32). Loading sets the three files through their
// setters.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "scene/model/orin_control.h"
#include "scene/objects/object_classes.h"
#include "scene/objects/orin_custom_image.h"
#include "scene/objects/region_file.h"

namespace orin {

class TOrinMapImage : public TOrinControl {
 public:
  TOrinMapImage(TOrinBaseList* owner, const SceneServices& services);
  ~TOrinMapImage() override;

  uint8_t Kind() const override { return kKindMapImage; }
  // Zoom (7, 132) and flips (111, 112) mirror and scale the drawn pictures; the object keeps the
  // size of its base picture and its regions their pixels (see docs/objects.md).
  bool HasImageGeometry() const override { return true; }
  bool Loop() const override { return true; }
  bool FreeWhenFinished() const override { return freeWhenFinished_; }

  void SetBaseFile(const std::string& file);
  void SetHighlightFile(const std::string& file);
  void SetRegionFile(const std::string& file);
  const RegionFile& Regions() const { return regions_; }
  int32_t CurrentRegion() const { return current_; }
  // Selects region k (−1: none) with the events of a change.
  void SelectRegion(int32_t k);
  // Chooses the current region (nothing when none is current).
  void Choose();
  int32_t CloseState() const { return closeState_; }
  bool Closed() const { return closed_; }
  int32_t BaseIndex() const { return base_.Index; }
  int32_t HighlightIndex() const { return highlight_.Index; }

  const std::string& Label(int code) const override;
  void SetLabel(int code, const std::string& label) override;

  bool Step() override;
  void Draw(ScreenSurface& surface) override;
  void MouseDown(MouseButton button, int32_t x, int32_t y) override;
  void MouseMove(int32_t x, int32_t y) override;
  void MouseLeave() override;
  void KeyRepeat() override;
  bool OfferCancel() override;
  void ReleaseSurfaces() override;
  void RebuildSurfaces() override;
  void BeforeFree() override;

  void GetProp(int number, TCustomParam& dest) override;
  void SetProp(int number, const TCustomParam& value) override;
  void Save(Stream& s, int version) const override;
  void Load(Stream& s, int version) override;

 private:
  // What the map keeps of one picture of a list.
  struct PictureState {
    // The picture's alpha plane with the cut-out applied; null until first needed.
    std::unique_ptr<TDIBSurface> Mask;
    // The region Mask was cut for (−1 none: Mask is not used then).
    int32_t CutFor = -1;
    // A copy with the brightness applied, and the brightness it has.
    std::shared_ptr<const FrameDrawable> Bright;
    int32_t BrightFor = 0;
  };
  struct Pictures {
    ImageList List;
    std::vector<PictureState> States;
    int32_t Index = -1;
    int32_t Timer = 0;
  };

  void LoadPictures(Pictures& pictures, const std::string& file);
  void MakeCurrent(Pictures& pictures, int32_t index);
  // The image-list animation; true when the current picture changed.
  bool Animate(Pictures& pictures);
  // The mask to draw picture `index` of the list through: the plane as loaded, or the cut-out
  // for the current region (keep = true: only the region; false: all but the region).
  const TDIBSurface* MaskFor(Pictures& pictures, int32_t index, bool keep);
  const FrameDrawable& Shown(Pictures& pictures, int32_t index);
  void DrawPicture(ScreenSurface& surface, Pictures& pictures, bool keep);
  void InvalidateRegion(int32_t k);
  std::vector<std::string> RegionArgs(int32_t k) const;
  void Cancel();

  SceneServices services_;
  std::string baseFile_;
  std::string highlightFile_;
  std::string regionFile_;
  int32_t opacity_ = 0;
  int32_t brightness_ = 0;
  std::string enteredLabel_;
  std::string leftLabel_;
  std::string chosenLabel_;
  bool freeWhenFinished_ = false;
  bool cancel_ = false;
  Pictures base_;
  Pictures highlight_;
  RegionFile regions_;
  int32_t current_ = -1;
  int32_t closeState_ = 0;
  bool closed_ = false;
};

}  // namespace orin
