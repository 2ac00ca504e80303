// Generators and their caches, colour properties, the attribute view and the headless view.
#ifndef _WIN32
#include <cairo.h>
#endif
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <set>

#include "c4d_basedocument.h"
#include "c4d_baseobject.h"
#include "c4d_basetag.h"
#include "c4d_tagdata.h"
#include "runtime/attributes.h"
#include "runtime/scene.h"
#include "runtime/view_image.h"

namespace fs = std::filesystem;

namespace {

struct Scene : ::testing::Test {
  BaseDocument* doc = BaseDocument::Alloc();
  ~Scene() override { BaseDocument::Free(doc); }
  BaseObject* Plane() {
    BaseObject* plane = BaseObject::Alloc(Oplane);
    doc->InsertObject(plane, nullptr, nullptr);
    return plane;
  }
};

std::set<std::pair<Float, Float>> XY(const PolygonObject* op) {
  std::set<std::pair<Float, Float>> out;
  for (Int32 i = 0; i < op->GetPointCount(); ++i)
    out.emplace(op->GetPointR()[i].x, op->GetPointR()[i].y);
  return out;
}

TEST_F(Scene, APlaneIsRebuiltOnlyWhenItsDataChanged) {
  BaseObject* plane = Plane();
  EXPECT_EQ(plane->GetCache(), nullptr) << "nothing is built before the scene is evaluated";
  EXPECT_EQ(hostrt::EvaluateScene(*doc).cachesBuilt, 1);
  auto* cache = dynamic_cast<PolygonObject*>(plane->GetCache());
  ASSERT_NE(cache, nullptr);
  EXPECT_EQ(cache->GetPointCount(), 21 * 21) << "400 × 400, 20 segments each way";
  EXPECT_EQ(cache->GetPolygonCount(), 400);
  const UInt64 first = cache->GetSerial();

  EXPECT_EQ(hostrt::EvaluateScene(*doc).cachesBuilt, 0);
  EXPECT_EQ(plane->GetCache()->GetSerial(), first);

  // Width 2, height 4, one segment, facing the front: the XY plane about the origin.
  plane->SetParameter(PRIM_PLANE_WIDTH, GeData(2.0));
  plane->SetParameter(PRIM_PLANE_HEIGHT, GeData(4.0));
  plane->SetParameter(PRIM_PLANE_SUBW, GeData(Int32(1)));
  plane->SetParameter(PRIM_PLANE_SUBH, GeData(Int32(1)));
  plane->SetParameter(PRIM_AXIS, GeData(Int32(PRIM_AXIS_ZN)));
  EXPECT_EQ(hostrt::UpdateCaches(*doc), 1);
  cache = static_cast<PolygonObject*>(plane->GetCache());
  EXPECT_NE(cache->GetSerial(), first);
  EXPECT_EQ(XY(cache), (std::set<std::pair<Float, Float>>{{-1, -2}, {1, -2}, {-1, 2}, {1, 2}}));
  for (Int32 i = 0; i < 4; ++i) EXPECT_EQ(cache->GetPointR()[i].z, 0.0);
  ASSERT_EQ(cache->GetPolygonCount(), 1);

  // An update message and an undone change are data changes too.
  const UInt64 second = cache->GetSerial();
  plane->Message(MSG_UPDATE);
  EXPECT_EQ(hostrt::UpdateCaches(*doc), 1);
  EXPECT_NE(plane->GetCache()->GetSerial(), second);
  doc->AddUndo(UNDOTYPE_CHANGE, plane);
  plane->GetDataInstance()->SetInt32(PRIM_PLANE_SUBW, 3);  // unseen: no dirty count
  EXPECT_EQ(hostrt::UpdateCaches(*doc), 0);
  ASSERT_TRUE(doc->DoUndo());
  EXPECT_EQ(hostrt::UpdateCaches(*doc), 1);
  EXPECT_EQ(static_cast<PolygonObject*>(plane->GetCache())->GetPolygonCount(), 1);
}

TEST_F(Scene, ColourPropertiesAndPositionAreParameters) {
  BaseObject* op = Plane();
  GeData d;
  ASSERT_TRUE(op->GetParameter(ID_BASEOBJECT_COLOR, d)) << "defaults read before any set";
  EXPECT_EQ(d.GetVector(), Vector(0.8, 0.8, 0.8));
  ObjectColorProperties co{ID_BASEOBJECT_USECOLOR_ALWAYS, Vector(1, 0, 0.5), true}, back;
  op->SetColorProperties(&co);
  op->GetColorProperties(&back);
  EXPECT_EQ(back.usecolor, ID_BASEOBJECT_USECOLOR_ALWAYS);
  EXPECT_EQ(back.color, Vector(1, 0, 0.5));
  EXPECT_TRUE(back.xray);
  const UInt32 dirty = op->GetDirty(DIRTYFLAGS_DATA), updates = op->UpdateMessages();
  ASSERT_TRUE(op->SetParameter(ID_BASEOBJECT_REL_POSITION, GeData(Vector(3, 4, 5))));
  EXPECT_EQ(op->GetMl().off, Vector(3, 4, 5));
  EXPECT_GT(op->GetDirty(DIRTYFLAGS_DATA), dirty);
  EXPECT_EQ(op->UpdateMessages(), updates) << "only MSG_UPDATE counts as an update message";
  EXPECT_FALSE(op->SetParameter(ID_BASEOBJECT_REL_POSITION, GeData(2.0)));
}

// A plug-in tag that counts the parameter messages it gets.
struct Counting : TagData {
  Int32 messages = 0;
  Bool Message(GeListNode*, Int32 type, void*) override {
    messages += type == MSG_DESCRIPTION_POSTSETPARAMETER;
    return true;
  }
};

Counting* CountingTag(BaseObject* op) {
  BaseTag* tag = BaseTag::Alloc(Tdisplay);
  auto* data = new Counting();
  tag->SetNodeData(std::unique_ptr<NodeData>(data));
  op->InsertTag(tag);
  return data;
}

// A host object's view; a change is clamped to the parameter's range, is one undo step and is
// told to every tag of the object. (The transfer tag's tests cover a plug-in's description.)
TEST_F(Scene, ChangingAnObjectTellsAllItsTags) {
  BaseObject* op = Plane();
  Counting* first = CountingTag(op);
  Counting* second = CountingTag(op);
  std::vector<hostrt::AttributeRow> rows;
  String error, warning;
  ASSERT_TRUE(hostrt::AttributeView(op, rows, error));
  std::vector<Int32> ids;
  for (const auto& r : rows) ids.push_back(r.id);
  EXPECT_EQ(ids, (std::vector<Int32>{900, 901, 902, 903, 1230, 1231, 1232, 1233, 1300}));
  EXPECT_EQ(hostrt::AttributeText(rows[8], doc), "2") << "a new plane faces +Y";

  ASSERT_TRUE(hostrt::SetAttribute(doc, op, PRIM_PLANE_SUBW, "5000", error, &warning));
  EXPECT_EQ(op->GetDataInstance()->GetInt32(PRIM_PLANE_SUBW), 1000);
  EXPECT_FALSE(warning.empty());
  ASSERT_TRUE(hostrt::SetAttribute(doc, op, ID_BASEOBJECT_COLOR, "1, 0.5,0", error)) << error;
  ObjectColorProperties co;
  op->GetColorProperties(&co);
  EXPECT_EQ(co.color, Vector(1, 0.5, 0));
  EXPECT_FALSE(hostrt::SetAttribute(doc, op, ID_BASEOBJECT_COLOR, "1,2", error));
  EXPECT_FALSE(hostrt::SetAttribute(doc, op, ID_BASEOBJECT_XRAY, "maybe", error));
  EXPECT_EQ(first->messages, 2);
  EXPECT_EQ(second->messages, 2);
  EXPECT_EQ(doc->GetUndoCount(), 2);
}

#ifdef _WIN32
TEST_F(Scene, TheViewIsNotDrawnWithoutCairoAndSaysSo) {
  BaseDraw view;
  const fs::path png = fs::temp_directory_path() / "pelterra_view_unavailable.png";
  std::string error;
  EXPECT_FALSE(hostrt::WriteViewImage(*doc, view, png.string(), 512, error));
  EXPECT_NE(error.find("view pictures are not available in this build"), std::string::npos)
      << error;
  EXPECT_FALSE(fs::exists(png));
}
#else
// Pixel (x, y) of a PNG as 0xRRGGBB.
UInt32 Pixel(const std::string& path, int x, int y) {
  cairo_surface_t* s = cairo_image_surface_create_from_png(path.c_str());
  EXPECT_EQ(cairo_surface_status(s), CAIRO_STATUS_SUCCESS);
  cairo_surface_flush(s);
  const unsigned char* data = cairo_image_surface_get_data(s);
  const int stride = cairo_image_surface_get_stride(s);
  UInt32 v = 0;
  if (data) std::memcpy(&v, data + y * stride + 4 * x, 4);
  cairo_surface_destroy(s);
  return v & 0xFFFFFFu;
}

bool Near(UInt32 got, UInt32 want) {
  for (int shift = 0; shift < 24; shift += 8)
    if (std::abs(Int32((got >> shift) & 0xFF) - Int32((want >> shift) & 0xFF)) > 1) return false;
  return true;
}

TEST_F(Scene, TheViewDrawsEdgesAndLinesFromTheFront) {
  PolygonObject* op = PolygonObject::Alloc(4, 1);
  const Vector corners[4] = {Vector(0, 0, 5), Vector(2, 0, 5), Vector(2, 2, 5), Vector(0, 2, 5)};
  for (Int32 i = 0; i < 4; ++i) op->GetPointW()[i] = corners[i];
  op->GetPolygonW()[0] = CPolygon(0, 1, 2, 3);
  doc->InsertObject(op, nullptr, nullptr);
  BaseDraw view;
  view.SetPen(Vector(255, 255, 255));
  view.DrawLine(Vector(0, 1, 0), Vector(2, 1, 0));
  view.SetPen(Vector(0.5, 2, -1));
  view.DrawLine(Vector(1, 0, 0), Vector(1, 2, 0));
  view.DrawLine(Vector(NAN, 0, 0), Vector(50, 50, 0));  // left out, and frames nothing

  const fs::path dir = fs::temp_directory_path() / ("pelterra_view_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string png = (dir / "view.png").string();
  std::string error;
  ASSERT_TRUE(hostrt::WriteViewImage(*doc, view, png, 512, error)) << error;
  // The frame is the square (0, 0)-(2, 2) with a 25 px margin: x = 25 + 231 x, y = 487 - 231 y.
  EXPECT_TRUE(Near(Pixel(png, 5, 5), 0x3D3D3D)) << std::hex << Pixel(png, 5, 5);
  EXPECT_TRUE(Near(Pixel(png, 100, 487), 0x8CA6CC)) << "the quad's bottom edge, y = 0";
  EXPECT_TRUE(Near(Pixel(png, 25, 300), 0x8CA6CC)) << "its left edge, x = 0";
  EXPECT_EQ(Pixel(png, 100, 256), 0xFFFFFFu) << "the white pen across y = 1";
  EXPECT_TRUE(Near(Pixel(png, 256, 400), 0x80FF00)) << "(0.5, 2, -1) clamped to (0.5, 1, 0)";
  EXPECT_TRUE(Near(Pixel(png, 100, 300), 0x3D3D3D)) << "inside the quad, nothing";

  EXPECT_FALSE(hostrt::WriteViewImage(*doc, view, (dir / "view.jpg").string(), 512, error));
  EXPECT_FALSE(hostrt::WriteViewImage(*doc, view, png, 8, error));
  EXPECT_FALSE(hostrt::WriteViewImage(*doc, view, (dir / "no" / "view.png").string(), 64, error));
  EXPECT_NE(error.find("cannot write"), std::string::npos) << error;
  size_t files = 0;
  for (const auto& e : fs::directory_iterator(dir)) files += e.is_regular_file();
  EXPECT_EQ(files, 1u) << "no temporary file is left behind";
  fs::remove_all(dir);
}

#endif

}  // namespace
