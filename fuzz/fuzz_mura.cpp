// A layered image, PNG or bitmap from untrusted bytes: decoding it either works or throws
// orin::Error. The first byte chooses the reader, and for layered images also the game's code.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/error.h"
#include "imaging/mura.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  static const char* const kNames[] = {"x.mur", "x.png", "x.bmp", "x.mur"};
  const char* name = kNames[data[0] & 3];
  orin::TMuraFrameList list((data[0] & 3) == 3 ? 0x2468ACE1 : 0);
  orin::MemoryStream s;
  s.Assign(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
  try {
    list.LoadPictureFromStream(s, name, (data[0] & 4) != 0);
    list.MakeMasks();
    for (int i = 0; i < list.Count(); ++i) {
      orin::Rect r;
      list[i].Trim(r);
    }
  } catch (const orin::Error&) {
  }
  return 0;
}
