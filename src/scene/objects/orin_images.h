// TOrinImages (kind 8): the image object — one image list (buttons, which derive from it, hold
// four, one per state), the loop flag (property 29), free when finished (71), the file (2), the
// finished label (43) and the every-frame label (113).
//
// Setting the file (property 2), when the name changed: the list is cleared and the motion
// dropped; a ".mur" file is loaded into the list through the shared cache; a ".omt" file gets a
// motion attached that starts at once (a missing or damaged one is reported and leaves the object
// without a motion); any other name (or a missing picture) sets width and height to 0. Then, if no image is current and the list has images, image 0 is shown.
// Switching loop on restarts a finished motion, or shows image 0 when no image is current.
//
// Save record, after TOrinCustomImages': loop (byte), free when finished (byte), the file, the
// finished label and the every-frame label (from version 104). Loading sets the file again and
// then the saved index.
#pragma once

#include <cstdint>
#include <string>

#include "scene/objects/orin_custom_image.h"

namespace orin {

class TOrinImages : public TOrinCustomImages {
 public:
  // What a file name names.
  enum class FileKind { kNone, kImages, kMotion };
  static FileKind KindOfFile(const std::string& name);

  TOrinImages(TOrinBaseList* owner, const SceneServices& services) : TOrinImages(owner, services, 1) {}

  uint8_t Kind() const override { return kKindImages; }
  bool Loop() const override { return loop_; }
  bool FreeWhenFinished() const override { return freeWhenFinished_; }
  void SetLoop(bool loop);
  void SetFreeWhenFinished(bool v) { freeWhenFinished_ = v; }

  const std::string& File() const { return file_; }
  // Property 2 (see above); virtual so that a class with several lists can load its state files
  // alongside.
  virtual void SetFile(const std::string& file);

  void GetProp(int number, TCustomParam& dest) override;
  void SetProp(int number, const TCustomParam& value) override;
  void Save(Stream& s, int version) const override;
  void Load(Stream& s, int version) override;

 protected:
  TOrinImages(TOrinBaseList* owner, const SceneServices& services, int listCount);
  // Loads an image file into list `list` (cleared first); other kinds of name leave it empty.
  // Returns what the name named.
  FileKind LoadList(int list, const std::string& file);
  // Attaches and starts the motion of a motion file; one that cannot be read is reported through
  // the image cache and leaves the object without a motion.
  void LoadMotion(const std::string& file);

 private:
  bool loop_ = false;
  bool freeWhenFinished_ = false;
  std::string file_;
};

}  // namespace orin
