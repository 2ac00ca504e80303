#include "UVIslandTools.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "c4d_basedocument.h"
#include "c4d_general.h"
#include "c4d_symbols.h"

// --- island scale, rotate and move ---

namespace {

// c + S (p - c) for the diagonal S = s, summed as the host's matrices about c sum it.
struct ScaleAbout {
  Vector c, s;
  Vector operator()(const Vector& p) const {
    return Vector(c.x + s.x * (p.x - c.x), c.y + s.y * (p.y - c.y), c.z + s.z * (p.z - c.z));
  }
};

// c + R (p - c) for R = MatrixRotZ(angle): u by cos and sin, w unchanged.
struct RotateAbout {
  Vector c;
  Float cs = 1.0, sn = 0.0;
  Vector operator()(const Vector& p) const {
    const Float x = p.x - c.x, y = p.y - c.y;
    return Vector(c.x + (cs * x + sn * y), c.y + (-sn * x + cs * y), c.z + (p.z - c.z));
  }
};

// Scales the island about its centre.
Bool ScaleIsland(IslandWork& w, const Vector& s) {
  MapIsland(w, ScaleAbout{SelectionCenterUV(w.uv, w.polygons, w.polys), s});
  return true;
}

}  // namespace

Bool ScaleIslands(Float sU, Float sV, Bool applyU, Bool applyV, Bool keep) {
  const Vector s(applyU ? sU : 1.0, applyV ? sV : 1.0, 1.0);
  return RunIslandFrame(keep, UVMatch::kTolerance, nullptr,
                        [&s](IslandWork& w) { return ScaleIsland(w, s); });
}

Bool FitIslandsToSize(Float width, Float height, Bool keep) {
  return RunIslandFrame(keep, UVMatch::kTolerance, nullptr, [=](IslandWork& w) {
    Float minU = std::numeric_limits<Float>::infinity(), maxU = -minU;
    Float minV = minU, maxV = maxU;
    for (Int32 p : w.polygons) {
      const UVWStruct& s = w.uv[p];
      const Int32 corners = w.polys[p].c != w.polys[p].d ? 4 : 3;
      for (Int32 k = 0; k < corners; ++k) {
        minU = std::min(minU, s[k].x);
        maxU = std::max(maxU, s[k].x);
        minV = std::min(minV, s[k].y);
        maxV = std::max(maxV, s[k].y);
      }
    }
    // A flat island has no factor that fits it (division by zero): it stays as it is.
    const Float islandW = maxU - minU, islandH = maxV - minV;
    if (islandW == 0.0 || islandH == 0.0) return false;
    return ScaleIsland(w, Vector(width / islandW, height / islandH, 1.0));
  });
}

Bool RotationPivot(UVToolScope& scope, Vector& pivot) {
  DistinctPositions distinct;
  for (const CapturedPointRecord& r : scope.SelectedPointPositions()) distinct.Add(r.position);
  if (distinct.List().empty()) return false;
  Vector sum;
  for (const Vector& p : distinct.List()) sum += p;
  pivot = sum / static_cast<Float>(distinct.List().size());
  return true;
}

Bool RotateIslands(Float angle, Bool keep) {
  Vector pivot;
  Bool hasPivot = false;
  const Float cs = std::cos(angle), sn = std::sin(angle);
  return RunIslandFrame(
      keep, UVMatch::kExact,
      [&](UVToolScope& scope) {
        hasPivot = RotationPivot(scope, pivot);
        return true;
      },
      [&](IslandWork& w) {
        const Vector c = hasPivot ? pivot : SelectionCenterUV(w.uv, w.polygons, w.polys);
        MapIsland(w, RotateAbout{c, cs, sn});
        return true;
      });
}

Bool MoveIslandsTo(Float u, Float v, Bool keep, Bool moveU, Bool moveV) {
  return RunIslandFrame(keep, UVMatch::kExact, nullptr, [=](IslandWork& w) {
    const Vector c = SelectionCenterUV(w.uv, w.polygons, w.polys);
    const Vector d(u - c.x, v - c.y, 0.0 - c.z);
    MapIsland(w, [&](const Vector& p) {
      return Vector(moveU ? p.x + d.x : p.x, moveV ? p.y + d.y : p.y, p.z + d.z);
    });
    return true;
  });
}

// --- readouts ---

