// Script pages and project files from untrusted bytes: reading them either works or throws
// orin::Error; a page that reads is turned into text and assembled again without a crash.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/error.h"
#include "resources/stream.h"
#include "script/page.h"
#include "script/page_text.h"
#include "script/project_file.h"

namespace {

class IgnoreMessages : public orin::PageMessages {
 public:
  void RebuildRequired(const std::string&) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  orin::MemoryStream s;
  s.Assign(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
  try {
    if (data[0] & 1) {
      orin::ProjectFile project;
      project.LoadFromStream(s);
      orin::MemoryStream out;
      project.SaveToStream(out);
      return 0;
    }
    IgnoreMessages messages;
    orin::TPage page;
    if (page.LoadFromStream(s, &messages) != orin::PageLoadResult::kLoaded) return 0;
    orin::MemoryStream out;
    page.SaveToStream(out);
    std::string text = orin::PageToText(page);
    orin::TPage again;
    orin::PageFromText(text, again);
  } catch (const orin::Error&) {
  }
  return 0;
}
