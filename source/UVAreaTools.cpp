// UV area measure and selection, Set UVW, size capture and the rotation angle presets of the
// UV tools dialog.
#include <cmath>
#include <iterator>
#include <memory>

#include "UVtools.h"
#include "UVtoolsEntries.h"
#include "c4d_basedocument.h"
#include "c4d_general.h"
#include "c4d_painter.h"
#include "c4d_symbols.h"

namespace {

// Display factors of the area field, by radio choice IDC_AREA_SCALE_1 + index.
constexpr Float kAreaDisplayFactors[] = {1.0, 100.0, 1000.0, 10000.0, 100000.0};
constexpr Int32 kAreaFactorCount = static_cast<Int32>(std::size(kAreaDisplayFactors));

// Preset angles in degrees, by combo entry IDC_ANGLE_10 + index.
constexpr Float kPresetDegrees[] = {10.0, 30.0, 45.0, 60.0, 90.0, 135.0, 180.0};
constexpr Int32 kPresetCount = static_cast<Int32>(std::size(kPresetDegrees));
constexpr Float kDegreeToRadian = 0.017453292519943295;
constexpr Float kAngleFieldStep = 0.0017453292519943296;  // 0.1 degree

// The host's UV set, released when the holder goes out of scope.
struct UVSetRelease {
  void operator()(TempUVHandle* h) const { FreeActiveUVSet(h); }
};
using UVSet = std::unique_ptr<TempUVHandle, UVSetRelease>;

// UV area of one polygon: triangle (a, b, c), plus triangle (a, c, d) for a quadrangle.
Float UVPolygonArea(const UVWStruct& uv, Bool quad) {
  Float area = 0.5 * Cross(uv.b - uv.a, uv.c - uv.a).GetLength();
  if (quad) area += 0.5 * Cross(uv.c - uv.a, uv.d - uv.a).GetLength();
  return area;
}

// Calls f(i) for every selected index i in 0 .. count - 1, ascending.
template <typename F>
void ForEachSelected(const BaseSelect& sel, Int32 count, F&& f) {
  Int32 a = 0, b = 0;
  for (Int32 seg = 0; sel.GetRange(seg, count, &a, &b); ++seg)
    for (Int32 i = a < 0 ? 0 : a; i <= b; ++i) f(i);
}

// Sum of the UV areas of the selected polygons of the UV set; count receives how many there
// were.
Float SelectedUVArea(TempUVHandle& set, const BaseSelect& sel, Int32& count) {
  const CPolygon* polys = set.GetPoly();
  const UVWStruct* uvw = set.GetUVW();
  Float sum = 0.0;
  count = 0;
  ForEachSelected(sel, set.GetPolyCount(), [&](Int32 i) {
    sum += UVPolygonArea(uvw[i], !polys[i].IsTriangle());
    ++count;
  });
  return sum;
}

// The active polygon object with a UVW tag, with the document in editing mode `mode`, and
// its UV set; an empty set when any of them is missing.
UVSet AcquireUVSet(Int32 mode, Int32 flags, BaseDocument*& doc) {
  doc = GetActiveDocument();
  if (!doc || doc->GetMode() != mode) return UVSet();
  BaseObject* op = doc->GetActiveObject();
  if (!op || op->GetType() != Opolygon || !op->GetTag(Tuvw)) return UVSet();
  return UVSet(GetActiveUVSet(doc, flags));
}

Float AreaDisplayFactor(Int32 choice) {
  const Int32 index = choice - IDC_AREA_SCALE_1;
  // An unknown choice reads the field unscaled rather than indexing outside the list.
  return index >= 0 && index < kAreaFactorCount ? kAreaDisplayFactors[index] : 1.0;
}

}  // namespace

Bool MeasureArea(UVtools& dlg) {
  BaseDocument* doc = nullptr;
  UVSet set = AcquireUVSet(Muvpolygons, GETACTIVEUVSET_POINTSELECTION, doc);
  if (!set) return false;
  const BaseSelect* sel = set->GetPolySel();
  if (!sel) return false;
  Int32 count = 0;
  const Float area = SelectedUVArea(*set, *sel, count);
  // Nothing selected, or UVs so large or broken that the sum is not a number: nothing to show.
  if (count == 0 || !std::isfinite(area)) return false;

  dlg.measuredArea = area;
  Int32 choice = IDC_AREA_SCALE_1;
  Float shown = area;
  for (Int32 k = 1; k < kAreaFactorCount; ++k) {
    const Float scaled = area * kAreaDisplayFactors[k];
    if (scaled > 0.1 && scaled < 1.0) {
      choice = IDC_AREA_SCALE_1 + k;
      shown = scaled;
      break;
    }
  }
  dlg.SetInt32(IDC_AREA_SCALE, choice);
  dlg.SetFloat(IDC_AREA_VALUE, shown, 0.0, 1.0, 0.001, FORMAT_FLOAT);

  BaseObject* op = set->GetBaseObject();
  set.reset();
  op->Message(MSG_UPDATE);
  EventAdd();
  return true;
}

