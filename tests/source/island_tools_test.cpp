// The island tools and their readouts in a real document, mostly driven through the UV tools
// dialog as a user would: scale, fit, rotate, move, the two-point angle, the mean readout and the
// live forms.
#include <cmath>

#include "UVIslandTools.h"
#include "uv_scene.h"

struct IslandTools : UVScene {
  TransformState& T() { return dlg.State<TransformState>(); }
};

TEST_F(IslandTools, ScaleGrowsEachIslandAboutItsOwnCentre) {
  Scene({Quad(0.1, 0.1, 0.1), Quad(0.6, 0.6, 0.1), Quad(0.2, 0.6, 0.1)}, Muvpolygons, 2);
  Choose(10071, 10074);
  Type(10062, "2");
  Type(10063, "2");
  Click(10065);
  ExpectUV(UV(0), Quad(0.05, 0.05, 0.2), "first island");
  ExpectUV(UV(1), Quad(0.55, 0.55, 0.2), "second island");
  EXPECT_EQ(UV(2), Quad(0.2, 0.6, 0.1)) << "unselected";
  // V switched off: only u doubles again, about u = 0.15.
  Tick(10060, false);
  Click(10065);
  ExpectUV(UV(0), UVWStruct(V(-0.05, 0.05), V(0.35, 0.05), V(0.35, 0.25), V(-0.05, 0.25)), "u");
}

TEST_F(IslandTools, KeepNeighboursScalesWithinToleranceRotatesOnExactPoints) {
  // The neighbour's a lies 0.005 from the island's b, its d exactly on the island's c.
  const UVWStruct neighbour(V(0.605, 0.4), V(0.8, 0.4), V(0.8, 0.6), Quad(0.4, 0.4, 0.2).c);
  Scene({Quad(0.4, 0.4, 0.2), neighbour}, Muvpolygons, 1);
  Choose(10071, 10074);
  Tick(10151, true);
  Type(10062, "2");
  Type(10063, "2");
  Click(10065);
  ExpectUV(UV(1), UVWStruct(V(0.7, 0.3), V(0.8, 0.4), V(0.8, 0.6), V(0.7, 0.7)), "scaled");

  // 90 degrees about (0.5, 0.5): (u, v) -> (v, 1 - u); only the exact point follows.
  Scene({Quad(0.4, 0.4, 0.2), neighbour}, Muvpolygons, 1);
  Tick(10152, true);
  Type(10050, "90");
  Click(10051);
  ExpectUV(UV(0), UVWStruct(V(0.4, 0.6), V(0.4, 0.4), V(0.6, 0.4), V(0.6, 0.6)), "island");
  ExpectUV(UV(1), UVWStruct(V(0.605, 0.4), V(0.8, 0.4), V(0.8, 0.6), V(0.6, 0.4)), "rotated");
}

TEST_F(IslandTools, KeepCarriesANeighbourOnceAndLeavesTheIslandToItsTransform) {
  // Four quads in a row, u 0 .. 1, halved in u about u = 0.5, so u 0 -> 0.25 and 0.25 -> 0.375.
  // The old places 0.25 and 0.5 are new places too: a corner must not be carried on from there.
  Scene({UVWStruct(V(-0.25, 0), V(0, 0), V(0, 0.25), V(-0.25, 0.25)), Quad(0, 0, 0.25),
         Quad(0.25, 0, 0.25), Quad(0.5, 0, 0.25), Quad(0.75, 0, 0.25)},
        Muvpolygons);
  for (Int32 i : {1, 2, 3, 4}) op->GetPolygonS()->Select(i);
  EXPECT_TRUE(ScaleIslands(0.5, 7.0, true, false, true));
  ExpectUV(UV(0), UVWStruct(V(-0.25, 0), V(0.25, 0), V(0.25, 0.25), V(-0.25, 0.25)), "neighbour");
  ExpectUV(UV(1), UVWStruct(V(0.25, 0), V(0.375, 0), V(0.375, 0.25), V(0.25, 0.25)), "first");
  ExpectUV(UV(4), UVWStruct(V(0.625, 0), V(0.75, 0), V(0.75, 0.25), V(0.625, 0.25)), "last");
}

