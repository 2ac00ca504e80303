#include "UVEdgeTools.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <utility>

#include "c4d_basedocument.h"
#include "c4d_general.h"
#include "c4d_neighbor.h"
#include "c4d_symbols.h"
#include "lib_modeling.h"

namespace {

// The corner of poly that carries point, or -1. A triangle's spare d is no corner.
Int32 CornerOf(const CPolygon& poly, Int32 point) {
  const Int32 n = poly.IsTriangle() ? 3 : 4;
  for (Int32 k = 0; k < n; ++k)
    if (poly[k] == point) return k;
  return -1;
}

Int32 CornerCount(const CPolygon& poly) {
  return poly.IsTriangle() ? 3 : 4;
}

// The signed angle that MatrixRotZ turns `from` by to point along `to`: the angle between the
// directions, negated when `from` lies clockwise of `to`.
Float TurnAngle(const Vector& to, const Vector& from) {
  Float a = VectorAngle(NormalizedCopy(to), NormalizedCopy(from));
  if (from.y * to.x - from.x * to.y < 0) a = -a;
  return a;
}

// Scaling by k in u and v (w keeps its scale) after the turn by angle.
Matrix ScaledTurn(Float k, Float angle) {
  return MatrixMultiply(MatrixScale(Vector(k, k, 1.0)), MatrixRotZ(angle));
}

// Replaces the corners of uv by map(corner) unless a result is not finite; answers whether it
// did.
template <typename Map>
Bool MapCorners(UVWStruct& uv, const CPolygon& poly, Map&& map) {
  UVWStruct r = uv;
  for (Int32 k = 0; k < CornerCount(poly); ++k) {
    r[k] = map(uv[k]);
    if (!Finite(r[k])) return false;
  }
  uv = r;
  return true;
}

// The two UV writes the connect ends with: back into the tag (joining the undo group the
// caller opened), then the object hears of it and the views follow.
void WriteBack(UVToolScope& scope, Bool redrawNow) {
  scope.BeginUndo();
  scope.UVSet()->SetUVWFromTextureView(scope.UVs());
  if (redrawNow) DrawViews(DRAWFLAGS_ONLY_ACTIVE_VIEW | DRAWFLAGS_NO_THREAD | DRAWFLAGS_NO_ANIMATION);
  scope.Object()->Message(MSG_UPDATE);
  EventAdd();
}

ToolNeeds ConnectNeeds() {
  return {.mode = Muvpoints,
          .withPolygons = true,
          .uvParts = GETACTIVEUVSET_UVWS,
          .selection = ToolNeeds::Selection::kPolygons};
}

}  // namespace

// --- edge stitch ---

Bool StitchPolygonToEdge(Int32 stitchMode, const CPolygon* polys, Int32 polyCount, UVWStruct* uv,
                         Int32 p, Int32 s1, Int32 s2, Int32 q) {
  if (!polys || !uv || p < 0 || q < 0 || p >= polyCount || q >= polyCount) return false;
  const CPolygon& pp = polys[p];
  const CPolygon& qp = polys[q];
  const Int32 p1 = CornerOf(pp, s1), p2 = CornerOf(pp, s2);
  const Int32 q1 = CornerOf(qp, s1), q2 = CornerOf(qp, s2);
  if (p1 < 0 || p2 < 0 || q1 < 0 || q2 < 0) return false;
  const Vector P1 = uv[p][p1], P2 = uv[p][p2];
  const Vector Q1 = uv[q][q1], Q2 = uv[q][q2];

  if (stitchMode != 1) {
    if (!Finite(P1) || !Finite(P2)) return false;
    uv[q][q1] = P1;
    uv[q][q2] = P2;
    return true;
  }
  const Vector E = P2 - P1, F = Q2 - Q1;
  const Float lengthF = F.GetLength();
  if (lengthF == 0.0) return false;  // no direction to turn and no scale: q stays
  const Matrix m = ScaledTurn(E.GetLength() / lengthF, TurnAngle(E, F));
  return MapCorners(uv[q], qp, [&](const Vector& x) { return m * (x - Q1) + P1; });
}

Bool StitchSelectedEdges(ToolDialog& dlg) {
  UVToolScope scope({.mode = Medges, .withPolygons = true, .uvParts = GETACTIVEUVSET_UVWS});
  if (!scope.Ok() || scope.SelectedPolygons().empty()) return false;
  PolygonObject* op = scope.Object();
  const Int32 polyCount = scope.PolygonCount();
  const BaseSelect* polySel = op->GetPolygonS();
  const BaseSelect* edgeSel = op->GetEdgeS();
  // Edge e is side e % 4 of polygon e / 4; indices at or beyond four per polygon name nothing.
  const auto edgeLimit = static_cast<Int32>(
      std::min<Int64>(4 * static_cast<Int64>(polyCount), std::numeric_limits<Int32>::max()));
  Int32 from = 0, to = 0;
  if (!edgeSel->GetRange(0, edgeLimit, &from, &to)) return false;

  const CPolygon* polys = scope.Polygons();
  Neighbor neighbours;
  if (!neighbours.Init(op->GetPointCount(), polys, polyCount)) return false;
  std::unique_ptr<Modeling, void (*)(Modeling*)> kernel(Modeling::Alloc(), [](Modeling* m) {
    Modeling::Free(m);
  });
  if (!kernel || !kernel->InitObject(op)) return false;

  const Int32 stitchMode = dlg.GetInt32(IDC_EDGE_STITCH_MODE);
  UVWStruct* uv = scope.UVs();
  Bool changed = false;
  for (Int32 seg = 0; edgeSel->GetRange(seg, edgeLimit, &from, &to); ++seg)
    for (Int32 e = from; e <= to; ++e) {
      const Int32 p = e / 4;
      if (!polySel->IsSelected(p)) continue;
      Int32 s1 = 0, s2 = 0;
      if (!kernel->GetOriginalEdgePoints(op, e, s1, s2)) continue;
      const Int32 q = neighbours.GetNeighbor(s1, s2, p);
      if (q == NOTOK) continue;
      changed |= StitchPolygonToEdge(stitchMode, polys, polyCount, uv, p, s1, s2, q);
    }
  // One undo step for the whole run; a run that stitched nothing leaves no empty step.
  if (changed) {
    scope.BeginUndo();
    scope.Commit();
  } else {
    EventAdd();
  }
  return true;
}

