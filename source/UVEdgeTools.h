// UV edge stitch and UV polygon connect, with the question that offers the reversed placement.
#pragma once

#include "UVtoolsRegistry.h"
#include "UVtoolsState.h"

// Pulls the neighbours across the selected edges onto the edges, edge by edge in ascending
// order, each stitch seeing the UVs the earlier ones left. Needs edges mode, a selected polygon
// and a selected edge; edges of unselected polygons and border edges are skipped.
Bool StitchSelectedEdges(ToolDialog& dlg);

// Moves q's UVs onto p's edge (s1, s2): with stitchMode 1 ("Polygon") all of q, rotated and
// scaled about its corner at s1; with any other value ("Point") only q's corners at s1 and s2.
// False, with q unchanged, when a polygon index is outside polyCount, s1 or s2 is not a corner
// of both polygons, or (in "Polygon") q's edge has no length or the result would not be finite.
// A triangle's spare d corner is never read or written.
Bool StitchPolygonToEdge(Int32 stitchMode, const CPolygon* polys, Int32 polyCount, UVWStruct* uv,
                         Int32 p, Int32 s1, Int32 s2, Int32 q);

// Joins the selected polygons onto another polygon's edge, given by two selected UV points on
// each of two polygons; keeps the placement for the reversal and starts the timer that asks.
Bool ConnectUVPolygons(ToolDialog& dlg, ConnectState& connect);
// Places the polygons of the last connect again with the joined edge's ends swapped. False
// without a stored connect.
Bool ConnectUVPolygonsReversed(ToolDialog& dlg, ConnectState& connect);

// The four edge points of a connect from the selected UV points (ascending, valid): the points
// of the polygons that carry more than one of them. False unless that is two points on each of
// two polygons; e0 and e1 are then those of the lower polygon.
Bool ConnectEdgePoints(const std::vector<UVPointRef>& points, const UVWStruct* uv,
                       std::vector<ConnectEdgePoint>& out);