Bool SelectByArea(UVtools& dlg) {
  BaseDocument* doc = nullptr;
  UVSet set = AcquireUVSet(Muvpolygons, GETACTIVEUVSET_POINTSELECTION, doc);
  if (!set) return false;
  BaseSelect* sel = set->GetPolySel();
  if (!sel) return false;

  Float value = 0.0;
  Int32 choice = IDC_AREA_SCALE_1;
  dlg.GetFloat(IDC_AREA_VALUE, value);
  dlg.GetInt32(IDC_AREA_SCALE, choice);
  const Float threshold = value / AreaDisplayFactor(choice);

  sel->DeselectAll();
  const CPolygon* polys = set->GetPoly();
  const UVWStruct* uvw = set->GetUVW();
  const Int32 n = set->GetPolyCount();
  for (Int32 i = 0; i < n; ++i)
    if (threshold > UVPolygonArea(uvw[i], !polys[i].IsTriangle())) sel->Select(i);

  BaseObject* op = set->GetBaseObject();
  set.reset();
  op->Message(MSG_UPDATE);
  EventAdd();
  return true;
}

Bool SetUVW(UVtools& dlg) {
  BaseDocument* doc = nullptr;
  UVSet set = AcquireUVSet(Muvpoints, GETACTIVEUVSET_UVWS, doc);
  if (!set) return false;
  const BaseSelect* pointSel = set->GetUVPointSel();
  UVWTag* tag = set->GetUVWTag();
  BaseObject* op = set->GetBaseObject();
  const Int32 polyCount = set->GetPolyCount();
  // Only UV point indices of existing polygons count (the limit saturates, not overflows).
  const Int32 pointLimit = polyCount > LIMIT_MAX / 4 ? LIMIT_MAX : polyCount * 4;
  Int32 first = 0, last = 0;
  if (!pointSel || !tag || !pointSel->GetRange(0, pointLimit, &first, &last)) return false;

  doc->StartUndo();
  doc->AddUndo(UNDOTYPE_CHANGE, op);

  Bool setU = false, setV = false;
  Float u = 0.0, v = 0.0;
  dlg.GetBool(IDC_SET_U_ON, setU);
  dlg.GetBool(IDC_SET_V_ON, setV);
  dlg.GetFloat(IDC_SET_U, u);
  dlg.GetFloat(IDC_SET_V, v);

  ForEachSelected(*pointSel, pointLimit, [&](Int32 p) {
    const Int32 polygon = p >> 2;
    const Int32 corner = p & 3;
    UVWStruct uv;
    UVWTag::Get(tag->GetDataAddressR(), polygon, uv);
    if (setU) uv[corner].x = u;
    if (setV) uv[corner].y = v;
    UVWTag::Set(tag->GetDataAddressW(), polygon, uv);
  });

  op->Message(MSG_UPDATE);
  EventAdd();
  set.reset();
  doc->EndUndo();
  return true;
}

Bool CaptureSize(UVtools& dlg) {
  BaseDocument* doc = GetActiveDocument();
  if (!doc || !doc->GetActiveObject() || doc->GetMode() != Muvpolygons) return false;
  UVSet set(GetActiveUVSet(doc, GETACTIVEUVSET_ALL));
  if (!set) return false;
  const BaseSelect* sel = set->GetPolySel();
  if (!sel) return false;

  const CPolygon* polys = set->GetPoly();
  const UVWStruct* uvw = set->GetUVW();
  Float area = 0.0;
  Float minU = 0.0, maxU = 0.0, minV = 0.0, maxV = 0.0;
  Bool any = false;
  ForEachSelected(*sel, set->GetPolyCount(), [&](Int32 i) {
    const Bool quad = !polys[i].IsTriangle();
    area += UVPolygonArea(uvw[i], quad);
    if (!any) {
      minU = maxU = uvw[i].a.x;
      minV = maxV = uvw[i].a.y;
      any = true;
    }
    // Corners a, b, c and d of a quadrangle; a triangle takes c again.
    for (Int32 k = 0; k < 4; ++k) {
      const Vector& p = uvw[i][k == 3 && !quad ? 2 : k];
      minU = std::fmin(minU, p.x);
      maxU = std::fmax(maxU, p.x);
      minV = std::fmin(minV, p.y);
      maxV = std::fmax(maxV, p.y);
    }
  });
  // No polygon selected gives no box; a box or area that is not a number would feed the
  // island fitting with it.
  const Float width = maxU - minU, height = maxV - minV;
  if (!any || !std::isfinite(area) || !std::isfinite(width) || !std::isfinite(height) ||
      !std::isfinite(minU + maxU) || !std::isfinite(minV + maxV))
    return false;

  dlg.measuredArea = area;
  dlg.capturedWidth = width;
  dlg.capturedHeight = height;
  dlg.toolVectors[3] = Vector((minU + maxU) / 2.0, (minV + maxV) / 2.0, 0.0);
  return true;
}

Bool ApplyAnglePreset(UVtools& dlg) {
  Int32 entry = 0;
  if (!dlg.GetInt32(IDC_ANGLE_PRESET, entry)) return false;
  const Int32 index = entry - IDC_ANGLE_10;
  const Float degrees = index >= 0 && index < kPresetCount ? kPresetDegrees[index] : 0.0;
  return dlg.SetDegree(IDC_ANGLE, degrees * kDegreeToRadian, -2.0 * PI, 2.0 * PI, kAngleFieldStep);
}
