#include "resources/install_set.h"

#include <limits>

#include "core/cp932.h"
#include "core/error.h"
#include "core/text.h"

namespace orin {

namespace {

// Counts in install.dat are read as the installer reads them: a negative one means no items.
size_t ReadCount(ByteReader& r, uint64_t itemSize, const char* what) {
  const int32_t n = r.I32(what);
  return r.Count(n < 0 ? 0 : n, itemSize, what);
}

std::vector<std::string> ReadTextList(ByteReader& r, bool skipEmpty, const char* what) {
  const size_t n = ReadCount(r, 4, what);
  std::vector<std::string> list;
  list.reserve(n);
  for (size_t i = 0; i < n; ++i) {
    std::string t = r.String(what);
    if (!skipEmpty || !t.empty()) list.push_back(std::move(t));
  }
  return list;
}

std::string FileLabel(const std::string& hostPath) {
  auto name = Utf8ToCp932(hostPath);
  return name ? *name : hostPath;
}

void Read(TOrinInstallSet& set, Stream& s, const std::string& name) {
  set = TOrinInstallSet();
  StreamBytes bytes(s);
  ByteReader r = bytes.Reader(name + ": damaged install data");
  const auto head = r.Remaining() >= 5 ? r.Bytes(5, "the version") : std::span<const uint8_t>();
  if (!head.empty() && head[0] == 'i' && head[1] == 's') {
    int v = 0;
    for (int i = 2; i < 5 && v >= 0; ++i)
      v = head[i] >= '0' && head[i] <= '9' ? v * 10 + (head[i] - '0') : -1;
    set.Version = v < 0 ? 0 : v;  // an unreadable number counts as 0, the data still follows it
  } else {
    r.Seek(0, "the version");
  }
  const int width = set.Version < 100 ? 4 : 8;
  auto value = [&](const char* what) { return width == 8 ? r.I64(what) : int64_t{r.I32(what)}; };

  set.DiscIndex = r.I32("the disc index");
  set.Title = r.String("the title");
  set.Text1 = r.String("an installer text");
  set.Text2 = r.String("an installer text");
  set.Text3 = r.String("an installer text");
  set.Flag1 = r.U8("an installer flag");
  set.Text4 = r.String("an installer text");
  set.Flag2 = r.U8("an installer flag");
  const size_t entryCount = ReadCount(r, 4 * width, "the entries");
  set.Text5 = r.String("an installer text");
  set.Number1 = r.I32("an installer number");
  set.Flag3 = r.U8("an installer flag");
  set.Flag4 = r.U8("an installer flag");
  set.Text6 = r.String("an installer text");
  set.Text7 = r.String("an installer text");
  r.Count(static_cast<int64_t>(entryCount), 4 * width, "the entries");
  set.Entries.resize(entryCount);
  for (auto& entry : set.Entries)
    for (auto& v : entry) v = value("the entries");
  for (auto& v : set.Values) v = value("an installer value");
  set.Flag5 = r.U8("an installer flag");
  if (set.Version >= 101) set.Flag6 = r.U8("an installer flag");
  if (set.Version >= 102) set.FileList = ReadTextList(r, true, "the file names");
  if (set.Version >= 103) set.FullInstall = r.U8("the full-install flag");
  if (set.Version >= 104) set.Flag7 = r.U8("an installer flag");
  if (set.Version >= 105) set.Flag8 = r.U8("an installer flag");
  if (set.Version >= 106) set.ExtraList = ReadTextList(r, false, "the extra names");
  if (set.Version >= 107) set.Text8 = r.String("the installer's closing text");
  bytes.Finish(r);
}

}  // namespace

void TOrinInstallSet::LoadFromStream(Stream& s) { Read(*this, s, "install.dat"); }

void TOrinInstallSet::LoadFromFile(const std::string& hostPath) {
  MemoryStream data;
  data.LoadFromFile(hostPath);
  Read(*this, data, FileLabel(hostPath));
}

void TOrinInstallSet::SaveToStream(Stream& target, int version) const {
  if (version < 0 || version > 999) throw Error(Format("install.dat: version %d cannot be written", version));
  const int width = version < 100 ? 4 : 8;
  // Assembled first, so that nothing reaches the target when a value does not fit.
  MemoryStream s;
  auto writeValue = [&](int64_t v) {
    if (width == 8) {
      WriteInt64(s, v);
      return;
    }
    if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
      throw Error(Format("install.dat: a value does not fit in 4 bytes for version %d", version));
    WriteInt32(s, static_cast<int32_t>(v));
  };
  auto writeList = [&](const std::vector<std::string>& list) {
    WriteInt32(s, static_cast<int32_t>(list.size()));
    for (const auto& t : list) WriteString(s, t);
  };

  if (version > 0) {
    std::string header = Format("is%.3d", version);
    s.WriteBuffer(header.data(), static_cast<int64_t>(header.size()));
  }
  WriteInt32(s, DiscIndex);
  WriteString(s, Title);
  WriteString(s, Text1);
  WriteString(s, Text2);
  WriteString(s, Text3);
  WriteByte(s, Flag1);
  WriteString(s, Text4);
  WriteByte(s, Flag2);
  WriteInt32(s, static_cast<int32_t>(Entries.size()));
  WriteString(s, Text5);
  WriteInt32(s, Number1);
  WriteByte(s, Flag3);
  WriteByte(s, Flag4);
  WriteString(s, Text6);
  WriteString(s, Text7);
  for (const auto& entry : Entries)
    for (int64_t v : entry) writeValue(v);
  for (int64_t v : Values) writeValue(v);
  WriteByte(s, Flag5);
  if (version >= 101) WriteByte(s, Flag6);
  if (version >= 102) writeList(FileList);
  if (version >= 103) WriteByte(s, FullInstall);
  if (version >= 104) WriteByte(s, Flag7);
  if (version >= 105) WriteByte(s, Flag8);
  if (version >= 106) writeList(ExtraList);
  if (version >= 107) WriteString(s, Text8);
  target.WriteBuffer(s.Data(), static_cast<int64_t>(s.Size()));
}

void TOrinInstallSet::SaveToFile(const std::string& hostPath, int version) const {
  MemoryStream data;
  SaveToStream(data, version);
  data.SaveToFile(hostPath);
}

int TOrinInstallSet::IndexOfFileName(std::string_view name) const {
  for (size_t i = 0; i < FileList.size(); ++i)
    if (SameText(FileList[i], name)) return static_cast<int>(i);
  return -1;
}

void TOrinInstallSet::AddFileName(std::string name) {
  if (IndexOfFileName(name) < 0) FileList.push_back(std::move(name));
}

}  // namespace orin
