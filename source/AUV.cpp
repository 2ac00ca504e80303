#include "AUV.h"

#include <algorithm>
#include <limits>

#include "CT_AUV.h"
#include "c4d_basedocument.h"
#include "c4d_description.h"
#include "c4d_general.h"
#include "c4d_resource.h"
#include "c4d_symbols.h"
#include "customgui_splinecontrol.h"
#include "main.h"

Int32 keyDescriptionId = 0;

namespace {

const char* const kSelectPolygonObject = "Select Polygon Object.";
const char* const kNoUVTag = "There is no UVtag";

// The UVW tag that key links to, when it is one of op's own UVW tags; else nullptr.
UVWTag* LinkedTag(const CKey* key, const PolygonObject* op, const BaseDocument* doc) {
  GeData link;
  if (!key->GetParameter(DescID(AUV_KEY_TAG), link, DESCFLAGS_GET_0)) return nullptr;
  auto* tag = dynamic_cast<UVWTag*>(link.GetLink(doc));
  return tag && tag->GetObject() == op ? tag : nullptr;
}

// The key's snapshot; value keeps it alive. nullptr when the key holds no spline data.
const SplineData* Snapshot(const CKey* key, GeData& value) {
  if (!key->GetParameter(DescID(AUV_KEY_UVS), value, DESCFLAGS_GET_0)) return nullptr;
  return static_cast<const SplineData*>(value.GetCustomDataType(CUSTOMDATATYPE_SPLINE));
}

// Polygons that a snapshot may write: those the object and the tag both have.
Int32 WritablePolygons(const PolygonObject* op, const UVWHandle& h) {
  return std::min(op->GetPolygonCount(), h.count);
}

}  // namespace

UVWTag* MorphTag(const BaseObject* op) {
  if (!op) return nullptr;
  BaseTag* first = nullptr;
  for (BaseTag* t = op->GetFirstTag(); t; t = t->GetNext()) {
    if (t->GetType() != Tuvw) continue;
    if (t->GetBit(BIT_ACTIVE)) return static_cast<UVWTag*>(t);
    if (!first) first = t;
  }
  return static_cast<UVWTag*>(first);
}

Bool FillMorphKey(CKey* key, const PolygonObject* op, UVWTag* tag) {
  if (!key || !op || !tag) return false;
  const Int32 polygons = op->GetPolygonCount();
  if (polygons > std::numeric_limits<Int32>::max() / 4) return false;
  const ConstUVWHandle uvs = tag->GetDataAddressR();
  SplineData* spline = SplineData::Alloc();
  if (!spline) return false;
  if (!spline->ResizeKnots(4 * polygons)) {
    SplineData::Free(spline);
    return false;
  }
  CustomSplineKnot* knots = spline->GetKnots();
  for (Int32 i = 0; i < polygons; ++i) {
    UVWStruct uv;
    UVWTag::Get(uvs, i, uv);  // a tag shorter than the object reads zero corners
    for (Int32 k = 0; k < 4; ++k) knots[4 * i + k].vPos = uv[k];
  }
  key->SetParameter(DescID(AUV_KEY_UVS), GeData(CUSTOMDATATYPE_SPLINE, *spline), DESCFLAGS_SET_0);
  SplineData::Free(spline);

  BaseLink* link = BaseLink::Alloc();
  if (!link) return false;
  link->SetLink(tag);
  key->SetParameter(DescID(AUV_KEY_TAG), GeData(*link), DESCFLAGS_SET_0);
  BaseLink::Free(link);
  return true;
}

Bool AuvTrack::FillKey(CTrack* track, BaseDocument* doc, BaseList2D* bl, CKey* key) {
  (void)track;
  (void)doc;
  if (!key) return false;
  if (!bl || bl->GetType() != Opolygon) {
    key->Remove();
    MessageDialog(kSelectPolygonObject);
    return false;
  }
  auto* op = static_cast<PolygonObject*>(bl);
  UVWTag* tag = MorphTag(op);
  if (!tag) {
    MessageDialog(kNoUVTag);
    return false;
  }
  return FillMorphKey(key, op, tag);
}

