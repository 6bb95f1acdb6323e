// Helpers of the scene tests: a scene of a given size with a running clock, property access by
// number, a control class that shows an image (zoom, flips, an image size for the 16.16
// placement), and the event queue shown as text.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imaging/screen_surface.h"
#include "params/custom_param.h"
#include "scene/model/orin_base_list.h"
#include "scene/objects/orin_box.h"

namespace orin::test {

inline void SetInt(TOrinObject& o, int number, int32_t v) {
  TParamInt p;
  p.SetAsInt(v);
  o.SetProp(number, p);
}
inline void SetStr(TOrinObject& o, int number, const std::string& v) {
  TParamStr p;
  p.SetAsStr(v);
  o.SetProp(number, p);
}
inline void SetFlag(TOrinObject& o, int number, bool v) {
  TParamFlag p;
  p.SetAsFlag(v);
  o.SetProp(number, p);
}
inline int32_t GetInt(TOrinObject& o, int number) {
  TParamInt p;
  o.GetProp(number, p);
  return p.GetAsInt();
}
inline std::string GetStr(TOrinObject& o, int number) {
  TParamStr p;
  o.GetProp(number, p);
  return p.GetAsStr();
}

// A control that shows an image of a given size: it has zoom and flips, and fills its visible
// rectangle with its colour.
class ImageControl : public TOrinControl {
 public:
  using TOrinControl::TOrinControl;
  uint8_t Kind() const override { return kKindNone; }
  bool HasImageGeometry() const override { return true; }
  int32_t ImageWidth() const override { return imageWidth; }
  int32_t ImageHeight() const override { return imageHeight; }
  void SetFlips(bool x, bool y) {
    SetFlipX(x);
    SetFlipY(y);
  }
  void Draw(ScreenSurface& surface) override {
    if (Color() >= 0) surface.Fill(surface.Clip(), surface.ColorToPixel(Color()));
  }
  int32_t imageWidth = 0;
  int32_t imageHeight = 0;
};

class Scene {
 public:
  explicit Scene(int width = 64, int height = 48) { list.SetSize(width, height); }

  TOrinBox& Box(const std::string& name, int32_t left, int32_t top, int32_t width, int32_t height,
                int32_t color = -1, TOrinControl* parent = nullptr) {
    auto* box = static_cast<TOrinBox*>(list.Create(kKindBox));
    box->Rename(name);
    if (parent) box->SetParent(parent);
    box->SetBounds(left, top, width, height);
    box->SetColor(color);
    return *box;
  }

  // One frame of the shell: input, (the interpreter would run here), the scene step.
  void Frame(int32_t delta) {
    clock += delta;
    list.InputStep(clock, delta);
    list.Step();
  }

  // The queue as "code label arg,arg" lines.
  std::vector<std::string> Events() {
    std::vector<std::string> out;
    TTimerList& q = list.Events();
    for (int i = 0; i < q.Count(); ++i) {
      std::string line = std::to_string(q[i].Code) + " " + q[i].Label;
      for (size_t k = 0; k < q[i].Args.size(); ++k) line.append(k == 0 ? " " : ",").append(q[i].Args[k]);
      out.push_back(line);
    }
    return out;
  }

  // Marks every event as handled by the interpreter and removes it.
  void HandleEvents() {
    TTimerList& q = list.Events();
    for (int i = 0; i < q.Count(); ++i) q[i].Level = 1;
    q.RemoveLevel(1);
  }

  uint32_t Pixel(int x, int y) { return list.ActiveRoot().Surface().GetPixel(x, y); }

  TOrinBaseList list;
  int32_t clock = 0;
};

}  // namespace orin::test
