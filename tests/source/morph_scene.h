// A document with a polygon object whose UVs the morph track animates, and the track
// registered with the host as the plug-in's start registers it.
#pragma once

#include <vector>

#include "AUV.h"
#include "CT_AUV.h"
#include "c4d_symbols.h"
#include "customgui_splinecontrol.h"
#include "main.h"
#include "plugin_host.h"
#include "runtime/animation.h"
#include "runtime/registry.h"
#include "runtime/scene.h"

struct MorphScene : PluginHost {
  PolygonObject* op = nullptr;
  UVWTag* tag = nullptr;

  void SetUp() override {
    PluginHost::SetUp();
    if (!hostrt::Registry::Get().Find(ID_AUVTRACK)) {
      ASSERT_TRUE(RegisterAuvTrack());
    }
    doc->SetFps(25);
  }

  // Polygon i's corners a, b, c, d at u = i + 0.1 k, v = base, w = base / 2 (k = corner).
  static UVWStruct Layout(Int32 i, Float base) {
    UVWStruct s;
    for (Int32 k = 0; k < 4; ++k) s[k] = Vector(i + 0.1 * k, base, base / 2);
    return s;
  }
  // A new active polygon object with n quads and one UVW tag laid out with base.
  void Object(Int32 n, Float base = 0.0, const char* name = "Cube") {
    op = PolygonObject::Alloc(4 * n, n);
    op->SetName(name);
    for (Int32 i = 0; i < n; ++i)
      op->GetPolygonW()[i] = CPolygon(4 * i, 4 * i + 1, 4 * i + 2, 4 * i + 3);
    tag = static_cast<UVWTag*>(op->MakeTag(Tuvw));
    SetLayout(tag, base);
    doc->InsertObject(op, nullptr, nullptr);
    doc->SetActiveObject(op);
  }
  void SetLayout(UVWTag* t, Float base) {
    for (Int32 i = 0; i < t->GetDataCount(); ++i) t->SetSlow(i, Layout(i, base));
  }
  std::vector<UVWStruct> UVs(const UVWTag* t = nullptr) const {
    if (!t) t = tag;
    std::vector<UVWStruct> out;
    for (Int32 i = 0; i < t->GetDataCount(); ++i) out.push_back(t->GetSlow(i));
    return out;
  }
  CTrack* Track() { return op->FindCTrack(DescID(ID_AUVTRACK)); }
  // The user adds the morph track and a key at frame f (25 fps), as the host's timeline does.
  CKey* KeyAt(Int32 f) {
    std::string why;
    CTrack* track = Track();
    if (!track) track = hostrt::AddTrack(*doc, *op, DescID(ID_AUVTRACK), why);
    EXPECT_NE(track, nullptr) << why;
    if (!track) return nullptr;
    CKey* key = hostrt::AddKey(*doc, *track, BaseTime(f, 25), why);
    EXPECT_NE(key, nullptr) << why;
    return key;
  }
  // The document at frame f (or at time t), evaluated.
  hostrt::EvaluationReport At(const BaseTime& t) {
    doc->SetTime(t);
    return hostrt::EvaluateScene(*doc);
  }
  hostrt::EvaluationReport AtFrame(Int32 f) { return At(BaseTime(f, 25)); }
  // The key's snapshot knots.
  static std::vector<Vector> Knots(const CKey* key) {
    GeData d;
    key->GetParameter(DescID(AUV_KEY_UVS), d, DESCFLAGS_GET_0);
    std::vector<Vector> out;
    if (const auto* s = static_cast<const SplineData*>(d.GetCustomDataType(CUSTOMDATATYPE_SPLINE)))
      for (Int32 i = 0; i < s->GetKnotCount(); ++i) out.push_back(s->GetKnot(i)->vPos);
    return out;
  }
  // The node key links to, resolved in the document.
  BaseList2D* Linked(const CKey* key) {
    GeData d;
    key->GetParameter(DescID(AUV_KEY_TAG), d, DESCFLAGS_GET_0);
    return d.GetLink(doc);
  }
  std::vector<std::string> MessageTexts() const {
    std::vector<std::string> out;
    for (const auto& m : host.Messages()) out.push_back(m.text);
    return out;
  }
};

inline void ExpectLayout(const std::vector<UVWStruct>& got, const std::vector<UVWStruct>& want,
                         const char* what) {
  ASSERT_EQ(got.size(), want.size()) << what;
  for (size_t i = 0; i < got.size(); ++i)
    for (Int32 k = 0; k < 4; ++k)
      EXPECT_NEAR((got[i][k] - want[i][k]).GetLength(), 0.0, 1e-12)
          << what << ": polygon " << i << " corner " << k;
}
