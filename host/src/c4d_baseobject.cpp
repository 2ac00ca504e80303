#include "c4d_baseobject.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_map>

#include "c4d_canimation.h"

BaseObject::BaseObject(Int32 type) : BaseList2D(type), tags_(this), tracks_(this) {}

BaseObject* BaseObject::Alloc(Int32 type) {
  if (type == Opolygon) return PolygonObject::Alloc(0, 0);
  auto* op = new BaseObject(type);
  if (type == Oplane) {
    op->SetName("Plane");
    BaseContainer* bc = op->GetDataInstance();
    bc->SetFloat(PRIM_PLANE_WIDTH, 400.0);
    bc->SetFloat(PRIM_PLANE_HEIGHT, 400.0);
    bc->SetInt32(PRIM_PLANE_SUBW, 20);
    bc->SetInt32(PRIM_PLANE_SUBH, 20);
    bc->SetInt32(PRIM_AXIS, PRIM_AXIS_YP);
  }
  return op;
}

void BaseObject::GetColorProperties(ObjectColorProperties* co) const {
  if (!co) return;
  const BaseContainer* bc = GetDataInstance();
  const ObjectColorProperties preset;
  co->usecolor = bc->GetInt32(ID_BASEOBJECT_USECOLOR, preset.usecolor);
  co->color = bc->GetVector(ID_BASEOBJECT_COLOR, preset.color);
  co->xray = bc->GetBool(ID_BASEOBJECT_XRAY, preset.xray);
}

void BaseObject::SetColorProperties(ObjectColorProperties* co) {
  if (!co) return;
  BaseContainer* bc = GetDataInstance();
  bc->SetInt32(ID_BASEOBJECT_USECOLOR, co->usecolor);
  bc->SetVector(ID_BASEOBJECT_COLOR, co->color);
  bc->SetBool(ID_BASEOBJECT_XRAY, co->xray);
}

Bool BaseObject::GetParameter(Int32 id, GeData& t_data) const {
  if (id == ID_BASEOBJECT_REL_POSITION) {
    t_data = GeData(ml_.off);
    return true;
  }
  if (BaseList2D::GetParameter(id, t_data)) return true;
  // The colour properties read their defaults when they were never set.
  ObjectColorProperties co;
  GetColorProperties(&co);
  switch (id) {
    case ID_BASEOBJECT_USECOLOR:
      t_data = GeData(co.usecolor);
      return true;
    case ID_BASEOBJECT_COLOR:
      t_data = GeData(co.color);
      return true;
    case ID_BASEOBJECT_XRAY:
      t_data = GeData(Int32(co.xray ? 1 : 0));
      return true;
    default:
      return false;
  }
}

Bool BaseObject::SetParameter(Int32 id, const GeData& t_data) {
  if (id == ID_BASEOBJECT_REL_POSITION) {
    if (t_data.GetType() != DA_VECTOR) return false;
    ml_.off = t_data.GetVector();
    SetDirty(DIRTYFLAGS_DATA);
    return true;
  }
  return BaseList2D::SetParameter(id, t_data);
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
  return SaveState(nullptr, nullptr);
}

std::unique_ptr<NodeState> BaseObject::SaveState(const BaseTag* tag,
                                                 std::unique_ptr<NodeState> tagState) const {
  auto s = std::make_unique<ObjectState>();
  s->own = BaseList2D::SaveState();
  for (BaseTag* t = GetFirstTag(); t; t = t->GetNext())
    s->tags.emplace_back(t->GetSerial(),
                         tag && t == tag && tagState ? std::move(tagState) : t->SaveState());
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

namespace {

// The plane primitive: (subw + 1) × (subh + 1) points about the origin, subw × subh quads that
// face the axis, and UVs that span the unit square once.
PolygonObject* BuildPlane(const BaseContainer& bc) {
  auto finite = [](Float v) { return std::isfinite(v) ? v : 0.0; };
  const Float w = finite(bc.GetFloat(PRIM_PLANE_WIDTH)), h = finite(bc.GetFloat(PRIM_PLANE_HEIGHT));
  const Int32 sw = std::clamp(bc.GetInt32(PRIM_PLANE_SUBW, 1), 1, 1000);
  const Int32 sh = std::clamp(bc.GetInt32(PRIM_PLANE_SUBH, 1), 1, 1000);
  // Width and height directions for each axis the plane faces; their cross product is the
  // facing direction in the host's left-handed sense.
  Vector U(1, 0, 0), V(0, 0, 1);
  switch (bc.GetInt32(PRIM_AXIS, PRIM_AXIS_YP)) {
    case PRIM_AXIS_XP:
      U = Vector(0, 0, -1), V = Vector(0, 1, 0);
      break;
    case PRIM_AXIS_XN:
      U = Vector(0, 0, 1), V = Vector(0, 1, 0);
      break;
    case PRIM_AXIS_YN:
      U = Vector(1, 0, 0), V = Vector(0, 0, -1);
      break;
    case PRIM_AXIS_ZP:
      U = Vector(-1, 0, 0), V = Vector(0, 1, 0);
      break;
    case PRIM_AXIS_ZN:
      U = Vector(1, 0, 0), V = Vector(0, 1, 0);
      break;
    default:
      break;
  }
  PolygonObject* op = PolygonObject::Alloc((sw + 1) * (sh + 1), sw * sh);
  Vector* pts = op->GetPointW();
  for (Int32 j = 0; j <= sh; ++j)
    for (Int32 i = 0; i <= sw; ++i)
      pts[j * (sw + 1) + i] = U * (w * (Float(i) / sw - 0.5)) + V * (h * (Float(j) / sh - 0.5));
  auto* uvw = static_cast<UVWTag*>(op->MakeTag(Tuvw));
  const UVWHandle uv = uvw->GetDataAddressW();
  CPolygon* polys = op->GetPolygonW();
  for (Int32 j = 0; j < sh; ++j)
    for (Int32 i = 0; i < sw; ++i) {
      const Int32 p = j * sw + i, a = j * (sw + 1) + i;
      polys[p] = CPolygon(a, a + sw + 1, a + sw + 2, a + 1);
      const Float u0 = Float(i) / sw, u1 = Float(i + 1) / sw;
      const Float v0 = 1.0 - Float(j) / sh, v1 = 1.0 - Float(j + 1) / sh;
      UVWTag::Set(
          uv, p,
          UVWStruct(Vector(u0, v0, 0), Vector(u0, v1, 0), Vector(u1, v1, 0), Vector(u1, v0, 0)));
    }
  return op;
}

}  // namespace

bool hostrt::UpdateCache(BaseObject* op) {
  if (!op || op->GetType() != Oplane) return false;
  const UInt32 dirty = op->GetDirty(DIRTYFLAGS_DATA);
  if (op->cache_ && op->cacheDirty_ == dirty) return false;
  op->cache_.reset(BuildPlane(*op->GetDataInstance()));
  op->cacheDirty_ = dirty;
  return true;
}
