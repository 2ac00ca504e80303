// Copy Shape through the dialog: four presses of the step button pick the source polygons, the
// source chain, the target polygons and the target chain; the last one copies the shape.
// UVs are multiples of 1/64, so every copied value is exact and written out by hand.
#include <cstring>
#include <limits>

#include "UVCopyShape.h"
#include "UVtoolsState.h"
#include "c4d_symbols.h"
#include "uv_scene.h"

namespace {

struct CopyShapeTest : UVScene {
  void SetUp() override {
    UVScene::SetUp();
    Choose(IDC_TABS, IDC_TAB_FUNCTION1);
  }
  CopyShapeState& Copy() { return dlg.State<CopyShapeState>(); }
  void SelectPolygons(std::initializer_list<Int32> ids) {
    op->GetPolygonS()->DeselectAll();
    for (Int32 i : ids) op->GetPolygonS()->Select(i);
  }
  String Hint() {
    String h;
    dlg.GetString(IDC_CS_HINT, h);
    return h;
  }
  // The indicators show step s, and the hint what to pick for it.
  void ExpectStep(UInt32 s) {
    EXPECT_EQ(Copy().step, s);
    for (UInt32 k = 0; k < 4; ++k)
      EXPECT_EQ(Enabled(static_cast<Int32>(IDC_CS_STEP1 + k)), k == s) << "indicator " << k;
    EXPECT_EQ(Hint(), s % 2 ? "  Select UV Points   " : "  Select UV Polygons ");
  }
  void PickPolygons(std::initializer_list<Int32> ids) {
    doc->SetMode(Muvpolygons);
    SelectPolygons(ids);
    Click(IDC_CS_STEP);
  }
  void PickPoints(std::initializer_list<Int32> ids) {
    Points(ids);
    Click(IDC_CS_STEP);
  }
  // All four picks: the source and target polygons and chains.
  void Run(std::initializer_list<Int32> sources, std::initializer_list<Int32> sourcePoints,
           std::initializer_list<Int32> targets, std::initializer_list<Int32> targetPoints) {
    PickPolygons(sources);
    PickPoints(sourcePoints);
    PickPolygons(targets);
    PickPoints(targetPoints);
  }
};

bool SameBits(const std::vector<UVWStruct>& a, const std::vector<UVWStruct>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof a[0]) == 0;
}

// Sources 0 and 1 along the chain (0.125, 0.125) - (0.25, 0.125) - (0.375, 0.125), box centre
// (0.25, 0.21875). Targets 2 and 3 along (-0.875, 0.5) - (-0.75, 0.5) - (-0.625, 0.5), box centre
// (-0.75, 0.5625); target 3 lists its corners from the top right, clockwise. The target chain
// starts at its right end (nearer the origin), so it runs the other way. Polygon 4 shares two
// corners of target 2.
std::vector<UVWStruct> CopyScene() {
  return {
      UVWStruct(V(0.125, 0.125), V(0.25, 0.125), V(0.25, 0.3125), V(0.0625, 0.25)),
      UVWStruct(V(0.25, 0.125), V(0.375, 0.125), V(0.4375, 0.25), V(0.25, 0.3125)),
      Quad(-0.875, 0.5, 0.125),
      UVWStruct(V(-0.625, 0.625), V(-0.75, 0.625), V(-0.75, 0.5), V(-0.625, 0.5)),
      Quad(-1.0, 0.5, 0.125),
  };
}
// Each target takes its source's corners slot by slot, moved by (-1, 0.34375): neither turned to
// the target's own corner order nor mirrored to the chain's direction.
const UVWStruct kSource0Moved(V(-0.875, 0.46875), V(-0.75, 0.46875), V(-0.75, 0.65625),
                              V(-0.9375, 0.59375));
const UVWStruct kSource1Moved(V(-0.75, 0.46875), V(-0.625, 0.46875), V(-0.5625, 0.59375),
                              V(-0.75, 0.65625));

