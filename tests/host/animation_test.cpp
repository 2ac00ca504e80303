// Animation in the host: exact frames of fractional times, spline data, curves and keys in time
// order, tracks of registered track plug-ins, links, undo of new tracks and keys, the keys that
// evaluation hands a track, and a key's attributes as the attribute manager shows them.
#include "runtime/animation.h"

#include <gtest/gtest.h>

#include <cmath>

#include "c4d_basedocument.h"
#include "c4d_baseobject.h"
#include "c4d_canimation.h"
#include "c4d_tagdata.h"
#include "c4d_trackdata.h"
#include "customgui_splinecontrol.h"
#include "runtime/registry.h"
#include "runtime/scene.h"

namespace {

constexpr Int32 kTrackId = 1900001;     // a track plug-in of the tests
constexpr Int32 kLowTrackId = 1900000;  // another one, of a lower identifier
constexpr Int32 kTagId = 1900002;       // a tag plug-in of the tests
constexpr Int32 kKeyDescription = 1900003;

// What the tests' track and tag saw, in order.
std::vector<std::string> g_calls;
CAnimInfo g_lastInfo;
bool g_fill = true;        // what FillKey answers
bool g_fillTakes = false;  // FillKey takes the key out of its curve

struct TestTrack : CTrackData {
  Bool Animate(CTrack*, const CAnimInfo* info, Bool*, void*) override {
    g_calls.push_back("track");
    g_lastInfo = *info;
    return info->k1 != nullptr;  // a track without keys reports a failure, to count errors
  }
  Bool FillKey(CTrack*, BaseDocument*, BaseList2D* bl, CKey* key) override {
    if (g_fillTakes) key->Remove();
    key->SetParameter(DescID(1000), GeData(Int32(7)), DESCFLAGS_SET_0);
    BaseLink link;
    link.SetLink(bl);
    key->SetParameter(DescID(1002), GeData(link), DESCFLAGS_SET_0);
    return g_fill;
  }
  Bool TrackInformation(CTrack* track, BaseDocument*, CKey*, String* str, Bool) override {
    *str = track->GetObject()->GetName() + " test";
    return true;
  }
  Bool KeyGetDDescription(CTrack*, CKey*, Description* d, DESCFLAGS_DESC& flags) override {
    if (d->LoadDescription(kKeyDescription))
      flags = static_cast<DESCFLAGS_DESC>(flags | DESCFLAGS_DESC_LOADED);
    return true;
  }
  Bool KeyGetDEnabling(CTrack*, CKey*, const DescID& id, const GeData&, DESCFLAGS_ENABLE,
                       const BaseContainer*) override {
    return id[0].id != 1002;
  }
};

struct TestTag : TagData {
  EXECUTIONRESULT Execute(BaseTag*, BaseDocument*, BaseObject*, BaseThread*, Int32,
                          Int32) override {
    g_calls.push_back("tag");
    return EXECUTIONRESULT_OK;
  }
};

void RegisterTestPlugins() {
  auto& r = hostrt::Registry::Get();
  for (Int32 id : {kTrackId, kLowTrackId}) {
    if (r.Find(id)) continue;
    PluginEntry e;
    e.id = id;
    e.kind = PluginKind::Track;
    e.allocator = []() -> NodeData* { return new TestTrack(); };
    r.Add(std::move(e));
  }
  if (!r.Find(kTagId)) {
    PluginEntry e;
    e.id = kTagId;
    e.kind = PluginKind::Tag;
    e.allocator = []() -> NodeData* { return new TestTag(); };
    r.Add(std::move(e));
  }
  DescEntry group, number, link;
  group.type = DTYPE_GROUP;
  number.id = 1000;
  number.type = DTYPE_LONG;
  number.props.SetString(DESC_NAME, "Count");
  link.id = 1002;
  link.type = DTYPE_BASELISTLINK;
  link.props.SetString(DESC_NAME, "Target");
  r.AddDescription("TEST_KEY", kKeyDescription, {group, number, link});
}

struct Animation : ::testing::Test {
  BaseDocument* doc = BaseDocument::Alloc();
  PolygonObject* op = PolygonObject::Alloc(4, 1);

