// Objects, tags, the UV set and undo.
#include <gtest/gtest.h>

#include <cmath>

#include "c4d_basedocument.h"
#include "c4d_baseobject.h"
#include "c4d_basetag.h"
#include "c4d_painter.h"
#include "printers.h"

namespace {

// Two quads side by side sharing an edge, with a UVW tag.
PolygonObject* MakeTwoQuads(BaseDocument* doc) {
  PolygonObject* op = PolygonObject::Alloc(6, 2);
  for (Int32 i = 0; i < 6; ++i) op->GetPointW()[i] = Vector(i % 3, i / 3, 0);  // rows y 0 and 1
  op->GetPolygonW()[0] = CPolygon(0, 1, 4, 3);
  op->GetPolygonW()[1] = CPolygon(1, 2, 5, 4);
  op->SetName("Quads");
  auto* uvw = static_cast<UVWTag*>(op->MakeTag(Tuvw));
  UVWHandle h = uvw->GetDataAddressW();
  UVWTag::Set(h, 0,
              UVWStruct(Vector(0, 0, 0), Vector(.5, 0, 0), Vector(.5, 1, 0), Vector(0, 1, 0)));
  UVWTag::Set(h, 1,
              UVWStruct(Vector(.5, 0, 0), Vector(1, 0, 0), Vector(1, 1, 0), Vector(.5, 1, 0)));
  doc->InsertObject(op, nullptr, nullptr);
  doc->SetActiveObject(op);
  return op;
}

struct DocFixture : ::testing::Test {
  BaseDocument* doc = BaseDocument::Alloc();
  PolygonObject* op = MakeTwoQuads(doc);
  UVWTag* uvw = static_cast<UVWTag*>(op->GetTag(Tuvw));
  ~DocFixture() override { BaseDocument::Free(doc); }
};

}  // namespace

TEST_F(DocFixture, UVWTagGetAndSetStayInsideTheTag) {
  EXPECT_EQ(uvw->GetDataCount(), 2) << "MakeTag sizes a UVW tag to the polygon count";
  UVWStruct r;
  UVWTag::Get(uvw->GetDataAddressR(), 1, r);
  EXPECT_EQ(r.b, Vector(1, 0, 0));
  UVWTag::Get(uvw->GetDataAddressR(), 2, r);
  EXPECT_EQ(r, UVWStruct()) << "a record outside the tag reads as zero";
  UVWTag::Set(uvw->GetDataAddressW(), -1, UVWStruct(Vector(9), Vector(9), Vector(9), Vector(9)));
  UVWTag::Set(uvw->GetDataAddressW(), 2, UVWStruct(Vector(9), Vector(9), Vector(9), Vector(9)));
  EXPECT_EQ(uvw->GetSlow(0).a, Vector(0, 0, 0));
  EXPECT_EQ(uvw->GetSlow(1).a, Vector(.5, 0, 0));
}

TEST_F(DocFixture, TagsKeepTheirOrderAndSelectedBit) {
  BaseTag* second = UVWTag::Alloc(2);
  op->InsertTag(second, uvw);
  BaseTag* first = op->MakeTag(Ttexture);
  EXPECT_EQ(op->GetFirstTag(), first);
  EXPECT_EQ(first->GetNext(), uvw);
  EXPECT_EQ(uvw->GetNext(), second);
  EXPECT_EQ(op->GetTag(Tuvw, 1), second);
  EXPECT_EQ(second->GetObject(), op);
  EXPECT_EQ(GetEditedUVWTag(op), uvw) << "no UVW tag selected: the first";
  second->SetBit(BIT_ACTIVE);
  EXPECT_EQ(GetEditedUVWTag(op), second) << "the selected UVW tag";
}

