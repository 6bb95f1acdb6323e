// The scene's save record: round trips at every version branch, a hand-made record of an old
// version, and damaged records.
#include <gtest/gtest.h>

#include <cstdio>

#include "core/error.h"
#include "resources/stream.h"
#include "scene/objects/orin_cabinet.h"
#include "scene/objects/orin_prop_motion.h"
#include "scene/objects/orin_timer.h"
#include "scene/model/property_table.h"
#include "scene/scene_test_support.h"

namespace orin {
namespace {

using test::Scene;

// Builds a scene that uses every field of the control record.
void Populate(Scene& s) {
  TOrinBox& parent = s.Box("parent", 3, 4, 50, 40, 0x123456);
  parent.SetDepth(7);
  parent.SetDepthOffset(2);
  parent.SetComment("a comment");
  test::SetInt(parent, kPropOriginX, 5);
  test::SetInt(parent, kPropOriginY, 6);
  test::SetFlag(parent, kPropScalePosition, true);
  test::SetInt(parent, kPropClipLeft, 1);
  test::SetInt(parent, kPropClipTop, 2);
  test::SetInt(parent, kPropClipWidth, 30);
  test::SetInt(parent, kPropClipHeight, 20);
  test::SetFlag(parent, kPropPaused, true);
  test::SetInt(parent, kPropInputMode, 3);
  test::SetStr(parent, kPropHint, "hint");
  for (int code : {34, 103, 35, 36, 37, 38, 39, 40, 41, 144, 145, 146, 148, 149})
    parent.SetLabel(code, std::string("p:").append(std::to_string(code)));
  test::SetFlag(parent, kPropFocusable, true);
  test::SetInt(parent, kPropBox1, 11);
  test::SetFlag(parent, kPropLoop, true);
  TOrinBox& child = s.Box("child", 1, 1, 5, 5, 0xFF, &parent);
  child.SetVisibleFlag(false);
  child.SetLabel(kEventEveryFrame, "p:frame");
  s.Box("\001internal", 0, 0, 1, 1, -1, &parent);
  s.Box("gone", 0, 0, 1, 1).Delete();
  auto* cabinet = static_cast<TOrinCabinet*>(s.list.Create(kKindCabinet));
  cabinet->Rename("shelf");
  s.Box("kept", 2, 2, 2, 2, -1, cabinet);
  auto* timer = static_cast<TOrinTimer*>(s.list.Create(kKindTimer));
  timer->Rename("timer");
  timer->SetLabel("p:timer");
  timer->SetInterval(250);
  timer->SetOneShot(true);
  auto* anim = static_cast<TOrinPropMotion*>(s.list.Create(kKindPropMotion));
  anim->Rename("anim");
  anim->SetTargetName("parent");
  anim->SetPropertyNumber(kPropLeft);
  anim->SetEndValue(12.5L);
  anim->SetDuration(800);
  anim->SetEasing(2);
  anim->SetStopped(true);
  s.Box("on-back", 0, 0, 1, 1, -1, &s.list.InactiveRoot());
  const std::vector<std::string> args = {"4", "5"};
  s.list.Events().Add(&child, "p:click", &args, 36).Level = 2;
  s.list.Events().Add(timer, "p:timer", nullptr, 33);
}

std::string Save(TOrinBaseList& list, int version) {
  MemoryStream m;
  list.Save(m, version);
  return std::string(m.View());
}

void Load(TOrinBaseList& list, const std::string& bytes, int version) {
  MemoryStream m;
  m.Assign(bytes);
  list.Load(m, version);
}

TEST(SceneSave, RoundTripsAtEveryVersionBranch) {
  for (int version : {134, 130, 126, 120, 118, 114, 113, 104, 103, 102, 101}) {
    SCOPED_TRACE(version);
    Scene s;
    Populate(s);
    Scene t;
    Load(t.list, Save(s.list, version), version);
    auto* parent = static_cast<TOrinBox*>(t.list.FindControl("parent"));
    ASSERT_NE(parent, nullptr);
    EXPECT_EQ(parent->Parent(), &t.list.ActiveRoot());
    EXPECT_EQ(parent->Left(), 3);
    EXPECT_EQ(parent->Height(), 40);
    EXPECT_EQ(parent->Depth(), 7);
    EXPECT_EQ(parent->DepthOffset(), version >= 104 ? 2 : 0);
    EXPECT_EQ(parent->Comment(), version >= 120 ? "a comment" : "");
    EXPECT_EQ(parent->OriginY(), 6);
    EXPECT_TRUE(parent->ScalePosition());
    EXPECT_EQ(test::GetInt(*parent, kPropClipWidth), version >= 104 ? 30 : INT32_MAX);
    EXPECT_EQ(parent->Paused(), version >= 104);
    EXPECT_EQ(parent->Color(), 0x123456);
    EXPECT_EQ(parent->InputMode(), 3);
    EXPECT_EQ(test::GetStr(*parent, kPropHint), "hint");
    EXPECT_EQ(parent->Label(36), "p:36");
    EXPECT_EQ(parent->Label(103), version >= 102 ? "p:103" : "");
    EXPECT_EQ(parent->Label(41), "p:41");
    EXPECT_EQ(parent->Focusable(), version >= 118);
    EXPECT_EQ(parent->Label(149), version >= 118 ? "p:149" : "");
    EXPECT_EQ(test::GetInt(*parent, kPropBox1), 11);
    EXPECT_TRUE(parent->Loop());
    EXPECT_EQ(parent->BoundsRect(), s.list.FindControl("parent")->BoundsRect());

    TOrinControl* child = t.list.FindControl("child");
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->Parent(), parent);
    EXPECT_FALSE(child->Visible());
    EXPECT_EQ(child->Label(113), "p:frame");
    // Internal and deleted objects are not saved.
    EXPECT_EQ(t.list.Find("\001internal"), nullptr);
    EXPECT_EQ(parent->Children().size(), 1u);
    EXPECT_EQ(t.list.Find("gone"), nullptr);
    EXPECT_EQ(t.list.FindControl("kept")->Parent(), t.list.FindControl("shelf"));
    EXPECT_EQ(t.list.FindControl("on-back")->Parent(), &t.list.InactiveRoot());

    auto* timer = static_cast<TOrinTimer*>(t.list.Find("timer"));
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->Label(), "p:timer");
    EXPECT_EQ(timer->Interval(), 250);
    EXPECT_EQ(timer->OneShot(), version >= 104);
    auto* anim = static_cast<TOrinPropMotion*>(t.list.Find("anim"));
    ASSERT_NE(anim, nullptr);
    EXPECT_EQ(anim->TargetName(), "parent");
    EXPECT_EQ(anim->EndValue(), 12.5L);
    EXPECT_EQ(anim->Duration(), 800);
    EXPECT_EQ(anim->EasingKind(), 2);
    EXPECT_EQ(anim->Stopped(), version >= 126);

