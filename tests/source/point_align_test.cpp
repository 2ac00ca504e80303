// The UV point align through the UV tools dialog: the capture, the three align buttons with
// distance fixation, UV Rate and Grid, and undo.
#include <cmath>

#include "UVpA.h"
#include "c4d_symbols.h"
#include "uv_scene.h"

namespace {

struct PointAlign : UVScene {
  AlignCapture& Capture() { return dlg.State<AlignCapture>(); }
  void SetUp() override {
    UVScene::SetUp();
    Choose(IDC_TABS, IDC_TAB_FUNCTION2);
  }
  // A mesh of the given points and polygons with one UV record per polygon, active, in UV
  // point mode.
  void Mesh(const std::vector<Vector>& points, const std::vector<CPolygon>& polys,
            const std::vector<UVWStruct>& uvs) {
    const Int32 n = static_cast<Int32>(polys.size());
    op = PolygonObject::Alloc(static_cast<Int32>(points.size()), n);
    for (size_t i = 0; i < points.size(); ++i) op->GetPointW()[i] = points[i];
    tag = static_cast<UVWTag*>(op->MakeTag(Tuvw));
    for (Int32 i = 0; i < n; ++i) {
      op->GetPolygonW()[i] = polys[static_cast<size_t>(i)];
      tag->SetSlow(i, uvs[static_cast<size_t>(i)]);
    }
    doc->InsertObject(op, nullptr, nullptr);
    doc->SetActiveObject(op);
    doc->SetMode(Muvpoints);
  }
};

// Two points at (0.2, 0.3) and (0.6, 0.5); their mean is (0.4, 0.4), each lies sqrt(0.05) from it.
const UVWStruct kTwo(V(0.2, 0.3), V(0.6, 0.5), V(0.9, 0.9), V(0.1, 0.9));
const Float kR = std::sqrt(0.05);

}  // namespace

TEST_F(PointAlign, ButtonsWithAndWithoutDistanceFixation) {
  struct Case {
    Int32 button;
    bool fixation;
    Vector a, b;
  } cases[] = {
      {IDC_ALIGN_U, false, V(0.2, 0.4), V(0.6, 0.4)},
      {IDC_ALIGN_U, true, V(0.4 - kR, 0.4), V(0.4 + kR, 0.4)},
      {IDC_ALIGN_V, false, V(0.4, 0.3), V(0.4, 0.5)},
      {IDC_ALIGN_V, true, V(0.4, 0.4 - kR), V(0.4, 0.4 + kR)},
      {IDC_ALIGN_UV, false, V(0.4, 0.4), V(0.4, 0.4)},
      {IDC_ALIGN_UV, true, V(0.2, 0.3), V(0.6, 0.5)},  // nothing moves
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.button) + (c.fixation ? " with fixation" : ""));
    Scene({kTwo}, Muvpoints);
    Points({0, 1});
    Tick(IDC_ALIGN_DISTANCE, c.fixation);
    const Int32 undo = doc->GetUndoCount();
    Click(c.button);
    ExpectUV(UV(0), UVWStruct(c.a, c.b, kTwo.c, kTwo.d), "aligned");
    EXPECT_EQ(doc->GetUndoCount(), undo + 1);
    ASSERT_TRUE(doc->DoUndo());
    EXPECT_EQ(UV(0), kTwo) << "undo restores the UVs";
  }
}

