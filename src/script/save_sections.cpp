#include "script/save_sections.h"

#include "core/error.h"
#include "resources/stream.h"

namespace orin {

namespace {

int32_t ReadCount(Stream& s, int64_t smallestItem, const char* what) {
  const int32_t n = ReadInt32(s);
  if (n < 0 || n > s.Remaining() / smallestItem)
    throw Error(std::string("damaged save: the ") + what + " count does not fit the data");
  return n;
}

void Skip(Stream& s, int64_t bytes) {
  if (bytes > s.Remaining()) throw Error("damaged save: a record runs past the end of the data");
  s.SetPosition(s.GetPosition() + bytes);
}

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
  if (version < 113) ReadString(s);
  for (int32_t n = ReadCount(s, 16, "history page"); n > 0; --n) {
    ReadString(s);
    Skip(s, 12);
  }
  ReadString(s);
  Skip(s, 16);
  ReadString(s);
  if (version < 113) return;
  Skip(s, 4 + 6 * 4 + 8);
  for (int32_t n = ReadCount(s, 20, "history entry"); n > 0; --n) {
    ReadString(s);
    Skip(s, 16);
    if (version >= 124) ReadString(s);
  }
  if (version >= 124) ReadString(s);
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
  for (int32_t n = ReadCount(s, 8, "read list"); n > 0; --n) {
    ReadString(s);
    const int32_t marks = ReadCount(s, 8, "read mark");
    Skip(s, int64_t{marks} * 8);
  }
  ReadString(s);
  Skip(s, 8);
  ReadString(s);
}

void SaveSections::SaveImageCollection(Stream& s) const { WriteInt32(s, 0); }

void SaveSections::LoadImageCollection(Stream& s, int /*version*/) {
  for (int32_t n = ReadCount(s, 4, "image collection"); n > 0; --n) ReadString(s);
}

}  // namespace orin
