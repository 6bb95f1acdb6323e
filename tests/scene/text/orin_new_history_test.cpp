#include "scene/text/orin_new_history.h"

#include <gtest/gtest.h>

#include "core/error.h"
#include "resources/stream.h"
#include "scene/text/orin_read_list.h"

namespace orin {
namespace {

TOrinHistData Entry(std::initializer_list<TOrinHistSegment> segments, int32_t height) {
  TOrinHistData d;
  d.Segments = segments;
  d.TotalHeight = height;
  return d;
}

// A history with entries of both forms and a pending page, as loaded from a record.
std::string Record(int version) {
  MemoryStream s;
  if (version < 113) WriteString(s, "ignored");
  SaveReferences(s, {{"a.osb", 1, 0, 640, 120}, {"", 2, 1, 640, 120}});
  WriteString(s, "b.osb");
  for (int32_t v : {7, 3, 320, 96}) WriteInt32(s, v);
  WriteString(s, "mes");
  if (version >= 113) {
    WriteInt32(s, 50);
    for (int32_t v : {16, 1, 2, 300, 200, 4}) WriteInt32(s, v);
    WriteInt32(s, 5);
    WriteInt32(s, 9);
    WriteInt32(s, 2);
    Entry({{"a.osb", 1, 0, 10, 20, "x=1"}, {"", 1, 11, -1, 20, ""}}, 40).Save(s, version);
    Entry({{"b.osb", 4, 0, 3, 18, "y=\x01"}}, 18).Save(s, version);
    if (version >= 124) WriteString(s, "v=2");
  }
  return std::string(s.View());
}

TEST(TOrinNewHistory, RecordsOfEachVersionLoadAndSaveAlike) {
  for (int version : {112, 113, 123, 124, 134}) {
    const std::string bytes = Record(version);
    MemoryStream in;
    in.Assign(bytes);
    TOrinNewHistory h;
    h.LoadFromStream(in, version);
    EXPECT_EQ(in.Remaining(), 0) << version;
    ASSERT_TRUE(h.Pending().has_value());
    EXPECT_EQ(h.Pending()->Window, "mes");
    EXPECT_EQ(h.Pending()->PageIndex, 3);
    EXPECT_EQ(h.OldEntries().size(), 2u);
    if (version >= 113) {
      EXPECT_EQ(h.MaxCount(), 50);
      EXPECT_EQ(h.Layout()[TOrinNewHistory::kWidth], 300);
      ASSERT_EQ(h.Count(), 2);
      EXPECT_EQ(h.Entries()[0].Segments[1].First, 11);
      EXPECT_EQ(h.Entries()[0].Segments[0].LocalVars, version >= 124 ? "x=1" : "");
      EXPECT_EQ(h.Pending()->Last, 9);
      EXPECT_EQ(h.SegmentsOf(0, 5).size(), 3u);
      EXPECT_EQ(h.SegmentsOf(0, 1)[1].PageFile, "a.osb") << "page files are filled in";
    } else {
      EXPECT_EQ(h.MaxCount(), 0);
      EXPECT_EQ(h.Count(), 2) << "the older form";
      EXPECT_EQ(h.ReferencesOf(1, 1).at(0).PageFile, "a.osb");
    }
    MemoryStream out;
    h.SaveToStream(out, version);
    // The string that old records lead with is not kept: an empty one is written.
    const std::string expected = version < 113 ? std::string(4, '\0') + bytes.substr(4 + 7) : bytes;
    EXPECT_EQ(out.View(), expected) << version;
  }
}

TEST(TOrinNewHistory, DamagedRecordsAreRefused) {
  std::string bytes = Record(134);
  for (size_t cut : {size_t{3}, size_t{20}, bytes.size() - 1}) {
    MemoryStream in;
    in.Assign(std::string_view(bytes).substr(0, cut));
    TOrinNewHistory h;
    EXPECT_THROW(h.LoadFromStream(in, 134), Error) << cut;
    EXPECT_EQ(h.Count(), 0);
  }
  MemoryStream huge;
  WriteInt32(huge, 0x7FFFFFFF);
  huge.SetPosition(0);
  TOrinNewHistory h;
  EXPECT_THROW(h.LoadFromStream(huge, 134), Error);
}

TEST(TOrinReadList, MarksPendingCommitAndRecord) {
  TOrinReadList list;
  list.Add("a.osb", 3, 0);
  list.Add("A.OSB", 3, 0);
  list.Add("a.osb", 4, 1);
  list.SetPending(ReadMark{"b.osb", 1, 2, "mes"});
  list.CommitPending("other");
  EXPECT_FALSE(list.IsRead("b.osb", 1, 2)) << "only the window that showed it commits";
  EXPECT_EQ(list.Count(), 1);
  EXPECT_TRUE(list.IsRead("a.OSB", 3, 0));

  MemoryStream s;
  list.SaveToStream(s);
  const std::string bytes(s.View());
  // One item: "a.osb", two pairs; then the pending mark.
  EXPECT_EQ(bytes.size(), 4 + (4 + 5) + 4 + 2 * 8 + (4 + 5) + 8 + (4 + 3));
  s.SetPosition(0);
  TOrinReadList back;
  back.LoadFromStream(s, 103);
  EXPECT_TRUE(back.IsRead("a.osb", 4, 1));
  EXPECT_FALSE(back.IsRead("a.osb", 4, 0));
  back.CommitPending("mes");
  EXPECT_TRUE(back.IsRead("b.osb", 1, 2));
  EXPECT_EQ(back.Pending().PageFile, "");

  MemoryStream old;
  TOrinReadList none;
  none.LoadFromStream(old, 99);
  EXPECT_EQ(none.Count(), 0) << "no read list before version 100";

  MemoryStream damaged;
  damaged.Assign(bytes.substr(0, 20));
  EXPECT_THROW(back.LoadFromStream(damaged, 103), Error);
  EXPECT_EQ(back.Count(), 0);
}

}  // namespace
}  // namespace orin
