#include "UVRealArea.h"

#include <cmath>
#include <memory>
#include <numeric>

#include "c4d_basedocument.h"
#include "c4d_general.h"
#include "c4d_symbols.h"

namespace {

const char* const kWrongMode = "Chenge UVpolygon Mode!";

// The scale that makes the part's size real: texture mode from the reference edge, area mode
// from the two areas. False when it would not be finite and above 0 (nothing to measure, a
// factor of 0, a refused input): the part then stays as it is.
Bool PartScale(const UVWStruct* uv, const CPolygon* polys, Int32 polyCount, const Vector* points,
               Int32 pointCount, std::span<const Int32> part, Float factor, Bool alongU,
               Bool alongV, Bool textureMode, Int32 textureSize, Int32 pixelsPerUnit, Float k,
               Vector& scale) {
  Float s = 0.0;
  if (textureMode) {
    // The first polygon of the last run of consecutive indices.
    size_t first = part.size() - 1;
    while (first > 0 && part[first - 1] + 1 == part[first]) --first;
    const Int32 ref = part[first];
    const CPolygon& p = polys[ref];
    if (p.a < 0 || p.a >= pointCount || p.b < 0 || p.b >= pointCount) return false;
    const Float l3 = (points[p.b] - points[p.a]).GetLength();
    const Float luv = (uv[ref].b - uv[ref].a).GetLength();
    s = (l3 * k * static_cast<Float>(pixelsPerUnit)) / (luv * static_cast<Float>(textureSize));
  } else {
    const Float a3 = AreaOfSelection3D(part, polys, polyCount, points, pointCount, k);
    const Float auv = AreaOfSelectionUV(uv, part, polys);
    s = std::sqrt(a3) * factor / std::sqrt(auv);
  }
  if (!std::isfinite(s) || !(s > 0.0)) return false;
  scale = textureMode ? Vector(s, s, 1.0) : Vector(alongU ? s : 1.0, alongV ? s : 1.0, 1.0);
  return true;
}

}  // namespace

Float MillimetresPerSceneUnit(Float scale, Int32 unit) {
  switch (unit) {
    case DOCUMENT_UNIT_KM:
      return scale * 1e6;
    case DOCUMENT_UNIT_M:
      return scale * 1000.0;
    case DOCUMENT_UNIT_CM:
      return scale * 10.0;
    case DOCUMENT_UNIT_UM:
      return scale * 0.001;
    case DOCUMENT_UNIT_NM:
      return scale * 1e-6;
    case DOCUMENT_UNIT_MILE:
      return scale * 1609347.0879;
    case DOCUMENT_UNIT_YARD:
      return scale * 914.4111;
    case DOCUMENT_UNIT_FOOT:
      return scale * 304.8037;
    case DOCUMENT_UNIT_INCH:
      return scale * 25.4001;
    default:  // millimetres, and any other code
      return scale * 1.0;
  }
}

Float LengthUnitFactor(Int32 option) {
  switch (option) {
    case IDC_RA_UNIT_CM:
      return 0.1;
    case IDC_RA_UNIT_M:
      return 0.001;
    case IDC_RA_UNIT_KM:
      return 1e-6;
    default:
      return 1.0;
  }
}

Float AreaOfSelection3D(std::span<const Int32> polygons, const CPolygon* polys, Int32 polyCount,
                        const Vector* points, Int32 pointCount, Float k) {
  Float total = 0.0;
  if (!polys || !points) return total;
  for (Int32 i : polygons) {
    if (i < 0 || i >= polyCount) continue;
    const CPolygon& p = polys[i];
    Bool inside = true;
    for (Int32 c = 0; c < 4; ++c) inside = inside && p[c] >= 0 && p[c] < pointCount;
    if (!inside) continue;
    // Measured about the polygon's centre, where the arithmetic is finest. (Turning the points
    // into the plane of the polygon's normal as well would not change the area.)
    const Vector o = PolygonCenter3D(points, pointCount, polys, polyCount, i);
    Vector q[4];
    for (Int32 c = 0; c < 4; ++c) q[c] = (points[p[c]] - o) * k;
    total += PolygonArea(q[0], q[1], q[2], q[3], p);
  }
  return total;
}

