#include "TransferTAG.h"

#include <algorithm>
#include <cmath>

#include "c4d_basebitmap.h"
#include "c4d_basedocument.h"
#include "c4d_basedraw.h"
#include "c4d_description.h"
#include "c4d_resource.h"
#include "c4d_symbols.h"
#include "lib_modeling.h"
#include "main.h"

namespace {

Float Finite(Float v) {
  return std::isfinite(v) ? v : 0.0;
}

Int32 Corners(const CPolygon& c) {
  return c.c == c.d ? 3 : 4;
}

// Frees a modelling kernel on every path.
struct Kernel {
  Modeling* m = Modeling::Alloc();
  ~Kernel() { Modeling::Free(m); }
};

}  // namespace

Vector UVToMeshPoint(const Vector& uv, Float s, Bool withW) {
  if (!std::isfinite(s)) s = 0.0;
  return Vector(Finite(s * uv.x), Finite(s * (1.0 - uv.y)), withW ? Finite(s * uv.z) : 0.0);
}

Bool MeshPointToUV(const Vector& p, Float s, Vector& uv) {
  if (s == 0.0 || !std::isfinite(s)) {
    uv = Vector(0.0, 1.0, 0.0);
    return true;
  }
  const Vector r(p.x / s, 1.0 - p.y / s, 0.0);
  if (!r.IsFinite()) return false;
  uv = r;
  return true;
}

void PointCornerIndex::Build(const CPolygon* polys, Int32 polyCount, Int32 pointCount) {
  start_.assign(static_cast<size_t>(std::max(pointCount, 0)) + 1, 0);
  corners_.clear();
  // Calls f(point, 4 × p + k) for each corner k of p that is the first of p at its point.
  auto each = [&](auto&& f) {
    for (Int32 p = 0; p < polyCount; ++p) {
      const CPolygon& c = polys[p];
      for (Int32 k = 0; k < Corners(c); ++k) {
        const Int32 j = c[k];
        if (j < 0 || j >= pointCount) continue;
        bool first = true;
        for (Int32 e = 0; e < k; ++e) first = first && c[e] != j;
        if (first) f(j, 4 * p + k);
      }
    }
  };
  each([&](Int32 j, Int32) { ++start_[static_cast<size_t>(j) + 1]; });
  for (size_t j = 1; j < start_.size(); ++j) start_[j] += start_[j - 1];
  corners_.resize(static_cast<size_t>(start_.back()));
  std::vector<Int32> fill(start_.begin(), start_.end() - 1);
  each([&](Int32 j, Int32 corner) {
    corners_[static_cast<size_t>(fill[static_cast<size_t>(j)]++)] = corner;
  });
}

std::span<const Int32> PointCornerIndex::Of(Int32 point) const {
  if (point < 0 || static_cast<size_t>(point) + 1 >= start_.size()) return {};
  return std::span<const Int32>(corners_.data() + start_[static_cast<size_t>(point)],
                                corners_.data() + start_[static_cast<size_t>(point) + 1]);
}

Bool SameStructure(const PolygonObject& mesh, const PolygonObject& source) {
  if (mesh.GetPolygonCount() != source.GetPolygonCount()) return false;
  if (source.GetNgonCount() == 0) return true;
  if (mesh.GetNgonCount() != source.GetNgonCount()) return false;
  // N-gon by n-gon, the polygons it holds, as ascending lists.
  const auto& a = mesh.GetNgons();
  const auto& b = source.GetNgons();
  for (size_t f = 0; f < a.size(); ++f) {
    if (a[f].polygons == b[f].polygons) continue;
    if (a[f].polygons.size() != b[f].polygons.size()) return false;
    std::vector<Int32> x = a[f].polygons, y = b[f].polygons;
    std::sort(x.begin(), x.end());
    std::sort(y.begin(), y.end());
    if (x != y) return false;
  }
  return true;
}

