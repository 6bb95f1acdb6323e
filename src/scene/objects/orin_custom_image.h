// TOrinCustomImage and TOrinCustomImages: the image-bearing scene classes, and ImageList, the
// images of one file as an object holds them.
//
// TOrinCustomImage shows one picture (a cache image, a brightness copy, a video frame): alpha
// (property 11, default 255), zoom x / zoom y (7, 132) and flips (111, 112) of the control,
// rotation (31; the low 8 bits, 256 to a turn) and the image flag (88, kept unchanged).
// Drawing: nothing at all (children included) without a picture or with a width or height below
// 1; only the children while alpha is below 1; otherwise the picture, then the children.
//   * opacity = alpha: through the picture's alpha plane when it has one (1-254 blend through
//     the plane, 255 the plane alone, 256 and above additive at alpha − 256), else 1-254 blend,
//     255 copy, 256 and above additive, skipping the colour key (ScreenSurface's rules);
//   * rotation 0: at the screen position, scaled by the zoom and mirrored by the flips (a picture
//     the cache cropped ("?t") at its place in the frame, and so is the screen rectangle);
//   * rotation ≠ 0: turned and zoomed about the origin point (image pixels; mirrored with the
//     flips), which lands where the control's origin lies on the screen. The screen rectangle
//     (ScreenRect: dirty rectangles, clipping, hit tests) is then the bounding rectangle of the
//     turned picture.
// The control's width and height follow the picture scaled by the zoom (while no motion runs).
//
// TOrinCustomImages steps through the images of its current list: the image timer, the current
// index (44, −1 none), brightness (42: 0 unchanged; above 0 a lighter copy (grey added), below 0
// a darker one (grey subtracted), by |value|), stopped (27) and the end-delay expression (added
// to the duration of the last image of a list of two or more each time it is entered). A class
// may hold several lists (buttons: one per state) and switch which one is current; the current
// list of a class with one list is list 0.
//
// Image step (per scene step, when no motion is attached, an image is current, the control is
// visible, neither stopped nor paused and not finished): the timer loses the frame delta; while
// it is below 1 the next image is shown, or at the last image LastImageRanOut decides (loop:
// image 0 again; else free when finished, or event 43 once). At most one pass through the list
// per step, so a list whose durations are all 0 cannot hold the frame.
//
// Save record, after the control record: alpha, zoom x, rotation (int32), flip x, flip y, image
// flag (bytes), zoom y (int32, from version 104); then the image timer, current index,
// brightness (int32), stopped (byte), the end-delay expression record.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "imaging/screen_surface.h"
#include "scene/model/mura_collection.h"
#include "scene/model/orin_control.h"
#include "scene/objects/object_classes.h"

namespace orin {

class TOrinParser;

// The images of one file, held for as long as the list shows them (the cache frees a file
// nobody holds).
class ImageList {
 public:
  // Loads name through the cache (an empty list without a cache or for a missing file).
  void Load(TMuraCollection* cache, const std::string& name);
  void Clear() { images_.reset(); }
  int32_t Count() const { return images_ ? images_->Count() : 0; }
  bool Empty() const { return Count() == 0; }
  // i must be in 0 .. Count() − 1.
  const MuraImage& operator[](int32_t i) const { return images_->Images[static_cast<size_t>(i)]; }
  // The picture of image i sharing the list's lifetime.
  std::shared_ptr<const FrameDrawable> Picture(int32_t i) const;
  const std::string& Name() const;

 private:
  std::shared_ptr<const MuraImages> images_;
};

class TOrinCustomImage : public TOrinControl {
 public:
  TOrinCustomImage(TOrinBaseList* owner, const SceneServices& services);
  ~TOrinCustomImage() override;

  bool HasImageGeometry() const override { return true; }
  int32_t ImageWidth() const override;
  int32_t ImageHeight() const override;

  int32_t Alpha() const { return alpha_; }
  void SetAlpha(int32_t alpha);
  int32_t Rotation() const { return rotation_; }
  void SetRotation(int32_t rotation);
  // Zoom changes lay the children out again and resize the control to the zoomed picture.
  void SetZoomX(int32_t zoom) override;
  void SetZoomY(int32_t zoom) override;
  // The picture shown now, or null.
  const FrameDrawable* CurrentPicture() const { return picture_.get(); }

  Rect ScreenRect() const override;
  bool DrawsTree() const override;
  void Draw(ScreenSurface& surface) override;
  // The drawn picture when it is a plain copy (opaque, unkeyed, unturned, unzoomed, unmirrored)
  // by an image or button object; subclasses that draw otherwise promise nothing.
  Rect OpaqueRect() const override;
  void ApplyMotionFrame(const MotionFilm& film, int32_t frame, int32_t baseX, int32_t baseY) override;
  void SetMotionAlpha(int32_t alpha) override { SetAlpha(alpha); }
  void SetMotionRotation(int32_t rotation) override { SetRotation(rotation); }