Float AreaOfSelectionUV(const UVWStruct* uv, std::span<const Int32> polygons,
                        const CPolygon* polys) {
  Float total = 0.0;
  if (!uv || !polys) return total;
  for (Int32 i : polygons) {
    const UVWStruct& s = uv[i];
    const Bool quad = polys[i].c != polys[i].d;
    total += PolygonArea(s.a, s.b, s.c, quad ? s.d : s.c, polys[i]);
  }
  return total;
}

MeshParts LabelMeshParts(const CPolygon* polys, Int32 polyCount, Int32 pointCount) {
  MeshParts out;
  const size_t n = polys ? static_cast<size_t>(std::max(polyCount, 0)) : 0;
  const size_t np = static_cast<size_t>(std::max(pointCount, 0));
  std::vector<Int32> parent(np);
  std::iota(parent.begin(), parent.end(), 0);
  auto find = [&parent](Int32 x) {
    while (parent[static_cast<size_t>(x)] != x) {
      Int32& p = parent[static_cast<size_t>(x)];
      p = parent[static_cast<size_t>(p)];
      x = p;
    }
    return x;
  };
  auto valid = [pointCount](Int32 i) { return i >= 0 && i < pointCount; };
  auto firstPoint = [&](const CPolygon& p) {
    for (Int32 c = 0; c < 4; ++c)
      if (valid(p[c])) return p[c];
    return -1;
  };
  for (size_t i = 0; i < n; ++i) {
    const CPolygon& p = polys[i];
    const Int32 first = firstPoint(p);
    if (first < 0) continue;
    for (Int32 c = 1; c < 4; ++c) {
      if (!valid(p[c])) continue;
      const Int32 a = find(first), b = find(p[c]);
      if (a != b) parent[static_cast<size_t>(b)] = a;
    }
  }

  // Part numbers in the order of their first polygon; a polygon without a valid point alone.
  out.label.assign(n, -1);
  std::vector<Int32> partOfRoot(np, -1);
  Int32 parts = 0;
  for (size_t i = 0; i < n; ++i) {
    const Int32 first = firstPoint(polys[i]);
    if (first < 0) {
      out.label[i] = parts++;
      continue;
    }
    Int32& id = partOfRoot[static_cast<size_t>(find(first))];
    if (id < 0) id = parts++;
    out.label[i] = id;
  }
  out.offsets.assign(static_cast<size_t>(parts) + 1, 0);
  for (size_t i = 0; i < n; ++i) ++out.offsets[static_cast<size_t>(out.label[i]) + 1];
  for (size_t k = 0; k < static_cast<size_t>(parts); ++k) out.offsets[k + 1] += out.offsets[k];
  out.polygons.resize(n);
  std::vector<size_t> fill(out.offsets.begin(), out.offsets.end() - 1);
  for (size_t i = 0; i < n; ++i)
    out.polygons[fill[static_cast<size_t>(out.label[i])]++] = static_cast<Int32>(i);
  return out;
}

Bool ScaleIslandExact(UVWStruct* uv, const CPolygon* polys, std::span<const Int32> part,
                      Int32 partId, const Vector& scale, ExactCarry& work) {
  const Vector c = SelectionCenterUV(uv, part, polys);
  if (!Finite(c)) return false;
  work.old.clear();
  for (Int32 p : part) AppendCorners(uv[p], work.old);
  TransformPolygonsUV(uv, part, c, MatrixScale(scale), work.newer);
  // The part's own corners are placed by the scaling alone: carrying them too could move them
  // again, onto the new place of another corner.
  work.carry.Apply(uv, work.old, work.newer, UVMatch::kExact, false, partId);
  work.carry.Moved(uv, part);
  return true;
}

