#include "script/save_sections.h"

#include "core/error.h"
#include "resources/stream.h"

namespace orin {

namespace {

constexpr const char* kLabel = "damaged save";

}  // namespace

void SaveSections::SaveHistory(Stream& s) const {
  WriteInt32(s, 0);  // older-form list
  WriteString(s, {});
  WriteInt32(s, 0);
  WriteInt32(s, 0);
  WriteInt32(s, 0);
  WriteInt32(s, 0);
  WriteString(s, {});
  WriteInt32(s, 0);  // maximum entries
  for (int i = 0; i < 6; ++i) WriteInt32(s, 0);
  WriteInt32(s, 0);
  WriteInt32(s, 0);
  WriteInt32(s, 0);  // entries
  WriteString(s, {});
}

void SaveSections::LoadHistory(Stream& s, int version) {
  StreamBytes bytes(s);
  ByteReader r = bytes.Reader(kLabel);
  const char* what = "the history";
  if (version < 113) r.SkipString(what);
  for (size_t n = r.ReadCount(16, "the history pages"); n > 0; --n) {
    r.SkipString(what);
    r.Skip(12, what);
  }
  r.SkipString(what);
  r.Skip(16, what);
  r.SkipString(what);
  if (version >= 113) {
    r.Skip(4 + 6 * 4 + 8, what);
    for (size_t n = r.ReadCount(20, "the history entries"); n > 0; --n) {
      r.SkipString(what);
      r.Skip(16, what);
      if (version >= 124) r.SkipString(what);
    }
    if (version >= 124) r.SkipString(what);
  }
  bytes.Finish(r);
}

void SaveSections::SaveReadList(Stream& s) const {
  WriteInt32(s, 0);
  WriteString(s, {});
  WriteInt32(s, 0);
  WriteInt32(s, 0);
  WriteString(s, {});
}

void SaveSections::LoadReadList(Stream& s, int version) {
  if (version < 100) return;
  StreamBytes bytes(s);
  ByteReader r = bytes.Reader(kLabel);
  const char* what = "the read list";
  for (size_t n = r.ReadCount(8, what); n > 0; --n) {
    r.SkipString(what);
    r.Skip(r.ReadCount(8, "the read marks") * 8, "the read marks");
  }
  r.SkipString(what);
  r.Skip(8, what);
  r.SkipString(what);
  bytes.Finish(r);
}

void SaveSections::SaveImageCollection(Stream& s) const { WriteInt32(s, 0); }

void SaveSections::LoadImageCollection(Stream& s, int /*version*/) {
  StreamBytes bytes(s);
  ByteReader r = bytes.Reader(kLabel);
  for (size_t n = r.ReadCount(4, "the image collection"); n > 0; --n) r.SkipString("the image collection");
  bytes.Finish(r);
}

}  // namespace orin