TEST_F(CopyShapeTest, FourPressesCopyTheShapeByTheCentreOffset) {
  Scene(CopyScene(), Muvpolygons);
  const std::vector<UVWStruct> start = All();
  ExpectStep(0);
  PickPolygons({0, 1});
  ExpectStep(1);
  EXPECT_EQ(doc->GetMode(), Muvpoints);
  EXPECT_EQ(Copy().sourceCentre, V(0.25, 0.21875));
  PickPoints({0, 1, 5});
  ExpectStep(2);
  EXPECT_EQ(doc->GetMode(), Muvpolygons);
  PickPolygons({2, 3});
  ExpectStep(3);
  EXPECT_EQ(Copy().targetCentre, V(-0.75, 0.5625));
  const Int32 undo = doc->GetUndoCount();
  PickPoints({8, 9, 15});
  ExpectStep(0);
  EXPECT_EQ(doc->GetMode(), Muvpolygons);

  EXPECT_EQ(UV(3), kSource0Moved) << "the first segment: the chain's right end";
  EXPECT_EQ(UV(2), kSource1Moved);
  EXPECT_EQ(UV(0), start[0]);
  EXPECT_EQ(UV(1), start[1]);

  EXPECT_EQ(doc->GetUndoCount(), undo + 1);
  const std::vector<UVWStruct> copied = All();
  ASSERT_TRUE(doc->DoUndo());
  EXPECT_TRUE(SameBits(All(), start));
  ASSERT_TRUE(doc->DoRedo());
  EXPECT_TRUE(SameBits(All(), copied));
}

TEST_F(CopyShapeTest, FailedSecondStepStartsOverAtOnce) {
  Scene(CopyScene(), Muvpolygons);
  PickPolygons({0, 1});
  doc->SetMode(Muvpolygons);  // the point pick needs UV point mode
  PickPoints({0, 1});
  ExpectStep(0);
  EXPECT_EQ(Copy().sourcePolygons.size(), 2u) << "a refused pick clears nothing";
}

// Polygon 4 shares target 2's a and d exactly; with 10026 on its corners follow them.
TEST_F(CopyShapeTest, NeighboursFollowOnlyWithTheCheckBox) {
  for (bool on : {false, true}) {
    SCOPED_TRACE(on);
    Scene(CopyScene(), Muvpolygons);
    Tick(IDC_CS_NEIGHBORS, on);
    Run({0, 1}, {0, 1, 5}, {2, 3}, {8, 9, 15});
    ASSERT_EQ(UV(2), kSource1Moved);
    const UVWStruct n = UV(4);
    if (on) {
      EXPECT_EQ(n, UVWStruct(V(-1, 0.5), kSource1Moved.a, kSource1Moved.d, V(-1, 0.625)));
    } else {
      EXPECT_EQ(n, Quad(-1.0, 0.5, 0.125));
    }
  }
}

// The target chain has one segment: only the first source segment is copied.
TEST_F(CopyShapeTest, ChainsOfDifferentLengthsUseTheShorter) {
  Scene(CopyScene(), Muvpolygons);
  const std::vector<UVWStruct> start = All();
  Run({0, 1}, {0, 1, 5}, {2, 3}, {9, 15});
  EXPECT_EQ(UV(3), kSource0Moved);
  EXPECT_EQ(UV(2), start[2]);
}

// Source 5 lies below source 0, on the same chain segment. Two corners now lie on the chain's
// left end, so it starts at the right end: segment 0 pairs source 1 with target 3, and on
// segment 1 two sources face target 2: the first listed (0) takes it, 5 is used up unchanged.
TEST_F(CopyShapeTest, SourceWithoutFreeTargetIsUsedUp) {
  std::vector<UVWStruct> scene = CopyScene();
  scene.push_back(UVWStruct(V(0.125, 0.125), V(0.25, 0.125), V(0.25, 0), V(0.125, 0)));
  Scene(scene, Muvpolygons);
  Tick(IDC_CS_NEIGHBORS, false);
  Run({0, 1, 5}, {0, 1, 5}, {2, 3}, {8, 9, 15});
  // Source box v 0 .. 0.3125: centre (0.25, 0.15625); offset (-1, 0.40625).
  EXPECT_EQ(UV(3), UVWStruct(V(-0.75, 0.53125), V(-0.625, 0.53125), V(-0.5625, 0.65625),
                             V(-0.75, 0.71875)));
  EXPECT_EQ(UV(2), UVWStruct(V(-0.875, 0.53125), V(-0.75, 0.53125), V(-0.75, 0.71875),
                             V(-0.9375, 0.65625)));
}

