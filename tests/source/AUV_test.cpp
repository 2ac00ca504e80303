// The morph track: keys filled with UV snapshots, and evaluation that writes the snapshot of a
// key at the time or the blend of the keys around it into the linked UVW tag.
#include <gtest/gtest.h>

#include "morph_scene.h"

namespace {

// Layouts of n polygons with base b (see MorphScene::Layout).
std::vector<UVWStruct> L(Int32 n, Float b) {
  std::vector<UVWStruct> out;
  for (Int32 i = 0; i < n; ++i) out.push_back(MorphScene::Layout(i, b));
  return out;
}

struct AuvTrackTest : MorphScene {
  // Keys at frames f0 and f1 recorded from layouts with bases b0 and b1; the tag is left at 9.
  void TwoKeys(Int32 f0, Float b0, Int32 f1, Float b1) {
    SetLayout(tag, b0);
    KeyAt(f0);
    SetLayout(tag, b1);
    KeyAt(f1);
    SetLayout(tag, 9);
  }
  AuvTrack& Data() { return *static_cast<AuvTrack*>(Track()->GetNodeData()); }
};

}  // namespace

TEST_F(AuvTrackTest, FilledKeyHoldsFourKnotsPerPolygonAndLinksTheTag) {
  Object(3, 0.25);
  CKey* key = KeyAt(4);
  ASSERT_NE(key, nullptr);
  const std::vector<Vector> knots = Knots(key);
  ASSERT_EQ(knots.size(), 12u);
  for (Int32 i = 0; i < 3; ++i)
    for (Int32 k = 0; k < 4; ++k) EXPECT_EQ(knots[4 * i + k], Layout(i, 0.25)[k]) << i << k;
  EXPECT_EQ(Linked(key), tag);

  // A later edit of the tag leaves the key as it was.
  SetLayout(tag, 0.5);
  EXPECT_EQ(Knots(key)[5], Layout(1, 0.25)[1]);

  String info;
  EXPECT_TRUE(Track()->TrackInformation(doc, key, &info, false));
  EXPECT_EQ(info, "Cube UVmorph");
  info = "typed";
  EXPECT_TRUE(Track()->TrackInformation(doc, key, &info, true)) << "setting is ignored";
  EXPECT_EQ(info, "typed");
}

TEST_F(AuvTrackTest, FillTakesTheSelectedUVWTagOverTheFirst) {
  Object(2, 0.0);
  auto* second = static_cast<UVWTag*>(op->MakeTag(Tuvw, tag));
  SetLayout(second, 0.75);
  op->InsertTag(BaseTag::Alloc(Ttexture));  // another kind of tag, first and selected
  op->GetFirstTag()->SetBit(BIT_ACTIVE);
  EXPECT_EQ(Linked(KeyAt(0)), tag) << "no UVW tag selected: the first";
  second->SetBit(BIT_ACTIVE);
  CKey* key = KeyAt(1);
  EXPECT_EQ(Linked(key), second);
  EXPECT_EQ(Knots(key)[0], Layout(0, 0.75).a);
}

TEST_F(AuvTrackTest, FillRefusesOtherObjectsAndObjectsWithoutUVWTag) {
  // A null object: the key is taken out of its curve and the host drops it.
  BaseObject* null = BaseObject::Alloc(Onull);
  doc->InsertObject(null, nullptr, nullptr);
  std::string why;
  CTrack* track = hostrt::AddTrack(*doc, *null, DescID(ID_AUVTRACK), why);
  ASSERT_NE(track, nullptr) << why;
  CCurve* curve = track->GetCurve();
  CKey* key = curve->AddKey(BaseTime(0, 25));
  EXPECT_FALSE(track->FillKey(doc, null, key));
  EXPECT_EQ(key->GetCurve(), nullptr) << "removed from the curve";
  CKey::Free(key);
  EXPECT_EQ(hostrt::AddKey(*doc, *track, BaseTime(1, 25), why), nullptr);
  EXPECT_EQ(curve->GetKeyCount(), 0);

  Object(2);
  BaseTag* uvw = op->GetTag(Tuvw);
  BaseTag::Free(uvw);
  track = hostrt::AddTrack(*doc, *op, DescID(ID_AUVTRACK), why);
  EXPECT_EQ(hostrt::AddKey(*doc, *track, BaseTime(1, 25), why), nullptr);
  EXPECT_EQ(MessageTexts(),
            (std::vector<std::string>{"Select Polygon Object.", "Select Polygon Object.",
                                      "There is no UVtag"}));
}

TEST_F(AuvTrackTest, ExactKeysGiveTheirSnapshotFirstAndLast) {
  Object(3);
  TwoKeys(0, 0.0, 10, 1.0);
  AtFrame(0);
  ExpectLayout(UVs(), L(3, 0.0), "at the first key");
  SetLayout(tag, 9);
  const UInt32 dirty = op->GetDirty(DIRTYFLAGS_DATA);
  hostrt::EvaluationReport r = AtFrame(10);
  ExpectLayout(UVs(), L(3, 1.0), "at the last key");
  EXPECT_EQ(r.trackErrors, 0);
  EXPECT_EQ(op->GetDirty(DIRTYFLAGS_DATA), dirty + 1) << "the object was told of its change";
  // The document time as a decimal fraction is the same time as the key's frame.
  SetLayout(tag, 9);
  At(BaseTime(400, 1000));
  ExpectLayout(UVs(), L(3, 1.0), "at 0.4 s");
}