TEST_F(DocFixture, UVSetReportsModeAndWritesBack) {
  doc->SetMode(Muvpolygons);
  TempUVHandle* h = GetActiveUVSet(doc, GETACTIVEUVSET_ALL);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(h->GetMode(), 7);
  EXPECT_EQ(h->GetPolyCount(), 2);
  EXPECT_EQ(h->GetPoly()[1], CPolygon(1, 2, 5, 4));
  UVWStruct* uv = h->GetUVW();
  uv[1].c = Vector(0.75, 0.25, 0);
  EXPECT_EQ(uvw->GetSlow(1).c, Vector(1, 1, 0)) << "the array is a copy until written back";
  EXPECT_TRUE(h->SetUVWFromTextureView(uv));
  EXPECT_EQ(uvw->GetSlow(1).c, Vector(0.75, 0.25, 0));
  EXPECT_EQ(h->GetPolySel(), op->GetPolygonS()) << "UV polygons are the object's polygon selection";
  h->GetUVPointSel()->Select(5);
  EXPECT_TRUE(hostrt::UVPointSelection(op)->IsSelected(5));
  FreeActiveUVSet(h);

  doc->SetMode(Muvpoints);
  h = GetActiveUVSet(doc, GETACTIVEUVSET_UVWS);
  ASSERT_NE(h, nullptr);
  EXPECT_NE(h->GetMode(), 7);
  FreeActiveUVSet(h);
}

TEST_F(DocFixture, AWriteBackOfItsOwnHandsTheWorkingCopyOverAndUndoesExactly) {
  doc->SetMode(Muvpolygons);
  uvw->SetName("UVs");
  uvw->SetBit(BIT_ACTIVE);
  const UVWStruct before0 = uvw->GetSlow(0), before1 = uvw->GetSlow(1);
  TempUVHandle* h = GetActiveUVSet(doc, GETACTIVEUVSET_ALL);
  ASSERT_NE(h, nullptr);
  UVWStruct* uv = h->GetUVW();
  uv[0].a = Vector(-0.0, 7, 0);
  uv[1].d = Vector(0.25, 0.125, 0);
  ASSERT_TRUE(h->SetUVWFromTextureView(uv));
  EXPECT_EQ(uvw->GetDataAddressR().data, uv) << "the working copy itself is the tag's data now";
  EXPECT_EQ(uvw->GetSlow(1).d, Vector(0.25, 0.125, 0));
  EXPECT_EQ(doc->GetUndoCount(), 1);

  UVWStruct* again = h->GetUVW();
  ASSERT_NE(again, uv) << "a new working copy, not the tag's data";
  EXPECT_EQ(again[0], uvw->GetSlow(0));
  again[0].b = Vector(9, 9, 9);
  EXPECT_EQ(uvw->GetSlow(0).b, before0.b) << "unwritten edits of the new copy stay out of the tag";
  FreeActiveUVSet(h);

  uvw->DelBit(BIT_ACTIVE);
  op->GetPolygonS()->Select(1);
  ASSERT_TRUE(doc->DoUndo());
  EXPECT_EQ(op->GetPolygonS()->GetCount(), 0) << "the step recorded the object, not only the tag";
  EXPECT_EQ(uvw->GetSlow(0), before0);
  EXPECT_EQ(uvw->GetSlow(1), before1);
  EXPECT_TRUE(std::signbit(uvw->GetSlow(0).a.x) == std::signbit(before0.a.x));
  EXPECT_EQ(uvw->GetDataCount(), 2);
  EXPECT_EQ(uvw->GetName(), "UVs");
  EXPECT_TRUE(uvw->GetBit(BIT_ACTIVE)) << "the tag comes back whole, not only its records";
  EXPECT_EQ(op->GetTag(Tuvw), uvw);
  ASSERT_TRUE(doc->DoRedo());
  EXPECT_TRUE(std::signbit(uvw->GetSlow(0).a.x)) << "redo gives the written records bit for bit";
  EXPECT_EQ(uvw->GetSlow(0).a.y, 7.0);
  EXPECT_EQ(uvw->GetSlow(1).d, Vector(0.25, 0.125, 0));
}

