// make_movie: draws the demo game's opening movie — snow falling through a night sky while a
// warm light grows in the middle, faded in from black and out to black — and encodes it as a
// WMV2 movie without sound through the test fixtures' movie encoder.
//   make_movie OUT.wmv
// Every frame comes from fixed formulas and a fixed seed, so every build makes the same movie.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <fstream>
#include <string>
#include <vector>

#include "support/movie_fixtures.h"

namespace {

constexpr int kWidth = 640, kHeight = 360, kFps = 25, kFrames = 75;

struct Flake {
  double X, Y, Speed, Radius, Phase;
};

std::vector<Flake> Flakes() {
  std::vector<Flake> flakes;
  uint32_t seed = 1210;
  auto next = [&] {
    seed = seed * 1664525u + 1013904223u;
    return (seed >> 8) / 16777216.0;
  };
  for (int i = 0; i < 90; ++i)
    flakes.push_back({next() * kWidth, next() * kHeight, 1.0 + next() * 2.5, 1.0 + next() * 2.2, next() * 6.28});
  return flakes;
}

// One frame, drawn whole when its number first comes up (the encoder asks pixel by pixel).
class Opening {
 public:
  uint32_t Pixel(int n, int x, int y) {
    if (n != frame_) Draw(n);
    return pixels_[static_cast<size_t>(y * kWidth + x)];
  }

 private:
  void Draw(int n) {
    frame_ = n;
    pixels_.assign(static_cast<size_t>(kWidth * kHeight), 0);
    std::vector<double> r(pixels_.size()), g(pixels_.size()), b(pixels_.size());
    const double t = static_cast<double>(n) / (kFrames - 1);
    const double glowRadius = 50 + 110 * t;
    for (int y = 0; y < kHeight; ++y) {
      const double v = static_cast<double>(y) / kHeight;
      for (int x = 0; x < kWidth; ++x) {
        const size_t i = static_cast<size_t>(y * kWidth + x);
        const double dx = x - kWidth / 2.0, dy = y - kHeight * 0.58;
        const double glow = 0.75 * std::exp(-(dx * dx + dy * dy) / (2 * glowRadius * glowRadius));
        r[i] = 15 + 46 * v + 242 * glow;
        g[i] = 18 + 56 * v + 179 * glow;
        b[i] = 48 + 86 * v + 91 * glow;
      }
    }
    for (const Flake& f : flakes_) {
      const double fy = std::fmod(f.Y + f.Speed * n * 2.0, kHeight + 20.0) - 10.0;
      const double fx = f.X + 6.0 * std::sin(n * 0.12 + f.Phase);
      for (int y = static_cast<int>(fy - f.Radius - 1); y <= static_cast<int>(fy + f.Radius + 1); ++y)
        for (int x = static_cast<int>(fx - f.Radius - 1); x <= static_cast<int>(fx + f.Radius + 1); ++x) {
          if (x < 0 || y < 0 || x >= kWidth || y >= kHeight) continue;
          const double d = std::hypot(x - fx, y - fy) / f.Radius;
          if (d >= 1) continue;
          const double a = 1 - d * d;
          const size_t i = static_cast<size_t>(y * kWidth + x);
          r[i] += (250 - r[i]) * a;
          g[i] += (250 - g[i]) * a;
          b[i] += (255 - b[i]) * a;
        }
    }
    // From black over the first half second, to black over the last.
    const double fade = std::min({1.0, n / 12.0, (kFrames - 1 - n) / 12.0});
    for (size_t i = 0; i < pixels_.size(); ++i) {
      auto c = [&](double v) { return static_cast<uint32_t>(std::lround(std::clamp(v * fade, 0.0, 255.0))); };
      pixels_[i] = c(r[i]) << 16 | c(g[i]) << 8 | c(b[i]);
    }
  }

  std::vector<Flake> flakes_ = Flakes();
  std::vector<uint32_t> pixels_;
  int frame_ = -1;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_movie OUT.wmv\n");
    return 2;
  }
  try {
    orin::test::MovieShape shape;
    shape.Codec = orin::test::MovieCodec::kWmv2;
    shape.Width = kWidth;
    shape.Height = kHeight;
    shape.Fps = kFps;
    shape.Frames = kFrames;
    shape.Audio = false;
    shape.Gop = kFps;
    Opening opening;
    const std::string bytes =
        orin::test::MakeMovie(shape, [&](int n, int x, int y) { return opening.Pixel(n, x, y); });
    std::ofstream f(argv[1], std::ios::binary);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!f) throw std::runtime_error(std::string("cannot write ") + argv[1]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make_movie: %s\n", e.what());
    return 1;
  }
  return 0;
}
