#include "scene/model/orin_base_list.h"

#include <gtest/gtest.h>

#include "core/error.h"
#include "resources/stream.h"
#include "scene/objects/orin_cabinet.h"
#include "scene/objects/orin_mes.h"
#include "scene/objects/orin_timer.h"
#include "scene/model/property_table.h"
#include "scene/text/text_services.h"
#include "scene/scene_test_support.h"

namespace orin {
namespace {

using test::Scene;

std::vector<std::string> ChildNames(const TOrinControl& c) {
  std::vector<std::string> names;
  for (const TOrinControl* child : c.Children()) names.push_back(child->Name());
  return names;
}

TEST(TOrinBaseList_Names, DefaultNamesTakeTheFirstFreeNumber) {
  Scene s;
  TOrinObject* a = s.list.Create(kKindBox);
  TOrinObject* b = s.list.Create(kKindTimer);
  EXPECT_EQ(a->Name(), "object0");
  EXPECT_EQ(b->Name(), "object1");
  a->Rename("pic");
  EXPECT_EQ(s.list.Create(kKindBox)->Name(), "object0");
  // Kinds 1 and 10 and kinds without a class make nothing; the top bit of a kind is ignored.
  EXPECT_EQ(s.list.Create(1), nullptr);
  EXPECT_EQ(s.list.Create(10), nullptr);
  s.list.Classes().Set(kKindEdit, nullptr);
  EXPECT_EQ(s.list.Create(kKindEdit), nullptr);
  EXPECT_EQ(s.list.Create(0x80 | kKindTimer)->Kind(), kKindTimer);
}

// A class of a later kind, made with the scene's services.
class ServedControl : public TOrinControl {
 public:
  ServedControl(TOrinBaseList* owner, const SceneServices& services) : TOrinControl(owner), text(services.Text) {}
  uint8_t Kind() const override { return kKindFire; }
  TextServices* text;
};

TEST(TOrinBaseList_Classes, KindsAreMadeFromOneTableWithTheScenesServices) {
  TextServices text;
  Scene s;
  s.list.SetServices({.Text = &text});
  const struct {
    uint8_t kind;
    bool control;
  } standard[] = {{kKindBox, true}, {kKindMes, true}, {kKindCabinet, true}, {kKindTimer, false},
                  {kKindPropMotion, false}};
  for (const auto& c : standard) {
    TOrinObject* o = s.list.Create(c.kind);
    ASSERT_NE(o, nullptr) << int{c.kind};
    EXPECT_EQ(o->Kind(), c.kind);
    EXPECT_EQ(o->AsControl() != nullptr, c.control) << int{c.kind};
  }
  // Message windows made by kind reach the text services: no second registration is needed.
  auto* mes = static_cast<TOrinMes*>(s.list.Create(kKindMes));
  EXPECT_EQ(mes->Services(), &text);

  // A class added to the table is made, and loaded from a save, like the others.
  EXPECT_EQ(s.list.Create(kKindFire), nullptr);
  s.list.Classes().Set(kKindFire, ObjectClasses::MakeOf<ServedControl>);
  auto* served = static_cast<ServedControl*>(s.list.Create(kKindFire));
  ASSERT_NE(served, nullptr);
  EXPECT_EQ(served->text, &text);
  EXPECT_EQ(served->Parent(), &s.list.ActiveRoot());
  served->Rename("served");
  MemoryStream saved;
  s.list.Save(saved, 134);
  saved.SetPosition(0);
  s.list.Load(saved, 134);
  TOrinObject* back = s.list.Find("served");
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->Kind(), kKindFire);
  EXPECT_EQ(static_cast<ServedControl*>(back)->text, &text);

