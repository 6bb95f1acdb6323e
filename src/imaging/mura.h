// The layered image files of the player (".mur") and the frame list that holds one picture:
// TMuraFrameList (the file), TMuraFrame (one animation cell, composed from its layers) and
// TMuraLayer.
//
// Versions read: 0 (no signature: the frame count comes first), 100 (alpha blocks), 101
// (`UseAlpha`), 102 (background colour), 103 (a header record: storage kind, scrambling, tiles),
// 104 (rectangle lists per frame), 105 (`FirstLayerOpaque`) and 106; a higher number is read as
// 106. Files are written as "Mura106".
//
// Pixel blocks are zlib streams (kind 0), raw plane images (kind 1) or JPEG streams (kind 2, whose
// alpha blocks are zlib). A plane image holds the rows from the top, each as long as one stored
// row of the surface; from version 103 its rows may be stored in an order permuted by the game's
// identification code, or it may be a table of tiles followed by tile data, where a tile is
// stored, a copy of an earlier tile of the same plane, or a copy of a layer read before.
//
// Reading is defensive: every length is checked against what remains, header lengths other than
// 40 are handled (only the first 40 bytes are meaningful), a tile that refers to a tile, frame or
// layer not read yet is an error, pictures beyond TDIBSurface's limits are refused, all the
// pictures of one file together may not hold more than 1 GiB (kMaxInflatedSize), and frames that
// no layer draws (blank ones, filled with the background) may not hold much more than the file
// could inflate to. Errors are Error with a plain
// reason ("damaged image: ..."); LoadFromFile puts the file name in front.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "imaging/dib_surface.h"
#include "imaging/geometry.h"
#include "resources/stream.h"

namespace orin {

class TMuraFrame;
class TMuraFrameList;

class TMuraLayer {
 public:
  explicit TMuraLayer(TMuraFrame* owner) : Owner(owner) {}

  TMuraFrame* Owner;
  // The layer's pixels (with its alpha plane). Once a frame is composed, the layers of a file
  // without tiles are never read again and give their pixels up: Surface is then empty.
  TDIBSurface Surface;
  uint8_t Visible = 1;
  int32_t TransparentValue = -1;
  int32_t Opacity = 255;
  uint8_t UseAlpha = 0;
  std::string Name;
  bool HadAlpha = false;  // the file held an alpha block for this layer
};

class TMuraFrame {
 public:
  explicit TMuraFrame(TMuraFrameList* owner) : Owner(owner) {}

  // Gives the frame an alpha plane when it has none: 255, and 0 where the surface shows
  // TransparentValue (if that is 0 or more).
  void MakeMask();
  // Crops the frame to its visible part (see the .cpp); returns true and sets rect to the part
  // kept when it cropped, false when the frame stays whole.
  bool Trim(Rect& rect);

  int32_t Delay = 100;
  TDIBSurface Surface;             // the composed frame and its alpha plane
  int32_t TransparentValue = -1;   // pixel value or palette index, −1 none
  int32_t TransparentColor = -1;   // the colour it shows, 0x00BBGGRR, −1 none
  TMuraFrameList* Owner;
  std::string Name;
  std::vector<Rect> RectsA;
  std::vector<Rect> RectsB;
  std::vector<std::unique_ptr<TMuraLayer>> Layers;
};

// The header of the file last read, as it was stored (for tools; the player needs only the
// fields the list keeps).
struct MuraHeader {
  uint32_t HeaderLength = 0;  // 0 before version 103
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t BitCount = 0;
  uint32_t FrameCount = 0;
  uint8_t Scrambled = 0;
  uint8_t Kind = 0;
  uint32_t Background = 0;
  int32_t TileWidth = 0;
  int32_t TileHeight = 0;
  uint8_t FirstLayerOpaque = 0;
  uint8_t Quality = 0;
};

class TMuraFrameList {
 public:
  enum Kind : int { kZlib = 0, kRaw = 1, kJpeg = 2 };

  explicit TMuraFrameList(int32_t key = 0) : Key(key) {}
  TMuraFrameList(const TMuraFrameList&) = delete;
  TMuraFrameList& operator=(const TMuraFrameList&) = delete;

  int Count() const { return static_cast<int>(Frames.size()); }
  TMuraFrame& operator[](int i) { return *Frames[static_cast<size_t>(i)]; }
  const TMuraFrame& operator[](int i) const { return *Frames[static_cast<size_t>(i)]; }
  void Clear() { Frames.clear(); }
  TMuraFrame& AddFrame();

  // Clears the list and reads an image file from the stream's position; with firstFrameOnly one
  // frame is read and the rest of the stream ignored. On an error the list is left empty.
  void LoadFromStream(Stream& stream, bool firstFrameOnly = false);
  // Chooses the format by the lower-cased extension of `name`: ".mur" layered image, ".png",
  // ".bmp" and ".dib" one frame; any other extension leaves the list empty.
  void LoadPictureFromStream(Stream& stream, const std::string& name, bool firstFrameOnly = false);
  // The same for a host file.
  void LoadFromFile(const std::string& hostPath, bool firstFrameOnly = false);

  // Writes "Mura106": kind and quality as given, except that with a Key the planes are stored
  // raw and scrambled.
  void SaveToStream(Stream& stream, int kind, int quality) const;
  // Kind 0, quality 70; the file is created (replaced) at hostPath.
  void SaveToFile(const std::string& hostPath) const;
  // One block as SaveToStream writes it (without its length): the plane image of `plane`,
  // scrambled when Key is set and the kind is not JPEG, then raw, zlib (kind 0) or JPEG (kind 2;
  // an alpha plane of kind 2 is zlib).
  std::shared_ptr<ByteBuffer> EncodePlane(const TDIBSurface& plane, bool alphaPlane, int kind, int quality) const;

  void MakeMasks();

  uint32_t Background = 0;
  int32_t Version = 0;
  int32_t Key;
  uint8_t FirstLayerOpaque = 0;
  MuraHeader Header;
  std::vector<std::unique_ptr<TMuraFrame>> Frames;
};

// The order in which TTpRandom(increment) hands out 0 .. n−1 by Draw after Reset(n), computed in
// O(n log n): position i of the result is what the i-th Draw returns.
std::vector<int32_t> DrawOrder(int32_t increment, int32_t n);

}  // namespace orin