  void SetUp() override {
    RegisterTestPlugins();
    g_calls.clear();
    g_fill = true;
    g_fillTakes = false;
    op->SetName("Cube");
    op->MakeTag(Tuvw);
    doc->InsertObject(op, nullptr, nullptr);
    doc->SetFps(25);
  }
  ~Animation() override { BaseDocument::Free(doc); }

  CTrack* Track() {
    std::string why;
    CTrack* t = hostrt::AddTrack(*doc, *op, DescID(kTrackId), why);
    EXPECT_NE(t, nullptr) << why;
    return t;
  }
  static std::vector<Int32> Frames(const CCurve* c) {
    std::vector<Int32> f;
    for (const CKey* k = c->GetFirstKey(); k; k = k->GetNext())
      f.push_back(k->GetTime().GetFrame(25));
    return f;
  }
};

}  // namespace

TEST(BaseTime, FramesOfFractionsAreExact) {
  // Frame f at r fps is the time f / r; its frame must be f again. In floating point 29/25 s is
  // 1.16, and 25 * 1.16 = 28.999..., which truncates to 28.
  for (Int32 fps : {24, 25, 30, 50, 60, 100})
    for (Int32 f = -50; f < 2000; ++f)
      ASSERT_EQ(BaseTime(f, fps).GetFrame(fps), f) << "frame " << f << " at " << fps << " fps";
  EXPECT_EQ(BaseTime(116, 100).GetFrame(25), 29) << "1.16 s written as a decimal";
  EXPECT_EQ(BaseTime(29, 25).GetFrame(50), 58) << "another rate";
  // Truncation toward zero: 12/25 s at 30 fps is 14.4, -12/25 s is -14.4.
  EXPECT_EQ(BaseTime(12, 25).GetFrame(30), 14);
  EXPECT_EQ(BaseTime(-12, 25).GetFrame(30), -14);
  EXPECT_EQ(BaseTime(12, -25).GetFrame(30), -14) << "the sign may sit in the denominator";
  EXPECT_EQ(BaseTime(7, 0).GetFrame(25), 0) << "no denominator: 0 s";
  EXPECT_EQ(BaseTime(0.5).GetFrame(25), 12) << "seconds that are not whole: 12.5 truncated";
  EXPECT_EQ(BaseTime(1e15, 1).GetFrame(25), 2147483647) << "clamped, not overflowed";
  EXPECT_EQ(BaseTime(-1e300).GetFrame(25), -2147483647 - 1);
  EXPECT_EQ(BaseTime(std::nan(""), 1).GetFrame(25), 0);
}

TEST(BaseTime, ComparesAsFractions) {
  EXPECT_EQ(BaseTime(116, 100), BaseTime(29, 25));
  EXPECT_EQ(BaseTime(1, -2), BaseTime(-1, 2));
  EXPECT_NE(BaseTime(1, 3), BaseTime(333333, 1000000));
  EXPECT_LT(BaseTime(333333, 1000000), BaseTime(1, 3));
  EXPECT_GT(BaseTime(1, 3), BaseTime(333333, 1000000));
  EXPECT_LT(BaseTime(1, -2), BaseTime(0, 1));
  EXPECT_LE(BaseTime(2, 4), BaseTime(1, 2));
  EXPECT_GE(BaseTime(3, 4), BaseTime(1, 2));
  EXPECT_EQ(BaseTime(5, 0), BaseTime(0, 1)) << "no denominator is 0 s";
  EXPECT_LT(BaseTime(0.25), BaseTime(1, 3)) << "seconds that are not whole compare as seconds";
}

