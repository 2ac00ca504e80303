// UV edge stitch and UV polygon connect, with the question that offers the reversed placement.
#pragma once

#include "UVtoolsRegistry.h"
#include "UVtoolsState.h"

// Pulls the neighbours across the selected edges onto the edges.
Bool StitchSelectedEdges(ToolDialog& dlg);
// Joins a UV island onto another polygon's edge; keeps the placement for the reversal.
Bool ConnectUVPolygons(ToolDialog& dlg, ConnectState& connect);
// The reversed placement of the last connect.
Bool ConnectUVPolygonsReversed(ToolDialog& dlg, ConnectState& connect);
