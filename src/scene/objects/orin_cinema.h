// TOrinCinema (kind 4): a film in a frame of its own, and TOrinPrevImages, the picture player the
// film is made of.
//
// The cinema holds a scene of its own (TOrinBaseListCinema, whose two roots are TOrinBaseCinema),
// sized to the cinema. Its file (property 2), a layered image, plays there in a TOrinPrevImages:
// every image in order, each for its own delay. The cinema steps that scene with its own clock and
// draws the scene's screen as its picture, so the film is composed apart from the game's screen
// and costs the game's redraw only a copy.
//   2    file (a missing file shows nothing);
//   28   speed in thousandths (1000, the default, plays at the images' delays; 2000 twice as
//        fast; 0 or below holds the film);
//   29   loop; 43 finished label (queued once when a film that does not loop ends); 71 free when
//        finished (the cinema deletes itself at the end instead);
//   44   current image (setting it shows that image and plays on from there);
//   138  busy: a film is loaded and has not ended;
//   139  hold: after the end the last image stays (the default); cleared, the cinema goes blank;
//   158  kept for scripts (no effect);
//   27 stopped, 134 paused: the film holds.
// The film's scene takes no input and raises no events of its own.
//
// TOrinPrevImages has no kind: nothing but a cinema makes one, and it is saved as part of its
// cinema. It plays the images of its file with the image classes' rules of
// TOrinCustomImages, loops when asked, and at the end of a film that does not loop only marks
// itself finished: the cinema decides what the end means.
//
// Save record, after the control record: record version (int32, 1); file; speed (int32); loop,
// free when finished, hold, flag 158 (bytes); finished label, every-frame label (strings);
// stopped (byte); current image (int32); ended (byte). The film
// scene is built again from the file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "scene/objects/object_classes.h"
#include "scene/objects/orin_custom_image.h"

namespace orin {

class TOrinBaseListCinema;

class TOrinPrevImages : public TOrinCustomImages {
 public:
  TOrinPrevImages(TOrinBaseList* owner, const SceneServices& services) : TOrinCustomImages(owner, services) {}

  void SetFile(const std::string& file);
  const std::string& File() const { return file_; }
  bool Loop() const override { return loop_; }
  void SetLoop(bool loop) { loop_ = loop; }
  // Shows image n and plays on from it.
  void Rewind(int32_t n);

 protected:
  bool LastImageRanOut() override;

 private:
  std::string file_;
  bool loop_ = false;
};

class TOrinCinema : public TOrinControl {
 public:
  TOrinCinema(TOrinBaseList* owner, const SceneServices& services);
  ~TOrinCinema() override;

  uint8_t Kind() const override { return kKindCinema; }
  bool Loop() const override { return loop_; }
  bool FreeWhenFinished() const override { return freeWhenFinished_; }

  // The film's scene and player (null before a file is set).
  TOrinBaseListCinema* Film() const { return film_.get(); }
  TOrinPrevImages* Player() const { return player_; }
  bool Ended() const { return ended_; }

  bool Step() override;
  void Draw(ScreenSurface& surface) override;
  void GetProp(int number, TCustomParam& dest) override;
  void SetProp(int number, const TCustomParam& value) override;
  void Save(Stream& s, int version) const override;
  void Load(Stream& s, int version) override;

 private:
  void SetFile(const std::string& file);
  // Sizes the film's scene to the cinema.
  void FitFilm();

  SceneServices services_;
  std::unique_ptr<TOrinBaseListCinema> film_;
  TOrinPrevImages* player_ = nullptr;
  std::string file_;
  int32_t speed_ = 1000;
  int32_t filmClock_ = 0;
  // Thousandths of a millisecond the speed left over.
  int64_t carry_ = 0;
  bool loop_ = false;
  bool freeWhenFinished_ = false;
  bool hold_ = true;
  bool flag158_ = false;
  bool ended_ = false;
};

}  // namespace orin