TEST(DescID, LevelsCompareByIdentifier) {
  EXPECT_EQ(DescID(5), DescID(DescLevel(5, DTYPE_LONG, 0)));
  EXPECT_NE(DescID(5), DescID(6));
  EXPECT_LT(DescID(5), DescID(6));
  EXPECT_LT(DescID(5), DescID(DescLevel(5), DescLevel(1))) << "a parameter before its parts";
  EXPECT_FALSE(DescID(DescLevel(5), DescLevel(1)) < DescID(5));
  EXPECT_EQ(DescID(7)[1].id, 0) << "a level outside the depth is empty";
}

TEST(SplineData, KnotsResizeAndCopiesStayApart) {
  SplineData* s = SplineData::Alloc();
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->GetKnots(), nullptr);
  EXPECT_TRUE(s->ResizeKnots(12));
  EXPECT_FALSE(s->ResizeKnots(-1));
  EXPECT_EQ(s->GetKnotCount(), 12) << "a refused size leaves the list";
  EXPECT_EQ(s->GetKnot(12), nullptr);
  EXPECT_EQ(s->GetKnot(-1), nullptr);
  s->GetKnot(11)->vPos = Vector(1, 2, 3);
  EXPECT_EQ(s->InsertKnot(4, 5), 12);
  EXPECT_EQ(s->GetKnot(12)->vPos, Vector(4, 5, 0));

  // A value read out of a container shares the knots until one side writes.
  GeData held(CUSTOMDATATYPE_SPLINE, *s);
  SplineData::Free(s);
  EXPECT_EQ(s, nullptr);
  GeData copy = held;
  EXPECT_EQ(copy.GetCustomDataType(CUSTOMDATATYPE_SPLINE),
            held.GetCustomDataType(CUSTOMDATATYPE_SPLINE));
  auto* w = static_cast<SplineData*>(copy.GetCustomDataTypeWritable(CUSTOMDATATYPE_SPLINE));
  ASSERT_NE(w, nullptr);
  w->GetKnot(11)->vPos = Vector(9, 9, 9);
  const auto* original =
      static_cast<const SplineData*>(held.GetCustomDataType(CUSTOMDATATYPE_SPLINE));
  EXPECT_EQ(original->GetKnot(11)->vPos, Vector(1, 2, 3)) << "writing the copy left the original";
  EXPECT_EQ(GeData(DA_LONG, SplineData()).GetType(), DA_NIL) << "data of another type is nothing";
}

TEST_F(Animation, KeysStayInTimeOrderAndLaterKeysStandForTheirTime) {
  CCurve* c = Track()->GetCurve();
  ASSERT_NE(c, nullptr);
  std::string why;
  EXPECT_EQ(hostrt::AddTrack(*doc, *op, DescID(kTrackId), why), nullptr);
  EXPECT_EQ(why, "Cube already has track 1900001");
  Int32 idx = -1;
  CKey* k10 = c->AddKey(BaseTime(10, 25), &idx);
  EXPECT_EQ(idx, 0);
  CKey* k0 = c->AddKey(BaseTime(0, 25), &idx);
  EXPECT_EQ(idx, 0);
  CKey* k10b = c->AddKey(BaseTime(20, 50), &idx);
  EXPECT_EQ(idx, 2) << "after the key already at that time";
  CKey* k5 = c->AddKey(BaseTime(5, 25));
  EXPECT_EQ(Frames(c), (std::vector<Int32>{0, 5, 10, 10}));
  EXPECT_EQ(c->GetKeyCount(), 4);
  EXPECT_EQ(c->GetKey(3), k10b);
  EXPECT_EQ(c->GetKey(4), nullptr);
  EXPECT_EQ(k5->GetCurve(), c);
  EXPECT_EQ(k5->GetTrack(), c->GetTrack());
  EXPECT_EQ(k5->GetDocument(), doc);

  EXPECT_EQ(c->FindKey(BaseTime(10, 25), &idx), k10b) << "the key added last";
  EXPECT_EQ(idx, 3);
  EXPECT_EQ(c->FindKey(BaseTime(9, 25)), nullptr);
  EXPECT_EQ(c->FindKey(BaseTime(9, 25), nullptr, FINDANIM_LEFT), k5);
  EXPECT_EQ(c->FindKey(BaseTime(9, 25), nullptr, FINDANIM_RIGHT), k10b);
  EXPECT_EQ(c->FindKey(BaseTime(-1, 25), nullptr, FINDANIM_LEFT), nullptr);
  EXPECT_EQ(c->FindKey(BaseTime(11, 25), nullptr, FINDANIM_RIGHT), nullptr);

  k0->SetTime(c, BaseTime(7, 25));
  EXPECT_EQ(c->GetFirstKey(), k5) << "a moved key takes its place in time order";
  EXPECT_EQ(Frames(c), (std::vector<Int32>{5, 7, 10, 10}));
  EXPECT_TRUE(c->DelKey(3));
  EXPECT_FALSE(c->DelKey(3));
  EXPECT_EQ(c->FindKey(BaseTime(10, 25)), k10);
}

