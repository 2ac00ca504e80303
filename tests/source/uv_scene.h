// The UV tools dialog open on a real document, user actions on it, and UV scenes to work on.
#pragma once

#include <string>
#include <vector>

#include "UVtools.h"
#include "c4d_basedocument.h"
#include "c4d_baseobject.h"
#include "c4d_basetag.h"
#include "plugin_host.h"
#include "runtime/dialog_driver.h"

inline Vector V(Float u, Float v, Float w = 0) {
  return Vector(u, v, w);
}
// Quad of side s with corner a at (u, v).
inline UVWStruct Quad(Float u, Float v, Float s, Float w = 0) {
  return UVWStruct(V(u, v, w), V(u + s, v, w), V(u + s, v + s, w), V(u, v + s, w));
}
// d of a triangle: far away, must never count.
const Vector kTriD(5, 5, 0);
inline UVWStruct Tri(Vector a, Vector b, Vector c) {
  return UVWStruct(a, b, c, kTriD);
}

struct UVScene : PluginHost {
  UVtools dlg;
  PolygonObject* op = nullptr;
  UVWTag* tag = nullptr;

  void SetUp() override {
    PluginHost::SetUp();
    ASSERT_TRUE(dlg.Open(DLG_TYPE_ASYNC, 1024239, -1, -1, 380, 500, 0));
  }
  // A new active object with one polygon per record (a triangle where d is kTriD), polygons
  // 0 .. sel - 1 selected, the document in mode.
  void Scene(const std::vector<UVWStruct>& uvs, Int32 mode, Int32 sel = 0) {
    const Int32 n = static_cast<Int32>(uvs.size());
    op = PolygonObject::Alloc(4 * n, n);
    tag = static_cast<UVWTag*>(op->MakeTag(Tuvw));
    for (Int32 i = 0; i < n; ++i) {
      const UVWStruct& uv = uvs[static_cast<size_t>(i)];
      op->GetPolygonW()[i] = CPolygon(4 * i, 4 * i + 1, 4 * i + 2, 4 * i + (uv.d == kTriD ? 2 : 3));
      tag->SetSlow(i, uv);
    }
    if (sel > 0) op->GetPolygonS()->SelectAll(0, sel - 1);
    doc->InsertObject(op, nullptr, nullptr);
    doc->SetActiveObject(op);
    doc->SetMode(mode);
  }
  void Points(std::initializer_list<Int32> ids) {
    hostrt::UVPointSelection(op)->DeselectAll();
    for (Int32 i : ids) hostrt::UVPointSelection(op)->Select(i);
  }
  UVWStruct UV(Int32 i) const { return tag->GetSlow(i); }
  std::vector<UVWStruct> All() const {
    std::vector<UVWStruct> out;
    for (Int32 i = 0; i < tag->GetDataCount(); ++i) out.push_back(UV(i));
    return out;
  }
  const hostrt::DialogControl& C(Int32 id) {
    const hostrt::DialogControl* c = dlg.GetModel()->Find(id);
    EXPECT_NE(c, nullptr) << "no control " << id;
    static hostrt::DialogControl none;
    return c ? *c : none;
  }
  bool Visible(Int32 id) { return C(id).IsVisible(); }
  bool Enabled(Int32 id) { return C(id).enabled; }
  // A user's action; the test fails when the dialog refuses it.
  void Act(const hostrt::ActionResult& r) { ASSERT_TRUE(r.ok) << r.error; }
  void Click(Int32 id) { Act(hostrt::Click(host, dlg, id)); }
  void Tick(Int32 id, bool on) { Act(hostrt::Tick(host, dlg, id, on)); }
  void Choose(Int32 id, Int32 entry) { Act(hostrt::Choose(host, dlg, id, entry)); }
  void Type(Int32 id, const std::string& t) { Act(hostrt::Type(host, dlg, id, t)); }
  Float F(Int32 id) {
    Float f = -99;
    dlg.GetFloat(id, f);
    return f;
  }
};

inline void ExpectUV(const UVWStruct& got, const UVWStruct& want, const char* what) {
  for (Int32 k = 0; k < 4; ++k)
    EXPECT_NEAR((got[k] - want[k]).GetLength(), 0.0, 1e-9) << what << " corner " << k;
}