TEST_F(PointAlign, CaptureFixesTheCentreForTheNextPressOnly) {
  Scene({kTwo}, Muvpoints);
  Points({0, 1});
  EXPECT_FALSE(Enabled(IDC_PROJECT_U));
  Click(IDC_ALIGN_CAPTURE);
  EXPECT_EQ(C(IDC_ALIGN_CAPTURE).title, "Select:2");
  EXPECT_EQ(Capture().centre, V(0.4, 0.4));
  EXPECT_EQ(Capture().line[0], kTwo.a);
  EXPECT_EQ(Capture().line[1], kTwo.b);
  EXPECT_TRUE(Enabled(IDC_PROJECT_U));
  EXPECT_TRUE(Enabled(IDC_PROJECT_V));

  // The other two corners (v 0.9 both) go to the captured v, not to their own.
  Points({2, 3});
  Click(IDC_ALIGN_U);
  ExpectUV(UV(0), UVWStruct(kTwo.a, kTwo.b, V(0.9, 0.4), V(0.1, 0.4)), "captured centre");
  EXPECT_EQ(C(IDC_ALIGN_CAPTURE).title, "Select UVpoints");
  EXPECT_EQ(Capture().enabled, 0u);
  EXPECT_EQ(Capture().centre, Vector());
  EXPECT_FALSE(Enabled(IDC_PROJECT_U));

  // Used up: the next press takes the mean of its own points, u (0.9 + 0.1) / 2.
  Click(IDC_ALIGN_V);
  ExpectUV(UV(0), UVWStruct(kTwo.a, kTwo.b, V(0.5, 0.4), V(0.5, 0.4)), "own mean");
}

TEST_F(PointAlign, AFailedPressStillUsesUpTheCapture) {
  Scene({kTwo}, Muvpoints);
  Points({0, 1});
  Click(IDC_ALIGN_CAPTURE);
  doc->SetMode(Muvpolygons);
  Click(IDC_ALIGN_UV);
  EXPECT_EQ(UV(0), kTwo);
  EXPECT_EQ(doc->GetUndoCount(), 0);
  EXPECT_EQ(Capture().enabled, 0u);
  EXPECT_EQ(C(IDC_ALIGN_CAPTURE).title, "Select UVpoints");
  EXPECT_FALSE(Enabled(IDC_PROJECT_V));
}

TEST_F(PointAlign, ACentreAtTheOriginNeedsTwoPoints) {
  Scene({UVWStruct(V(0, 0), V(0.6, 0.5), V(0.9, 0.7), V(0.1, 0.9))}, Muvpoints);
  Points({0});
  Click(IDC_ALIGN_CAPTURE);  // the centre is (0, 0, 0)
  EXPECT_EQ(C(IDC_ALIGN_CAPTURE).title, "Select:1");
  Points({1});
  UVpointAlign align;
  EXPECT_FALSE(align.AlignPoints(Capture().centre, 2, Capture().enabled, false, false, false));
  EXPECT_EQ(UV(0).b, V(0.6, 0.5));
  EXPECT_EQ(Capture().enabled, 1u) << "a refusal keeps the capture";
  // With two points the captured centre is used: v 0.
  Points({1, 2});
  EXPECT_TRUE(align.AlignPoints(Capture().centre, 2, Capture().enabled, false, false, false));
  EXPECT_EQ(UV(0).b, V(0.6, 0));
  EXPECT_EQ(UV(0).c, V(0.9, 0));
  EXPECT_EQ(Capture().enabled, 0u);
}

TEST_F(PointAlign, CaptureOfOnePlaceLeavesNoLineOfAnOlderCapture) {
  Scene({UVWStruct(V(0.2, 0.2), V(0.205, 0.2), V(0.6, 0.6), V(0.1, 0.9))}, Muvpoints);
  Points({0, 2});
  Click(IDC_ALIGN_CAPTURE);
  EXPECT_EQ(Capture().line[1], V(0.6, 0.6));
  // 0.005 apart: one place, so A only.
  Points({0, 1});
  Click(IDC_ALIGN_CAPTURE);
  EXPECT_EQ(Capture().line[0], V(0.2, 0.2));
  EXPECT_EQ(Capture().line[1], Vector());
  EXPECT_NEAR(Capture().centre.x, 0.2025, 1e-15);
}

