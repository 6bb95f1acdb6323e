// install.dat from untrusted bytes: reading it either works or throws orin::Error, and what was
// read is written again at its own version.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/error.h"
#include "resources/install_set.h"
#include "resources/stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  orin::MemoryStream s;
  s.Assign(std::string_view(reinterpret_cast<const char*>(data), size));
  orin::TOrinInstallSet set;
  try {
    set.LoadFromStream(s);
    orin::MemoryStream out;
    set.SaveToStream(out, set.Version);
  } catch (const orin::Error&) {
  }
  return 0;
}