TEST_F(IslandTools, RotateAboutTheDistinctSelectedUVPoints) {
  Scene({Quad(0.1, 0.2, 0.1), Quad(0.2, 0.2, 0.1), Quad(0.6, 0.6, 0.1)}, Muvpolygons, 3);
  // (0.2, 0.2) twice and (0.6, 0.6): pivot (0.4, 0.4); 90 degrees maps (u, v) to (v, 0.8 - u).
  Points({1, 4, 8});
  Choose(10071, 10074);
  Type(10050, "90");
  Click(10051);
  ExpectUV(UV(0), UVWStruct(V(0.2, 0.7), V(0.2, 0.6), V(0.3, 0.6), V(0.3, 0.7)), "left");
  ExpectUV(UV(2), UVWStruct(V(0.6, 0.2), V(0.6, 0.1), V(0.7, 0.1), V(0.7, 0.2)), "right");
}

TEST_F(IslandTools, TwoPointAngle) {
  Scene({Quad(0.2, 0.2, 0.2), UVWStruct(V(0.4, 0.4), V(0.6, 0.2), V(0.1, 0.5), V(0.3, 0.6))},
        Muvpoints, 1);
  Choose(10071, 10074);
  Points({0, 2, 4});  // (0.2, 0.2), (0.4, 0.4) and (0.4, 0.4) again
  Click(10053);
  EXPECT_NEAR(F(10050), PI / 4, 1e-12);
  Points({4, 5});  // (0.4, 0.4) to (0.6, 0.2) falls
  Click(10053);
  EXPECT_NEAR(F(10050), -PI / 4, 1e-12);
  // (0.1, 0.5) to (0.3, 0.6) rises by atan(1/2); the positions' cross product
  // 0.1 * 0.6 - 0.5 * 0.3 is negative, so the angle reads negative.
  Points({6, 7});
  Click(10053);
  EXPECT_NEAR(F(10050), -0.4636476090008061, 1e-12);
  // Against V, ordered by v: (0.2, 0.2) to (0.4, 0.4) is pi/4 off V; the cross product is 0.
  Choose(10216, 10218);
  Points({0, 2});
  Click(10053);
  EXPECT_NEAR(F(10050), PI / 4, 1e-12);

  Points({0, 1, 2});  // three distinct points
  Click(10053);
  EXPECT_NEAR(F(10050), PI / 4, 1e-12);
}

TEST_F(IslandTools, MeanOfTheSelectedPoints) {
  Scene({UVWStruct(V(0.2, 0.4), V(0.2, 0.4), V(0.5, 0.1), V(0.9, 0.9))}, Muvpoints);
  Choose(10071, 10073);
  Click(10224);
  EXPECT_EQ(F(10171), 1.0) << "nothing selected";
  Points({4});  // no polygon 1: nothing valid selected
  Click(10224);
  EXPECT_EQ(F(10171), 1.0);
  Points({0, 1, 2, 3});  // repeated positions count: u 1.8 / 4, v 1.8 / 4
  Click(10224);
  EXPECT_NEAR(F(10171), 0.45, 1e-12);
  EXPECT_NEAR(F(10173), 0.45, 1e-12);
  Points({0, 1, 2});  // u 0.9 / 3, v 0.9 / 3 ... and u differs from v below
  tag->SetSlow(0, UVWStruct(V(0.2, 0.4), V(0.2, 0.4), V(0.5, 0.7), V(0.9, 0.9)));
  Click(10224);
  EXPECT_NEAR(F(10171), 0.3, 1e-12);
  EXPECT_NEAR(F(10173), 0.5, 1e-12);
}

