// The selection conversion of SendModelingCommand.
#include <gtest/gtest.h>

#include <vector>

#include "c4d_basecontainer.h"
#include "c4d_basedocument.h"
#include "c4d_baseobject.h"
#include "c4d_general.h"

namespace {

std::vector<Int32> Indices(const BaseSelect* sel) {
  std::vector<Int32> out;
  for (Int32 i = 0; i <= sel->GetLastElement(); ++i)
    if (sel->IsSelected(i)) out.push_back(i);
  return out;
}

void Set(BaseSelect* sel, std::initializer_list<Int32> ids) {
  sel->DeselectAll();
  for (Int32 i : ids) sel->Select(i);
}

// Two quads sharing the edge 1-4 and a triangle sharing the edge 2-5 with the second quad:
//   3---4---5
//   | 0 | 1 | \ 2
//   0---1---2--6
// Sides: quad 0: 0-1 (0), 1-4 (1), 4-3 (2), 3-0 (3); quad 1: 1-2 (4), 2-5 (5), 5-4 (6), 4-1 (7);
// triangle 2: 2-6 (8), 6-5 (9), none (10), 5-2 (11).
struct Convert : ::testing::Test {
  BaseDocument* doc = BaseDocument::Alloc();
  PolygonObject* op = PolygonObject::Alloc(7, 3);

  Convert() {
    op->GetPolygonW()[0] = CPolygon(0, 1, 4, 3);
    op->GetPolygonW()[1] = CPolygon(1, 2, 5, 4);
    op->GetPolygonW()[2] = CPolygon(2, 6, 5);
    doc->InsertObject(op, nullptr, nullptr);
  }
  ~Convert() override { BaseDocument::Free(doc); }

  Bool Run(Int32 from, Int32 to, Bool tolerant = false) {
    BaseContainer bc;
    bc.SetInt32(MDATA_CONVERTSELECTION_LEFT, from);
    bc.SetInt32(MDATA_CONVERTSELECTION_RIGHT, to);
    if (tolerant) bc.SetBool(MDATA_CONVERTSELECTION_TOLERANT, true);
    ModelingCommandData md;
    md.doc = doc;
    md.op = op;
    md.bc = &bc;
    return SendModelingCommand(MCOMMAND_CONVERTSELECTION, md);
  }
};

}  // namespace

TEST_F(Convert, PointsToEdgesSelectsEdgesWithBothEndsOnBothTheirPolygons) {
  Set(op->GetEdgeS(), {0});  // replaced by the conversion
  Set(op->GetPointS(), {1, 4, 5});
  ASSERT_TRUE(Run(0, 1));
  // 1-4 on both quads, 5-4 on quad 1; 2-5 has one end only; the triangle's missing side 5-5
  // does not count as an edge.
  EXPECT_EQ(Indices(op->GetEdgeS()), (std::vector<Int32>{1, 6, 7}));
  EXPECT_EQ(Indices(op->GetPointS()), (std::vector<Int32>{1, 4, 5})) << "source stays";

  Set(op->GetPointS(), {5});
  ASSERT_TRUE(Run(0, 1, true));
  EXPECT_EQ(Indices(op->GetEdgeS()), (std::vector<Int32>{5, 6, 9, 11})) << "tolerant: one end";
}

TEST_F(Convert, PolygonsToPointsSelectsTheirPoints) {
  Set(op->GetPointS(), {0});
  Set(op->GetPolygonS(), {2});
  ASSERT_TRUE(Run(2, 0));
  EXPECT_EQ(Indices(op->GetPointS()), (std::vector<Int32>{2, 5, 6}));
  Set(op->GetPolygonS(), {0, 2});
  ASSERT_TRUE(Run(2, 0));
  EXPECT_EQ(Indices(op->GetPointS()), (std::vector<Int32>{0, 1, 2, 3, 4, 5, 6}));
}

