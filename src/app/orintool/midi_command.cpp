// orintool midi: what the player's sequencer makes of a standard MIDI file — every event with the
// time in milliseconds at which it is sent, its kind and track, and its bytes.
#include <cstdio>
#include <string>
#include <vector>

#include "app/orintool/commands.h"
#include "core/error.h"
#include "media/midi_v.h"
#include "resources/host_error.h"
#include "resources/stream.h"

namespace orin::tool {

namespace {

int Dump(const ArgParser& args) {
  args.ExpectPositionals(1, 1);
  const std::string path = args.Positionals()[0];
  MemoryStream data;
  data.LoadFromFile(path);
  if (data.Size() < 4 || data.View().substr(0, 4) != "MThd")
    throw Error(HostPathText(path) + ": not a standard MIDI file (no MThd header)");
  TMidiV midi;
  midi.Parse({data.Data(), data.Size()});
  std::string out = DumpMidiEvents(midi);
  std::fwrite(out.data(), 1, out.size(), stdout);
  return kOk;
}

int RunMidi(const std::vector<std::string>& all) {
  if (all.empty()) throw UsageError("missing subcommand");
  const std::string sub = all[0];
  std::vector<std::string> rest(all.begin() + 1, all.end());
  if (sub == "dump") return Dump(ArgParser(rest, {}, {}));
  throw UsageError("unknown subcommand " + sub);
}

}  // namespace

extern const Command kMidiCommand = {
    "midi", "list the events of a standard MIDI file as the player sends them",
    "usage:\n"
    "  orintool midi dump FILE\n"
    "Prints 'events N length MS', then one line per event in the order they are sent:\n"
    "TIME KIND TRACK BYTES (time in ms, kind number, track index, the message in hex).\n",
    RunMidi};

}  // namespace orin::tool
