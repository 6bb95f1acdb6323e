#include "scene/model/motion_film.h"

#include <charconv>
#include <optional>
#include <cstring>

#include "core/cp932.h"
#include "core/error.h"
#include "core/text.h"
#include "resources/stream.h"

namespace orin {

namespace {

constexpr char kSignature[4] = {'O', 'M', 'T', 0x1A};

// Bytes of one frame record with these fields.
int64_t FrameBytes(uint32_t fields) {
  int64_t n = 0;
  if (fields & MotionFilm::kPosition) n += 8;
  if (fields & MotionFilm::kZoom) n += 8;
  if (fields & MotionFilm::kAlpha) n += 4;
  if (fields & MotionFilm::kRotation) n += 4;
  if (fields & MotionFilm::kDepth) n += 4;
  if (fields & MotionFilm::kImage) n += 8;
  return n;
}

Error Damaged(const char* what) { return Error(std::string("motion file: ").append(what)); }

}  // namespace

void MotionFilm::Validate() const {
  if (Fields & ~uint32_t{kAllFields}) throw Damaged("unknown frame fields");
  if (Frames.empty() ? LoopStart != 0 : LoopStart < 0 || LoopStart >= FrameCount())
    throw Damaged("the loop-start frame lies outside the frames");
  if (Has(kImage))
    for (const MotionFrame& f : Frames)
      if (f.ImageFile < -1 || f.ImageFile >= static_cast<int32_t>(ImageFiles.size()))
        throw Damaged("a frame names an image file that is not listed");
}

void MotionFilm::Read(Stream& s) {
  char signature[4];
  if (s.Read(signature, 4) != 4 || std::memcmp(signature, kSignature, 4) != 0) throw Damaged("not a motion file");
  if (s.Remaining() < 20) throw Damaged("the header is cut short");
  const uint16_t version = ReadUInt16(s);
  if (version != kVersion) throw Error(Format("motion file: version %d is not supported", version));
  const uint16_t flags = ReadUInt16(s);
  if (flags & ~1u) throw Damaged("unknown flags");
  MotionFilm film;
  film.Relative = (flags & 1) != 0;
  film.Fields = ReadUInt32(s);
  if (film.Fields & ~uint32_t{kAllFields}) throw Damaged("unknown frame fields");
  const int32_t frames = ReadInt32(s);
  film.LoopStart = ReadInt32(s);
  const int32_t files = ReadInt32(s);
  if (files < 0 || files > s.Remaining() / 4) throw Damaged("bad image-file count");
  film.ImageFiles.reserve(static_cast<size_t>(files));
  for (int32_t i = 0; i < files; ++i) film.ImageFiles.push_back(ReadString(s));
  const int64_t record = FrameBytes(film.Fields);
  // A film whose frames carry no fields only keeps time; its frames take no bytes, so their
  // count is held to about 18 minutes instead.
  if (frames < 0 || (record > 0 ? frames > s.Remaining() / record : frames > (1 << 16)))
    throw Damaged("bad frame count");
  film.Frames.resize(static_cast<size_t>(frames));
  for (MotionFrame& f : film.Frames) {
    if (film.Has(kPosition)) f.X = ReadInt32(s), f.Y = ReadInt32(s);
    if (film.Has(kZoom)) f.ZoomX = ReadInt32(s), f.ZoomY = ReadInt32(s);
    if (film.Has(kAlpha)) f.Alpha = ReadInt32(s);
    if (film.Has(kRotation)) f.Rotation = ReadInt32(s);
    if (film.Has(kDepth)) f.DepthOffset = ReadInt32(s);
    if (film.Has(kImage)) f.ImageFile = ReadInt32(s), f.ImageIndex = ReadInt32(s);
  }
  film.Validate();
  *this = std::move(film);
}

void MotionFilm::Write(Stream& s) const {
  Validate();
  s.WriteBuffer(kSignature, 4);
  WriteUInt16(s, kVersion);
  WriteUInt16(s, Relative ? 1 : 0);
  WriteUInt32(s, Fields);
  WriteInt32(s, FrameCount());
  WriteInt32(s, LoopStart);
  WriteInt32(s, static_cast<int32_t>(ImageFiles.size()));
  for (const std::string& name : ImageFiles) WriteString(s, name);
  for (const MotionFrame& f : Frames) {
    if (Has(kPosition)) WriteInt32(s, f.X), WriteInt32(s, f.Y);
    if (Has(kZoom)) WriteInt32(s, f.ZoomX), WriteInt32(s, f.ZoomY);
    if (Has(kAlpha)) WriteInt32(s, f.Alpha);
    if (Has(kRotation)) WriteInt32(s, f.Rotation);
    if (Has(kDepth)) WriteInt32(s, f.DepthOffset);
    if (Has(kImage)) WriteInt32(s, f.ImageFile), WriteInt32(s, f.ImageIndex);
  }
}

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// Splits at blanks.
std::vector<std::string_view> Words(std::string_view s) {
  std::vector<std::string_view> words;
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    size_t j = i;
    while (j < s.size() && s[j] != ' ' && s[j] != '\t') ++j;
    if (j > i) words.push_back(s.substr(i, j - i));
    i = j;
  }
  return words;
}

class TextError {
 public:
  explicit TextError(int line) : line_(line) {}
  [[noreturn]] void Fail(const std::string& what) const {
    throw Error(std::string("motion text, line ").append(std::to_string(line_)).append(": ").append(what));
  }

 private:
  int line_;
};

int32_t Number(std::string_view text, const TextError& at) {
  int32_t v = 0;
  const char* end = text.data() + text.size();
  auto [p, ec] = std::from_chars(text.data(), end, v);
  if (ec != std::errc() || p != end) at.Fail(std::string("not a number: ").append(text));
  return v;
}