Bool ApplyRealArea(Float factor, Bool alongU, Bool alongV, Bool textureMode, Int32 textureSize,
                   Int32 pixelsPerUnit, Float k) {
  UVToolScope scope({.mode = Muvpolygons,
                     .wrongMode = kWrongMode,
                     .withPolygons = true,
                     .withPoints = true,
                     .selection = ToolNeeds::Selection::kPolygons});
  if (!scope.Ok()) return false;
  if (!std::isfinite(k) || !(k > 0.0)) return false;
  if (textureMode && (textureSize <= 0 || pixelsPerUnit <= 0)) return false;

  UVWStruct* uv = scope.UVs();
  const CPolygon* polys = scope.Polygons();
  const Int32 polyCount = scope.PolygonCount();
  const Vector* points = scope.Object()->GetPointR();
  const Int32 pointCount = scope.Object()->GetPointCount();
  const std::vector<Int32>& list = scope.SelectedPolygons();
  const MeshParts parts = LabelMeshParts(polys, polyCount, pointCount);

  std::vector<std::uint8_t> done(parts.offsets.size() - 1, 0);
  std::unique_ptr<ExactCarry> carry;
  Bool scaled = false;
  for (Int32 p : list) {
    const Int32 label = parts.label[static_cast<size_t>(p)];
    if (done[static_cast<size_t>(label)]) continue;
    done[static_cast<size_t>(label)] = 1;
    const std::span<const Int32> part = parts.Part(label);
    Vector scale;
    if (!PartScale(uv, polys, polyCount, points, pointCount, part, factor, alongU, alongV,
                   textureMode, textureSize, pixelsPerUnit, k, scale))
      continue;
    if (!carry) carry = std::make_unique<ExactCarry>(uv, polyCount, parts.label);
    // A part whose UVs are not all finite has no centre to scale about: it stays.
    if (ScaleIslandExact(uv, polys, part, label, scale, *carry)) scaled = true;
  }
  if (!scaled) return false;

  scope.BeginUndo();
  SelectAscending(scope.PolygonSelection(), list);
  scope.Commit();
  return true;
}

Bool MeasureRealArea(ToolDialog& dlg) {
  {
    UVToolScope scope({.mode = Muvpolygons,
                       .wrongMode = kWrongMode,
                       .selection = ToolNeeds::Selection::kPolygons});
    if (!scope.Ok()) return false;
  }
  if (dlg.GetBool(IDC_RA_TEXTURE_MODE)) {
    dlg.SetFloat(IDC_RA_READOUT2, kReadoutField, 0.0);
    dlg.SetFloat(IDC_RA_READOUT1, kReadoutField, 0.0);
  }
  EventAdd();
  return true;
}

Bool ApplyRealAreaButton(ToolDialog& dlg) {
  Float scale = 0.0;
  DOCUMENT_UNIT unit = DOCUMENT_UNIT_MM;
  if (BaseDocument* doc = GetActiveDocument()) doc->GetUnitScale().GetUnitScale(scale, unit);
  const Float k =
      MillimetresPerSceneUnit(scale, unit) * LengthUnitFactor(dlg.GetInt32(IDC_RA_UNIT));
  return ApplyRealArea(dlg.GetFloat(IDC_SCALE_U), dlg.GetBool(IDC_SCALE_U_ON),
                       dlg.GetBool(IDC_SCALE_V_ON), dlg.GetBool(IDC_RA_TEXTURE_MODE),
                       dlg.GetInt32(IDC_RA_TEXTURE_SIZE), dlg.GetInt32(IDC_RA_PIXELS_PER_UNIT), k);
}

namespace {

void RealAreaCommand(ToolDialog& dlg, Int32 id, TransformState& t) {
  if (id == IDC_RA_MEASURE) {
    if (MeasureRealArea(dlg)) {
      t.kind = TransformKind::kRealArea;
      dlg.SetBool(IDC_LIVE_SCALE, false);
      dlg.Refresh();
    }
    return;
  }
  ApplyRealAreaButton(dlg);
}

const bool registered = RegisterToolGroup(ToolGroup<TransformState>{
    .name = "real area",
    .controls = {IDC_RA_MEASURE, IDC_RA_APPLY, IDC_RA_APPLY_TEXTURE},
    .command = RealAreaCommand,
});

}  // namespace
