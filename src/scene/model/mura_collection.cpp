#include "scene/model/mura_collection.h"

#include "core/cp932.h"
#include "core/error.h"
#include "imaging/mura.h"
#include "resources/file_manager.h"
#include "resources/stream.h"

namespace orin {

namespace {

// The file name without a "?m" or "?t" suffix, and which one it had.
std::string FileOf(const std::string& name, bool& masks, bool& trim) {
  masks = trim = false;
  if (name.size() >= 2 && name[name.size() - 2] == '?') {
    const char c = name.back();
    if (c == 'm' || c == 'M') masks = true;
    if (c == 't' || c == 'T') trim = true;
    if (masks || trim) return name.substr(0, name.size() - 2);
  }
  return name;
}

}  // namespace

std::shared_ptr<const MuraImages> TMuraCollection::Images(const std::string& name) {
  if (name.empty()) return none_;
  const std::string key = UpperCase(name);
  if (auto it = items_.find(key); it != items_.end()) {
    if (auto alive = it->second.lock()) return alive;
  }
  if (missing_.count(key)) return none_;
  std::shared_ptr<const MuraImages> images = Decode(name);
  if (images->Empty()) {
    missing_.insert(key);
    items_.erase(key);
    return none_;
  }
  // Names of files nobody shows any more are dropped now and then, so the map stays small.
  if (items_.size() >= 256)
    std::erase_if(items_, [](const auto& item) { return item.second.expired(); });
  items_[key] = images;
  return images;
}

std::shared_ptr<const MuraImages> TMuraCollection::Decode(const std::string& name) {
  auto images = std::make_shared<MuraImages>();
  images->Name = name;
  bool masks = false, trim = false;
  const std::string file = FileOf(name, masks, trim);
  if (!files_) return images;
  ++decodes_;
  try {
    MemoryStream content;
    files_->LoadToStream(content, file);
    content.SetPosition(0);
    TMuraFrameList frames(key_);
    frames.LoadPictureFromStream(content, file);
    if (masks) frames.MakeMasks();
    images->Images.resize(static_cast<size_t>(frames.Count()));
    for (int i = 0; i < frames.Count(); ++i) {
      MuraImage& image = images->Images[static_cast<size_t>(i)];
      Rect kept;
      if (trim && frames[i].Trim(kept)) image.OffsetX = kept.Left, image.OffsetY = kept.Top;
      CopyToDrawable(frames[i], image.Picture);
      image.Duration = frames[i].Delay;
      // The decoded frame is not needed once converted; freeing it as we go halves the peak.
      frames[i].Surface = TDIBSurface();
      frames[i].Layers.clear();
    }
    if (images->Images.empty() && reporter_) reporter_(file + ": the picture holds no image");
  } catch (const Error& e) {
    // A picture the game cannot have shows as nothing; the game goes on.
    images->Images.clear();
    if (reporter_) reporter_(file + ": the picture cannot be shown: " + e.Message());
  }
  return images;
}

std::shared_ptr<const FrameDrawable> TMuraCollection::Picture(const std::string& name) {
  std::shared_ptr<const MuraImages> images = Images(name);
  if (images->Empty()) return nullptr;
  return std::shared_ptr<const FrameDrawable>(images, &images->Images.front().Picture);
}

void TMuraCollection::Add(const std::string& name, std::shared_ptr<const MuraImages> images) {
  const std::string key = UpperCase(name);
  missing_.erase(key);
  items_[key] = images;
  kept_[key] = std::move(images);
}

void TMuraCollection::Add(const std::string& name, std::shared_ptr<const FrameDrawable> picture) {
  auto images = std::make_shared<MuraImages>();
  images->Name = name;
  if (picture) {
    images->Images.emplace_back();
    MuraImage& image = images->Images.back();
    image.Picture.Color.SetSize(picture->Color.Width(), picture->Color.Height(), picture->Color.BitCount());
    image.Picture.Color.CopyFrom(0, 0, picture->Color.ClientRect(), picture->Color);
    if (picture->Color.HasAlpha()) image.Picture.Color.CopyAlpha(*picture->Color.Alpha);
    image.Picture.TransparentValue = picture->TransparentValue;
    image.Picture.RectsA = picture->RectsA;
    image.Picture.RectsB = picture->RectsB;
  }
  Add(name, std::shared_ptr<const MuraImages>(std::move(images)));
}

void TMuraCollection::Clear() {
  items_.clear();
  kept_.clear();
  missing_.clear();
}

size_t TMuraCollection::Count() const {
  size_t n = 0;
  for (const auto& [key, item] : items_)
    if (!item.expired()) ++n;
  return n;
}

}  // namespace orin
