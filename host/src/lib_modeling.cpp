#include "lib_modeling.h"

#include <cstdint>
#include <limits>
#include <vector>

#include "c4d_baseobject.h"
#include "c4d_basetag.h"

struct Modeling::Impl {
  PolygonObject* op = nullptr;
  UInt64 serial = 0;
  // The mesh as taken.
  std::vector<CPolygon> polys;
  Int32 originalPoints = 0;
  std::vector<PolygonObject::Ngon> ngons;
  // Points: the original ones, then those added.
  std::vector<Vector> points;
  std::vector<std::uint8_t> pointDead;
  std::vector<Int32> uses;  // corners of live faces at each point
  // Faces: the original ones (n-gons first, then the other polygons), then those added.
  std::vector<Int32> polyFace;                    // original polygon -> face
  std::vector<Int32> faceStart, facePolys;        // original face -> its polygons
  std::vector<Int32> addedStart{0}, addedPoints;  // added face -> its points
  std::vector<std::uint8_t> faceDead;

  Int32 OriginalFaces() const { return static_cast<Int32>(faceStart.size()) - 1; }
  Int32 Faces() const { return static_cast<Int32>(faceDead.size()); }

  // The object taken, still alive: checked where the object itself is used.
  bool Owns(const BaseObject* o) const {
    return op && o == op && GeListNode::FindBySerial(serial) == op;
  }
  // The object taken: enough where only the kernel's copy is used (one call per element).
  bool Names(const BaseObject* o) const { return op && o == op; }
  bool ValidPoint(Int32 i) const { return i >= 0 && i < originalPoints; }
  // The corners of original polygon p that count as uses: a, b, c, and d for a quad.
  template <typename F>
  void Corners(const CPolygon& c, F&& f) const {
    for (Int32 k = 0; k < (c.c == c.d ? 3 : 4); ++k)
      if (ValidPoint(c[k])) f(c[k]);
  }

  void Take(PolygonObject* o) {
    op = o;
    serial = o->GetSerial();
    const Int32 n = o->GetPolygonCount();
    polys.assign(o->GetPolygonR(), o->GetPolygonR() + n);
    originalPoints = o->GetPointCount();
    points.assign(o->GetPointR(), o->GetPointR() + originalPoints);
    pointDead.assign(static_cast<size_t>(originalPoints), 0);
    uses.assign(static_cast<size_t>(originalPoints), 0);
    ngons = o->GetNgons();
    Int32 faces = 0;
    o->GetPolygonTranslationMap(faces, polyFace);
    faceStart.assign(static_cast<size_t>(faces) + 1, 0);
    for (Int32 f : polyFace) ++faceStart[static_cast<size_t>(f) + 1];
    for (size_t f = 0; f < static_cast<size_t>(faces); ++f) faceStart[f + 1] += faceStart[f];
    facePolys.assign(static_cast<size_t>(n), 0);
    std::vector<Int32> fill(faceStart.begin(), faceStart.end() - 1);
    for (Int32 p = 0; p < n; ++p)
      facePolys[static_cast<size_t>(
          fill[static_cast<size_t>(polyFace[static_cast<size_t>(p)])]++)] = p;
    for (const CPolygon& c : polys) Corners(c, [&](Int32 i) { ++uses[static_cast<size_t>(i)]; });
    addedStart.assign(1, 0);
    addedPoints.clear();
    faceDead.assign(static_cast<size_t>(faces), 0);
  }
};

Modeling::Modeling() : impl_(std::make_unique<Impl>()) {}
Modeling::~Modeling() = default;

Modeling* Modeling::Alloc() {
  return new Modeling();
}

void Modeling::Free(Modeling*& m) {
  delete m;
  m = nullptr;
}

Bool Modeling::InitObject(BaseObject* op, Int32 flags) {
  (void)flags;
  auto* po = dynamic_cast<PolygonObject*>(op);
  if (!po || po->GetType() != Opolygon) return false;
  impl_->Take(po);
  return true;
}

Int32 Modeling::AddPoint(BaseObject* op, const Vector& p) {
  Impl& m = *impl_;
  if (!m.Names(op) || m.points.size() >= static_cast<size_t>(std::numeric_limits<Int32>::max()))
    return NOTOK;
  m.points.push_back(p);
  m.pointDead.push_back(0);
  m.uses.push_back(0);
  return static_cast<Int32>(m.points.size() - 1);
}

