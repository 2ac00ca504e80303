#include "c4d_baseobject.h"

#include <algorithm>
#include <limits>
#include <unordered_map>

#include "c4d_canimation.h"

BaseObject::BaseObject(Int32 type) : BaseList2D(type), tags_(this), tracks_(this) {}

BaseObject* BaseObject::Alloc(Int32 type) {
  if (type == Opolygon) return PolygonObject::Alloc(0, 0);
  return new BaseObject(type);
}

void BaseObject::Free(BaseObject*& op) {
  delete op;
  op = nullptr;
}

Matrix BaseObject::GetMg() const {
  Matrix m = ml_;
  for (BaseObject* up = GetUp(); up; up = up->GetUp()) m = up->ml_ * m;
  return m;
}

void BaseObject::SetMg(const Matrix& m) {
  BaseObject* up = GetUp();
  if (!up) {
    ml_ = m;
    return;
  }
  // ml = inverse(parent mg) * m
  Matrix p = up->GetMg();
  Vector a = p.v1, b = p.v2, c = p.v3;
  Float det = Dot(a, Cross(b, c));
  if (det == 0.0) {
    ml_ = m;
    return;
  }
  Float f = 1.0 / det;
  Vector r1 = Cross(b, c) * f, r2 = Cross(c, a) * f, r3 = Cross(a, b) * f;  // rows of the inverse
  auto inv = [&](const Vector& v) { return Vector(Dot(r1, v), Dot(r2, v), Dot(r3, v)); };
  ml_ = Matrix(inv(m.off - p.off), inv(m.v1), inv(m.v2), inv(m.v3));
}

BaseTag* BaseObject::GetTag(Int32 type, Int32 nr) const {
  for (BaseTag* t = GetFirstTag(); t; t = t->GetNext()) {
    if (t->GetType() == type && nr-- == 0) return t;
  }
  return nullptr;
}

void BaseObject::InsertTag(BaseTag* tag, BaseTag* pred) {
  if (!tag) return;
  if (pred && pred->GetObject() == this)
    tag->InsertAfter(pred);
  else
    tag->InsertUnder(&tags_);
}

BaseTag* BaseObject::MakeTag(Int32 type, BaseTag* pred) {
  BaseTag* tag = type == Tuvw && GetType() == Opolygon
                     ? UVWTag::Alloc(static_cast<const PolygonObject*>(this)->GetPolygonCount())
                     : BaseTag::Alloc(type);
  InsertTag(tag, pred);
  return tag;
}

void BaseObject::KillTag(Int32 type, Int32 nr) {
  BaseTag* t = GetTag(type, nr);
  if (t) BaseTag::Free(t);
}

CTrack* BaseObject::GetFirstCTrack() const {
  return static_cast<CTrack*>(tracks_.GetFirst());
}

CTrack* BaseObject::FindCTrack(const DescID& id) const {
  for (CTrack* t = GetFirstCTrack(); t; t = t->GetNext())
    if (t->GetDescriptionID() == id) return t;
  return nullptr;
}

void BaseObject::InsertTrackSorted(CTrack* track) {
  if (!track || track->GetUp()) return;
  CTrack* pred = nullptr;
  for (CTrack* t = GetFirstCTrack(); t && !(track->GetDescriptionID() < t->GetDescriptionID());
       t = t->GetNext())
    pred = t;
  if (pred)
    track->InsertAfter(pred);
  else
    track->InsertUnder(&tracks_);
}

void BaseObject::CopyDataTo(BaseList2D* dest, Int32 flags, AliasTrans* trans) const {
  BaseList2D::CopyDataTo(dest, flags, trans);
  static_cast<BaseObject*>(dest)->ml_ = ml_;
}

void BaseObject::CopyHierarchyTo(BaseList2D* dest, Int32 flags, AliasTrans* trans) const {
  auto* d = static_cast<BaseObject*>(dest);
  for (const GeListNode* n = tags_.GetFirst(); n; n = n->GetNext()) {
    BaseList2D* c = static_cast<const BaseList2D*>(n)->GetClone(flags, trans);
    if (c) c->InsertUnderLast(&d->tags_);
  }
  if (!(flags & COPYFLAGS_NO_ANIMATION)) {
    for (const GeListNode* n = tracks_.GetFirst(); n; n = n->GetNext()) {
      BaseList2D* c = static_cast<const BaseList2D*>(n)->GetClone(flags, trans);
      if (c) c->InsertUnderLast(&d->tracks_);
    }
  }
  if (!(flags & COPYFLAGS_NO_HIERARCHY)) {
    for (BaseObject* ch = GetDown(); ch; ch = ch->GetNext()) {
      BaseList2D* c = ch->GetClone(flags, trans);
      if (c) c->InsertUnderLast(d);
    }
  }
}

namespace {
// An object's own data and its tags' data, matched back to the tags by identity.
struct ObjectState : NodeState {
  std::unique_ptr<NodeState> own;
  std::vector<std::pair<UInt64, std::unique_ptr<NodeState>>> tags;
};
}  // namespace

