// UV Symmetry through the dialog: the first click picks the half that is right, the second takes
// the UV points of the symmetry line and mirrors the picked half onto the polygons across it.
// UVs are multiples of 1/64, so every mirrored value is exact and written out by hand.
#include <cstring>
#include <limits>

#include "UVCopyShape.h"
#include "UVtoolsState.h"
#include "c4d_symbols.h"
#include "uv_scene.h"

namespace {

struct SymmetryTest : UVScene {
  void SetUp() override {
    UVScene::SetUp();
    Choose(IDC_TABS, IDC_TAB_FUNCTION1);
  }
  SymmetryState& Sym() { return dlg.State<SymmetryState>(); }
  CopyShapeState& Copy() { return dlg.State<CopyShapeState>(); }
  void SelectPolygons(std::initializer_list<Int32> ids) {
    op->GetPolygonS()->DeselectAll();
    for (Int32 i : ids) op->GetPolygonS()->Select(i);
  }
  // The first click on these polygons, in UV polygon mode.
  void Pick(std::initializer_list<Int32> polygons) {
    doc->SetMode(Muvpolygons);
    SelectPolygons(polygons);
    Click(IDC_SYMMETRY_PICK);
    ASSERT_EQ(Sym().armed, 1u);
    ASSERT_EQ(doc->GetMode(), Muvpoints);
  }
  // The second click with these UV points selected.
  void Mirror(std::initializer_list<Int32> points, bool keep = false) {
    Tick(IDC_SYMMETRY_KEEP, keep);
    Points(points);
    Click(IDC_SYMMETRY_PICK);
  }
  std::string Label() { return C(IDC_SYMMETRY_PICK).title; }
};

bool SameBits(const std::vector<UVWStruct>& a, const std::vector<UVWStruct>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof a[0]) == 0;
}

constexpr Float W = 0.25;

// Two stored quads left of u = 0.5 and two torn ones right of it, their far corners at w 0.75.
// Mirroring across u = 0.5 maps (u, v, w) to (1 - u, v, w).
std::vector<UVWStruct> VerticalScene() {
  return {
      {V(0.25, 0.125, W), V(0.5, 0.125, W), V(0.5, 0.375, W), V(0.1875, 0.3125, W)},
      {V(0.25, 0.375, W), V(0.5, 0.375, W), V(0.5, 0.625, W), V(0.3125, 0.625, W)},
      {V(0.5, 0.125, W), V(0.875, 0.0625, 0.75), V(0.8125, 0.4375, 0.75), V(0.5, 0.375, W)},
      {V(0.5, 0.375, W), V(0.9375, 0.375, 0.75), V(0.75, 0.6875, 0.75), V(0.5, 0.625, W)},
  };
}
// Polygon 2 after the mirror: a and d sit on the line; b is the image of polygon 0's a, which is
// next to its corner at the first end; c the image of its d.
const UVWStruct kMirrored2(V(0.5, 0.125, W), V(0.75, 0.125, W), V(0.8125, 0.3125, W),
                           V(0.5, 0.375, W));
const UVWStruct kMirrored3(V(0.5, 0.375, W), V(0.75, 0.375, W), V(0.6875, 0.625, W),
                           V(0.5, 0.625, W));

TEST_F(SymmetryTest, VerticalChainMirrorsEachFacingPolygonKeepingW) {
  Scene(VerticalScene(), Muvpolygons);
  const std::vector<UVWStruct> start = All();
  Pick({0, 1});
  EXPECT_EQ(Label(), "SetPoint 2 Symmetry");
  EXPECT_TRUE(op->GetPointS()->IsSelected(0) && op->GetPointS()->IsSelected(7))
      << "the picked polygons' points are the point selection";
  EXPECT_FALSE(op->GetPointS()->IsSelected(8));
  const Int32 undo = doc->GetUndoCount();

  Mirror({1, 2, 6});  // (0.5, 0.125), (0.5, 0.375), (0.5, 0.625)
  ExpectUV(UV(2), kMirrored2, "polygon 2");
  ExpectUV(UV(3), kMirrored3, "polygon 3");
  EXPECT_EQ(UV(0), start[0]);
  EXPECT_EQ(UV(1), start[1]);
  EXPECT_EQ(Sym().armed, 0u);
  EXPECT_EQ(Label(), "Select UV Poly");
  EXPECT_EQ(doc->GetMode(), Muvpolygons);
  EXPECT_EQ(Sym().polygons.size(), 2u) << "the picked polygons stay";

  // One undo step, which gives back every bit; redo gives the mirror again.
  EXPECT_EQ(doc->GetUndoCount(), undo + 1);
  const std::vector<UVWStruct> mirrored = All();
  ASSERT_TRUE(doc->DoUndo());
  EXPECT_TRUE(SameBits(All(), start));
  ASSERT_TRUE(doc->DoRedo());
  EXPECT_TRUE(SameBits(All(), mirrored));
}