Bool MeasureTwoPointAngle(ToolDialog& dlg) {
  UVToolScope scope({.mode = Muvpoints,
                     .withPolygons = true,
                     .uvParts = GETACTIVEUVSET_UVWS,
                     .selection = ToolNeeds::Selection::kPolygons});
  if (!scope.Ok()) return false;

  DistinctPositions points(3);  // a third one is enough to refuse
  for (const CapturedPointRecord& r : scope.SelectedPointPositions()) points.Add(r.position);
  const std::vector<Vector>& distinct = points.List();
  if (distinct.size() != 2) return false;

  Vector first = distinct[0], second = distinct[1];
  Vector reference(1, 0, 0);
  if (dlg.GetInt32(IDC_ANGLE_AXIS) == IDC_ANGLE_AXIS_U) {
    if (first.x > second.x) std::swap(first, second);
  } else {
    if (first.y > second.y) std::swap(first, second);
    reference = Vector(0, 1, 0);
  }
  Vector d = second - first;
  NormalizeVector(d);
  Float a = VectorAngle(d, reference);
  // The sign comes from the cross product of the two positions (not of the line's direction),
  // as users of the tool know it: the same line moved elsewhere can read with the other sign.
  if (first.x * second.y - first.y * second.x < 0.0) a = -a;
  if (!std::isfinite(a)) return false;
  dlg.SetFloat(IDC_ANGLE, kAngleField, a);
  return true;
}

Bool ReadSelectedPointsCenter(ToolDialog& dlg) {
  UVToolScope scope({.mode = Muvpoints,
                     .uvParts = GETACTIVEUVSET_UVWS,
                     .selection = ToolNeeds::Selection::kUVPoints});
  if (!scope.Ok()) return false;
  const std::vector<CapturedPointRecord> points = scope.SelectedPointPositions();
  Float u = 0.0, v = 0.0;
  for (const CapturedPointRecord& r : points) {
    u += r.position.x;
    v += r.position.y;
  }
  u /= static_cast<Float>(points.size());
  v /= static_cast<Float>(points.size());
  if (!std::isfinite(u) || !std::isfinite(v)) return false;
  dlg.SetFloat(IDC_SET_U, kUnitValueField, u);
  dlg.SetFloat(IDC_SET_V, kUnitValueField, v);
  return true;
}

// --- live scaling and rotation ---

Bool CaptureIslandSnapshot(ToolDialog& dlg, TransformState& state, SnapshotKind kind) {
  std::vector<IslandSnapshotRecord>& records =
      kind == SnapshotKind::kScale ? state.scaleRecord : state.rotateRecord;
  records.clear();

  UVToolScope scope({.mode = Muvpolygons, .withPolygons = true});
  if (!scope.Ok()) return false;
  // One undo step that takes the object back to before the live changes.
  scope.BeginUndo();

  const CPolygon* polys = scope.Polygons();
  const ConstUVWHandle h = scope.Tag()->GetDataAddressR();
  for (Int32 p : scope.SelectedPolygons()) {
    UVWStruct s;
    UVWTag::Get(h, p, s);
    const Bool triangle = polys[p].c == polys[p].d;
    records.push_back({p, s.a, s.b, s.c, triangle ? Vector() : s.d, triangle ? 3 : 4});
  }

  if (kind == SnapshotKind::kScale && state.kind == TransformKind::kNone && !records.empty()) {
    state.kind = TransformKind::kLiveScale;
    dlg.SetFloat(IDC_SCALE_U, kScaleFactorField, 1.0);
    dlg.SetFloat(IDC_SCALE_V, kScaleFactorField, 1.0);
  }
  if (kind == SnapshotKind::kRotate && state.angleReady == 0 && !records.empty()) {
    state.angleReady = 1;
    dlg.SetFloat(IDC_ANGLE, kAngleField, 0.0);
  }
  EventAdd();
  return true;
}