    ASSERT_EQ(t.list.Events().Count(), 2);
    EXPECT_EQ(t.list.Events()[0].Object, child);
    EXPECT_EQ(t.list.Events()[0].Args, (std::vector<std::string>{"4", "5"}));
    // Old streams keep the level in one byte, 0 or 1.
    EXPECT_EQ(t.list.Events()[0].Level, version >= 114 ? 2 : 1);
    EXPECT_EQ(t.list.Events()[1].Object, timer);

    // Saving what was loaded gives the same bytes.
    EXPECT_EQ(Save(t.list, version), Save(s.list, version));
  }
}

TEST(SceneSave, TheActiveRootIsSavedFirstAndLoadsAsTheActiveOne) {
  Scene s;
  s.list.SwitchActive(1);
  s.Box("shown", 0, 0, 1, 1);
  s.Box("hidden", 0, 0, 1, 1, -1, &s.list.InactiveRoot());
  Scene t;
  Load(t.list, Save(s.list, kSceneSaveVersion), kSceneSaveVersion);
  EXPECT_EQ(t.list.FindControl("shown")->Root(), &t.list.ActiveRoot());
  EXPECT_EQ(t.list.FindControl("hidden")->Root(), &t.list.InactiveRoot());
  EXPECT_EQ(t.list.ActiveRoot().Name(), "\001BASE0");
}