TEST_F(DocFixture, AWriteBackCopiesWhereItCannotHandOver) {
  doc->SetMode(Muvpolygons);
  const UVWStruct before0 = uvw->GetSlow(0), before1 = uvw->GetSlow(1);

  // Inside a group that saved the object, the group's copy restores the tag.
  TempUVHandle* h = GetActiveUVSet(doc, GETACTIVEUVSET_ALL);
  ASSERT_NE(h, nullptr);
  doc->StartUndo();
  doc->AddUndo(UNDOTYPE_CHANGE, op);
  op->SetName("renamed");
  UVWStruct* uv = h->GetUVW();
  uv[1].a = Vector(3, 3, 0);
  ASSERT_TRUE(h->SetUVWFromTextureView(uv));
  uv[1].a = Vector(4, 4, 0);
  EXPECT_EQ(uvw->GetSlow(1).a, Vector(3, 3, 0)) << "the working copy stays the handle's";
  ASSERT_TRUE(h->SetUVWFromTextureView(uv));
  doc->EndUndo();
  FreeActiveUVSet(h);
  EXPECT_EQ(uvw->GetSlow(1).a, Vector(4, 4, 0));
  EXPECT_EQ(doc->GetUndoCount(), 1);
  ASSERT_TRUE(doc->DoUndo());
  EXPECT_EQ(uvw->GetSlow(1), before1);
  EXPECT_EQ(op->GetName(), "Quads");

  // A tag taken off the object meanwhile is written, but not handed the working copy: the
  // object's undo record could not hold its old records.
  h = GetActiveUVSet(doc, GETACTIVEUVSET_ALL);
  ASSERT_NE(h, nullptr);
  uv = h->GetUVW();
  uv[0].a = Vector(6, 6, 0);
  uvw->Remove();
  ASSERT_TRUE(h->SetUVWFromTextureView(uv));
  EXPECT_NE(uvw->GetDataAddressR().data, uv);
  EXPECT_EQ(uvw->GetSlow(0).a, Vector(6, 6, 0));
  FreeActiveUVSet(h);
  op->InsertTag(uvw);
  uvw->SetSlow(0, before0);

  // A tag with more records than polygons keeps the ones past the polygons.
  ASSERT_TRUE(uvw->Resize(3));
  const UVWStruct extra(Vector(8), Vector(8), Vector(8), Vector(8));
  uvw->SetSlow(2, extra);
  h = GetActiveUVSet(doc, GETACTIVEUVSET_ALL);
  ASSERT_NE(h, nullptr);
  uv = h->GetUVW();
  uv[0].c = Vector(2, 2, 0);
  ASSERT_TRUE(h->SetUVWFromTextureView(uv));
  FreeActiveUVSet(h);
  EXPECT_EQ(uvw->GetDataCount(), 3);
  EXPECT_EQ(uvw->GetSlow(0).c, Vector(2, 2, 0));
  EXPECT_EQ(uvw->GetSlow(2), extra);
  ASSERT_TRUE(doc->DoUndo());
  EXPECT_EQ(uvw->GetSlow(0).c, Vector(.5, 1, 0));
}

TEST_F(DocFixture, NoUVSetWithoutPolygonObjectOrUVWTag) {
  EXPECT_EQ(GetActiveUVSet(nullptr, GETACTIVEUVSET_ALL), nullptr);
  doc->SetActiveObject(nullptr);
  EXPECT_EQ(GetActiveUVSet(doc, GETACTIVEUVSET_ALL), nullptr);
  BaseObject* null = BaseObject::Alloc(Onull);
  doc->InsertObject(null, nullptr, nullptr);
  doc->SetActiveObject(null);
  EXPECT_EQ(GetActiveUVSet(doc, GETACTIVEUVSET_ALL), nullptr);
  doc->SetActiveObject(op);
  op->KillTag(Tuvw);
  EXPECT_EQ(GetActiveUVSet(doc, GETACTIVEUVSET_ALL), nullptr);
}

