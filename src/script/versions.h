// Version numbers of the script files and of the data the script engine writes.
#pragma once

#include <cstdint>

namespace orin {

// Project and page files above this version are not read.
constexpr int32_t kNewestScriptVersion = 110;
// Pages of this version and below have to be rebuilt by the authoring tool.
constexpr int32_t kLastRebuildPageVersion = 102;
// The version of a page that was created but not read.
constexpr int32_t kNewPageVersion = 104;
// Written as "Status%.3d" at the start of the status data.
constexpr int32_t kStatusDataVersion = 103;
// Written into every save slot.
constexpr int32_t kSaveDataVersion = 134;

}  // namespace orin
