// orintool: the toolbox for game makers, translators and tests.
//   orintool COMMAND [ARGS...]     orintool help [COMMAND]
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/orintool/commands.h"
#include "core/error.h"

namespace {

using orin::tool::Command;

const Command* const kCommands[] = {
    &orin::tool::kArcCommand,
    &orin::tool::kCalcCommand,
    &orin::tool::kImgCommand,
    &orin::tool::kFontCommand,
    &orin::tool::kPageCommand,
    &orin::tool::kProjectCommand,
    &orin::tool::kInstallCommand,
    &orin::tool::kMotionCommand,
    &orin::tool::kWipeCommand,
    &orin::tool::kRegionCommand,
    &orin::tool::kMediaCommand,
    &orin::tool::kMidiCommand,
};

const Command* FindCommand(const char* name) {
  for (const Command* c : kCommands)
    if (std::strcmp(c->name, name) == 0) return c;
  return nullptr;
}

void PrintOverview(FILE* out) {
  std::fprintf(out, "usage: orintool COMMAND [ARGS...]\n\ncommands:\n");
  for (const Command* c : kCommands) std::fprintf(out, "  %-10s %s\n", c->name, c->summary);
  std::fprintf(out, "\n'orintool help COMMAND' shows a command's usage.\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    PrintOverview(stderr);
    return orin::tool::kUsage;
  }
  std::string name = argv[1];
  if (name == "help" || name == "--help" || name == "-h") {
    if (argc >= 3) {
      if (const Command* c = FindCommand(argv[2])) {
        std::printf("%s", c->usage);
        return orin::tool::kOk;
      }
    }
    PrintOverview(stdout);
    return orin::tool::kOk;
  }
  const Command* command = FindCommand(name.c_str());
  if (!command) {
    std::fprintf(stderr, "orintool: unknown command '%s'\n\n", name.c_str());
    PrintOverview(stderr);
    return orin::tool::kUsage;
  }
  std::vector<std::string> args(argv + 2, argv + argc);
  try {
    return command->run(args);
  } catch (const orin::tool::UsageError& e) {
    std::fprintf(stderr, "orintool %s: %s\n\n%s", command->name, e.what(), command->usage);
    return orin::tool::kUsage;
  } catch (const orin::Error& e) {
    std::fprintf(stderr, "orintool %s: %s\n", command->name, e.Utf8Report().c_str());
    return orin::tool::kBadInput;
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "orintool %s: out of memory\n", command->name);
    return orin::tool::kBadInput;
  }
}
