// orintool wipe: run a screen transition on two pictures, as one frame or as a contact sheet.
//
// The transition is the player's own (the kind table of imaging/wipes), made with its defaults,
// given the options as the flip gives its parameters, prepared, and stepped on 32-bit surfaces
// of the pictures' size. Its random kinds draw from a run-time generator seeded by --seed.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>

#include "app/orintool/commands.h"
#include "core/cp932.h"
#include "core/error.h"
#include "core/runtime_random.h"
#include "imaging/image_codecs.h"
#include "imaging/mura.h"
#include "imaging/screen_surface.h"
#include "imaging/wipes/wipe_table.h"
#include "resources/host_error.h"
#include "resources/host_fs.h"

namespace orin::tool {

namespace {

// The largest contact sheet, in pixels (4 bytes each).
constexpr int64_t kSheetPixels = int64_t{1} << 26;
constexpr int kSheetColumns = 8;
constexpr int kSheetGap = 4;
constexpr uint32_t kSheetBackground = 0x404040;

// A whole number in decimal (or hexadecimal with "0x") within [min, max].
int64_t Number(const std::string& option, const std::string& text, int64_t min, int64_t max) {
  const char* s = text.c_str();
  const bool negative = *s == '-';
  const char* digits = negative ? s + 1 : s;
  int base = 10;
  if (digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) base = 16, digits += 2;
  if (!*digits || *digits == '-' || *digits == '+') throw UsageError(option + " needs a number, not '" + text + "'");
  errno = 0;
  char* end = nullptr;
  const unsigned long long v = std::strtoull(digits, &end, base);
  if (*end || errno || v > static_cast<unsigned long long>(std::numeric_limits<int64_t>::max()))
    throw UsageError(option + " needs a number between " + std::to_string(min) + " and " + std::to_string(max) +
                     ", not '" + text + "'");
  const int64_t value = negative ? -static_cast<int64_t>(v) : static_cast<int64_t>(v);
  if (value < min || value > max)
    throw UsageError(option + " must lie between " + std::to_string(min) + " and " + std::to_string(max));
  return value;
}

struct WipeOptions {
  int kind = 0;
  bool reverse = false;
  std::optional<int32_t> p0, p1;
  std::optional<std::string> name;  // cp932
  uint32_t seed = 0;
  int32_t duration = 0;
};

WipeOptions ParseOptions(const ArgParser& args) {
  constexpr int64_t kIntMin = std::numeric_limits<int32_t>::min(), kIntMax = std::numeric_limits<int32_t>::max();
  WipeOptions o;
  if (!args.Has("--kind")) throw UsageError("--kind is required (1-38)");
  const int64_t kind = Number("--kind", args.Value("--kind"), kIntMin, kIntMax);
  if (kind < 1 || kind > WipeTable::kKinds)
    throw UsageError("--kind " + std::to_string(kind) + " is no transition: kinds are 1-38");
  o.kind = static_cast<int>(kind);
  if (!args.Has("--duration")) throw UsageError("--duration is required (milliseconds, at least 1)");
  o.duration = static_cast<int32_t>(Number("--duration", args.Value("--duration"), 1, kIntMax));
  o.reverse = args.Flag("--reverse");
  if (args.Has("--p0")) o.p0 = static_cast<int32_t>(Number("--p0", args.Value("--p0"), kIntMin, kIntMax));
  if (args.Has("--p1")) o.p1 = static_cast<int32_t>(Number("--p1", args.Value("--p1"), kIntMin, kIntMax));
  if (args.Has("--seed")) o.seed = static_cast<uint32_t>(Number("--seed", args.Value("--seed"), 0, 0xFFFFFFFFll));
  if (args.Has("--str")) {
    std::optional<std::string> cp932 = Utf8ToCp932(args.Value("--str"));
    if (!cp932) throw UsageError("--str holds characters the game's code page (cp932) cannot express");
    o.name = std::move(*cp932);
  }
  return o;
}

// A picture as a 32-bit screen surface; transparency is ignored, as a screen has none.
ScreenSurface LoadPicture(const std::string& path) {
  const std::string ext = LowerCase(ExtensionOf(path));
  if (ext != ".png" && ext != ".bmp" && ext != ".dib")
    throw Error(HostPathText(path) + ": not a picture orintool wipe reads (.png, .bmp, .dib)");
  TMuraFrameList list;
  list.LoadFromFile(path, true);
  const TDIBSurface& picture = list[0].Surface;
  if (picture.Empty()) throw Error(HostPathText(path) + ": the picture is empty");
  ScreenSurface screen(picture.Width(), picture.Height(), 32);
  for (int y = 0; y < picture.Height(); ++y) {
    uint8_t* row = screen.ScanLine(y);
    for (int x = 0; x < picture.Width(); ++x) {
      const Rgb c = picture.PixelToRGB(picture.GetPixel(x, y), true);
      row[4 * x] = static_cast<uint8_t>(c.Blue);
      row[4 * x + 1] = static_cast<uint8_t>(c.Green);
      row[4 * x + 2] = static_cast<uint8_t>(c.Red);
      row[4 * x + 3] = 0;
    }
  }
  return screen;
}

void WritePng(const std::string& path, const ScreenSurface& screen) {
  const int w = screen.Width(), h = screen.Height();
  std::vector<uint8_t> rgba(static_cast<size_t>(w) * 4 * static_cast<size_t>(h));
  for (int y = 0; y < h; ++y) {
    const uint8_t* src = screen.ScanLine(y);
    uint8_t* dst = rgba.data() + static_cast<size_t>(y) * w * 4;
    for (int x = 0; x < w; ++x) {
      dst[4 * x] = src[4 * x + 2];
      dst[4 * x + 1] = src[4 * x + 1];
      dst[4 * x + 2] = src[4 * x];
      dst[4 * x + 3] = 255;
    }
  }
  auto png = EncodePngRgba(rgba.data(), w, h, static_cast<size_t>(w) * 4);
  WriteFileAtomically(path, png->Data(), png->Size());
}

// The two pictures and a target that starts as the outgoing one, as the flip starts a transition.
struct Run {
  ScreenSurface from, to, target;
  RunTimeRandom random;
  std::unique_ptr<TCustomWipe> wipe;
};

void Start(Run& run, const WipeOptions& o, const std::string& fromPath, const std::string& toPath) {
  run.from = LoadPicture(fromPath);
  run.to = LoadPicture(toPath);
  if (run.from.Width() != run.to.Width() || run.from.Height() != run.to.Height())
    throw Error(HostPathText(fromPath) + " is " + std::to_string(run.from.Width()) + " x " +
                std::to_string(run.from.Height()) + " but " + HostPathText(toPath) + " is " +
                std::to_string(run.to.Width()) + " x " + std::to_string(run.to.Height()) +
                ": the pictures must have the same size");
  run.wipe = WipeTable::Standard().Make(o.kind);
  if (!run.wipe)
    throw Error("kind " + std::to_string(o.kind) + " (" + WipeTable::KindName(o.kind) + ") is not available in this build");
  run.target.SetSize(run.from.Width(), run.from.Height(), 32);
  run.target.Copy(0, 0, run.from, run.from.Bounds());
  run.random.State = o.seed;
  run.wipe->SetRandom(&run.random);
  run.wipe->SetReverse(o.reverse);
  if (o.p0) run.wipe->SetParam(0, *o.p0);
  if (o.p1) run.wipe->SetParam(1, *o.p1);
  if (o.name) run.wipe->SetName(*o.name);
  run.wipe->Attach(run.target, run.from, run.to, o.duration);
  run.wipe->Prepare();
}

// One step at time t; once the transition is done the screen shows the incoming picture.
bool StepTo(Run& run, int32_t t) {
  run.wipe->SetTime(t);
  if (!run.wipe->Step()) return false;
  run.target.Copy(0, 0, run.to, run.to.Bounds());
  return true;
}

int Render(const ArgParser& args) {
  args.ExpectPositionals(3, 3);
  const WipeOptions o = ParseOptions(args);
  if (!args.Has("--at")) throw UsageError("--at is required (milliseconds from the start)");
  const auto at = static_cast<int32_t>(Number("--at", args.Value("--at"), 0, std::numeric_limits<int32_t>::max()));
  const auto& pos = args.Positionals();
  Run run;
  Start(run, o, pos[0], pos[1]);
  if (StepTo(run, at))
    std::printf("the transition is done at %d ms (duration %d ms): %s shows the incoming picture\n", at, o.duration,
                pos[2].c_str());
  WritePng(pos[2], run.target);
  return kOk;
}

int Sheet(const ArgParser& args) {
  args.ExpectPositionals(3, 3);
  const WipeOptions o = ParseOptions(args);
  if (!args.Has("--frames")) throw UsageError("--frames is required (2-100)");
  const int frames = static_cast<int>(Number("--frames", args.Value("--frames"), 2, 100));
  const auto& pos = args.Positionals();
  Run run;
  Start(run, o, pos[0], pos[1]);
  const int w = run.target.Width(), h = run.target.Height();
  const int columns = std::min(frames, kSheetColumns), rows = (frames + columns - 1) / columns;
  const int64_t sheetW = int64_t{columns} * w + int64_t{columns - 1} * kSheetGap;
  const int64_t sheetH = int64_t{rows} * h + int64_t{rows - 1} * kSheetGap;
  if (sheetW > 32767 || sheetH > 32767 || sheetW * sheetH > kSheetPixels)
    throw Error("a sheet of " + std::to_string(frames) + " frames of " + std::to_string(w) + " x " +
                std::to_string(h) + " would be " + std::to_string(sheetW) + " x " + std::to_string(sheetH) +
                " pixels, more than orintool writes (at most 32767 on a side and 64 Mpixels): use fewer frames or "
                "smaller pictures");
  ScreenSurface sheet(static_cast<int>(sheetW), static_cast<int>(sheetH), 32);
  sheet.Fill(sheet.Bounds(), kSheetBackground);
  for (int i = 0; i < frames; ++i) {
    const auto t = static_cast<int32_t>(int64_t{i} * o.duration / (frames - 1));
    StepTo(run, t);
    sheet.Copy((i % columns) * (w + kSheetGap), (i / columns) * (h + kSheetGap), run.target, run.target.Bounds());
  }
  WritePng(pos[2], sheet);
  return kOk;
}

int RunWipe(const std::vector<std::string>& all) {
  if (all.empty()) throw UsageError("missing subcommand");
  const std::string sub = all[0];
  std::vector<std::string> rest(all.begin() + 1, all.end());
  const std::vector<std::string> valued = {"--kind", "--p0", "--p1", "--str", "--seed", "--duration"};
  if (sub == "render") {
    std::vector<std::string> v = valued;
    v.push_back("--at");
    return Render(ArgParser(rest, {"--reverse"}, v));
  }
  if (sub == "sheet") {
    std::vector<std::string> v = valued;
    v.push_back("--frames");
    return Sheet(ArgParser(rest, {"--reverse"}, v));
  }
  throw UsageError("unknown subcommand " + sub);
}

}  // namespace

extern const Command kWipeCommand = {
    "wipe", "run a screen transition on two pictures: one frame, or a contact sheet",
    "usage:\n"
    "  orintool wipe render --kind N [--reverse] [--p0 V] [--p1 V] [--str S] [--seed S] --duration T --at t\n"
    "                       FROM.png TO.png OUT.png\n"
    "  orintool wipe sheet --kind N [--reverse] [--p0 V] [--p1 V] [--str S] [--seed S] --duration T --frames K\n"
    "                      FROM.png TO.png OUT.png\n"
    "Runs transition kind N (1-38) from FROM to TO (pictures of one size: .png, .bmp or .dib) as the\n"
    "player's screen flip does: the kind's defaults, then --reverse, --p0, --p1 and the string\n"
    "parameter --str. T and t are milliseconds (T at least 1). --seed seeds the run-time generator the\n"
    "random kinds draw from (default 0).\n"
    "render: the screen after one step at time t; at t >= T the transition is done and OUT shows TO.\n"
    "sheet: K (2-100) evenly spaced steps of one transition from t = 0 to t = T, eight to a row.\n",
    RunWipe};

}  // namespace orin::tool
