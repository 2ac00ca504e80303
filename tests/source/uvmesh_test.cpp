// Create UVmesh and the UV transfer tag: the mesh, its tag and plane, the transfer in every
// editing mode, the rebuild, the outline and the colour message.
#include "UVMesh.h"

#include <cstring>
#include <random>

#include "TransferTAG.h"
#include "c4d_basedocument.h"
#include "c4d_basedraw.h"
#include "c4d_symbols.h"
#include "lib_modeling.h"
#include "main.h"
#include "plugin_host.h"
#include "runtime/attributes.h"
#include "runtime/registry.h"
#include "runtime/scene.h"

namespace {

Vector V(Float u, Float v, Float w = 0) {
  return Vector(u, v, w);
}

// Every record of a tag, bit for bit.
std::vector<UVWStruct> Records(const UVWTag* tag) {
  std::vector<UVWStruct> r;
  for (Int32 i = 0; i < tag->GetDataCount(); ++i) r.push_back(tag->GetSlow(i));
  return r;
}

bool SameBits(const std::vector<UVWStruct>& a, const std::vector<UVWStruct>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof a[0]) == 0;
}

struct UVMeshTest : PluginHost {
  void SetUp() override {
    PluginHost::SetUp();
    if (!hostrt::Registry::Get().Find(ID_TRANSFERTAG)) {
      ASSERT_TRUE(RegisterTransferTAG());
    }
  }

  // An active polygon object with a selected UVW tag holding uvs, one record per polygon.
  PolygonObject* Source(const String& name, const std::vector<Vector>& points,
                        const std::vector<CPolygon>& polys, const std::vector<UVWStruct>& uvs) {
    PolygonObject* op =
        PolygonObject::Alloc(static_cast<Int32>(points.size()), static_cast<Int32>(polys.size()));
    std::copy(points.begin(), points.end(), op->GetPointW());
    std::copy(polys.begin(), polys.end(), op->GetPolygonW());
    op->SetName(name);
    auto* tag = UVWTag::Alloc(static_cast<Int32>(uvs.size()));
    for (Int32 i = 0; i < static_cast<Int32>(uvs.size()); ++i)
      tag->SetSlow(i, uvs[static_cast<size_t>(i)]);
    op->InsertTag(tag);
    tag->SetBit(BIT_ACTIVE);
    doc->InsertObject(op, nullptr, nullptr);
    doc->SetActiveObject(op);
    return op;
  }
  // A row of n unit quads 2 wide in x (so s = 2), with their UVs on a 1/1024 grid.
  PolygonObject* QuadRow(Int32 n) {
    std::vector<Vector> pts;
    std::vector<CPolygon> polys;
    std::vector<UVWStruct> uvs;
    for (Int32 i = 0; i < n; ++i) {
      const Float x = 2.0 * i / n, w = 2.0 / n;
      pts.insert(pts.end(),
                 {Vector(x, 0, 0), Vector(x + w, 0, 0), Vector(x + w, 1, 0), Vector(x, 1, 0)});
      polys.emplace_back(4 * i, 4 * i + 1, 4 * i + 2, 4 * i + 3);
      const Float u = i / 8.0;
      uvs.emplace_back(V(u, 0.5), V(u + 0.125, 0.5), V(u + 0.125, 0.25), V(u, 0.25));
    }
    return Source("Row", pts, polys, uvs);
  }
  // The UV mesh made for the active object, its transfer tag and its source tag.
  PolygonObject* Mesh(PolygonObject* source) {
    EXPECT_TRUE(CreateUVmesh());
    return static_cast<PolygonObject*>(source->GetNext());
  }
  BaseTag* Transfer(BaseObject* mesh) { return mesh->GetTag(ID_TRANSFERTAG); }
  UVWTag* SourceTag(PolygonObject* source) {
    for (BaseTag* t = source->GetFirstTag(); t; t = t->GetNext())
      if (t->GetType() == Tuvw && t->GetBit(BIT_ACTIVE)) return static_cast<UVWTag*>(t);
    return nullptr;
  }
  void Evaluate(Int32 mode) {
    doc->SetMode(mode);
    const Int32 undo = doc->GetUndoCount();
    EXPECT_EQ(hostrt::EvaluateScene(*doc).tagErrors, 0);
    EXPECT_EQ(doc->GetUndoCount(), undo) << "an evaluation records no undo step";
  }
};

// ---------------------------------------------------------------------------------------------
// Create UVmesh

