#include "scene/model/mura_collection.h"

#include "core/cp932.h"
#include "core/error.h"
#include "imaging/mura.h"
#include "resources/file_manager.h"
#include "resources/stream.h"

namespace orin {

std::shared_ptr<const FrameDrawable> TMuraCollection::Picture(const std::string& name) {
  if (name.empty()) return nullptr;
  const std::string key = UpperCase(name);
  if (auto it = items_.find(key); it != items_.end()) return it->second;
  std::shared_ptr<FrameDrawable> picture;
  if (files_) {
    try {
      MemoryStream content;
      files_->LoadToStream(content, name);
      content.SetPosition(0);
      TMuraFrameList frames(key_);
      frames.LoadPictureFromStream(content, name, true);
      if (frames.Count() > 0) {
        picture = std::make_shared<FrameDrawable>();
        CopyToDrawable(frames[0], *picture);
      }
    } catch (const Error&) {
      // A picture the game cannot have shows as nothing; the text around it still lays out.
      picture.reset();
    }
  }
  items_.emplace(key, picture);
  return picture;
}

void TMuraCollection::Add(const std::string& name, std::shared_ptr<const FrameDrawable> picture) {
  items_[UpperCase(name)] = std::move(picture);
}

}  // namespace orin