// The line from (0.625, 0.125) to (0.125, 0.625) is u + v = 0.75; mirroring maps (u, v) to
// (0.75 - v, 0.75 - u). Both ends are as far from the origin, so the chain starts at the end
// selected first: the stored quad lists its corners once from each end.
TEST_F(SymmetryTest, LineFromLowerRightToUpperLeftFromEitherEnd) {
  const UVWStruct fromRight(V(0.625, 0.125), V(0.125, 0.625), V(0.0625, 0.3125), V(0.3125, 0.0625));
  const UVWStruct fromLeft(V(0.125, 0.625), V(0.625, 0.125), V(0.3125, 0.0625), V(0.0625, 0.3125));
  const UVWStruct torn(V(0.125, 0.625), V(0.625, 0.125), V(0.875, 0.875), V(0.5, 0.9375));
  // c is next to b = (0.625, 0.125), so it takes the image of the stored corner next to that
  // end, (0.3125, 0.0625) -> (0.6875, 0.4375); d likewise (0.0625, 0.3125) -> (0.4375, 0.6875).
  const UVWStruct want(V(0.125, 0.625), V(0.625, 0.125), V(0.6875, 0.4375), V(0.4375, 0.6875));
  for (const auto& [stored, first] :
       {std::pair(fromRight, V(0.625, 0.125)), std::pair(fromLeft, V(0.125, 0.625))}) {
    SCOPED_TRACE(first.x);
    Scene({stored, torn}, Muvpolygons);
    Pick({0});
    Mirror({0, 1});
    ASSERT_EQ(Sym().points.size(), 2u);
    EXPECT_EQ(Sym().points[0], first) << "the chain starts where it should";
    ExpectUV(UV(1), want, "mirrored");
  }
}

// The stored quads are listed middle, top, bottom and the line's points come from the stored
// and the torn polygons in scrambled order; the chain still runs bottom to top.
TEST_F(SymmetryTest, ChainSelectedInScrambledOrder) {
  auto left = [](Float v) { return Quad(0.25, v, 0.25); };
  auto torn = [](Float v) {
    return UVWStruct(V(0.5, v), V(0.9, v - 0.05), V(0.95, v + 0.27), V(0.5, v + 0.25));
  };
  Scene({left(0.375), torn(0.625), left(0.625), torn(0.125), left(0.125), torn(0.375)},
        Muvpolygons);
  Pick({0, 2, 4});
  Mirror({2, 10, 12, 20});  // (0.5, 0.625), (0.5, 0.875), (0.5, 0.125), (0.5, 0.375)
  ASSERT_EQ(Sym().points.size(), 4u);
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(Sym().points[i], V(0.5, 0.125 + 0.25 * i)) << i;
  for (auto [p, v] : {std::pair(1, 0.625), std::pair(3, 0.125), std::pair(5, 0.375)})
    ExpectUV(UV(p), Quad(0.5, v, 0.25), "mirrored square");
}

// One distinct point, or two 0.009 apart: nothing is mirrored, the second click can be made
// again and the stored polygons are still there for it.
TEST_F(SymmetryTest, TooFewDistinctPointsChangeNothingAndKeepThePick) {
  std::vector<UVWStruct> scene = VerticalScene();
  scene.push_back(Quad(0.509, 0.125, 0.125, W));  // its a is 0.009 from (0.5, 0.125)
  Scene(scene, Muvpolygons);
  const std::vector<UVWStruct> start = All();
  Pick({0, 1});
  Copy().sourcePolygons.resize(1);
  for (auto points : {std::initializer_list<Int32>{1}, std::initializer_list<Int32>{1, 16}}) {
    const Int32 undo = doc->GetUndoCount();
    Mirror(points);
    EXPECT_TRUE(SameBits(All(), start));
    EXPECT_EQ(doc->GetUndoCount(), undo);
    EXPECT_EQ(Sym().armed, 1u);
    EXPECT_EQ(Sym().polygons.size(), 2u);
    EXPECT_EQ(doc->GetMode(), Muvpoints);
    EXPECT_EQ(Label(), "SetPoint 2 Symmetry");
  }
  EXPECT_TRUE(Copy().sourcePolygons.empty()) << "too few points clear the copy-shape picks";
  Mirror({1, 2, 6});
  ExpectUV(UV(2), kMirrored2, "retry");
  EXPECT_EQ(Sym().armed, 0u);
}

