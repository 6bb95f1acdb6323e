// TMuraCollection: the scene's image cache — pictures loaded once by game name through the file
// manager and kept in the form the compositor draws (imaging/frame_drawable.h).
//
// This is the part the text document needs (pictures inside text): the first frame of a
// layered image (".mur") or of a ".png", ".bmp" or ".dib" file. Names compare without regard to
// case. A file that is missing or cannot be read is remembered as missing, so that a page full of
// references to it does not read it again and again; such a picture is 0 × 0.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "imaging/frame_drawable.h"

namespace orin {

class TVrFileManager;

class TMuraCollection {
 public:
  // files may be null (then every picture is missing); key is the game's image identification
  // code, needed for protected images.
  explicit TMuraCollection(TVrFileManager* files, int32_t key = 0) : files_(files), key_(key) {}

  // The game's image identification code, known once the project is read.
  void SetKey(int32_t key) { key_ = key; }
  // The first frame of the picture, or null when it is missing or unreadable.
  std::shared_ptr<const FrameDrawable> Picture(const std::string& name);
  // Puts a picture made elsewhere under a name (tests and tools).
  void Add(const std::string& name, std::shared_ptr<const FrameDrawable> picture);
  void Clear() { items_.clear(); }
  size_t Count() const { return items_.size(); }

 private:
  TVrFileManager* files_;
  int32_t key_;
  std::unordered_map<std::string, std::shared_ptr<const FrameDrawable>> items_;
};

}  // namespace orin
