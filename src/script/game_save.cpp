#include "script/game_save.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/byte_reader.h"
#include "core/cp932.h"
#include "core/error.h"
#include "core/text.h"
#include "params/db_manager.h"
#include "params/param_collection.h"
#include "params/param_text.h"
#include "resources/big_stream.h"
#include "resources/file_collection.h"
#include "resources/host_error.h"
#include "resources/stream.h"
#include "scene/model/orin_base_list.h"
#include "script/call_man.h"
#include "script/game_context.h"
#include "script/page.h"
#include "script/save_sections.h"
#include "script/versions.h"

namespace orin {

using namespace literals;

std::string SlotEntryName(int32_t slot) { return Format("%s%d", kSlotEntryPrefix, slot); }

std::vector<SlotCaption> ReadSlotCaptions(TVrFileCollection& saves) {
  std::vector<SlotCaption> captions;
  const std::string_view prefix = kSlotEntryPrefix;
  for (int i = 0; i < saves.Count(); ++i) {
    const std::string name = saves.Item(i).Name();
    if (!StartsWithText(name, prefix)) continue;
    const std::optional<int32_t> slot = ParseInt(std::string_view(name).substr(prefix.size()));
    if (!slot || *slot == -1) continue;
    try {
      MemoryStream entry;
      saves.LoadEntry(entry, name);
      ByteReader r(entry.Data(), entry.Size(), name);
      r.I32("the version");
      captions.push_back({r.String("the caption"), *slot});
    } catch (const Error&) {
      // A slot too damaged to give its caption is not offered.
    }
  }
  return captions;
}

void WriteSlot(Stream& s, GameContext& game, const TCallMan& interpreter, const std::string& caption,
               const std::string& resumePage, int32_t resumeIndex) {
  WriteInt32(s, kSaveDataVersion);
  WriteString(s, caption);
  WriteString(s, resumePage);
  WriteInt32(s, resumeIndex);
  game.Scene().Save(s, kSaveDataVersion);
  game.Sections().SaveHistory(s);
  interpreter.Save(s);
  game.Vars().SaveGame(s);
  game.Tables().SaveTables(s, false);
}

namespace {

// Runs one section of a save; its errors say which section failed.
template <class F>
void Section(const char* name, F&& read) {
  try {
    read();
  } catch (Error& e) {
    e.AddContext(std::string("while reading ") + name);
    throw;
  }
}

}  // namespace

void ReadSlot(Stream& s, GameContext& game, TCallMan& interpreter) {
  std::string resumePage;
  int32_t resumeIndex = 0, version = 0;
  {
    StreamBytes bytes(s);
    ByteReader r = bytes.Reader("damaged save");
    version = r.I32("the version");
    if (version < kOldestLoadableSave) throw Error(Format("save slot of version %d is too old", version));
    r.SkipString("the caption");
    resumePage = r.String("the resume page");
    resumeIndex = r.I32("the resume index");
    bytes.Finish(r);
  }
  Section("the scene", [&] { game.Scene().Load(s, version); });
  Section("the message history", [&] { game.Sections().LoadHistory(s, version); });
  Section("the interpreter", [&] { interpreter.Load(s, version); });
  if (!resumePage.empty()) {
    // The resume page runs first and, when it ends, returns to the saved place.
    if (interpreter.CurrentPage()) {
      std::unique_ptr<TStack> frame = interpreter.FrameOfCurrent(false);
      interpreter.Push(std::move(frame));
    }
    TPage* page = interpreter.LoadPage(resumePage);
    interpreter.SetPosition(page, resumeIndex > 0 ? resumeIndex : 0);
  }
  Section("the game variables", [&] { game.Vars().LoadGame(s, version); });
  if (version > 122) Section("the game tables", [&] { game.Tables().LoadTables(s, false); });
  game.Sections().AfterGameLoad(game.Scene());
}

void WriteStatus(Stream& s, GameContext& game) {
  const std::string head = Format("Status%.3d", kStatusDataVersion);
  s.WriteBuffer(head.data(), static_cast<int64_t>(head.size()));
  game.Vars().SavePersistent(s);
  game.Sections().SaveReadList(s);
  game.Sections().SaveImageCollection(s);
  game.Tables().SaveTables(s, true);
}

void ReadStatus(Stream& s, GameContext& game) {
  int version = 0;
  const int64_t start = s.GetPosition();
  char head[9];
  if (s.Remaining() >= 9 && (s.ReadBuffer(head, 9), std::memcmp(head, "Status", 6) == 0)) {
    for (int i = 6; i < 9; ++i) {
      if (head[i] < '0' || head[i] > '9') {
        version = 0;
        break;
      }
      version = version * 10 + (head[i] - '0');
    }
  } else {
    s.SetPosition(start);
  }
  Section("the persistent variables", [&] { game.Vars().LoadPersistent(s, version); });
  Section("the read list", [&] { game.Sections().LoadReadList(s, version); });
  Section("the image collection", [&] { game.Sections().LoadImageCollection(s, version); });
  if (version > 102) Section("the persistent tables", [&] { game.Tables().LoadTables(s, true); });
}

void WriteSaveFile(const std::string& hostPath, std::string_view image, int64_t limit) {
  static_assert(kMaxSaveFileSize == TTpBigFileStream::kVolumeSize);
  if (static_cast<int64_t>(image.size()) > limit)
    throw Error(Format("%s:セーブデータが大きすぎるため保存できません（%d バイト、上限 %d バイト）。元のファイルはそのままです"_sj,
                       HostPathText(hostPath), static_cast<int64_t>(image.size()), limit));
  ReplaceFile(hostPath, image);
}

Error UnreadableSaveFile(const std::string& hostPath, const Error& cause) {
  Error e(Format("%s:セーブデータが壊れているため保存できません"_sj, HostPathText(hostPath)));
  e.AddContext(cause.Message());
  for (const std::string& line : cause.Context()) e.AddContext(line);
  return e;
}

void ReplaceFile(const std::string& hostPath, std::string_view bytes) {
  std::string temp = hostPath + ".XXXXXX";
  const int fd = mkstemp(temp.data());
  if (fd < 0) ThrowHostError(hostPath, "cannot write");
  size_t done = 0;
  bool ok = true;
  while (ok && done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      break;
    }
    done += static_cast<size_t>(n);
  }
  int error = ok ? 0 : errno;
  if (ok && ::fsync(fd) != 0) {
    ok = false;
    error = errno;
  }
  if (::close(fd) != 0 && ok) {
    ok = false;
    error = errno;
  }
  // mkstemp makes the file private; saves are as readable as other files the user writes.
  if (ok) {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::chmod(temp.c_str(), 0666 & ~mask);
  }
  if (ok && ::rename(temp.c_str(), hostPath.c_str()) != 0) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    errno = error != 0 ? error : EIO;
    ThrowHostError(hostPath, "cannot write");
  }
  // The rename lives in the folder: until the folder reaches the disk a power cut may bring the
  // old file back. A file system that cannot sync folders has nothing better to offer.
  const size_t slash = hostPath.rfind('/');
  const std::string folder =
      slash == std::string::npos ? std::string(".") : hostPath.substr(0, slash + 1);
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
}

}  // namespace orin