TEST_F(DocFixture, UndoRestoresUVsPointsAndSelections) {
  doc->StartUndo();
  doc->AddUndo(UNDOTYPE_CHANGE, op);
  uvw->SetSlow(0, UVWStruct(Vector(3), Vector(3), Vector(3), Vector(3)));
  op->GetPointW()[2] = Vector(5, 5, 5);
  op->GetPolygonS()->Select(1);
  hostrt::UVPointSelection(op)->Select(6);
  uvw->SetBit(BIT_ACTIVE);
  doc->EndUndo();

  ASSERT_TRUE(doc->DoUndo());
  EXPECT_EQ(uvw->GetSlow(0).b, Vector(.5, 0, 0));
  EXPECT_EQ(op->GetPointR()[2], Vector(2, 0, 0));
  EXPECT_EQ(op->GetPolygonS()->GetCount(), 0);
  EXPECT_EQ(hostrt::UVPointSelection(op)->GetCount(), 0);
  EXPECT_FALSE(uvw->GetBit(BIT_ACTIVE));
  EXPECT_EQ(op->GetTag(Tuvw), uvw) << "the tag object itself is kept";

  ASSERT_TRUE(doc->DoRedo());
  EXPECT_EQ(uvw->GetSlow(0).b, Vector(3));
  EXPECT_EQ(op->GetPointR()[2], Vector(5, 5, 5));
  EXPECT_TRUE(op->GetPolygonS()->IsSelected(1));
  EXPECT_TRUE(hostrt::UVPointSelection(op)->IsSelected(6));

  ASSERT_TRUE(doc->DoUndo());
  EXPECT_EQ(uvw->GetSlow(0).b, Vector(.5, 0, 0)) << "undo after redo restores again";
}

TEST_F(DocFixture, UndoRemovesNewObjectsAndTagsAndRedoPutsThemBack) {
  doc->StartUndo();
  BaseObject* clone = static_cast<BaseObject*>(op->GetClone(COPYFLAGS_0, nullptr));
  clone->SetName("Quads_copy");
  doc->InsertObject(clone, nullptr, op);
  doc->AddUndo(UNDOTYPE_NEW, clone);
  BaseTag* tex = op->MakeTag(Ttexture);
  doc->AddUndo(UNDOTYPE_NEW, tex);
  doc->EndUndo();
  EXPECT_EQ(op->GetNext(), clone);
  EXPECT_EQ(static_cast<PolygonObject*>(clone)->GetPolygonCount(), 2);
  ASSERT_NE(clone->GetTag(Tuvw), nullptr) << "clones carry their tags";

  ASSERT_TRUE(doc->DoUndo());
  EXPECT_EQ(op->GetNext(), nullptr);
  EXPECT_EQ(doc->SearchObject("Quads_copy"), nullptr);
  EXPECT_EQ(op->GetTag(Ttexture), nullptr);

  ASSERT_TRUE(doc->DoRedo());
  ASSERT_NE(op->GetNext(), nullptr);
  EXPECT_EQ(op->GetNext()->GetName(), "Quads_copy");
  EXPECT_NE(op->GetTag(Ttexture), nullptr);
}

TEST_F(DocFixture, UndoGroupsAndSingleEntries) {
  EXPECT_FALSE(doc->DoUndo()) << "nothing to undo";
  doc->AddUndo(UNDOTYPE_CHANGE, op);  // outside a group: a group of its own
  op->SetName("A");
  doc->StartUndo();
  doc->StartUndo();  // nested starts form one group
  doc->AddUndo(UNDOTYPE_CHANGE, op);
  op->SetName("B");
  doc->EndUndo();
  doc->AddUndo(UNDOTYPE_CHANGE, op);
  op->SetName("C");
  doc->EndUndo();
  EXPECT_EQ(doc->GetUndoCount(), 2);
  doc->DoUndo();
  EXPECT_EQ(op->GetName(), "A");
  doc->DoUndo();
  EXPECT_EQ(op->GetName(), "Quads");
  doc->DoRedo();
  doc->AddUndo(UNDOTYPE_CHANGE, op);
  EXPECT_EQ(doc->GetRedoCount(), 0) << "a new step drops the redo list";
  doc->StartUndo();
  doc->EndUndo();
  EXPECT_EQ(doc->GetUndoCount(), 2) << "an empty group is not kept";
}

