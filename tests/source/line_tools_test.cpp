// Line projection, corner shift, the stitch capture and the stitch, through the UV tools dialog.
#include "UVLineTools.h"
#include "UVpA.h"
#include "c4d_symbols.h"
#include "uv_scene.h"

namespace {

struct LineTools : UVScene {
  AlignCapture& Line() { return dlg.State<AlignCapture>(); }
  StitchCapture& Stitch() { return dlg.State<StitchCapture>(); }
  void SetUp() override {
    UVScene::SetUp();
    Choose(IDC_TABS, IDC_TAB_FUNCTION2);
  }
  // Captures the line through the first two UV points of polygon 0, then selects ids.
  void LineThen(std::initializer_list<Int32> ids) {
    Points({0, 1});
    Click(IDC_ALIGN_CAPTURE);
    Points(ids);
  }
};

}  // namespace

TEST_F(LineTools, ProjectsAlongTheAxisOntoTheLine) {
  // A (0.1, 0.1), B (0.5, 0.3): v = 0.5 u + 0.05.
  const UVWStruct line(V(0.1, 0.1), V(0.5, 0.3), V(0.9, 0.2), V(0, 0.25, 0.7));
  Scene({line}, Muvpoints);
  LineThen({2, 3});
  const Int32 undo = doc->GetUndoCount();
  Click(IDC_PROJECT_U);
  // u = (v - 0.05) / 0.5: 0.3 for v 0.2, and 0.4 for v 0.25 from u = 0; w stays.
  ExpectUV(UV(0), UVWStruct(line.a, line.b, V(0.3, 0.2), V(0.4, 0.25, 0.7)), "along u");
  EXPECT_EQ(doc->GetUndoCount(), undo + 1);
  // The line is used up.
  EXPECT_EQ(Line().enabled, 0u);
  EXPECT_EQ(Line().line[0], Vector());
  EXPECT_EQ(C(IDC_ALIGN_CAPTURE).title, "Select UVpoints");
  EXPECT_FALSE(Enabled(IDC_PROJECT_U));
  ASSERT_TRUE(doc->DoUndo());
  EXPECT_EQ(UV(0), line);

  LineThen({2, 3});
  Click(IDC_PROJECT_V);
  // v = 0.5 u + 0.05: 0.5 for u 0.9, 0.05 for u 0.
  ExpectUV(UV(0), UVWStruct(line.a, line.b, V(0.9, 0.5), V(0, 0.05, 0.7)), "along v");
}

TEST_F(LineTools, AParallelLineStopsAtItsFirstPointAndStays) {
  const UVWStruct level(V(0.2, 0.5), V(0.8, 0.5), V(0.9, 0.2), V(0.3, 0.7));
  Scene({level}, Muvpoints);
  LineThen({2, 3});
  Click(IDC_PROJECT_U);  // a horizontal line meets no line along u
  EXPECT_EQ(UV(0), level);
  EXPECT_EQ(doc->GetUndoCount(), 0);
  EXPECT_EQ(C(IDC_ALIGN_CAPTURE).title, "Select:2");
  EXPECT_TRUE(Enabled(IDC_PROJECT_V)) << "the line stays";
  Click(IDC_PROJECT_V);
  ExpectUV(UV(0), UVWStruct(level.a, level.b, V(0.9, 0.5), V(0.3, 0.5)), "along v");
  EXPECT_EQ(Line().enabled, 0u);
}

TEST_F(LineTools, WithOnlyTheFirstPointNothingHappens) {
  // Both captured points at one place: A only.
  const UVWStruct uv(V(0.2, 0.2), V(0.2, 0.2), V(0.9, 0.2), V(0.3, 0.7));
  Scene({uv}, Muvpoints);
  LineThen({2, 3});
  ASSERT_TRUE(Enabled(IDC_PROJECT_U));
  Tick(IDC_ALIGN_DISTANCE, true);
  const Int32 events = host.EventCount();
  Click(IDC_PROJECT_U);
  EXPECT_EQ(UV(0), uv);
  EXPECT_EQ(doc->GetUndoCount(), 0);
  EXPECT_EQ(host.EventCount(), events);
}