TEST_F(Convert, TheOtherDirections) {
  // Points to polygons: all points, or with tolerant any.
  Set(op->GetPointS(), {1, 2, 4, 5});
  ASSERT_TRUE(Run(0, 2));
  EXPECT_EQ(Indices(op->GetPolygonS()), (std::vector<Int32>{1}));
  Set(op->GetPointS(), {5});
  ASSERT_TRUE(Run(0, 2, true));
  EXPECT_EQ(Indices(op->GetPolygonS()), (std::vector<Int32>{1, 2}));

  // Edges to points.
  Set(op->GetEdgeS(), {1, 8});
  ASSERT_TRUE(Run(1, 0));
  EXPECT_EQ(Indices(op->GetPointS()), (std::vector<Int32>{1, 2, 4, 6}));

  // Edges to polygons: quad 1's edge 4-1 is selected on quad 0's side, so all four of its edges
  // are; quad 0 has one of four, the triangle one of three (2-5, selected on quad 1).
  Set(op->GetEdgeS(), {1, 4, 5, 6});
  ASSERT_TRUE(Run(1, 2));
  EXPECT_EQ(Indices(op->GetPolygonS()), (std::vector<Int32>{1}));
  ASSERT_TRUE(Run(1, 2, true));
  EXPECT_EQ(Indices(op->GetPolygonS()), (std::vector<Int32>{0, 1, 2}));

  // Polygons to edges: the triangle's three sides, and 2-5 on quad 1 as well.
  Set(op->GetPolygonS(), {2});
  ASSERT_TRUE(Run(2, 1));
  EXPECT_EQ(Indices(op->GetEdgeS()), (std::vector<Int32>{5, 8, 9, 11}));

  // The same kind: nothing to convert.
  ASSERT_TRUE(Run(1, 1));
  EXPECT_EQ(Indices(op->GetEdgeS()), (std::vector<Int32>{5, 8, 9, 11}));
}

TEST_F(Convert, RefusesWhatDoesNotFitAndSkipsBrokenPolygons) {
  Set(op->GetEdgeS(), {3});
  Set(op->GetPointS(), {0, 1});
  EXPECT_FALSE(Run(0, 3));
  EXPECT_FALSE(Run(-1, 1));
  ModelingCommandData md;
  md.op = op;
  EXPECT_FALSE(SendModelingCommand(MCOMMAND_CONVERTSELECTION, md)) << "no settings";
  BaseContainer bc;
  bc.SetInt32(MDATA_CONVERTSELECTION_RIGHT, 1);
  md.bc = &bc;
  EXPECT_FALSE(SendModelingCommand(246, md)) << "another command";
  BaseObject* null = BaseObject::Alloc(Onull);
  md.op = null;
  EXPECT_FALSE(SendModelingCommand(MCOMMAND_CONVERTSELECTION, md)) << "not a polygon object";
  BaseObject::Free(null);
  md.op = nullptr;
  EXPECT_FALSE(SendModelingCommand(MCOMMAND_CONVERTSELECTION, md));
  EXPECT_EQ(Indices(op->GetEdgeS()), (std::vector<Int32>{3})) << "a refusal changes nothing";

  // A polygon naming a point the object does not have is left out of every conversion.
  op->GetPolygonW()[0] = CPolygon(0, 1, 99, 3);
  Set(op->GetPolygonS(), {0, 1});
  ASSERT_TRUE(Run(2, 0));
  EXPECT_EQ(Indices(op->GetPointS()), (std::vector<Int32>{1, 2, 4, 5}));
  Set(op->GetPointS(), {0, 1, 3});
  ASSERT_TRUE(Run(0, 1));
  EXPECT_EQ(Indices(op->GetEdgeS()), (std::vector<Int32>{}));
  Set(op->GetEdgeS(), {0, 4});
  ASSERT_TRUE(Run(1, 0));
  EXPECT_EQ(Indices(op->GetPointS()), (std::vector<Int32>{1, 2}));
}

TEST_F(Convert, CreateUndoRecordsTheSelectionsBeforeTheChange) {
  Set(op->GetEdgeS(), {3});
  Set(op->GetPointS(), {1, 4});
  BaseContainer bc;
  bc.SetInt32(MDATA_CONVERTSELECTION_LEFT, 0);
  bc.SetInt32(MDATA_CONVERTSELECTION_RIGHT, 1);
  ModelingCommandData md;
  md.doc = doc;
  md.op = op;
  md.bc = &bc;
  ASSERT_TRUE(SendModelingCommand(MCOMMAND_CONVERTSELECTION, md));
  EXPECT_EQ(doc->GetUndoCount(), 0) << "no undo without the flag";
  md.flags = MODELINGCOMMANDFLAGS_CREATEUNDO;
  Set(op->GetEdgeS(), {3});
  ASSERT_TRUE(SendModelingCommand(MCOMMAND_CONVERTSELECTION, md));
  EXPECT_EQ(Indices(op->GetEdgeS()), (std::vector<Int32>{1, 7}));
  ASSERT_EQ(doc->GetUndoCount(), 1);
  ASSERT_TRUE(doc->DoUndo());
  EXPECT_EQ(Indices(op->GetEdgeS()), (std::vector<Int32>{3}));
}