// A record of version 103 written byte by byte: no depth offset, comment, motion words, clip,
// paused, focus or key labels; the level of an event in one byte.
TEST(SceneSave, HandMadeVersion103Record) {
  MemoryStream m;
  auto control = [&](const std::string& name, int32_t left, int32_t children) {
    WriteString(m, name);
    WriteInt32(m, 9);  // depth
    for (int32_t v : {left, 2, 30, 40, 0, 0}) WriteInt32(m, v);
    WriteByte(m, 0);   // scale position
    WriteByte(m, 1);   // visible
    WriteInt32(m, -1);  // colour
    for (int32_t v : {0, 0, 1, 1}) WriteInt32(m, v);
    WriteByte(m, 0);  // input mode
    WriteString(m, "");  // hint
    WriteString(m, "p:move");
    WriteString(m, "p:103");  // from version 102
    for (int i = 0; i < 7; ++i) WriteString(m, "");
    WriteInt32(m, children);
  };
  control("\001BASE0", 0, 2);
  WriteByte(m, kKindCabinet);
  control("shelf", 17, 0);
  WriteByte(m, 0x80 | 50);  // a kind outside the table: no object, the next child follows
  control("\001BASE1", 0, 0);
  WriteInt32(m, 1);
  WriteByte(m, kKindTimer);
  WriteString(m, "timer");
  WriteInt32(m, 0);
  WriteString(m, "p:t");
  WriteInt32(m, 100);
  WriteByte(m, 0);  // stopped; one-shot and fired come later
  WriteInt32(m, 1);
  WriteString(m, "p:t");
  WriteString(m, "timer");
  WriteByte(m, 33);
  WriteByte(m, 1);  // the level, one byte
  WriteInt32(m, 0);
  m.SetPosition(0);
  Scene t;
  t.list.Load(m, 103);
  EXPECT_EQ(m.Remaining(), 0);
  TOrinControl* shelf = t.list.FindControl("shelf");
  ASSERT_NE(shelf, nullptr);
  EXPECT_EQ(shelf->Kind(), kKindCabinet);
  EXPECT_EQ(shelf->Left(), 17);
  EXPECT_EQ(shelf->Depth(), 9);
  EXPECT_EQ(shelf->Label(103), "p:103");
  EXPECT_EQ(test::GetInt(*shelf, kPropClipWidth), INT32_MAX);
  auto* timer = static_cast<TOrinTimer*>(t.list.Find("timer"));
  ASSERT_NE(timer, nullptr);
  EXPECT_EQ(timer->Interval(), 100);
  ASSERT_EQ(t.list.Events().Count(), 1);
  EXPECT_EQ(t.list.Events()[0].Object, timer);
  EXPECT_EQ(t.list.Events()[0].Level, 1);
}

TEST(SceneSave, DamagedRecordsFailCleanly) {
  Scene s;
  Populate(s);
  const std::string good = Save(s.list, kSceneSaveVersion);
  // Every cut of a good record fails with Error (or, at the very end, loads).
  for (size_t n = 0; n < good.size(); n += 1 + n / 64) {
    Scene t;
    EXPECT_THROW(Load(t.list, good.substr(0, n), kSceneSaveVersion), Error) << n;
  }
  // A kind of the table whose class this player lacks cannot be skipped.
  {
    MemoryStream m;
    Scene plain;
    plain.list.Save(m, kSceneSaveVersion);
    std::string bytes(m.View());
    // The first root's child count sits right before the second root's name; make it 1 and
    // put an edit field (kind 5) there.
    Scene t;
    t.list.Classes().Set(kKindEdit, nullptr);
    MemoryStream r;
    t.list.ActiveRoot().Save(r, kSceneSaveVersion);
    const size_t countAt = r.Size() - 4;
    bytes[countAt] = 1;
    bytes.insert(countAt + 4, 1, static_cast<char>(kKindEdit));
    EXPECT_THROW(Load(t.list, bytes, kSceneSaveVersion), Error);
  }
}

