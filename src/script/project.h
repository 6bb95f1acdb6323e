// TProject: the game as a whole — its start (slot captions, status data, the install step with
// the disc search, the project file "orin.opb", the first page), the interpreter it owns, the
// save slots and the pending save and load requests, and its end (exit page, status data).
//
// Start sequence (the constructor): the closing flag is set first, so that any early stop leaves
// the game stopped; it is cleared once the project file has been read, and set again when the
// start page is missing. Messages of the start: "インストールし直してください" (no install.dat),
// "ディスクを入れてください" (no disc found), "プロジェクトがありません" (empty project file),
// "スタートページがありません". An unreadable or too new project file stops the game silently.
//
// Saves: see script/game_save.h. A damaged slot ends the game with "このセーブデータは使用できません"
// CR LF "終了してください". A status entry that cannot be read is left as it is: the game starts
// with what could be read and does not write the status data over it.
//
// What the game does not show goes to the log (files channel): a save file or status entry that
// cannot be read or written and why, a slot that would not load, a missing start or exit page.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "resources/file_manager.h"
#include "resources/folder_disk_list.h"
#include "script/call_man.h"
#include "script/game_save.h"
#include "script/page.h"

namespace orin {

class GameContext;

class TProject final : public CallManOwner, public PageMessages, private DiskPrompt {
 public:
  // Runs the start sequence. Errors of damaged files (install.dat, orin.opb, the start page)
  // propagate; the closing flag is then still set.
  explicit TProject(GameContext& game);
  ~TProject() override;
  TProject(const TProject&) = delete;
  TProject& operator=(const TProject&) = delete;

  std::string Title;
  int32_t ScreenWidth = 0;
  int32_t ScreenHeight = 0;
  int32_t FullScreenWidth = 0;
  int32_t FullScreenHeight = 0;
  std::string StartPage;
  std::string ExitPage;
  std::string RegistryKey;
  int32_t ImageCode = 0;
  bool SaveEnabled = true;
  bool FramePacing = true;
  std::string StreamedExtensions;
  std::string DiscPrompt;
  std::string QuitMessage;
  TFolderDiskList FolderDisks;

  // Pending requests, -1 for none.
  int32_t PendingLoad = -1;
  int32_t PendingSave = -1;
  std::string PendingSavePage;
  std::string PendingSaveCaption;
  int32_t PendingSaveIndex = 0;

  std::vector<SlotCaption> Captions;

  // The interpreter; null when the start stopped before it was made.
  TCallMan* CallMan() { return callMan_.get(); }
  // True once the project file was read (the game has a title and a screen).
  bool Loaded() const { return loaded_; }

  // One frame of the interpreter.
  void Run();
  // A pending load, then a pending save; true when a load ran (the frame is not drawn).
  bool EndOfFrame();
  // The exit page, then the status data. Runs once; the destructor runs it when nobody did.
  void Exit();

  // Slot captions.
  std::string GetSlotCaption(int32_t slot) const;
  void SetSlotCaption(int32_t slot, const std::string& caption);

  // Saves and loads a slot now (the end-of-frame hook runs them).
  void SaveSlot(int32_t slot, const std::string& resumePage, int32_t resumeIndex, const std::string& caption);
  void LoadSlot(int32_t slot);
  // Writes the status entry into "save.dat" (only when saves are enabled and its folder exists;
  // errors are ignored).
  void WriteStatusData();

  // CallManOwner
  bool FileAvailable(const std::string& name) override;
  bool FileMissing(const std::string& name) override;
  void RequestSave(int32_t slot, const std::string& page, int32_t index, const std::string& caption) override;
  void RequestLoad(int32_t slot) override;
  PageMessages* Messages() override { return this; }
  // PageMessages
  void RebuildRequired(const std::string& text) override;

 private:
  // DiskPrompt
  bool OkCancel(const std::string& caption, const std::string& text) override;
  void RequestQuit() override;

  void ReadCaptions();
  void RestoreStatusData();
  bool Install();
  bool SearchDiscs(const std::string& identifier);
  void ReadProject();

  GameContext& game_;
  std::unique_ptr<TCallMan> callMan_;
  bool loaded_ = false;
  bool exited_ = false;
  // The status entry was there but could not be read: it is not overwritten.
  bool statusUnreadable_ = false;
};

}  // namespace orin
