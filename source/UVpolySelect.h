// UV polygon loop select: from the UV edges given by selected UV points, walks across each quad to
// its opposite edge and into the next quad that lies exactly on that edge, selecting the strip.
#pragma once

#include <cstdint>
#include <vector>

#include "UVFunction.h"
#include "UVtoolsRegistry.h"

// A UV edge to start from: side s of the polygon joins its corners s and (s + 1) mod 4.
struct LoopEdge {
  Int32 polygon = 0;
  Int32 side = 0;
  bool operator==(const LoopEdge&) const = default;
};

// The edges the selected corners (ascending) give: every two selected corners of one polygon
// that are neighbours (not opposite), in the order of the first corner, then the second.
std::vector<LoopEdge> LoopEdges(const std::vector<UVPointRef>& corners);

// Sets selected[p] for every polygon that a walk from one of the edges passes. A walk starts in
// the edge's polygon, steps to the first quad (lowest index, not yet passed in this walk) that has
// exactly two neighbouring corners equal (u, v and w) to the positions of the opposite edge, and
// goes on across that quad. selected holds one flag per polygon.
void WalkLoops(const UVWStruct* uv, const CPolygon* polys, Int32 polyCount,
               const std::vector<LoopEdge>& edges, std::vector<std::uint8_t>& selected);

// In UV point mode: selects the loops of the selected UV edges and switches to UV polygon mode.
// False, with nothing changed, when the selected UV points give no edge.
Bool LoopSelectPolygons();
