#include "runtime/animation.h"

#include "c4d_basetag.h"
#include "c4d_description.h"
#include "customgui_splinecontrol.h"
#include "runtime/dialog_view.h"
#include "runtime/registry.h"

namespace hostrt {

void KeysAround(const CCurve* curve, const BaseTime& t, const CKey*& k1, const CKey*& k2) {
  k1 = k2 = nullptr;
  if (!curve) return;
  for (const CKey* k = curve->GetFirstKey(); k; k = k->GetNext()) {
    if (k->GetTime() <= t)
      k1 = k;  // keys are in time order: the last one is the latest
    else if (!k2 || k->GetTime() == k2->GetTime())
      k2 = k;  // the earliest time after t, and of its keys the last
    else
      break;
  }
  if (!k1) k1 = k2;
  if (!k2) k2 = k1;
}

CAnimInfo AnimInfoAt(BaseDocument& doc, BaseList2D* op, CTrack& track) {
  CAnimInfo info;
  info.doc = &doc;
  info.op = op;
  info.otime = doc.GetTime();
  info.xtime = info.otime.Get();
  KeysAround(track.GetCurve(CCURVE_CURVE, false), info.otime, info.k1, info.k2);
  if (info.k1 && info.k2 && info.k1 != info.k2) {
    const Float t1 = info.k1->GetTime().Get(), t2 = info.k2->GetTime().Get();
    if (t2 > t1) info.rel = (info.xtime - t1) / (t2 - t1);
  }
  return info;
}

CTrack* AddTrack(BaseDocument& doc, BaseObject& op, const DescID& id, std::string& why) {
  if (op.FindCTrack(id)) {
    why = op.GetName() + " already has track " + std::to_string(id[0].id);
    return nullptr;
  }
  CTrack* track = CTrack::Alloc(&op, id);
  if (!track) {
    why = "no track plug-in " + std::to_string(id[0].id);
    return nullptr;
  }
  doc.StartUndo();
  op.InsertTrackSorted(track);
  doc.AddUndo(UNDOTYPE_NEW, track);
  doc.EndUndo();
  return track;
}

CKey* AddKey(BaseDocument& doc, CTrack& track, const BaseTime& time, std::string& why) {
  CCurve* curve = track.GetCurve();
  if (!curve) {
    why = "the track has no curve";
    return nullptr;
  }
  CKey* key = curve->AddKey(time);
  if (!key) {
    why = "no memory for a key";
    return nullptr;
  }
  const bool filled = track.FillKey(&doc, track.GetObject(), key);
  if (!filled || key->GetCurve() != curve) {
    key->Remove();
    CKey::Free(key);
    why = "the track did not fill the key";
    return nullptr;
  }
  doc.StartUndo();
  doc.AddUndo(UNDOTYPE_NEW, key);
  doc.EndUndo();
  return key;
}

namespace {

// A linked node as the attribute manager names it: a tag by its kind and place on its object.
std::string LinkText(const GeData& d, const BaseDocument& doc) {
  BaseList2D* node = d.GetLink(&doc);
  if (!node) return d.GetBaseLink() && d.GetBaseLink()->GetSerial() ? "(missing)" : "none";
  auto* tag = dynamic_cast<BaseTag*>(node);
  BaseObject* op = tag ? tag->GetObject() : nullptr;
  if (!op)
    return node->GetName().empty() ? "node " + std::to_string(node->GetType()) : node->GetName();
  Int32 nr = 0;
  for (BaseTag* t = op->GetFirstTag(); t && t != tag; t = t->GetNext())
    nr += t->GetType() == tag->GetType();
  std::string kind = tag->GetType() == Tuvw ? "UVW tag" : "tag " + std::to_string(tag->GetType());
  if (!tag->GetName().empty()) kind += " \"" + tag->GetName() + "\"";
  return kind + " " + std::to_string(nr) + " of " + op->GetName();
}

std::string ValueText(const GeData& d, Int32 type, const BaseDocument& doc) {
  if (type == CUSTOMDATATYPE_SPLINE) {
    const auto* s = static_cast<const SplineData*>(d.GetCustomDataType(CUSTOMDATATYPE_SPLINE));
    return s ? std::to_string(s->GetKnotCount()) + " knots" : "none";
  }
  switch (d.GetType()) {
    case DA_NIL:
      return "none";
    case DA_LONG:
    case DA_LLONG:
      return std::to_string(d.GetInt64());
    case DA_REAL:
      return FormatNumber(d.GetFloat());
    case DA_VECTOR: {
      const Vector v = d.GetVector();
      return "(" + FormatNumber(v.x) + ", " + FormatNumber(v.y) + ", " + FormatNumber(v.z) + ")";
    }
    case DA_STRING:
      return "\"" + d.GetString() + "\"";
    case DA_ALIASLINK:
      return LinkText(d, doc);
    default:
      return "(data of type " + std::to_string(d.GetType()) + ")";
  }
}

}  // namespace

std::vector<KeyAttribute> KeyAttributes(BaseDocument& doc, CTrack& track, CKey& key) {
  std::vector<KeyAttribute> out;
  auto* data = dynamic_cast<CTrackData*>(track.GetNodeData());
  if (!data) return out;
  Description desc;
  DESCFLAGS_DESC flags = DESCFLAGS_DESC_0;
  if (!data->KeyGetDDescription(&track, &key, &desc, flags) || !(flags & DESCFLAGS_DESC_LOADED))
    return out;
  for (const DescEntry& e : desc.GetEntries()) {
    if (e.type == DTYPE_GROUP || e.type == DTYPE_SEPARATOR) continue;
    GeData value;
    key.GetParameter(DescID(e.id), value, DESCFLAGS_GET_0);
    KeyAttribute a;
    a.id = e.id;
    a.name = e.props.GetString(DESC_NAME, e.ident);
    a.value = ValueText(value, e.type, doc);
    a.readOnly =
        !data->KeyGetDEnabling(&track, &key, DescID(e.id), value, DESCFLAGS_ENABLE_0, &e.props);
    out.push_back(std::move(a));
  }
  return out;
}

std::string DescribeKeys(BaseDocument& doc, CTrack& track) {
  std::string out;
  const CCurve* curve = track.GetCurve(CCURVE_CURVE, false);
  Int32 i = 0;
  for (CKey* k = curve ? curve->GetFirstKey() : nullptr; k; k = k->GetNext(), ++i) {
    const BaseTime t = k->GetTime();
    out += "key " + std::to_string(i) + " at frame " + std::to_string(t.GetFrame(doc.GetFps())) +
           " (" + FormatNumber(t.Get()) + " s)";
    String info;
    if (track.TrackInformation(&doc, k, &info, false)) out += ": " + info;
    out += "\n";
    for (const KeyAttribute& a : KeyAttributes(doc, track, *k))
      out += "  " + a.name + ": " + a.value + (a.readOnly ? " (read-only)" : "") + "\n";
  }
  return out;
}

}  // namespace hostrt
