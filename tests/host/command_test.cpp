// Host commands run by identifier, and the document's unit scale.
#include <gtest/gtest.h>

#include <vector>

#include "c4d_basedocument.h"
#include "c4d_baseobject.h"
#include "runtime/commands.h"
#include "runtime/host.h"

namespace {

// Polygons over 12 points: 0 and 1 share point 1, 1 and 2 share point 5 (so 0 reaches 2 only
// through 1), 3 is a triangle on points of its own, 4 shares point 8 with the triangle, 5 names
// only points that do not exist, 6 stands alone on point 11.
struct SelectConnected : ::testing::Test {
  hostrt::Host host;
  BaseDocument* doc = host.NewDocument();
  PolygonObject* op = PolygonObject::Alloc(12, 7);

  void SetUp() override {
    CPolygon* p = op->GetPolygonW();
    p[0] = CPolygon(0, 1, 2, 3);
    p[1] = CPolygon(1, 4, 5, 4);
    p[2] = CPolygon(5, 6, 7, 7);
    p[3] = CPolygon(8, 9, 10, 10);
    p[4] = CPolygon(8, 10, 9, 8);
    p[5] = CPolygon(-1, 12, 99, 99);
    p[6] = CPolygon(11, 11, 11, 11);
    doc->InsertObject(op, nullptr, nullptr);
    doc->SetActiveObject(op);
    doc->SetMode(Muvpolygons);
  }
  std::vector<Int32> Selected() {
    std::vector<Int32> out;
    for (Int32 i = 0; i < op->GetPolygonCount(); ++i)
      if (op->GetPolygonS()->IsSelected(i)) out.push_back(i);
    return out;
  }
  std::vector<Int32> From(std::initializer_list<Int32> seeds) {
    op->GetPolygonS()->DeselectAll();
    for (Int32 s : seeds) op->GetPolygonS()->Select(s);
    host.CallCommand(hostrt::kCommandSelectConnected, 0);
    return Selected();
  }
};

}  // namespace

TEST_F(SelectConnected, GrowsThroughSharedPointsChained) {
  EXPECT_EQ(From({0}), (std::vector<Int32>{0, 1, 2}));
  EXPECT_EQ(From({2}), (std::vector<Int32>{0, 1, 2}));
  EXPECT_EQ(From({4}), (std::vector<Int32>{3, 4})) << "a triangle joins through its points";
  EXPECT_EQ(From({6}), (std::vector<Int32>{6}));
  EXPECT_EQ(From({1, 3}), (std::vector<Int32>{0, 1, 2, 3, 4}));
  // Points that do not exist connect nothing, and the selected polygon stays selected.
  EXPECT_EQ(From({5}), (std::vector<Int32>{5}));
  EXPECT_EQ(From({}), (std::vector<Int32>{}));
  EXPECT_EQ(host.Commands().size(), 7u);
}

TEST_F(SelectConnected, OnlyInPolygonModesOnAPolygonObjectAndWithoutUndo) {
  doc->SetMode(Mpolygons);
  EXPECT_EQ(From({0}), (std::vector<Int32>{0, 1, 2}));
  doc->SetMode(Muvpoints);
  EXPECT_EQ(From({0}), (std::vector<Int32>{0}));
  doc->SetMode(Muvpolygons);
  EXPECT_EQ(doc->GetUndoCount(), 0);
  // Unknown commands and a document without an active object do nothing.
  op->GetPolygonS()->DeselectAll();
  op->GetPolygonS()->Select(0);
  EXPECT_FALSE(hostrt::RunCommand(doc, 99999, 0));
  EXPECT_EQ(Selected(), (std::vector<Int32>{0}));
  doc->SetActiveObject(nullptr);
  EXPECT_FALSE(hostrt::RunCommand(doc, hostrt::kCommandSelectConnected, 0));
  EXPECT_EQ(Selected(), (std::vector<Int32>{0}));
  EXPECT_FALSE(hostrt::RunCommand(nullptr, hostrt::kCommandSelectConnected, 0));
}

TEST(UnitScale, DocumentsStartInCentimetresAndKeepWhatIsSet) {
  hostrt::Host host;
  BaseDocument* a = host.NewDocument();
  BaseDocument* b = host.NewDocument();
  Float scale = 0;
  DOCUMENT_UNIT unit = DOCUMENT_UNIT_KM;
  a->GetUnitScale().GetUnitScale(scale, unit);
  EXPECT_EQ(scale, 1.0);
  EXPECT_EQ(unit, DOCUMENT_UNIT_CM);

  UnitScaleData inches;
  inches.SetUnitScale(2.5, DOCUMENT_UNIT_INCH);
  a->SetUnitScale(inches);
  a->GetUnitScale().GetUnitScale(scale, unit);
  EXPECT_EQ(scale, 2.5);
  EXPECT_EQ(unit, DOCUMENT_UNIT_INCH);
  b->GetUnitScale().GetUnitScale(scale, unit);
  EXPECT_EQ(unit, DOCUMENT_UNIT_CM) << "each document has its own setting";
}