TEST_F(DocFixture, UndoSkipsNodesThatNoLongerExist) {
  BaseObject* extra = BaseObject::Alloc(Onull);
  doc->InsertObject(extra, nullptr, nullptr);
  doc->StartUndo();
  doc->AddUndo(UNDOTYPE_CHANGE, extra);
  doc->AddUndo(UNDOTYPE_CHANGE, op);
  op->SetName("changed");
  doc->EndUndo();
  BaseObject::Free(extra);
  EXPECT_TRUE(doc->DoUndo());
  EXPECT_EQ(op->GetName(), "Quads");
}

TEST_F(DocFixture, MatricesAndBoundingRadius) {
  BaseObject* parent = BaseObject::Alloc(Onull);
  doc->InsertObject(parent, nullptr, nullptr);
  op->Remove();
  doc->InsertObject(op, parent, nullptr);
  parent->SetMl(Matrix(Vector(10, 0, 0), Vector(0, 1, 0), Vector(-1, 0, 0), Vector(0, 0, 1)));
  op->SetMl(Matrix(Vector(1, 2, 3), Vector(1, 0, 0), Vector(0, 1, 0), Vector(0, 0, 1)));
  Matrix mg = op->GetMg();
  EXPECT_EQ(mg * Vector(0, 0, 0),
            Vector(8, 1, 3));  // parent turns (1,2) into (-2,1), then +10 in x
  op->SetMg(Matrix(Vector(0, 0, 0), Vector(1, 0, 0), Vector(0, 1, 0), Vector(0, 0, 1)));
  EXPECT_EQ(op->GetMg() * Vector(1, 1, 1), Vector(1, 1, 1));
  EXPECT_EQ(op->GetRad(), Vector(1, 0.5, 0));
  EXPECT_EQ(op->GetMp(), Vector(1, 0.5, 0));
  EXPECT_EQ(op->GetDocument(), doc);
}

TEST_F(DocFixture, NgonTranslationMaps) {
  PolygonObject* ng = PolygonObject::Alloc(6, 4);
  EXPECT_FALSE(ng->SetNgons({{{0, 4}, {}}})) << "polygon 4 does not exist";
  EXPECT_FALSE(ng->SetNgons({{{0, 1}, {}}, {{1, 2}, {}}})) << "a polygon in two n-gons";
  ASSERT_TRUE(ng->SetNgons({{{1, 3}, {0, 1, 2, 3, 4, 5}}}));
  EXPECT_EQ(ng->GetNgonCount(), 1);
  Int32 faces = 0;
  std::vector<Int32> polymap;
  ASSERT_TRUE(ng->GetPolygonTranslationMap(faces, polymap));
  EXPECT_EQ(faces, 3);
  std::vector<std::vector<Int32>> ngons;
  ASSERT_TRUE(ng->GetNGonTranslationMap(faces, polymap, ngons));
  EXPECT_EQ(ngons[static_cast<size_t>(polymap[1])], (std::vector<Int32>{1, 3}));
  EXPECT_EQ(ngons[static_cast<size_t>(polymap[0])], (std::vector<Int32>{0}));
  ng->ResizeObject(6, 5);
  EXPECT_EQ(ng->GetNgonCount(), 0) << "a changed polygon count drops the n-gons";
  BaseObject* o = ng;
  BaseObject::Free(o);
}

TEST(Links, ResolveToNothingOnceTheNodeIsGone) {
  BaseDocument* doc = BaseDocument::Alloc();
  BaseObject* op = BaseObject::Alloc(Opolygon);
  doc->InsertObject(op, nullptr, nullptr);
  BaseContainer bc;
  bc.SetLink(1, op);
  EXPECT_EQ(bc.GetLink(1, doc), op);
  BaseDocument* other = BaseDocument::Alloc();
  EXPECT_EQ(bc.GetLink(1, other), nullptr) << "not in that document";
  BaseContainer copy = bc;
  BaseObject::Free(op);
  EXPECT_EQ(bc.GetLink(1, nullptr), nullptr);
  EXPECT_EQ(copy.GetLink(1, nullptr), nullptr);
  BaseDocument::Free(other);
  BaseDocument::Free(doc);
}
