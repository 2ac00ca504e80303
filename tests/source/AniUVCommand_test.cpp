// The morph dialog: its values when it opens, the enabling of the frame field, and recording a
// key of the active object's UVs at the current time or at a typed frame, each of its undo
// entries a step of its own.
#include "AniUVCommand.h"

#include <gtest/gtest.h>

#include "c4d_resource.h"
#include "morph_scene.h"
#include "runtime/dialog_driver.h"
#include "runtime/dialog_model.h"

namespace {

struct MorphDialogTest : MorphScene {
  AniUVTOOL dlg;

  void Open() { ASSERT_TRUE(dlg.Open(DLG_TYPE_ASYNC, ID_ANIUVCOMMAND, -1, -1, 0, 0, 0)); }
  void Act(const hostrt::ActionResult& r) { ASSERT_TRUE(r.ok) << r.error; }
  Int32 Value(Int32 id) {
    Int32 v = -1;
    dlg.GetInt32(id, v);
    return v;
  }
  bool Enabled(Int32 id) { return dlg.GetModel()->Find(id)->enabled; }
  // Records through the button's command, with the dialog's answer.
  Bool Record() { return dlg.Command(IDC_MORPH_RECORD, BaseContainer(BFM_ACTION)); }
  std::vector<BaseTime> KeyTimes() {
    std::vector<BaseTime> t;
    CTrack* track = Track();
    CCurve* c = track ? track->GetCurve(CCURVE_CURVE, false) : nullptr;
    for (CKey* k = c ? c->GetFirstKey() : nullptr; k; k = k->GetNext()) t.push_back(k->GetTime());
    return t;
  }
  Int32 Tracks() {
    Int32 n = 0;
    for (CTrack* t = op->GetFirstCTrack(); t; t = t->GetNext()) ++n;
    return n;
  }
};

}  // namespace

TEST_F(MorphDialogTest, OpensAtTheCurrentFrameWithTheCurrentTimeChosen) {
  doc->SetTime(BaseTime(29, 25));  // frame 29, 28 if worked in floating point
  Open();
  EXPECT_EQ(Value(IDC_MORPH_FRAME), 29);
  EXPECT_EQ(Value(IDC_MORPH_WHERE), IDC_MORPH_NOW);
  EXPECT_FALSE(Enabled(IDC_MORPH_FRAME));
  EXPECT_FALSE(Enabled(IDC_MORPH_FRAME_LABEL));
  const String dashes(56, '-');
  EXPECT_EQ(
      host.Console(),
      (std::vector<String>{
          dashes, GeLoadString(IDS_PELTERRA) + " " + GeLoadString(IDS_PELTERRA_INFO), dashes}));

  // The choice enables the frame field and its label, and disables them again.
  Act(hostrt::Choose(host, dlg, IDC_MORPH_WHERE, IDC_MORPH_AT_FRAME));
  EXPECT_TRUE(Enabled(IDC_MORPH_FRAME));
  EXPECT_TRUE(Enabled(IDC_MORPH_FRAME_LABEL));
  Act(hostrt::Type(host, dlg, IDC_MORPH_FRAME, "-40"));
  EXPECT_EQ(Value(IDC_MORPH_FRAME), -40) << "the field has no bounds";
  Act(hostrt::Choose(host, dlg, IDC_MORPH_WHERE, IDC_MORPH_NOW));
  EXPECT_FALSE(Enabled(IDC_MORPH_FRAME));
  EXPECT_FALSE(Enabled(IDC_MORPH_FRAME_LABEL));

  // Each opening starts again from the document's frame and the current time.
  Act(hostrt::Choose(host, dlg, IDC_MORPH_WHERE, IDC_MORPH_AT_FRAME));
  Act(hostrt::Click(host, dlg, IDC_MORPH_CLOSE));
  EXPECT_FALSE(dlg.IsOpen());
  doc->SetTime(BaseTime(3, 1));
  Open();
  EXPECT_EQ(Value(IDC_MORPH_FRAME), 75);
  EXPECT_EQ(Value(IDC_MORPH_WHERE), IDC_MORPH_NOW);
}

TEST_F(MorphDialogTest, RecordsAtTheCurrentTimeOrAtTheTypedFrame) {
  Object(3, 0.25);
  doc->SetTime(BaseTime(7, 50));
  Open();
  dlg.SetInt32(IDC_MORPH_FRAME, 40);  // ignored with the current-time choice
  EXPECT_TRUE(Record());
  EXPECT_EQ(KeyTimes(), std::vector<BaseTime>{BaseTime(7, 50)});
  CKey* first = Track()->GetCurve()->GetFirstKey();
  EXPECT_EQ(Knots(first).size(), 12u) << "4 knots for each of 3 polygons";
  EXPECT_EQ(Knots(first)[6], Layout(1, 0.25).c);
  EXPECT_EQ(Linked(first), tag);

  Act(hostrt::Choose(host, dlg, IDC_MORPH_WHERE, IDC_MORPH_AT_FRAME));
  Act(hostrt::Type(host, dlg, IDC_MORPH_FRAME, "25"));
  SetLayout(tag, 0.5);
  Act(hostrt::Click(host, dlg, IDC_MORPH_RECORD));
  Act(hostrt::Click(host, dlg, IDC_MORPH_RECORD));  // twice at the same time: a second key
  EXPECT_EQ(KeyTimes(), (std::vector<BaseTime>{BaseTime(7, 50), BaseTime(1, 1), BaseTime(1, 1)}))
      << "frame 25 at 25 fps is 1 s";
  EXPECT_EQ(Tracks(), 1) << "the track is made once and reused";
  EXPECT_EQ(Knots(Track()->GetCurve()->GetKey(2))[6], Layout(1, 0.5).c);
  EXPECT_GE(host.EventCount(), 3);

  // Played back: the recorded keys animate the tag.
  SetLayout(tag, 9.0);
  AtFrame(25);
  ExpectLayout(UVs(), {Layout(0, 0.5), Layout(1, 0.5), Layout(2, 0.5)}, "at 1 s");
}

