// A motion file from untrusted bytes: reading it either works or throws orin::Error, and a film
// that was read writes and reads back the same. The first byte chooses the binary reader or the
// text form.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/error.h"
#include "resources/stream.h"
#include "scene/model/motion_film.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  try {
    orin::MotionFilm film;
    if (data[0] & 1) {
      film = orin::MotionFilm::ParseText(bytes);
    } else {
      orin::MemoryStream s;
      s.Assign(bytes);
      film.Read(s);
    }
    orin::MemoryStream out;
    film.Write(out);
    out.SetPosition(0);
    orin::MotionFilm back;
    back.Read(out);
    if (back.Frames != film.Frames || back.ImageFiles != film.ImageFiles) std::abort();
  } catch (const orin::Error&) {
  }
  return 0;
}
