// orintool arc: list, extract, pack, wrap into an executable and verify archives.
#include "app/orintool/commands.h"

namespace orin::tool {

namespace {

int RunArc(const std::vector<std::string>& args) {
  if (args.empty()) throw UsageError("missing subcommand");
  throw UsageError("unknown subcommand " + args[0]);
}

}  // namespace

extern const Command kArcCommand = {
    "arc", "list, extract, pack and verify archives",
    "usage:\n"
    "  orintool arc list [--json] ARCHIVE\n"
    "  orintool arc extract ARCHIVE DIR [NAME...]\n"
    "  orintool arc pack [--version 100|101|102] [--crc-uncompressed] SRCDIR OUT\n"
    "  orintool arc exe PROGRAM ARCHIVE OUT\n"
    "  orintool arc verify ARCHIVE\n",
    RunArc};

}  // namespace orin::tool
