// MotionFilm: the content of a motion file (".omt") — a list of frames shown at 60 per second
// that move a control: its position, zoom, alpha, rotation, depth offset and shown image. The
// motion player (TOrinMotion) plays it; this class only holds, reads and writes it.
//
// Byte layout (version 1; integers little-endian; strings int32 length + cp932 bytes), see
// docs/motion-format.md:
//   "OMT" 0x1A, uint16 version (1), uint16 flags (bit 0: relative), uint32 fields (which of
//   the frame fields below each frame carries), int32 frame count, int32 loop-start frame,
//   int32 image-file count, the image-file names, then the frames: per frame, for each field
//   present in this order, position (x, y), zoom (x, y), alpha, rotation, depth offset,
//   image (file index, picture index) — all int32.
// Read accepts version 1 only and checks every count against the bytes that remain, the loop
// start against the frame count and every image-file index against the list; it throws Error
// with the reason. Unknown flag or field bits are refused: a reader that skipped them would
// misread the frames.
//
// Text form (UTF-8, one statement per line, "#" starts a comment):
//   relative                 the positions are relative to where the control stands
//   loop-start N             the frame a looping motion continues at after the last one
//   image NAME               appends an image file (its index counts from 0)
//   frame KEY=VALUE ...      one frame; keys pos=X,Y zoom=X,Y alpha=A rot=R depth=D image=F,I;
//                            a key left out keeps the previous frame's value; the keys used by
//                            any frame make the film's fields
//   repeat N                 N more copies of the previous frame
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orin {

class Stream;

struct MotionFrame {
  int32_t X = 0;
  int32_t Y = 0;
  int32_t ZoomX = 256;
  int32_t ZoomY = 256;
  int32_t Alpha = 255;
  int32_t Rotation = 0;
  int32_t DepthOffset = 0;
  int32_t ImageFile = -1;  // index into ImageFiles; −1 shows no image of the film
  int32_t ImageIndex = 0;
  bool operator==(const MotionFrame&) const = default;
};

class MotionFilm {
 public:
  enum Field : uint32_t {
    kPosition = 1,
    kZoom = 2,
    kAlpha = 4,
    kRotation = 8,
    kDepth = 16,
    kImage = 32,
    kAllFields = 63,
  };
  static constexpr uint16_t kVersion = 1;

  uint32_t Fields = 0;
  bool Relative = false;
  int32_t LoopStart = 0;
  std::vector<std::string> ImageFiles;
  std::vector<MotionFrame> Frames;

  int32_t FrameCount() const { return static_cast<int32_t>(Frames.size()); }
  bool Has(Field f) const { return (Fields & f) != 0; }

  void Read(Stream& s);
  void Write(Stream& s) const;
  // Throws Error when the film could not be read back: a loop start outside the frames, an
  // image index outside the list, unknown field bits.
  void Validate() const;

  // Throws Error naming the line for a malformed text.
  static MotionFilm ParseText(std::string_view utf8);
  std::string ToText() const;
};

}  // namespace orin
