#include "media/wav_writer.h"

#include <gtest/gtest.h>

#include <string>

#include "core/error.h"
#include "support/test_support.h"

namespace orin {
namespace {

std::string Bytes(std::initializer_list<int> list) {
  std::string s;
  for (int b : list) s.push_back(static_cast<char>(b));
  return s;
}

TEST(WavWriter, HeaderBytes) {
  const auto h = WavWriter::Header(0x01020304);
  const std::string expected = std::string("RIFF") + Bytes({0x28, 0x03, 0x02, 0x01}) + "WAVEfmt " +
                               Bytes({16, 0, 0, 0, 1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 2, 0,
                                      4, 0, 16, 0}) +
                               "data" + Bytes({4, 3, 2, 1});
  EXPECT_EQ(std::string(h.begin(), h.end()), expected);
}

TEST(WavWriter, SamplesAreLittleEndianAndSizesFinalised) {
  test::TempDir dir;
  const std::string path = dir / "out.wav";
  {
    WavWriter w(path);
    // Before Finish the header is already there, with sizes 0.
    const int16_t samples[] = {1, -1, 0x1234, -32768};
    w.Write(samples, 2);
    w.Write(samples, 0);
    EXPECT_EQ(w.FramesWritten(), 2u);
    w.Finish();
    w.Finish();
  }
  const std::string file = test::ReadHostFile(path);
  const auto h = WavWriter::Header(8);
  ASSERT_EQ(file.size(), 52u);
  EXPECT_EQ(file.substr(0, 44), std::string(h.begin(), h.end()));
  EXPECT_EQ(file.substr(44), Bytes({1, 0, 0xFF, 0xFF, 0x34, 0x12, 0x00, 0x80}));
}

TEST(WavWriter, ZeroLengthRecordingIsAValidEmptyFile) {
  test::TempDir dir;
  const std::string path = dir / "empty.wav";
  { WavWriter w(path); }  // the destructor finishes too
  const auto h = WavWriter::Header(0);
  EXPECT_EQ(test::ReadHostFile(path), std::string(h.begin(), h.end()));
}

TEST(WavWriter, FileThatCannotBeMadeIsAnError) {
  test::TempDir dir;
  EXPECT_THROW(WavWriter(dir / "missing/out.wav"), Error);
}

}  // namespace
}  // namespace orin
