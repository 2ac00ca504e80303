#include "UVLineTools.h"

#include <cmath>
#include <string>

#include "UVpA.h"
#include "c4d_basedocument.h"
#include "c4d_symbols.h"

namespace {

// Where the line through a and b meets the line through p along u (axis 1) or along v (axis 2),
// in the (u, v) plane; p keeps its w. False when the two lines are parallel or the meeting point
// is out of reach of a number.
Bool MeetLine(const Vector& a, const Vector& b, const Vector& p, Int32 axis, Vector& out) {
  const Bool vertical = a.x == b.x;  // u = a.u
  if (axis == 1) {
    if (vertical) {
      out = Vector(a.x, p.y, p.z);
    } else {
      const Float slope = (b.y - a.y) / (b.x - a.x);
      if (slope == 0.0) return false;
      const Float intercept = a.y - slope * a.x;
      out = Vector((p.y - intercept) / slope, p.y, p.z);
    }
  } else {
    if (vertical) return false;
    const Float slope = (b.y - a.y) / (b.x - a.x);
    const Float intercept = a.y - slope * a.x;
    out = Vector(p.x, slope * p.x + intercept, p.z);
  }
  return Finite(out);
}

}  // namespace

Bool ProjectOnLine(ToolDialog& dlg, AlignCapture& line, Int32 axis) {
  const Vector a = line.line[0], b = line.line[1];
  if ((axis != 1 && axis != 2) || a == Vector() || b == Vector()) return false;
  UVToolScope scope({.mode = Muvpoints,
                     .uvParts = GETACTIVEUVSET_UVWS,
                     .selection = ToolNeeds::Selection::kUVPoints});
  if (!scope.Ok()) return false;

  const Vector d = NormalizedCopy(b - a);
  const Bool keepDistance = dlg.GetBool(IDC_ALIGN_DISTANCE);
  UVWStruct* uv = scope.UVs();
  const std::vector<UVPointRef>& points = scope.SelectedUVPoints();
  // New places up to the first point that has none: a parallel line stops the tool there.
  std::vector<Vector> placed;
  for (const UVPointRef& r : points) {
    const Vector& p = uv[r.polygon][r.corner];
    Vector q;
    if (keepDistance) {
      const Float l = (p - a).GetLength();
      q = Vector(a.x + l * d.x, a.y + l * d.y, a.z);
      if (!Finite(q)) break;
    } else if (!MeetLine(a, b, p, axis, q)) {
      break;
    }
    placed.push_back(q);
  }
  if (!placed.empty()) {
    scope.BeginUndo();
    for (size_t i = 0; i < placed.size(); ++i) uv[points[i].polygon][points[i].corner] = placed[i];
    scope.Commit();
  }
  // A stop keeps the line, so the user can capture another or use the other button.
  if (placed.size() < points.size()) return false;
  line.line = {};
  line.enabled = 0;
  dlg.SetString(IDC_ALIGN_CAPTURE, "Select UVpoints");
  dlg.Refresh();
  return true;
}

Bool ShiftCorners(Int32 direction) {
  if (direction != 1 && direction != 2) return false;
  UVToolScope scope({.mode = Muvpolygons,
                     .uvParts = GETACTIVEUVSET_UVWS,
                     .selection = ToolNeeds::Selection::kPolygons});
  if (!scope.Ok()) return false;
  // Recorded although the tool's users have gone without: a shift is a change to undo.
  scope.BeginUndo();
  UVWStruct* uv = scope.UVs();
  const CPolygon* polys = scope.Polygons();
  for (Int32 p : scope.SelectedPolygons()) {
    UVWStruct& s = uv[p];
    // A triangle turns its three corners; its fourth slot keeps its value.
    const UVWStruct t = s;
    if (polys[p].IsTriangle())
      s = direction == 1 ? UVWStruct(t.b, t.c, t.a, t.d) : UVWStruct(t.c, t.a, t.b, t.d);
    else
      s = direction == 1 ? UVWStruct(t.b, t.c, t.d, t.a) : UVWStruct(t.d, t.a, t.b, t.c);
  }
  scope.Commit();
  return true;
}

Bool CaptureStitchPoints(ToolDialog& dlg, StitchCapture& stitch) {
  UVToolScope scope({.mode = Muvpoints,
                     .uvParts = GETACTIVEUVSET_UVWS,
                     .selection = ToolNeeds::Selection::kUVPoints});
  if (!scope.Ok()) return false;
  std::vector<CapturedPointRecord> points = scope.SelectedPointPositions();
  if (points.size() < 2) return false;

  std::vector<Vector> positions;
  for (const CapturedPointRecord& r : points) positions.push_back(r.position);
  const UInt32 count = static_cast<UInt32>(points.size());
  stitch.points = std::move(points);
  stitch.count = count;
  stitch.enabled = 1;
  if (DistinctUVPoints(positions, true, 2).size() < 2) {
    // One place is no row: the capture is dropped, and the dialog says so.
    stitch.Release();
    dlg.SetString(IDC_STITCH_CAPTURE, "Select UVpoints");
    dlg.Refresh();
    return false;
  }
  dlg.Refresh();
  dlg.SetString(IDC_STITCH_CAPTURE, "Select:" + std::to_string(count));
  return true;
}

namespace {

void LineCommand(ToolDialog& dlg, Int32 id, AlignCapture& line, StitchCapture& stitch) {
  switch (id) {
    case IDC_PROJECT_U:
    case IDC_PROJECT_V:
      ProjectOnLine(dlg, line, id == IDC_PROJECT_U ? 1 : 2);
      break;
    case IDC_MOVE_POINT_LEFT:
    case IDC_MOVE_POINT_RIGHT:
      ShiftCorners(id == IDC_MOVE_POINT_LEFT ? 1 : 2);
      break;
    case IDC_STITCH_CAPTURE:
      CaptureStitchPoints(dlg, stitch);
      break;
    default:
      break;
  }
}

const bool registered = RegisterToolGroup(ToolGroup<AlignCapture, StitchCapture>{
    .name = "line projection, corner shift, stitch capture",
    .controls = {IDC_PROJECT_U, IDC_PROJECT_V, IDC_MOVE_POINT_LEFT, IDC_MOVE_POINT_RIGHT,
                 IDC_STITCH_CAPTURE},
    .command = LineCommand,
});

}  // namespace
