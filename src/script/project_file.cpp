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
constexpr uint64_t kSmallestVariable = 1 + 4 + 1;

}  // namespace

const char* const kDefaultStreamedExtensions = ".wav.wma.ogg.mid";

const std::string& DefaultDiscPrompt() {
  return "ディスク%dを入れてから[OK]をクリックしてください"_sj;
}

const std::string& DefaultQuitMessage() { return "終了します"_sj; }

bool ProjectFile::LoadFromStream(Stream& s, const std::string& name) {
  ProjectFile f;
  StreamBytes bytes(s);
  ByteReader r = bytes.Reader(name + ": damaged project");
  f.Version = r.I32("the version");
  if (f.Version > kNewestScriptVersion) {
    Version = f.Version;
    return false;
  }
  f.Title = r.String("the title");
  f.ScreenWidth = r.I32("the screen size");
  f.ScreenHeight = r.I32("the screen size");
  f.FullScreenWidth = r.I32("the full-screen size");
  f.FullScreenHeight = r.I32("the full-screen size");
  f.StartPage = r.String("the start page");
  if (f.Version > 109) f.ExitPage = r.String("the exit page");
  f.RegistryKey = r.String("the registry key");
  f.ImageCode = r.I32("the image code");
  f.SaveEnabled = f.Version > 103 ? r.U8("the save flag") : 1;
  f.FramePacing = f.Version > 105 ? r.U8("the frame pacing") : 0;
  if (f.Version > 108) f.StreamedExtensions = r.String("the streamed extensions");
  f.DiscPrompt = r.String("the disc prompt");
  f.QuitMessage = r.String("the quit message");

  const size_t count = r.ReadCount(kSmallestVariable, "the initial variables");
  f.InitialVariables.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    ProjectVariable v;
    v.Type = r.U8("an initial variable");
    v.Name = r.String("an initial variable");
    switch (v.Type) {
      case kTypeInt:
        v.Int = r.I32("an initial variable");
        break;
      case kTypeFloat:
        r.Read(v.Float.data(), v.Float.size(), "an initial variable");
        break;
      case kTypeFlag:
        v.Flag = r.U8("an initial variable");
        break;
      case kTypeStr:
        v.Str = r.String("an initial variable");
        break;
      default:
        r.Fail(Format("initial variable %d", static_cast<int64_t>(i)), Format("unknown type %d", v.Type));
    }
    f.InitialVariables.push_back(std::move(v));
  }
  bytes.Finish(r);
  try {
    f.FolderDisks.LoadFromStream(s);
  } catch (Error& e) {
    e.AddContext(name + ": while reading the folder-to-disc map");
    throw;
  }
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