// Three points in a row, joined by 3D edges of length 1 (points 0-1) and 3 (points 1-2), over
// two quads; in UV they span 0.4 in u with the middle one in the middle.
struct UVRate : PointAlign {
  std::vector<Vector> points{Vector(0, 0, 0), Vector(1, 0, 0), Vector(4, 0, 0),
                             Vector(0, 1, 0), Vector(1, 1, 0), Vector(4, 1, 0)};
  std::vector<CPolygon> polys{CPolygon(0, 1, 4, 3), CPolygon(1, 2, 5, 4)};
  void Strip(Float u0, Float u1, Float u2) {
    Mesh(points, polys,
         {UVWStruct(V(u0, 0.2), V(u1, 0.25), V(u1, 0.5), V(u0, 0.5)),
          UVWStruct(V(u1, 0.25), V(u2, 0.3), V(u2, 0.5), V(u1, 0.5))});
    Points({0, 1, 4, 5});  // the bottom corners
    op->GetPointS()->SelectAll(0, 2);
    Tick(IDC_ALIGN_RATE, true);
  }
};

TEST_F(UVRate, SpacesByTheLengthsOfTheEdges) {
  // v: mean of 0.2, 0.25, 0.25, 0.3 = 0.25. The chain runs 0-1-2, lengths 1 and 3 of 4, over
  // 0.2 + 0.2 = 0.4 in UV: u 0.1, 0.1 + 0.4 / 4 = 0.2, 0.2 + 0.4 * 3 / 4 = 0.5.
  Strip(0.1, 0.3, 0.5);
  Click(IDC_ALIGN_U);
  ExpectUV(UV(0), UVWStruct(V(0.1, 0.25), V(0.2, 0.25), V(0.3, 0.5), V(0.1, 0.5)), "first");
  ExpectUV(UV(1), UVWStruct(V(0.2, 0.25), V(0.5, 0.25), V(0.5, 0.5), V(0.3, 0.5)), "second");
  EXPECT_EQ(op->GetEdgeS()->GetCount(), 0) << "the converted edges are not left selected";
  ASSERT_TRUE(doc->DoUndo());
  EXPECT_EQ(UV(1).a, V(0.3, 0.25));

  // Laid out the other way in u, the chain runs backwards: 0.5, 0.5 - 0.1, 0.4 - 0.3.
  Strip(0.5, 0.3, 0.1);
  Click(IDC_ALIGN_U);
  EXPECT_NEAR(UV(0).b.x, 0.4, 1e-12);
  EXPECT_NEAR(UV(1).b.x, 0.1, 1e-12);
  EXPECT_NEAR(UV(1).a.x, 0.4, 1e-12);
}

TEST_F(UVRate, ThePassThatCannotRunKeepsTheAlignment) {
  UVpointAlign align;
  UInt32 captured = 0;
  Vector centre;
  // Without selected points there are no edges; with all three at one place no length.
  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE(run ? "no length" : "no edges");
    if (run) points = std::vector<Vector>(6, Vector(2, 2, 2));
    Strip(0.1, 0.3, 0.5);
    if (!run) op->GetPointS()->DeselectAll();
    const UInt32 dirty = op->GetDirty(DIRTYFLAGS_DATA);
    centre = Vector();
    EXPECT_FALSE(align.AlignPoints(centre, 2, captured, true, false, true));
    ExpectUV(UV(0), UVWStruct(V(0.1, 0.25), V(0.3, 0.25), V(0.3, 0.5), V(0.1, 0.5)), "kept");
    ExpectUV(UV(1), UVWStruct(V(0.3, 0.25), V(0.5, 0.25), V(0.5, 0.5), V(0.3, 0.5)), "kept");
    EXPECT_NE(op->GetDirty(DIRTYFLAGS_DATA), dirty) << "the object hears of the alignment";
    EXPECT_EQ(doc->GetUndoCount(), 1);
    ASSERT_TRUE(doc->DoUndo());
    EXPECT_EQ(UV(1).b, V(0.5, 0.3));
  }
  // The UV button has no rate: it aligns and succeeds.
  Strip(0.1, 0.3, 0.5);
  centre = Vector();
  EXPECT_TRUE(align.AlignPoints(centre, 4, captured, false, false, true));
  EXPECT_NEAR((UV(1).b - V(0.3, 0.25)).GetLength(), 0.0, 1e-12);
}

