// The modelling kernel and the Disconnect command.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "c4d_basecontainer.h"
#include "c4d_basedocument.h"
#include "c4d_baseobject.h"
#include "c4d_general.h"
#include "lib_modeling.h"

namespace {

std::vector<Int32> Indices(const BaseSelect* sel) {
  std::vector<Int32> out;
  for (Int32 i = 0; i <= sel->GetLastElement(); ++i)
    if (sel->IsSelected(i)) out.push_back(i);
  return out;
}

std::vector<CPolygon> Polys(const PolygonObject* op) {
  return {op->GetPolygonR(), op->GetPolygonR() + op->GetPolygonCount()};
}

std::vector<Vector> Points(const PolygonObject* op) {
  return {op->GetPointR(), op->GetPointR() + op->GetPointCount()};
}

UVWStruct Record(Float k) {
  return UVWStruct(Vector(k, 0, 0), Vector(k, 1, 0), Vector(k, 2, 0), Vector(k, 3, 0));
}

// Two quads sharing the edge 1-4 and a triangle sharing the edge 2-5 with the second quad:
//   3---4---5
//   | 0 | 1 | \ 2
//   0---1---2--6
// Point i lies at x = i % 3 (6 at 3), y = 1 for 3-5; UV record i has u = i + 1 everywhere.
struct Mesh : ::testing::Test {
  BaseDocument* doc = BaseDocument::Alloc();
  PolygonObject* op = PolygonObject::Alloc(7, 3);
  UVWTag* uvw = nullptr;