TEST_F(UVMeshTest, BuildsTheMeshFromTheSelectedSecondTagWithItsTagAndPlane) {
  // A quad 200 wide in x and a triangle; the second UVW tag is the selected one.
  PolygonObject* op =
      Source("Cube",
             {Vector(0, 0, 0), Vector(200, 0, 0), Vector(200, 100, 0), Vector(0, 100, 0),
              Vector(150, -50, 0)},
             {CPolygon(0, 1, 2, 3), CPolygon(1, 4, 2)},
             {UVWStruct(V(0.25, 0.25), V(0.75, 0.25), V(0.75, 0.75, 0.5), V(0.25, 0.75)),
              UVWStruct(V(0.5, 0), V(1, 0), V(1, 0.5), V(9, 9))});
  UVWTag* second = SourceTag(op);
  second->DelBit(BIT_ACTIVE);
  auto* first = UVWTag::Alloc(2);
  op->InsertTag(first);  // first in the list, not selected
  second->SetBit(BIT_ACTIVE);
  const Int32 undo = doc->GetUndoCount();

  ASSERT_TRUE(CreateUVmesh());
  auto* mesh = static_cast<PolygonObject*>(op->GetNext());
  ASSERT_NE(mesh, nullptr);
  EXPECT_EQ(mesh->GetName(), "Cube_UVmesh");
  EXPECT_EQ(doc->GetUndoCount(), undo + 1);
  EXPECT_EQ(host.Messages().size(), 0u);

  // s = 200: (u, v, w) sits at (200 u, 200 (1 - v), 200 w). The triangle has three points, its
  // c point carries corner c and its spare d UV (9, 9) is used nowhere.
  const std::vector<Vector> want = {Vector(50, 150, 0), Vector(150, 150, 0), Vector(150, 50, 100),
                                    Vector(50, 50, 0),  Vector(100, 200, 0), Vector(200, 200, 0),
                                    Vector(200, 100, 0)};
  ASSERT_EQ(mesh->GetPointCount(), 7);
  for (Int32 i = 0; i < 7; ++i) EXPECT_EQ(mesh->GetPointR()[i], want[static_cast<size_t>(i)]) << i;
  EXPECT_EQ(mesh->GetPolygonR()[0], CPolygon(0, 1, 2, 3));
  EXPECT_EQ(mesh->GetPolygonR()[1], CPolygon(4, 5, 6));

  BaseTag* tag = mesh->GetFirstTag();
  ASSERT_NE(tag, nullptr);
  EXPECT_EQ(tag->GetType(), ID_TRANSFERTAG) << "the transfer tag comes first";
  const BaseContainer* bc = tag->GetDataInstance();
  EXPECT_EQ(bc->GetLink(TRANSFERUV_UVWTAG, doc), second);
  EXPECT_EQ(bc->GetLink(TRANSFERUV_OBJECT, doc), op);
  EXPECT_EQ(bc->GetFloat(TRANSFERUV_SIZE), 200.0);

  BaseObject* plane = mesh->GetDown();
  ASSERT_NE(plane, nullptr);
  EXPECT_EQ(plane->GetType(), Oplane);
  EXPECT_EQ(bc->GetLink(TRANSFERUV_PLANE, doc), plane);
  const BaseContainer* pc = plane->GetDataInstance();
  EXPECT_EQ(pc->GetFloat(PRIM_PLANE_WIDTH), 200.0);
  EXPECT_EQ(pc->GetFloat(PRIM_PLANE_HEIGHT), 200.0);
  EXPECT_EQ(pc->GetInt32(PRIM_PLANE_SUBW), 1);
  EXPECT_EQ(pc->GetInt32(PRIM_PLANE_SUBH), 1);
  EXPECT_EQ(pc->GetInt32(PRIM_AXIS), 5);
  EXPECT_EQ(plane->GetMl(),
            Matrix(Vector(100, 100, 0), Vector(1, 0, 0), Vector(0, 1, 0), Vector(0, 0, 1)));
  EXPECT_TRUE(plane->GetNBit(63));
  EXPECT_TRUE(plane->GetNBit(75));
  BaseTag* display = plane->GetFirstTag();
  ASSERT_NE(display, nullptr);
  EXPECT_EQ(display->GetType(), Tdisplay);
  EXPECT_EQ(display->GetDataInstance()->GetData(1000).GetType(), DA_LONG);
  EXPECT_EQ(display->GetDataInstance()->GetInt32(1000), 1);
  EXPECT_EQ(display->GetDataInstance()->GetInt32(1001), 1);
}

TEST_F(UVMeshTest, RefusalsChangeNothingAndOnlyAMissingTagIsSaid) {
  BaseObject* plane = BaseObject::Alloc(Oplane);
  doc->InsertObject(plane, nullptr, nullptr);
  doc->SetActiveObject(plane);
  EXPECT_FALSE(CreateUVmesh());
  doc->SetActiveObject(nullptr);
  EXPECT_FALSE(CreateUVmesh());
  EXPECT_EQ(host.Messages().size(), 0u) << "silent for no object or no polygon object";
  PolygonObject* op = QuadRow(1);
  SourceTag(op)->DelBit(BIT_ACTIVE);
  EXPECT_FALSE(CreateUVmesh());
  ASSERT_EQ(host.Messages().size(), 1u);
  EXPECT_EQ(host.Messages()[0].text, "Please select UVW tag and object.");
  EXPECT_EQ(host.Messages()[0].flags, GEMB_OK | GEMB_ICONEXCLAMATION);
  EXPECT_EQ(op->GetNext(), plane) << "no mesh after the object";
  EXPECT_EQ(doc->GetUndoCount(), 0);
  // An object without a name gives a mesh named "_UVmesh".
  op->GetTag(Tuvw)->SetBit(BIT_ACTIVE);
  op->SetName("");
  EXPECT_EQ(Mesh(op)->GetName(), "_UVmesh");
}

