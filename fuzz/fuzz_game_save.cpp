// A whole save slot or status entry from untrusted bytes, through the load entry points the
// project uses (ReadSlot, ReadStatus) on the pieces a game has: loading either works or throws
// orin::Error; a slot that loaded is saved again. The first byte chooses slot or status data.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/error.h"
#include "params/db_manager.h"
#include "params/param_collection.h"
#include "params/system_functions.h"
#include "resources/file_manager.h"
#include "resources/stream.h"
#include "resources/temp_folder.h"
#include "scene/model/orin_base_list.h"
#include "script/call_man.h"
#include "script/game_context.h"
#include "script/game_save.h"
#include "script/save_sections.h"

namespace {

class FuzzGame final : public orin::GameContext, public orin::CallManOwner {
 public:
  FuzzGame() : files(tempFolder, pending, {}), functions(tables), scene(&files), callMan(*this, *this) {
    files.AddArchive("");
    scene.SetSize(64, 48);
    vars.SetFunctions(&functions);
  }
  ~FuzzGame() override { vars.SetFunctions(nullptr); }

  orin::TParamCollection& Vars() override { return vars; }
  orin::TOrinBaseList& Scene() override { return scene; }
  orin::TVrFileManager& Files() override { return files; }
  orin::TDBManager& Tables() override { return tables; }
  orin::SaveSections& Sections() override { return sections; }
  int32_t RunningClock() const override { return 0; }
  int32_t FrameDelta() const override { return 16; }
  bool Closing() const override { return closing; }
  void SetClosing(bool c) override { closing = c; }
  void PostClose() override {}
  void SetTitle(const std::string&) override {}
  orin::MessageResult ShowMessage(const std::string&, const std::string&, orin::MessageButtons, orin::MessageIcon) override {
    return orin::MessageResult::kOk;
  }
  std::string GameFolder() override { return {}; }
  std::string SaveFilePath() override { return {}; }
  bool FileAvailable(const std::string&) override { return false; }
  void RequestSave(int32_t, const std::string&, int32_t, const std::string&) override {}
  void RequestLoad(int32_t) override {}

  orin::TempFolder tempFolder;
  orin::PendingDeletes pending;
  orin::TVrFileManager files;
  orin::TParamCollection vars;
  orin::TDBManager tables;
  orin::SystemFunctions functions;
  orin::TOrinBaseList scene;
  orin::SaveSections sections;
  orin::TCallMan callMan;
  bool closing = false;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  orin::MemoryStream s;
  s.Assign(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
  FuzzGame game;
  try {
    if (data[0] & 1) {
      orin::ReadStatus(s, game);
      orin::MemoryStream out;
      orin::WriteStatus(out, game);
      return 0;
    }
    orin::ReadSlot(s, game, game.callMan);
    orin::MemoryStream out;
    orin::WriteSlot(out, game, game.callMan, "caption", "", 0);
  } catch (const orin::Error&) {
  }
  return 0;
}
