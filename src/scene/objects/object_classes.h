// ObjectClasses: the scene's classes by kind, and SceneServices, what they may need of the rest
// of the player when they are made.
//
// Every class the scene creates by kind (the creation command, loading a save) is made here,
// through the one table of StandardClasses (scene/object_classes.cpp): adding a class is one line
// there. A maker receives the scene that will own the object and the services the host handed
// the scene; a class whose constructor takes (TOrinBaseList*, const SceneServices&) gets them,
// one that takes only the owner does not need them. The classes of the media layer above the
// scene (sounds, videos) have their line too: it asks SceneServices::Media, which the media
// layer implements, for the object.
//
// Kinds without a maker make nothing; nor does a media kind while the scene has no media. Tests
// and tools may add or replace makers with Set.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <type_traits>

#include "scene/model/orin_object.h"

namespace orin {

class TFontPixelManager;
class TMuraCollection;
struct TextServices;
// What the scene needs of the media layer: its object classes, made with what that layer holds
// (media managers, the audio output). Implemented above the scene.
class Clipboard;

class MediaServices {
 public:
  virtual ~MediaServices() = default;
  // An object of a media kind for owner, or null for a kind the media layer does not make.
  virtual std::unique_ptr<TOrinObject> MakeObject(uint8_t kind, TOrinBaseList& owner) = 0;
};

// Any pointer may be null: objects then go without (no characters, no pictures, silence).
struct SceneServices {
  // Glyphs, images, variables, stored documents, history and read list (scene/text_services.h).
  TextServices* Text = nullptr;
  MediaServices* Media = nullptr;
  // The desktop's clipboard for the entry fields (scene/model/clipboard.h).
  Clipboard* Clip = nullptr;

  TFontPixelManager* Glyphs() const;
  TMuraCollection* Images() const;
};

class ObjectClasses {
 public:
  using Maker = std::function<std::unique_ptr<TOrinObject>(TOrinBaseList& owner, const SceneServices& services)>;

  // The classes of the player (the table of object_classes.cpp).
  static ObjectClasses StandardClasses();

  // kind & 0x7F; an empty maker removes the kind.
  void Set(uint8_t kind, Maker maker);
  bool Has(uint8_t kind) const;
  // Null for a kind without a maker.
  std::unique_ptr<TOrinObject> Make(uint8_t kind, TOrinBaseList& owner, const SceneServices& services) const;

  // The maker of class T by its constructor.
  template <class T>
  static std::unique_ptr<TOrinObject> MakeOf(TOrinBaseList& owner, const SceneServices& services) {
    if constexpr (std::is_constructible_v<T, TOrinBaseList*, const SceneServices&>)
      return std::make_unique<T>(&owner, services);
    else
      return std::make_unique<T>(&owner);
  }

 private:
  std::array<Maker, kKindLimit> makers_;
};

}  // namespace orin
