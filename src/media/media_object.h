// MediaObject: what the media commands ask of a sound or video object, whichever it is — its
// source, its play state, its fade time and a restart.
//
// States: 0 play, 1 play with fade-in, 2 stopped, 3 stop with fade-out.
//
// Both classes give their boolean "media flags" the same meanings: 139 the restart flag (a
// loaded save starts the medium from the beginning), 158 the silence flag (a loaded save sets
// the volume to 0); 150 is the video's own.
#pragma once

#include <cstdint>
#include <string>

namespace orin {

class TOrinObject;

class MediaObject {
 public:
  static constexpr uint8_t kPlay = 0;
  static constexpr uint8_t kFadeIn = 1;
  static constexpr uint8_t kStopped = 2;
  static constexpr uint8_t kFadeOut = 3;

  virtual ~MediaObject() = default;
  virtual const std::string& Source() const = 0;
  virtual uint8_t State() const = 0;
  virtual void SetState(uint8_t state) = 0;
  virtual int32_t FadeTime() const = 0;
  virtual void SetFadeTime(int32_t ms) = 0;
  virtual void Restart() = 0;
};

// The media side of a scene object, or null for any other object.
MediaObject* AsMediaObject(TOrinObject* object);

}  // namespace orin
