// orintool media: what a sound file holds — container, codec, channels, rate and length — read
// by the player's own decoder, from a host file or from an entry of a game archive.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/orintool/commands.h"
#include "core/cp932.h"
#include "core/error.h"
#include "media/audio_decoder.h"
#include "resources/file_collection.h"
#include "resources/host_error.h"
#include "resources/host_fs.h"
#include "resources/stream.h"

namespace orin::tool {

namespace {

int Info(const ArgParser& args) {
  args.ExpectPositionals(1, 2);
  const std::string path = args.Positionals()[0];
  std::string label = HostPathText(path);
  std::shared_ptr<Stream> data;
  HostFileSystem fs;
  TVrFileCollection archive(fs);
  try {
    if (args.Positionals().size() == 2) {
      const std::string& entryUtf8 = args.Positionals()[1];
      std::string slashes = entryUtf8;
      for (char& c : slashes)
        if (c == '/') c = '\\';
      auto entry = Utf8ToCp932(slashes);
      if (!entry) throw UsageError("the entry name has no Japanese code-page form");
      archive.Open(path);
      label = entryUtf8;
      std::unique_ptr<TRangeStream> range = archive.OpenEntryRange(*entry);
      if (!range) throw Error(HostPathText(path) + ": no entry " + entryUtf8);
      const TVrFile* file = archive.FindItem(*entry);
      if (file && !file->Stored) {
        // A compressed entry: the player never streams these, but its content can still be shown.
        auto memory = std::make_shared<MemoryStream>();
        archive.LoadEntry(*memory, *entry);
        data = memory;
      } else {
        data = std::shared_ptr<Stream>(range.release());
      }
    } else {
      data = std::make_shared<FileStream>(path, FileStream::kRead);
    }
  } catch (const Error& e) {
    throw Error(label + ": " + e.Message());
  }
  std::unique_ptr<AudioDecoder> decoder = OpenAudioDecoder(data, label, true);
  const AudioInfo& info = decoder->Info();
  std::string out;
  if (args.Flag("--json")) {
    out = "{\"container\": " + JsonString(info.Container) + ", \"codec\": " + JsonString(info.Codec) +
          ", \"channels\": " + std::to_string(info.Channels) + ", \"rate\": " + std::to_string(info.SampleRate) +
          ", \"bits\": " + std::to_string(info.BitsPerSample) + ", \"length_ms\": " + std::to_string(info.LengthMs) +
          "}\n";
  } else {
    out = info.Container + " " + info.Codec + ", " + std::to_string(info.Channels) + " channel" +
          (info.Channels == 1 ? "" : "s") + ", " + std::to_string(info.SampleRate) + " Hz, " +
          std::to_string(info.BitsPerSample) + " bit, " + std::to_string(info.LengthMs) + " ms\n";
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  return kOk;
}

int RunMedia(const std::vector<std::string>& all) {
  if (all.empty()) throw UsageError("missing subcommand");
  const std::string sub = all[0];
  std::vector<std::string> rest(all.begin() + 1, all.end());
  if (sub == "info") return Info(ArgParser(rest, {"--json"}, {}));
  throw UsageError("unknown subcommand " + sub);
}

}  // namespace

extern const Command kMediaCommand = {
    "media", "describe sound files (format, channels, rate, length)",
    "usage:\n"
    "  orintool media info [--json] FILE\n"
    "  orintool media info [--json] ARCHIVE ENTRY\n"
    "FILE is an Ogg Vorbis, WAV, WMA/ASF or other sound file; with ENTRY, ARCHIVE is a game.dat (or\n"
    "another archive orintool arc reads) and ENTRY the name of a sound in it (\\ or / between folders).\n",
    RunMedia};

}  // namespace orin::tool