  // An empty maker takes the kind away again.
  s.list.Classes().Set(kKindFire, nullptr);
  EXPECT_FALSE(s.list.HasKind(kKindFire));
}

// The media layer's part: sounds made by what it implements.
class SoundStub : public TOrinComponent {
 public:
  using TOrinComponent::TOrinComponent;
  uint8_t Kind() const override { return kKindSound; }
};
class FakeMedia final : public MediaServices {
 public:
  std::unique_ptr<TOrinObject> MakeObject(uint8_t kind, TOrinBaseList& owner) override {
    asked.push_back(kind);
    return kind == kKindSound ? std::make_unique<SoundStub>(&owner) : nullptr;
  }
  std::vector<int> asked;
};

TEST(TOrinBaseList_Classes, MediaKindsComeFromTheMediaLayer) {
  Scene s;
  EXPECT_EQ(s.list.Create(kKindSound), nullptr);  // no media layer
  FakeMedia media;
  s.list.SetServices({.Media = &media});
  TOrinObject* sound = s.list.Create(kKindSound);
  ASSERT_NE(sound, nullptr);
  EXPECT_EQ(sound->Kind(), kKindSound);
  EXPECT_EQ(s.list.Create(kKindVideo), nullptr);  // not made by this media layer
  EXPECT_EQ(media.asked, (std::vector<int>{kKindSound, kKindVideo}));

  // A save holding a sound cannot be read by a scene without media: a clean error.
  MemoryStream saved;
  s.list.Save(saved, 134);
  saved.SetPosition(0);
  Scene silent;
  EXPECT_THROW(silent.list.Load(saved, 134), Error);
}

TEST(TOrinBaseList_Names, RenameMovesTheOtherObjectAside) {
  Scene s;
  TOrinObject& first = s.Box("pic", 0, 0, 1, 1);
  TOrinObject& second = s.Box("b", 0, 0, 1, 1);
  TOrinObject& third = s.Box("c", 0, 0, 1, 1);
  second.Rename("pic");
  EXPECT_EQ(first.Name(), "pic_2");
  EXPECT_EQ(second.Name(), "pic");
  // Again: the then-existing pic becomes pic_3, since pic_2 is taken.
  third.Rename("pic");
  EXPECT_EQ(second.Name(), "pic_3");
  EXPECT_EQ(third.Name(), "pic");
  EXPECT_EQ(first.Name(), "pic_2");

  // A trailing number above 1 is replaced, not extended; _1 and _0 are part of the name.
  struct Case {
    const char* existing;
    const char* expect;
  };
  const Case cases[] = {{"a_7", "a_2"}, {"a_1", "a_1_2"}, {"a_", "a__2"}, {"a_x3", "a_x3_2"}};
  for (const Case& c : cases) {
    Scene t;
    TOrinObject& old = t.Box(c.existing, 0, 0, 1, 1);
    t.Box("new", 0, 0, 1, 1).Rename(c.existing);
    EXPECT_EQ(old.Name(), c.expect) << c.existing;
  }
}

TEST(TOrinBaseList_Names, RenamingIsMultiByteAware) {
  Scene s;
  // "ソ" is 0x83 0x5C and "_" can be a trail byte: "\x83_" is one character, not a stem "\x83".
  const std::string name = std::string("x\x83_") + "5";
  TOrinObject& old = s.Box(name, 0, 0, 1, 1);
  s.Box("other", 0, 0, 1, 1).Rename(name);
  EXPECT_EQ(old.Name(), name + "_2");
}

TEST(TOrinBaseList_Find, ReservedNamesLeadToTheRoots) {
  Scene s;
  EXPECT_EQ(s.list.Find(""), &s.list.ActiveRoot());
  EXPECT_EQ(s.list.Find("\001BASE0"), &s.list.Root(0));
  EXPECT_EQ(s.list.Find("\001BASE1"), &s.list.Root(1));
  EXPECT_EQ(s.list.Find(TOrinBaseList::kBackRootName), &s.list.Root(1));
  s.list.SwitchActive(1);
  EXPECT_EQ(s.list.Find(""), &s.list.Root(1));
  EXPECT_EQ(s.list.Find("\001BASE0"), &s.list.Root(1));
  EXPECT_EQ(s.list.Find("\001BASE1"), &s.list.Root(0));
  // Lookups are exact: no case folding.
  s.Box("Pic", 0, 0, 1, 1);
  EXPECT_EQ(s.list.Find("pic"), nullptr);
  EXPECT_NE(s.list.Find("Pic"), nullptr);
  EXPECT_EQ(s.list.FindControl(s.list.Create(kKindTimer)->Name()), nullptr);
}

TEST(TOrinBaseList_Delete, DeletedObjectsVanishFromLookupsAtOnceAndAreFreedByTheStep) {
  Scene s;
  TOrinBox& parent = s.Box("parent", 0, 0, 10, 10);
  TOrinBox& child = s.Box("child", 0, 0, 5, 5, -1, &parent);
  const uint64_t parentSerial = parent.Serial(), childSerial = child.Serial();
  parent.Delete();
  EXPECT_EQ(s.list.Find("parent"), nullptr);
  EXPECT_TRUE(parent.Name().empty());
  // Still in memory (and its undeleted child still findable) until the step frees them.
  EXPECT_EQ(s.list.FindBySerial(parentSerial), &parent);
  EXPECT_EQ(s.list.Find("child"), &child);
  // A new object may take the name at once.
  EXPECT_EQ(s.list.Create(kKindBox)->Name(), "object0");
  s.Frame(16);
  EXPECT_EQ(s.list.FindBySerial(parentSerial), nullptr);
  EXPECT_EQ(s.list.FindBySerial(childSerial), nullptr);  // freed with its parent
  EXPECT_EQ(s.list.Find("child"), nullptr);
  EXPECT_EQ(s.list.ObjectCount(), 1);
}

TEST(TOrinBaseList_Delete, FreeingDropsFocusAndWaitingEvents) {
  Scene s;
  TOrinBox& box = s.Box("box", 0, 0, 10, 10);
  test::SetFlag(box, kPropFocusable, true);
  s.Frame(16);
  ASSERT_EQ(s.list.Focus(), &box);
  s.list.Events().Add(&box, "p:waiting", nullptr, 36);
  s.list.Events().Add(&box, "p:running", nullptr, 37).Level = 1;
  box.Delete();
  s.list.Step();
  EXPECT_EQ(s.list.Focus(), nullptr);
  // The waiting event is gone; the running one stays, without its object.
  ASSERT_EQ(s.list.Events().Count(), 1);
  EXPECT_EQ(s.list.Events()[0].Label, "p:running");
  EXPECT_EQ(s.list.Events()[0].Object, nullptr);
}

TEST(TOrinBaseList_Order, SiblingsDrawByDepthThenNameInternalBelowTopAbove) {
  Scene s;
  TOrinControl& root = s.list.ActiveRoot();
  s.Box("b", 0, 0, 1, 1).SetDepth(5);
  s.Box("a", 0, 0, 1, 1).SetDepth(5);
  s.Box("c", 0, 0, 1, 1).SetDepth(-3);
  s.Box("\001hidden", 0, 0, 1, 1).SetDepth(100);
  s.Box(TOrinBaseList::kTopName, 0, 0, 1, 1).SetDepth(-100);
  EXPECT_EQ(ChildNames(root), (std::vector<std::string>{"\001hidden", "c", "a", "b", TOrinBaseList::kTopName}));
  // The depth offset counts; setting the depth resets it.
  TOrinControl* c = s.list.FindControl("c");
  c->SetDepthOffset(10);
  EXPECT_EQ(ChildNames(root), (std::vector<std::string>{"\001hidden", "a", "b", "c", TOrinBaseList::kTopName}));
  test::SetInt(*c, kPropDepth, 0);
  EXPECT_EQ(c->DepthOffset(), 0);
  EXPECT_EQ(ChildNames(root), (std::vector<std::string>{"\001hidden", "c", "a", "b", TOrinBaseList::kTopName}));
  // Names compare as bytes: 0x83 sorts after ASCII.
  s.Box("\x83\x41", 0, 0, 1, 1).SetDepth(5);
  EXPECT_EQ(ChildNames(root)[4], "\x83\x41");
}

TEST(TOrinBaseList_Parent, ReparentingMovesAndRefusesCycles) {
  Scene s;
  TOrinBox& a = s.Box("a", 0, 0, 10, 10);
  TOrinBox& b = s.Box("b", 0, 0, 10, 10, -1, &a);
  TOrinBox& c = s.Box("c", 0, 0, 10, 10, -1, &b);
  EXPECT_FALSE(a.SetParent(&c));  // would put a inside itself
  EXPECT_FALSE(a.SetParent(&a));
  EXPECT_FALSE(s.list.ActiveRoot().SetParent(&a));
  EXPECT_EQ(a.Parent(), &s.list.ActiveRoot());
  test::SetStr(c, kPropParent, "a");
  EXPECT_EQ(c.Parent(), &a);
  EXPECT_EQ(ChildNames(a), (std::vector<std::string>{"b", "c"}));
  EXPECT_TRUE(ChildNames(b).empty());
  // An empty or unknown parent name puts the object on the active root.
  test::SetStr(c, kPropParent, "nothing");
  EXPECT_EQ(c.Parent(), &s.list.ActiveRoot());
  test::SetStr(b, kPropParent, "\001BASE1");
  EXPECT_EQ(b.Parent(), &s.list.InactiveRoot());
  EXPECT_EQ(test::GetStr(b, kPropParent), "\001BASE1");
}

TEST(TOrinBaseList_Clear, ClearMakesFreshRootsOfTheSameSize) {
  Scene s(40, 30);
  s.Box("box", 0, 0, 5, 5);
  s.list.Create(kKindTimer);
  s.list.Events().Add(nullptr, "x", nullptr, 33);
  s.list.MouseMove(7, 9);
  s.list.SwitchActive(1);
  s.list.Clear();
  EXPECT_EQ(s.list.ObjectCount(), 0);
  EXPECT_EQ(s.list.Events().Count(), 0);
  EXPECT_EQ(s.list.ActiveIndex(), 0);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(s.list.Root(i).Width(), 40);
    EXPECT_EQ(s.list.Root(i).Surface().Height(), 30);
    EXPECT_EQ(s.list.Root(i).MouseX(), 7);
    EXPECT_EQ(s.list.Root(i).MouseY(), 9);
  }
  EXPECT_EQ(s.list.Root(0).Name(), "\001BASE0");
  EXPECT_EQ(s.list.Create(kKindBox)->Name(), "object0");
}

