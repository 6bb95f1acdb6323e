#include "resources/install_set.h"

#include <limits>

#include "core/cp932.h"
#include "core/error.h"
#include "core/text.h"

namespace orin {

namespace {

// Reads with every length checked against what the stream has left; errors carry the label.
class Reader {
 public:
  Reader(Stream& s, std::string label) : s_(s), label_(std::move(label)) {}

  [[noreturn]] void Damaged(const std::string& what) const {
    throw Error(label_ + ": damaged install data: " + what);
  }
  void Need(int64_t bytes, const char* what) {
    if (bytes > s_.Remaining()) Damaged(std::string(what) + " is cut short");
  }
  uint8_t Byte(const char* what) {
    Need(1, what);
    return ReadByte(s_);
  }
  int32_t Int32(const char* what) {
    Need(4, what);
    return ReadInt32(s_);
  }
  int64_t Value(int width, const char* what) {
    Need(width, what);
    return width == 8 ? ReadInt64(s_) : int64_t{ReadInt32(s_)};
  }
  std::string Text(const char* what) {
    int32_t length = Int32(what);
    if (length <= 0) return {};
    if (length > s_.Remaining()) Damaged(Format("a text of %d bytes runs past the end of the data", length));
    std::string r(static_cast<size_t>(length), '\0');
    s_.ReadBuffer(r.data(), length);
    return r;
  }
  // A count of items of at least itemSize bytes each; negative reads as 0.
  size_t Count(int64_t itemSize, const char* what) {
    int32_t n = Int32(what);
    if (n <= 0) return 0;
    if (n * itemSize > s_.Remaining()) Damaged(Format("%d %s do not fit in the data", n, what));
    return static_cast<size_t>(n);
  }
  std::vector<std::string> TextList(bool skipEmpty, const char* what) {
    size_t n = Count(4, what);
    std::vector<std::string> list;
    list.reserve(n);
    for (size_t i = 0; i < n; ++i) {
      std::string t = Text(what);
      if (!skipEmpty || !t.empty()) list.push_back(std::move(t));
    }
    return list;
  }

 private:
  Stream& s_;
  std::string label_;
};

std::string FileLabel(const std::string& hostPath) {
  auto name = Utf8ToCp932(hostPath);
  return name ? *name : hostPath;
}

void Read(TOrinInstallSet& set, Reader& r, Stream& s) {
  set = TOrinInstallSet();
  const int64_t start = s.GetPosition();
  uint8_t header[5];
  if (s.Read(header, 5) == 5 && header[0] == 'i' && header[1] == 's') {
    int v = 0;
    for (int i = 2; i < 5 && v >= 0; ++i)
      v = header[i] >= '0' && header[i] <= '9' ? v * 10 + (header[i] - '0') : -1;
    set.Version = v < 0 ? 0 : v;  // an unreadable number counts as 0, the data still follows it
  } else {
    s.SetPosition(start);
  }
  const int width = set.Version < 100 ? 4 : 8;

  set.DiscIndex = r.Int32("the disc index");
  set.Title = r.Text("the title");
  set.Text1 = r.Text("the installer's texts");
  set.Text2 = r.Text("the installer's texts");
  set.Text3 = r.Text("the installer's texts");
  set.Flag1 = r.Byte("the installer's flags");
  set.Text4 = r.Text("the installer's texts");
  set.Flag2 = r.Byte("the installer's flags");
  const size_t entryCount = r.Count(4 * width, "entries");
  set.Text5 = r.Text("the installer's texts");
  set.Number1 = r.Int32("the installer's number");
  set.Flag3 = r.Byte("the installer's flags");
  set.Flag4 = r.Byte("the installer's flags");
  set.Text6 = r.Text("the installer's texts");
  set.Text7 = r.Text("the installer's texts");
  r.Need(static_cast<int64_t>(entryCount) * 4 * width, "the entries");
  set.Entries.resize(entryCount);
  for (auto& entry : set.Entries)
    for (auto& v : entry) v = r.Value(width, "the entries");
  for (auto& v : set.Values) v = r.Value(width, "the installer's values");
  set.Flag5 = r.Byte("the installer's flags");
  if (set.Version >= 101) set.Flag6 = r.Byte("the installer's flags");
  if (set.Version >= 102) set.FileList = r.TextList(true, "file names");
  if (set.Version >= 103) set.FullInstall = r.Byte("the full-install flag");
  if (set.Version >= 104) set.Flag7 = r.Byte("the installer's flags");
  if (set.Version >= 105) set.Flag8 = r.Byte("the installer's flags");
  if (set.Version >= 106) set.ExtraList = r.TextList(false, "extra names");
  if (set.Version >= 107) set.Text8 = r.Text("the installer's closing text");
}

}  // namespace

void TOrinInstallSet::LoadFromStream(Stream& s) {
  Reader r(s, "install.dat");
  Read(*this, r, s);
}

void TOrinInstallSet::LoadFromFile(const std::string& hostPath) {
  MemoryStream data;
  data.LoadFromFile(hostPath);
  Reader r(data, FileLabel(hostPath));
  Read(*this, r, data);
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