Bool RebuildUVMesh(PolygonObject& mesh, const PolygonObject& source, const UVWTag& sourceTag,
                   Float s) {
  // The source UVs are read once the old mesh is gone; a source tag on the mesh itself would be
  // gone with it, so its records are kept first.
  std::vector<UVWStruct> own;
  ConstUVWHandle uvs = sourceTag.GetDataAddressR();
  if (sourceTag.GetObject() == &mesh) {
    own.assign(uvs.data, uvs.data + uvs.count);
    uvs = ConstUVWHandle{own.data(), static_cast<Int32>(own.size())};
  }

  Kernel remove;
  if (!remove.m || !remove.m->InitObject(&mesh)) return false;
  for (Int32 id = 0; id < mesh.GetPolygonCount(); ++id) remove.m->DeleteNgon(&mesh, id, true);
  if (!remove.m->Commit(&mesh)) return false;
  mesh.Message(MSG_UPDATE);

  Kernel build;
  if (!build.m || !build.m->InitObject(&mesh)) return false;
  const CPolygon* polys = source.GetPolygonR();
  const Int32 n = source.GetPolygonCount();
  for (Int32 i = 0; i < n; ++i) {
    UVWStruct uv;
    UVWTag::Get(uvs, i, uv);
    // Quad or triangle as the source polygon is, whatever its UVs.
    const Int32 corners = Corners(polys[i]);
    Int32 points[4];
    for (Int32 k = 0; k < corners; ++k)
      points[k] = build.m->AddPoint(&mesh, UVToMeshPoint(uv[k], s, false));
    if (build.m->CreateNgon(&mesh, points, corners, MODELING_SETNGON_FLAG_FIXEDQUADS) == NOTOK)
      return false;
  }
  if (!build.m->Commit(&mesh, MODELING_COMMIT_UPDATE)) return false;

  // The source's n-gons, so that the next evaluation finds the structure the same. An outline
  // point becomes the mesh point of the first of the n-gon's polygons that uses it.
  const CPolygon* meshPolys = mesh.GetPolygonR();
  const Int32 sourcePoints = source.GetPointCount();
  std::vector<Int32> stamp(static_cast<size_t>(std::max(sourcePoints, 0)), -1),
      where(stamp.size(), -1);
  std::vector<PolygonObject::Ngon> ngons = source.GetNgons();
  for (size_t g = 0; g < ngons.size(); ++g) {
    for (Int32 p : ngons[g].polygons)
      for (Int32 k = 0; k < Corners(polys[p]); ++k) {
        const Int32 j = polys[p][k];
        if (j < 0 || j >= sourcePoints || stamp[static_cast<size_t>(j)] == static_cast<Int32>(g))
          continue;
        stamp[static_cast<size_t>(j)] = static_cast<Int32>(g);
        where[static_cast<size_t>(j)] = meshPolys[p][k];
      }
    std::vector<Int32> outline;
    for (Int32 j : ngons[g].outline)
      if (j >= 0 && j < sourcePoints && stamp[static_cast<size_t>(j)] == static_cast<Int32>(g))
        outline.push_back(where[static_cast<size_t>(j)]);
    ngons[g].outline = std::move(outline);
  }
  mesh.SetNgons(std::move(ngons));

  if (auto* tag = static_cast<UVWTag*>(mesh.GetTag(Tuvw))) {
    const UVWHandle to = tag->GetDataAddressW();
    for (Int32 i = 0; i < std::min(n, uvs.count); ++i) UVWTag::Set(to, i, uvs.data[i]);
  }
  mesh.Message(MSG_UPDATE);
  return true;
}

