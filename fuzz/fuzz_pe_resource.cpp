// A Windows executable from untrusted bytes: finding its resource either answers within the file
// or throws orin::Error.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/error.h"
#include "resources/pe_resource.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  orin::MemoryStream file;
  file.Assign(std::string_view(reinterpret_cast<const char*>(data), size));
  orin::LooksLikePe(file);
  for (const char* type : {"BINTYPE", "#10"}) {
    try {
      auto found = orin::FindPeResource(file, type[0] == '#' ? "#1" : "DUMMY", type);
      if (found && (found->offset < 0 || found->size < 0 || found->offset + found->size > static_cast<int64_t>(size)))
        __builtin_trap();
    } catch (const orin::Error&) {
    }
  }
  return 0;
}