TEST_F(IslandTools, FitSkipsFlatIslandsAndIgnoresATrianglesSpareCorner) {
  Scene({UVWStruct(V(0.1, 0.1), V(0.2, 0.1), V(0.2, 0.3), V(0.1, 0.3)),
         UVWStruct(V(0.7, 0.5), V(0.7, 0.5), V(0.7, 0.6), V(0.7, 0.6)),
         Tri(V(0.5, 0.8), V(0.6, 0.8), V(0.5, 0.9))},
        Muvpolygons, 3);
  EXPECT_TRUE(FitIslandsToSize(0.2, 0.2, false));
  // 0.1 x 0.2 about (0.15, 0.2): factors 2 and 1.
  ExpectUV(UV(0), UVWStruct(V(0.05, 0.1), V(0.25, 0.1), V(0.25, 0.3), V(0.05, 0.3)), "fitted");
  EXPECT_EQ(UV(1), UVWStruct(V(0.7, 0.5), V(0.7, 0.5), V(0.7, 0.6), V(0.7, 0.6))) << "flat";
  // Triangle 0.1 x 0.1 about (1.6/3, 2.5/3): factor 2.
  const Float cu = 1.6 / 3, cv = 2.5 / 3;
  ExpectUV(UV(2),
           UVWStruct(V(2 * 0.5 - cu, 2 * 0.8 - cv), V(2 * 0.6 - cu, 2 * 0.8 - cv),
                     V(2 * 0.5 - cu, 2 * 0.9 - cv), V(10 - cu, 10 - cv)),
           "triangle");
}

TEST_F(IslandTools, MoveCentresTheIslandsAndCarriesExactNeighbours) {
  Scene({Quad(0.1, 0.1, 0.1, 0.2),
         UVWStruct(V(0.3, 0.2), V(0.4, 0.3), V(0.5, 0.4), V(0.2, 0.2, 0.2))},
        Muvpolygons, 1);
  Choose(10071, 10073);
  Choose(10226, 10219);
  Type(10176, "50");
  Tick(10172, false);
  Tick(10215, true);
  Click(10178);
  // Centre (0.15, 0.15, 0.2) to u = 0.5; w goes to 0.
  ExpectUV(UV(0), UVWStruct(V(0.45, 0.1), V(0.55, 0.1), V(0.55, 0.2), V(0.45, 0.2)), "moved");
  ExpectUV(UV(1), UVWStruct(V(0.3, 0.2), V(0.4, 0.3), V(0.5, 0.4), V(0.55, 0.2)), "neighbour");
}

TEST_F(IslandTools, OverflowingCornersLeaveTheirPolygon) {
  Scene({Quad(0, 0, 4), Quad(10, 10, 0.001)}, Muvpolygons, 2);
  EXPECT_TRUE(ScaleIslands(1e308, 1.0, true, true, true));
  EXPECT_EQ(UV(0), Quad(0, 0, 4));
  EXPECT_NE(UV(1), Quad(10, 10, 0.001));
  for (const UVWStruct& s : All())
    for (Int32 k = 0; k < 4; ++k) EXPECT_TRUE(s[k].IsFinite());
}

