// A small reader of the resource directory of a Windows executable (PE32 or PE32+), enough to find
// one resource by name and type without running or loading the program. Games ship their archive
// as the resource "DUMMY" of type "BINTYPE".
//
// Every offset and size read from the file is checked against the file and the section it lies
// in; a damaged executable gives an Error, a well-formed one without the resource gives nullopt.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "resources/stream.h"

namespace orin {

struct PeResourceLocation {
  int64_t offset = 0;  // of the resource data in the file
  int64_t size = 0;
};

// name and type are cp932 texts compared case-insensitively, or "#<number>" for numeric ids; an
// empty name takes the first resource of the type (a program's first icon). The first language
// found is taken.
std::optional<PeResourceLocation> FindPeResource(Stream& file, const std::string& name, const std::string& type);

// True when the stream starts like a Windows executable ("MZ" with a PE header).
bool LooksLikePe(Stream& file);

}  // namespace orin