// A selected point at exactly the origin is no chain point; one 0.0078 from it still is, though
// the origin point comes first.
TEST_F(SymmetryTest, PointAtTheOriginIsIgnoredButItsNeighbourIsNot) {
  const Float u = 0.0078125;
  Scene({UVWStruct(V(0, 0), V(-0.75, -0.75), V(-0.75, -0.5), V(-0.5, -0.75)),
         UVWStruct(V(-0.25, 0), V(u, 0), V(u, 0.25), V(-0.25, 0.25)),
         UVWStruct(V(u, 0), V(0.3, 0.02), V(0.3, 0.3), V(u, 0.25))},
        Muvpolygons);
  Pick({1});
  Mirror({0, 5, 6});
  ASSERT_EQ(Sym().points.size(), 2u);
  EXPECT_EQ(Sym().points[0], V(u, 0));
  // Across u = 1/128: u -> 1/64 - u.
  ExpectUV(UV(2), UVWStruct(V(u, 0), V(0.265625, 0), V(0.265625, 0.25), V(u, 0.25)), "mirrored");
}

// Stored polygons on both sides of the line, or none across it: the run completes (one undo
// step, the dialog disarmed) and no UV changes.
TEST_F(SymmetryTest, NoFreePartnerChangesNoUV) {
  for (bool bothSides : {true, false}) {
    SCOPED_TRACE(bothSides);
    std::vector<UVWStruct> scene = VerticalScene();
    if (!bothSides) scene.resize(2);
    Scene(scene, Muvpolygons);
    const std::vector<UVWStruct> start = All();
    Pick(bothSides ? std::initializer_list<Int32>{0, 1, 2, 3} : std::initializer_list<Int32>{0});
    const Int32 undo = doc->GetUndoCount();
    Mirror({1, 2}, true);
    EXPECT_TRUE(SameBits(All(), start));
    EXPECT_EQ(Sym().armed, 0u);
    EXPECT_EQ(doc->GetUndoCount(), undo + 1);
  }
}

// The chain ends at a corner that a stored and an unstored polygon only touch: neither has an
// edge on the chain, so both keep their UVs.
TEST_F(SymmetryTest, PolygonsTouchingTheChainEndOnlyAtACornerKeepTheirUVs) {
  Scene(VerticalScene(), Muvpolygons);
  const std::vector<UVWStruct> start = All();
  Pick({0, 1});
  Mirror({1, 2});
  ExpectUV(UV(2), kMirrored2, "faces polygon 0");
  EXPECT_EQ(UV(1), start[1]);
  EXPECT_EQ(UV(3), start[3]);
}

// Triangles along u + v = 1, their c on the chain's ends: mirroring maps (u, v) to (1 - v, 1 - u).
// The middle point is selected first and is the shortest, but two corners lie on it: the chain
// starts at an end (a triangle's c counts once) and never takes its start again through the
// triangle's d, so both halves are mirrored.
TEST_F(SymmetryTest, TrianglePairsFromAChainEndOnTriangleCorners) {
  const Vector A = V(0.875, 0.125), M = V(0.5, 0.5), B = V(0.125, 0.875);
  Scene({Tri(V(0.625, 0.25), M, A), Tri(V(0.25, 0.625), M, B), Tri(A, M, V(0.9, 0.9)),
         Tri(M, B, V(0.95, 0.95))},
        Muvpolygons);
  Pick({0, 1});
  Mirror({1, 2, 6});  // M, A, B
  ASSERT_EQ(Sym().points.size(), 3u);
  EXPECT_EQ(Sym().points[0], A);
  // A triangle's d slot is no corner: it keeps what it held.
  ExpectUV(UV(2), UVWStruct(A, M, V(0.75, 0.375), kTriD), "first half");
  ExpectUV(UV(3), UVWStruct(M, B, V(0.375, 0.75), kTriD), "second half");
}