std::unique_ptr<NodeState> BaseObject::SaveState() const {
  auto s = std::make_unique<ObjectState>();
  s->own = BaseList2D::SaveState();
  for (BaseTag* t = GetFirstTag(); t; t = t->GetNext())
    s->tags.emplace_back(t->GetSerial(), t->SaveState());
  return s;
}

void BaseObject::RestoreState(const NodeState& state) {
  const auto* s = dynamic_cast<const ObjectState*>(&state);
  if (!s) return;
  BaseList2D::RestoreState(*s->own);
  std::unordered_map<UInt64, const NodeState*> bySerial;
  for (const auto& [serial, ts] : s->tags) bySerial.emplace(serial, ts.get());
  for (BaseTag* t = GetFirstTag(); t; t = t->GetNext()) {
    auto it = bySerial.find(t->GetSerial());
    if (it != bySerial.end()) t->RestoreState(*it->second);
  }
}

// --- PointObject ---

Bool PointObject::ResizePoints(Int32 count) {
  if (count < 0) return false;
  points_.resize(static_cast<size_t>(count));
  return true;
}

namespace {
void Bounds(const std::vector<Vector>& pts, Vector& mn, Vector& mx) {
  if (pts.empty()) {
    mn = mx = Vector();
    return;
  }
  mn = mx = pts[0];
  for (const Vector& p : pts) {
    mn = Vector(std::min(mn.x, p.x), std::min(mn.y, p.y), std::min(mn.z, p.z));
    mx = Vector(std::max(mx.x, p.x), std::max(mx.y, p.y), std::max(mx.z, p.z));
  }
}
}  // namespace

Vector PointObject::GetRad() const {
  Vector mn, mx;
  Bounds(points_, mn, mx);
  return (mx - mn) * 0.5;
}

Vector PointObject::GetMp() const {
  Vector mn, mx;
  Bounds(points_, mn, mx);
  return (mx + mn) * 0.5;
}

void PointObject::CopyDataTo(BaseList2D* dest, Int32 flags, AliasTrans* trans) const {
  BaseObject::CopyDataTo(dest, flags, trans);
  auto* d = static_cast<PointObject*>(dest);
  d->points_ = points_;
  pointSel_.CopyTo(&d->pointSel_);
}

// --- PolygonObject ---

PolygonObject* PolygonObject::Alloc(Int32 pcnt, Int32 vcnt) {
  if (pcnt < 0 || vcnt < 0) return nullptr;
  auto* op = new PolygonObject();
  op->ResizeObject(pcnt, vcnt);
  return op;
}

Bool PolygonObject::ResizeObject(Int32 pcnt, Int32 vcnt) {
  if (pcnt < 0 || vcnt < 0) return false;
  ResizePoints(pcnt);
  if (static_cast<size_t>(vcnt) != polys_.size()) ngons_.clear();
  polys_.resize(static_cast<size_t>(vcnt));
  return true;
}

Bool PolygonObject::SetNgons(std::vector<Ngon> ngons) {
  const Int32 n = GetPolygonCount();
  std::vector<char> used(static_cast<size_t>(n), 0);
  for (const Ngon& g : ngons) {
    if (g.polygons.empty()) return false;
    for (Int32 p : g.polygons) {
      if (p < 0 || p >= n || used[static_cast<size_t>(p)]) return false;
      used[static_cast<size_t>(p)] = 1;
    }
  }
  ngons_ = std::move(ngons);
  return true;
}

Bool PolygonObject::GetPolygonTranslationMap(Int32& ngoncnt, std::vector<Int32>& polymap) const {
  const Int32 n = GetPolygonCount();
  polymap.assign(static_cast<size_t>(n), -1);
  // N-gon faces first, in their order, then every remaining polygon in polygon order.
  Int32 face = 0;
  for (const Ngon& g : ngons_) {
    for (Int32 p : g.polygons) polymap[static_cast<size_t>(p)] = face;
    ++face;
  }
  for (Int32 p = 0; p < n; ++p)
    if (polymap[static_cast<size_t>(p)] < 0) polymap[static_cast<size_t>(p)] = face++;
  ngoncnt = face;
  return true;
}

Bool PolygonObject::GetNGonTranslationMap(Int32 ngoncnt, const std::vector<Int32>& polymap,
                                          std::vector<std::vector<Int32>>& ngons) const {
  if (ngoncnt < 0) return false;
  ngons.assign(static_cast<size_t>(ngoncnt), {});
  for (size_t p = 0; p < polymap.size(); ++p) {
    Int32 f = polymap[p];
    if (f < 0 || f >= ngoncnt) return false;
    ngons[static_cast<size_t>(f)].push_back(static_cast<Int32>(p));
  }
  return true;
}

void PolygonObject::CopyDataTo(BaseList2D* dest, Int32 flags, AliasTrans* trans) const {
  PointObject::CopyDataTo(dest, flags, trans);
  auto* d = static_cast<PolygonObject*>(dest);
  d->polys_ = polys_;
  polySel_.CopyTo(&d->polySel_);
  edgeSel_.CopyTo(&d->edgeSel_);
  uvPointSel_.CopyTo(&d->uvPointSel_);
  d->ngons_ = ngons_;
}

BaseSelect* hostrt::UVPointSelection(PolygonObject* op) {
  return op ? &op->uvPointSel_ : nullptr;
}
