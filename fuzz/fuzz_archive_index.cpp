// An archive index from untrusted bytes: reading it, and loading every entry it names, either
// works or throws orin::Error.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/error.h"
#include "resources/file_collection.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  orin::HostFileSystem fs;
  orin::TVrFileCollection archive(fs);
  auto stream = std::make_unique<orin::TTpBigMemoryStream>();
  stream->Write(data, static_cast<int64_t>(size));
  stream->SetPosition(0);
  archive.ArchiveStream = std::move(stream);
  try {
    archive.ReadIndex(*archive.ArchiveStream);
  } catch (const orin::Error&) {
    return 0;
  }
  for (int i = 0; i < archive.Count(); ++i) {
    try {
      orin::MemoryStream content;
      archive.LoadEntry(content, archive[i].Name());
    } catch (const orin::Error&) {
    }
  }
  return 0;
}