// Fault: a UV mesh of a UV mesh copied its transfer tag, which then wrote the new mesh's points
// into the first source's UVs.
TEST_F(UVMeshTest, AMeshOfAMeshCarriesOnlyItsOwnTransferTag) {
  PolygonObject* op = QuadRow(2);
  PolygonObject* first = Mesh(op);
  doc->SetActiveObject(first);
  first->GetTag(Tuvw)->SetBit(BIT_ACTIVE);
  PolygonObject* second = Mesh(first);
  Int32 tags = 0;
  for (BaseTag* t = second->GetFirstTag(); t; t = t->GetNext()) tags += t->GetType() == ID_TRANSFERTAG;
  EXPECT_EQ(tags, 1);
  EXPECT_EQ(Transfer(second)->GetDataInstance()->GetLink(TRANSFERUV_OBJECT, doc), first);
  const std::vector<UVWStruct> before = Records(SourceTag(op));
  Evaluate(Mmodel);
  EXPECT_TRUE(SameBits(Records(SourceTag(op)), before));
}

// s is the width in x; an object flat in x takes its largest side, an empty one 1.
TEST_F(UVMeshTest, AnObjectFlatInXStillGetsAUsableSize) {
  PolygonObject* op =
      Source("Wall", {Vector(3, 0, 0), Vector(3, 2, 0), Vector(3, 2, 4), Vector(3, 0, 4)},
             {CPolygon(0, 1, 2, 3)},
             {UVWStruct(V(0.25, 0.5), V(0.75, 0.5), V(0.75, 0.125), V(0.25, 0.125))});
  EXPECT_EQ(UVMeshSize(*op), 4.0);
  const std::vector<UVWStruct> before = Records(SourceTag(op));
  PolygonObject* mesh = Mesh(op);
  EXPECT_EQ(Transfer(mesh)->GetDataInstance()->GetFloat(TRANSFERUV_SIZE), 4.0);
  EXPECT_EQ(mesh->GetPointR()[0], Vector(1, 2, 0));
  Evaluate(Mmodel);
  EXPECT_TRUE(SameBits(Records(SourceTag(op)), before)) << "not (0, 1, 0) everywhere";

  // One point, or one that is not a number: the unit size.
  op->ResizeObject(1, 0);
  EXPECT_EQ(UVMeshSize(*op), 1.0);
  op->GetPointW()[0] = Vector(NAN, 0, 0);
  EXPECT_EQ(UVMeshSize(*op), 1.0);
}

TEST_F(UVMeshTest, AModelModeEvaluationGivesBackTheSameUVsBitForBit) {
  // s = 2 and UVs on a 1/1024 grid (w = 0): 2 u, 2 (1 - v) and back are exact.
  std::mt19937 rng(1024);
  std::uniform_int_distribution<int> grid(0, 1024);
  auto uv = [&] { return V(grid(rng) / 1024.0, grid(rng) / 1024.0); };
  std::vector<Vector> pts;
  std::vector<CPolygon> polys;
  std::vector<UVWStruct> uvs;
  for (Int32 i = 0; i < 40; ++i) {
    pts.insert(pts.end(), {Vector(0, i, 0), Vector(1, i, 0), Vector(2, i, 1), Vector(1, i, 2)});
    polys.push_back(i % 3 ? CPolygon(4 * i, 4 * i + 1, 4 * i + 2, 4 * i + 3)
                          : CPolygon(4 * i, 4 * i + 1, 4 * i + 2));
    uvs.emplace_back(uv(), uv(), uv(), uv());
  }
  PolygonObject* op = Source("Grid", pts, polys, uvs);
  ASSERT_EQ(UVMeshSize(*op), 2.0);
  Mesh(op);
  Evaluate(Mmodel);
  EXPECT_TRUE(SameBits(Records(SourceTag(op)), uvs));
}

// ---------------------------------------------------------------------------------------------
// The transfer

TEST_F(UVMeshTest, APointMovedInPointsModeWritesItsCorner) {
  PolygonObject* op = QuadRow(2);
  PolygonObject* mesh = Mesh(op);
  // s = 2: the point (1, 0.5, 0) is the UV (1 / 2, 1 - 0.5 / 2) = (0.5, 0.75).
  mesh->GetPointW()[5] = Vector(1, 0.5, 0.25);  // polygon 1, corner b
  mesh->GetPointS()->Select(5);
  const UVWStruct untouched = SourceTag(op)->GetSlow(0);
  Evaluate(Mpoints);
  const UVWStruct r = SourceTag(op)->GetSlow(1);
  EXPECT_EQ(r.b, V(0.5, 0.75, 0));
  EXPECT_EQ(r.a, V(0.125, 0.5));
  EXPECT_EQ(r.c, V(0.25, 0.25));
  EXPECT_EQ(SourceTag(op)->GetSlow(0), untouched);
  EXPECT_EQ(static_cast<UVWTag*>(mesh->GetTag(Tuvw))->GetSlow(1), r) << "the mesh's tag too";
  // UV points mode does the same.
  mesh->GetPointW()[5] = Vector(0.5, 0.5, 0);
  Evaluate(Muvpoints);
  EXPECT_EQ(SourceTag(op)->GetSlow(1).b, V(0.25, 0.75, 0));
}