TEST_F(IslandTools, LiveScalingStartsFromTheSnapshot) {
  // A quad with a neighbour 0.005 off its b, and a triangle far away.
  Scene({Quad(0.4, 0.4, 0.1), Tri(V(0.1, 0.1), V(0.2, 0.1), V(0.1, 0.2)),
         UVWStruct(V(0.505, 0.4), V(0.8, 0.2), V(0.8, 0.3), V(0.7, 0.3))},
        Muvpolygons, 2);
  Choose(10071, 10074);
  Tick(10151, true);
  Tick(10220, true);
  Type(10062, "4");
  Click(10065);
  EXPECT_EQ(T().kind, TransformKind::kLiveScale);
  EXPECT_EQ(F(10062), 1.0);
  ASSERT_EQ(T().scaleRecord.size(), 2u);
  EXPECT_EQ(T().scaleRecord[1].cornerCount, 3);
  EXPECT_EQ(T().scaleRecord[1].d, Vector());
  Tick(10056, true);
  Type(10062, "2");
  Type(10062, "3");
  ExpectUV(UV(0), Quad(0.3, 0.3, 0.3), "three times");
  EXPECT_NEAR(UV(2).a.x, 0.6, 1e-9);
  EXPECT_NEAR(UV(2).a.y, 0.3, 1e-9);
  // Triangle centre c = (0.4/3, 0.4/3); its d from the stored zero: c + 3 (0 - c).
  EXPECT_NEAR(UV(1).d.x, -0.8 / 3, 1e-9);
  EXPECT_NEAR(UV(1).a.x, 0.4 / 3 - 0.1, 1e-9);

  Click(10066);
  EXPECT_EQ(T().kind, TransformKind::kNone);
  EXPECT_TRUE(T().scaleRecord.empty());
  EXPECT_TRUE(F(10062) == 1.0 && F(10063) == 1.0);
  Type(10062, "2");
  ExpectUV(UV(0), Quad(0.3, 0.3, 0.3), "no live step after the reset");
}

TEST_F(IslandTools, LiveScalingWithUnlinkedFactorsAndUndo) {
  const UVWStruct before = Quad(0.4, 0.4, 0.2);
  Scene({before, Quad(0.1, 0.1, 0.1)}, Muvpolygons, 1);
  Choose(10071, 10074);
  Tick(10220, true);
  Click(10065);
  Type(10062, "2");
  Type(10063, "0.5");
  // About the centre (0.5, 0.5): u doubles, v halves.
  ExpectUV(UV(0), UVWStruct(V(0.3, 0.45), V(0.7, 0.45), V(0.7, 0.55), V(0.3, 0.55)), "2 x 0.5");
  EXPECT_EQ(F(10062), 2.0) << "unlinked: the other factor stays";
  EXPECT_EQ(UV(1), Quad(0.1, 0.1, 0.1));
  // Undoing as often as there are steps goes back to the UVs from before the snapshot.
  while (doc->GetUndoCount() > 0) ASSERT_TRUE(doc->DoUndo());
  EXPECT_EQ(UV(0), before);
}

TEST_F(IslandTools, SnapshotRecordsOfPolygonsTheObjectLacksArePassedOver) {
  Scene({Quad(0.4, 0.4, 0.2), Quad(0.1, 0.1, 0.1)}, Muvpolygons);
  const std::vector<IslandSnapshotRecord> snapshot = {
      {0, V(0.4, 0.4), V(0.6, 0.4), V(0.6, 0.6), V(0.4, 0.6), 4},
      {2, V(0, 0), V(1, 0), V(1, 1), V(0, 1), 4},  // polygon 2 of 2
      {-1, V(0, 0), V(1, 0), V(1, 1), V(0, 1), 4}};
  EXPECT_TRUE(LiveScaleIslands(2, 2, false, snapshot));
  ExpectUV(UV(0), Quad(0.3, 0.3, 0.4), "scaled");
  EXPECT_EQ(UV(1), Quad(0.1, 0.1, 0.1));
  EXPECT_EQ(SelectedPolygonList(op->GetPolygonS(), 2), std::vector<Int32>{0});
  EXPECT_FALSE(LiveScaleIslands(2, 2, false, {snapshot[1], snapshot[2]})) << "nothing left";
}

TEST_F(IslandTools, SnapshotAfterASizeCaptureDoesNotArmLiveScaling) {
  Scene({Quad(0.4, 0.4, 0.1)}, Muvpolygons, 1);
  T().kind = TransformKind::kSizeCaptured;
  dlg.SetFloat(10062, 2.5, 0.0, 10.0, 0.01, FORMAT_FLOAT);
  EXPECT_TRUE(CaptureIslandSnapshot(dlg.Tools(), T(), SnapshotKind::kScale));
  EXPECT_EQ(T().scaleRecord.size(), 1u);
  EXPECT_EQ(T().kind, TransformKind::kSizeCaptured);
  EXPECT_EQ(F(10062), 2.5);
  dlg.Command(10062, BaseContainer());
  EXPECT_EQ(UV(0), Quad(0.4, 0.4, 0.1));
}