TEST_F(Animation, KeysAroundATime) {
  CCurve* c = Track()->GetCurve();
  const CKey *k1 = nullptr, *k2 = nullptr;
  hostrt::KeysAround(c, BaseTime(0, 1), k1, k2);
  EXPECT_EQ(k1, nullptr);
  EXPECT_EQ(k2, nullptr);
  hostrt::KeysAround(nullptr, BaseTime(0, 1), k1, k2);
  EXPECT_EQ(k1, nullptr);

  CKey* a = c->AddKey(BaseTime(10, 25));
  CKey* b = c->AddKey(BaseTime(20, 25));
  CKey* b2 = c->AddKey(BaseTime(20, 25));
  CKey* d = c->AddKey(BaseTime(30, 25));
  const struct {
    Int32 frame;
    const CKey *k1, *k2;
  } cases[] = {
      {5, a, a},    // before the first key: both are the first
      {10, a, b2},  // at a key: it, and the next time's last key
      {15, a, b2},  // between
      {20, b2, d},  // at a doubled time: the key added last
      {29, b2, d},  //
      {30, d, d},   // at the last key
      {99, d, d},   // after it
  };
  for (const auto& tc : cases) {
    hostrt::KeysAround(c, BaseTime(tc.frame, 25), k1, k2);
    EXPECT_EQ(k1, tc.k1) << "frame " << tc.frame;
    EXPECT_EQ(k2, tc.k2) << "frame " << tc.frame;
  }
  (void)b;
}

TEST_F(Animation, TracksOfRegisteredPluginsInIdentifierOrder) {
  EXPECT_EQ(CTrack::Alloc(op, DescID(1900099)), nullptr) << "no plug-in of that identifier";
  EXPECT_EQ(CTrack::Alloc(op, DescID(kTagId)), nullptr) << "a tag plug-in makes no track";
  EXPECT_EQ(CTrack::Alloc(op, DescID(DescLevel(kTrackId), DescLevel(1))), nullptr);
  std::string why;
  EXPECT_EQ(hostrt::AddTrack(*doc, *op, DescID(1900099), why), nullptr);
  EXPECT_EQ(why, "no track plug-in 1900099");

  CTrack* t = CTrack::Alloc(op, DescID(kTrackId));
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->GetType(), kTrackId);
  EXPECT_NE(dynamic_cast<TestTrack*>(t->GetNodeData()), nullptr);
  EXPECT_EQ(t->GetCurve(CCURVE_CURVE, false), nullptr) << "the curve comes on first use";
  EXPECT_EQ(t->GetCurve(static_cast<CCURVE>(2)), nullptr);
  // Another track of the same identifier goes after it, one of a lower identifier before; a
  // track already in a list stays where it is.
  auto* same = static_cast<CTrack*>(t->GetClone(COPYFLAGS_0, nullptr));
  CTrack* lower = CTrack::Alloc(op, DescID(kLowTrackId));
  op->InsertTrackSorted(t);
  op->InsertTrackSorted(same);
  op->InsertTrackSorted(t);
  op->InsertTrackSorted(lower);
  EXPECT_EQ(op->GetFirstCTrack(), lower);
  EXPECT_EQ(lower->GetNext(), t);
  EXPECT_EQ(t->GetNext(), same);
  EXPECT_EQ(same->GetNext(), nullptr);
  EXPECT_EQ(op->FindCTrack(DescID(kTrackId)), t);
  EXPECT_EQ(op->FindCTrack(DescID(1)), nullptr);
  EXPECT_EQ(t->GetObject(), op);
  EXPECT_EQ(t->GetDocument(), doc);
}