  void GetProp(int number, TCustomParam& dest) override;
  void SetProp(int number, const TCustomParam& value) override;
  void Save(Stream& s, int version) const override;
  void Load(Stream& s, int version) override;

 protected:
  // Shows picture (null: none) drawn offset by (offsetX, offsetY) image pixels; repaints the old
  // and the new place and, without a motion, sizes the control to the zoomed picture.
  void SetPicture(std::shared_ptr<const FrameDrawable> picture, int32_t offsetX = 0, int32_t offsetY = 0);
  // Width and height from the picture and the zoom (nothing without a picture or with a motion).
  // Classes whose size is their own (tiles) do nothing here.
  virtual void FitToPicture();
  const SceneServices& Services() const { return services_; }

 private:
  // Where the origin point lands on the screen (the turning centre).
  void TurnCentre(int32_t& x, int32_t& y) const;

  SceneServices services_;
  std::shared_ptr<const FrameDrawable> picture_;
  // The picture as last turned, kept while the turn stays as it is (reset with the picture).
  TurnedLayer turned_;
  int32_t offsetX_ = 0;
  int32_t offsetY_ = 0;
  int32_t alpha_ = 255;
  int32_t rotation_ = 0;
  bool imageFlag_ = false;
};

class TOrinCustomImages : public TOrinCustomImage {
 public:
  TOrinCustomImages(TOrinBaseList* owner, const SceneServices& services, int listCount = 1);
  ~TOrinCustomImages() override;

  // --- Lists ---
  int ListCount() const { return static_cast<int>(lists_.size()); }
  ImageList& List(int list) { return lists_[static_cast<size_t>(list)]; }
  const ImageList& List(int list) const { return lists_[static_cast<size_t>(list)]; }
  int CurrentList() const { return currentList_; }
  const ImageList& Images() const { return List(currentList_); }
  // Makes list `list` current and shows its image 0 from the start (no image when it is empty);
  // the finished state is cleared.
  void EnterList(int list);

  // --- The current list ---
  int32_t Index() const { return index_; }
  // Property 44: with a motion, moves the motion to the frame's time; otherwise shows image n
  // (none when n is outside the list).
  void SetIndex(int32_t n);
  int32_t Brightness() const { return brightness_; }
  void SetBrightness(int32_t brightness);
  int32_t ImageTimer() const { return timer_; }
  // The motion's frame count, else the size of the current list.
  int32_t ImageCount() const;
  // Property 138.
  bool Busy() const;
  // True once the last image of a non-looping list has run out (until the index, the list or the
  // loop changes).
  bool AnimationFinished() const { return finished_; }
  // Takes a copy of the expression whose value (milliseconds) lengthens the last image.
  void SetEndDelay(const TOrinParser& expression);
  // The end-delay expression, or null when the object has none.
  const TOrinParser* EndDelayExpression() const { return endDelay_.get(); }

  bool Step() override;
  void GetProp(int number, TCustomParam& dest) override;
  void SetProp(int number, const TCustomParam& value) override;
  void Save(Stream& s, int version) const override;
  void Load(Stream& s, int version) override;

 protected:
  // One image step of the current list (see the header); true when the object has finished and
  // is to be destroyed.
  bool StepImages();
  // The last image of the current list has run out. The default: with Loop(), image 0 again and
  // false; else true when free when finished, otherwise event 43 once and false. A class that
  // decides otherwise (buttons) overrides it; it may show another image or enter another list.
  virtual bool LastImageRanOut();
  // Marks the animation finished (the step stops until the index or the list changes).
  void SetAnimationFinished(bool finished) { finished_ = finished; }
  // Shows image n of the current list without a motion check (the rule of SetIndex).
  void ShowImage(int32_t n);
  // A frame of a motion shows image `index` of `file` (an empty name: no image).
  void ShowMotionImage(const std::string& file, int32_t index) override;
  // Forgets the images motion frames asked for (when the motion goes).
  void ClearMotionImages() { motionImages_.clear(); }
  // After a load has set the files again: shows the saved index of the current list and takes
  // the saved image timer (nothing while a motion runs: the motion starts afresh).
  void RestoreSavedIndex();
  // Drops the current image and the animation state (the list itself stays).
  void ResetImage();

 private:
  void ApplyBrightness(int32_t n);
  int32_t EndDelay();

  std::vector<ImageList> lists_;
  int currentList_ = 0;
  int32_t timer_ = 0;
  int32_t index_ = -1;
  int32_t brightness_ = 0;
  bool finished_ = false;
  std::unique_ptr<TOrinParser> endDelay_;
  int32_t savedTimer_ = 0;
  int32_t savedIndex_ = -1;
  // Set while a load restores the index: the saved timer stands, the end delay is not run.
  bool restoring_ = false;
  // The files the attached motion's frames show, kept while it runs so that a motion that
  // alternates between files does not decode them again and again.
  std::unordered_map<std::string, ImageList> motionImages_;
};

}  // namespace orin
