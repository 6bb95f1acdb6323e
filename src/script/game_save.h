// Game saves and the status data, the records inside "save.dat".
//
// "save.dat" is an archive (resources/file_collection.h) with one entry per slot,
// "GAMESAVEDATA" + the slot number in decimal, and one entry "STATUSSAVEDATA".
//
// Slot entry: save version (int32, written as 134), caption, resume page (strings), resume index
// (int32), the scene (scene/orin_base_list.h), the message history (script/save_sections.h), the
// interpreter (script/call_man.h), the game variables (TParamCollection::SaveGame) and the game
// tables (TDBManager). Slots below version 107 are refused; the tables are read from versions
// above 122; every section reader takes the slot's version.
//
// Status entry: "Status103" (nine bytes, no length), the persistent variables, the read list,
// the image collection and the persistent tables. An entry that does not begin with "Status" is
// read from its first byte as version 0; the tables are read from versions above 102.
//
// Files are replaced whole and atomically: the new archive is written to a temporary file beside
// the old one and renamed over it, so a failed write never destroys the saves that were there.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orin {

class Error;
class GameContext;
class MemoryStream;
class Stream;
class TCallMan;
class TVrFileCollection;

constexpr const char* kSlotEntryPrefix = "GAMESAVEDATA";
constexpr const char* kStatusEntryName = "STATUSSAVEDATA";
// Slots below this version cannot be loaded.
constexpr int32_t kOldestLoadableSave = 107;

std::string SlotEntryName(int32_t slot);

struct SlotCaption {
  std::string Caption;
  int32_t Slot = 0;
};

// The captions of every slot entry of an open save archive, in entry order. Entries whose name
// does not end in a number, and entries too damaged to give a caption, are left out.
std::vector<SlotCaption> ReadSlotCaptions(TVrFileCollection& saves);

// The slot entry's record.
void WriteSlot(Stream& s, GameContext& game, const TCallMan& interpreter, const std::string& caption,
               const std::string& resumePage, int32_t resumeIndex);
// Restores a slot record: scene, history, interpreter (then the resume page, when the slot has
// one, runs first and returns to the saved place), variables and tables. Throws Error when the
// slot is older than 107 or damaged; the game is then in no state to go on.
void ReadSlot(Stream& s, GameContext& game, TCallMan& interpreter);

void WriteStatus(Stream& s, GameContext& game);
// Reads what the entry holds; throws Error on damage (what was read before stays).
void ReadStatus(Stream& s, GameContext& game);

// Writes bytes to hostPath through a temporary file in the same folder and a rename. Throws
// Error (the path first) when that fails; the old file is then untouched.
void ReplaceFile(const std::string& hostPath, std::string_view bytes);

// The largest "save.dat" the player writes: what the archive reader reads from one file (one
// volume, 1 GiB). A larger file would be written and then refused on every later load.
constexpr int64_t kMaxSaveFileSize = int64_t{1} << 30;
// Writes the archive image of "save.dat" with ReplaceFile. An image larger than limit is refused
// before anything is written: Error in the game's language, the old file stays.
void WriteSaveFile(const std::string& hostPath, std::string_view image, int64_t limit = kMaxSaveFileSize);
// The error shown when the existing save file cannot be read for a save: in the game's language,
// with the file's name; the reason goes into the context.
Error UnreadableSaveFile(const std::string& hostPath, const Error& cause);

}  // namespace orin