TEST_F(Animation, ClonesCarryTracksKeysAndTheirData) {
  CTrack* t = Track();
  CKey* k = t->GetCurve()->AddKey(BaseTime(3, 25));
  k->SetParameter(DescID(1000), GeData(Int32(42)), DESCFLAGS_SET_0);
  auto* clone = static_cast<BaseObject*>(op->GetClone(COPYFLAGS_0, nullptr));
  CTrack* ct = clone->FindCTrack(DescID(kTrackId));
  ASSERT_NE(ct, nullptr);
  EXPECT_NE(ct, t);
  EXPECT_NE(ct->GetNodeData(), nullptr);
  const CKey* ck = ct->GetCurve()->GetFirstKey();
  ASSERT_NE(ck, nullptr);
  EXPECT_NE(ck, k);
  EXPECT_EQ(ck->GetTime(), BaseTime(3, 25));
  GeData v;
  EXPECT_TRUE(ck->GetParameter(DescID(1000), v, DESCFLAGS_GET_0));
  EXPECT_EQ(v.GetInt32(), 42);
  BaseObject::Free(clone);
  auto* still = static_cast<BaseObject*>(op->GetClone(COPYFLAGS_NO_ANIMATION, nullptr));
  EXPECT_EQ(still->GetFirstCTrack(), nullptr);
  BaseObject::Free(still);
}

TEST_F(Animation, LinksResolveOnlyWhileTheirNodeIsInTheDocument) {
  BaseTag* tag = op->GetTag(Tuvw);
  BaseLink link;
  link.SetLink(tag);
  EXPECT_EQ(link.GetLink(doc), tag);
  BaseDocument* other = BaseDocument::Alloc();
  EXPECT_EQ(link.GetLink(other), nullptr) << "not in that document";
  BaseDocument::Free(other);

  // A tag that undo takes out of the document is gone for the link, and back after redo.
  BaseTag* added = op->MakeTag(Tuvw);
  doc->AddUndo(UNDOTYPE_NEW, added);
  link.SetLink(added);
  ASSERT_TRUE(doc->DoUndo());
  EXPECT_EQ(link.GetLink(doc), nullptr);
  ASSERT_TRUE(doc->DoRedo());
  EXPECT_EQ(link.GetLink(doc), added);
  BaseTag::Free(added);
  EXPECT_EQ(link.GetLink(doc), nullptr) << "a freed tag";
  EXPECT_EQ(link.ForceGetLink(), nullptr);
}

TEST_F(Animation, AddingTracksAndKeysIsUndoneAndRedone) {
  CTrack* t = Track();
  EXPECT_EQ(doc->GetUndoCount(), 1);
  std::string why;
  CKey* k = hostrt::AddKey(*doc, *t, BaseTime(5, 25), why);
  ASSERT_NE(k, nullptr) << why;
  EXPECT_EQ(doc->GetUndoCount(), 2);
  GeData target;
  k->GetParameter(DescID(1002), target, DESCFLAGS_GET_0);
  EXPECT_EQ(target.GetLink(doc), op) << "the track filled the key for its object";

  ASSERT_TRUE(doc->DoUndo());
  EXPECT_EQ(t->GetCurve()->GetKeyCount(), 0);
  ASSERT_TRUE(doc->DoUndo());
  EXPECT_EQ(op->GetFirstCTrack(), nullptr);
  ASSERT_TRUE(doc->DoRedo());
  ASSERT_TRUE(doc->DoRedo());
  ASSERT_EQ(op->GetFirstCTrack(), t);
  EXPECT_EQ(t->GetCurve()->GetFirstKey(), k) << "the same key, back in its curve";
  EXPECT_EQ(k->GetTime(), BaseTime(5, 25));
}