// Keep Face Neighbors: a corner exactly on a moved corner follows it, one 0.005 away stays, and
// a corner moved onto a later entry's old place moves on with that entry.
TEST_F(SymmetryTest, KeepFaceNeighbors) {
  const Vector X = V(0.8125, 0.4375), Y = V(0.75, 0.375), Z = V(0.8125, 0.375);
  const std::vector<UVWStruct> scene = {
      Quad(0.25, 0.125, 0.25),
      UVWStruct(V(0.1875, 0.375), V(0.5, 0.375), V(0.5, 0.625), V(0.25, 0.625)),
      // Across segment 0: c goes from X to Y, the image of (0.25, 0.375).
      UVWStruct(V(0.5, 0.125), V(0.8125, 0.125), X, V(0.5, 0.375)),
      // Across segment 1: b goes from Y to Z, the image of (0.1875, 0.375).
      UVWStruct(V(0.5, 0.375), Y, V(0.875, 0.625), V(0.5, 0.625)),
      // Neighbours: a on polygon 2's old b, d on X; and one 0.005 off X.
      UVWStruct(V(0.8125, 0.125), V(1, 0.125), V(1, 0.4375), X),
      UVWStruct(V(0.8175, 0.4375), V(1, 0.5), V(1, 0.75), V(0.875, 0.75)),
  };
  for (bool keep : {false, true}) {
    SCOPED_TRACE(keep);
    Scene(scene, Muvpolygons);
    Pick({0, 1});
    Mirror({1, 2, 6}, keep);
    ExpectUV(UV(2), UVWStruct(V(0.5, 0.125), V(0.75, 0.125), Y, V(0.5, 0.375)), "segment 0");
    ExpectUV(UV(3), UVWStruct(V(0.5, 0.375), Z, V(0.75, 0.625), V(0.5, 0.625)), "segment 1");
    if (keep)
      EXPECT_EQ(UV(4), UVWStruct(V(0.75, 0.125), V(1, 0.125), V(1, 0.4375), Z));
    else
      EXPECT_EQ(UV(4), scene[4]);
    EXPECT_EQ(UV(5), scene[5]);
  }
}

TEST_F(SymmetryTest, ResetDropsThePickAndWrongModeDoesNothing) {
  Scene(VerticalScene(), Muvpoints);
  SelectPolygons({0});
  Click(IDC_SYMMETRY_PICK);
  EXPECT_EQ(Sym().armed, 0u) << "a first click needs UV polygon mode";
  EXPECT_TRUE(Sym().polygons.empty());
  EXPECT_EQ(doc->GetMode(), Muvpoints);
  EXPECT_EQ(op->GetPointS()->GetCount(), 0) << "no selection conversion";

  Pick({0});
  Click(IDC_SYMMETRY_RESET);
  EXPECT_EQ(Sym().armed, 0u);
  EXPECT_TRUE(Sym().polygons.empty());
  EXPECT_EQ(Label(), "Select UV Poly");
  // The next click picks again rather than mirroring.
  Pick({1});
  ASSERT_EQ(Sym().polygons.size(), 1u);
  EXPECT_EQ(Sym().polygons[0].index, 1);
}

// --- faults that must change nothing, or only what is sound ---

// Selected points that join no stored polygon's edge: the chain has one point, nothing changes,
// and the click can be made again.
TEST_F(SymmetryTest, PointsThatDoNotJoinChangeNothing) {
  std::vector<UVWStruct> scene = VerticalScene();
  scene.push_back(Quad(0.875, 0.875, 0.0625));
  Scene(scene, Muvpolygons);
  const std::vector<UVWStruct> start = All();
  Pick({0});
  const Int32 undo = doc->GetUndoCount();
  const UInt32 dirty = op->GetDirty(DIRTYFLAGS_DATA);
  Mirror({1, 16});
  EXPECT_TRUE(SameBits(All(), start));
  EXPECT_EQ(doc->GetUndoCount(), undo);
  EXPECT_EQ(op->GetDirty(DIRTYFLAGS_DATA), dirty);
  EXPECT_EQ(Sym().armed, 1u);
  EXPECT_EQ(doc->GetMode(), Muvpoints);
  Mirror({1, 2});
  ExpectUV(UV(2), kMirrored2, "retry");
}

// From B, polygon 1 has A (0.005 off) and C next to B's corner. A, last in the point list, is in
// the chain already, so C comes next rather than A a second time.
TEST(ChainOrder, NeverTakesAPointTwice) {
  const Vector A = V(0.125, 0.125), B = V(0.375, 0.125), C = V(0.625, 0.125);
  std::vector<CapturedPolygon> polygons(2);
  polygons[0].uv[0] = A;
  polygons[0].uv[1] = B;
  polygons[0].uv[2] = V(0.375, 0.375);
  polygons[0].uv[3] = V(0.125, 0.375);
  polygons[1].uv[0] = A + V(0.005, 0);
  polygons[1].uv[1] = B;
  polygons[1].uv[2] = C;
  polygons[1].uv[3] = V(0.5, 0.375);
  const std::vector<Vector> points = {C, B, A};
  EXPECT_EQ(OrderChain(points, polygons), (std::vector<Vector>{A, B, C}));
}