// A strip of three quads above a sloppy bottom side; aligned along U with Grid, each quad in
// turn takes the u of the corners below it, so the strip's sides run straight along v.
TEST_F(PointAlign, GridSquaresTheStripAboveTheAlignedRow) {
  const Vector p00 = V(0.2, 0.11), p10 = V(0.6, 0.09), p01 = V(0.22, 0.3), p11 = V(0.57, 0.32),
               p02 = V(0.18, 0.5), p12 = V(0.63, 0.52), p03 = V(0.25, 0.7), p13 = V(0.55, 0.69);
  const UVWStruct apart(V(0.63, 0.5), V(0.9, 0.5), V(0.9, 0.8), V(0.64, 0.8));
  Scene({UVWStruct(p00, p10, p11, p01), UVWStruct(p01, p11, p12, p02),
         UVWStruct(p02, p12, p13, p03), apart},
        Muvpoints);
  Points({0, 1});
  Tick(IDC_ALIGN_GRID, true);
  Click(IDC_ALIGN_U);
  // The row goes to v 0.1 (the mean); the sides' far corners take u 0.2 and 0.6 quad by quad.
  ExpectUV(UV(0), UVWStruct(V(0.2, 0.1), V(0.6, 0.1), V(0.6, 0.32), V(0.2, 0.3)), "row");
  ExpectUV(UV(1), UVWStruct(V(0.2, 0.3), V(0.6, 0.32), V(0.6, 0.52), V(0.2, 0.5)), "second");
  ExpectUV(UV(2), UVWStruct(V(0.2, 0.5), V(0.6, 0.52), V(0.6, 0.69), V(0.2, 0.7)), "third");
  EXPECT_EQ(UV(3), apart) << "corners near but not on the strip's stay";
  ASSERT_TRUE(doc->DoUndo());
  EXPECT_EQ(UV(2).c, p13);
}

TEST_F(PointAlign, GridDoesNothingForTheUVButtonOrWithoutARow) {
  std::vector<UVWStruct> uvs{UVWStruct(V(0.2, 0.1), V(0.6, 0.1), V(0.57, 0.32), V(0.22, 0.3))};
  std::vector<UVPointRef> row{{0, 0}, {0, 1}};
  EXPECT_FALSE(StraightenGridUVs(uvs.data(), nullptr, 1, row, 2));
  const CPolygon quad(0, 1, 2, 3);
  EXPECT_FALSE(StraightenGridUVs(uvs.data(), &quad, 1, row, 4));
  EXPECT_FALSE(StraightenGridUVs(uvs.data(), &quad, 1, {}, 2));
  // One kept position: no side lies on the row.
  std::vector<UVPointRef> one{{0, 0}};
  EXPECT_TRUE(StraightenGridUVs(uvs.data(), &quad, 1, one, 2));
  EXPECT_EQ(uvs[0].c, V(0.57, 0.32));
  // Mode 3 crosses along v: the side a-d lies on a row of one u when both are selected.
  uvs[0] = UVWStruct(V(0.1, 0.2), V(0.3, 0.22), V(0.32, 0.63), V(0.1, 0.6));
  std::vector<UVPointRef> column{{0, 0}, {0, 3}};
  EXPECT_TRUE(StraightenGridUVs(uvs.data(), &quad, 1, column, 3));
  ExpectUV(uvs[0], UVWStruct(V(0.1, 0.2), V(0.3, 0.2), V(0.32, 0.6), V(0.1, 0.6)), "column");
}