namespace {

// Transforms the islands of the snapshot again from their stored corners; map(c, p) gives a
// stored corner's new place about the island centre c.
template <typename Map>
Bool LiveTransform(Bool keep, const std::vector<IslandSnapshotRecord>& snapshot, const Map& map) {
  if (snapshot.empty()) return false;
  UVToolScope scope({.uvMode = Mpolygons});
  if (!scope.Ok()) return false;
  const Int32 polyCount = scope.PolygonCount();
  UVWStruct* uv = scope.UVs();
  const CPolygon* polys = scope.Polygons();

  // Records of polygons the object no longer has are passed over.
  std::vector<const IslandSnapshotRecord*> records;
  std::vector<Int32> list;
  for (const IslandSnapshotRecord& r : snapshot) {
    if (r.polygon < 0 || r.polygon >= polyCount) continue;
    records.push_back(&r);
    list.push_back(r.polygon);
  }
  if (list.empty()) return false;
  const UVIslands islands = BuildIslands(uv, list);
  std::unique_ptr<NeighbourCarry> carry = keep ? MakeIslandCarry(uv, polyCount, list) : nullptr;

  std::vector<Int32> entries;
  std::vector<Vector> oldList, newList;
  for (size_t k = 0; k < islands.Count(); ++k) {
    // By polygon, and by record within a polygon.
    entries.assign(islands.Island(k).begin(), islands.Island(k).end());
    std::stable_sort(entries.begin(), entries.end(), [&list](Int32 a, Int32 b) {
      return list[static_cast<size_t>(a)] < list[static_cast<size_t>(b)];
    });
    Vector c;
    for (Int32 e : entries) {
      const IslandSnapshotRecord& r = *records[static_cast<size_t>(e)];
      c += PolygonCenterUV(UVWStruct(r.a, r.b, r.c, r.d), polys[r.polygon]);
    }
    c = c / static_cast<Float>(entries.size());

    oldList.clear();
    newList.clear();
    for (Int32 e : entries) {
      const IslandSnapshotRecord& r = *records[static_cast<size_t>(e)];
      UVWStruct& s = uv[r.polygon];
      if (carry) AppendCorners(s, oldList);
      const UVWStruct moved(map(c, r.a), map(c, r.b), map(c, r.c), map(c, r.d));
      // A corner that is not finite would spoil the UVs: the polygon keeps its corners.
      if (Finite(moved.a) && Finite(moved.b) && Finite(moved.c) && Finite(moved.d)) s = moved;
      if (carry) AppendCorners(s, newList);
    }
    if (carry) carry->Apply(uv, oldList, newList, UVMatch::kTolerance, false);
  }

  BaseSelect* sel = scope.PolygonSelection();
  sel->DeselectAll();
  for (Int32 p : list) sel->Select(p);
  scope.Commit();
  return true;
}

}  // namespace

Bool LiveScaleIslands(Float sU, Float sV, Bool keep,
                      const std::vector<IslandSnapshotRecord>& snapshot) {
  return LiveTransform(keep, snapshot, [sU, sV](const Vector& c, const Vector& p) {
    return Vector(c.x + (p.x - c.x) * sU, c.y + (p.y - c.y) * sV, c.z + (p.z - c.z));
  });
}

Bool LiveRotateIslands(Float angle, Bool keep, const std::vector<IslandSnapshotRecord>& snapshot) {
  const Matrix m = MatrixRotZ(angle);
  return LiveTransform(keep, snapshot, [&m](const Vector& c, const Vector& p) {
    const Vector r = m * (p - c);
    return Vector(c.x + r.x, c.y + r.y, p.z);
  });
}

// --- the group in the dialog ---

