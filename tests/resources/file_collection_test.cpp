#include "resources/file_collection.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace orin {
namespace {

TEST(TVrFileCollection, RoundTrip) {
  test::TempDir dir;
  dir.Write("src/a.txt", "hello");
  HostFileSystem fs;
  TVrFileCollection c(fs);
  c.Folder = dir / "src/";
  c.AddEntry("a.txt");
  {
    TTpBigFileStream out(dir / "game.dat", TTpBigFileStream::kCreate);
    ASSERT_TRUE(c.Save(out));
  }
  TVrFileCollection r(fs);
  r.Open(dir / "game.dat");
  MemoryStream m;
  r.LoadEntry(m, "A.TXT");
  EXPECT_EQ(m.View(), "hello");
}

}  // namespace
}  // namespace orin
