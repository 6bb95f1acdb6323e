// TOrinBox (kind 2): a rectangle filled with its colour (none when the colour is negative). It
// keeps its two box properties (9, 10), and like the other showing classes a motion file
// (property 2), loop (29), free-when-finished (71), the finished label (43), the every-frame
// label (113) and the stopped flag (27).
//
// Save record, after the control record: box property 9 and 10 (int32), file (string), loop,
// free when finished (bytes), finished label, every-frame label (strings), stopped (byte).
// Loading sets the file again, which loads and starts its motion.
#pragma once

#include <string>

#include "scene/model/orin_control.h"

namespace orin {

class TOrinBox : public TOrinControl {
 public:
  using TOrinControl::TOrinControl;

  uint8_t Kind() const override { return kKindBox; }
  bool Loop() const override { return loop_; }
  bool FreeWhenFinished() const override { return freeWhenFinished_; }

  void Draw(ScreenSurface& surface) override;
  void GetProp(int number, TCustomParam& dest) override;
  void SetProp(int number, const TCustomParam& value) override;
  void SetFile(const std::string& file);

  void Save(Stream& s, int version) const override;
  void Load(Stream& s, int version) override;

 private:
  int32_t box1_ = 0;
  int32_t box2_ = 0;
  std::string file_;
  bool loop_ = false;
  bool freeWhenFinished_ = false;
};

}  // namespace orin