Bool AuvTrack::Animate(CTrack* track, const CAnimInfo* info, Bool* chg, void* data) {
  (void)data;
  if (!track || !info || (!info->k1 && !info->k2)) return true;
  BaseList2D* node = info->op;
  if (!node || !node->IsInstanceOf(Obase)) return true;
  if (node->GetType() != Opolygon) {
    MessageDialog(kSelectPolygonObject);
    return false;
  }
  auto* op = static_cast<PolygonObject*>(node);
  const BaseDocument* doc = info->doc ? info->doc : op->GetDocument();
  const Int32 fps = doc ? doc->GetFps() : 0;
  const Int32 frame = info->otime.GetFrame(fps);
  CCurve* curve = track->GetCurve(CCURVE_CURVE, true);
  if (!curve) return false;

  // A key exactly at the time: its snapshot as it is.
  if (const CKey* exact = curve->FindKey(info->otime)) {
    UVWTag* tag = LinkedTag(exact, op, doc);
    if (!tag) return false;
    const UVWHandle h = tag->GetDataAddressW();
    GeData value;
    const SplineData* snap = Snapshot(exact, value);
    if (!snap) return false;
    const CustomSplineKnot* knots = snap->GetKnots();
    const Int32 records = std::min(snap->GetKnotCount() / 4, WritablePolygons(op, h));
    for (Int32 i = 0; i < records; ++i)
      UVWTag::Set(h, i,
                  UVWStruct(knots[4 * i].vPos, knots[4 * i + 1].vPos, knots[4 * i + 2].vPos,
                            knots[4 * i + 3].vPos));
    op->Message(MSG_UPDATE);
    if (chg) *chg = true;
    return true;
  }

  // Between two keys: a blend in whole frames, written into the first key's tag.
  const CKey* k1 = info->k1;
  const CKey* k2 = info->k2;
  if (!k1 || !k2 || k1 == k2) return true;
  const Int32 f1 = k1->GetTime().GetFrame(fps);
  if (frame <= f1) return true;
  UVWTag* tag = LinkedTag(k1, op, doc);
  if (!tag || !LinkedTag(k2, op, doc)) return false;
  const UVWHandle h = tag->GetDataAddressW();
  const Int32 f2 = k2->GetTime().GetFrame(fps);
  // Keys in one frame have no frames between them: the first key's snapshot stands.
  const Float t = f2 == f1 ? 0.0 : Float(frame - f1) / Float(f2 - f1);
  GeData v1, v2;
  const SplineData* s1 = Snapshot(k1, v1);
  const SplineData* s2 = Snapshot(k2, v2);
  if (!s1 || !s2) return false;
  if (s1->GetKnotCount() != s2->GetKnotCount()) return true;
  const CustomSplineKnot* a = s1->GetKnots();
  const CustomSplineKnot* b = s2->GetKnots();
  const Int32 records = std::min(s1->GetKnotCount() / 4, WritablePolygons(op, h));
  for (Int32 i = 0; i < records; ++i) {
    UVWStruct uv;
    for (Int32 k = 0; k < 4; ++k) {
      const Vector& p = a[4 * i + k].vPos;
      uv[k] = p + (b[4 * i + k].vPos - p) * t;
    }
    UVWTag::Set(h, i, uv);
  }
  op->Message(MSG_UPDATE);
  if (chg) *chg = true;
  return true;
}

Bool AuvTrack::TrackInformation(CTrack* track, BaseDocument* doc, CKey* key, String* str,
                                Bool set) {
  (void)doc;
  if (!set && key && str && track) {
    const BaseList2D* owner = track->GetObject();
    *str = (owner ? owner->GetName() : String()) + " UVmorph";
  }
  return true;
}

Bool AuvTrack::KeyGetDDescription(CTrack* track, CKey* node, Description* description,
                                  DESCFLAGS_DESC& flags) {
  (void)track;
  (void)node;
  if (!(flags & DESCFLAGS_DESC_LOADED) && description &&
      description->LoadDescription(keyDescriptionId))
    flags = static_cast<DESCFLAGS_DESC>(flags | DESCFLAGS_DESC_LOADED);
  return (flags & DESCFLAGS_DESC_LOADED) != 0;
}

Bool AuvTrack::KeyGetDEnabling(CTrack* track, CKey* node, const DescID& id, const GeData& t_data,
                               DESCFLAGS_ENABLE flags, const BaseContainer* itemdesc) {
  (void)track;
  (void)node;
  (void)t_data;
  (void)flags;
  (void)itemdesc;
  const Int32 param = id[0].id;
  return !(param == AUV_KEY_UVS || param == AUV_KEY_TAG);
}

Bool RegisterAuvTrack() {
  keyDescriptionId = GetNewDescriptionId();
  if (keyDescriptionId != 0 && !RegisterDescription(keyDescriptionId, "CT_AUV")) return false;
  return RegisterCTrackPlugin(ID_AUVTRACK, GeLoadString(IDS_UVMORPH), 0, AuvTrack::Alloc,
                              "CTblinker", 0);
}
