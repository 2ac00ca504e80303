#include "report.h"

#include <cstring>
#include <functional>

#include "c4d_baseobject.h"
#include "c4d_basetag.h"
#include "c4d_canimation.h"
#include "c4d_gui.h"
#include "runtime/dialog_model.h"
#include "runtime/dialog_view.h"

namespace pelterra {

namespace {

UInt64 Mix(UInt64 h, double d) {
  UInt64 bits = 0;
  std::memcpy(&bits, &d, sizeof bits);
  return (h ^ bits) * 1099511628211ull;
}

UInt64 Fingerprint(const Vector& v, UInt64 h) {
  return Mix(Mix(Mix(h, v.x), v.y), v.z);
}

void Objects(BaseObject* op, std::vector<Snapshot::Object>& out) {
  for (; op; op = op->GetNext()) {
    Snapshot::Object o;
    o.serial = op->GetSerial();
    o.name = op->GetName();
    for (BaseTag* t = op->GetFirstTag(); t; t = t->GetNext()) {
      ++o.tags;
      if (t->GetType() != Tuvw) continue;
      const auto* tag = static_cast<const UVWTag*>(t);
      const ConstUVWHandle h = tag->GetDataAddressR();
      std::vector<UInt64> fp(static_cast<size_t>(h.count));
      for (Int32 p = 0; p < h.count; ++p) {
        UVWStruct s;
        UVWTag::Get(h, p, s);
        UInt64 f = 1469598103934665603ull;
        for (Int32 k = 0; k < 4; ++k) f = Fingerprint(s[k], f);
        fp[static_cast<size_t>(p)] = f;
      }
      o.uvs.push_back(std::move(fp));
    }
    for (CTrack* t = op->GetFirstCTrack(); t; t = t->GetNext()) {
      ++o.tracks;
      if (CCurve* c = t->GetCurve(CCURVE_CURVE, false)) o.keys += c->GetKeyCount();
    }
    if (auto* po = dynamic_cast<PolygonObject*>(op)) {
      UInt64 f = 1469598103934665603ull;
      for (Int32 i = 0; i < po->GetPointCount(); ++i) f = Fingerprint(po->GetPointR()[i], f);
      o.points = f;
      o.polygons = *po->GetPolygonS();
      o.uvPoints = *hostrt::UVPointSelection(po);
      o.points2 = *po->GetPointS();
      o.edges = *po->GetEdgeS();
    }
    out.push_back(std::move(o));
    Objects(op->GetDown(), out);
  }
}

void Controls(const hostrt::DialogControl& c, std::map<Int32, Snapshot::Control>& out) {
  for (const auto& ch : c.children) {
    if (ch->id != 0 && !out.count(ch->id))
      out[ch->id] = {hostrt::ValueText(*ch), ch->title, ch->IsVisible(), ch->enabled};
    Controls(*ch, out);
  }
}

std::string Ranges(const BaseSelect& s) {
  std::string t;
  for (Int32 seg = 0; seg < s.GetSegments(); ++seg) {
    Int32 a = 0, b = 0;
    if (!s.GetRange(seg, LIMIT_MAX, &a, &b)) continue;
    if (!t.empty()) t += ",";
    t += a == b ? std::to_string(a) : std::to_string(a) + "-" + std::to_string(b);
  }
  return t.empty() ? "none" : t;
}

// "10110 and 10111", or "24 controls: 10040, 10050, 10051 ..."
std::string Some(const std::vector<Int32>& ids) {
  if (ids.size() <= 3) {
    std::string out;
    for (size_t i = 0; i < ids.size(); ++i)
      out += (i == 0 ? "" : i + 1 == ids.size() ? " and " : ", ") + std::to_string(ids[i]);
    return out;
  }
  return std::to_string(ids.size()) + " controls: " + std::to_string(ids[0]) + ", " +
         std::to_string(ids[1]) + ", " + std::to_string(ids[2]) + " ...";
}

std::string ModeName(Int32 mode) {
  switch (mode) {
    case Mobject:
      return "object";
    case Mpoints:
      return "points";
    case Medges:
      return "edges";
    case Mpolygons:
      return "polygons";
    case Mmodel:
      return "model";
    case Muvpoints:
      return "uvpoints";
    case Muvpolygons:
      return "uvpolygons";
    default:
      return std::to_string(mode);
  }
}

}  // namespace

Snapshot TakeSnapshot(BaseDocument* doc, const GeDialog* dialog) {
  Snapshot s;
  if (doc) {
    s.hasDocument = true;
    s.mode = doc->GetMode();
    s.active = doc->GetActiveObject() ? doc->GetActiveObject()->GetSerial() : 0;
    Objects(doc->GetFirstObject(), s.objects);
  }
  if (dialog && dialog->GetModel()) {
    s.dialogOpen = true;
    Controls(dialog->GetModel()->root, s.controls);
  }
  return s;
}

std::string ActionReport::Line(const std::string& ownValue) const {
  std::string line = subject + ": ";
  if (!changes.empty()) {
    for (size_t i = 0; i < changes.size(); ++i) line += (i ? "; " : "") + changes[i];
  } else if (verb == "click" || verb == "close") {
    line += "nothing changed (" + state + ")";
  } else {
    line += "already " + ownValue;
  }
  return line;
}

ActionReport Describe(const std::string& verb, Int32 id, const Snapshot& before,
                      const Snapshot& after, BaseDocument* doc) {
  ActionReport r;
  r.verb = verb;
  r.subject = id ? std::to_string(id) : std::string("dialog");

  // The control itself.
  if (before.dialogOpen && after.dialogOpen) {
    auto b = before.controls.find(id), a = after.controls.find(id);
    if (b != before.controls.end() && a != after.controls.end() &&
        a->second.value != b->second.value) {
      r.ownValueChanged = true;
      r.changes.push_back(a->second.value.empty() ? "changed" : "set to " + a->second.value);
    }
  }

  // The document.
  if (after.mode != before.mode) r.changes.push_back("mode " + ModeName(after.mode));
  std::map<UInt64, const Snapshot::Object*> old;
  for (const Snapshot::Object& o : before.objects) old[o.serial] = &o;
  for (const Snapshot::Object& o : after.objects) {
    auto it = old.find(o.serial);
    if (it == old.end()) {
      r.changes.push_back("object " + o.name + " added");
      continue;
    }
    const Snapshot::Object& was = *it->second;
    old.erase(it);
    const std::string of = o.serial == after.active ? "" : " of " + o.name;
    Int64 changed = 0;
    for (size_t t = 0; t < o.uvs.size(); ++t) {
      const std::vector<UInt64>* w = t < was.uvs.size() ? &was.uvs[t] : nullptr;
      for (size_t p = 0; p < o.uvs[t].size(); ++p)
        changed += !w || p >= w->size() || (*w)[p] != o.uvs[t][p];
    }
    if (changed)
      r.changes.push_back("UVs of " + std::to_string(changed) + " polygon" +
                          (changed == 1 ? "" : "s") + of + " changed");
    if (o.points != was.points) r.changes.push_back("points" + of + " moved");
    if (!(o.polygons == was.polygons))
      r.changes.push_back("polygon selection" + of + " " + Ranges(o.polygons));
    if (!(o.uvPoints == was.uvPoints))
      r.changes.push_back("UV point selection" + of + " " + Ranges(o.uvPoints));
    if (!(o.points2 == was.points2))
      r.changes.push_back("point selection" + of + " " + Ranges(o.points2));
    if (!(o.edges == was.edges)) r.changes.push_back("edge selection" + of + " " + Ranges(o.edges));
    if (o.tags != was.tags)
      r.changes.push_back(std::to_string(std::abs(o.tags - was.tags)) + " tag(s) " +
                          (o.tags > was.tags ? "added to " : "removed from ") + o.name);
    if (o.tracks != was.tracks)
      r.changes.push_back(std::to_string(std::abs(o.tracks - was.tracks)) + " track(s) " +
                          (o.tracks > was.tracks ? "added to " : "removed from ") + o.name);
    if (o.keys != was.keys)
      r.changes.push_back(std::to_string(std::abs(o.keys - was.keys)) + " key(s) " +
                          (o.keys > was.keys ? "added to " : "removed from ") + o.name);
  }
  for (const auto& [serial, o] : old) r.changes.push_back("object " + o->name + " removed");
  if (after.active != before.active) {
    std::string name = "none";
    for (const Snapshot::Object& o : after.objects)
      if (o.serial == after.active) name = o.name;
    r.changes.push_back("active object " + name);
  }

  // The rest of the dialog.
  if (before.dialogOpen && !after.dialogOpen) r.changes.push_back("window closed");
  if (before.dialogOpen && after.dialogOpen) {
    std::vector<Int32> shown, hidden, enabled, disabled;
    for (const auto& [cid, a] : after.controls) {
      auto it = before.controls.find(cid);
      if (it == before.controls.end()) continue;
      const Snapshot::Control& b = it->second;
      if (cid != id && a.value != b.value)
        r.changes.push_back(std::to_string(cid) + " = " + a.value);
      if (a.label != b.label)
        r.changes.push_back((cid == id ? std::string() : std::to_string(cid) + " ") + "label \"" +
                            a.label + "\"");
      if (a.visible != b.visible) (a.visible ? shown : hidden).push_back(cid);
      if (a.enabled != b.enabled) (a.enabled ? enabled : disabled).push_back(cid);
    }
    if (!shown.empty()) r.changes.push_back("shows " + Some(shown));
    if (!hidden.empty()) r.changes.push_back("hides " + Some(hidden));
    if (!enabled.empty()) r.changes.push_back("enables " + Some(enabled));
    if (!disabled.empty()) r.changes.push_back("disables " + Some(disabled));
  }

  // What the user needs to see when nothing changed.
  r.state = "mode: " + ModeName(after.mode);
  BaseObject* op = doc ? doc->GetActiveObject() : nullptr;
  if (auto* po = dynamic_cast<PolygonObject*>(op)) {
    r.state += "; selected UV polygons: " + std::to_string(po->GetPolygonS()->GetCount());
    if (after.mode == Muvpoints)
      r.state +=
          "; selected UV points: " + std::to_string(hostrt::UVPointSelection(po)->GetCount());
  } else {
    r.state += op ? "; the active object is not a polygon object" : "; no active object";
  }
  return r;
}

}  // namespace pelterra
