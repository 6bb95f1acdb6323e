// orintool motion: write motion files (".omt") from their text form, turn them back into text,
// and describe them.
#include <cstdio>
#include <string>
#include <vector>

#include "app/orintool/commands.h"
#include "core/cp932.h"
#include "core/error.h"
#include "resources/host_error.h"
#include "resources/stream.h"
#include "scene/model/motion_film.h"
#include "scene/model/orin_motion.h"

namespace orin::tool {

namespace {

// Reads a host file; errors name it.
void ReadFile(const std::string& path, MemoryStream& data) {
  try {
    data.LoadFromFile(path);
  } catch (const Error& e) {
    throw Error(HostPathText(path).append(": ").append(e.Message()));
  }
}

MotionFilm ReadFilm(const std::string& path) {
  MemoryStream data;
  ReadFile(path, data);
  MotionFilm film;
  try {
    film.Read(data);
  } catch (const Error& e) {
    throw Error(HostPathText(path).append(": ").append(e.Message()));
  }
  return film;
}

void Write(const std::string& path, std::string_view bytes) {
  if (path.empty() || path == "-") {
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    return;
  }
  WriteFileAtomically(path, bytes.data(), bytes.size());
}

int Asm(const ArgParser& args) {
  args.ExpectPositionals(1, 1);
  if (!args.Has("-o")) throw UsageError("asm needs -o FILE.omt");
  const std::string in = args.Positionals()[0];
  MemoryStream text;
  ReadFile(in, text);
  MotionFilm film;
  try {
    film = MotionFilm::ParseText(text.View());
  } catch (const Error& e) {
    throw Error(HostPathText(in).append(": ").append(e.Message()));
  }
  MemoryStream bytes;
  film.Write(bytes);
  Write(args.Value("-o"), bytes.View());
  return kOk;
}

int Dis(const ArgParser& args) {
  args.ExpectPositionals(1, 1);
  const MotionFilm film = ReadFilm(args.Positionals()[0]);
  Write(args.Value("-o", "-"), film.ToText());
  return kOk;
}

int Info(const ArgParser& args) {
  args.ExpectPositionals(1, 1);
  const MotionFilm film = ReadFilm(args.Positionals()[0]);
  static const char* const kFieldNames[] = {"position", "zoom", "alpha", "rotation", "depth", "image"};
  std::vector<std::string> fields;
  for (int i = 0; i < 6; ++i)
    if (film.Fields & (1u << i)) fields.push_back(kFieldNames[i]);
  const long long duration = static_cast<long long>(film.FrameCount() * TOrinMotion::kFrameTime + 0.5);
  std::string out;
  if (args.Flag("--json")) {
    out = std::string("{\"frames\": ");
    out.append(std::to_string(film.FrameCount()))
        .append(", \"loop_start\": ")
        .append(std::to_string(film.LoopStart))
        .append(", \"relative\": ")
        .append(film.Relative ? "true" : "false")
        .append(", \"duration_ms\": ")
        .append(std::to_string(duration))
        .append(", \"fields\": [");
    for (size_t i = 0; i < fields.size(); ++i) out.append(i ? ", " : "").append(JsonString(fields[i]));
    out += "], \"images\": [";
    for (size_t i = 0; i < film.ImageFiles.size(); ++i)
      out.append(i ? ", " : "").append(JsonString(ToUtf8(film.ImageFiles[i])));
    out += "]}\n";
  } else {
    out = std::to_string(film.FrameCount()) + " frames (" + std::to_string(duration) + " ms), loop start " +
          std::to_string(film.LoopStart) + ", " + (film.Relative ? "relative" : "absolute") + "\nfields:";
    for (const std::string& f : fields) out.append(" ").append(f);
    out += "\n";
    for (size_t i = 0; i < film.ImageFiles.size(); ++i)
      out.append("image ").append(std::to_string(i)).append(": ").append(ToUtf8(film.ImageFiles[i])).append("\n");
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  return kOk;
}

int RunMotion(const std::vector<std::string>& all) {
  if (all.empty()) throw UsageError("missing subcommand");
  const std::string sub = all[0];
  std::vector<std::string> rest(all.begin() + 1, all.end());
  if (sub == "asm") return Asm(ArgParser(rest, {}, {"-o"}));
  if (sub == "dis") return Dis(ArgParser(rest, {}, {"-o"}));
  if (sub == "info") return Info(ArgParser(rest, {"--json"}, {}));
  throw UsageError("unknown subcommand " + sub);
}

}  // namespace

extern const Command kMotionCommand = {
    "motion", "write motion files (.omt) from text and back, describe them",
    "usage:\n"
    "  orintool motion asm FILE.txt -o FILE.omt\n"
    "  orintool motion dis FILE.omt [-o FILE.txt]\n"
    "  orintool motion info [--json] FILE.omt\n"
    "The text form (UTF-8, '#' comments):\n"
    "  relative | absolute          positions relative to where the object stands, or screen positions\n"
    "  loop-start N                 where a looping motion continues after its last frame\n"
    "  image NAME                   an image file the frames may show (numbered from 0)\n"
    "  frame pos=X,Y zoom=X,Y alpha=A rot=R depth=D image=FILE,PICTURE\n"
    "                               one frame (60 per second); a key left out keeps its last value\n"
    "  repeat N                     N more copies of the last frame\n"
    "dis writes to standard output unless -o names a file.\n",
    RunMotion};

}  // namespace orin::tool
