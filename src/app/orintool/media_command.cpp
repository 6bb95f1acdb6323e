// orintool media: what a sound or movie file holds — container, codec, channels, rate and length;
// for a movie every stream of pictures (codec, size, frame rate, length) and its sound — read by
// the player's own decoders, from a host file or from an entry of a game archive.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/orintool/commands.h"
#include "core/cp932.h"
#include "core/error.h"
#include "media/audio_decoder.h"
#include "media/video_decoder.h"
#include "resources/file_collection.h"
#include "resources/host_error.h"
#include "resources/host_fs.h"
#include "resources/stream.h"

namespace orin::tool {

namespace {

std::string SoundText(const AudioInfo& info, bool json) {
  if (json)
    return "{\"container\": " + JsonString(info.Container) + ", \"codec\": " + JsonString(info.Codec) +
           ", \"channels\": " + std::to_string(info.Channels) + ", \"rate\": " + std::to_string(info.SampleRate) +
           ", \"bits\": " + std::to_string(info.BitsPerSample) + ", \"length_ms\": " + std::to_string(info.LengthMs) +
           "}";
  return info.Container + " " + info.Codec + ", " + std::to_string(info.Channels) + " channel" +
         (info.Channels == 1 ? "" : "s") + ", " + std::to_string(info.SampleRate) + " Hz, " +
         std::to_string(info.BitsPerSample) + " bit, " + std::to_string(info.LengthMs) + " ms";
}

// A frame rate as people write it: 25, 29.97.
std::string RateText(double fps) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", fps);
  std::string s = text;
  while (!s.empty() && s.back() == '0') s.pop_back();
  if (!s.empty() && s.back() == '.') s.pop_back();
  return s;
}

// A movie: the container's length, each stream of pictures, then the sound (or none).
std::string MovieText(const VideoInfo& video, const AudioInfo* sound, bool json) {
  std::string out;
  if (json) {
    out = "{\"container\": " + JsonString(video.Container) + ", \"length_ms\": " + std::to_string(video.LengthMs) +
          ", \"video\": [";
    for (size_t i = 0; i < video.Streams.size(); ++i) {
      const VideoStreamInfo& s = video.Streams[i];
      out += std::string(i ? ", " : "") + "{\"index\": " + std::to_string(s.Index) + ", \"codec\": " +
             JsonString(s.Codec) + ", \"width\": " + std::to_string(s.Width) + ", \"height\": " +
             std::to_string(s.Height) + ", \"fps\": " + RateText(s.FrameRate) + ", \"length_ms\": " +
             std::to_string(s.LengthMs) + "}";
    }
    out += "], \"sound\": " + (sound ? SoundText(*sound, true) : std::string("null")) + "}\n";
    return out;
  }
  out = video.Container + " movie, " + std::to_string(video.LengthMs) + " ms\n";
  for (const VideoStreamInfo& s : video.Streams)
    out += "video " + std::to_string(s.Index) + ": " + s.Codec + ", " + std::to_string(s.Width) + " x " +
           std::to_string(s.Height) + ", " + RateText(s.FrameRate) + " fps, " + std::to_string(s.LengthMs) + " ms\n";
  out += "sound: " + (sound ? SoundText(*sound, false) : std::string("none")) + "\n";
  return out;
}

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
  const bool json = args.Flag("--json");
  VideoInfo video;
  bool movie = false;
  try {
    video = ProbeVideo(data, label);
    movie = true;
  } catch (const Error& e) {
    // Not a movie, or one without pictures: described as a sound. A movie whose pictures cannot
    // be played says why.
    const std::string& why = e.Message();
    if (why.find("not a movie") == std::string::npos && why.find("no pictures") == std::string::npos &&
        why.find("is empty") == std::string::npos)
      throw;
  }
  std::string out;
  if (movie) {
    std::unique_ptr<AudioDecoder> sound;
    if (!video.AudioCodec.empty()) sound = OpenMovieAudio(data, label);
    out = MovieText(video, sound ? &sound->Info() : nullptr, json);
  } else {
    std::unique_ptr<AudioDecoder> decoder = OpenAudioDecoder(data, label, true);
    out = SoundText(decoder->Info(), json) + "\n";
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
    "media", "describe sound and movie files (format, channels, rate, picture size, frame rate, length)",
    "usage:\n"
    "  orintool media info [--json] FILE\n"
    "  orintool media info [--json] ARCHIVE ENTRY\n"
    "FILE is an Ogg Vorbis, WAV, WMA/ASF or other sound file, or a movie (WMV/ASF, MPEG, AVI, MP4),\n"
    "for which each stream of pictures and the sound are listed. With ENTRY, ARCHIVE is a game.dat\n"
    "(or another archive orintool arc reads) and ENTRY the name of a file in it (\\ or / between\n"
    "folders).\n",
    RunMedia};

}  // namespace orin::tool
