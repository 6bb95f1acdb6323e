// Movie fixtures made at test or build time with FFmpeg's encoders: a test pattern per frame
// (four colour bars over the frame number written as eight black-or-white cells) with a sine
// tone as its sound, in WMV2/ASF, MPEG-1 or MPEG-2 program streams, or H.264 in MP4. Nothing
// binary is committed; the video tests, the benchmark and the test games make theirs here (the
// program movie_fixture and the CMake function orin_movie_fixture in tests/CMakeLists.txt do the
// same at build time).
//
// The pattern survives lossy coding: each bar and cell is a flat block at least an eighth of the
// frame wide, and ReadFrameNumber decides each cell by its centre's brightness.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace orin::test {

enum class MovieCodec { kWmv2, kMpeg1, kMpeg2, kH264 };

struct MovieShape {
  MovieCodec Codec = MovieCodec::kWmv2;
  int Width = 160;
  int Height = 120;
  int Fps = 25;        // MPEG-1/2 take only the standard rates (24, 25, 30, 50, 60)
  int Frames = 25;     // at most 255 show distinct numbers (the counter wraps)
  bool Audio = true;   // a 440 Hz sine, stereo 44.1 kHz, as long as the pictures
  int Gop = 10;        // a key frame every Gop frames
};

// The colours of the four bars, left to right (0x00RRGGBB).
constexpr uint32_t kMovieBars[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};

// The pattern's pixel (0x00RRGGBB) at x, y of frame n: the upper half holds the bars, the lower
// half the eight cells of n & 0xFF, most significant bit left, white for 1.
uint32_t MoviePatternPixel(int n, int x, int y, int width, int height);
// The frame number a picture of the pattern shows (pixels 0x??RRGGBB, stride in pixels).
int ReadFrameNumber(const uint32_t* pixels, int stride, int width, int height);
// The colour in the middle of bar i, for probing by colour.
uint32_t ReadBar(const uint32_t* pixels, int stride, int width, int height, int bar);

// Whether FFmpeg here has the encoders the codec needs.
bool HasMovieEncoder(MovieCodec codec);
// The encoded file. Throws std::runtime_error when an encoder is missing or a step fails.
std::string MakeMovie(const MovieShape& shape);
// The same with pictures of the caller's: picture(n, x, y) is the pixel (0x00RRGGBB) at x, y of
// frame n (the demo game draws its title movie this way).
using MoviePicture = std::function<uint32_t(int n, int x, int y)>;
std::string MakeMovie(const MovieShape& shape, const MoviePicture& picture);
// The usual file extension of the codec's container: ".wmv", ".mpg" or ".mp4".
const char* MovieExtension(MovieCodec codec);

}  // namespace orin::test