TEST_F(UVMeshTest, SizeZeroPutsEveryCornerAtZeroOne) {
  PolygonObject* op =
      Source("Two", {Vector(0, 0, 0), Vector(1, 0, 0), Vector(1, 1, 0), Vector(0, 1, 0)},
             {CPolygon(0, 1, 2, 3), CPolygon(0, 1, 2)},
             {UVWStruct(V(0.1, 0.2), V(0.3, 0.2), V(0.3, 0.4), V(0.1, 0.4)),
              UVWStruct(V(0.5, 0.5), V(0.6, 0.5), V(0.6, 0.6), V(0.7, 0.7))});
  PolygonObject* mesh = Mesh(op);
  Transfer(mesh)->GetDataInstance()->SetFloat(TRANSFERUV_SIZE, 0.0);
  Evaluate(Mmodel);
  const UVWStruct q = SourceTag(op)->GetSlow(0), t = SourceTag(op)->GetSlow(1);
  for (Int32 k = 0; k < 4; ++k) EXPECT_EQ(q[k], V(0, 1, 0)) << k;
  for (Int32 k = 0; k < 3; ++k) EXPECT_EQ(t[k], V(0, 1, 0)) << k;
  EXPECT_EQ(t.d, V(0.7, 0.7)) << "a triangle's d keeps its UV";
  // A size that is not a number counts as 0 too, not as NaN UVs.
  Transfer(mesh)->GetDataInstance()->SetFloat(TRANSFERUV_SIZE, NAN);
  Evaluate(Mmodel);
  EXPECT_EQ(SourceTag(op)->GetSlow(0).a, V(0, 1, 0));
}

TEST_F(UVMeshTest, AnEdgeStandsForItsWholePolygonAsAPolygonDoes) {
  PolygonObject* op = QuadRow(3);
  PolygonObject* mesh = Mesh(op);
  const UVWStruct one = SourceTag(op)->GetSlow(1);
  for (Int32 i = 4; i < 12; ++i) mesh->GetPointW()[i] += Vector(0.5, 0, 0);  // polygons 1 and 2
  mesh->GetEdgeS()->Select(9);                                               // polygon 2, side 1
  Evaluate(Medges);
  // Moving 0.5 in x is 0.25 in u.
  const UVWStruct two = SourceTag(op)->GetSlow(2);
  EXPECT_EQ(two.a, V(0.5, 0.5));
  EXPECT_EQ(two.b, V(0.625, 0.5));
  EXPECT_EQ(two.c, V(0.625, 0.25));
  EXPECT_EQ(two.d, V(0.5, 0.25));
  EXPECT_EQ(SourceTag(op)->GetSlow(1), one);
  // Polygons mode writes the selected polygons the same way.
  mesh->GetPolygonS()->DeselectAll();
  mesh->GetPolygonS()->Select(1);
  mesh->GetPointW()[0] += Vector(0.5, 0, 0);
  Evaluate(Muvpolygons);
  EXPECT_EQ(SourceTag(op)->GetSlow(1).a, V(0.375, 0.5));
  EXPECT_EQ(SourceTag(op)->GetSlow(0).a, V(0, 0.5)) << "polygon 0 is not selected";
}

TEST_F(UVMeshTest, AnUnlistedModeTransfersNothingButStillTellsAllFour) {
  PolygonObject* op = QuadRow(2);
  PolygonObject* mesh = Mesh(op);
  mesh->GetPointW()[0] = Vector(7, 7, 7);
  auto* meshTag = static_cast<UVWTag*>(mesh->GetTag(Tuvw));
  const std::vector<UVWStruct> before = Records(SourceTag(op));
  const UInt32 counts[4] = {meshTag->UpdateMessages(), SourceTag(op)->UpdateMessages(),
                            mesh->UpdateMessages(), op->UpdateMessages()};
  Evaluate(Mpolygons + 100);
  EXPECT_TRUE(SameBits(Records(SourceTag(op)), before));
  EXPECT_EQ(meshTag->UpdateMessages(), counts[0] + 1);
  EXPECT_EQ(SourceTag(op)->UpdateMessages(), counts[1] + 1);
  EXPECT_EQ(mesh->UpdateMessages(), counts[2] + 1);
  EXPECT_EQ(op->UpdateMessages(), counts[3] + 1);
}

