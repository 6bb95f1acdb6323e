// movie_fixture: writes one test movie (see movie_fixtures.h) for the test games' builds.
//   movie_fixture CODEC WIDTH HEIGHT FPS FRAMES AUDIO OUT
// CODEC: wmv2, mpeg1, mpeg2, h264; AUDIO: 1 with a sine track, 0 without.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "support/movie_fixtures.h"

int main(int argc, char** argv) {
  using orin::test::MovieCodec;
  if (argc != 8) {
    std::fprintf(stderr, "usage: movie_fixture wmv2|mpeg1|mpeg2|h264 WIDTH HEIGHT FPS FRAMES AUDIO OUT\n");
    return 2;
  }
  const std::string codec = argv[1];
  orin::test::MovieShape shape;
  if (codec == "wmv2") shape.Codec = MovieCodec::kWmv2;
  else if (codec == "mpeg1") shape.Codec = MovieCodec::kMpeg1;
  else if (codec == "mpeg2") shape.Codec = MovieCodec::kMpeg2;
  else if (codec == "h264") shape.Codec = MovieCodec::kH264;
  else {
    std::fprintf(stderr, "movie_fixture: unknown codec %s\n", argv[1]);
    return 2;
  }
  shape.Width = std::atoi(argv[2]);
  shape.Height = std::atoi(argv[3]);
  shape.Fps = std::atoi(argv[4]);
  shape.Frames = std::atoi(argv[5]);
  shape.Audio = std::atoi(argv[6]) != 0;
  if (shape.Width < 16 || shape.Width > 4096 || shape.Height < 16 || shape.Height > 4096 || shape.Fps < 1 ||
      shape.Fps > 120 || shape.Frames < 1 || shape.Frames > 100000) {
    std::fprintf(stderr, "movie_fixture: size 16-4096, 1-120 fps, 1-100000 frames\n");
    return 2;
  }
  try {
    const std::string bytes = orin::test::MakeMovie(shape);
    FILE* f = std::fopen(argv[7], "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f) != 0) {
      std::fprintf(stderr, "movie_fixture: cannot write %s\n", argv[7]);
      return 1;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "movie_fixture: %s\n", e.what());
    return 1;
  }
  return 0;
}
