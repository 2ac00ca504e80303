// UV edge stitch and UV polygon connect through the dialog, with hand-computed results.
#include <cmath>
#include <limits>

#include "UVEdgeTools.h"
#include "c4d_general.h"
#include "c4d_symbols.h"
#include "uv_scene.h"

namespace {

struct EdgeToolsTest : UVScene {
  // A new active object on its own points and polygons, with one UV record per polygon.
  void Mesh(Int32 points, const std::vector<CPolygon>& polys, const std::vector<UVWStruct>& uvs,
            Int32 mode) {
    const auto n = static_cast<Int32>(polys.size());
    op = PolygonObject::Alloc(points, n);
    tag = static_cast<UVWTag*>(op->MakeTag(Tuvw));
    for (Int32 i = 0; i < n; ++i) {
      op->GetPolygonW()[i] = polys[static_cast<size_t>(i)];
      tag->SetSlow(i, uvs[static_cast<size_t>(i)]);
    }
    doc->InsertObject(op, nullptr, nullptr);
    doc->SetActiveObject(op);
    doc->SetMode(mode);
    Choose(IDC_TABS, IDC_TAB_FUNCTION2);
  }
  void SelectPolygons(std::initializer_list<Int32> ids) {
    op->GetPolygonS()->DeselectAll();
    for (Int32 i : ids) op->GetPolygonS()->Select(i);
  }
  void SelectEdges(std::initializer_list<Int32> ids) {
    op->GetEdgeS()->DeselectAll();
    for (Int32 i : ids) op->GetEdgeS()->Select(i);
  }
  void Stitch(Int32 combo) {
    dlg.SetInt32(IDC_EDGE_STITCH_MODE, combo);
    Click(IDC_EDGE_STITCH);
  }
  // Points 0 (0,0), 1 (1,0), 2 (2,0), 3 (0,1), 4 (1,1), 5 (2,1): quad p = 0 runs 1 to 4 on its
  // side b-c (edge 1), quad q = 1 runs 4 to 1 on its side d-a, as consistent neighbours do.
  void TwoQuads(const UVWStruct& q, Int32 mode = Medges) {
    Mesh(6, {CPolygon(0, 1, 4, 3), CPolygon(1, 2, 5, 4)}, {Quad(0, 0, 0.5), q}, mode);
  }
  // Three quads in a row over points 0-3 (bottom) and 4-7 (top); quad i's side b-c is shared
  // with quad i + 1's side d-a. UVs: quad i a unit square at u = 2i.
  void Row() {
    Mesh(8, {CPolygon(0, 1, 5, 4), CPolygon(1, 2, 6, 5), CPolygon(2, 3, 7, 6)},
         {Quad(0, 0, 1), Quad(2, 0, 1), Quad(4, 0, 1)}, Medges);
  }
  Int32 Questions() const {
    Int32 n = 0;
    for (const auto& m : host.Messages()) n += m.text == "UV Revers ?";
    return n;
  }
};

void ExpectNear(const UVWStruct& got, const UVWStruct& want, const char* what) {
  for (Int32 k = 0; k < 4; ++k)
    EXPECT_NEAR((got[k] - want[k]).GetLength(), 0.0, 1e-12) << what << " corner " << k;
}

bool AllFinite(const std::vector<UVWStruct>& uvs) {
  for (const UVWStruct& s : uvs)
    for (Int32 k = 0; k < 4; ++k)
      if (!s[k].IsFinite()) return false;
  return true;
}

// --- edge stitch ---

TEST_F(EdgeToolsTest, PointModeGivesTheNeighboursCornersExactlyTheEdgesUVs) {
  // q's a sits on point 1 and its d on point 4; both are torn off p's b (0.5, 0), c (0.5, 0.5).
  const UVWStruct q(V(0.7, 0.1, 0.2), V(1, 0), V(1, 0.5), V(0.6, 0.4));
  TwoQuads(q);
  SelectPolygons({0});
  SelectEdges({1});
  const Int32 undo = doc->GetUndoCount();
  Stitch(0);
  EXPECT_EQ(UV(0), Quad(0, 0, 0.5)) << "p never changes";
  EXPECT_EQ(UV(1), UVWStruct(V(0.5, 0), V(1, 0), V(1, 0.5), V(0.5, 0.5))) << "w comes along";
  EXPECT_EQ(doc->GetUndoCount(), undo + 1);
  EXPECT_TRUE(host.Redraws().empty()) << "the stitch asks for no immediate redraw";

  // Any combo value other than 1 is "Point".
  ASSERT_TRUE(doc->DoUndo());
  EXPECT_EQ(UV(1), q) << "undo gives back every bit";
  Stitch(2);
  EXPECT_EQ(UV(1), UVWStruct(V(0.5, 0), V(1, 0), V(1, 0.5), V(0.5, 0.5)));
}

TEST_F(EdgeToolsTest, PolygonModeScalesAndTurnsTheNeighbourOntoTheEdge) {
  // p's edge runs from P1 = (0.5, 0) to P2 = (0.5, 0.5). Each q below is the natural neighbour
  // a (0.5, 0), b (1, 0), c (1, 0.5), d (0.5, 0.5) after some turn, scale and shift.
  const UVWStruct natural(V(0.5, 0), V(1, 0), V(1, 0.5), V(0.5, 0.5));
  struct Case {
    const char* what;
    UVWStruct q, want;
  } cases[] = {
      // Half as long, not turned: scaled by 2 about a (on point 1), which lands on P1.
      {"half as long", Quad(1, 0, 0.25), natural},
      // q's edge a-d runs along +u: turned by 90 degrees counter-clockwise.
      {"90 degrees", UVWStruct(V(1, 0), V(1, -0.5), V(1.5, -0.5), V(1.5, 0)), natural},
      // q's edge runs along -v: turned by 180 degrees.
      {"180 degrees", UVWStruct(V(3, 3), V(2.5, 3), V(2.5, 2.5), V(3, 2.5)), natural},
      // q's edge runs along -u: turned by 90 degrees clockwise, and a third as long.
      {"-90 degrees", UVWStruct(V(2, 2), V(2, 2 + 1.0 / 6), V(2 - 1.0 / 6, 2 + 1.0 / 6),
                                V(2 - 1.0 / 6, 2)),
       natural},
      // w: shifted by P1.w - Q1.w = -0.3 and not scaled (b's 0.5 becomes 0.2).
      {"w", UVWStruct(V(1, 0, 0.3), V(1.25, 0, 0.5), V(1.25, 0.25, 0.3), V(1, 0.25, 0.3)),
       UVWStruct(V(0.5, 0), V(1, 0, 0.2), V(1, 0.5), V(0.5, 0.5))},
  };
  for (const Case& c : cases) {
    TwoQuads(c.q);
    SelectPolygons({0});
    SelectEdges({1});
    Stitch(1);
    ExpectNear(UV(1), c.want, c.what);
    EXPECT_EQ(UV(0), Quad(0, 0, 0.5)) << c.what;
  }
}

TEST_F(EdgeToolsTest, PolygonModeTakesLengthAndAngleOverAllThreeComponents) {
  // F = Q2 - Q1 = (0, 0.3, 0.4): |F| = 0.5 = |E|, so k = 1 (not 0.5 / 0.3). The angle between
  // (0, 1, 0) and (0, 0.6, 0.8) is acos 0.6, sign + (F.y E.x - F.x E.y = 0); MatrixRotZ(t) takes
  // F to (0.3 sin t, 0.3 cos t, 0.4) = (0.24, 0.18, 0.4), plus P1 (0.5, 0, 0).
  TwoQuads(UVWStruct(V(1, 0), V(1.5, 0), V(1.5, 0.3, 0.4), V(1, 0.3, 0.4)));
  SelectPolygons({0});
  SelectEdges({1});
  Stitch(1);
  EXPECT_NEAR(UV(1).d.x, 0.74, 1e-12);
  EXPECT_NEAR(UV(1).d.y, 0.18, 1e-12);
  EXPECT_NEAR(UV(1).d.z, 0.4, 1e-12);
  EXPECT_EQ(UV(1).a, V(0.5, 0));
}

TEST_F(EdgeToolsTest, OnlyTheSelectedPolygonsEdgesStitchAndTheNeighbourMoves) {
  const UVWStruct q(V(0.7, 0.1), V(1, 0), V(1, 0.5), V(0.6, 0.4));
  TwoQuads(q);
  SelectPolygons({1});
  SelectEdges({1, 0});  // p's edges, p unselected
  const Int32 undo = doc->GetUndoCount();
  Stitch(0);
  EXPECT_EQ(UV(1), q);
  EXPECT_EQ(doc->GetUndoCount(), undo);

  // q's own side d-a (edge 7) with q selected: now p moves onto q.
  SelectEdges({7});
  Stitch(0);
  EXPECT_EQ(UV(1), q);
  EXPECT_EQ(UV(0), UVWStruct(V(0, 0), V(0.7, 0.1), V(0.6, 0.4), V(0, 0.5)));
}

TEST_F(EdgeToolsTest, BorderEdgesAreSkippedAndTheOthersStillStitch) {
  TwoQuads(UVWStruct(V(0.7, 0.1), V(1, 0), V(1, 0.5), V(0.6, 0.4)));
  SelectPolygons({0, 1});
  SelectEdges({0, 1, 2, 3, 4, 5, 6});  // all but q's shared side
  Stitch(1);
  // Only edge 1 has a neighbour; F = (-0.1, 0.3), E = (0, 0.5), so q turns and scales.
  EXPECT_EQ(UV(1).a, V(0.5, 0));
  EXPECT_NEAR((UV(1).d - V(0.5, 0.5)).GetLength(), 0.0, 1e-12);
  EXPECT_EQ(UV(0), Quad(0, 0, 0.5));
}

TEST_F(EdgeToolsTest, TrianglesStitchOnTheirSideCToAAndKeepTheirSpareD) {
  // Triangle p (0, 1, 2): its side 2 and side 3 are both c to a, points 2 to 0. Quad q
  // (2, 3, 4, 0) carries them as d-a: its a on point 2, its d on point 0.
  const UVWStruct q(V(-0.1, 1.1), V(-1, 1), V(-1, 0), V(-0.2, 0.1));
  for (Int32 edge : {2, 3}) {
    Mesh(5, {CPolygon(0, 1, 2), CPolygon(2, 3, 4, 0)}, {Tri(V(0, 0), V(1, 0), V(0, 1)), q},
         Medges);
    SelectPolygons({0});
    SelectEdges({edge});
    Stitch(0);
    EXPECT_EQ(UV(1), UVWStruct(V(0, 1), V(-1, 1), V(-1, 0), V(0, 0))) << "edge " << edge;
    EXPECT_EQ(UV(0).d, kTriD);
  }
  // A triangle as q, on quad p's side b-c: its c-a runs 4 to 1. Scaled by 2, d stays.
  for (Int32 combo : {0, 1}) {
    Mesh(6, {CPolygon(0, 1, 4, 3), CPolygon(1, 2, 4)},
         {Quad(0, 0, 0.5), Tri(V(1, 0), V(1.5, 0.25), V(1, 0.25))}, Medges);
    SelectPolygons({0});
    SelectEdges({1});
    Stitch(combo);
    const UVWStruct want = combo ? Tri(V(0.5, 0), V(1.5, 0.5), V(0.5, 0.5))
                                 : Tri(V(0.5, 0), V(1.5, 0.25), V(0.5, 0.5));
    ExpectNear(UV(1), want, combo ? "polygon" : "point");
    EXPECT_EQ(UV(1).d, kTriD);
  }
}

TEST_F(EdgeToolsTest, EdgesRunInAscendingOrderAndEachSeesTheEarlierStitches) {
  // Edge 1 (quad 0 to quad 1) runs before edge 5 (quad 1 to quad 2), whatever the order of
  // selecting. "Polygon": quad 1 moves by -1 in u onto u = 1; quad 2 then follows quad 1's new
  // side b-c at u = 2, so it moves by -2. The other order would leave quad 2 at u = 3.
  Row();
  SelectPolygons({0, 1, 2});
  SelectEdges({5, 1});
  const std::vector<UVWStruct> before = All();
  const Int32 undo = doc->GetUndoCount();
  Stitch(1);
  ExpectNear(UV(1), Quad(1, 0, 1), "quad 1");
  ExpectNear(UV(2), Quad(2, 0, 1), "quad 2");
  EXPECT_EQ(doc->GetUndoCount(), undo + 1) << "one step for the whole run";
  ASSERT_TRUE(doc->DoUndo());
  EXPECT_EQ(All(), before);

  // "Point": quad 1's a and d go to (1, 0) and (1, 1), then quad 2's a and d to quad 1's
  // unmoved b and c at u = 3.
  Stitch(0);
  EXPECT_EQ(UV(1), UVWStruct(V(1, 0), V(3, 0), V(3, 1), V(1, 1)));
  EXPECT_EQ(UV(2), UVWStruct(V(3, 0), V(5, 0), V(5, 1), V(3, 1)));
}

TEST_F(EdgeToolsTest, StitchRefusalsChangeNothing) {
  const UVWStruct q(V(0.7, 0.1), V(1, 0), V(1, 0.5), V(0.6, 0.4));
  struct Case {
    const char* what;
    Int32 mode;
    bool polygons, edges;
  } cases[] = {{"UV polygon mode", Muvpolygons, true, true},
               {"points mode", Mpoints, true, true},
               {"no polygon", Medges, false, true},
               {"no edge", Medges, true, false}};
  for (const Case& c : cases) {
    TwoQuads(q, c.mode);
    if (c.polygons) SelectPolygons({0});
    if (c.edges) SelectEdges({1});
    const Int32 undo = doc->GetUndoCount(), events = host.EventCount();
    Stitch(0);
    EXPECT_EQ(UV(1), q) << c.what;
    EXPECT_EQ(doc->GetUndoCount(), undo) << c.what;
    EXPECT_EQ(host.EventCount(), events) << c.what;
  }
}

TEST_F(EdgeToolsTest, ACollapsedNeighbourEdgeIsSkippedInPolygonMode) {
  // Quad 1's a and d coincide (|F| = 0): no scale exists, so quad 1 keeps its UVs; edge 5 still
  // moves quad 2 by -1 in u onto quad 1's side b-c at u = 3.
  Row();
  const UVWStruct collapsed(V(2, 0), V(3, 0), V(3, 1), V(2, 0));
  tag->SetSlow(1, collapsed);
  SelectPolygons({0, 1, 2});
  SelectEdges({1, 5});
  Stitch(1);
  EXPECT_EQ(UV(1), collapsed);
  ExpectNear(UV(2), Quad(3, 0, 1), "quad 2");
  EXPECT_TRUE(AllFinite(All()));
}

TEST_F(EdgeToolsTest, IndicesOutsideTheMeshAreSkipped) {
  // Edges 8 and up and polygons 2 and up do not exist; quad 1 names point 99, which the mesh
  // lacks, on its side b-c, so that side has no neighbour either.
  Mesh(6, {CPolygon(0, 1, 4, 3), CPolygon(1, 99, 5, 4)},
       {Quad(0, 0, 0.5), UVWStruct(V(0.7, 0.1), V(1, 0), V(1, 0.5), V(0.6, 0.4))}, Medges);
  op->GetPolygonS()->SelectAll(0, 40);
  op->GetEdgeS()->SelectAll(1, 1000);
  Stitch(1);
  // Edge 1 stitched quad 1 onto quad 0; edge 7 (quad 1's d-a) then stitched quad 0 back onto
  // quad 1's new edge, which is quad 0's own: it stays within rounding.
  EXPECT_EQ(UV(1).a, V(0.5, 0));
  ExpectNear(UV(0), Quad(0, 0, 0.5), "quad 0");
  EXPECT_TRUE(AllFinite(All()));
}

TEST(StitchPolygonToEdge, RefusesCornersItCannotFind) {
  const CPolygon polys[] = {CPolygon(0, 1, 4, 3), CPolygon(1, 2, 5, 4), CPolygon(7, 8, 9)};
  UVWStruct uv[] = {Quad(0, 0, 1), Quad(2, 0, 1), Tri(V(0, 0), V(1, 0), V(0, 1))};
  const UVWStruct q = uv[1];
  EXPECT_FALSE(StitchPolygonToEdge(0, polys, 3, uv, 0, 1, 3, 1)) << "3 is not a corner of q";
  EXPECT_FALSE(StitchPolygonToEdge(0, polys, 3, uv, 0, 1, 2, 1)) << "2 is not a corner of p";
  EXPECT_FALSE(StitchPolygonToEdge(1, polys, 3, uv, 0, 9, 7, 2)) << "nor of p here";
  EXPECT_FALSE(StitchPolygonToEdge(0, polys, 3, uv, 0, 1, 4, 3)) << "no polygon 3";
  EXPECT_FALSE(StitchPolygonToEdge(0, polys, 3, uv, -1, 1, 4, 1));
  EXPECT_FALSE(StitchPolygonToEdge(0, nullptr, 3, uv, 0, 1, 4, 1));
  EXPECT_EQ(uv[1], q);
  // A non-finite UV on p is not copied onto q.
  uv[0].b = V(std::numeric_limits<Float>::infinity(), 0);
  EXPECT_FALSE(StitchPolygonToEdge(0, polys, 3, uv, 0, 1, 4, 1));
  EXPECT_FALSE(StitchPolygonToEdge(1, polys, 3, uv, 0, 1, 4, 1));
  EXPECT_EQ(uv[1], q);
  uv[0].b = V(1, 0);
  EXPECT_TRUE(StitchPolygonToEdge(0, polys, 3, uv, 0, 1, 4, 1));
  EXPECT_EQ(uv[1], UVWStruct(V(1, 0), V(3, 0), V(3, 1), V(1, 1)));
}

// --- polygon connect ---

// Six quads on points of their own: quad 0 the unit square at the origin, quad 5 a square of
// side 0.5 at (3, 3), the others small squares out of the way (quad 4 at (4, 3)).
struct ConnectTest : EdgeToolsTest {
  void Six(const UVWStruct& q5 = Quad(3, 3, 0.5), const UVWStruct& q0 = Quad(0, 0, 1)) {
    Scene({q0, Quad(6, 0, 0.1), Quad(7, 0, 0.1), Quad(8, 0, 0.1), Quad(4, 3, 0.5), q5}, Muvpoints);
    Choose(IDC_TABS, IDC_TAB_FUNCTION2);
  }
  void Connect(GEMB_R answer) {
    host.QueueAnswer(answer);
    Click(IDC_CONNECT);
  }
};

TEST_F(ConnectTest, ScalesTheSelectedPolygonsByTwoAboutE2OntoTheEdge) {
  // e0, e1 = quad 0's b (1, 0) and c (1, 1); e2, e3 = quad 5's a (3, 3) and d (3, 3.5). k = 2,
  // no turn: X -> 2 (X - (3, 3)) + (1, 0).
  Six();
  SelectPolygons({4, 5});
  Points({1, 2, 20, 23});
  const Int32 undo = doc->GetUndoCount();
  Connect(GEMB_R_NO);
  ExpectNear(UV(5), Quad(1, 0, 1), "quad 5");
  ExpectNear(UV(4), Quad(3, 0, 1), "quad 4");
  EXPECT_EQ(UV(0), Quad(0, 0, 1));
  EXPECT_EQ(Questions(), 1);
  EXPECT_EQ(host.Messages().back().text, "UV Revers ?");
  EXPECT_EQ(host.Redraws(), std::vector<Int32>{1282});
  EXPECT_EQ(doc->GetUndoCount(), undo + 1);
  EXPECT_EQ(dlg.GetTimer(), 0);
  EXPECT_TRUE(dlg.State<ConnectState>().reverseData.empty()) << "the tick freed the state";
  host.RunTimers();
  EXPECT_EQ(Questions(), 1) << "one question per connect";
}

TEST_F(ConnectTest, YesSwapsTheEndsAsASecondUndoStep) {
  Six();
  SelectPolygons({5});
  Points({1, 2, 20, 23});
  const std::vector<UVWStruct> original = All();
  Connect(GEMB_R_NO);
  const std::vector<UVWStruct> direct = All();
  ASSERT_TRUE(doc->DoUndo());
  ASSERT_EQ(All(), original);

  const Int32 undo = doc->GetUndoCount();
  Connect(GEMB_R_YES);
  // e3 (quad 5's d) lands on e0 (1, 0) and e2 (its a) on e1 (1, 1): turned by 180 degrees and
  // scaled by 2 about d.
  ExpectNear(UV(5), UVWStruct(V(1, 1), V(0, 1), V(0, 0), V(1, 0)), "reversed");
  EXPECT_EQ(Questions(), 2);
  EXPECT_EQ(doc->GetUndoCount(), undo + 2);
  ASSERT_TRUE(doc->DoUndo());
  EXPECT_EQ(All(), direct) << "one undo gives the direct placement bit for bit";
  ASSERT_TRUE(doc->DoUndo());
  EXPECT_EQ(All(), original);
}

TEST_F(ConnectTest, BothCarriersSelectedSwapThePairsAndBothMove) {
  // Quad 0 is selected, so quad 5's a, d become e0, e1 and quad 0's b, c e2, e3: k = 0.5,
  // X -> 0.5 (X - (1, 0)) + (3, 3).
  Six();
  SelectPolygons({0, 5});
  Points({1, 2, 20, 23});
  Connect(GEMB_R_NO);
  ExpectNear(UV(0), Quad(2.5, 3, 0.5), "quad 0");
  ExpectNear(UV(5), Quad(4, 4.5, 0.25), "quad 5");
}

TEST_F(ConnectTest, TurnsEitherWayAndShiftsW) {
  struct Case {
    const char* what;
    UVWStruct q5;
    std::initializer_list<Int32> points;
    UVWStruct want;
  } cases[] = {
      // e2 a -> e3 b runs along +u: turned counter-clockwise onto +v.
      {"counter-clockwise", Quad(3, 3, 0.5), {1, 2, 20, 21},
       UVWStruct(V(1, 0), V(1, 1), V(0, 1), V(0, 0))},
      // e2 a -> e3 b runs along -u: turned clockwise onto +v.
      {"clockwise", UVWStruct(V(3.5, 3), V(3, 3), V(3, 3.5), V(3.5, 3.5)), {1, 2, 20, 21},
       UVWStruct(V(1, 0), V(1, 1), V(2, 1), V(2, 0))},
      // e2 a -> e3 d runs along -v: turned by 180 degrees.
      {"half a turn", UVWStruct(V(3, 3.5), V(3.5, 3.5), V(3.5, 3), V(3, 3)), {1, 2, 20, 23},
       UVWStruct(V(1, 0), V(0, 0), V(0, 1), V(1, 1))},
      // w: e0.w - e2.w = 0 - 0.25 shifts every corner; c's 0.5 becomes 0.25, unscaled.
      {"w", UVWStruct(V(3, 3, 0.25), V(3.5, 3, 0.25), V(3.5, 3.5, 0.5), V(3, 3.5, 0.25)),
       {1, 2, 20, 23}, UVWStruct(V(1, 0), V(2, 0), V(2, 1, 0.25), V(1, 1))},
  };
  for (const Case& c : cases) {
    Six(c.q5);
    SelectPolygons({5});
    Points(c.points);
    Connect(GEMB_R_NO);
    ExpectNear(UV(5), c.want, c.what);
  }
}

TEST_F(ConnectTest, SelectionsThatGiveNoTwoEdgesDoNothingAndAskNothing) {
  struct Case {
    const char* what;
    std::initializer_list<Int32> points;
    UVWStruct q5, q0 = Quad(0, 0, 1);
  } cases[] = {
      {"one point on each polygon", {1, 20}, Quad(3, 3, 0.5)},
      {"three and one", {0, 1, 2, 20}, Quad(3, 3, 0.5)},
      {"two on each of three polygons", {0, 1, 8, 9, 20, 21}, Quad(3, 3, 0.5)},
      {"four on one polygon", {20, 21, 22, 23}, Quad(3, 3, 0.5)},
      {"e2 on e3", {1, 2, 20, 23}, UVWStruct(V(3, 3), V(3.5, 3), V(3.5, 3.5), V(3, 3))},
      // |E1| overflows to infinity, |E2| = 1e-10: no placement is finite.
      {"no finite scale", {1, 2, 20, 23},
       UVWStruct(V(3, 3), V(3.5, 3), V(3.5, 3.5), V(3, 3 + 1e-10)), Quad(0, 0, 1e300)},
  };
  for (const Case& c : cases) {
    Six(c.q5, c.q0);
    SelectPolygons({5});
    Points(c.points);
    const std::vector<UVWStruct> before = All();
    const Int32 undo = doc->GetUndoCount(), events = host.EventCount();
    const size_t messages = host.Messages().size(), redraws = host.Redraws().size();
    Click(IDC_CONNECT);
    EXPECT_EQ(All(), before) << c.what;
    EXPECT_EQ(host.Messages().size(), messages) << c.what;
    EXPECT_EQ(host.Redraws().size(), redraws) << c.what;
    EXPECT_EQ(doc->GetUndoCount(), undo) << c.what;
    EXPECT_EQ(host.EventCount(), events) << c.what;
    EXPECT_EQ(dlg.GetTimer(), 0) << c.what;
  }
}

TEST_F(ConnectTest, PointsAndPolygonsOutsideTheMeshAreSkipped) {
  Six();
  op->GetPolygonS()->SelectAll(5, 30);
  Points({1, 2, 20, 23, 24, 25, 26, 200});
  Connect(GEMB_R_NO);
  ExpectNear(UV(5), Quad(1, 0, 1), "quad 5");
  EXPECT_EQ(Questions(), 1);
}

TEST_F(ConnectTest, ATickWithoutAConnectAsksNothingAndTheReversalNeedsOne) {
  Six();
  SelectPolygons({5});
  dlg.SetTimer(10);
  host.RunTimers();
  EXPECT_TRUE(host.Messages().empty());
  EXPECT_EQ(dlg.GetTimer(), 0);

  ToolDialog tools(dlg);
  const std::vector<UVWStruct> before = All();
  EXPECT_FALSE(ConnectUVPolygonsReversed(tools, dlg.State<ConnectState>()));
  EXPECT_EQ(All(), before);
}

TEST_F(ConnectTest, ARefusedConnectDropsTheStateOfTheLastOne) {
  Six();
  SelectPolygons({5});
  Points({1, 2, 20, 23});
  ToolDialog tools(dlg);
  ConnectState& state = dlg.State<ConnectState>();
  ASSERT_TRUE(ConnectUVPolygons(tools, state));
  EXPECT_EQ(state.reverseData.size(), 4u);
  EXPECT_EQ(dlg.GetTimer(), 10);
  Points({1, 20});
  EXPECT_FALSE(ConnectUVPolygons(tools, state));
  EXPECT_TRUE(state.reverseData.empty());
  host.QueueAnswer(GEMB_R_YES);
  host.RunTimers();
  EXPECT_EQ(Questions(), 0) << "no question after a refused connect";
  EXPECT_EQ(dlg.GetTimer(), 0);
}

}  // namespace