// Fault: point j is not always in polygon j / 4 once triangles take three points.
TEST_F(UVMeshTest, PointsModeFindsTheCornerOnAMeshWithTriangles) {
  // Triangle, quad, triangle, quad: mesh points 0-2, 3-6, 7-9, 10-13.
  PolygonObject* op =
      Source("Mixed", {Vector(0, 0, 0), Vector(2, 0, 0), Vector(2, 2, 0), Vector(0, 2, 0)},
             {CPolygon(0, 1, 2), CPolygon(0, 1, 2, 3), CPolygon(1, 2, 3), CPolygon(3, 2, 1, 0)},
             {UVWStruct(V(0, 0), V(0.25, 0), V(0.25, 0.25), V(0, 0)),
              UVWStruct(V(0.5, 0), V(0.75, 0), V(0.75, 0.25), V(0.5, 0.25)),
              UVWStruct(V(0, 0.5), V(0.25, 0.5), V(0.25, 0.75), V(0, 0)),
              UVWStruct(V(0.5, 0.5), V(0.75, 0.5), V(0.75, 0.75), V(0.5, 0.75))});
  PolygonObject* mesh = Mesh(op);
  ASSERT_EQ(mesh->GetPointCount(), 14);
  // Point 3 is corner a of polygon 1 (3 / 4 would say polygon 0), point 7 corner a of
  // polygon 2 (7 / 4 would say polygon 1).
  mesh->GetPointW()[3] = Vector(1, 1, 0);
  mesh->GetPointW()[7] = Vector(0.5, 0.5, 0);
  mesh->GetPointS()->Select(3);
  mesh->GetPointS()->Select(7);
  const UVWStruct zero = SourceTag(op)->GetSlow(0), three = SourceTag(op)->GetSlow(3);
  Evaluate(Mpoints);
  EXPECT_EQ(SourceTag(op)->GetSlow(1).a, V(0.5, 0.5, 0));
  EXPECT_EQ(SourceTag(op)->GetSlow(1).b, V(0.75, 0));
  EXPECT_EQ(SourceTag(op)->GetSlow(2).a, V(0.25, 0.75, 0));
  EXPECT_EQ(SourceTag(op)->GetSlow(0), zero);
  EXPECT_EQ(SourceTag(op)->GetSlow(3), three);
}

// ---------------------------------------------------------------------------------------------
// The rebuild

TEST_F(UVMeshTest, APolygonAddedToTheSourceRebuildsTheMeshOnce) {
  PolygonObject* op = QuadRow(1);
  PolygonObject* mesh = Mesh(op);
  // Add a triangle and a quad to the source, and give them UVs.
  Modeling* m = Modeling::Alloc();
  ASSERT_TRUE(m->InitObject(op));
  const Int32 tri[3] = {0, 1, 2}, quad[4] = {0, 1, 2, 3};
  ASSERT_NE(m->CreateNgon(op, tri, 3), NOTOK);
  ASSERT_NE(m->CreateNgon(op, quad, 4), NOTOK);
  ASSERT_TRUE(m->Commit(op));
  Modeling::Free(m);
  UVWTag* source = SourceTag(op);
  source->SetSlow(1, UVWStruct(V(0.5, 0.5), V(1, 0.5), V(1, 1), V(3, 3)));
  source->SetSlow(2, UVWStruct(V(0, 0, 0.5), V(0.25, 0), V(0.25, 0.25), V(0, 0.25)));

  mesh->GetPolygonS()->DeselectAll();
  Evaluate(Muvpolygons);  // nothing selected: only the rebuild
  ASSERT_EQ(mesh->GetPolygonCount(), 3);
  ASSERT_EQ(mesh->GetPointCount(), 4 + 3 + 4);
  EXPECT_EQ(mesh->GetPolygonR()[1], CPolygon(4, 5, 6));
  EXPECT_EQ(mesh->GetPolygonR()[2], CPolygon(7, 8, 9, 10));
  // (s u, s (1 - v), 0) with s = 2; w is not carried.
  EXPECT_EQ(mesh->GetPointR()[4], Vector(1, 1, 0));
  EXPECT_EQ(mesh->GetPointR()[6], Vector(2, 0, 0));
  EXPECT_EQ(mesh->GetPointR()[7], Vector(0, 2, 0));
  EXPECT_EQ(mesh->GetPointR()[9], Vector(0.5, 1.5, 0));
  EXPECT_TRUE(SameBits(Records(static_cast<UVWTag*>(mesh->GetTag(Tuvw))), Records(source)));

  // Rebuilt once: an edit of the mesh now survives the next evaluation.
  mesh->GetPointW()[8] = Vector(1, 2, 0);
  mesh->GetPointS()->Select(8);
  Evaluate(Mpoints);
  EXPECT_EQ(mesh->GetPointR()[8], Vector(1, 2, 0));
  EXPECT_EQ(source->GetSlow(2).b, V(0.5, 0, 0));
}

