// UV area measure and selection, Set UVW, size capture and angle presets, driven through the
// UV tools dialog on a real document.
#include <cmath>
#include <cstring>
#include <functional>

#include "UVAreaTools.h"
#include "c4d_painter.h"
#include "c4d_symbols.h"
#include "uv_scene.h"

namespace {

UVWStruct Area(Float h) {  // right triangle of UV area h / 2
  return Tri(Vector(0, 0, 0), Vector(1, 0, 0), Vector(0, h, 0));
}
UVWStruct Rect(Float u0, Float v0, Float u1, Float v1, Float w = 0) {
  return UVWStruct(Vector(u0, v0, w), Vector(u1, v0, w), Vector(u1, v1, w), Vector(u0, v1, w));
}

}  // namespace

struct AreaToolsTest : UVScene {
  TransformState& T() { return dlg.State<TransformState>(); }
};

TEST_F(AreaToolsTest, MeasureChoosesTheDisplayScale) {
  struct Case {
    std::vector<UVWStruct> selected;
    Float area, shown;
    Int32 choice;
  };
  // Last row: 0.005 in w only, plus a 0.004 quad. S x F of exactly 1 or 0.1 fails the strict rule.
  for (const Case& c :
       {Case{{Area(0.01)}, 0.005, 0.5, 10134},
        {{Area(0.001)}, 0.0005, 0.5, 10135},
        {{Area(1)}, 0.5, 0.5, 10133},
        {{Area(4e-5)}, 2e-5, 0.2, 10136},
        {{Area(4e-6)}, 2e-6, 0.2, 10137},
        {{Area(0.02)}, 0.01, 0.01, 10133},
        {{Area(0.002)}, 0.001, 0.001, 10133},
        {{Tri(Vector(), Vector(1, 0, 0), Vector(0, 0, 0.01)), Rect(0, 0, 0.1, 0.04)},
         0.009,
         0.9,
         10134}}) {
    std::vector<UVWStruct> uvs = c.selected;
    uvs.push_back(Area(0.9));  // not selected
    Scene(uvs, Muvpolygons, static_cast<Int32>(c.selected.size()));
    Click(IDC_AREA_MEASURE);
    EXPECT_NEAR(T().measuredArea, c.area, 1e-15);
    EXPECT_NEAR(C(IDC_AREA_VALUE).floatValue, c.shown, 1e-12) << c.area;
    EXPECT_EQ(C(IDC_AREA_SCALE).intValue, c.choice) << c.area;
  }
}

TEST_F(AreaToolsTest, SelectByAreaBelowTheThreshold) {
  // 0.004, 0.005, 0.006 (a quad whose first triangle alone is 0.003) and a degenerate quad.
  Scene({Area(0.008), Area(0.01), Rect(0, 0, 0.1, 0.06), Rect(0, 0, 0.4, 0)}, Muvpolygons, 3);
  auto selectWith = [&](const char* value, Int32 choice) {
    Type(IDC_AREA_VALUE, value);
    Choose(IDC_AREA_SCALE, choice);
    Click(IDC_AREA_SELECT);
    std::vector<Int32> got;
    for (Int32 i = 0; i < 4; ++i)
      if (op->GetPolygonS()->IsSelected(i)) got.push_back(i);
    return got;
  };
  EXPECT_EQ(selectWith("0.5", 10134), (std::vector<Int32>{0, 3})) << "T = 0.005, strict";
  EXPECT_EQ(selectWith("0.001", 10137), (std::vector<Int32>{3})) << "any positive T";
  EXPECT_EQ(selectWith("0", 10133), (std::vector<Int32>{}));
  dlg.SetInt32(IDC_AREA_SCALE, 10140);  // no such choice: the value is read unscaled
  dlg.SetFloat(IDC_AREA_VALUE, 0.0061);
  EXPECT_TRUE(SelectByArea(dlg.Tools()));
  EXPECT_EQ(op->GetPolygonS()->GetCount(), 4);
  EXPECT_EQ(doc->GetUndoCount(), 0) << "no undo step";
}

TEST_F(AreaToolsTest, SetUVWWritesTheSelectedCorners) {
  const UVWStruct q0 = Rect(0, 0, 0.5, 0.5, 1), q1 = Rect(0.6, 0, 0.9, 0.3);
  Scene({q0, q1}, Muvpoints);
  for (Int32 p : {1, 7, 40}) hostrt::UVPointSelection(op)->Select(p);  // 40: no polygon 10
  Choose(10071, 10073);
  Tick(IDC_SET_U_ON, false);
  Tick(IDC_SET_V_ON, false);
  Click(IDC_SET_UVW);
  EXPECT_TRUE(tag->GetSlow(0) == q0 && tag->GetSlow(1) == q1) << "both boxes off: unchanged";
  EXPECT_EQ(doc->GetUndoCount(), 1);

  Tick(IDC_SET_U_ON, true);
  Type(IDC_SET_U, "0.25");
  Click(IDC_SET_UVW);
  EXPECT_EQ(tag->GetSlow(0), UVWStruct(q0.a, Vector(0.25, 0, 1), q0.c, q0.d));
  EXPECT_EQ(tag->GetSlow(1), UVWStruct(q1.a, q1.b, q1.c, Vector(0.25, 0.3, 0)));
  ASSERT_EQ(doc->GetUndoCount(), 2) << "one group per press";
  ASSERT_TRUE(doc->DoUndo());
  EXPECT_TRUE(tag->GetSlow(0) == q0 && tag->GetSlow(1) == q1);
}

