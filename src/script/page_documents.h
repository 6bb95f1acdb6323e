// PageDocuments: the stored documents of text-insert commands, read from script pages for the
// message windows and the history (what a window shows after a game load, what a history entry
// lays out again).
//
// Pages the interpreter holds are used as they are; any other page is read through the file
// manager, and the last page read so is kept, as the history commits page after page of the
// same text.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "scene/text/text_services.h"

namespace orin {

class TCallMan;
class TPage;
class TVrFileManager;

class PageDocuments final : public TextDocumentSource {
 public:
  explicit PageDocuments(TVrFileManager& files);
  ~PageDocuments() override;
  PageDocuments(const PageDocuments&) = delete;
  PageDocuments& operator=(const PageDocuments&) = delete;

  // The interpreter whose page cache is looked at first (null: none).
  void SetInterpreter(const TCallMan* interpreter) { interpreter_ = interpreter; }

  std::optional<std::string> TextData(const std::string& pageFile, int32_t commandIndex) override;

 private:
  const TPage* FindPage(const std::string& pageFile);

  TVrFileManager& files_;
  const TCallMan* interpreter_ = nullptr;
  std::unique_ptr<TPage> last_;
};

}  // namespace orin