TEST_F(IslandTools, LiveRotationStartsFromTheSnapshot) {
  Scene({Quad(0.4, 0.4, 0.2), UVWStruct(V(0.605, 0.4), V(0.9, 0.4), V(0.9, 0.6), V(0.7, 0.6))},
        Muvpolygons, 1);
  Choose(10071, 10074);
  Tick(10152, true);
  Tick(10221, true);
  Type(10050, "10");
  Click(10051);
  EXPECT_EQ(T().angleReady, 1u);
  EXPECT_EQ(F(10050), 0.0);
  Type(10050, "30");
  // b = centre + (0.1, -0.1) turned by 30 degrees; the neighbour's a follows (0.01 test).
  const Float c30 = std::sqrt(3.0) / 2;
  EXPECT_NEAR(UV(1).a.x, 0.5 + 0.1 * c30 - 0.05, 1e-9);
  EXPECT_NEAR(UV(1).a.y, 0.5 - 0.05 - 0.1 * c30, 1e-9);
  Type(10050, "45");
  const Float h = std::sqrt(0.02);  // 0.1 * sqrt(2)
  ExpectUV(UV(0), UVWStruct(V(0.5 - h, 0.5), V(0.5, 0.5 - h), V(0.5 + h, 0.5), V(0.5, 0.5 + h)),
           "45 degrees");
  EXPECT_NEAR(UV(1).a.y, 0.5 - h, 1e-9);

  Click(10222);
  EXPECT_EQ(T().angleReady, 0u);
  EXPECT_TRUE(T().rotateRecord.empty());
  EXPECT_EQ(F(10050), 0.0);
}

TEST_F(IslandTools, RefusalsChangeNothing) {
  const std::vector<UVWStruct> uvs = {Quad(0.1, 0.1, 0.1), Quad(0.5, 0.5, 0.1)};
  const std::vector<IslandSnapshotRecord> snapshot = {{0, V(0, 0), V(1, 0), V(1, 1), V(0, 1), 4}};
  Scene(uvs, Muvpoints, 2);
  Points({0, 6});
  // UV point mode: the island tools and the snapshot refuse.
  EXPECT_FALSE(ScaleIslands(2, 2, true, true, true));
  EXPECT_FALSE(FitIslandsToSize(1, 1, true));
  EXPECT_FALSE(RotateIslands(1, true));
  EXPECT_FALSE(MoveIslandsTo(0.5, 0.5, true, true, true));
  EXPECT_FALSE(LiveScaleIslands(2, 2, true, snapshot));
  EXPECT_FALSE(LiveRotateIslands(1, true, snapshot));
  EXPECT_FALSE(CaptureIslandSnapshot(dlg.Tools(), T(), SnapshotKind::kRotate));
  EXPECT_EQ(T().angleReady, 0u);
  EXPECT_EQ(All(), uvs);

  // UV polygon mode: the point readouts refuse; without a selection the island tools do too.
  doc->SetMode(Muvpolygons);
  EXPECT_FALSE(MeasureTwoPointAngle(dlg.Tools()));
  EXPECT_FALSE(ReadSelectedPointsCenter(dlg.Tools()));
  EXPECT_EQ(F(10050), 0.0);
  EXPECT_EQ(F(10171), 1.0);
  op->GetPolygonS()->DeselectAll();
  EXPECT_FALSE(ScaleIslands(2, 2, true, true, true));
  EXPECT_FALSE(FitIslandsToSize(1, 1, true));
  EXPECT_FALSE(RotateIslands(1, true));
  EXPECT_FALSE(MoveIslandsTo(0.5, 0.5, true, true, true));
  EXPECT_FALSE(LiveScaleIslands(2, 2, true, {}));
  EXPECT_FALSE(LiveRotateIslands(1, true, {}));
  EXPECT_EQ(All(), uvs);
}