// Fault: deciding by the UV corners turned a quad whose UV c and d coincide into a triangle.
TEST_F(UVMeshTest, TheRebuildKeepsAQuadWhoseUVCornersCAndDCoincide) {
  PolygonObject* op = QuadRow(1);
  PolygonObject* mesh = Mesh(op);
  SourceTag(op)->SetSlow(0, UVWStruct(V(0, 0), V(0.5, 0), V(0.5, 0.5), V(0.5, 0.5)));
  // The mesh loses its polygon, so the next evaluation rebuilds it.
  Modeling* m = Modeling::Alloc();
  ASSERT_TRUE(m->InitObject(mesh));
  ASSERT_TRUE(m->DeleteNgon(mesh, 0, true));
  ASSERT_TRUE(m->Commit(mesh));
  Modeling::Free(m);
  ASSERT_EQ(mesh->GetPolygonCount(), 0);
  Evaluate(Muvpolygons);
  ASSERT_EQ(mesh->GetPolygonCount(), 1);
  EXPECT_EQ(mesh->GetPolygonR()[0], CPolygon(0, 1, 2, 3)) << "four points, d its own";
  EXPECT_EQ(mesh->GetPointR()[3], Vector(1, 1, 0));
}

// Fault: a rebuilt mesh without the source's n-gons never matched it again, so every evaluation
// threw the user's edits away.
TEST_F(UVMeshTest, ARebuiltMeshTakesTheSourcesNgons) {
  // Three quads in a strip on shared points (bottom 0-3, top 4-7), the last two one n-gon.
  std::vector<Vector> pts;
  for (Int32 i = 0; i < 8; ++i) pts.emplace_back((i % 4) * 2.0 / 3.0, i / 4, 0);
  PolygonObject* op =
      Source("Strip", pts, {CPolygon(0, 1, 5, 4), CPolygon(1, 2, 6, 5), CPolygon(2, 3, 7, 6)},
             {UVWStruct(V(0, 0.5), V(0.125, 0.5), V(0.125, 0.25), V(0, 0.25)),
              UVWStruct(V(0.125, 0.5), V(0.25, 0.5), V(0.25, 0.25), V(0.125, 0.25)),
              UVWStruct(V(0.25, 0.5), V(0.375, 0.5), V(0.375, 0.25), V(0.25, 0.25))});
  ASSERT_TRUE(op->SetNgons({{{2, 1}, {1, 2, 3, 7, 6, 5}}}));
  PolygonObject* mesh = Mesh(op);
  ASSERT_TRUE(SameStructure(*mesh, *op)) << "the clone keeps its n-gons";
  // A fourth polygon in the source: rebuilt, with the n-gon.
  Modeling* m = Modeling::Alloc();
  ASSERT_TRUE(m->InitObject(op));
  const Int32 tri[3] = {0, 1, 2};
  ASSERT_NE(m->CreateNgon(op, tri, 3), NOTOK);
  ASSERT_TRUE(m->Commit(op));
  Modeling::Free(m);
  Evaluate(Mmodel);
  ASSERT_EQ(mesh->GetPolygonCount(), 4);
  ASSERT_EQ(mesh->GetPointCount(), 15);
  ASSERT_EQ(mesh->GetNgonCount(), 1);
  EXPECT_EQ(mesh->GetNgons()[0].polygons, (std::vector<Int32>{2, 1}));
  // Mesh polygon 1 has points 4-7 for 1 2 6 5, polygon 2 points 8-11 for 2 3 7 6; each outline
  // point takes polygon 2's copy where it has one: 1 2 3 7 6 5 -> 4 8 9 10 11 7.
  EXPECT_EQ(mesh->GetNgons()[0].outline, (std::vector<Int32>{4, 8, 9, 10, 11, 7}));
  EXPECT_TRUE(SameStructure(*mesh, *op));
  mesh->GetPointW()[0] = Vector(0.25, 1.5, 0);
  Evaluate(Mmodel);
  EXPECT_EQ(mesh->GetPointR()[0], Vector(0.25, 1.5, 0)) << "not rebuilt again";
  EXPECT_EQ(SourceTag(op)->GetSlow(0).a, V(0.125, 0.25, 0));
}

// Fault: the lists were compared over the mesh's length, reading past a shorter source list.
TEST(SameStructure, ComparesWholeNgonListsInAnyStoredOrder) {
  PolygonObject* mesh = PolygonObject::Alloc(0, 4);
  PolygonObject* source = PolygonObject::Alloc(0, 4);
  EXPECT_TRUE(SameStructure(*mesh, *source));
  ASSERT_TRUE(mesh->SetNgons({{{0, 1, 2}, {}}}));
  EXPECT_TRUE(SameStructure(*mesh, *source)) << "a source without n-gons: the count decides";
  ASSERT_TRUE(source->SetNgons({{{0, 1}, {}}}));
  EXPECT_FALSE(SameStructure(*mesh, *source)) << "the mesh's n-gon is the longer one";
  ASSERT_TRUE(source->SetNgons({{{2, 0, 1}, {}}}));
  EXPECT_TRUE(SameStructure(*mesh, *source)) << "the same polygons, listed in another order";
  ASSERT_TRUE(source->SetNgons({{{0, 1, 3}, {}}}));
  EXPECT_FALSE(SameStructure(*mesh, *source));
  ASSERT_TRUE(source->SetNgons({{{0, 1, 2}, {}}, {{3}, {}}}));
  EXPECT_FALSE(SameStructure(*mesh, *source)) << "another n-gon count";
  PolygonObject* five = PolygonObject::Alloc(0, 5);
  EXPECT_FALSE(SameStructure(*five, *source));
  for (PolygonObject* p : {mesh, source, five}) delete p;
}