void TransferMeshUVs(Int32 mode, PolygonObject& mesh, UVWTag& meshTag, UVWTag& sourceTag, Float s) {
  const UVWHandle source = sourceTag.GetDataAddressW(), own = meshTag.GetDataAddressW();
  const Vector* pts = mesh.GetPointR();
  const Int32 pointCount = mesh.GetPointCount();
  const CPolygon* polys = mesh.GetPolygonR();
  const Int32 n = mesh.GetPolygonCount();

  // Corners a, b, c and, for a quad, d take their points' UVs; a triangle's d keeps its UV.
  auto wholePolygon = [&](UVWStruct& r, const CPolygon& c) {
    for (Int32 k = 0; k < Corners(c); ++k) {
      Vector uv;
      if (c[k] >= 0 && c[k] < pointCount && MeshPointToUV(pts[c[k]], s, uv)) r[k] = uv;
    }
  };
  // The source record of polygon p, changed, written to the source tag and to the mesh's tag.
  // Only records the source tag has are read.
  auto shared = [&](Int32 p, auto&& change) {
    if (p >= source.count) return;
    UVWStruct r;
    UVWTag::Get(source, p, r);
    change(r);
    UVWTag::Set(source, p, r);
    UVWTag::Set(own, p, r);
  };
  // Selected elements below limit, range by range.
  auto selected = [](const BaseSelect* sel, Int32 limit, auto&& f) {
    Int32 a = 0, b = 0;
    for (Int32 seg = 0; sel->GetRange(seg, limit, &a, &b); ++seg)
      for (Int32 i = std::max(a, 0); i <= b; ++i) f(i);
  };

  switch (mode) {
    case Mpoints:
    case Muvpoints: {
      PointCornerIndex index;
      index.Build(polys, n, pointCount);
      selected(mesh.GetPointS(), pointCount, [&](Int32 j) {
        Vector uv;
        if (!MeshPointToUV(pts[j], s, uv)) return;
        for (Int32 corner : index.Of(j))
          shared(corner >> 2, [&](UVWStruct& r) { r[corner & 3] = uv; });
      });
      break;
    }
    case Mpolygons:
    case Muvpolygons:
      selected(mesh.GetPolygonS(), n,
               [&](Int32 p) { shared(p, [&](UVWStruct& r) { wholePolygon(r, polys[p]); }); });
      break;
    case Medges: {
      // An edge 4 × p + side stands for its whole polygon; each polygon is written once.
      Int32 last = -1;
      selected(mesh.GetEdgeS(), static_cast<Int32>(std::min<Int64>(4 * Int64(n), 0x7fffffff)),
               [&](Int32 e) {
                 const Int32 p = e / 4;
                 if (p == last) return;
                 last = p;
                 shared(p, [&](UVWStruct& r) { wholePolygon(r, polys[p]); });
               });
      break;
    }
    case Mmodel:
    case Mobject:
      for (Int32 p = 0; p < n; ++p) {
        for (const UVWHandle& h : {source, own}) {
          if (p >= h.count) continue;
          UVWStruct r;
          UVWTag::Get(h, p, r);
          wholePolygon(r, polys[p]);
          UVWTag::Set(h, p, r);
        }
      }
      break;
    default:
      break;
  }
}

Bool TransferTAG::Init(GeListNode* node) {
  auto* tag = static_cast<BaseTag*>(node);
  tag->GetDataInstance()->SetFloat(TRANSFERUV_SIZE, 1.0);
  return true;
}

Bool TransferTAG::Message(GeListNode* node, Int32 type, void* data) {
  (void)data;
  if (type != MSG_DESCRIPTION_POSTSETPARAMETER) return true;
  auto* tag = dynamic_cast<BaseTag*>(node);
  BaseObject* carrier = tag ? tag->GetObject() : nullptr;
  if (!carrier) return true;
  const BaseContainer* bc = tag->GetDataInstance();
  auto* plane = dynamic_cast<BaseObject*>(bc->GetLink(TRANSFERUV_PLANE, carrier->GetDocument()));
  if (!plane) return true;
  ObjectColorProperties colour;
  carrier->GetColorProperties(&colour);
  colour.xray = bc->GetBool(TRANSFERUV_XRAY);
  plane->SetColorProperties(&colour);
  return true;
}

Bool TransferTAG::GetDDescription(GeListNode* node, Description* description,
                                  DESCFLAGS_DESC& flags) {
  if (!description || !description->LoadDescription("TransferUV")) return false;
  if (BaseContainer* bc = description->GetParameterI(TRANSFERUV_PLANE)) bc->SetInt32(DESC_HIDE, 1);
  flags = static_cast<DESCFLAGS_DESC>(flags | DESCFLAGS_DESC_LOADED);
  return TagData::GetDDescription(node, description, flags);
}