// A chain of n boxes below the active root. Names are unique in a scene; with sameNames the
// record names every box "#0000", as a hand-made record may.
std::string ChainSave(int n, bool sameNames = false) {
  Scene s;
  TOrinControl* parent = &s.list.ActiveRoot();
  std::vector<std::string> names;
  for (int i = 0; i < n; ++i) {
    char name[8];
    std::snprintf(name, sizeof name, "#%04d", i);
    names.push_back(name);
    TOrinBox& b = s.Box(name, 0, 0, 1, 1, -1, parent);
    EXPECT_EQ(b.Parent(), parent) << "level " << i + 1;
    parent = &b;
  }
  std::string bytes = Save(s.list, kSceneSaveVersion);
  if (sameNames)
    for (const std::string& name : names) bytes.replace(bytes.find(name), name.size(), "#0000");
  return bytes;
}

size_t CommonPrefix(const std::string& a, const std::string& b) {
  size_t i = 0;
  while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
  return i;
}

TEST(SceneSave, EveryNestingTheSceneBuildsLoadsAgain) {
  const int deepest = TOrinBaseList::kMaxLoadDepth - 1;  // the root is the first level
  Scene t;
  EXPECT_NO_THROW(Load(t.list, ChainSave(deepest), kSceneSaveVersion));

  // One level more is refused where it would be built, whichever way: a new child at the bottom,
  // or a subtree moved under a control deep enough that its leaves would pass the limit.
  Scene s;
  TOrinControl* parent = &s.list.ActiveRoot();
  for (int i = 0; i < deepest; ++i) parent = &s.Box("b", 0, 0, 1, 1, -1, parent);
  TOrinBox& extra = s.Box("extra", 0, 0, 1, 1, -1, parent);
  EXPECT_EQ(extra.Parent(), &s.list.ActiveRoot());
  TOrinBox& child = s.Box("child", 0, 0, 1, 1, -1, &extra);
  EXPECT_FALSE(extra.SetParent(parent->Parent()));  // extra and child would need two levels
  EXPECT_TRUE(child.SetParent(parent->Parent()));   // child alone fits at the bottom
  EXPECT_NO_THROW(Load(t.list, Save(s.list, kSceneSaveVersion), kSceneSaveVersion));
}

TEST(SceneSave, RecordsNestedBeyondTheLimitAreRefused) {
  // A hand-made chain deeper than any scene builds: the records of chains of one, two and three
  // boxes give the repeating parts (a box head with one child, a box tail).
  const std::string s1 = ChainSave(1, true), s2 = ChainSave(2, true), s3 = ChainSave(3, true);
  const size_t p12 = CommonPrefix(s1, s2), p23 = CommonPrefix(s2, s3);
  const size_t head = p23 - p12, tail = (s2.size() - s1.size()) - head;
  const std::string open = s2.substr(p12, head);
  const std::string rest = s1.substr(p12 + 4);  // after the leaf's child count of 0
  auto chain = [&](int n) {
    std::string r = s1.substr(0, p12);
    for (int i = 1; i < n; ++i) r += open;
    r += std::string(4, '\0');
    for (int i = 1; i < n; ++i) r += rest.substr(0, tail);
    return r + rest;
  };
  ASSERT_EQ(chain(2), s2);
  ASSERT_EQ(chain(3), s3);
  Scene t;
  EXPECT_NO_THROW(Load(t.list, chain(TOrinBaseList::kMaxLoadDepth - 1), kSceneSaveVersion));
  EXPECT_THROW(Load(t.list, chain(TOrinBaseList::kMaxLoadDepth), kSceneSaveVersion), Error);
  EXPECT_THROW(Load(t.list, chain(TOrinBaseList::kMaxLoadDepth + 50), kSceneSaveVersion), Error);
}

}  // namespace
}  // namespace orin