TEST_F(Animation, AKeyTheTrackDoesNotFillIsDropped) {
  CTrack* t = Track();
  const Int32 steps = doc->GetUndoCount();
  std::string why;
  g_fill = false;
  EXPECT_EQ(hostrt::AddKey(*doc, *t, BaseTime(1, 25), why), nullptr);
  EXPECT_EQ(why, "the track did not fill the key");
  g_fill = true;
  g_fillTakes = true;  // taken out of the curve: freed by the host (the sanitizer build checks)
  EXPECT_EQ(hostrt::AddKey(*doc, *t, BaseTime(2, 25), why), nullptr);
  g_fill = false;
  EXPECT_EQ(hostrt::AddKey(*doc, *t, BaseTime(3, 25), why), nullptr);
  EXPECT_EQ(t->GetCurve()->GetKeyCount(), 0);
  EXPECT_EQ(doc->GetUndoCount(), steps) << "nothing to undo";
}

TEST_F(Animation, EvaluationAnimatesTracksBeforeTagsWithTheKeysAroundTheTime) {
  op->InsertTag(BaseTag::Alloc(kTagId));
  CTrack* t = Track();
  doc->SetTime(BaseTime(4, 25));
  hostrt::EvaluationReport r = hostrt::EvaluateScene(*doc);
  EXPECT_EQ(g_calls, (std::vector<std::string>{"track", "tag"}));
  EXPECT_EQ(r.tracksAnimated, 1);
  EXPECT_EQ(r.trackErrors, 1) << "the test track fails without keys";
  EXPECT_EQ(r.tagsExecuted, 1);

  CCurve* c = t->GetCurve();
  CKey* a = c->AddKey(BaseTime(2, 25));
  CKey* b = c->AddKey(BaseTime(12, 25));
  r = hostrt::EvaluateScene(*doc);
  EXPECT_EQ(r.trackErrors, 0);
  EXPECT_EQ(g_lastInfo.doc, doc);
  EXPECT_EQ(g_lastInfo.op, op);
  EXPECT_EQ(g_lastInfo.otime, BaseTime(4, 25));
  EXPECT_DOUBLE_EQ(g_lastInfo.xtime, 0.16);
  EXPECT_EQ(g_lastInfo.k1, a);
  EXPECT_EQ(g_lastInfo.k2, b);
  EXPECT_DOUBLE_EQ(g_lastInfo.rel, 0.2) << "frame 4 is 2 of the 10 frames from 2 to 12";
}

TEST_F(Animation, KeyAttributesAsTheAttributeManagerShowsThem) {
  CTrack* t = Track();
  std::string why;
  doc->SetTime(BaseTime(1, 2));
  ASSERT_NE(hostrt::AddKey(*doc, *t, doc->GetTime(), why), nullptr) << why;
  EXPECT_EQ(hostrt::DescribeKeys(*doc, *t),
            "key 0 at frame 12 (0.5 s): Cube test\n"
            "  Count: 7\n"
            "  Target: Cube (read-only)\n");
  std::vector<hostrt::KeyAttribute> a =
      hostrt::KeyAttributes(*doc, *t, *t->GetCurve()->GetFirstKey());
  ASSERT_EQ(a.size(), 2u);
  EXPECT_EQ(a[0].id, 1000);
  EXPECT_FALSE(a[0].readOnly);
  EXPECT_TRUE(a[1].readOnly);
}