  Mesh() {
    const Vector at[7] = {Vector(0, 0, 0), Vector(1, 0, 0), Vector(2, 0, 0), Vector(0, 1, 0),
                          Vector(1, 1, 0), Vector(2, 1, 0), Vector(3, 0, 0)};
    for (Int32 i = 0; i < 7; ++i) op->GetPointW()[i] = at[i];
    op->GetPolygonW()[0] = CPolygon(0, 1, 4, 3);
    op->GetPolygonW()[1] = CPolygon(1, 2, 5, 4);
    op->GetPolygonW()[2] = CPolygon(2, 6, 5);
    uvw = static_cast<UVWTag*>(op->MakeTag(Tuvw));
    for (Int32 i = 0; i < 3; ++i) uvw->SetSlow(i, Record(i + 1));
    doc->InsertObject(op, nullptr, nullptr);
  }
  ~Mesh() override { BaseDocument::Free(doc); }
};

using Kernel = Mesh;

TEST_F(Kernel, DeletingAFaceTakesThePointsOnlyItUsedAndKeepsTheRestInOrder) {
  op->GetPolygonS()->Select(0);
  op->GetPolygonS()->Select(2);
  op->GetEdgeS()->Select(1);   // polygon 0, gone
  op->GetEdgeS()->Select(5);   // polygon 1 side 1
  op->GetPointS()->Select(3);  // only polygon 0 used it
  op->GetPointS()->Select(4);
  hostrt::UVPointSelection(op)->Select(9);  // polygon 2 corner b

  Modeling* m = Modeling::Alloc();
  ASSERT_TRUE(m->InitObject(op));
  ASSERT_TRUE(m->DeleteNgon(op, 0, true));
  EXPECT_FALSE(m->DeleteNgon(op, 0, true)) << "already deleted";
  ASSERT_TRUE(m->Commit(op));
  Modeling::Free(m);

  // Points 0 and 3 belonged to polygon 0 alone; 1 2 4 5 6 become 0 1 2 3 4.
  EXPECT_EQ(Points(op), (std::vector<Vector>{Vector(1, 0, 0), Vector(2, 0, 0), Vector(1, 1, 0),
                                             Vector(2, 1, 0), Vector(3, 0, 0)}));
  EXPECT_EQ(Polys(op), (std::vector<CPolygon>{CPolygon(0, 1, 3, 2), CPolygon(1, 4, 3)}));
  ASSERT_EQ(uvw->GetDataCount(), 2);
  EXPECT_EQ(uvw->GetSlow(0), Record(2));
  EXPECT_EQ(uvw->GetSlow(1), Record(3));
  EXPECT_EQ(Indices(op->GetPolygonS()), (std::vector<Int32>{1}));
  EXPECT_EQ(Indices(op->GetEdgeS()), (std::vector<Int32>{1}));
  EXPECT_EQ(Indices(op->GetPointS()), (std::vector<Int32>{2}));
  EXPECT_EQ(Indices(hostrt::UVPointSelection(op)), (std::vector<Int32>{5}));
}

TEST_F(Kernel, NewFacesOnNewPointsFollowInTheOrderMadeWithZeroUVs) {
  Modeling* m = Modeling::Alloc();
  ASSERT_TRUE(m->InitObject(op));
  for (Int32 id = 0; id < 3; ++id) ASSERT_TRUE(m->DeleteNgon(op, id, true));
  ASSERT_TRUE(m->Commit(op));
  EXPECT_EQ(op->GetPointCount(), 0);
  EXPECT_EQ(op->GetPolygonCount(), 0);
  EXPECT_EQ(uvw->GetDataCount(), 0);

  // The kernel carries on from the committed (empty) mesh.
  const UInt32 updates = op->UpdateMessages();
  std::vector<Int32> pts;
  for (Int32 i = 0; i < 12; ++i) pts.push_back(m->AddPoint(op, Vector(i, 0, 0)));
  EXPECT_EQ(pts.front(), 0);
  EXPECT_EQ(pts.back(), 11);
  EXPECT_EQ(m->CreateNgon(op, &pts[0], 3, MODELING_SETNGON_FLAG_FIXEDQUADS), 0);
  EXPECT_EQ(m->CreateNgon(op, &pts[3], 4, MODELING_SETNGON_FLAG_FIXEDQUADS), 1);
  EXPECT_EQ(m->CreateNgon(op, &pts[7], 5, 0), 2);
  ASSERT_TRUE(m->Commit(op, MODELING_COMMIT_UPDATE));
  Modeling::Free(m);

  EXPECT_EQ(op->UpdateMessages(), updates + 1);
  EXPECT_EQ(op->GetPointCount(), 12);
  // The five-point face is a fan from its first point, kept as one n-gon.
  EXPECT_EQ(Polys(op),
            (std::vector<CPolygon>{CPolygon(0, 1, 2), CPolygon(3, 4, 5, 6), CPolygon(7, 8, 9),
                                   CPolygon(7, 9, 10), CPolygon(7, 10, 11)}));
  ASSERT_EQ(op->GetNgonCount(), 1);
  EXPECT_EQ(op->GetNgons()[0].polygons, (std::vector<Int32>{2, 3, 4}));
  EXPECT_EQ(op->GetNgons()[0].outline, (std::vector<Int32>{7, 8, 9, 10, 11}));
  ASSERT_EQ(uvw->GetDataCount(), 5);
  for (Int32 i = 0; i < 5; ++i) EXPECT_EQ(uvw->GetSlow(i), UVWStruct());
}

TEST_F(Kernel, FacesAreNumberedNgonsFirstAndKeepTheirPointsWhenAsked) {
  ASSERT_TRUE(op->SetNgons({{{1, 2}, {1, 2, 6, 5, 4}}}));
  Modeling* m = Modeling::Alloc();
  ASSERT_TRUE(m->InitObject(op));
  EXPECT_FALSE(m->DeleteNgon(op, 2, true)) << "two faces: the n-gon and polygon 0";
  ASSERT_TRUE(m->DeleteNgon(op, 0, false));
  ASSERT_TRUE(m->Commit(op));
  Modeling::Free(m);
  EXPECT_EQ(Polys(op), (std::vector<CPolygon>{CPolygon(0, 1, 4, 3)}));
  EXPECT_EQ(op->GetPointCount(), 7) << "points stay without the flag";
  EXPECT_EQ(op->GetNgonCount(), 0);
  EXPECT_EQ(uvw->GetSlow(0), Record(1));
}

TEST_F(Kernel, RefusesWhatItDoesNotHold) {
  Modeling* m = Modeling::Alloc();
  BaseObject* plane = BaseObject::Alloc(Oplane);
  EXPECT_FALSE(m->InitObject(plane));
  EXPECT_EQ(m->AddPoint(op, Vector()), NOTOK) << "before InitObject";
  ASSERT_TRUE(m->InitObject(op));
  EXPECT_EQ(m->AddPoint(plane, Vector()), NOTOK) << "another object";
  EXPECT_FALSE(m->Commit(plane));
  const Int32 ok[3] = {0, 1, 2}, outside[3] = {0, 1, 7}, negative[3] = {-1, 0, 1};
  EXPECT_EQ(m->CreateNgon(op, ok, 2), NOTOK) << "two points make no face";
  EXPECT_EQ(m->CreateNgon(op, outside, 3), NOTOK);
  EXPECT_EQ(m->CreateNgon(op, negative, 3), NOTOK);
  ASSERT_TRUE(m->DeleteNgon(op, 0, true));  // takes points 0 and 3
  EXPECT_EQ(m->CreateNgon(op, ok, 3), NOTOK) << "point 0 is deleted";
  EXPECT_FALSE(m->DeleteNgon(op, -1, true));
  Modeling::Free(m);
  BaseObject::Free(plane);
  EXPECT_EQ(op->GetPolygonCount(), 3) << "nothing was committed";
}

TEST_F(Kernel, OriginalEdgesRunAlongEachPolygonsSides) {
  Modeling* m = Modeling::Alloc();
  ASSERT_TRUE(m->InitObject(op));
  ASSERT_TRUE(m->DeleteNgon(op, 0, true));  // edges stay those of the mesh as taken
  // {edge, first point, second point}: quad 0 a-b, c-d, d-a; triangle 2 a-b, b-c, and c-a for
  // both its side 2 and its side 3 (d is c).
  const Int32 cases[][3] = {{0, 0, 1}, {2, 4, 3}, {3, 3, 0},  {5, 2, 5},
                            {8, 2, 6}, {9, 6, 5}, {10, 5, 2}, {11, 5, 2}};
  for (const auto& c : cases) {
    Int32 a = -9, b = -9;
    ASSERT_TRUE(m->GetOriginalEdgePoints(op, c[0], a, b)) << c[0];
    EXPECT_EQ(a, c[1]) << "edge " << c[0];
    EXPECT_EQ(b, c[2]) << "edge " << c[0];
  }
  Int32 a = 0, b = 0;
  EXPECT_FALSE(m->GetOriginalEdgePoints(op, 12, a, b));
  EXPECT_FALSE(m->GetOriginalEdgePoints(op, -1, a, b));
  Modeling::Free(m);
}

// --- Disconnect ---

using Disconnect = Mesh;

Bool RunDisconnect(BaseDocument* doc, PolygonObject* op, MODELINGCOMMANDMODE mode, Bool preserve,
                   bool undo = false) {
  BaseContainer bc;
  bc.SetBool(MDATA_DISCONNECT_PRESERVEGROUPS, preserve);
  ModelingCommandData md;
  md.doc = doc;
  md.op = op;
  md.bc = &bc;
  md.mode = mode;
  if (undo) md.flags = MODELINGCOMMANDFLAGS_CREATEUNDO;
  return SendModelingCommand(MCOMMAND_DISCONNECT, md);
}

TEST_F(Disconnect, AllSelectedNumbersThePointsPolygonByPolygon) {
  op->GetPolygonS()->SelectAll(0, 2);
  op->GetPointS()->Select(4);
  ASSERT_TRUE(RunDisconnect(doc, op, MODELINGCOMMANDMODE_POLYGONSELECTION, false, true));
  // Quad 0 takes 0-3 (its points 0 1 4 3), quad 1 takes 4-7 (1 2 5 4), the triangle 8-10 (2 6 5).
  EXPECT_EQ(Polys(op), (std::vector<CPolygon>{CPolygon(0, 1, 2, 3), CPolygon(4, 5, 6, 7),
                                              CPolygon(8, 9, 10)}));
  EXPECT_EQ(Points(op),
            (std::vector<Vector>{Vector(0, 0, 0), Vector(1, 0, 0), Vector(1, 1, 0), Vector(0, 1, 0),
                                 Vector(1, 0, 0), Vector(2, 0, 0), Vector(2, 1, 0), Vector(1, 1, 0),
                                 Vector(2, 0, 0), Vector(3, 0, 0), Vector(2, 1, 0)}));
  // Point 4 was corner c of quad 0 and corner d of quad 1: both copies stay selected.
  EXPECT_EQ(Indices(op->GetPointS()), (std::vector<Int32>{2, 7}));
  EXPECT_EQ(uvw->GetSlow(1), Record(2)) << "UVs are per polygon and stay";
  ASSERT_TRUE(doc->DoUndo()) << "recorded for undo when asked";
  EXPECT_EQ(op->GetPointCount(), 7);
  EXPECT_EQ(op->GetPolygonR()[1], CPolygon(1, 2, 5, 4));
}

TEST_F(Disconnect, RefusesBrokenPolygonsAndOtherModes) {
  op->GetPolygonS()->SelectAll(0, 2);
  EXPECT_FALSE(RunDisconnect(doc, op, MODELINGCOMMANDMODE_POINTSELECTION, false));
  EXPECT_FALSE(RunDisconnect(doc, op, MODELINGCOMMANDMODE_EDGESELECTION, false));
  op->GetPolygonW()[2].b = 7;  // a point the object does not have
  EXPECT_FALSE(RunDisconnect(doc, op, MODELINGCOMMANDMODE_POLYGONSELECTION, false, true));
  EXPECT_EQ(op->GetPointCount(), 7);
  EXPECT_EQ(doc->GetUndoCount(), 0) << "a refusal records nothing";
  BaseObject* plane = BaseObject::Alloc(Oplane);
  ModelingCommandData md;
  md.op = plane;
  EXPECT_FALSE(SendModelingCommand(MCOMMAND_DISCONNECT, md));
  BaseObject::Free(plane);
}

// The plain reading of Disconnect: for each point, a scan of all polygons decides whether it is
// kept; each copy is made by a scan of the copies made so far (preserve) or anew.
struct Plain {
  std::vector<Vector> points;
  std::vector<CPolygon> polys;
  std::vector<PolygonObject::Ngon> ngons;
  std::vector<Int32> selected;
};
Plain PlainDisconnect(const PolygonObject* op, const std::vector<bool>& take, bool preserve) {
  const Int32 n = op->GetPolygonCount(), pc = op->GetPointCount();
  const CPolygon* polys = op->GetPolygonR();
  auto uses = [&](Int32 p, Int32 i) {
    for (Int32 k = 0; k < 4; ++k)
      if (polys[p][k] == i) return true;
    return false;
  };
  Plain r;
  std::vector<Int32> origin;  // new point -> original point
  std::vector<Int32> keptAs(static_cast<size_t>(pc), -1);
  for (Int32 i = 0; i < pc; ++i) {
    bool byTaken = false, byOther = false;
    for (Int32 p = 0; p < n; ++p)
      if (uses(p, i)) (take[static_cast<size_t>(p)] ? byTaken : byOther) = true;
    if (byTaken && !byOther) continue;
    keptAs[static_cast<size_t>(i)] = static_cast<Int32>(origin.size());
    origin.push_back(i);
  }
  const size_t kept = origin.size();
  std::vector<CPolygon> out(polys, polys + n);
  for (Int32 p = 0; p < n; ++p) {
    if (!take[static_cast<size_t>(p)]) {
      for (Int32 k = 0; k < 4; ++k)
        out[static_cast<size_t>(p)][k] = keptAs[static_cast<size_t>(polys[p][k])];
      continue;
    }
    const Int32 corners = polys[p].c == polys[p].d ? 3 : 4;
    for (Int32 k = 0; k < corners; ++k) {
      Int32 found = -1;
      if (preserve)
        for (size_t j = kept; j < origin.size() && found < 0; ++j)
          if (origin[j] == polys[p][k]) found = static_cast<Int32>(j);
      if (found < 0) {
        found = static_cast<Int32>(origin.size());
        origin.push_back(polys[p][k]);
      }
      out[static_cast<size_t>(p)][k] = found;
    }
    if (corners == 3) out[static_cast<size_t>(p)].d = out[static_cast<size_t>(p)].c;
  }
  for (Int32 i : origin) r.points.push_back(op->GetPointR()[i]);
  for (size_t j = 0; j < origin.size(); ++j)
    if (op->GetPointS()->IsSelected(origin[j])) r.selected.push_back(static_cast<Int32>(j));
  r.polys = out;
  r.ngons = op->GetNgons();
  for (PolygonObject::Ngon& g : r.ngons) {
    std::vector<Int32> outline;
    for (Int32 i : g.outline) {
      Int32 to = -1;
      for (Int32 p : g.polygons) {
        for (Int32 k = 0; k < 4 && to < 0; ++k)
          if (polys[p][k] == i) to = out[static_cast<size_t>(p)][k];
        if (to >= 0) break;
      }
      if (to < 0) to = keptAs[static_cast<size_t>(i)];
      if (to >= 0) outline.push_back(to);
    }
    g.outline = outline;
  }
  return r;
}

TEST(DisconnectIndex, GivesWhatThePlainScansGiveOnRandomMeshes) {
  std::mt19937 rng(16);
  auto pick = [&](Int32 lo, Int32 hi) { return std::uniform_int_distribution<Int32>(lo, hi)(rng); };
  for (int round = 0; round < 200; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const Int32 pc = pick(3, 30), n = pick(1, 25);
    PolygonObject* op = PolygonObject::Alloc(pc, n);
    for (Int32 i = 0; i < pc; ++i) op->GetPointW()[i] = Vector(i, pick(0, 5), 0);
    // Points shared at random, triangles among quads, some points used by nothing.
    for (Int32 p = 0; p < n; ++p) {
      CPolygon c(pick(0, pc - 1), pick(0, pc - 1), pick(0, pc - 1), pick(0, pc - 1));
      if (pick(0, 2) == 0) c.d = c.c;
      op->GetPolygonW()[p] = c;
    }
    // N-gons of consecutive polygons, outlines from their points (and a point of none of them).
    std::vector<PolygonObject::Ngon> ngons;
    for (Int32 p = 0; p + 2 < n; p += pick(3, 6)) {
      if (pick(0, 1)) continue;
      PolygonObject::Ngon g;
      g.polygons = {p + 1, p};
      g.outline = {op->GetPolygonR()[p].a, op->GetPolygonR()[p + 1].b, op->GetPolygonR()[p].c,
                   pick(0, pc - 1)};
      ngons.push_back(g);
    }
    ASSERT_TRUE(op->SetNgons(ngons));
    for (Int32 i = 0; i < pc; ++i)
      if (pick(0, 2) == 0) op->GetPointS()->Select(i);
    std::vector<bool> take(static_cast<size_t>(n));
    const bool all = pick(0, 3) == 0, preserve = pick(0, 1) == 1;
    for (Int32 p = 0; p < n; ++p) {
      take[static_cast<size_t>(p)] = all || pick(0, 1) == 1;
      if (!all && take[static_cast<size_t>(p)]) op->GetPolygonS()->Select(p);
    }
    // A selection beyond the polygons is no polygon.
    op->GetPolygonS()->Select(n + 3);
    const Plain want = PlainDisconnect(op, take, preserve);
    BaseContainer bc;
    bc.SetBool(MDATA_DISCONNECT_PRESERVEGROUPS, preserve);
    ModelingCommandData md;
    md.op = op;
    md.bc = &bc;
    md.mode = all ? MODELINGCOMMANDMODE_ALL : MODELINGCOMMANDMODE_POLYGONSELECTION;
    ASSERT_TRUE(SendModelingCommand(MCOMMAND_DISCONNECT, md));
    EXPECT_EQ(Points(op), want.points);
    EXPECT_EQ(Polys(op), want.polys);
    EXPECT_EQ(op->GetNgons(), want.ngons);
    EXPECT_EQ(Indices(op->GetPointS()), want.selected);
    PolygonObject* o = op;
    delete o;
  }
}

}  // namespace