TEST_F(AreaToolsTest, SizeCaptureStoresBoxAndCentre) {
  // Selected: a quad of 0.16 (w 7) and a triangle of 0.03.
  Scene({Rect(0.1, 0.2, 0.5, 0.6, 7),
         Tri(Vector(0.6, 0.1, 0), Vector(0.9, 0.1, 0), Vector(0.6, 0.3, 0)), Area(3)},
        Muvpolygons, 2);
  Choose(10071, 10074);
  Click(IDC_SIZE_CAPTURE);
  EXPECT_NEAR(T().capturedWidth, 0.8, 1e-12);
  EXPECT_NEAR(T().capturedHeight, 0.5, 1e-12);
  EXPECT_NEAR((T().capturedCentre - Vector(0.5, 0.35, 0)).GetLength(), 0.0, 1e-12);
  EXPECT_NEAR(T().measuredArea, 0.19, 1e-12);
  EXPECT_EQ(T().kind, TransformKind::kSizeCaptured);
}

TEST_F(AreaToolsTest, AnglePresets) {
  Choose(10071, 10074);
  const Float degrees[] = {10, 30, 45, 60, 90, 135, 180};
  for (Int32 k = 0; k < 7; ++k) {
    Choose(IDC_ANGLE_PRESET, IDC_ANGLE_10 + k);
    const hostrt::DialogControl& c = C(IDC_ANGLE);
    EXPECT_DOUBLE_EQ(c.floatValue, degrees[k] * 0.017453292519943295) << degrees[k];
    EXPECT_TRUE(c.format == FORMAT_DEGREE && c.min == -2 * PI && c.step == 0.0017453292519943296);
  }
  dlg.SetInt32(IDC_ANGLE_PRESET, 10049);
  EXPECT_TRUE(ApplyAnglePreset(dlg.Tools()));
  EXPECT_EQ(C(IDC_ANGLE).floatValue, 0.0) << "any other entry";
}

TEST_F(AreaToolsTest, FailedPreconditionsChangeNothing) {
  struct Tool {
    std::function<Bool(UVtools&)> fn;
    Int32 mode;
    bool usesSelection, checksFinite;
  };
  const std::vector<Tool> tools = {
      {[](UVtools& d) { return MeasureArea(d.Tools(), d.State<TransformState>()); }, Muvpolygons,
       true, true},
      {[](UVtools& d) { return SelectByArea(d.Tools()); }, Muvpolygons, false, false},
      {[](UVtools& d) { return SetUVW(d.Tools()); }, Muvpoints, true, false},
      {[](UVtools& d) { return CaptureSize(d.State<TransformState>()); }, Muvpolygons, true, true}};
  for (const Tool& t : tools) {
    // Wrong mode, no object, a null object, no UVW tag, no selection, a non-finite UV.
    for (int what = 0; what < 6; ++what) {
      if ((what == 4 && !t.usesSelection) || (what == 5 && !t.checksFinite)) continue;
      Scene({Area(0.01), Area(0.01)}, t.mode, what == 4 ? 0 : 2);
      hostrt::UVPointSelection(op)->Select(what == 4 ? 8 : 5);  // 8: beyond the polygons
      PolygonObject* other = PolygonObject::Alloc(8, 2);        // no UVW tag
      other->GetPolygonS()->Select(1);
      BaseObject* null = BaseObject::Alloc(Onull);
      doc->InsertObject(other, nullptr, nullptr);
      doc->InsertObject(null, nullptr, nullptr);
      if (what == 0) doc->SetMode(t.mode == Muvpoints ? Muvpolygons : Muvpoints);
      if (what == 1) doc->SetActiveObject(nullptr);
      if (what == 2) doc->SetActiveObject(null);
      if (what == 3) doc->SetActiveObject(other);
      if (what == 5) tag->SetSlow(1, Tri(Vector(std::nan(""), 0, 0), Vector(1), Vector()));
      const UVWStruct before = tag->GetSlow(1);
      const Int32 events = host.EventCount();
      EXPECT_FALSE(t.fn(dlg)) << what;
      const UVWStruct after = tag->GetSlow(1);
      EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0) << what;
      EXPECT_TRUE(other->GetPolygonS()->IsSelected(1)) << what;
      EXPECT_EQ(op->GetPolygonS()->IsSelected(1), what != 4) << what;
      EXPECT_EQ(doc->GetUndoCount() + host.EventCount() - events, 0) << what;
      EXPECT_EQ(T().measuredArea + T().capturedWidth + C(IDC_AREA_VALUE).floatValue, 0.0) << what;
      EXPECT_EQ(C(IDC_AREA_SCALE).intValue, 10133) << what;
    }
  }
}