TEST_F(AuvTrackTest, BetweenKeysUVsBlendByWholeFrames) {
  Object(3);
  TwoKeys(0, 0.0, 10, 1.0);
  // Frame 5 of 0 .. 10: v half way from 0 to 1, w from 0 to 0.5; u is the same in both.
  AtFrame(5);
  ExpectLayout(UVs(), L(3, 0.5), "frame 5");
  // 0.23 s is frame 5.75, which is frame 5: the same blend.
  SetLayout(tag, 9);
  At(BaseTime(23, 100));
  ExpectLayout(UVs(), L(3, 0.5), "frame 5.75");
  AtFrame(1);
  ExpectLayout(UVs(), L(3, 0.1), "frame 1");
}

TEST_F(AuvTrackTest, FramesOfFractionalTimesAreExact) {
  // Frame 29 at 25 fps is 29/25 s = 1.16 s; in floating point 25 * 1.16 truncates to 28.
  Object(1);
  TwoKeys(0, 0.0, 30, 3.0);
  AtFrame(29);  // t = 29/30: v = 3 * 29/30 = 2.9
  ExpectLayout(UVs(), L(1, 2.9), "document at frame 29");

  Object(1, 0.0, "Other");
  TwoKeys(29, 0.0, 39, 1.0);
  AtFrame(34);  // the first key at frame 29, not 28: t = 5/10
  ExpectLayout(UVs(), L(1, 0.5), "key at frame 29");
  SetLayout(tag, 9);
  At(BaseTime(116, 100));  // 1.16 s is the key's time exactly
  ExpectLayout(UVs(), L(1, 0.0), "1.16 s");
}

TEST_F(AuvTrackTest, NothingIsWrittenOutsideTheKeys) {
  Object(2);
  TwoKeys(10, 0.0, 20, 1.0);
  // Before the first key and after the last, the host hands the same key twice.
  for (Int32 f : {-5, 5, 25, 99}) {
    hostrt::EvaluationReport r = AtFrame(f);
    ExpectLayout(UVs(), L(2, 9.0), "outside the keys");
    EXPECT_EQ(r.trackErrors, 0);
  }
  // The same key as before and after, given directly, between the keys' times.
  CAnimInfo info = hostrt::AnimInfoAt(*doc, op, *Track());
  doc->SetTime(BaseTime(15, 25));
  info.otime = doc->GetTime();
  info.k1 = info.k2 = Track()->GetCurve()->GetFirstKey();
  EXPECT_TRUE(Data().Animate(Track(), &info, nullptr, nullptr));
  ExpectLayout(UVs(), L(2, 9.0), "the same key twice");
  info.k1 = info.k2 = nullptr;
  EXPECT_TRUE(Data().Animate(Track(), &info, nullptr, nullptr)) << "no keys: nothing to do";
  ExpectLayout(UVs(), L(2, 9.0), "no keys");
}

TEST_F(AuvTrackTest, KeysInOneFrameGiveTheFirstKeysSnapshot) {
  Object(2);
  SetLayout(tag, 0.0);
  CKey* a = KeyAt(0);
  SetLayout(tag, 1.0);
  CKey* b = KeyAt(0);
  b->SetTime(b->GetCurve(), BaseTime(3, 100));  // 0.03 s: still frame 0
  SetLayout(tag, 9.0);
  CAnimInfo info;
  info.doc = doc;
  info.op = op;
  info.otime = BaseTime(5, 25);
  info.k1 = a;
  info.k2 = b;
  EXPECT_TRUE(Data().Animate(Track(), &info, nullptr, nullptr));
  ExpectLayout(UVs(), L(2, 0.0), "no frames between the keys");
}

TEST_F(AuvTrackTest, SnapshotsLongerOrShorterThanTheObject) {
  // Recorded with 3 polygons; the object now has 2, its tag still 3 records: the third stays.
  Object(3);
  TwoKeys(0, 0.0, 10, 1.0);
  op->ResizeObject(8, 2);
  AtFrame(5);
  std::vector<UVWStruct> want = L(2, 0.5);
  want.push_back(Layout(2, 9.0));
  ExpectLayout(UVs(), want, "longer snapshot");
  // The tag shorter than the object: only its own records are written.
  tag->Resize(1);
  op->ResizeObject(12, 3);
  AtFrame(3);
  ExpectLayout(UVs(), L(1, 0.3), "short tag");

  // Recorded with 2 polygons; the object and its tag now have 3: the third keeps its UVs.
  Object(2, 0.0, "Grown");
  TwoKeys(0, 0.0, 10, 1.0);
  op->ResizeObject(12, 3);
  tag->Resize(3);
  tag->SetSlow(2, Layout(2, 9.0));
  AtFrame(5);
  want = L(2, 0.5);
  want.push_back(Layout(2, 9.0));
  ExpectLayout(UVs(), want, "shorter snapshot");
}