TEST_F(CopyShapeTest, ClearDropsEveryPick) {
  Scene(CopyScene(), Muvpolygons);
  PickPolygons({0, 1});
  PickPoints({0, 1, 5});
  Click(IDC_CS_CLEAR);
  ExpectStep(0);
  EXPECT_TRUE(Copy().sourcePolygons.empty());
  EXPECT_TRUE(Copy().sourcePoints.empty());
  EXPECT_EQ(Copy().sourceCentre, Vector());

  // An empty polygon selection and a single point clear too.
  PickPolygons({0, 1});
  PickPoints({0, 1, 5});
  PickPolygons({});
  ExpectStep(0);
  EXPECT_TRUE(Copy().sourcePolygons.empty());
  EXPECT_TRUE(Copy().sourcePoints.empty());
  PickPolygons({0, 1});
  PickPoints({1});
  ExpectStep(0);
  EXPECT_TRUE(Copy().sourcePolygons.empty());
}

// --- faults that must change nothing ---

// A source corner at infinity: it has no place in the box (centre (0.28125, 0.21875), offset
// (-1.03125, 0.34375)), and its polygon's copy would not be finite, so target 3 keeps its UVs.
TEST_F(CopyShapeTest, NonFiniteSourceCornerIsNotCopied) {
  std::vector<UVWStruct> scene = CopyScene();
  scene[0].d = V(std::numeric_limits<Float>::infinity(), 0.25);
  Scene(scene, Muvpolygons);
  Run({0, 1}, {0, 1, 5}, {2, 3}, {8, 9, 15});
  EXPECT_EQ(UV(3), scene[3]);
  EXPECT_EQ(UV(2), UVWStruct(V(-0.78125, 0.46875), V(-0.65625, 0.46875), V(-0.59375, 0.59375),
                             V(-0.78125, 0.65625)));
}

// Source points that do not join the source polygons: no chain, no undo step, no change.
TEST_F(CopyShapeTest, ChainThatDoesNotJoinChangesNothing) {
  Scene(CopyScene(), Muvpolygons);
  const std::vector<UVWStruct> start = All();
  PickPolygons({0});
  PickPoints({0, 16});
  PickPolygons({2, 3});
  const Int32 undo = doc->GetUndoCount();
  PickPoints({8, 9, 15});
  ExpectStep(0);
  EXPECT_TRUE(SameBits(All(), start));
  EXPECT_EQ(doc->GetUndoCount(), undo);
}

// The last pick is made on another, smaller object: stored target 3 is past its polygon count,
// so it is neither read nor written; stored target 2 is this object's polygon 2.
TEST_F(CopyShapeTest, TargetPastThePolygonCountIsNotWritten) {
  Scene(CopyScene(), Muvpolygons);
  Tick(IDC_CS_NEIGHBORS, false);
  PickPolygons({0, 1});
  PickPoints({0, 1, 5});
  PickPolygons({2, 3});
  const std::vector<UVWStruct> smaller = {
      CopyScene()[0], CopyScene()[1],
      UVWStruct(V(-0.875, 0.5), V(-0.75, 0.5), V(-0.625, 0.5), V(-0.75, 0.375))};
  Scene(smaller, Muvpoints);
  PickPoints({8, 9, 10});
  EXPECT_EQ(UV(2), kSource1Moved);
  EXPECT_EQ(UV(0), smaller[0]);
  EXPECT_EQ(UV(1), smaller[1]);
}

}  // namespace