Bool TransferTAG::GetDEnabling(GeListNode* node, Int32 id, const GeData& t_data, Int32 flags,
                               const BaseContainer* itemdesc) {
  if (id == TRANSFERUV_UVWTAG || id == TRANSFERUV_OBJECT || id == TRANSFERUV_SIZE) return false;
  return TagData::GetDEnabling(node, id, t_data, flags, itemdesc);
}

Bool TransferTAG::Draw(BaseTag* tag, BaseObject* op, BaseDraw* bd, BaseDrawHelp* bh) {
  (void)bh;
  if (!tag || !op || !bd) return false;
  const BaseContainer* bc = tag->GetDataInstance();
  if (!bc->GetLink(TRANSFERUV_UVWTAG, op->GetDocument())) return false;
  const Matrix mg = op->GetMg();
  bd->SetMatrix_Matrix(op, mg);
  bd->SetDrawParam(DRAW_PARAMETER_LINEWIDTH, GeData(1.0));
  bd->SetDrawParam(DRAW_PARAMETER_ZCOMPARE, GeData(DRAW_Z_ALWAYS));
  bd->SetTransparency(0);
  bd->SetPen(Vector(255.0, 255.0, 255.0));
  const Float s = bc->GetFloat(TRANSFERUV_SIZE);
  const Vector square[4] = {Vector(0, 0, 0), Vector(0, s, 0), Vector(s, s, 0), Vector(s, 0, 0)};
  for (Int32 k = 0; k < 4; ++k) {
    bd->SetMatrix_Matrix(op, mg);
    bd->DrawLine(square[k], square[(k + 1) % 4], 0);
  }
  return true;
}

EXECUTIONRESULT TransferTAG::Execute(BaseTag* tag, BaseDocument* doc, BaseObject* op,
                                     BaseThread* bt, Int32 priority, Int32 flags) {
  (void)bt;
  (void)priority;
  (void)flags;
  BaseObject* work = op;
  if (work && work->GetCache()) work = work->GetCache();
  if (work && work->GetDeformCache()) work = work->GetDeformCache();
  auto* mesh = dynamic_cast<PolygonObject*>(work);
  if (!tag || !mesh) return EXECUTIONRESULT_OK;
  const BaseContainer* bc = tag->GetDataInstance();
  auto* sourceTag = dynamic_cast<UVWTag*>(bc->GetLink(TRANSFERUV_UVWTAG, doc));
  auto* source = dynamic_cast<PolygonObject*>(bc->GetLink(TRANSFERUV_OBJECT, doc));
  if (!sourceTag || !source) return EXECUTIONRESULT_OK;
  const Float s = bc->GetFloat(TRANSFERUV_SIZE);

  if (!SameStructure(*mesh, *source) && !RebuildUVMesh(*mesh, *source, *sourceTag, s))
    return EXECUTIONRESULT_USERBREAK;
  auto* meshTag = static_cast<UVWTag*>(mesh->GetTag(Tuvw));
  if (!meshTag) return EXECUTIONRESULT_USERBREAK;
  TransferMeshUVs(doc ? doc->GetMode() : 0, *mesh, *meshTag, *sourceTag, s);
  meshTag->Message(MSG_UPDATE);
  sourceTag->Message(MSG_UPDATE);
  mesh->Message(MSG_UPDATE);
  source->Message(MSG_UPDATE);
  return EXECUTIONRESULT_OK;
}

Bool RegisterTransferTAG() {
  String name = GeLoadString(IDS_TRANSFERUV);
  if (name.empty()) return true;  // no name, no tag; the start goes on
  return RegisterTagPlugin(ID_TRANSFERTAG, name, TAG_VISIBLE | TAG_MULTIPLE | TAG_EXPRESSION,
                           TransferTAG::Alloc, "TransferUV", AutoBitmap("UVsyncTag.tif", 1.0), 0);
}