// A stored corner that is no number has no image: the polygon across from it keeps its UVs,
// the other one is mirrored, and no corner becomes a non-finite number.
TEST_F(SymmetryTest, NonFiniteStoredCornerWritesNoNonFiniteUV) {
  std::vector<UVWStruct> scene = VerticalScene();
  scene[0].d = V(std::numeric_limits<Float>::quiet_NaN(), 0.3125, W);
  Scene(scene, Muvpolygons);
  Pick({0, 1});
  Mirror({1, 2, 6}, true);
  EXPECT_EQ(Sym().armed, 0u);
  EXPECT_EQ(UV(2), scene[2]);
  ExpectUV(UV(3), kMirrored3, "polygon 3");
}

// Polygon 2 is left unwritten, so it is no mirrored polygon: with Keep Face Neighbors its c,
// exactly on polygon 3's old b, follows that corner to its image (0.75, 0.375, W).
TEST_F(SymmetryTest, PolygonLeftUnwrittenFollowsAMovedCornerWithKeep) {
  std::vector<UVWStruct> scene = VerticalScene();
  scene[0].d = V(std::numeric_limits<Float>::quiet_NaN(), 0.3125, W);
  scene[2].c = scene[3].b;
  for (bool keep : {false, true}) {
    SCOPED_TRACE(keep);
    Scene(scene, Muvpolygons);
    Pick({0, 1});
    Mirror({1, 2, 6}, keep);
    ExpectUV(UV(3), kMirrored3, "polygon 3");
    UVWStruct want = scene[2];
    if (keep) want.c = V(0.75, 0.375, W);
    EXPECT_EQ(UV(2), want);
  }
}

// Two chain points that differ only in w give no line to mirror across.
TEST_F(SymmetryTest, ChainAlongWAloneChangesNothing) {
  Scene({UVWStruct(V(0.25, 0.125), V(0.5, 0.125), V(0.5, 0.125, 0.5), V(0.25, 0.375)),
         UVWStruct(V(0.5, 0.125), V(0.75, 0.125), V(0.75, 0.375), V(0.5, 0.125, 0.5))},
        Muvpolygons);
  const std::vector<UVWStruct> start = All();
  Pick({0});
  const Int32 undo = doc->GetUndoCount();
  Mirror({1, 2});
  EXPECT_TRUE(SameBits(All(), start));
  EXPECT_EQ(doc->GetUndoCount(), undo);
  EXPECT_EQ(Sym().armed, 1u);
}

// Polygon indices past the count in the selection are no polygons; stored polygons past the
// count of the object as it is at the second click are neither flagged nor read.
TEST_F(SymmetryTest, IndicesPastThePolygonCount) {
  Scene(VerticalScene(), Muvpolygons);
  SelectPolygons({9});
  Click(IDC_SYMMETRY_PICK);
  EXPECT_EQ(Sym().armed, 0u) << "no polygon in range is an empty selection";
  Pick({0, 3, 7});
  ASSERT_EQ(Sym().polygons.size(), 2u);
  EXPECT_EQ(Sym().polygons[1].index, 3);

  // The object loses polygon 3 between the clicks. Its stored copy is still a source: polygon 1,
  // across the second segment from it, takes its image; polygon 2 takes polygon 0's.
  op->ResizeObject(op->GetPointCount(), 3);
  tag->Resize(3);
  Mirror({1, 2, 6, 40});
  ExpectUV(UV(2), kMirrored2, "in range");
  ExpectUV(
      UV(1),
      UVWStruct(V(0.0625, 0.375, 0.75), V(0.5, 0.375, W), V(0.5, 0.625, W), V(0.25, 0.6875, 0.75)),
      "from the stored copy");
}

// A symmetry click resets the copy-shape step; the indicators show it at once.
TEST_F(SymmetryTest, SymmetryClicksRefreshTheCopyShapeIndicators) {
  Scene(VerticalScene(), Muvpoints);
  Copy().step = 2;
  dlg.Refresh();
  ASSERT_TRUE(Enabled(IDC_CS_STEP3));
  Click(IDC_SYMMETRY_PICK);  // fails: wrong mode
  EXPECT_EQ(Copy().step, 0u);
  EXPECT_TRUE(Enabled(IDC_CS_STEP1));
  EXPECT_FALSE(Enabled(IDC_CS_STEP3));

  // Without an active object the second click ends before its point pick: the step stays.
  Sym().armed = 1;
  Copy().step = 2;
  doc->SetActiveObject(nullptr);
  Click(IDC_SYMMETRY_PICK);
  EXPECT_EQ(Copy().step, 2u);
  EXPECT_TRUE(Enabled(IDC_CS_STEP3));
  EXPECT_EQ(Sym().armed, 1u);
}

}  // namespace