// ---------------------------------------------------------------------------------------------
// Bad input: short tags, stray selections, points that are not numbers

TEST_F(UVMeshTest, ShortTagsAndStraySelectionsAreNeverReadPastOrWritten) {
  PolygonObject* op = QuadRow(3);
  PolygonObject* mesh = Mesh(op);
  SourceTag(op)->Resize(2);  // no record for polygon 2
  static_cast<UVWTag*>(mesh->GetTag(Tuvw))->Resize(1);
  for (Int32 i = 0; i < 12; ++i) mesh->GetPointW()[i] += Vector(0.5, 0, 0);
  mesh->GetPointS()->SelectAll(0, 40);
  mesh->GetPolygonS()->SelectAll(0, 9);
  mesh->GetEdgeS()->SelectAll(0, 50);
  for (Int32 mode : {Mpoints, Mpolygons, Medges, Mmodel}) {
    Evaluate(mode);
    EXPECT_EQ(SourceTag(op)->GetDataCount(), 2);
    EXPECT_EQ(static_cast<UVWTag*>(mesh->GetTag(Tuvw))->GetDataCount(), 1);
  }
  EXPECT_EQ(SourceTag(op)->GetSlow(1).a, V(0.375, 0.5));
}

TEST_F(UVMeshTest, NoEvaluationWritesANumberThatIsNotFinite) {
  PolygonObject* op = QuadRow(2);
  PolygonObject* mesh = Mesh(op);
  mesh->GetPointW()[0] = Vector(NAN, 0, 0);
  mesh->GetPointW()[5] = Vector(HUGE_VAL, 1, 0);
  const UVWStruct before0 = SourceTag(op)->GetSlow(0);
  Evaluate(Mmodel);
  EXPECT_EQ(SourceTag(op)->GetSlow(0).a, before0.a) << "the corner keeps its UV";
  EXPECT_TRUE(SourceTag(op)->GetSlow(1).b.IsFinite());
  // A tiny size overflows x / s: kept as well.
  Transfer(mesh)->GetDataInstance()->SetFloat(TRANSFERUV_SIZE, 1e-320);
  mesh->GetPointW()[0] = Vector(1, 1, 0);
  Evaluate(Mmodel);
  for (const UVWStruct& r : Records(SourceTag(op)))
    for (Int32 k = 0; k < 4; ++k) EXPECT_TRUE(r[k].IsFinite());
  // A rebuild from UVs that are not finite puts those points at 0.
  SourceTag(op)->SetSlow(0, UVWStruct(V(NAN, 0.5), V(HUGE_VAL, 0), V(0, 0), V(0, 0)));
  Transfer(mesh)->GetDataInstance()->SetFloat(TRANSFERUV_SIZE, 2.0);
  ASSERT_TRUE(RebuildUVMesh(*mesh, *op, *SourceTag(op), 2.0));
  for (Int32 i = 0; i < mesh->GetPointCount(); ++i) EXPECT_TRUE(mesh->GetPointR()[i].IsFinite());
  EXPECT_EQ(mesh->GetPointR()[0], Vector(0, 1, 0));
}

// ---------------------------------------------------------------------------------------------
// The point-to-corner index against a scan of every polygon