TEST_F(LineTools, DistanceFixationLaysPointsOnTheRayFromA) {
  // A (0.1, 0.1), B (0.4, 0.5): direction (0.6, 0.8). (0.1, 0.6) and (0.1, 0.1, 0.5) lie 0.5
  // from A (the second in w only): both go to A + 0.5 (0.6, 0.8) = (0.4, 0.5) with A's w.
  Scene({UVWStruct(V(0.1, 0.1), V(0.4, 0.5), V(0.1, 0.6), V(-0.2, -0.2)),
         UVWStruct(V(0.1, 0.1, 0.5), V(0.5, 0.1), V(0.9, 0.9), V(0.8, 0.8))},
        Muvpoints);
  LineThen({2, 3, 4, 5});
  Tick(IDC_ALIGN_DISTANCE, true);
  Click(IDC_PROJECT_V);
  for (const Vector& p : {UV(0).c, UV(1).a}) EXPECT_NEAR((p - V(0.4, 0.5)).GetLength(), 0, 1e-12);
  // (-0.2, -0.2) lies behind A, sqrt(0.18) from it, and goes ahead on the ray; (0.5, 0.1) lies
  // 0.4 from A.
  const Float l = std::sqrt(0.18);
  EXPECT_NEAR((UV(0).d - V(0.1 + 0.6 * l, 0.1 + 0.8 * l)).GetLength(), 0, 1e-12);
  EXPECT_NEAR((UV(1).b - V(0.1 + 0.24, 0.1 + 0.32)).GetLength(), 0, 1e-12);
}

TEST_F(LineTools, CornerShiftLeftThenRightRestores) {
  const UVWStruct quad(V(0.1, 0.1), V(0.2, 0.1), V(0.2, 0.2), V(0.1, 0.2));
  const UVWStruct tri = Tri(V(0.5, 0.5), V(0.6, 0.5), V(0.5, 0.6));
  const UVWStruct other = Quad(0.7, 0.7, 0.1);
  Scene({quad, tri, other}, Muvpolygons, 2);
  Choose(IDC_TABS, IDC_TAB_FUNCTION1);
  Click(IDC_MOVE_POINT_LEFT);
  EXPECT_EQ(UV(0), UVWStruct(quad.b, quad.c, quad.d, quad.a));
  EXPECT_EQ(UV(1), UVWStruct(tri.b, tri.c, tri.a, kTriD)) << "the fourth slot keeps its value";
  EXPECT_EQ(UV(2), other);
  Click(IDC_MOVE_POINT_RIGHT);
  EXPECT_EQ(UV(0), quad);
  EXPECT_EQ(UV(1), tri);
  Click(IDC_MOVE_POINT_RIGHT);
  EXPECT_EQ(UV(0), UVWStruct(quad.d, quad.a, quad.b, quad.c));
  EXPECT_EQ(UV(1), UVWStruct(tri.c, tri.a, tri.b, kTriD));
  // Each shift is one undo step.
  EXPECT_EQ(doc->GetUndoCount(), 3);
  ASSERT_TRUE(doc->DoUndo());
  EXPECT_EQ(UV(0), quad);
}

TEST_F(LineTools, StitchCaptureCountsPlacesAndKeepsEveryPoint) {
  Scene({UVWStruct(V(0.5, 0.1), V(0.505, 0.1), V(0.5, 0.3), V(0.9, 0.9))}, Muvpoints);
  EXPECT_FALSE(Enabled(IDC_STITCH_U));
  Points({0, 1, 2});  // two of them within 0.01: two places, three points
  Click(IDC_STITCH_CAPTURE);
  EXPECT_EQ(C(IDC_STITCH_CAPTURE).title, "Select:3");
  EXPECT_EQ(Stitch().points.size(), 3u);
  EXPECT_EQ(Stitch().count, 3u);
  EXPECT_TRUE(Enabled(IDC_STITCH_CENTER_V));

  Points({3});  // one point: the capture and its text stay
  Click(IDC_STITCH_CAPTURE);
  EXPECT_EQ(C(IDC_STITCH_CAPTURE).title, "Select:3");
  EXPECT_EQ(Stitch().points.size(), 3u);

  Points({0, 1});  // two points at one place: no row, and the dialog says so
  Click(IDC_STITCH_CAPTURE);
  EXPECT_EQ(C(IDC_STITCH_CAPTURE).title, "Select UVpoints");
  EXPECT_TRUE(Stitch().points.empty());
  EXPECT_EQ(Stitch().enabled, 0u);
  EXPECT_FALSE(Enabled(IDC_STITCH_U));
}