Int32 Modeling::CreateNgon(BaseObject* op, const Int32* padr, Int32 cnt, Int32 flags) {
  (void)flags;
  Impl& m = *impl_;
  if (!m.Names(op) || !padr || cnt < 3 || m.Faces() == std::numeric_limits<Int32>::max())
    return NOTOK;
  for (Int32 k = 0; k < cnt; ++k) {
    const Int32 i = padr[k];
    if (i < 0 || static_cast<size_t>(i) >= m.points.size() || m.pointDead[static_cast<size_t>(i)])
      return NOTOK;
  }
  for (Int32 k = 0; k < cnt; ++k) {
    m.addedPoints.push_back(padr[k]);
    ++m.uses[static_cast<size_t>(padr[k])];
  }
  m.addedStart.push_back(static_cast<Int32>(m.addedPoints.size()));
  m.faceDead.push_back(0);
  return m.Faces() - 1;
}

Bool Modeling::DeleteNgon(BaseObject* op, Int32 id, Bool points) {
  Impl& m = *impl_;
  if (!m.Names(op) || id < 0 || id >= m.Faces() || m.faceDead[static_cast<size_t>(id)]) return false;
  m.faceDead[static_cast<size_t>(id)] = 1;
  auto release = [&](Int32 i) {
    if (--m.uses[static_cast<size_t>(i)] == 0 && points) m.pointDead[static_cast<size_t>(i)] = 1;
  };
  if (id < m.OriginalFaces()) {
    for (Int32 k = m.faceStart[static_cast<size_t>(id)];
         k < m.faceStart[static_cast<size_t>(id) + 1]; ++k)
      m.Corners(m.polys[static_cast<size_t>(m.facePolys[static_cast<size_t>(k)])], release);
  } else {
    const size_t a = static_cast<size_t>(id - m.OriginalFaces());
    for (Int32 k = m.addedStart[a]; k < m.addedStart[a + 1]; ++k)
      release(m.addedPoints[static_cast<size_t>(k)]);
  }
  return true;
}

Bool Modeling::GetOriginalEdgePoints(BaseObject* op, Int32 edge, Int32& p1, Int32& p2) const {
  const Impl& m = *impl_;
  if (!m.Names(op) || edge < 0 || edge / 4 >= static_cast<Int32>(m.polys.size())) return false;
  const CPolygon& c = m.polys[static_cast<size_t>(edge / 4)];
  const Int32 side = edge % 4;
  p1 = c[side];
  p2 = side == 3 ? c.a : side == 2 && c.c == c.d ? c.a : c[side + 1];
  return true;
}

namespace {

// A selection's elements below limit, mapped through map (-1 drops an element), into a fresh
// selection. map must keep the order of the elements it keeps.
void Remap(BaseSelect* sel, Int32 limit, Int32 per, const std::vector<Int32>& map) {
  BaseSelect out;
  Int32 a = 0, b = 0;
  for (Int32 seg = 0; sel->GetRange(seg, limit, &a, &b); ++seg)
    for (Int32 i = a < 0 ? 0 : a; i <= b; ++i) {
      const Int32 to = map[static_cast<size_t>(i / per)];
      if (to >= 0) out.Select(to * per + i % per);
    }
  out.CopyTo(sel);
}

}  // namespace

