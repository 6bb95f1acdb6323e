// A scene save record from untrusted bytes: loading it either works or throws orin::Error, and a
// scene that loaded saves, loads again and steps and draws a frame. The first byte chooses the
// save-format version (107 ... 134, and a few older ones the record branches on).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/error.h"
#include "resources/stream.h"
#include "scene/model/orin_base_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int version = 100 + data[0] % 35;
  orin::MemoryStream s;
  s.Assign(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
  try {
    orin::TOrinBaseList scene;
    scene.SetSize(64, 48);
    scene.Load(s, version);
    scene.InputStep(16, 16);
    scene.Step();
    scene.Draw();
    orin::MemoryStream out;
    scene.Save(out, version);
    out.SetPosition(0);
    orin::TOrinBaseList again;
    again.SetSize(64, 48);
    again.Load(out, version);
  } catch (const orin::Error&) {
  }
  return 0;
}