TEST(PointCornerIndex, GivesWhatAScanOfEveryPolygonGives) {
  std::mt19937 rng(4);
  auto pick = [&](Int32 lo, Int32 hi) { return std::uniform_int_distribution<Int32>(lo, hi)(rng); };
  for (int round = 0; round < 300; ++round) {
    const Int32 pc = pick(1, 20), n = pick(0, 20);
    std::vector<CPolygon> polys;
    for (Int32 p = 0; p < n; ++p) {
      // Shared points, repeated corners, triangles, indices outside the points.
      CPolygon c(pick(-2, pc + 1), pick(0, pc - 1), pick(0, pc - 1), pick(0, pc + 1));
      if (pick(0, 2) == 0) c.d = c.c;
      polys.push_back(c);
    }
    PointCornerIndex index;
    index.Build(polys.data(), n, pc);
    for (Int32 j = -1; j <= pc; ++j) {
      std::vector<Int32> plain;
      for (Int32 p = 0; p < n && j >= 0 && j < pc; ++p) {
        const CPolygon& c = polys[static_cast<size_t>(p)];
        for (Int32 k = 0; k < (c.c == c.d ? 3 : 4); ++k)
          if (c[k] == j) {
            plain.push_back(4 * p + k);
            break;
          }
      }
      const auto got = index.Of(j);
      EXPECT_EQ(std::vector<Int32>(got.begin(), got.end()), plain)
          << "round " << round << " point " << j;
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Attributes, outline and colour

TEST_F(UVMeshTest, TheAttributeViewShowsTheLinksAndSizeDisabledAndHidesThePlane) {
  PolygonObject* mesh = Mesh(QuadRow(1));
  std::vector<hostrt::AttributeRow> rows;
  String error;
  ASSERT_TRUE(hostrt::AttributeView(Transfer(mesh), rows, error)) << error;
  std::vector<std::pair<Int32, bool>> shown;
  for (const auto& r : rows) shown.emplace_back(r.id, r.enabled);
  EXPECT_EQ(shown, (std::vector<std::pair<Int32, bool>>{
                       {1001, false}, {1002, false}, {1003, false}, {1005, true}}));
  EXPECT_FALSE(hostrt::SetAttribute(doc, Transfer(mesh), TRANSFERUV_SIZE, "3", error));
  EXPECT_FALSE(hostrt::SetAttribute(doc, Transfer(mesh), TRANSFERUV_PLANE, "x", error));
}

TEST_F(UVMeshTest, TheOutlineFollowsAMovedAndTurnedMesh) {
  PolygonObject* mesh = Mesh(QuadRow(1));
  // Turned by 90 degrees about z (x goes to y) and moved to (10, 0, 0), under a parent moved up 1.
  BaseObject* parent = BaseObject::Alloc(Onull);
  doc->InsertObject(parent, nullptr, nullptr);
  parent->SetMl(Matrix(Vector(0, 1, 0), Vector(1, 0, 0), Vector(0, 1, 0), Vector(0, 0, 1)));
  mesh->Remove();
  doc->InsertObject(mesh, parent, nullptr);
  mesh->SetMl(Matrix(Vector(10, 0, 0), Vector(0, 1, 0), Vector(-1, 0, 0), Vector(0, 0, 1)));
  BaseDraw view;
  EXPECT_EQ(hostrt::DrawViews(*doc, view), 1);
  // s = 2: (0,0) (0,2) (2,2) (2,0) map to (10,1) (8,1) (8,3) (10,3).
  const Vector want[4] = {Vector(10, 1, 0), Vector(8, 1, 0), Vector(8, 3, 0), Vector(10, 3, 0)};
  ASSERT_EQ(view.Lines().size(), 4u);
  for (size_t k = 0; k < 4; ++k) {
    EXPECT_EQ(view.Lines()[k].a, want[k]) << k;
    EXPECT_EQ(view.Lines()[k].b, want[(k + 1) % 4]) << k;
    EXPECT_EQ(view.Lines()[k].color, Vector(255, 255, 255));
    EXPECT_EQ(view.Lines()[k].width, 1.0);
  }
  EXPECT_EQ(view.GetDrawParam(DRAW_PARAMETER_ZCOMPARE).GetInt32(), 4);
  // Without a source tag nothing is drawn.
  Transfer(mesh)->GetDataInstance()->SetLink(TRANSFERUV_UVWTAG, nullptr);
  BaseDraw none;
  EXPECT_EQ(hostrt::DrawViews(*doc, none), 0);
  EXPECT_TRUE(none.Lines().empty());
}

TEST_F(UVMeshTest, TheColourMessagePassesTheMeshColourToThePlane) {
  PolygonObject* mesh = Mesh(QuadRow(1));
  BaseObject* plane = mesh->GetDown();
  ObjectColorProperties colour{ID_BASEOBJECT_USECOLOR_ALWAYS, Vector(0.2, 0.4, 0.6), false};
  mesh->SetColorProperties(&colour);
  String error;
  // Ticking X-Ray in the tag's attributes sends the message.
  ASSERT_TRUE(hostrt::SetAttribute(doc, Transfer(mesh), TRANSFERUV_XRAY, "on", error)) << error;
  ObjectColorProperties got;
  plane->GetColorProperties(&got);
  EXPECT_EQ(got.usecolor, ID_BASEOBJECT_USECOLOR_ALWAYS);
  EXPECT_EQ(got.color, Vector(0.2, 0.4, 0.6));
  EXPECT_TRUE(got.xray);
  EXPECT_FALSE(mesh->GetDataInstance()->GetBool(ID_BASEOBJECT_XRAY)) << "the mesh keeps its own";
  // A change of the mesh's colour reaches the plane the same way.
  ASSERT_TRUE(hostrt::SetAttribute(doc, mesh, ID_BASEOBJECT_COLOR, "1,0,0", error)) << error;
  plane->GetColorProperties(&got);
  EXPECT_EQ(got.color, Vector(1, 0, 0));
  // Without a plane, or with its plane gone, the message does nothing.
  BaseObject::Free(plane);
  EXPECT_TRUE(Transfer(mesh)->Message(MSG_DESCRIPTION_POSTSETPARAMETER));
  Transfer(mesh)->GetDataInstance()->SetLink(TRANSFERUV_PLANE, nullptr);
  EXPECT_TRUE(Transfer(mesh)->Message(MSG_DESCRIPTION_POSTSETPARAMETER));
}

}  // namespace