Bool Modeling::Commit(BaseObject* op, Int32 flags, BaseObject* cobj) {
  (void)cobj;
  Impl& m = *impl_;
  if (!op) op = m.op;
  if (!m.Owns(op)) return false;
  PolygonObject* o = m.op;

  // Points: the live ones in order.
  std::vector<Int32> pointMap(m.points.size(), -1);
  Int32 pointCount = 0;
  for (size_t i = 0; i < m.points.size(); ++i)
    if (!m.pointDead[i]) pointMap[i] = pointCount++;
  // Added faces name live points only; an original polygon's index outside the original points
  // stays as it was.
  auto mapPoint = [&](Int32 i) { return pointMap[static_cast<size_t>(i)]; };
  auto mapOriginal = [&](Int32 i) {
    return m.ValidPoint(i) ? pointMap[static_cast<size_t>(i)] : i;
  };

  // Polygons: the kept ones in order, then those of the added faces.
  const Int32 original = static_cast<Int32>(m.polys.size());
  std::vector<Int32> polyMap(static_cast<size_t>(original), -1);
  std::vector<CPolygon> polys;
  std::vector<Int32> source;  // new polygon -> original polygon, or -1
  const size_t atMost = m.polys.size() + m.addedPoints.size();
  polys.reserve(atMost);
  source.reserve(atMost);
  for (Int32 p = 0; p < original; ++p) {
    if (m.faceDead[static_cast<size_t>(m.polyFace[static_cast<size_t>(p)])]) continue;
    polyMap[static_cast<size_t>(p)] = static_cast<Int32>(polys.size());
    const CPolygon& c = m.polys[static_cast<size_t>(p)];
    polys.emplace_back(mapOriginal(c.a), mapOriginal(c.b), mapOriginal(c.c), mapOriginal(c.d));
    source.push_back(p);
  }
  std::vector<PolygonObject::Ngon> ngons;
  for (const PolygonObject::Ngon& g : m.ngons) {
    if (g.polygons.empty() ||
        m.faceDead[static_cast<size_t>(m.polyFace[static_cast<size_t>(g.polygons.front())])])
      continue;
    PolygonObject::Ngon kept;
    for (Int32 p : g.polygons) kept.polygons.push_back(polyMap[static_cast<size_t>(p)]);
    for (Int32 i : g.outline)
      if (m.ValidPoint(i) && mapOriginal(i) >= 0) kept.outline.push_back(mapOriginal(i));
    ngons.push_back(std::move(kept));
  }
  for (size_t a = 0; a + 1 < m.addedStart.size(); ++a) {
    if (m.faceDead[static_cast<size_t>(m.OriginalFaces()) + a]) continue;
    const Int32* f = m.addedPoints.data() + m.addedStart[a];
    const Int32 cnt = m.addedStart[a + 1] - m.addedStart[a];
    if (cnt <= 4) {
      polys.emplace_back(mapPoint(f[0]), mapPoint(f[1]), mapPoint(f[2]),
                         mapPoint(f[cnt == 4 ? 3 : 2]));
      source.push_back(-1);
      continue;
    }
    PolygonObject::Ngon g;
    for (Int32 k = 1; k + 1 < cnt; ++k) {
      g.polygons.push_back(static_cast<Int32>(polys.size()));
      polys.emplace_back(mapPoint(f[0]), mapPoint(f[k]), mapPoint(f[k + 1]));
      source.push_back(-1);
    }
    for (Int32 k = 0; k < cnt; ++k) g.outline.push_back(mapPoint(f[k]));
    ngons.push_back(std::move(g));
  }

  const Int32 polyCount = static_cast<Int32>(polys.size());
  o->ResizeObject(pointCount, polyCount);
  Vector* pts = o->GetPointW();
  for (size_t i = 0; i < m.points.size(); ++i)
    if (pointMap[i] >= 0) pts[pointMap[i]] = m.points[i];
  CPolygon* out = o->GetPolygonW();
  for (Int32 p = 0; p < polyCount; ++p) out[p] = polys[static_cast<size_t>(p)];
  o->SetNgons(std::move(ngons));

  // Tags: each kept polygon keeps its record, added ones get zero records.
  for (BaseTag* t = o->GetFirstTag(); t; t = t->GetNext()) {
    if (auto* uvw = dynamic_cast<UVWTag*>(t)) {
      const ConstUVWHandle h = uvw->GetDataAddressR();
      std::vector<UVWStruct> old(h.data, h.data + h.count);
      uvw->Resize(polyCount);
      const UVWHandle w = uvw->GetDataAddressW();
      for (Int32 p = 0; p < polyCount; ++p) {
        const Int32 s = source[static_cast<size_t>(p)];
        UVWTag::Set(w, p, s >= 0 && s < h.count ? old[static_cast<size_t>(s)] : UVWStruct());
      }
    } else if (auto* nt = dynamic_cast<NormalTag*>(t)) {
      std::vector<NormalStruct> old;
      for (Int32 p = 0; p < nt->GetDataCount(); ++p) old.push_back(nt->Get(p));
      nt->Resize(polyCount);
      for (Int32 p = 0; p < polyCount; ++p) {
        const Int32 s = source[static_cast<size_t>(p)];
        nt->Set(p, s >= 0 && static_cast<size_t>(s) < old.size() ? old[static_cast<size_t>(s)]
                                                                 : NormalStruct());
      }
    }
  }

  // Selections follow their elements.
  std::vector<Int32> originalPoints(pointMap.begin(), pointMap.begin() + m.originalPoints);
  Remap(o->GetPointS(), m.originalPoints, 1, originalPoints);
  Remap(o->GetPolygonS(), original, 1, polyMap);
  Remap(o->GetEdgeS(), 4 * original, 4, polyMap);
  Remap(hostrt::UVPointSelection(o), 4 * original, 4, polyMap);

  if (flags & MODELING_COMMIT_UPDATE) o->Message(MSG_UPDATE);
  m.Take(o);
  return true;
}