void Numbers(std::string_view text, int32_t* out, int n, const TextError& at) {
  for (int k = 0; k < n; ++k) {
    const size_t comma = k + 1 < n ? text.find(',') : std::string_view::npos;
    if (k + 1 < n && comma == std::string_view::npos) at.Fail(std::string("expected ").append(std::to_string(n)).append(" numbers"));
    out[k] = Number(text.substr(0, comma), at);
    if (comma != std::string_view::npos) text.remove_prefix(comma + 1);
  }
}

}  // namespace

MotionFilm MotionFilm::ParseText(std::string_view utf8) {
  MotionFilm film;
  MotionFrame current;
  bool loopStartSet = false;
  int lineNo = 0;
  size_t pos = 0;
  while (pos <= utf8.size()) {
    const size_t eol = std::min(utf8.find('\n', pos), utf8.size());
    std::string_view line = utf8.substr(pos, eol - pos);
    pos = eol + 1;
    ++lineNo;
    const TextError at(lineNo);
    if (const size_t hash = line.find('#'); hash != std::string_view::npos) line = line.substr(0, hash);
    line = Trim(line);
    if (line.empty()) continue;
    const std::vector<std::string_view> words = Words(line);
    const std::string_view key = words[0];
    if (key == "relative" || key == "absolute") {
      if (words.size() != 1) at.Fail(std::string("'").append(key).append("' takes no value"));
      film.Relative = key == "relative";
    } else if (key == "loop-start") {
      if (words.size() != 2) at.Fail("'loop-start' takes one number");
      film.LoopStart = Number(words[1], at);
      loopStartSet = true;
    } else if (key == "image") {
      const std::string_view name = Trim(line.substr(5));
      if (name.empty()) at.Fail("'image' needs a file name");
      std::optional<std::string> cp932 = Utf8ToCp932(name);
      if (!cp932) at.Fail("the file name has no cp932 form");
      film.ImageFiles.push_back(*cp932);
    } else if (key == "frame") {
      for (size_t w = 1; w < words.size(); ++w) {
        const size_t eq = words[w].find('=');
        if (eq == std::string_view::npos) at.Fail(std::string("expected KEY=VALUE: ").append(words[w]));
        const std::string_view k = words[w].substr(0, eq), v = words[w].substr(eq + 1);
        int32_t n[2];
        if (k == "pos") {
          Numbers(v, n, 2, at);
          current.X = n[0], current.Y = n[1];
          film.Fields |= kPosition;
        } else if (k == "zoom") {
          Numbers(v, n, 2, at);
          current.ZoomX = n[0], current.ZoomY = n[1];
          film.Fields |= kZoom;
        } else if (k == "alpha") {
          current.Alpha = Number(v, at);
          film.Fields |= kAlpha;
        } else if (k == "rot") {
          current.Rotation = Number(v, at);
          film.Fields |= kRotation;
        } else if (k == "depth") {
          current.DepthOffset = Number(v, at);
          film.Fields |= kDepth;
        } else if (k == "image") {
          Numbers(v, n, 2, at);
          current.ImageFile = n[0], current.ImageIndex = n[1];
          film.Fields |= kImage;
        } else {
          at.Fail(std::string("unknown frame key: ").append(k));
        }
      }
      film.Frames.push_back(current);
    } else if (key == "repeat") {
      if (words.size() != 2) at.Fail("'repeat' takes one number");
      if (film.Frames.empty()) at.Fail("'repeat' before the first frame");
      const int32_t n = Number(words[1], at);
      if (n < 0 || n > 1000000 - film.FrameCount()) at.Fail("bad repeat count");
      film.Frames.insert(film.Frames.end(), static_cast<size_t>(n), film.Frames.back());
    } else {
      at.Fail(std::string("unknown statement: ").append(key));
    }
  }
  if (!loopStartSet) film.LoopStart = 0;
  film.Validate();
  return film;
}

std::string MotionFilm::ToText() const {
  std::string out("# motion, ");
  out.append(std::to_string(FrameCount())).append(" frames at 60 per second\n");
  out.append(Relative ? "relative\n" : "absolute\n");
  if (LoopStart != 0) out.append("loop-start ").append(std::to_string(LoopStart)).append("\n");
  for (const std::string& name : ImageFiles) out.append("image ").append(ToUtf8(name)).append("\n");
  auto pair = [](std::string& line, const char* key, int32_t a, int32_t b) {
    line.append(key).append(std::to_string(a)).append(",").append(std::to_string(b));
  };
  auto one = [](std::string& line, const char* key, int32_t a) { line.append(key).append(std::to_string(a)); };
  for (size_t i = 0; i < Frames.size();) {
    size_t same = i + 1;
    while (same < Frames.size() && Frames[same] == Frames[i]) ++same;
    const MotionFrame& f = Frames[i];
    std::string line("frame");
    if (Has(kPosition)) pair(line, " pos=", f.X, f.Y);
    if (Has(kZoom)) pair(line, " zoom=", f.ZoomX, f.ZoomY);
    if (Has(kAlpha)) one(line, " alpha=", f.Alpha);
    if (Has(kRotation)) one(line, " rot=", f.Rotation);
    if (Has(kDepth)) one(line, " depth=", f.DepthOffset);
    if (Has(kImage)) pair(line, " image=", f.ImageFile, f.ImageIndex);
    out.append(line).append("\n");
    if (same - i > 1) out.append("repeat ").append(std::to_string(same - i - 1)).append("\n");
    i = same;
  }
  return out;
}

}  // namespace orin