TEST_F(MorphDialogTest, RecordsTheSelectedUVWTagAndReusesAnExistingTrack) {
  Object(2, 0.0);
  KeyAt(50);  // the track exists before the dialog records
  auto* second = static_cast<UVWTag*>(op->MakeTag(Tuvw, tag));
  SetLayout(second, 0.75);
  second->SetBit(BIT_ACTIVE);
  Open();
  EXPECT_TRUE(Record());
  EXPECT_EQ(Tracks(), 1);
  CKey* key = Track()->GetCurve()->GetFirstKey();
  EXPECT_EQ(Linked(key), second);
  EXPECT_EQ(Knots(key)[4], Layout(1, 0.75).a);
}

TEST_F(MorphDialogTest, RefusalsSayWhyAndAddNothing) {
  Open();
  EXPECT_FALSE(Record()) << "no active object";
  BaseObject* null = BaseObject::Alloc(Onull);
  doc->InsertObject(null, nullptr, nullptr);
  doc->SetActiveObject(null);
  EXPECT_FALSE(Record());
  EXPECT_EQ(null->GetFirstCTrack(), nullptr);
  Object(2);
  BaseTag* uvw = op->GetTag(Tuvw);
  BaseTag::Free(uvw);
  EXPECT_FALSE(Record());
  EXPECT_EQ(op->GetFirstCTrack(), nullptr);
  EXPECT_EQ(MessageTexts(),
            (std::vector<std::string>{"Select Polygon Object.", "Select Polygon Object.",
                                      "There is no UVtag"}));
  EXPECT_EQ(doc->GetUndoCount(), 0);
}

TEST_F(MorphDialogTest, AnObjectWithoutPolygonsGetsAnEmptyKey) {
  Object(0);
  Open();
  EXPECT_FALSE(Record());
  ASSERT_EQ(KeyTimes().size(), 1u) << "the key stays";
  EXPECT_TRUE(Knots(Track()->GetCurve()->GetFirstKey()).empty());
  EXPECT_EQ(Linked(Track()->GetCurve()->GetFirstKey()), nullptr);
  EXPECT_EQ(doc->GetUndoCount(), 3) << "object, track and key, each a step";
  ASSERT_TRUE(doc->DoUndo()) << "and can be undone";
  EXPECT_TRUE(KeyTimes().empty()) << "the key first";
  ASSERT_TRUE(doc->DoUndo());
  EXPECT_EQ(op->GetFirstCTrack(), nullptr) << "then the track";
}

TEST_F(MorphDialogTest, EachUndoEntryOfARecordingIsAStepOfItsOwn) {
  Object(2, 0.0);
  op->SetName("Before");
  Open();
  const Int32 steps = doc->GetUndoCount();
  EXPECT_TRUE(Record());
  // No group around them: the object's change, the new track and the new key are three steps.
  EXPECT_EQ(doc->GetUndoCount(), steps + 3);
  op->SetName("After");  // a change after the recording that the object's undo entry saw
  CTrack* track = Track();
  CKey* key = track->GetCurve()->GetFirstKey();

  // Undone in the reverse order: the key, the track, then the object.
  ASSERT_TRUE(doc->DoUndo());
  ASSERT_EQ(op->GetFirstCTrack(), track) << "the track stays for one more step";
  EXPECT_TRUE(KeyTimes().empty());
  EXPECT_EQ(op->GetName(), "After");
  ASSERT_TRUE(doc->DoUndo());
  EXPECT_EQ(op->GetFirstCTrack(), nullptr) << "the new track is gone";
  EXPECT_EQ(op->GetName(), "After");
  ASSERT_TRUE(doc->DoUndo());
  EXPECT_EQ(op->GetName(), "Before") << "the object is as it was";
  EXPECT_EQ(doc->GetUndoCount(), steps);

  for (int i = 0; i < 3; ++i) ASSERT_TRUE(doc->DoRedo());
  EXPECT_EQ(op->GetFirstCTrack(), track);
  EXPECT_EQ(track->GetCurve()->GetFirstKey(), key);
  EXPECT_EQ(track->GetNext(), nullptr) << "the track is back once";

  // With the track already there, a recording is two steps and the first takes back the key.
  Act(hostrt::Choose(host, dlg, IDC_MORPH_WHERE, IDC_MORPH_AT_FRAME));
  Act(hostrt::Type(host, dlg, IDC_MORPH_FRAME, "10"));
  const Int32 before = doc->GetUndoCount();
  EXPECT_TRUE(Record());
  EXPECT_EQ(doc->GetUndoCount(), before + 2);
  EXPECT_EQ(KeyTimes().size(), 2u);
  ASSERT_TRUE(doc->DoUndo());
  EXPECT_EQ(KeyTimes(), std::vector<BaseTime>{BaseTime(0, 1)});
  EXPECT_EQ(op->GetFirstCTrack(), track);
}