// --- polygon connect ---

Bool ConnectEdgePoints(const std::vector<UVPointRef>& points, const UVWStruct* uv,
                       std::vector<ConnectEdgePoint>& out) {
  out.clear();
  if (!uv) return false;
  // Ascending indices put each polygon's points next to each other, so a polygon that carries
  // more than one selected point is a run of two or more.
  Int32 runs = 0;
  for (size_t i = 0; i < points.size();) {
    size_t j = i + 1;
    while (j < points.size() && points[j].polygon == points[i].polygon) ++j;
    if (j - i > 1) {
      if (out.size() + (j - i) > 4) return false;
      ++runs;
      for (size_t k = i; k < j; ++k)
        out.push_back({uv[points[k].polygon][points[k].corner], points[k].polygon});
    }
    i = j;
  }
  // Two points on each of two polygons; four on one polygon would join it onto itself.
  if (out.size() != 4 || runs != 2) {
    out.clear();
    return false;
  }
  return true;
}

Bool ConnectUVPolygons(ToolDialog& dlg, ConnectState& connect) {
  // A new connect replaces the last one, also when it is refused.
  std::vector<ConnectEdgePoint>().swap(connect.reverseData);
  UVToolScope scope(ConnectNeeds());
  if (!scope.Ok()) return false;
  UVWStruct* uv = scope.UVs();
  std::vector<ConnectEdgePoint> e;
  if (!ConnectEdgePoints(scope.SelectedUVPoints(), uv, e)) return false;
  // The fixed pair belongs to the unselected polygon whenever one of the two is unselected.
  if (scope.PolygonSelection()->IsSelected(e[0].polygon)) {
    std::swap(e[0], e[2]);
    std::swap(e[1], e[3]);
  }
  const Vector E1 = e[1].uv - e[0].uv, E2 = e[3].uv - e[2].uv, E2r = e[2].uv - e[3].uv;
  const Float lengthE2 = E2.GetLength();
  if (lengthE2 == 0.0) return false;  // the moved edge has no length: no scale, no direction
  const Float k = E1.GetLength() / lengthE2;
  if (!std::isfinite(k)) return false;
  const Matrix m1 = ScaledTurn(k, TurnAngle(E1, E2));
  const Matrix m2 = ScaledTurn(k, TurnAngle(E1, E2r));

  const CPolygon* polys = scope.Polygons();
  const Vector e0 = e[0].uv, e2 = e[2].uv;
  for (Int32 p : scope.SelectedPolygons())
    MapCorners(uv[p], polys[p], [&](const Vector& x) { return m1 * (x - e2) + e0; });
  WriteBack(scope, true);

  connect.transformA = m1;
  connect.transformB = m2;
  connect.reverseData = std::move(e);
  dlg.SetTimer(10);
  return true;
}

Bool ConnectUVPolygonsReversed(ToolDialog&, ConnectState& connect) {
  if (connect.reverseData.size() != 4) return false;
  UVToolScope scope(ConnectNeeds());
  if (!scope.Ok()) return false;
  const Vector e0 = connect.reverseData[0].uv;
  const Vector e2 = connect.reverseData[2].uv, e3 = connect.reverseData[3].uv;
  const Matrix back = MatrixInverse(connect.transformA);
  const Matrix m2 = connect.transformB;
  UVWStruct* uv = scope.UVs();
  const CPolygon* polys = scope.Polygons();
  for (Int32 p : scope.SelectedPolygons())
    MapCorners(uv[p], polys[p], [&](const Vector& x) {
      const Vector x0 = back * (x - e0) + e2;  // where the corner was before the connect
      return m2 * (x0 - e3) + e0;
    });
  WriteBack(scope, false);
  return true;
}

namespace {

void EdgeCommand(ToolDialog& dlg, Int32 id, ConnectState& connect) {
  if (id == IDC_EDGE_STITCH)
    StitchSelectedEdges(dlg);
  else
    ConnectUVPolygons(dlg, connect);
}

// The connect starts the timer; its first tick asks whether the reversed placement is wanted.
// A tick without a stored connect asks nothing.
void EdgeTimer(ToolDialog& dlg, ConnectState& connect) {
  if (connect.reverseData.size() == 4 && QuestionDialog("UV Revers ?"))
    ConnectUVPolygonsReversed(dlg, connect);
  dlg.SetTimer(0);
  std::vector<ConnectEdgePoint>().swap(connect.reverseData);
}

const bool registered = RegisterToolGroup(ToolGroup<ConnectState>{
    .name = "edge stitch and polygon connect",
    .controls = {IDC_EDGE_STITCH, IDC_CONNECT},
    .command = EdgeCommand,
    .timer = EdgeTimer,
});

}  // namespace
