// Whether a path lies on optical media (an iso9660 or udf file system): the player refuses to
// run a game from the install disc itself.
#pragma once

#include <string>
#include <vector>

namespace orin {

// The statfs type numbers of iso9660 and udf.
bool IsOpticalFileSystemType(long type);
// hostPath is one of the roots or lies below one of them (roots end in "/").
bool IsBelowAnyRoot(const std::string& hostPath, const std::vector<std::string>& roots);
// statfs of the path, else the mount table (ProbeOpticalRoots); false when neither tells.
bool IsOnOpticalMedia(const std::string& hostPath);

}  // namespace orin