// Captured row at u 0.5 (v 0.1, 0.2, 0.3, in shuffled corner order), current row at u 0.52.
struct Stitching : LineTools {
  const UVWStruct captured{V(0.5, 0.2), V(0.5, 0.1), V(0.5, 0.3), V(0.9, 0.9)};
  const UVWStruct current{V(0.52, 0.31), V(0.52, 0.11), V(0.52, 0.19), V(0.1, 0.9)};
  void Rows(std::vector<UVWStruct> more = {}) {
    std::vector<UVWStruct> uvs{captured, current};
    uvs.insert(uvs.end(), more.begin(), more.end());
    Scene(uvs, Muvpoints);
    Points({0, 1, 2});
    Click(IDC_STITCH_CAPTURE);
  }
};

TEST_F(Stitching, SideModePutsTheRowOnTheCapturedOne) {
  Rows();
  Points({4, 5, 6});
  Click(IDC_STITCH_U);
  // Paired bottom to top by v: 0.11 -> (0.5, 0.1), 0.19 -> (0.5, 0.2), 0.31 -> (0.5, 0.3).
  EXPECT_EQ(UV(1), UVWStruct(V(0.5, 0.3), V(0.5, 0.1), V(0.5, 0.2), current.d));
  EXPECT_EQ(UV(0), captured);
  // Afterwards the capture is gone.
  EXPECT_EQ(C(IDC_STITCH_CAPTURE).title, "Select UVpoints");
  EXPECT_TRUE(Stitch().points.empty());
  EXPECT_FALSE(Enabled(IDC_STITCH_U));
  ASSERT_TRUE(doc->DoUndo());
  EXPECT_EQ(UV(1), current);
}

TEST_F(Stitching, CentreModeMeetsHalfWay) {
  Rows();
  Points({4, 5, 6});
  Click(IDC_STITCH_CENTER_U);
  // Midpoints: u (0.5 + 0.52) / 2 = 0.51; v (0.1 + 0.11) / 2, (0.2 + 0.19) / 2, (0.3 + 0.31) / 2.
  const Vector m0 = V(0.51, 0.105), m1 = V(0.51, 0.195), m2 = V(0.51, 0.305);
  ExpectUV(UV(0), UVWStruct(m1, m0, m2, captured.d), "captured row");
  ExpectUV(UV(1), UVWStruct(m2, m0, m1, current.d), "current row");
}

TEST_F(Stitching, EqualCornersMoveTogetherAndExtraRunsStay) {
  // A second polygon repeats the bottom corner exactly and brings a fourth place at v 0.4.
  Rows({UVWStruct(V(0.52, 0.11), V(0.52, 0.4), V(0.7, 0.7), V(0.8, 0.8))});
  Points({4, 5, 6, 8, 9});
  Click(IDC_STITCH_U);
  EXPECT_EQ(UV(1), UVWStruct(V(0.5, 0.3), V(0.5, 0.1), V(0.5, 0.2), current.d));
  EXPECT_EQ(UV(2).a, V(0.5, 0.1)) << "one run with the other corner at its place";
  EXPECT_EQ(UV(2).b, V(0.52, 0.4)) << "beyond the captured row";
}

TEST_F(Stitching, WrongModeIsReportedAndChangesNothing) {
  Rows();
  Points({4, 5, 6});
  doc->SetMode(Muvpolygons);
  Click(IDC_STITCH_V);
  ASSERT_FALSE(host.Messages().empty());
  EXPECT_EQ(host.Messages().back().text, "Select UVpoint Mode");
  EXPECT_EQ(UV(1), current);
  EXPECT_EQ(doc->GetUndoCount(), 0);
  // The dialog frees the capture whatever the result, and its buttons go off with it.
  EXPECT_TRUE(Stitch().points.empty());
  EXPECT_FALSE(Enabled(IDC_STITCH_V));
  EXPECT_EQ(C(IDC_STITCH_CAPTURE).title, "Select UVpoints");
}

TEST_F(Stitching, VButtonsPairByU) {
  // Rows along u: captured at v 0.5 (u 0.1, 0.2), current at v 0.53 (u 0.21, 0.09).
  Scene({UVWStruct(V(0.1, 0.5), V(0.2, 0.5), V(0.9, 0.9), V(0.9, 0.1)),
         UVWStruct(V(0.21, 0.53), V(0.09, 0.53), V(0.7, 0.9), V(0.7, 0.1))},
        Muvpoints);
  Points({0, 1});
  Click(IDC_STITCH_CAPTURE);
  Points({4, 5});
  Click(IDC_STITCH_V);
  EXPECT_EQ(UV(1).a, V(0.2, 0.5));
  EXPECT_EQ(UV(1).b, V(0.1, 0.5));
}
