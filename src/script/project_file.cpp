#include "script/project_file.h"

#include "core/error.h"
#include "core/text.h"
#include "params/custom_param.h"
#include "params/param_collection.h"
#include "resources/stream.h"

namespace orin {

using namespace literals;

namespace {

// Type byte, name length and the smallest value.
constexpr int64_t kSmallestVariable = 1 + 4 + 1;

}  // namespace

const char* const kDefaultStreamedExtensions = ".wav.wma.ogg.mid";

const std::string& DefaultDiscPrompt() {
  return "ディスク%dを入れてから[OK]をクリックしてください"_sj;
}

const std::string& DefaultQuitMessage() { return "終了します"_sj; }

bool ProjectFile::LoadFromStream(Stream& s) {
  ProjectFile f;
  f.Version = ReadInt32(s);
  if (f.Version > kNewestScriptVersion) {
    Version = f.Version;
    return false;
  }
  f.Title = ReadString(s);
  f.ScreenWidth = ReadInt32(s);
  f.ScreenHeight = ReadInt32(s);
  f.FullScreenWidth = ReadInt32(s);
  f.FullScreenHeight = ReadInt32(s);
  f.StartPage = ReadString(s);
  if (f.Version > 109) f.ExitPage = ReadString(s);
  f.RegistryKey = ReadString(s);
  f.ImageCode = ReadInt32(s);
  f.SaveEnabled = f.Version > 103 ? ReadByte(s) : 1;
  f.FramePacing = f.Version > 105 ? ReadByte(s) : 0;
  if (f.Version > 108) f.StreamedExtensions = ReadString(s);
  f.DiscPrompt = ReadString(s);
  f.QuitMessage = ReadString(s);

  int32_t count = ReadInt32(s);
  if (count < 0 || static_cast<int64_t>(count) * kSmallestVariable > s.Remaining())
    throw Error("damaged project: the initial variables run past the end of the data");
  f.InitialVariables.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    ProjectVariable v;
    v.Type = ReadByte(s);
    v.Name = ReadString(s);
    switch (v.Type) {
      case kTypeInt:
        v.Int = ReadInt32(s);
        break;
      case kTypeFloat:
        s.ReadBuffer(v.Float.data(), static_cast<int64_t>(v.Float.size()));
        break;
      case kTypeFlag:
        v.Flag = ReadByte(s);
        break;
      case kTypeStr:
        v.Str = ReadString(s);
        break;
      default:
        throw Error(Format("damaged project: initial variable %d has the type %d", i, v.Type));
    }
    f.InitialVariables.push_back(std::move(v));
  }
  f.FolderDisks.LoadFromStream(s);
  *this = std::move(f);
  return true;
}

void ProjectFile::SaveToStream(Stream& s) const {
  WriteInt32(s, Version);
  WriteString(s, Title);
  WriteInt32(s, ScreenWidth);
  WriteInt32(s, ScreenHeight);
  WriteInt32(s, FullScreenWidth);
  WriteInt32(s, FullScreenHeight);
  WriteString(s, StartPage);
  if (Version > 109) WriteString(s, ExitPage);
  WriteString(s, RegistryKey);
  WriteInt32(s, ImageCode);
  if (Version > 103) WriteByte(s, SaveEnabled);
  if (Version > 105) WriteByte(s, FramePacing);
  if (Version > 108) WriteString(s, StreamedExtensions);
  WriteString(s, DiscPrompt);
  WriteString(s, QuitMessage);
  WriteInt32(s, static_cast<int32_t>(InitialVariables.size()));
  for (const ProjectVariable& v : InitialVariables) {
    WriteByte(s, v.Type);
    WriteString(s, v.Name);
    switch (v.Type) {
      case kTypeInt:
        WriteInt32(s, v.Int);
        break;
      case kTypeFloat:
        s.WriteBuffer(v.Float.data(), static_cast<int64_t>(v.Float.size()));
        break;
      case kTypeFlag:
        WriteByte(s, v.Flag);
        break;
      case kTypeStr:
        WriteString(s, v.Str);
        break;
      default:
        throw Error(Format("initial variable %s has the type %d, which has no value", v.Name, v.Type));
    }
  }
  FolderDisks.SaveToStream(s);
}

void ProjectFile::ApplyInitialVariables(TParamCollection& vars) const {
  for (const ProjectVariable& v : InitialVariables) {
    if (vars.FindVariable(v.Name)) continue;
    TParamCollectionItem& item = vars.AddVariable(v.Type, v.Name);
    item.IsPersistent = true;
    switch (v.Type) {
      case kTypeInt:
        item.Value->SetAsInt(v.Int);
        break;
      case kTypeFloat:
        item.Value->SetAsFloat(ExtendedToLongDouble(v.Float.data()));
        break;
      case kTypeFlag:
        item.Value->SetAsFlag(v.Flag != 0);
        break;
      default:
        item.Value->SetAsStr(v.Str);
        break;
    }
  }
}

}  // namespace orin
