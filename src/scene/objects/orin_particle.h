// TOrinParticle (kind 14): an emitter of small pictures that are born inside its rectangle, fly,
// fade and die; and TOrinParticleImages, the pictures of its file.
//
// Properties of the emitter:
//   2    file: the particle pictures (every image of the file; the image cache holds them);
//   11   alpha, as the image classes: 1-254 blend, 255 the pictures as they are, 256 and above
//        additive at alpha − 256; the fade below scales it per particle;
//   26   lifetime of a particle in milliseconds (0 or below: it lives until it leaves the
//        emitter's rectangle);
//   44   image index for new particles (−1, the default: each particle draws one at random);
//   92, 93  horizontal and vertical speed of a new particle, pixels per second;
//   94   birth rate, particles per second;
//   95, 96  horizontal and vertical acceleration, pixels per second squared (floats);
//   102  fade time in milliseconds (float): a particle fades in over it after its birth and, with
//        a lifetime, out over it before its death;
//   27 stopped, 134 paused: nothing is born and nothing moves.
// Properties 92, 93 and 26 can be expressions: the creating command hands the emitter copies of
// its expressions, and each particle evaluates them once when it is born (so "Random(40) − 20"
// spreads the particles). An expression that yields no value gives the property's plain value
// (92 and 93: 0). The birth point is a random point of the rectangle; every random draw (the
// point, the picture) comes from the player's one run-time generator, so a fixed seed and a
// fixed frame delta give the same picture.
//
// At most kMaxParticles live at once and at most kMaxBirthsPerStep are born in one step, so a
// rate of a million costs no more than a full emitter.
//
// Save record, after the control record: record version (int32, 1); file; alpha, image index,
// lifetime, birth rate (int32); the three floats (extended); stopped (byte); the three expressions
// (expression records); the birth remainder (int32); the particle count (int32, checked against
// kMaxParticles and the bytes left), then per particle x, y, speed x, speed y (float bits, uint32),
// age, life (int32), picture (int32).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/runtime_random.h"
#include "scene/objects/object_classes.h"
#include "scene/objects/orin_custom_image.h"

namespace orin {

class TOrinParser;
class TParamCollection;

// The generator the scene's effects draw from: the variables' run-time generator (the one the
// Random function uses) when the services have variables, else fallback.
RunTimeRandom& EffectRandom(const SceneServices& services, RunTimeRandom& fallback);

// The pictures of a particle emitter: an image object of its own, never listed in the scene and
// never drawn by the tree (it has no name and no parent). The emitter draws its pictures.
class TOrinParticleImages : public TOrinCustomImages {
 public:
  TOrinParticleImages(TOrinBaseList* owner, const SceneServices& services)
      : TOrinCustomImages(owner, services) {}

  void SetFile(const std::string& file);
  const std::string& File() const { return file_; }

 private:
  std::string file_;
};

class TOrinParticle : public TOrinControl {
 public:
  static constexpr int32_t kMaxParticles = 10000;
  static constexpr int32_t kMaxBirthsPerStep = 2000;

  struct Particle {
    float X = 0, Y = 0;    // in the emitter's coordinates
    float Vx = 0, Vy = 0;  // pixels per second
    int32_t Age = 0;       // milliseconds
    int32_t Life = 0;      // milliseconds; 0 or below: until it leaves the rectangle
    int32_t Picture = 0;
  };

  TOrinParticle(TOrinBaseList* owner, const SceneServices& services);
  ~TOrinParticle() override;

  uint8_t Kind() const override { return kKindParticle; }

  // Copies of the creating command's expressions for properties 92, 93 and 26 (empty ones drop
  // the copy).
  void SetSpeedXExpression(const TOrinParser& e);
  void SetSpeedYExpression(const TOrinParser& e);
  void SetLifeExpression(const TOrinParser& e);
  // The copies, or null.
  const TOrinParser* SpeedXExpression() const { return speedX_.get(); }
  const TOrinParser* SpeedYExpression() const { return speedY_.get(); }
  const TOrinParser* LifeExpression() const { return lifeExpr_.get(); }

  const std::vector<Particle>& Particles() const { return particles_; }
  int32_t BirthRate() const { return rate_; }

  bool Step() override;
  void Draw(ScreenSurface& surface) override;
  void GetProp(int number, TCustomParam& dest) override;
  void SetProp(int number, const TCustomParam& value) override;
  void Save(Stream& s, int version) const override;
  void Load(Stream& s, int version) override;

 private:
  void SetFile(const std::string& file);
  void Bear(int32_t count);
  // The value of e (null: none) as a float within ±2e9, else fallback.
  float Evaluate(TOrinParser* e, float fallback);
  int32_t OpacityOf(const Particle& p) const;

  SceneServices services_;
  RunTimeRandom ownRandom_{0};
  TOrinParticleImages images_;
  std::string file_;
  int32_t alpha_ = 255;
  int32_t index_ = -1;
  int32_t life_ = 0;
  int32_t rate_ = 0;
  long double accelX_ = 0, accelY_ = 0, fade_ = 0;
  std::unique_ptr<TOrinParser> speedX_, speedY_, lifeExpr_;
  // Births owed, in particles × 1000 (rate × elapsed milliseconds).
  int32_t birthRemainder_ = 0;
  std::vector<Particle> particles_;
};

}  // namespace orin
