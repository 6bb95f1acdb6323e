// The subcommands of orintool. Each lives in its own file and is listed once in main.cpp.
#pragma once

#include "app/orintool/cli.h"

namespace orin::tool {

extern const Command kArcCommand;
extern const Command kCalcCommand;
extern const Command kImgCommand;
extern const Command kFontCommand;
extern const Command kPageCommand;
extern const Command kProjectCommand;
extern const Command kInstallCommand;
extern const Command kMotionCommand;
extern const Command kWipeCommand;
extern const Command kRegionCommand;
extern const Command kMediaCommand;
extern const Command kMidiCommand;

}  // namespace orin::tool