namespace {

// Both scale factors take one value: the applied one, else the larger.
void LinkScaleFactors(ToolDialog& dlg) {
  if (!dlg.GetBool(IDC_SCALE_LINK)) return;
  const Float u = dlg.GetFloat(IDC_SCALE_U), v = dlg.GetFloat(IDC_SCALE_V);
  const Float common = dlg.GetBool(IDC_SCALE_U_ON)   ? u
                       : dlg.GetBool(IDC_SCALE_V_ON) ? v
                                                     : std::max(u, v);
  dlg.SetFloat(IDC_SCALE_U, kScaleFactorField, common);
  dlg.SetFloat(IDC_SCALE_V, kScaleFactorField, common);
}

void IslandCommand(ToolDialog& dlg, Int32 id, TransformState& t) {
  switch (id) {
    case IDC_SCALE: {
      const Bool keep = dlg.GetBool(IDC_SCALE_KEEP);
      if (dlg.GetBool(IDC_LIVE_SCALE)) {
        CaptureIslandSnapshot(dlg, t, SnapshotKind::kScale);
        dlg.Refresh();
      } else if (t.kind == TransformKind::kSizeCaptured) {
        FitIslandsToSize(t.capturedWidth, t.capturedHeight, keep);
      } else {
        ScaleIslands(dlg.GetFloat(IDC_SCALE_U), dlg.GetFloat(IDC_SCALE_V),
                     dlg.GetBool(IDC_SCALE_U_ON), dlg.GetBool(IDC_SCALE_V_ON), keep);
      }
      break;
    }
    case IDC_SCALE_U:
    case IDC_SCALE_V:
      // Linked factors follow the one that changed; then the live step.
      if (dlg.GetBool(IDC_SCALE_LINK))
        dlg.SetFloat(id == IDC_SCALE_U ? IDC_SCALE_V : IDC_SCALE_U, kScaleFactorField,
                     dlg.GetFloat(id));
      if (t.kind == TransformKind::kLiveScale && !t.scaleRecord.empty())
        LiveScaleIslands(dlg.GetFloat(IDC_SCALE_U), dlg.GetFloat(IDC_SCALE_V),
                         dlg.GetBool(IDC_SCALE_KEEP), t.scaleRecord);
      break;
    case IDC_SCALE_LINK:
      LinkScaleFactors(dlg);
      break;
    case IDC_SCALE_RESET:
      t.kind = TransformKind::kNone;
      dlg.SetFloat(IDC_SCALE_U, kScaleFactorField, 1.0);
      dlg.SetFloat(IDC_SCALE_V, kScaleFactorField, 1.0);
      std::vector<IslandSnapshotRecord>().swap(t.scaleRecord);
      dlg.Refresh();
      break;
    case IDC_ROTATE:
      if (dlg.GetBool(IDC_LIVE_ROTATE)) {
        CaptureIslandSnapshot(dlg, t, SnapshotKind::kRotate);
        dlg.Refresh();
      } else {
        RotateIslands(dlg.GetFloat(IDC_ANGLE), dlg.GetBool(IDC_ROTATE_KEEP));
      }
      break;
    case IDC_ANGLE:
      if (t.angleReady && !t.rotateRecord.empty())
        LiveRotateIslands(dlg.GetFloat(IDC_ANGLE), dlg.GetBool(IDC_ROTATE_KEEP), t.rotateRecord);
      break;
    case IDC_ANGLE_RESET:
      dlg.SetFloat(IDC_ANGLE, kAngleField, 0.0);
      t.angleReady = 0;
      std::vector<IslandSnapshotRecord>().swap(t.rotateRecord);
      dlg.Refresh();
      break;
    case IDC_TWO_POINT_ANGLE:
      MeasureTwoPointAngle(dlg);
      break;
    case IDC_MOVE:
      MoveIslandsTo(dlg.GetFloat(IDC_MOVE_U), dlg.GetFloat(IDC_MOVE_V), dlg.GetBool(IDC_MOVE_KEEP),
                    dlg.GetBool(IDC_SET_U_ON), dlg.GetBool(IDC_SET_V_ON));
      break;
    case IDC_POINTS_CENTER:
      ReadSelectedPointsCenter(dlg);
      break;
    default:
      break;
  }
}

// What the stored transform allows: scale fields while nothing or the live scaling is pending,
// captures only while nothing is, the rotate controls while the live rotation is not armed.
void IslandRefresh(ToolDialog& dlg, TransformState& t) {
  const Int32 kind = static_cast<Int32>(t.kind);
  for (Int32 id : {IDC_SCALE_U, IDC_SCALE_V, IDC_SCALE_U_ON, IDC_SCALE_V_ON})
    dlg.Enable(id, kind < 0 || t.kind == TransformKind::kLiveScale);
  dlg.Enable(IDC_SCALE, t.kind != TransformKind::kRealArea && t.kind != TransformKind::kLiveScale);
  for (Int32 id : {IDC_SIZE_CAPTURE, IDC_RA_MEASURE, IDC_LIVE_SCALE}) dlg.Enable(id, kind < 1);
  dlg.Enable(IDC_RA_APPLY_TEXTURE,
             dlg.GetBool(IDC_RA_TEXTURE_MODE) || t.kind == TransformKind::kRealArea);
  for (Int32 id : {IDC_ROTATE, IDC_LIVE_ROTATE, IDC_TWO_POINT_ANGLE, IDC_ANGLE_AXIS})
    dlg.Enable(id, t.angleReady == 0);
}

const bool registered = RegisterToolGroup(ToolGroup<TransformState>{
    .name = "islands",
    .controls = {IDC_SCALE, IDC_SCALE_U, IDC_SCALE_V, IDC_SCALE_LINK, IDC_SCALE_RESET, IDC_ROTATE,
                 IDC_ANGLE, IDC_ANGLE_RESET, IDC_TWO_POINT_ANGLE, IDC_MOVE, IDC_POINTS_CENTER},
    .command = IslandCommand,
    .refresh = IslandRefresh,
    .refreshOrder = 5,
});

}  // namespace
