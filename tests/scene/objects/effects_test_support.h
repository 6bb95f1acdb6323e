// A scene for the effect classes (particles, fire, waves): pictures from a folder through one
// shared cache, variables (whose run-time generator the effects draw from) for expressions, and
// whole-frame helpers.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "imaging/mura.h"
#include "params/build_orin_parser.h"
#include "params/orin_parser.h"
#include "params/param_collection.h"
#include "params/db_manager.h"
#include "params/param_host.h"
#include "params/system_functions.h"
#include "resources/file_manager.h"
#include "resources/stream.h"
#include "resources/temp_folder.h"
#include "scene/model/mura_collection.h"
#include "scene/model/orin_base_list.h"
#include "scene/scene_test_support.h"
#include "scene/text/text_services.h"
#include "support/test_support.h"

namespace orin::test {

// A one-frame picture of width × height, every pixel `color` (0x00RRGGBB), with an alpha plane of
// `alpha` when it is not negative.
inline std::string SolidMur(int width, int height, uint32_t color, int alpha = -1) {
  TMuraFrameList list;
  TMuraFrame& f = list.AddFrame();
  f.Surface.SetSize(width, height, 32);
  f.Surface.FillRect(f.Surface.ClientRect(), color);
  if (alpha >= 0) {
    f.Surface.CreateAlpha();
    f.Surface.Alpha->FillRect(f.Surface.Alpha->ClientRect(), static_cast<uint32_t>(alpha));
  }
  f.Delay = 100;
  MemoryStream s;
  list.SaveToStream(s, TMuraFrameList::kZlib, 70);
  return std::string(s.View());
}

inline std::unique_ptr<TOrinParser> Expression(const std::string& text) {
  TBuildOrinParser build;
  build.Compile(text);
  MemoryStream s;
  build.WriteTo(s);
  s.SetPosition(0);
  auto parser = std::make_unique<TOrinParser>();
  parser->LoadFromStream(s);
  return parser;
}

class EffectScene {
 public:
  explicit EffectScene(uint32_t seed = 1234)
      : files(temp, pending, {}), cache(&files), scene(&files, SceneServices{.Text = &text}) {
    files.SetBaseFolder(dir.Path());
    text.Images = &cache;
    text.Vars = &vars;
    vars.SetFunctions(&functions);
    vars.Host().Random.State = seed;
    scene.SetSize(64, 48);
    scene.ActiveRoot().SetColor(0x404040);
  }

  ~EffectScene() { vars.SetFunctions(nullptr); }

  void Write(const std::string& name, const std::string& bytes) { dir.Write(name, bytes); }

  template <class T>
  T& Make(uint8_t kind, const std::string& name, int32_t left, int32_t top, int32_t width, int32_t height) {
    auto* o = static_cast<T*>(scene.Create(kind));
    o->Rename(name);
    o->SetBounds(left, top, width, height);
    return *o;
  }

  void Frame(int32_t delta) {
    clock += delta;
    scene.InputStep(clock, delta);
    scene.Step();
  }
  void Draw() {
    scene.Draw();
    scene.ClearDirty();
  }
  uint32_t Pixel(int x, int y) { return scene.ActiveRoot().Surface().GetPixel(x, y) & 0xFFFFFF; }
  std::vector<uint32_t> Pixels() {
    std::vector<uint32_t> out;
    for (int y = 0; y < 48; ++y)
      for (int x = 0; x < 64; ++x) out.push_back(Pixel(x, y));
    return out;
  }

  TempDir dir;
  TempFolder temp;
  PendingDeletes pending;
  TVrFileManager files;
  TMuraCollection cache;
  TDBManager tables;
  SystemFunctions functions{tables};
  TParamCollection vars;
  TextServices text;
  TOrinBaseList scene;
  int32_t clock = 0;
};

}  // namespace orin::test
