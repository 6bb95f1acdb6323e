// TMuraCollection: the scene's image cache, shared by every object of a game — pictures loaded
// once by game name through the file manager and kept in the form the compositor draws
// (imaging/frame_drawable.h).
//
// A file is decoded once, all its frames, each converted once to a drawable with its duration
// and colour key (MuraImages). Whoever shows it holds the shared_ptr the cache handed out; the
// cache itself keeps only a weak reference, so a file is freed as soon as no object and no text
// shows it any more, and decoded again when it is asked for after that.
//
// Names compare without regard to case. A name ending in "?m" gives every frame an alpha plane
// (TMuraFrame::MakeMask), one ending in "?t" crops every frame to its visible part and keeps the
// crop's corner as the frame's drawing offset; the suffix is not part of the file name, but the
// forms are cached apart.
//
// A file that is missing or cannot be read (damaged, hostile sizes) gives an empty list and one
// line to the reporter; it is remembered as missing, so that a page full of references to it does
// not read it again and again. The image reader bounds what a header can make it allocate.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "imaging/frame_drawable.h"

namespace orin {

class TVrFileManager;

// One image of a file as objects show it.
struct MuraImage {
  FrameDrawable Picture;
  // Milliseconds the image stays in an animation (the frame's Delay).
  int32_t Duration = 100;
  // Where the picture's corner lies in the frame it came from (a "?t" crop), else 0, 0.
  int32_t OffsetX = 0;
  int32_t OffsetY = 0;
};

// The images of one file, in file order; empty for a file that could not be had.
struct MuraImages {
  std::string Name;
  std::vector<MuraImage> Images;
  int32_t Count() const { return static_cast<int32_t>(Images.size()); }
  bool Empty() const { return Images.empty(); }
};

class TMuraCollection {
 public:
  // Gets one line (plain English, cp932-safe: the name is the game's bytes) for each picture that
  // could not be had.
  using Reporter = std::function<void(const std::string& line)>;

  // files may be null (then every picture is missing); key is the game's image identification
  // code, needed for protected images.
  explicit TMuraCollection(TVrFileManager* files, int32_t key = 0) : files_(files), key_(key) {}

  // The game's image identification code, known once the project is read.
  void SetKey(int32_t key) { key_ = key; }
  void SetReporter(Reporter reporter) { reporter_ = std::move(reporter); }
  // Says a line through the reporter (image objects say so for motion files they cannot play).
  void Report(const std::string& line) const {
    if (reporter_) reporter_(line);
  }
  // The game's dithering switch (@CGDither). It is kept for the scripts that read it back; it
  // changes nothing, since dithering only serves palette screens and the player composes in
  // 32 bits.
  bool Dither() const { return dither_; }
  void SetDither(bool dither) { dither_ = dither; }

  // Every image of the file; never null (an empty list for a missing or unreadable file or an
  // empty name). Asking again while someone holds the list answers the same list.
  std::shared_ptr<const MuraImages> Images(const std::string& name);
  // The first image of the file (pictures inside text), or null when it has none. The pointer
  // keeps the whole file alive.
  std::shared_ptr<const FrameDrawable> Picture(const std::string& name);
  // Puts images made elsewhere under a name (tests and tools); the cache keeps them alive.
  void Add(const std::string& name, std::shared_ptr<const MuraImages> images);
  void Add(const std::string& name, std::shared_ptr<const FrameDrawable> picture);
  // Forgets every file (those still shown stay alive with their holders) and every missing name.
  void Clear();
  // Files alive now (held by someone), kept ones included.
  size_t Count() const;
  // Files decoded since the collection was made (a measure of cache misses, for tests).
  uint64_t Decodes() const { return decodes_; }

 private:
  std::shared_ptr<const MuraImages> Decode(const std::string& name);

  TVrFileManager* files_;
  int32_t key_;
  Reporter reporter_;
  bool dither_ = false;
  std::unordered_map<std::string, std::weak_ptr<const MuraImages>> items_;
  // What Add put in, kept alive by the cache itself.
  std::unordered_map<std::string, std::shared_ptr<const MuraImages>> kept_;
  std::unordered_set<std::string> missing_;
  std::shared_ptr<const MuraImages> none_ = std::make_shared<const MuraImages>();
  uint64_t decodes_ = 0;
};

}  // namespace orin