TEST_F(AuvTrackTest, SnapshotsOfDifferentLengthsAreNotBlended) {
  Object(3);
  SetLayout(tag, 0.0);
  KeyAt(0);
  op->ResizeObject(8, 2);
  tag->Resize(2);
  SetLayout(tag, 1.0);
  KeyAt(10);
  SetLayout(tag, 9.0);
  hostrt::EvaluationReport r = AtFrame(5);
  ExpectLayout(UVs(), L(2, 9.0), "8 and 12 knots");
  EXPECT_EQ(r.trackErrors, 0) << "not a failure";
}

TEST_F(AuvTrackTest, BrokenKeysFailWithoutWriting) {
  Object(2);
  auto* spare = static_cast<UVWTag*>(op->MakeTag(Tuvw, tag));
  SetLayout(spare, 5.0);
  TwoKeys(0, 0.0, 10, 1.0);
  CCurve* curve = Track()->GetCurve();

  // A key linked to another object's tag.
  PolygonObject* mine = op;
  UVWTag* myTag = tag;
  Object(2, 7.0, "Stranger");
  UVWTag* foreign = tag;
  op = mine;
  tag = myTag;
  curve->GetKey(1)->GetDataInstance()->SetLink(AUV_KEY_TAG, foreign);
  EXPECT_EQ(AtFrame(10).trackErrors, 1);
  EXPECT_EQ(AtFrame(5).trackErrors, 1);
  ExpectLayout(UVs(), L(2, 9.0), "own tag");
  ExpectLayout(UVs(foreign), L(2, 7.0), "the stranger's tag");

  // A key whose tag has been deleted.
  curve->GetKey(1)->GetDataInstance()->SetLink(AUV_KEY_TAG, spare);
  BaseTag* gone = spare;
  BaseTag::Free(gone);
  EXPECT_EQ(AtFrame(10).trackErrors, 1);
  EXPECT_EQ(AtFrame(5).trackErrors, 1);
  ExpectLayout(UVs(), L(2, 9.0), "deleted tag");

  // A key without a snapshot.
  curve->GetKey(1)->GetDataInstance()->SetLink(AUV_KEY_TAG, tag);
  curve->GetKey(1)->GetDataInstance()->RemoveData(AUV_KEY_UVS);
  EXPECT_EQ(AtFrame(10).trackErrors, 1);
  EXPECT_EQ(AtFrame(5).trackErrors, 1);
  ExpectLayout(UVs(), L(2, 9.0), "no snapshot");
  EXPECT_TRUE(host.Messages().empty()) << "these failures show nothing";
}

TEST_F(AuvTrackTest, OnlyPolygonObjectsAnimate) {
  BaseObject* null = BaseObject::Alloc(Onull);
  null->SetName("Null");
  doc->InsertObject(null, nullptr, nullptr);
  std::string why;
  CTrack* track = hostrt::AddTrack(*doc, *null, DescID(ID_AUVTRACK), why);
  ASSERT_NE(track, nullptr);
  track->GetCurve()->AddKey(BaseTime(0, 25));
  EXPECT_EQ(AtFrame(0).trackErrors, 1);
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"Select Polygon Object."});

  // A node that is no object (here a tag) is left alone.
  Object(1);
  CAnimInfo info = hostrt::AnimInfoAt(*doc, null, *track);
  info.op = tag;
  EXPECT_TRUE(
      static_cast<AuvTrack*>(track->GetNodeData())->Animate(track, &info, nullptr, nullptr));
  EXPECT_EQ(host.Messages().size(), 1u);
}

TEST_F(AuvTrackTest, KeyAttributesAreTheSnapshotAndTheTagReadOnly) {
  Object(3);
  KeyAt(10);
  EXPECT_EQ(hostrt::DescribeKeys(*doc, *Track()),
            "key 0 at frame 10 (0.4 s): Cube UVmorph\n"
            "  UV snapshot: 12 knots (read-only)\n"
            "  UVW tag: UVW tag 0 of Cube (read-only)\n");
  AuvTrack& data = Data();
  CKey* key = Track()->GetCurve()->GetFirstKey();
  EXPECT_TRUE(
      data.KeyGetDEnabling(Track(), key, DescID(1001), GeData(), DESCFLAGS_ENABLE_0, nullptr));

  // Loaded once: a description already loaded is answered as it is.
  Description d;
  DESCFLAGS_DESC flags = DESCFLAGS_DESC_LOADED;
  EXPECT_TRUE(data.KeyGetDDescription(Track(), key, &d, flags));
  EXPECT_TRUE(d.GetEntries().empty());
  // Without a description identifier from the host there is nothing to load.
  const Int32 id = keyDescriptionId;
  keyDescriptionId = 0;
  flags = DESCFLAGS_DESC_0;
  EXPECT_FALSE(data.KeyGetDDescription(Track(), key, &d, flags));
  EXPECT_EQ(flags, DESCFLAGS_DESC_0);
  keyDescriptionId = id;
}
