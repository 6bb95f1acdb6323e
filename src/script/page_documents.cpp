#include "script/page_documents.h"

#include "core/error.h"
#include "script/call_man.h"
#include "script/commands_text.h"
#include "script/page.h"

namespace orin {

PageDocuments::PageDocuments(TVrFileManager& files) : files_(files) {}
PageDocuments::~PageDocuments() = default;

const TPage* PageDocuments::FindPage(const std::string& pageFile) {
  if (interpreter_)
    for (const auto& page : interpreter_->Pages())
      if (page->Name == pageFile) return page.get();
  if (last_ && last_->Name == pageFile) return last_.get();
  auto page = std::make_unique<TPage>();
  try {
    if (page->Load(files_, pageFile, nullptr) != PageLoadResult::kLoaded) return nullptr;
  } catch (const Error&) {
    return nullptr;
  }
  last_ = std::move(page);
  return last_.get();
}

std::optional<std::string> PageDocuments::TextData(const std::string& pageFile, int32_t commandIndex) {
  if (pageFile.empty()) return std::nullopt;
  const TPage* page = FindPage(pageFile);
  if (!page || commandIndex < 0 || commandIndex >= page->Count()) return std::nullopt;
  const TCommand& command = *page->Commands[static_cast<size_t>(commandIndex)];
  if (command.Kind() != ComKind::TextIns) return std::nullopt;
  return static_cast<const TComTextIns&>(command).TextData;
}

}  // namespace orin
