#include "script/project.h"

#include "core/cp932.h"
#include "core/error.h"
#include "core/log.h"
#include "core/text.h"
#include "resources/file_collection.h"
#include "resources/host_fs.h"
#include "resources/install_set.h"
#include "resources/stream.h"
#include "script/flip_transition.h"
#include "script/game_context.h"
#include "script/project_file.h"

namespace orin {

using namespace literals;

namespace {

// The extension of a game name, lower case, with its dot; empty when the last component has none.
std::string LowerExtension(const std::string& name) {
  const size_t dot = FindLastChar(name, '.');
  const size_t separator = FindLastChar(name, '\\');
  if (dot == std::string::npos || (separator != std::string::npos && separator > dot)) return {};
  return LowerCase(std::string_view(name).substr(dot));
}

void AddArchiveOnce(TVrFileManager& files, const std::string& hostPath) {
  for (int i = 0; i < files.Count(); ++i)
    if (files.Items(i).ArchiveName == hostPath) return;
  files.AddArchive(hostPath);
}

}  // namespace

TProject::TProject(GameContext& game) : game_(game) {
  Title = "情報"_sj;
  StreamedExtensions = kDefaultStreamedExtensions;
  DiscPrompt = DefaultDiscPrompt();
  QuitMessage = DefaultQuitMessage();
  game_.SetClosing(true);

  ReadCaptions();
  RestoreStatusData();
  if (!Install()) return;
  ReadProject();
}

TProject::~TProject() {
  try {
    Exit();
  } catch (...) {
    // Freeing the game never fails; the status data is lost at worst.
  }
  callMan_.reset();
}

void TProject::ReadProject() {
  TVrFileManager& files = game_.Files();
  MemoryStream data;
  try {
    files.LoadToStream(data, "orin.opb");
  } catch (const Error& e) {
    game_.Logger().Write(LogLevel::kError, LogChannel::kFiles,
                         "orin.opb: the project file cannot be read", e);
    return;
  }
  if (data.GetSize() == 0) {
    game_.Logger().ErrorLine(LogChannel::kFiles, "orin.opb: the project file is empty");
    game_.ShowMessage("警告"_sj, "プロジェクトがありません"_sj, MessageButtons::kOk, MessageIcon::kWarning);
    return;
  }
  ProjectFile project;
  if (!project.LoadFromStream(data)) {
    game_.Logger().ErrorLine(LogChannel::kFiles,
                             "orin.opb: the project file is newer than this player reads");
    return;
  }
  Title = project.Title;
  game_.SetTitle(Title);
  ScreenWidth = project.ScreenWidth;
  ScreenHeight = project.ScreenHeight;
  FullScreenWidth = project.FullScreenWidth;
  FullScreenHeight = project.FullScreenHeight;
  if (TransitionFactory* transitions = game_.Transitions()) transitions->SetScreenSize(ScreenWidth, ScreenHeight);
  StartPage = project.StartPage;
  ExitPage = project.ExitPage;
  RegistryKey = project.RegistryKey;
  ImageCode = project.ImageCode;
  SaveEnabled = project.SaveEnabled != 0;
  FramePacing = project.FramePacing != 0;
  StreamedExtensions = project.StreamedExtensions;
  DiscPrompt = project.DiscPrompt;
  QuitMessage = project.QuitMessage;
  project.ApplyInitialVariables(game_.Vars());
  FolderDisks = project.FolderDisks;
  loaded_ = true;
  game_.SetClosing(false);

  // A game rebuilt for another set of discs keeps its original disc map beside it.
  if (files.Exists("/original_orin.opb")) {
    MemoryStream original;
    files.LoadToStream(original, "/original_orin.opb");
    ProjectFile other;
    if (other.LoadFromStream(original)) FolderDisks = other.FolderDisks;
  }

  callMan_ = std::make_unique<TCallMan>(game_, *this);
  if (files.Exists(StartPage)) {
    callMan_->Start(StartPage);
  } else {
    game_.Logger().ErrorLine(LogChannel::kFiles, StartPage + ": the start page is not in the game");
    game_.ShowMessage("警告"_sj, "スタートページがありません"_sj, MessageButtons::kOk, MessageIcon::kWarning);
    game_.SetClosing(true);
  }
}

// ---- Install step

bool TProject::Install() {
  TVrFileManager& files = game_.Files();
  const std::string folder = game_.GameFolder();
  if (files.BaseFolder.empty() && files.FileSystem().FileExists(folder, "install.dat")) files.SetBaseFolder(folder);
  if (!files.Exists("install.dat")) {
    game_.ShowMessage("情報"_sj, "インストールし直してください"_sj, MessageButtons::kOk,
                      MessageIcon::kInformation);
    return false;
  }
  TOrinInstallSet install;
  {
    MemoryStream data;
    files.LoadToStream(data, "install.dat");
    install.LoadFromStream(data);
  }
  if (auto archive = files.FileSystem().FindFile(folder, "game.dat")) {
    AddArchiveOnce(files, *archive);
    if (install.FullInstall != 0) return true;
  } else if (files.Count() > 0 && install.FullInstall != 0) {
    return true;
  }
  while (true) {
    if (SearchDiscs(install.Title)) return true;
    if (OkCancel("情報"_sj, "ディスクを入れてください"_sj)) continue;
    if (OkCancel(Title, QuitMessage)) return false;
  }
}

bool TProject::SearchDiscs(const std::string& identifier) {
  TVrFileManager& files = game_.Files();
  HostFileSystem& fs = files.FileSystem();
  // A disc change need not show in a listing read before it.
  fs.ForgetListings();
  for (const std::string& root : files.CdRoots) {
    auto archive = fs.FindFile(root, "game.dat");
    auto installFile = fs.FindFile(root, "install.dat");
    if (!archive || !installFile) continue;
    TOrinInstallSet other;
    try {
      other.LoadFromFile(*installFile);
    } catch (const Error&) {
      continue;
    }
    if (other.Title != identifier) continue;
    AddArchiveOnce(files, *archive);
    return true;
  }
  return false;
}

bool TProject::OkCancel(const std::string& caption, const std::string& text) {
  return game_.ShowMessage(caption, text, MessageButtons::kOkCancel, MessageIcon::kInformation) ==
         MessageResult::kOk;
}

void TProject::RequestQuit() {
  game_.SetClosing(true);
  game_.PostClose();
}

bool TProject::FileAvailable(const std::string& name) {
  if (name.empty()) return false;
  TVrFileManager& files = game_.Files();
  if (files.Exists(name)) return true;
  const int32_t disc = FolderDisks.DiskOf(name);
  if (disc <= 0) return false;
  // Streamed media play from where they are or not at all: they never ask for a disc.
  std::string extension = LowerExtension(name);
  extension.push_back('.');
  std::string streamed = LowerCase(StreamedExtensions);
  streamed.push_back('.');
  if (FindText(streamed, extension) != std::string::npos) return false;
  DiskRequest request;
  request.ApplicationTitle = Title;
  request.ProjectTitle = Title;
  request.DiskText = DiscPrompt;
  request.QuitText = QuitMessage;
  return files.AskForDisk(disc, *this, request);
}

bool TProject::FileMissing(const std::string& name) {
  return !name.empty() && !game_.Files().Exists(name) && FolderDisks.DiskOf(name) <= 0;
}

void TProject::RebuildRequired(const std::string& text) {
  game_.SetClosing(true);
  game_.ShowMessage("警告"_sj, text, MessageButtons::kOk, MessageIcon::kWarning);
  game_.PostClose();
}

// ---- Running

void TProject::Run() {
  if (callMan_) callMan_->Run();
}

void TProject::RequestSave(int32_t slot, const std::string& page, int32_t index, const std::string& caption) {
  PendingSave = slot;
  PendingSavePage = page;
  PendingSaveIndex = index;
  PendingSaveCaption = caption;
}

void TProject::RequestLoad(int32_t slot) { PendingLoad = slot; }

bool TProject::EndOfFrame() {
  bool loaded = false;
  if (PendingLoad != -1) {
    const int32_t slot = PendingLoad;
    PendingLoad = -1;
    LoadSlot(slot);
    loaded = true;
  }
  if (PendingSave != -1) {
    const int32_t slot = PendingSave;
    PendingSave = -1;
    // A game that is ending after a failed load has no state worth a slot.
    if (!game_.Closing()) {
      try {
        SaveSlot(slot, PendingSavePage, PendingSaveIndex, PendingSaveCaption);
      } catch (const Error& e) {
        game_.Logger().Write(LogLevel::kError, LogChannel::kFiles,
                             Format("save slot %d was not written", slot), e);
        game_.ShowMessage(Title, e.Message(), MessageButtons::kOk, MessageIcon::kError);
      }
    }
  }
  return loaded;
}

void TProject::Exit() {
  if (exited_) return;
  exited_ = true;
  if (callMan_ && !ExitPage.empty()) {
    try {
      callMan_->Start(ExitPage);
      game_.SetClosing(false);
      callMan_->Run();
    } catch (const Error& e) {
      // A missing exit page ends the game all the same.
      game_.Logger().Write(LogLevel::kWarn, LogChannel::kFiles,
                           ExitPage + ": the exit page did not run", e);
    }
    game_.SetClosing(true);
  }
  WriteStatusData();
}

// ---- Slots

std::string TProject::GetSlotCaption(int32_t slot) const {
  for (const auto& c : Captions)
    if (c.Slot == slot) return c.Caption;
  return {};
}

void TProject::SetSlotCaption(int32_t slot, const std::string& caption) {
  for (auto& c : Captions)
    if (c.Slot == slot) {
      c.Caption = caption;
      return;
    }
  Captions.push_back({caption, slot});
}

void TProject::ReadCaptions() {
  Captions.clear();
  const std::string path = game_.SaveFilePath();
  if (!IsHostFile(path)) return;
  try {
    TVrFileCollection saves(game_.Files().FileSystem());
    saves.Open(path);
    Captions = ReadSlotCaptions(saves);
  } catch (const Error& e) {
    // A damaged save file offers no slots; it is not written over either (see the status data).
    game_.Logger().Write(LogLevel::kWarn, LogChannel::kFiles,
                         FromUtf8(path) + ": the save slots cannot be listed", e);
  }
}

void TProject::RestoreStatusData() {
  const std::string path = game_.SaveFilePath();
  if (!IsHostFile(path)) return;
  try {
    TVrFileCollection saves(game_.Files().FileSystem());
    saves.Open(path);
    if (saves.IndexOf(kStatusEntryName) < 0) return;
    MemoryStream entry;
    saves.LoadEntry(entry, kStatusEntryName);
    ReadStatus(entry, game_);
  } catch (const Error& e) {
    statusUnreadable_ = true;
    game_.Logger().Write(
        LogLevel::kWarn, LogChannel::kFiles,
        FromUtf8(path) +
            ": the status data cannot be read; it is kept as it is and not written over",
        e);
  }
}

void TProject::WriteStatusData() {
  const std::string path = game_.SaveFilePath();
  Log& log = game_.Logger();
  if (statusUnreadable_) {
    log.Warn(
        LogChannel::kFiles,
        FromUtf8(path) + ": the status data is not written: the entry there could not be read");
    return;
  }
  try {
    TVrFileCollection saves(game_.Files().FileSystem());
    saves.Open(path);
    saves.RemoveEntry(kStatusEntryName);
    TVrFile& entry = saves.AddMemoryEntry(kStatusEntryName);
    WriteStatus(*entry.Content, game_);
    TTpBigMemoryStream image;
    saves.Save(image);
    if (!SaveEnabled) {
      log.Info(LogChannel::kFiles, "the status data is not written: the project turns saving off");
    } else if (!IsHostDirectory(HostDirOf(path))) {
      log.Warn(LogChannel::kFiles,
               FromUtf8(path) + ": the status data is not written: the folder is not there");
    } else {
      WriteSaveFile(path, image.Memory().View());
    }
  } catch (const Error& e) {
    // The status data is a convenience; the game goes on without it.
    log.Write(LogLevel::kWarn, LogChannel::kFiles,
              FromUtf8(path) + ": the status data was not written", e);
  }
}

void TProject::SaveSlot(int32_t slot, const std::string& resumePage, int32_t resumeIndex,
                        const std::string& caption) {
  if (caption.empty() || !callMan_) return;
  const std::string path = game_.SaveFilePath();
  TTpBigMemoryStream image;
  {
    TVrFileCollection saves(game_.Files().FileSystem());
    try {
      saves.Open(path);
    } catch (const Error& e) {
      throw UnreadableSaveFile(path, e);
    }
    const std::string name = SlotEntryName(slot);
    saves.RemoveEntry(name);
    TVrFile& entry = saves.AddMemoryEntry(name);
    WriteSlot(*entry.Content, game_, *callMan_, caption, resumePage, resumeIndex);
    try {
      saves.Save(image);  // reads the other slots from the old file
    } catch (const Error& e) {
      throw UnreadableSaveFile(path, e);
    }
  }
  WriteSaveFile(path, image.Memory().View());
  // Only a slot that reached the disk is offered.
  SetSlotCaption(slot, caption);
  WriteStatusData();
}

void TProject::LoadSlot(int32_t slot) {
  const std::string path = game_.SaveFilePath();
  if (!callMan_ || !IsHostFile(path)) return;
  try {
    TVrFileCollection saves(game_.Files().FileSystem());
    saves.Open(path);
    const std::string name = SlotEntryName(slot);
    if (saves.IndexOf(name) < 0) return;
    MemoryStream data;
    saves.LoadEntry(data, name);
    ReadSlot(data, game_, *callMan_);
  } catch (const Error& e) {
    game_.Logger().Write(LogLevel::kError, LogChannel::kFiles,
                         Format("save slot %d cannot be loaded", slot), e);
    game_.SetClosing(true);
    std::string text = "このセーブデータは使用できません"_sj;
    text.append("\r\n").append("終了してください"_sj);
    game_.ShowMessage(Title, text, MessageButtons::kOk, MessageIcon::kWarning);
    game_.PostClose();
  }
}

}  // namespace orin