TEST(TOrinBaseList_Roots, SwitchingDropsAFocusOnTheOtherRootAndRepaintsTheNewOne) {
  Scene s;
  TOrinBox& box = s.Box("box", 0, 0, 10, 10);
  test::SetFlag(box, kPropFocusable, true);
  s.Frame(16);
  ASSERT_EQ(s.list.Focus(), &box);
  s.list.ClearDirty();
  s.list.SwitchActive(1);
  EXPECT_EQ(s.list.Focus(), nullptr);
  EXPECT_TRUE(s.list.ActiveRoot().AllDirty());
  EXPECT_EQ(&s.list.PresentSurface(), &s.list.Root(1).Surface());
}

TEST(TOrinBaseList_Step, CabinetsFreezeTheirDescendants) {
  Scene s;
  auto& cabinet = *static_cast<TOrinCabinet*>(s.list.Create(kKindCabinet));
  TOrinBox& inside = s.Box("inside", 0, 0, 5, 5, 0xFF, &cabinet);
  TOrinBox& outside = s.Box("outside", 0, 0, 5, 5);
  inside.SetLabel(kEventEveryFrame, "p:tick");
  outside.SetLabel(kEventEveryFrame, "p:tick");
  s.Frame(16);
  EXPECT_EQ(s.Events(), (std::vector<std::string>{"113 p:tick"}));
  EXPECT_EQ(s.list.Events()[0].Object, &outside);
  // The every-frame event is not queued again while one is pending.
  s.Frame(16);
  EXPECT_EQ(s.list.Events().Count(), 1);
  // A cabinet shows nothing of what it holds and takes no pointer.
  s.list.Draw();
  EXPECT_EQ(s.Pixel(1, 1), 0u);
  EXPECT_EQ(s.list.ActiveRoot().HitTest(1, 1, kHitLeft), &outside);
}

TEST(TOrinBaseList_Step, AnObjectFinishedInTheWalkIsFreedAndTheWalkGoesOn) {
  Scene s;
  // Three one-shot timers that fired and whose events were handled finish in one walk; each is
  // freed at once and the walk still visits the next.
  std::vector<TOrinTimer*> timers;
  for (int i = 0; i < 3; ++i) {
    auto* t = static_cast<TOrinTimer*>(s.list.Create(kKindTimer));
    t->SetLabel("p:t");
    t->SetOneShot(true);
    timers.push_back(t);
  }
  s.Frame(16);
  EXPECT_EQ(s.list.Events().Count(), 3);
  s.HandleEvents();
  s.Frame(16);
  EXPECT_EQ(s.list.ObjectCount(), 0);
}

}  // namespace
}  // namespace orin
