// UV area measure and selection, Set UVW, size capture and the rotation angle presets of the
// UV tools dialog.
#include "UVAreaTools.h"

#include <cmath>
#include <iterator>

#include "c4d_basedocument.h"
#include "c4d_general.h"
#include "c4d_symbols.h"

namespace {

// Display factors of the area field, by radio choice IDC_AREA_SCALE_1 + index.
constexpr Float kAreaDisplayFactors[] = {1.0, 100.0, 1000.0, 10000.0, 100000.0};
constexpr Int32 kAreaFactorCount = static_cast<Int32>(std::size(kAreaDisplayFactors));

// Preset angles in degrees, by combo entry IDC_ANGLE_10 + index.
constexpr Float kPresetDegrees[] = {10.0, 30.0, 45.0, 60.0, 90.0, 135.0, 180.0};
constexpr Int32 kPresetCount = static_cast<Int32>(std::size(kPresetDegrees));
constexpr Float kDegreeToRadian = 0.017453292519943295;

// Sum of the UV areas of the listed polygons.
Float UVAreaOf(const UVWStruct* uvw, const CPolygon* polys, const std::vector<Int32>& list) {
  Float sum = 0.0;
  for (Int32 i : list) sum += UVPolygonArea(uvw[i], !polys[i].IsTriangle());
  return sum;
}

Float AreaDisplayFactor(Int32 choice) {
  const Int32 index = choice - IDC_AREA_SCALE_1;
  // An unknown choice reads the field unscaled rather than indexing outside the list.
  return index >= 0 && index < kAreaFactorCount ? kAreaDisplayFactors[index] : 1.0;
}

}  // namespace

Float UVPolygonArea(const UVWStruct& uv, Bool quad) {
  Float area = 0.5 * Cross(uv.b - uv.a, uv.c - uv.a).GetLength();
  if (quad) area += 0.5 * Cross(uv.c - uv.a, uv.d - uv.a).GetLength();
  return area;
}

Bool MeasureArea(ToolDialog& dlg, TransformState& state) {
  UVToolScope scope({.mode = Muvpolygons,
                     .uvParts = GETACTIVEUVSET_POINTSELECTION,
                     .selection = ToolNeeds::Selection::kPolygons});
  if (!scope.Ok()) return false;
  const Float area = UVAreaOf(scope.UVs(), scope.Polygons(), scope.SelectedPolygons());
  // UVs so large or broken that the sum is not a number: nothing to show.
  if (!std::isfinite(area)) return false;

  state.measuredArea = area;
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
  dlg.SetFloat(IDC_AREA_VALUE, kAreaValueField, shown);
  scope.Commit(false);
  return true;
}

Bool SelectByArea(ToolDialog& dlg) {
  UVToolScope scope({.mode = Muvpolygons, .uvParts = GETACTIVEUVSET_POINTSELECTION});
  if (!scope.Ok()) return false;
  const Float threshold =
      dlg.GetFloat(IDC_AREA_VALUE) / AreaDisplayFactor(dlg.GetInt32(IDC_AREA_SCALE));

  BaseSelect* sel = scope.PolygonSelection();
  sel->DeselectAll();
  const CPolygon* polys = scope.Polygons();
  const UVWStruct* uvw = scope.UVs();
  const Int32 n = scope.PolygonCount();
  for (Int32 i = 0; i < n; ++i)
    if (threshold > UVPolygonArea(uvw[i], !polys[i].IsTriangle())) sel->Select(i);
  scope.Commit(false);
  return true;
}

Bool SetUVW(ToolDialog& dlg) {
  UVToolScope scope({.mode = Muvpoints,
                     .uvParts = GETACTIVEUVSET_UVWS,
                     .selection = ToolNeeds::Selection::kUVPoints});
  if (!scope.Ok()) return false;
  scope.BeginUndo();

  const Bool setU = dlg.GetBool(IDC_SET_U_ON), setV = dlg.GetBool(IDC_SET_V_ON);
  const Float u = dlg.GetFloat(IDC_SET_U), v = dlg.GetFloat(IDC_SET_V);
  UVWTag* tag = scope.Tag();
  for (const UVPointRef& r : scope.SelectedUVPoints()) {
    UVWStruct uv;
    UVWTag::Get(tag->GetDataAddressR(), r.polygon, uv);
    if (setU) uv[r.corner].x = u;
    if (setV) uv[r.corner].y = v;
    UVWTag::Set(tag->GetDataAddressW(), r.polygon, uv);
  }
  scope.Commit(false);
  return true;
}

Bool CaptureSize(TransformState& state) {
  UVToolScope scope({.mode = Muvpolygons, .selection = ToolNeeds::Selection::kPolygons});
  if (!scope.Ok()) return false;
  const CPolygon* polys = scope.Polygons();
  const UVWStruct* uvw = scope.UVs();
  const std::vector<Int32>& list = scope.SelectedPolygons();
  const Float area = UVAreaOf(uvw, polys, list);
  Float minU = uvw[list[0]].a.x, maxU = minU;
  Float minV = uvw[list[0]].a.y, maxV = minV;
  for (Int32 i : list) {
    // Corners a, b, c and d of a quadrangle; a triangle takes c again.
    const Bool quad = !polys[i].IsTriangle();
    for (Int32 k = 0; k < 4; ++k) {
      const Vector& p = uvw[i][k == 3 && !quad ? 2 : k];
      minU = std::fmin(minU, p.x);
      maxU = std::fmax(maxU, p.x);
      minV = std::fmin(minV, p.y);
      maxV = std::fmax(maxV, p.y);
    }
  }
  // A box or area that is not a number would feed the island fitting with it.
  const Float width = maxU - minU, height = maxV - minV;
  if (!std::isfinite(area) || !std::isfinite(width) || !std::isfinite(height) ||
      !std::isfinite(minU + maxU) || !std::isfinite(minV + maxV))
    return false;

  state.measuredArea = area;
  state.capturedWidth = width;
  state.capturedHeight = height;
  state.capturedCentre = Vector((minU + maxU) / 2.0, (minV + maxV) / 2.0, 0.0);
  return true;
}

Bool ApplyAnglePreset(ToolDialog& dlg) {
  const Int32 index = dlg.GetInt32(IDC_ANGLE_PRESET) - IDC_ANGLE_10;
  const Float degrees = index >= 0 && index < kPresetCount ? kPresetDegrees[index] : 0.0;
  dlg.SetFloat(IDC_ANGLE, kAngleField, degrees * kDegreeToRadian);
  return true;
}

namespace {

void AreaCommand(ToolDialog& dlg, Int32 id, TransformState& t) {
  switch (id) {
    case IDC_AREA_MEASURE:
      MeasureArea(dlg, t);
      break;
    case IDC_AREA_SELECT:
      SelectByArea(dlg);
      break;
    case IDC_SET_UVW:
      SetUVW(dlg);
      break;
    case IDC_SIZE_CAPTURE:
      // A captured size turns the scale button into fitting islands to it.
      if (CaptureSize(t)) {
        t.kind = TransformKind::kSizeCaptured;
        dlg.SetBool(IDC_LIVE_SCALE, false);
        dlg.Refresh();
      }
      break;
    case IDC_ANGLE_PRESET:
      ApplyAnglePreset(dlg);
      break;
    default:
      break;
  }
}

const bool registered = RegisterToolGroup(ToolGroup<TransformState>{
    .name = "area tools",
    .controls = {IDC_AREA_MEASURE, IDC_AREA_SELECT, IDC_SET_UVW, IDC_SIZE_CAPTURE,
                 IDC_ANGLE_PRESET},
    .command = AreaCommand,
});

}  // namespace
